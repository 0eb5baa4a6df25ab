// Screen-wide state: the work area, the shell's full-screen state and the emulated display
// orientation.
#include <algorithm>
#include <atomic>

#include "platform/device/Device.h"
#include "platform/user/User.h"

namespace platform::user {
namespace {

constexpr DWORD kShownState = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;
constexpr DWORD kSupportedOrientations = DMDO_0 | DMDO_90 | DMDO_180 | DMDO_270;

std::atomic<DWORD> gShellState{kShownState};
std::atomic<int> gOrientation{DMDO_0};

bool ValidOrientation(DWORD o) {
    return o == DMDO_0 || o == DMDO_90 || o == DMDO_180 || o == DMDO_270;
}

}  // namespace

int DisplayOrientation() {
    return gOrientation.load();
}
void SetDisplayOrientation(int orientation) {
    gOrientation.store(orientation);
}

DWORD ShellFullScreenState() {
    return gShellState.load();
}

void ApplyShellFullScreen(DWORD request) {
    DWORD state = gShellState.load();
    DWORD next;
    do {
        next = state;
        const DWORD pairs[][2] = {{SHFS_SHOWTASKBAR, SHFS_HIDETASKBAR},
                                  {SHFS_SHOWSIPBUTTON, SHFS_HIDESIPBUTTON},
                                  {SHFS_SHOWSTARTICON, SHFS_HIDESTARTICON}};
        for (const auto& pair : pairs) {
            if (request & pair[1]) {
                next = (next & ~pair[0]) | pair[1];
            } else if (request & pair[0]) {
                next = (next & ~pair[1]) | pair[0];
            }
        }
    } while (!gShellState.compare_exchange_weak(state, next));
    if (Device* device = CurrentDevice()) {
        device->FullScreenChanged(next);
    }
}

void ResetShellFullScreen() {
    gShellState.store(kShownState);
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

BOOL SystemParametersInfo(UINT action, UINT, PVOID value, UINT) {
    if (action != SPI_GETWORKAREA || !value) {
        return FALSE;
    }
    Device* device = CurrentDevice();
    RECT area{0, 0, 0, 0};
    if (device) {
        area.right = device->ScreenWidth();
        area.bottom = device->ScreenHeight();
        if (!(ShellFullScreenState() & SHFS_HIDETASKBAR)) {
            area.top = std::min<LONG>(device->TaskBarHeight(), area.bottom);
        }
    }
    *static_cast<RECT*>(value) = area;
    return TRUE;
}

LONG ChangeDisplaySettingsEx(LPCWSTR deviceName, LPDEVMODE mode, HWND, DWORD flags, LPVOID) {
    if (deviceName) {
        return DISP_CHANGE_BADPARAM;  // only the primary display exists
    }
    if (!mode) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) {
        mode->dmDisplayOrientation = kSupportedOrientations;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmFields & DM_DISPLAYORIENTATION) {
        if (flags & CDS_TEST) {
            mode->dmDisplayOrientation = static_cast<DWORD>(gOrientation.load());
            return DISP_CHANGE_SUCCESSFUL;
        }
        if (!ValidOrientation(mode->dmDisplayOrientation)) {
            return DISP_CHANGE_BADMODE;
        }
        gOrientation.store(static_cast<int>(mode->dmDisplayOrientation));
        return DISP_CHANGE_SUCCESSFUL;
    }
    return DISP_CHANGE_BADPARAM;
}
