#include "platform/device/InputRouter.h"

#include <algorithm>

namespace platform {

bool InputRouter::PointerDown(int x, int y) {
    POINT at;
    if (owner_ == Owner::Mouse || !locate_(x, y, false, &at)) {
        return false;
    }
    if (owner_ == Owner::Finger) {
        // The press is deliberate: it takes the pointer from the primary finger, whose own press
        // ends first, so the window never sees two downs in a row. The finger goes on touching.
        Pointer(WM_LBUTTONUP, pointerAt_);
    }
    owner_ = Owner::Mouse;
    Pointer(WM_LBUTTONDOWN, at);
    return true;
}

bool InputRouter::PointerMove(int x, int y) {
    POINT at;
    if (owner_ == Owner::Finger || !locate_(x, y, owner_ == Owner::Mouse, &at)) {
        return false;
    }
    Pointer(WM_MOUSEMOVE, at);
    return true;
}

bool InputRouter::PointerUp(int x, int y) {
    if (owner_ != Owner::Mouse) {
        return false;
    }
    owner_ = Owner::None;
    POINT at;
    if (!locate_(x, y, true, &at)) {
        return false;
    }
    Pointer(WM_LBUTTONUP, at);
    return true;
}

int InputRouter::FindFinger(int64_t finger) const {
    for (int slot = 0; slot < kMaxFingers; ++slot) {
        if (fingers_[slot].down && fingers_[slot].id == finger) {
            return slot;
        }
    }
    return -1;
}

bool InputRouter::FingerDown(int64_t finger, int x, int y) {
    POINT at;
    if (FindFinger(finger) >= 0 || !locate_(x, y, false, &at)) {
        return false;
    }
    const bool alone = std::none_of(std::begin(fingers_), std::end(fingers_),
                                    [](const Finger& f) { return f.down; });
    const Finger* free = std::find_if(std::begin(fingers_), std::end(fingers_),
                                      [](const Finger& f) { return !f.down; });
    if (free == std::end(fingers_)) {
        return false;  // an eleventh finger is ignored until one lifts
    }
    const int slot = static_cast<int>(free - fingers_);
    const bool primary = alone && owner_ == Owner::None;
    fingers_[slot] = Finger{true, finger, primary, at};
    Touch(slot, TOUCHEVENTF_DOWN);
    if (primary) {
        owner_ = Owner::Finger;
        Pointer(WM_LBUTTONDOWN, at);
    }
    return true;
}

bool InputRouter::FingerMove(int64_t finger, int x, int y) {
    const int slot = FindFinger(finger);
    POINT at;
    if (slot < 0 || !locate_(x, y, true, &at)) {
        return false;
    }
    fingers_[slot].at = at;
    Touch(slot, TOUCHEVENTF_MOVE);
    if (HoldsPointer(slot)) {
        Pointer(WM_MOUSEMOVE, at);
    }
    return true;
}

bool InputRouter::FingerUp(int64_t finger, int x, int y) {
    const int slot = FindFinger(finger);
    if (slot < 0) {
        return false;
    }
    POINT at;
    if (!locate_(x, y, true, &at)) {
        // Gone from the window that it pressed: its up goes nowhere, but it lets go.
        if (HoldsPointer(slot)) {
            owner_ = Owner::None;
        }
        fingers_[slot] = Finger{};
        return false;
    }
    fingers_[slot].at = at;
    Release(slot);
    return true;
}

bool InputRouter::HoldsPointer(int slot) const {
    return fingers_[slot].primary && owner_ == Owner::Finger;
}

void InputRouter::Release(int slot) {
    Touch(slot, TOUCHEVENTF_UP);
    const bool pointer = HoldsPointer(slot);
    const POINT at = fingers_[slot].at;
    fingers_[slot] = Finger{};
    if (pointer) {
        owner_ = Owner::None;
        Pointer(WM_LBUTTONUP, at);
    }
}

bool InputRouter::KeyDown(UINT scancode, UINT virtualKey, bool autoRepeat) {
    const bool held = KeyHeld(scancode);
    const HeldKey key{scancode, virtualKey};
    if (!held) {
        keys_.push_back(key);
    }
    Key(WM_KEYDOWN, key, autoRepeat || held);
    return true;
}

bool InputRouter::KeyUp(UINT scancode) {
    auto held = std::find_if(keys_.begin(), keys_.end(),
                             [scancode](const HeldKey& k) { return k.scancode == scancode; });
    if (held == keys_.end()) {
        return false;  // pressed before the window had the focus
    }
    const HeldKey key = *held;
    keys_.erase(held);
    Key(WM_KEYUP, key, false);
    return true;
}

bool InputRouter::KeyHeld(UINT scancode) const {
    return std::any_of(keys_.begin(), keys_.end(),
                       [scancode](const HeldKey& k) { return k.scancode == scancode; });
}

bool InputRouter::Text(const std::string& utf8) {
    DeviceSink* sink = sink_;
    if (!sink || utf8.empty()) {
        return false;
    }
    sink->TextInput(utf8);
    return true;
}

bool InputRouter::Drop(const std::vector<std::string>& paths, int x, int y) {
    POINT at;
    const bool inside = locate_(x, y, false, &at);
    DeviceSink* sink = sink_;
    if (!sink || paths.empty() || (!inside && !locate_(x, y, true, &at))) {
        return false;
    }
    sink->FilesDropped(paths, at.x, at.y, inside);
    return true;
}

void InputRouter::FocusChanged(bool active) {
    if (!active) {
        while (!keys_.empty()) {
            const HeldKey key = keys_.back();
            keys_.pop_back();
            Key(WM_KEYUP, key, false);
        }
        for (int slot = 0; slot < kMaxFingers; ++slot) {
            if (fingers_[slot].down) {
                Release(slot);
            }
        }
        if (owner_ == Owner::Mouse) {
            owner_ = Owner::None;
            Pointer(WM_LBUTTONUP, pointerAt_);
        }
    }
    if (DeviceSink* sink = sink_) {
        sink->FocusChanged(active);
    }
}

void InputRouter::Pointer(UINT message, POINT at) {
    pointerAt_ = at;
    if (DeviceSink* sink = sink_) {
        // Moves carry the button whether pressed or hovering, as the program has always had them.
        sink->PointerInput(message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at.x, at.y);
    }
}

void InputRouter::Touch(int slot, DWORD event) {
    const Finger& finger = fingers_[slot];
    const DWORD flags = event | (event != TOUCHEVENTF_UP ? TOUCHEVENTF_INRANGE : 0) |
                        (finger.primary ? TOUCHEVENTF_PRIMARY : 0);
    if (DeviceSink* sink = sink_) {
        sink->TouchInput(static_cast<UINT>(slot), flags, finger.at.x, finger.at.y);
    }
}

void InputRouter::Key(UINT message, const HeldKey& key, bool repeat) {
    if (DeviceSink* sink = sink_) {
        sink->KeyInput(message, key.virtualKey, key.scancode, repeat);
    }
}

}  // namespace platform
