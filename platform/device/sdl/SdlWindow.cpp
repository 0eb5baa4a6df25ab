#include "platform/device/sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>

#include "platform/device/sdl/ScreenFit.h"

namespace platform {

SdlWindow::SdlWindow(const DeviceOptions& options)
    : options_(options),
      screenWidth_(options.screenWidth),
      screenHeight_(options.screenHeight),
      dpiX_(options.dpiX),
      dpiY_(options.dpiY) {}

bool SdlWindow::Open(std::string* error) {
    if (options_.fullscreen)
        ChooseFullScreenGeometry();
    if (screenWidth_ <= 0 || screenHeight_ <= 0) {
        *error = "the screen has no size";
        return false;
    }
    // The first window should fit on the desktop; the user may resize it afterwards.
    int windowX = SDL_WINDOWPOS_CENTERED;
    int windowY = SDL_WINDOWPOS_CENTERED;
    int windowW = screenWidth_;
    int windowH = screenHeight_;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (options_.fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        // Without a window manager nobody else gives the window the display's size.
        SDL_Rect display;
        if (SDL_GetDisplayBounds(0, &display) == 0 && display.w > 0 && display.h > 0) {
            windowX = display.x;
            windowY = display.y;
            windowW = display.w;
            windowH = display.h;
        }
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0 &&
            (windowW > usable.w || windowH > usable.h)) {
            FitRect fit = Letterbox(usable.w, usable.h, screenWidth_, screenHeight_);
            windowW = std::max(1, fit.w);
            windowH = std::max(1, fit.h);
        }
    }
    window_ = SDL_CreateWindow("Pulsor", windowX, windowY, windowW, windowH, flags);
    if (!window_) {
        *error = SDL_GetError();
        return false;
    }
    id_ = SDL_GetWindowID(window_);
    return true;
}

void SdlWindow::Close(bool lost) {
    if (window_ && !lost)
        SDL_DestroyWindow(window_);
    window_ = nullptr;
    id_ = 0;
}

void SdlWindow::ChooseFullScreenGeometry() {
    SDL_DisplayMode mode;
    int displayW = screenWidth_;
    int displayH = screenHeight_;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        displayW = mode.w;
        displayH = mode.h;
    }
    ScreenFit fit = FitScreenToDisplay(
        displayW, displayH, options_.screenGiven ? options_.screenWidth : 0,
        options_.screenGiven ? options_.screenHeight : 0, options_.dpiGiven ? options_.dpiX : 0,
        options_.dpiGiven ? options_.dpiY : 0);
    screenWidth_ = fit.screenWidth;
    screenHeight_ = fit.screenHeight;
    dpiX_ = fit.dpiX;
    dpiY_ = fit.dpiY;
}

void SdlWindow::Show(const std::string& title, shell::IconImage& icon) {
    if (!window_)
        return;
    SDL_SetWindowTitle(window_, title.c_str());
    if (icon.width > 0 && icon.height > 0) {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            icon.pixels.data(), icon.width, icon.height, 32,
            icon.width * static_cast<int>(sizeof(uint32_t)), SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            SDL_SetWindowIcon(window_, surface);
            SDL_FreeSurface(surface);
        }
    }
    SDL_ShowWindow(window_);
}

void SdlWindow::ShowCommand(int showCommand) {
    if (!window_)
        return;
    switch (showCommand) {
        case SW_HIDE:
            SDL_HideWindow(window_);
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            SDL_MinimizeWindow(window_);
            break;
        default:
            SDL_ShowWindow(window_);
            SDL_RestoreWindow(window_);
            break;
    }
}

void SdlWindow::Hide() {
    if (window_)
        SDL_HideWindow(window_);
}

void SdlWindow::Raise() {
    if (!window_)
        return;
    SDL_ShowWindow(window_);
    SDL_RestoreWindow(window_);
    SDL_RaiseWindow(window_);
}

// The program keeps its screen; the window takes the display's new size.
void SdlWindow::RefitToDisplay() {
    if (!window_ || !options_.fullscreen)
        return;
    int index = SDL_GetWindowDisplayIndex(window_);
    SDL_Rect display;
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    if (index >= 0 && SDL_GetDisplayBounds(index, &display) == 0 && display.w > 0 &&
        display.h > 0 && (display.w != w || display.h != h)) {
        // Leaving and re-entering full screen makes SDL size the window to the display anew.
        SDL_SetWindowFullscreen(window_, 0);
        SDL_SetWindowPosition(window_, display.x, display.y);
        SDL_SetWindowSize(window_, display.w, display.h);
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
}

void SdlWindow::ToggleFullScreen() {
    if (!window_)
        return;
    if (coverDisplay_) {
        coverDisplay_ = false;
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, windowedRect_.w, windowedRect_.h);
        SDL_SetWindowPosition(window_, windowedRect_.x, windowedRect_.y);
    } else if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(window_, 0);
    } else {
        // A window manager draws frames and does full screen; without one (a bare X server)
        // the request goes unanswered, so the window itself covers the display instead.
        int top = 0;
        if (SDL_GetWindowBordersSize(window_, &top, nullptr, nullptr, nullptr) == 0 && top > 0) {
            SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_Rect display;
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &display) !=
                0)
                return;
            SDL_GetWindowPosition(window_, &windowedRect_.x, &windowedRect_.y);
            SDL_GetWindowSize(window_, &windowedRect_.w, &windowedRect_.h);
            coverDisplay_ = true;
            SDL_SetWindowBordered(window_, SDL_FALSE);
            SDL_SetWindowPosition(window_, display.x, display.y);
            SDL_SetWindowSize(window_, display.w, display.h);
        }
    }
}

bool SdlWindow::ToClient(int windowX, int windowY, const SDL_Rect& rect, bool clamp,
                         POINT* at) const {
    int windowW = 0;
    int windowH = 0;
    SDL_GetWindowSize(window_, &windowW, &windowH);
    FitRect picture = Letterbox(windowW, windowH, screenWidth_, screenHeight_);
    if (picture.w <= 0 || picture.h <= 0)
        return false;
    auto toScreen = [](int v, int origin, int extent, int size) {
        return static_cast<int>(std::floor(static_cast<double>(v - origin) * size / extent));
    };
    int screenX = toScreen(windowX, picture.x, picture.w, screenWidth_);
    int screenY = toScreen(windowY, picture.y, picture.h, screenHeight_);
    int clientX = screenX - rect.x;
    int clientY = screenY - rect.y;
    bool inside = clientX >= 0 && clientY >= 0 && clientX < rect.w && clientY < rect.h &&
                  screenX >= 0 && screenY >= 0 && screenX < screenWidth_ && screenY < screenHeight_;
    if (!inside) {
        if (!clamp || rect.w <= 0 || rect.h <= 0)
            return false;
        // A pressed pen keeps reporting to the window, as under mouse capture.
        clientX =
            std::clamp(clientX, std::max(0, -rect.x), std::min(rect.w, screenWidth_ - rect.x) - 1);
        clientY =
            std::clamp(clientY, std::max(0, -rect.y), std::min(rect.h, screenHeight_ - rect.y) - 1);
    }
    *at = POINT{clientX, clientY};
    return true;
}

}  // namespace platform
