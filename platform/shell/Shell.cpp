// Full screen and the notification-LED driver.
#include "platform/device/Device.h"
#include "platform/kernel/Handles.h"
#include "platform/user/User.h"
#include "platform/win32.h"

BOOL SHFullScreen(HWND window, DWORD state) {
    constexpr DWORD kKnown = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON |
                             SHFS_HIDESIPBUTTON | SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON;
    if (!platform::LookupHandle(window, platform::HandleType::Window) || (state & ~kKnown) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::user::ApplyShellFullScreen(state);
    return TRUE;
}

BOOL NLedSetDevice(UINT deviceId, void* input) {
    // Only LED 1, the vibrator, is driven; blinking counts as on.
    auto* settings = static_cast<const NLED_SETTINGS_INFO*>(input);
    platform::Device* device = platform::CurrentDevice();
    if (deviceId != NLED_SETTINGS_INFO_ID || !settings || settings->LedNum != 1 || !device ||
        settings->OffOnBlink < 0 || settings->OffOnBlink > 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!device->Vibrate(settings->OffOnBlink != 0)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return TRUE;
}
