// Window classes, windows and their geometry.
#include <algorithm>

#include "platform/device/Device.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

// All live windows, for FindWindow and the device sink. Guarded by WindowLifetimeMutex.
std::vector<Window*>& AllWindows() {
    static auto* windows = new std::vector<Window*>();
    return *windows;
}
Window* gDeviceWindow = nullptr;
bool gClosePending = false;  // RequestClose before there was a window; guarded as gDeviceWindow

int ScreenWidth() {
    Device* device = CurrentDevice();
    return device ? device->ScreenWidth() : 0;
}
int ScreenHeight() {
    Device* device = CurrentDevice();
    return device ? device->ScreenHeight() : 0;
}

RECT LockedRect(Window* window) {
    std::lock_guard<std::mutex> lock(window->queue->mutex);
    return window->rect;
}

LRESULT Send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window->proc(reinterpret_cast<HWND>(window), message, wParam, lParam);
}

}  // namespace

void RequestClose() {
    {
        std::unique_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        if (!gDeviceWindow) {
            gClosePending = true;
            return;
        }
        PostLocked(gDeviceWindow, WM_CLOSE, 0, 0);
    }
    WakeLoops();
}

std::shared_mutex& WindowLifetimeMutex() {
    static auto* mutex = new std::shared_mutex();
    return *mutex;
}

Window* DeviceWindow() {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    return gDeviceWindow;
}

Window* DeviceWindowLocked() {
    return gDeviceWindow;
}

void SetActive(Window* window, bool active) {
    if (window->active.exchange(active) == active) {
        return;
    }
    Send(window, WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
}

void RestoreWindow(Window* window) {
    if (!window->iconic.exchange(false)) {
        return;
    }
    window->visible = true;
    if (window == DeviceWindow()) {
        if (Device* device = CurrentDevice()) {
            device->WindowShown(SW_RESTORE);
        }
    }
    InvalidateRect(reinterpret_cast<HWND>(window), nullptr, TRUE);
}

void RaiseWindow(Window* window) {
    if (window == DeviceWindow()) {
        if (Device* device = CurrentDevice()) {
            device->Raise();
        }
    }
    RestoreWindow(window);
    SetActive(window, true);
}

std::vector<Window*> FindLocalWindows(LPCWSTR className, LPCWSTR title) {
    std::vector<Window*> found;
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    std::wstring folded = FoldedName(className);
    for (Window* w : AllWindows()) {
        if (className && FoldedName(w->className.c_str()) != folded) {
            continue;
        }
        if (title && w->title != title) {
            continue;
        }
        found.push_back(w);
    }
    return found;
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

HWND CreateWindowEx(DWORD, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) {
    WindowClass cls;
    if (!FindWindowClass(className, &cls)) {
        return nullptr;
    }
    if (parent) {
        return nullptr;
    }
    if (YieldingToRunningInstance()) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    const int screenW = std::max(ScreenWidth(), 1);
    const int screenH = std::max(ScreenHeight(), 1);
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = screenW;
        height = screenH;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);

    auto* window = new Window();
    window->proc = cls.info.lpfnWndProc;
    window->className = cls.name;
    window->title = windowName ? windowName : L"";
    window->style = style;
    window->background = cls.info.hbrBackground;
    window->surface = gdi::CreateBitmap32(screenW, screenH);
    if (!window->surface) {
        delete window;
        return nullptr;
    }
    window->queue = CurrentQueue();
    window->owner = std::this_thread::get_id();
    window->rect = RECT{x, y, x + width, y + height};
    HWND hwnd = reinterpret_cast<HWND>(window);
    {
        std::unique_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        RegisterHandle(window);
        AllWindows().push_back(window);
        gDeviceWindow = window;
        if (gClosePending) {
            gClosePending = false;  // handled once the loop runs, after creation
            PostLocked(window, WM_CLOSE, 0, 0);
        }
        std::lock_guard<std::mutex> queueLock(window->queue->mutex);
        window->queue->windows.push_back(window);
    }
    if (Device* device = CurrentDevice()) {
        device->WindowCreated(window->title.c_str(), cls.info.hIcon);
        device->WindowMoved(x, y, width, height);
    }
    window->listener = ListenForInstances(window);

    CREATESTRUCT create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = static_cast<LONG>(style);
    create.lpszName = window->title.c_str();
    create.lpszClass = window->className.c_str();
    if (Send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd)) {
        return nullptr;  // destroyed while being created
    }
    Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    Send(window, WM_DESTROY, 0, 0);
    StopListening(window->listener);
    window->listener = nullptr;
    bool wasDeviceWindow = false;
    {
        std::unique_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        UnregisterHandle(window);
        ForgetJoystickCapture(hwnd);
        auto& all = AllWindows();
        all.erase(std::remove(all.begin(), all.end(), window), all.end());
        if (gDeviceWindow == window) {
            wasDeviceWindow = true;
            gDeviceWindow = nullptr;  // the device announced it gone; no other takes its place
        }
        MessageQueue& q = *window->queue;
        std::lock_guard<std::mutex> queueLock(q.mutex);
        q.windows.erase(std::remove(q.windows.begin(), q.windows.end(), window), q.windows.end());
        q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(),
                                      [hwnd](const Timer& t) { return t.window == hwnd; }),
                       q.timers.end());
        // A later window may reuse the address: nothing queued for this one may reach it.
        auto forThis = [hwnd](const MSG& m) { return m.hwnd == hwnd; };
        q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), forThis), q.posted.end());
        q.input.erase(std::remove_if(q.input.begin(), q.input.end(), forThis), q.input.end());
    }
    if (wasDeviceWindow) {
        if (Device* device = CurrentDevice()) {
            device->WindowDestroyed();
        }
    }
    DeleteObject(window->surface);
    delete window;
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return LookupAs<Window>(hwnd) ||
                   HandleTypeOf(hwnd) == static_cast<int>(HandleType::RemoteWindow)
               ? TRUE
               : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    Window* window = LookupAs<Window>(hwnd);
    return window && window->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    Window* window = LookupAs<Window>(hwnd);
    return window && window->iconic ? TRUE : FALSE;
}

