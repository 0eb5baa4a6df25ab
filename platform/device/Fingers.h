// Which finger of a touch screen is which: up to ten at once, each keeping a slot (its
// TOUCHINPUT id, 0..9) from its down to its up. The first finger down while nothing else
// presses is the primary one, which is the pen as well, as on the platform the program knows.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace platform {

class Fingers {
public:
    static constexpr int kMax = 10;
    struct Finger {
        UINT id = 0;
        bool primary = false;
    };

    // A finger going down; false when it is down already or ten are. `penFree`: nothing else
    // (a mouse button) holds the pen, so the finger may become primary.
    bool Down(int64_t key, bool penFree, Finger* finger);
    // A finger that is down; false for any other.
    bool Find(int64_t key, Finger* finger) const;
    void Up(int64_t key);
    int Count() const;
    // The finger in slot `id`, if it is down.
    bool Slot(UINT id, int64_t* key, Finger* finger) const;

    // TOUCHEVENTF_* of an event of this finger: DOWN, MOVE or UP, with PRIMARY when it is.
    static DWORD Flags(DWORD event, const Finger& finger) {
        return event | TOUCHEVENTF_INRANGE * (event != TOUCHEVENTF_UP) |
               (finger.primary ? TOUCHEVENTF_PRIMARY : 0);
    }

private:
    struct Entry {
        bool used = false;
        int64_t key = 0;
        bool primary = false;
    };
    Entry slots_[kMax];
};

}  // namespace platform
