// The keys the devices know: each by its SDL scancode name and USB HID usage (which SDL's
// scancodes are), with the PC/AT set-1 scancode and the US-layout virtual-key code that
// WM_KEYDOWN carries. Letters, digits, Return, Escape, Backspace, Tab, Space, F1-F12, arrows,
// Ctrl and Shift.
#pragma once

#include <string>

#include "platform/win32.h"

namespace platform {

struct KeyInfo {
    const char* name;  // SDL's scancode name
    int usage;         // USB HID usage = SDL scancode
    UINT scancode;     // set 1, with KF_EXTENDED for an extended key
    UINT virtualKey;
};

// By name, ignoring case ("q" is Q; "Ctrl" and "Shift" are the left ones); null for a key not
// in the table.
const KeyInfo* KeyByName(const std::string& name);
// By USB HID usage; null for a key not in the table.
const KeyInfo* KeyByUsage(int usage);
// By set-1 scancode (KF_EXTENDED included); null for a key not in the table.
const KeyInfo* KeyByScancode(UINT scancode);

}  // namespace platform
