// The user layer's own objects: windows, their owner thread's message queue, timers.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/Handles.h"
#include "platform/win32.h"

namespace platform::user {

// Messages the platform posts to itself; DispatchMessage handles them, window procedures never
// see them. Values from the range Win32 keeps for registered messages.
constexpr UINT kFocusMessage = 0xC101;  // wParam: 1 gained, 0 lost
constexpr UINT kRaiseMessage = 0xC102;

struct Window;

struct Timer {
    HWND window;
    UINT_PTR id;
    TimeNs period;
    TimeNs due;
    TIMERPROC proc;
};

// One per thread that owns windows. Everything in it, and each window's invalid region and
// rectangle, is guarded by `mutex`, which is never held while calling into the clock or a device.
struct MessageQueue {
    std::mutex mutex;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<Window*> windows;
    std::vector<Timer> timers;
};

class InstanceListener;

struct Window : HandleObject {
    static constexpr HandleType kType = HandleType::Window;
    Window() : HandleObject(kType) {}

    WNDPROC proc = nullptr;
    std::wstring className;
    std::wstring title;
    DWORD style = 0;
    HBRUSH background = nullptr;
    HBITMAP surface = nullptr;  // screen-sized pixels that BeginPaint/GetDC draw into
    std::shared_ptr<MessageQueue> queue;
    std::thread::id owner;

    // Guarded by queue->mutex (written only by the owner thread).
    RECT rect{};
    bool invalid = false;
    bool erase = false;
    RECT invalidRect{};

    std::atomic<bool> visible{false};
    std::atomic<bool> iconic{false};
    std::atomic<bool> active{false};
    std::atomic<bool> touch{false};        // RegisterTouchWindow: gets WM_TOUCH
    std::atomic<bool> acceptFiles{false};  // DragAcceptFiles: gets WM_DROPFILES
    bool destroying = false;
    InstanceListener* listener = nullptr;  // owned; stopped by DestroyWindow
};

// Keeps windows alive while another thread uses one it looked up: DestroyWindow takes it
// exclusively to unregister and delete.
std::shared_mutex& WindowLifetimeMutex();

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> CurrentQueue();

// The window that the device shows (null when none); Locked: the caller holds
// WindowLifetimeMutex, which keeps it alive.
Window* DeviceWindow();
Window* DeviceWindowLocked();

// Posts to a window from any thread; the caller holds WindowLifetimeMutex (shared or exclusive).
void PostLocked(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
void InvalidateLocked(Window* window, const RECT* rect, bool erase);
// Wakes the loop of whoever owns a queue.
void WakeLoops();

// Keeps a WM_TOUCH record until CloseTouchInputHandle; returns its handle (null when full).
HTOUCHINPUT NewTouchInput(const TOUCHINPUT& record);

// Keeps files dropped together at a client point until DragFinish; returns their handle.
HDROP NewDrop(std::vector<std::wstring> files, POINT at, bool inside);

// Whether typed text reaches the windows now (SipShowIM).
bool TextInputOn();

// On the window's owner thread: un-minimises it; brings it to the front and activates it.
void RestoreWindow(Window* window);
void RaiseWindow(Window* window);
void SetActive(Window* window, bool active);

// A registered window class, with its name as registered.
struct WindowClass {
    WNDCLASS info;
    std::wstring name;
};
// Class names are matched ignoring case: a name in the form they are compared in.
std::wstring FoldedName(LPCWSTR name);
// The class registered under `name`; false when there is none.
bool FindWindowClass(LPCWSTR name, WindowClass* found);

// Local top-level windows matching a class (case-insensitive) and title; null matches any.
std::vector<Window*> FindLocalWindows(LPCWSTR className, LPCWSTR title);

// True after YieldToRunningInstance: no top-level window may be made.
bool YieldingToRunningInstance();

// Single instance: binds the window's name so other processes find it; idempotent.
InstanceListener* ListenForInstances(Window* window);
void StopListening(InstanceListener* listener);

}  // namespace platform::user
