// The device the platform runs on: the screen, the finger, presentation, focus and the vibrator.
// Two implementations: device/headless (an in-memory screen driven by a script, virtual time) and
// device/sdl (a real window). The user layer (platform/user) talks only to this interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/DeviceOptions.h"
#include "platform/kernel/Clock.h"
#include "platform/win32.h"

namespace platform {

// Receives what the device produces; implemented by the user layer. Thread-safe.
class DeviceSink {
public:
    virtual ~DeviceSink() = default;
    // The input calls carry window messages as the InputRouter makes them, for the window to
    // queue as input.
    //
    // The pointer in client pixels of the top-level window: WM_LBUTTONDOWN, WM_MOUSEMOVE or
    // WM_LBUTTONUP with wParam = `keys` (MK_LBUTTON) and lParam = MAKELPARAM(x, y).
    virtual void PointerInput(UINT message, WPARAM keys, int x, int y) = 0;
    // A key, for the window with the keyboard focus: WM_KEYDOWN or WM_KEYUP with its virtual-key
    // code and its set-1 scancode (KF_EXTENDED added for an extended key); `repeat` for a down of
    // a key that is already down.
    virtual void KeyInput(UINT message, UINT virtualKey, UINT scancode, bool repeat) = 0;
    // One finger of a touch screen in client pixels: TOUCHEVENTF_DOWN, _MOVE or _UP, with
    // TOUCHEVENTF_PRIMARY for the finger that is the pointer too; `id` stays the same from its
    // down to its up. Becomes WM_TOUCH.
    virtual void TouchInput(UINT id, DWORD flags, int x, int y) = 0;
    // Text as typed (UTF-8), for the window with the keyboard focus while text input is on
    // (SipShowIM); becomes WM_CHAR, one per UTF-16 unit.
    virtual void TextInput(const std::string& utf8) = 0;
    // Files dropped together (UTF-8 paths) at client point (x, y), `inside` the client area or
    // not; becomes WM_DROPFILES for a window that accepts files.
    virtual void FilesDropped(const std::vector<std::string>& paths, int x, int y, bool inside) = 0;
    // The device window gained (true) or lost focus; becomes WM_ACTIVATE.
    virtual void FocusChanged(bool active) = 0;
    // The user asked to close the device window; becomes WM_CLOSE.
    virtual void CloseRequested() = 0;
    // Another process asked this one to raise its window (single instance).
    virtual void RaiseRequested() = 0;
    // The device lost its presented picture (expose, resize): repaint the whole window.
    virtual void RepaintRequested() = 0;
};

class Device {
public:
    virtual ~Device() = default;

    // Opens the device. On failure returns false with a one-line reason in *error.
    virtual bool Open(DeviceSink* sink, std::string* error) = 0;
    virtual void Close() = 0;

    // The emulated (or real) screen.
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // Height of the device's task bar at the top of the screen while it is shown (0: none).
    virtual int TaskBarHeight() const { return 0; }

    // The top-level window.
    virtual void WindowCreated(const wchar_t* title, HICON icon) = 0;
    virtual void WindowShown(int showCommand) = 0;  // SW_MINIMIZE minimises, others restore
    virtual void WindowMoved(int x, int y, int width, int height) = 0;
    virtual void WindowDestroyed() = 0;
    virtual void Raise() = 0;  // restore and bring to the front
    // Shows the window's pixels (32-bit BGRX rows, `stride` bytes apart).
    virtual void Present(const uint32_t* pixels, int width, int height, int stride) = 0;

    // Called on the UI thread when its queue is empty: blocks until input arrives, Wake() is
    // called, ready() becomes true, or the device clock reaches `deadline`.
    virtual void WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) = 0;
    // Any thread: makes a pending WaitForEvents re-check ready().
    virtual void Wake() = 0;

    // Text input turned on or off (SipShowIM): a window starts or stops its input method.
    virtual void TextInputChanged(bool on) { (void)on; }
    // Shell full-screen state (SHFS_* flags as last applied) and the vibrator.
    virtual void FullScreenChanged(DWORD shfsState) { (void)shfsState; }
    // Switches the vibrator; false when the device has none.
    virtual bool Vibrate(bool on) {
        (void)on;
        return false;
    }
};

// The process's device, set once by main() before WinMain runs. Tests may install their own.
Device* CurrentDevice();
void SetCurrentDevice(std::unique_ptr<Device> device);

}  // namespace platform
