#include "platform/device/sdl/SdlPresenter.h"

#include <algorithm>

#include "platform/device/sdl/ScreenFit.h"

namespace platform {

bool SdlPresenter::Open(SDL_Window* window, int width, int height, std::string* error) {
    width_ = width;
    height_ = height;
    renderer_ = SDL_CreateRenderer(window, -1, 0);
    if (!renderer_)
        renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        *error = SDL_GetError();
        return false;
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width_, height_);
    if (!texture_) {
        *error = SDL_GetError();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(canvasMutex_);
        canvas_.assign(static_cast<size_t>(width_) * height_, 0);
        windowRect_ = SDL_Rect{0, 0, width_, height_};
    }
    UploadAll();
    return true;
}

void SdlPresenter::Close() {
    // After a lost display the X objects died with the connection; freeing them would talk to
    // it again.
    if (texture_ && !lost_)
        SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    if (renderer_ && !lost_)
        SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    std::lock_guard<std::mutex> lock(canvasMutex_);
    canvas_.clear();
}

bool SdlPresenter::Store(const uint32_t* pixels, int width, int height, int stride,
                         SDL_Rect* area) {
    if (!pixels || width <= 0 || height <= 0)
        return false;
    std::lock_guard<std::mutex> lock(canvasMutex_);
    if (canvas_.empty())
        return false;
    SDL_Rect screen{0, 0, width_, height_};
    SDL_Rect frame{windowRect_.x, windowRect_.y, width, height};
    if (!SDL_IntersectRect(&screen, &frame, area))
        return false;
    for (int row = 0; row < area->h; ++row) {
        const auto* src = reinterpret_cast<const uint32_t*>(
                              reinterpret_cast<const uint8_t*>(pixels) +
                              static_cast<size_t>(area->y - frame.y + row) * stride) +
                          (area->x - frame.x);
        std::copy(src, src + area->w,
                  canvas_.begin() + static_cast<size_t>(area->y + row) * width_ + area->x);
    }
    return true;
}

SDL_Rect SdlPresenter::WindowRect() {
    std::lock_guard<std::mutex> lock(canvasMutex_);
    return windowRect_;
}

bool SdlPresenter::MoveWindow(const SDL_Rect& rect) {
    std::lock_guard<std::mutex> lock(canvasMutex_);
    if (rect.x == windowRect_.x && rect.y == windowRect_.y && rect.w == windowRect_.w &&
        rect.h == windowRect_.h) {
        return false;
    }
    windowRect_ = rect;
    // What the window no longer covers is desktop, which is black here.
    std::fill(canvas_.begin(), canvas_.end(), 0u);
    return true;
}

void SdlPresenter::Upload(const SDL_Rect& area) {
    if (!texture_ || lost_)
        return;
    std::lock_guard<std::mutex> lock(canvasMutex_);
    SDL_UpdateTexture(texture_, &area,
                      canvas_.data() + static_cast<size_t>(area.y) * width_ + area.x,
                      width_ * static_cast<int>(sizeof(uint32_t)));
}

void SdlPresenter::Render() {
    if (!renderer_ || !texture_ || lost_)
        return;
    int outW = 0;
    int outH = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0)
        return;
    const FitRect fit = Letterbox(outW, outH, width_, height_);
    const SDL_Rect target{fit.x, fit.y, fit.w, fit.h};
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    SDL_RenderPresent(renderer_);
}

void SdlPresenter::Restore(bool device) {
    // The texture's content may be gone; the canvas still holds the picture.
    if (device && renderer_) {
        if (texture_)
            SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     width_, height_);
    }
    UploadAll();
    Render();
}

}  // namespace platform
