// The one input model of every device: the pointer (a mouse's left button, or the primary
// finger), the fingers of a touch screen and the keys, each followed from its press to its
// release and given to the window as the messages the program's platform sends. A device only
// translates its own events into the calls below, in its own coordinates, and says through
// `Locate` where they land on the window.
//
// The rules: the pointer has one owner at a time, the mouse or the primary finger; the primary
// finger is the first down while nothing presses, and it is the pointer too; a finger landing
// while the mouse presses only touches, and a mouse press while the primary finger holds the
// pointer takes it (the finger's press ends first, and the finger goes on touching); each finger
// keeps a slot (its TOUCHINPUT id, 0..9) from its down to its up; a contact that went down on
// the window keeps reaching it from outside, as a captured pointer does; a key down while it is
// held is a repeat; when the focus leaves, whatever is held goes up first, since its release
// would go to another window.
//
// Each kind of input is one entry here and one call of the DeviceSink.
//
// Used by one thread at a time, the one that translates the device's events; Attach may come
// from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/win32.h"

namespace platform {

class InputRouter {
public:
    static constexpr int kMaxFingers = 10;

    // Where a device point lands, in client pixels of the window. `captured`: asked for a
    // contact already pressed on the window; false then means the window cannot be reached at
    // all (gone, minimised), and otherwise that the point is off the window.
    using Locate = std::function<bool(int x, int y, bool captured, POINT* client)>;

    explicit InputRouter(Locate locate) : locate_(std::move(locate)) {}

    // Where the messages go (null: nowhere, while the state is still followed).
    void Attach(DeviceSink* sink) { sink_ = sink; }

    // Each entry returns true when the input was the window's: its message went out.

    // The pointer; a move while nothing presses is the pointer hovering over the window.
    bool PointerDown(int x, int y);
    bool PointerMove(int x, int y);
    bool PointerUp(int x, int y);

    // A finger of a touch screen by the device's own id for it, any value that stays the same
    // from its down to its up.
    bool FingerDown(int64_t finger, int x, int y);
    bool FingerMove(int64_t finger, int x, int y);
    bool FingerUp(int64_t finger, int x, int y);

    // A key by where it sits, its set-1 scancode (KF_EXTENDED added for an extended key), with
    // the virtual-key code the keyboard layout gives it; `autoRepeat` when the keyboard repeats
    // a key held down. Its up carries the virtual key of its down.
    bool KeyDown(UINT scancode, UINT virtualKey, bool autoRepeat);
    bool KeyUp(UINT scancode);
    bool KeyHeld(UINT scancode) const;

    // Text as typed (UTF-8), whatever keys made it.
    bool Text(const std::string& utf8);
    // Files dropped together at a device point; one off the window lands where Locate puts a
    // captured contact (the SDL window: the picture's nearest edge).
    bool Drop(const std::vector<std::string>& paths, int x, int y);

    // The window gained or lost the focus; a loss lifts every key, finger and the pointer first:
    // the keys, the last pressed first, then the fingers by slot, then the mouse.
    void FocusChanged(bool active);

private:
    enum class Owner { None, Mouse, Finger };
    struct Finger {
        bool down = false;
        int64_t id = 0;
        bool primary = false;
        POINT at{};  // where it last reached the window, in client pixels
    };
    struct HeldKey {
        UINT scancode;
        UINT virtualKey;
    };

    int FindFinger(int64_t finger) const;
    // The finger in `slot` is primary and the pointer has not been taken from it.
    bool HoldsPointer(int slot) const;
    // The finger in `slot` goes up at its last point: its touch, then the pointer if it holds it.
    void Release(int slot);
    void Pointer(UINT message, POINT at);
    void Touch(int slot, DWORD event);
    void Key(UINT message, const HeldKey& key, bool repeat);

    const Locate locate_;
    std::atomic<DeviceSink*> sink_{nullptr};
    Owner owner_ = Owner::None;
    POINT pointerAt_{};  // where the pointer last reached the window
    Finger fingers_[kMaxFingers];
    std::vector<HeldKey> keys_;  // in the order they went down
};

}  // namespace platform
