// Playing the pad beside the pointer: the 4 x 4 block of keys under the left hand, and every
// finger of a touch screen after the first (the first arrives as the pointer).
#include "app/Globals.h"
#include "audio/PadControl.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/Screen.h"

namespace {

// Set-1 scancodes of 1 2 3 4 / Q W E R / A S D F / Z X C V: each row's four keys are
// consecutive, whatever the layout prints on them.
const UINT kRowStarts[] = {0x02, 0x10, 0x1E, 0x2C};

bool MainScreenShown() {
    return !g_loading.load() && g_pad && g_screenMain && g_screenMain->GetVisible();
}

// As a touch on the check box does it: flip, repaint, and tell the command layer.
void Toggle(CheckBox* box, int id) {
    if (!box) {
        return;
    }
    box->SetChecked(box->IsChecked() ? 0 : 1);
    box->Invalidate();
    PostMessage(g_mainWindow, WM_COMMAND, MAKEWPARAM(id, Toggled), reinterpret_cast<LPARAM>(box));
}

void Click(Control* control, int id) {
    PostMessage(g_mainWindow, WM_COMMAND, MAKEWPARAM(id, Clicked),
                reinterpret_cast<LPARAM>(control));
}

}  // namespace

int PadCellForScancode(UINT scancode) {
    if (scancode & KF_EXTENDED) {
        return -1;
    }
    for (int row = 0; row < 4; ++row) {
        if (scancode >= kRowStarts[row] && scancode < kRowStarts[row] + 4) {
            return row * 4 + static_cast<int>(scancode - kRowStarts[row]);
        }
    }
    return -1;
}

void OnKey(UINT message, WPARAM virtualKey, LPARAM lParam) {
    const UINT scancode = (static_cast<UINT>(lParam) >> 16) & 0x1FF;
    const int cell = PadCellForScancode(scancode);
    const UINT contact = PadControl::kKeyContacts + (scancode & 0xFF);
    if (message == WM_KEYUP) {
        // A key lifted after the page changed still lets its cell go.
        if (cell >= 0 && g_pad) {
            g_pad->ContactUp(contact);
        }
        return;
    }
    // A held key repeats; only its first down plays.
    if ((static_cast<UINT>(lParam) & 0x40000000u) || g_loading.load()) {
        return;
    }
    if (cell >= 0) {
        if (MainScreenShown()) {
            g_pad->ContactDown(contact, cell, 127);
        }
        return;
    }
    const bool aboutShown = g_screenAbout && g_screenAbout->GetVisible();
    const bool settingsShown = g_screenSettings && g_screenSettings->GetVisible();
    switch (virtualKey) {
        case VK_SPACE:
            if (MainScreenShown()) {
                Toggle(g_playBeat, IDC_PLAY_BEAT);
            }
            break;
        case VK_TAB:
            if (MainScreenShown()) {
                Toggle(g_voice, IDC_VOICE);
            }
            break;
        case VK_ESCAPE:
            if (aboutShown) {
                Click(g_aboutBack, IDC_ABOUT_BACK);
            } else if (settingsShown) {
                Click(g_settingsBack, IDC_SETTINGS_BACK);
            }
            break;
        default:
            break;
    }
}

void ReleaseKeys() {
    if (!g_pad) {
        return;
    }
    for (UINT start : kRowStarts) {
        for (UINT scancode = start; scancode < start + 4; ++scancode) {
            g_pad->ContactUp(PadControl::kKeyContacts + scancode);
        }
    }
}

void OnTouch(WPARAM wParam, LPARAM lParam) {
    HTOUCHINPUT handle = reinterpret_cast<HTOUCHINPUT>(lParam);
    TOUCHINPUT inputs[10];
    const UINT count = LOWORD(wParam) < 10 ? LOWORD(wParam) : 10;
    if (count == 0 || !GetTouchInputInfo(handle, count, inputs, sizeof(TOUCHINPUT))) {
        CloseTouchInputHandle(handle);
        return;
    }
    CloseTouchInputHandle(handle);
    RECT window{};
    GetWindowRect(g_mainWindow, &window);
    for (UINT i = 0; i < count; ++i) {
        const TOUCHINPUT& in = inputs[i];
        // The primary finger is the pointer too; taking it here as well would play twice.
        if ((in.dwFlags & TOUCHEVENTF_PRIMARY) || in.dwID > 0xFF || !g_pad) {
            continue;
        }
        const UINT contact = PadControl::kFingerContacts + in.dwID;
        const int x = TOUCH_COORD_TO_PIXEL(in.x) - window.left;
        const int y = TOUCH_COORD_TO_PIXEL(in.y) - window.top;
        if (in.dwFlags & TOUCHEVENTF_UP) {
            g_pad->FingerUp(contact);
        } else if (in.dwFlags & TOUCHEVENTF_DOWN) {
            // Other controls answer the first finger only.
            if (MainScreenShown()) {
                ApplyVibrationRule(g_pad->FingerDown(contact, x, y));
            }
        } else if (in.dwFlags & TOUCHEVENTF_MOVE) {
            g_pad->FingerMove(contact, x, y);
        }
    }
}
