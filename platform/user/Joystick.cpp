// Joystick 1's capture: the window that the device's joystick buttons are posted to.
#include <mutex>

#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

std::mutex gCaptureMutex;
// Guarded by gCaptureMutex; DestroyWindow clears it, so it never names a window that is gone.
HWND gCapture = nullptr;

}  // namespace

void ForgetJoystickCapture(HWND window) {
    std::lock_guard<std::mutex> lock(gCaptureMutex);
    if (gCapture == window) {
        gCapture = nullptr;
    }
}

void PostJoystickMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::shared_lock<std::shared_mutex> lifetime(WindowLifetimeMutex());
        std::lock_guard<std::mutex> lock(gCaptureMutex);
        Window* window = gCapture ? LookupAs<Window>(gCapture) : nullptr;
        if (!window) {
            return;
        }
        PostLocked(window, message, wParam, lParam);
    }
    WakeLoops();
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

UINT joyGetNumDevs(void) {
    return 1;
}

MMRESULT joySetCapture(HWND hwnd, UINT joyId, UINT period, BOOL changed) {
    (void)period;
    (void)changed;
    std::shared_lock<std::shared_mutex> lifetime(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(hwnd);
    if (joyId != JOYSTICKID1 || !window) {
        return JOYERR_PARMS;
    }
    std::lock_guard<std::mutex> lock(gCaptureMutex);
    if (gCapture && gCapture != hwnd) {
        return JOYERR_NOCANDO;
    }
    gCapture = hwnd;
    return JOYERR_NOERROR;
}

MMRESULT joyReleaseCapture(UINT joyId) {
    if (joyId != JOYSTICKID1) {
        return JOYERR_PARMS;
    }
    std::lock_guard<std::mutex> lock(gCaptureMutex);
    gCapture = nullptr;
    return JOYERR_NOERROR;
}
