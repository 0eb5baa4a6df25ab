// What the SDL window shows: the emulated screen as last presented (a canvas of its pixels, with
// the program's window where it sits on it), streamed to a texture and drawn letterboxed in the
// window by SDL's software renderer, without vsync. The canvas may be written from any thread;
// the renderer is used on the UI thread alone.
#pragma once

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class SdlPresenter {
public:
    // `lost`: set once the display is gone; nothing touches it from then on.
    explicit SdlPresenter(const std::atomic<bool>& lost) : lost_(lost) {}

    // A black screen of `width` x `height`, the program's window covering it. False with SDL's
    // reason.
    bool Open(SDL_Window* window, int width, int height, std::string* error);
    void Close();

    // Any thread: copies a frame of the program's window onto the canvas. False when none of it
    // lies on the screen; otherwise *area is what changed, for Upload.
    bool Store(const uint32_t* pixels, int width, int height, int stride, SDL_Rect* area);
    // Where the program's window lies on the screen, any thread.
    SDL_Rect WindowRect();
    // UI thread: the program's window moved; what it no longer covers turns black. False when it
    // did not move.
    bool MoveWindow(const SDL_Rect& rect);

    // UI thread: the canvas (an area of it) to the texture, and the texture to the window.
    void Upload(const SDL_Rect& area);
    void UploadAll() { Upload(SDL_Rect{0, 0, width_, height_}); }
    void Render();
    // The renderer's targets (or the renderer itself: `device`) were reset: drawn again.
    void Restore(bool device);

private:
    const std::atomic<bool>& lost_;
    int width_ = 0;
    int height_ = 0;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;

    std::mutex canvasMutex_;
    std::vector<uint32_t> canvas_;
    SDL_Rect windowRect_{0, 0, 0, 0};
};

}  // namespace platform
