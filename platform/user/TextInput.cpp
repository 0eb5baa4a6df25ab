// Typed text: the input panel switch (SipShowIM) and the characters TranslateMessage makes of
// the editing keys while it is on. Typed text itself comes from the device (DeviceInput).
#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "platform/device/Device.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

std::atomic<bool> gTextInput{false};

}  // namespace

bool TextInputOn() {
    return gTextInput;
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

BOOL SipShowIM(DWORD flags) {
    if ((flags & ~static_cast<DWORD>(SIPF_ON)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool on = (flags & SIPF_ON) != 0;
    gTextInput = on;
    if (Device* device = CurrentDevice()) {
        device->TextInputChanged(on);
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN || !TextInputOn()) {
        return FALSE;
    }
    // Only the editing keys: the characters of the others come from the input method, which
    // knows the layout, dead keys and composition.
    WPARAM character;
    switch (msg->wParam) {
        case VK_BACK:
        case VK_RETURN:
        case VK_ESCAPE:
            character = msg->wParam;
            break;
        default:
            return FALSE;
    }
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(msg->hwnd);
    if (!window) {
        return FALSE;
    }
    MSG translated = *msg;
    translated.message = WM_CHAR;
    translated.wParam = character;
    // First in line, so that it comes right after its key, before anything typed later.
    std::lock_guard<std::mutex> queueLock(window->queue->mutex);
    window->queue->posted.push_front(translated);
    return TRUE;
}
