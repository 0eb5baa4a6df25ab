// The SDL window's input turned into what the program's platform delivers: the left mouse
// button and the primary finger as pen input, every finger as touch input, keys by position.
// Used on the UI thread alone, from the device's event loop.
#pragma once

#include <SDL.h>

#include <bitset>
#include <functional>

#include "platform/device/Device.h"
#include "platform/device/Fingers.h"

namespace platform {

class SdlInput {
public:
    // Window pixels to client pixels of the top-level window; `clamp` keeps a pressed pen on
    // the window when it strays outside. False when the point is not on the window.
    using ToClient = std::function<bool(int windowX, int windowY, bool clamp, int* x, int* y)>;

    SdlInput(ToClient toClient, std::function<void()> toggleFullScreen)
        : toClient_(std::move(toClient)), toggleFullScreen_(std::move(toggleFullScreen)) {}

    void Attach(DeviceSink* sink, SDL_Window* window, Uint32 windowId) {
        sink_ = sink;
        window_ = window;
        windowId_ = windowId;
    }
    // Mouse, finger and key events of the window; true when something reached the sink.
    bool Handle(const SDL_Event& event);
    // The window lost the focus: whatever is pressed goes up here, since its up will go
    // elsewhere.
    void FocusLost();

private:
    enum class Pen { None, Mouse, Finger };

    bool DeliverPen(UINT message, int windowX, int windowY);
    bool HandleFinger(const SDL_TouchFingerEvent& touch, Uint32 type);
    bool HandleKey(const SDL_KeyboardEvent& key);

    ToClient toClient_;
    std::function<void()> toggleFullScreen_;
    DeviceSink* sink_ = nullptr;
    SDL_Window* window_ = nullptr;
    Uint32 windowId_ = 0;

    Pen pen_ = Pen::None;
    int penX_ = 0;  // last delivered client position
    int penY_ = 0;
    Fingers fingers_;
    int fingerX_[Fingers::kMax] = {};
    int fingerY_[Fingers::kMax] = {};
    std::bitset<SDL_NUM_SCANCODES> keysDown_;
};

}  // namespace platform
