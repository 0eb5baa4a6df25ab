// The message queue and loop, timers, invalidation and painting.
#include <algorithm>

#include "platform/device/Device.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

thread_local std::shared_ptr<MessageQueue> tlsQueue;

struct Filter {
    HWND window;
    UINT min;
    UINT max;
    bool Matches(HWND hwnd, UINT message) const {
        if (window && hwnd != window) {
            return false;
        }
        return (min == 0 && max == 0) || (message >= min && message <= max);
    }
};

RECT ClientOf(const Window* window) {
    return RECT{0, 0, window->rect.right - window->rect.left,
                window->rect.bottom - window->rect.top};
}

// Finds the next message by priority; under q.mutex. Returns false when there is none, with the
// earliest timer deadline in *nextDue.
bool TakeMessage(MessageQueue& q, const Filter& filter, bool remove, MSG* out, TimeNs* nextDue) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (filter.Matches(it->hwnd, it->message)) {
            *out = *it;
            if (remove) {
                q.posted.erase(it);
            }
            return true;
        }
    }
    if (q.quitPosted) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q.quitCode);
        out->time = GetTickCount();
        if (remove) {
            q.quitPosted = false;
        }
        return true;
    }
    for (auto it = q.input.begin(); it != q.input.end(); ++it) {
        if (filter.Matches(it->hwnd, it->message)) {
            *out = *it;
            if (remove) {
                q.input.erase(it);
            }
            return true;
        }
    }
    for (Window* w : q.windows) {
        HWND hwnd = reinterpret_cast<HWND>(w);
        if (w->invalid && filter.Matches(hwnd, WM_PAINT)) {
            *out = MSG{};
            out->hwnd = hwnd;
            out->message = WM_PAINT;
            out->time = GetTickCount();
            return true;  // stays until the window is validated
        }
    }
    const TimeNs now = Clock::Instance().Now();
    Timer* due = nullptr;
    TimeNs earliest = kNever;
    for (Timer& t : q.timers) {
        if (!filter.Matches(t.window, WM_TIMER)) {
            continue;
        }
        if (t.due <= now && (!due || t.due < due->due)) {
            due = &t;
        }
        earliest = std::min(earliest, t.due);
    }
    if (due) {
        *out = MSG{};
        out->hwnd = due->window;
        out->message = WM_TIMER;
        out->wParam = due->id;
        out->lParam = reinterpret_cast<LPARAM>(due->proc);
        out->time = static_cast<DWORD>(now / kNsPerMs);
        if (remove) {
            // Missed periods are not made up: the next one counts from now.
            due->due += due->period;
            if (due->due <= now) {
                due->due = now + due->period;
            }
        }
        return true;
    }
    *nextDue = earliest;
    return false;
}

bool HasMessage(MessageQueue& q, const Filter& filter) {
    std::lock_guard<std::mutex> lock(q.mutex);
    MSG msg;
    TimeNs next;
    return TakeMessage(q, filter, false, &msg, &next);
}

// Blocks until a message matching the filter may be there or `deadline` passes. No busy waiting:
// the device blocks (or virtual time stands still) until something is posted or a timer is due.
void WaitForMessage(MessageQueue& q, const Filter& filter, TimeNs deadline) {
    auto ready = [&q, filter] { return HasMessage(q, filter); };
    if (Device* device = CurrentDevice()) {
        device->WaitForEvents(deadline, ready);
    } else {
        Clock::Instance().WaitUntil(deadline, ready);
    }
}

bool GetMessageUntil(const Filter& filter, TimeNs deadline, MSG* msg) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    for (;;) {
        TimeNs nextDue = kNever;
        {
            std::lock_guard<std::mutex> lock(q->mutex);
            if (TakeMessage(*q, filter, true, msg, &nextDue)) {
                return true;
            }
        }
        if (Clock::Instance().Now() >= deadline) {
            return false;
        }
        WaitForMessage(*q, filter, std::min(nextDue, deadline));
    }
}

void UnionInto(RECT* acc, bool* any, const RECT& r) {
    if (r.left >= r.right || r.top >= r.bottom) {
        return;
    }
    if (!*any) {
        *acc = r;
        *any = true;
        return;
    }
    acc->left = std::min(acc->left, r.left);
    acc->top = std::min(acc->top, r.top);
    acc->right = std::max(acc->right, r.right);
    acc->bottom = std::max(acc->bottom, r.bottom);
}

}  // namespace

std::shared_ptr<MessageQueue> CurrentQueue() {
    if (!tlsQueue) {
        tlsQueue = std::make_shared<MessageQueue>();
    }
    return tlsQueue;
}

void WakeLoops() {
    Clock::Instance().Notify();
    if (Device* device = CurrentDevice()) {
        device->Wake();
    }
}

void PostLocked(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = reinterpret_cast<HWND>(window);
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    std::lock_guard<std::mutex> lock(window->queue->mutex);
    window->queue->posted.push_back(msg);
}

void InvalidateLocked(Window* window, const RECT* rect, bool erase) {
    std::lock_guard<std::mutex> lock(window->queue->mutex);
    RECT client = ClientOf(window);
    RECT area = client;
    if (rect) {
        area.left = std::max(rect->left, client.left);
        area.top = std::max(rect->top, client.top);
        area.right = std::min(rect->right, client.right);
        area.bottom = std::min(rect->bottom, client.bottom);
    }
    bool any = window->invalid;
    UnionInto(&window->invalidRect, &any, area);
    window->invalid = any;
    window->erase = window->erase || (any && erase);
}

