// The message queue and loop: posting, getting, peeking and dispatching messages; due timers and
// pending paints are taken from here too (set in Timers, Paint).
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