HWND GetForegroundWindow(void) {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    for (Window* w : AllWindows()) {
        if (w->active) {
            return reinterpret_cast<HWND>(w);
        }
    }
    return nullptr;
}

BOOL ShowWindow(HWND hwnd, int command) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    const bool wasVisible = window->visible;
    Device* device = window == DeviceWindow() ? CurrentDevice() : nullptr;
    switch (command) {
        case SW_HIDE:
            window->visible = false;
            SetActive(window, false);
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            window->visible = true;
            window->iconic = true;
            if (device) {
                device->WindowShown(SW_MINIMIZE);
            }
            SetActive(window, false);
            break;
        default:
            window->visible = true;
            window->iconic = false;
            if (device) {
                device->WindowShown(command);
            }
            InvalidateRect(hwnd, nullptr, TRUE);
            if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) {
                SetActive(window, true);
            }
            break;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    RECT old;
    {
        std::lock_guard<std::mutex> lock(window->queue->mutex);
        old = window->rect;
        window->rect = RECT{x, y, x + width, y + height};
    }
    if (window == DeviceWindow()) {
        if (Device* device = CurrentDevice()) {
            device->WindowMoved(x, y, width, height);
        }
    }
    if (old.right - old.left != width || old.bottom - old.top != height) {
        Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    }
    if (repaint) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !rect) {
        return FALSE;
    }
    RECT r = LockedRect(window);
    *rect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !rect) {
        return FALSE;
    }
    *rect = LockedRect(window);
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = LookupAs<Window>(hwnd);
    return window ? Send(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_TOUCH:
            CloseTouchInputHandle(reinterpret_cast<HTOUCHINPUT>(lParam));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (BeginPaint(hwnd, &ps)) {
                EndPaint(hwnd, &ps);
            }
            return 0;
        }
        case WM_ERASEBKGND: {
            Window* window = LookupAs<Window>(hwnd);
            if (!window || !window->background || !wParam) {
                return 0;
            }
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, window->background);
            return 1;
        }
        default:
            return 0;
    }
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return ScreenWidth();
        case SM_CYSCREEN:
            return ScreenHeight();
        default:
            return 0;
    }
}