bool PumpMessagesUntil(TimeNs deadline, int* exitCode) {
    const Filter all{nullptr, 0, 0};
    MSG msg;
    while (GetMessageUntil(all, deadline, &msg)) {
        if (msg.message == WM_QUIT) {
            if (exitCode) {
                *exitCode = static_cast<int>(msg.wParam);
            }
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return true;
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

BOOL GetMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) {
        return -1;
    }
    GetMessageUntil(Filter{window, filterMin, filterMax}, kNever, msg);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        return FALSE;
    }
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->mutex);
    TimeNs next;
    return TakeMessage(*q, Filter{window, filterMin, filterMax}, (removeMsg & PM_REMOVE) != 0, msg,
                       &next)
               ? TRUE
               : FALSE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}  // no keyboard, nothing to translate

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg) {
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam) {
        if (msg->hwnd && !IsWindow(msg->hwnd)) {
            return 0;
        }
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    Window* window = LookupAs<Window>(msg->hwnd);
    if (!window) {
        return 0;
    }
    switch (msg->message) {
        case kFocusMessage:
            if (msg->wParam) {
                RestoreWindow(window);  // the device has already brought it forward
                SetActive(window, true);
            } else {
                SetActive(window, false);
            }
            return 0;
        case kRaiseMessage:
            RaiseWindow(window);
            return 0;
        default:
            return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    }
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) {
        MSG msg{};
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.time = GetTickCount();
        std::shared_ptr<MessageQueue> q = CurrentQueue();
        {
            std::lock_guard<std::mutex> lock(q->mutex);
            q->posted.push_back(msg);
        }
        WakeLoops();
        return TRUE;
    }
    {
        std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        Window* window = LookupAs<Window>(hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        PostLocked(window, message, wParam, lParam);
    }
    WakeLoops();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->quitPosted = true;
        q->quitCode = exitCode;
    }
    WakeLoops();
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    {
        std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        Window* window = LookupAs<Window>(hwnd);
        if (!window) {
            return FALSE;
        }
        InvalidateLocked(window, rect, erase != FALSE);
    }
    WakeLoops();
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    std::lock_guard<std::mutex> queueLock(window->queue->mutex);
    // The invalid region is kept as its bounding box: a part validates it only when it covers it.
    const RECT& r = window->invalidRect;
    if (!rect || (rect->left <= r.left && rect->top <= r.top && rect->right >= r.right &&
                  rect->bottom >= r.bottom)) {
        window->invalid = false;
        window->erase = false;
    }
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    bool invalid;
    {
        std::lock_guard<std::mutex> lock(window->queue->mutex);
        invalid = window->invalid;
    }
    if (invalid) {
        window->proc(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !paint) {
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        std::lock_guard<std::mutex> lock(window->queue->mutex);
        paint->rcPaint = window->invalid ? window->invalidRect : RECT{0, 0, 0, 0};
        erase = window->erase;
        window->invalid = false;
        window->erase = false;
    }
    paint->hdc = gdi::CreateSurfaceDC(window->surface);
    if (!paint->hdc) {
        return nullptr;
    }
    paint->fErase =
        erase && !window->proc(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0);
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !paint) {
        return FALSE;
    }
    if (paint->hdc) {
        DeleteDC(paint->hdc);
    }
    Device* device = window == DeviceWindow() ? CurrentDevice() : nullptr;
    if (device && window->visible && !window->iconic) {
        int width = 0;
        int height = 0;
        int stride = 0;
        const uint32_t* pixels = gdi::BitmapPixels(window->surface, &width, &height, &stride);
        RECT client;
        {
            std::lock_guard<std::mutex> lock(window->queue->mutex);
            client = ClientOf(window);
        }
        if (pixels) {
            device->Present(pixels, std::min<int>(width, client.right),
                            std::min<int>(height, client.bottom), stride);
        }
    }
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd) {
        // The screen: a DC with the device's capabilities; what is drawn into it goes nowhere.
        return gdi::CreateScreenDC();
    }
    Window* window = LookupAs<Window>(hwnd);
    return window ? gdi::CreateSurfaceDC(window->surface) : nullptr;
}

int ReleaseDC(HWND, HDC dc) {
    return dc && DeleteDC(dc) ? 1 : 0;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    if (hwnd) {
        Window* window = LookupAs<Window>(hwnd);
        if (!window) {
            return 0;
        }
        q = window->queue;
    }
    // Win32's floor: a timer never fires more often than every 10 ms.
    const TimeNs period = static_cast<TimeNs>(std::max<UINT>(elapse, 10)) * kNsPerMs;
    const TimeNs due = Clock::Instance().Now() + period;
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        if (!hwnd) {
            static std::atomic<UINT_PTR> nextId{0x7000};  // thread timers get ids of their own
            id = ++nextId;
        }
        for (Timer& t : q->timers) {
            if (t.window == hwnd && t.id == id) {
                t = Timer{hwnd, id, period, due, proc};
                return hwnd ? (id ? id : 1) : id;
            }
        }
        q->timers.push_back(Timer{hwnd, id, period, due, proc});
    }
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    if (hwnd) {
        Window* window = LookupAs<Window>(hwnd);
        if (!window) {
            return FALSE;
        }
        q = window->queue;
    }
    std::lock_guard<std::mutex> lock(q->mutex);
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.window == hwnd && t.id == id; });
    if (it == q->timers.end()) {
        return FALSE;
    }
    q->timers.erase(it);
    return TRUE;
}
