#include "platform/device/sdl/SdlInput.h"

#include <cmath>

#include "platform/device/Keys.h"

namespace platform {

void SdlInput::Attach(DeviceSink* sink, SDL_Window* window, Uint32 windowId) {
    router_.Attach(sink);
    window_ = window;
    windowId_ = windowId;
    if (window) {
        // Keys are played, not typed: no input method may hold them back for composing text.
        SDL_StopTextInput();
    }
}

bool SdlInput::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const SDL_MouseButtonEvent& b = event.button;
            if (b.which == SDL_TOUCH_MOUSEID || b.button != SDL_BUTTON_LEFT) {
                return false;
            }
            if (event.type == SDL_MOUSEBUTTONUP) {
                return router_.PointerUp(b.x, b.y);
            }
            return b.windowID == windowId_ && router_.PointerDown(b.x, b.y);
        }
        case SDL_MOUSEMOTION:
            if (event.motion.which == SDL_TOUCH_MOUSEID || event.motion.windowID != windowId_) {
                return false;
            }
            return router_.PointerMove(event.motion.x, event.motion.y);
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP:
            return HandleFinger(event.tfinger, event.type);
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return HandleKey(event.key);
        case SDL_TEXTINPUT:
            return event.text.windowID == windowId_ && router_.Text(event.text.text);
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
        case SDL_DROPCOMPLETE:
            return HandleDrop(event.drop);
        default:
            return false;
    }
}

bool SdlInput::HandleFinger(const SDL_TouchFingerEvent& touch, Uint32 type) {
    if ((touch.windowID != 0 && touch.windowID != windowId_) || !window_) {
        return false;
    }
    // Mapped from the raw window position: SDL would clamp a touch on a bar to the picture.
    int windowW = 0;
    int windowH = 0;
    SDL_GetWindowSize(window_, &windowW, &windowH);
    const int x = static_cast<int>(std::floor(touch.x * windowW));
    const int y = static_cast<int>(std::floor(touch.y * windowH));
    // Finger ids are opaque: the router gives each a slot.
    const auto finger = static_cast<int64_t>(touch.fingerId);
    switch (type) {
        case SDL_FINGERDOWN:
            return router_.FingerDown(finger, x, y);
        case SDL_FINGERMOTION:
            return router_.FingerMove(finger, x, y);
        default:
            return router_.FingerUp(finger, x, y);
    }
}

bool SdlInput::HandleDrop(const SDL_DropEvent& drop) {
    if (drop.windowID != windowId_ || !window_) {
        return false;
    }
    switch (drop.type) {
        case SDL_DROPBEGIN:
            dropped_.clear();
            return false;
        case SDL_DROPFILE:
            if (drop.file) {
                dropped_.emplace_back(drop.file);
            }
            return false;
        case SDL_DROPCOMPLETE:
            break;
        default:
            return false;  // dragged text is no file
    }
    // SDL tells no drop position: the pointer is where the files were let go.
    int pointerX = 0;
    int pointerY = 0;
    int windowX = 0;
    int windowY = 0;
    SDL_GetGlobalMouseState(&pointerX, &pointerY);
    SDL_GetWindowPosition(window_, &windowX, &windowY);
    std::vector<std::string> files;
    files.swap(dropped_);
    return router_.Drop(files, pointerX - windowX, pointerY - windowY);
}

bool SdlInput::HandleKey(const SDL_KeyboardEvent& key) {
    if (key.windowID != windowId_) {
        return false;
    }
    const KeyInfo* info = KeyByUsage(key.keysym.scancode);
    if (!info) {
        return false;
    }
    if (key.type == SDL_KEYUP) {
        return router_.KeyUp(info->scancode);
    }
    // Letters and digits are named by the layout; their scancode says where the key sits.
    UINT virtualKey = info->virtualKey;
    const SDL_Keycode sym = key.keysym.sym;
    if (sym >= SDLK_a && sym <= SDLK_z) {
        virtualKey = static_cast<UINT>('A' + (sym - SDLK_a));
    } else if (sym >= SDLK_0 && sym <= SDLK_9) {
        virtualKey = static_cast<UINT>(sym);
    }
    const bool first = key.repeat == 0 && !router_.KeyHeld(info->scancode);
    router_.KeyDown(info->scancode, virtualKey, key.repeat != 0);
    // The desktop's own convention: F11 switches between the window and full screen.
    if (info->virtualKey == VK_F11 && first && toggleFullScreen_) {
        toggleFullScreen_();
    }
    return true;
}

}  // namespace platform
