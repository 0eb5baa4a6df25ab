// The device sink: how what a device reports becomes messages for the device's window. Input
// (pointer, keys, fingers, typed text) is queued as input, stamped with the tick count and the
// screen point; dropped files, focus, close and raise requests are posted; a lost picture
// invalidates the whole window.
#include "platform/device/Device.h"
#include "platform/kernel/WideString.h"
#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

class UserSink : public DeviceSink {
public:
    void PointerInput(UINT message, WPARAM keys, int x, int y) override {
        PushInput(message, keys, MAKELPARAM(x, y), x, y, nullptr, false);
    }
    void KeyInput(UINT message, UINT virtualKey, UINT scancode, bool repeat) override {
        // Bits 30 and 31: the key was down before (a repeat, or any up) and is going up.
        LPARAM lParam = static_cast<LPARAM>(1u | (scancode & 0x1FFu) << 16);
        if (message == WM_KEYUP) {
            lParam |= static_cast<LPARAM>(0xC0000000u);
        } else if (repeat) {
            lParam |= static_cast<LPARAM>(0x40000000u);
        }
        // Keys go to the window with the keyboard focus; with none they go nowhere.
        PushInput(message, virtualKey, lParam, 0, 0, nullptr, true);
    }
    void TouchInput(UINT id, DWORD flags, int x, int y) override {
        TOUCHINPUT record{};
        record.dwID = id;
        record.dwFlags = flags;
        PushInput(WM_TOUCH, 1, 0, x, y, &record, false);
    }
    void TextInput(const std::string& utf8) override {
        if (!TextInputOn()) {
            return;
        }
        for (char16_t unit : ToUtf16(FromUtf8(utf8))) {
            PushInput(WM_CHAR, unit, 1, 0, 0, nullptr, true);
        }
    }
    void FilesDropped(const std::vector<std::string>& paths, int x, int y, bool inside) override {
        std::vector<std::wstring> files;
        for (const std::string& path : paths) {
            files.push_back(FromUtf8(path));
        }
        {
            std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
            Window* window = DeviceWindowLocked();
            if (!window || !window->acceptFiles) {
                return;
            }
            HDROP drop = NewDrop(std::move(files), POINT{x, y}, inside);
            PostLocked(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        }
        WakeLoops();
    }
    void FocusChanged(bool active) override { PostToDeviceWindow(kFocusMessage, active ? 1 : 0); }
    void CloseRequested() override { PostToDeviceWindow(WM_CLOSE, 0); }
    void RaiseRequested() override { PostToDeviceWindow(kRaiseMessage, 0); }
    void RepaintRequested() override {
        {
            std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
            if (Window* window = DeviceWindowLocked()) {
                InvalidateLocked(window, nullptr, true);
            }
        }
        WakeLoops();
    }

private:
    // Queues input for the device window at client point (x, y). A touch (`touch` given: its id
    // and flags) becomes one TOUCHINPUT record in screen coordinates, for a window that asked for
    // touch input.
    static void PushInput(UINT message, WPARAM wParam, LPARAM lParam, int x, int y,
                          const TOUCHINPUT* touch, bool needsFocus) {
        {
            std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
            Window* window = DeviceWindowLocked();
            if (!window || (needsFocus && !window->active) || (touch && !window->touch)) {
                return;
            }
            MSG msg{};
            msg.hwnd = reinterpret_cast<HWND>(window);
            msg.message = message;
            msg.wParam = wParam;
            msg.lParam = lParam;
            msg.time = GetTickCount();
            RECT rect;
            {
                std::lock_guard<std::mutex> queueLock(window->queue->mutex);
                rect = window->rect;
            }
            msg.pt.x = x + rect.left;
            msg.pt.y = y + rect.top;
            if (touch) {
                TOUCHINPUT record = *touch;
                record.x = static_cast<LONG>(msg.pt.x) * 100;
                record.y = static_cast<LONG>(msg.pt.y) * 100;
                record.dwTime = msg.time;
                HTOUCHINPUT handle = NewTouchInput(record);
                if (!handle) {
                    return;
                }
                msg.lParam = reinterpret_cast<LPARAM>(handle);
            }
            std::lock_guard<std::mutex> queueLock(window->queue->mutex);
            window->queue->input.push_back(msg);
        }
        WakeLoops();
    }
    static void PostToDeviceWindow(UINT message, WPARAM wParam) {
        {
            std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
            Window* window = DeviceWindowLocked();
            if (!window) {
                return;
            }
            PostLocked(window, message, wParam, 0);
        }
        WakeLoops();
    }
};

}  // namespace

DeviceSink* UserDeviceSink() {
    static UserSink* sink = new UserSink();
    return sink;
}

}  // namespace platform::user
