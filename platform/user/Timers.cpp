// Timers: each queue keeps its own, and the loop delivers them when due (WM_TIMER or the
// callback).
#include <algorithm>
#include <atomic>

#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

using namespace platform;
using namespace platform::user;

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
