#include "platform/device/sdl/SdlInput.h"

#include <cmath>

#include "platform/device/Keys.h"

namespace platform {

bool SdlInput::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
                event.button.windowID != windowId_ || pen_ != Pen::None) {
                return false;
            }
            if (DeliverPen(WM_LBUTTONDOWN, event.button.x, event.button.y)) {
                pen_ = Pen::Mouse;
                return true;
            }
            return false;
        case SDL_MOUSEMOTION:
            if (event.motion.which == SDL_TOUCH_MOUSEID || event.motion.windowID != windowId_ ||
                pen_ == Pen::Finger) {
                return false;
            }
            return DeliverPen(WM_MOUSEMOVE, event.motion.x, event.motion.y);
        case SDL_MOUSEBUTTONUP: {
            if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
                pen_ != Pen::Mouse) {
                return false;
            }
            const bool delivered = DeliverPen(WM_LBUTTONUP, event.button.x, event.button.y);
            pen_ = Pen::None;
            return delivered;
        }
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP:
            return HandleFinger(event.tfinger, event.type);
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return HandleKey(event.key);
        default:
            return false;
    }
}

bool SdlInput::DeliverPen(UINT message, int windowX, int windowY) {
    int x = 0;
    int y = 0;
    const bool pressed = pen_ != Pen::None && message != WM_LBUTTONDOWN;
    if (!toClient_(windowX, windowY, pressed, &x, &y)) {
        return false;
    }
    penX_ = x;
    penY_ = y;
    if (sink_) {
        sink_->PenInput(message, x, y);
    }
    return true;
}

bool SdlInput::HandleFinger(const SDL_TouchFingerEvent& touch, Uint32 type) {
    if ((touch.windowID != 0 && touch.windowID != windowId_) || !window_) {
        return false;
    }
    int windowW = 0;
    int windowH = 0;
    SDL_GetWindowSize(window_, &windowW, &windowH);
    const int wx = static_cast<int>(std::floor(touch.x * windowW));
    const int wy = static_cast<int>(std::floor(touch.y * windowH));
    const int64_t key = static_cast<int64_t>(touch.fingerId);
    Fingers::Finger finger;
    int x = 0;
    int y = 0;
    if (type == SDL_FINGERDOWN) {
        // A finger that lands off the picture touches nothing of the program's.
        if (!toClient_(wx, wy, false, &x, &y) || !fingers_.Down(key, pen_ == Pen::None, &finger)) {
            return false;
        }
    } else {
        if (!fingers_.Find(key, &finger)) {
            return false;
        }
        // A finger that went down on the window keeps reporting to it, as a captured pen does.
        if (!toClient_(wx, wy, true, &x, &y)) {
            x = fingerX_[finger.id];
            y = fingerY_[finger.id];
        }
    }
    fingerX_[finger.id] = x;
    fingerY_[finger.id] = y;
    const DWORD event = type == SDL_FINGERDOWN     ? TOUCHEVENTF_DOWN
                        : type == SDL_FINGERMOTION ? TOUCHEVENTF_MOVE
                                                   : TOUCHEVENTF_UP;
    if (type == SDL_FINGERUP) {
        fingers_.Up(key);
    }
    if (sink_) {
        sink_->TouchInput(finger.id, Fingers::Flags(event, finger), x, y);
    }
    if (finger.primary) {
        if (type == SDL_FINGERDOWN) {
            pen_ = Pen::Finger;
        }
        if (pen_ == Pen::Finger) {
            penX_ = x;
            penY_ = y;
            if (sink_) {
                sink_->PenInput(type == SDL_FINGERDOWN     ? WM_LBUTTONDOWN
                                : type == SDL_FINGERMOTION ? WM_MOUSEMOVE
                                                           : WM_LBUTTONUP,
                                x, y);
            }
        }
        if (type == SDL_FINGERUP) {
            pen_ = Pen::None;
        }
    }
    return true;
}

bool SdlInput::HandleKey(const SDL_KeyboardEvent& key) {
    if (key.windowID != windowId_) {
        return false;
    }
    const int usage = key.keysym.scancode;
    const KeyInfo* info = KeyByUsage(usage);
    if (!info || usage < 0 || usage >= SDL_NUM_SCANCODES) {
        return false;
    }
    // Letters and digits are named by the layout; their scancode says where the key sits.
    UINT virtualKey = info->virtualKey;
    const SDL_Keycode sym = key.keysym.sym;
    if (sym >= SDLK_a && sym <= SDLK_z) {
        virtualKey = static_cast<UINT>('A' + (sym - SDLK_a));
    } else if (sym >= SDLK_0 && sym <= SDLK_9) {
        virtualKey = static_cast<UINT>(sym);
    }
    if (key.type == SDL_KEYDOWN) {
        const bool repeat = key.repeat != 0 || keysDown_.test(static_cast<size_t>(usage));
        keysDown_.set(static_cast<size_t>(usage));
        if (sink_) {
            sink_->KeyInput(WM_KEYDOWN, virtualKey, info->scancode, repeat);
        }
        // The desktop's own convention: F11 switches between the window and full screen.
        if (info->virtualKey == VK_F11 && !repeat && toggleFullScreen_) {
            toggleFullScreen_();
        }
        return true;
    }
    if (!keysDown_.test(static_cast<size_t>(usage))) {
        return false;  // pressed before the window had the focus
    }
    keysDown_.reset(static_cast<size_t>(usage));
    if (sink_) {
        sink_->KeyInput(WM_KEYUP, virtualKey, info->scancode, false);
    }
    return true;
}

void SdlInput::FocusLost() {
    if (pen_ != Pen::None && sink_) {
        sink_->PenInput(WM_LBUTTONUP, penX_, penY_);
    }
    pen_ = Pen::None;
    for (UINT id = 0; id < static_cast<UINT>(Fingers::kMax); ++id) {
        int64_t key = 0;
        Fingers::Finger finger;
        if (fingers_.Slot(id, &key, &finger)) {
            fingers_.Up(key);
            if (sink_) {
                sink_->TouchInput(id, Fingers::Flags(TOUCHEVENTF_UP, finger), fingerX_[id],
                                  fingerY_[id]);
            }
        }
    }
    for (int usage = 0; usage < SDL_NUM_SCANCODES; ++usage) {
        if (keysDown_.test(static_cast<size_t>(usage))) {
            const KeyInfo* info = KeyByUsage(usage);
            if (info && sink_) {
                sink_->KeyInput(WM_KEYUP, info->virtualKey, info->scancode, false);
            }
        }
    }
    keysDown_.reset();
}

}  // namespace platform
