#include "platform/kernel/Clock.h"

#include <atomic>

namespace platform {

struct Clock::Waiter {
    TimeNs deadline;
    const std::function<bool()>* ready;
    Waiter* next;
    Waiter* prev;
    bool idle = false;      // a WaitIdle waiter
    bool released = false;  // set when an idle waiter may go on
};

namespace {

// Whether the current thread counts as a participant; unregisters it when the thread ends.
struct ThreadRegistration {
    bool registered = false;
    ~ThreadRegistration() {
        if (registered) {
            Clock::Instance().UnregisterCurrentThread();
        }
    }
};
thread_local ThreadRegistration tlsRegistration;

std::atomic<TimeNs> gVirtualNow{0};

}  // namespace

Clock& Clock::Instance() {
    // Never destroyed: threads may still consult it while the process exits.
    static Clock* clock = new Clock();
    return *clock;
}

namespace {

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Clock::Clock() : realStartNs_(SteadyNs()) {}

void Clock::SetVirtual(bool isVirtual, TimeNs start) {
    std::lock_guard<std::mutex> lock(mutex_);
    virtual_ = isVirtual;
    gVirtualNow.store(start);
    realOffset_ = start;
    realStartNs_ = SteadyNs();
}

bool Clock::IsVirtual() const {
    return virtual_;
}

TimeNs Clock::Now() const {
    if (virtual_) {
        return gVirtualNow.load();
    }
    return realOffset_ + static_cast<TimeNs>(SteadyNs() - realStartNs_);
}

void Clock::SleepFor(TimeNs duration) {
    TimeNs now = Now();
    SleepUntil(duration > kNever - now ? kNever : now + duration);
}

bool Clock::AnyWaiterCanProceed() const {
    TimeNs now = gVirtualNow.load();
    for (Waiter* w = waiters_; w; w = w->next) {
        if (w->idle) {
            if (w->released) {
                return true;
            }
        } else if (now >= w->deadline || (*w->ready)()) {
            return true;
        }
    }
    return false;
}

void Clock::AdvanceIfAllBlocked() {
    if (running_ > 0 || AnyWaiterCanProceed()) {
        return;
    }
    TimeNs now = gVirtualNow.load();
    bool released = false;
    for (Waiter* w = waiters_; w; w = w->next) {
        if (w->idle && now >= w->deadline) {
            w->released = true;
            released = true;
        }
    }
    if (released) {
        cv_.notify_all();
        return;
    }
    TimeNs earliest = kNever;
    for (Waiter* w = waiters_; w; w = w->next) {
        if (w->deadline < earliest) {
            earliest = w->deadline;
        }
    }
    if (earliest == kNever) {
        return;  // everyone waits for an event that only another event could bring
    }
    gVirtualNow.store(earliest);
    cv_.notify_all();
}

bool Clock::WaitUntil(TimeNs deadline, const std::function<bool()>& ready) {
    return Wait(deadline, ready, false);
}

void Clock::WaitIdle(TimeNs at) {
    if (!virtual_) {
        SleepUntil(at);
        return;
    }
    static const std::function<bool()> never = [] { return false; };
    Wait(at, never, true);
}

bool Clock::Wait(TimeNs deadline, const std::function<bool()>& ready, bool idle) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!idle && ready()) {
        return true;
    }
    if (virtual_ && !tlsRegistration.registered) {
        // A thread that waits in virtual time takes part in it from now on.
        tlsRegistration.registered = true;
        ++running_;
    }
    const bool counted = tlsRegistration.registered;
    Waiter self{deadline, &ready, waiters_, nullptr};
    self.idle = idle;
    if (waiters_) {
        waiters_->prev = &self;
    }
    waiters_ = &self;
    if (counted) {
        --running_;
    }

    bool result = false;
    for (;;) {
        if (idle) {
            if (self.released) {
                result = true;
                break;
            }
            const TimeNs before = gVirtualNow.load();
            AdvanceIfAllBlocked();
            // Time moved to this waiter's own deadline: nobody else may be left to release it.
            if (!self.released && gVirtualNow.load() == before) {
                cv_.wait(lock);
            }
            continue;
        }
        if (ready()) {
            result = true;
            break;
        }
        if (Now() >= deadline) {
            break;
        }
        if (virtual_) {
            AdvanceIfAllBlocked();
            if (gVirtualNow.load() >= deadline) {
                continue;  // re-check ready() once more before reporting a timeout
            }
            cv_.wait(lock);
        } else {
            // A deadline a century away is no deadline (and would overflow the wall clock).
            constexpr TimeNs kFar = 100ull * 365 * 24 * 3600 * 1000000000ull;
            TimeNs now = Now();
            if (deadline - now > kFar) {
                cv_.wait(lock);
            } else {
                cv_.wait_for(lock, std::chrono::nanoseconds(deadline - now));
            }
        }
    }

    if (self.prev) {
        self.prev->next = self.next;
    } else {
        waiters_ = self.next;
    }
    if (self.next) {
        self.next->prev = self.prev;
    }
    if (counted) {
        ++running_;
    }
    return result;
}

void Clock::Notify() {
    std::lock_guard<std::mutex> lock(mutex_);
    cv_.notify_all();
}

void Clock::RegisterCurrentThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tlsRegistration.registered) {
        tlsRegistration.registered = true;
        ++running_;
    }
}

void Clock::UnregisterCurrentThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tlsRegistration.registered) {
        tlsRegistration.registered = false;
        --running_;
        cv_.notify_all();  // the waiters may now be the only ones left
    }
}

void Clock::ReserveThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++running_;
}

void Clock::AdoptReservedThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    tlsRegistration.registered = true;
}

void Clock::CancelReservedThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    cv_.notify_all();
}

bool Clock::IsCurrentThreadRegistered() const {
    return tlsRegistration.registered;
}

int Clock::RunningThreads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

std::thread Clock::StartThread(std::function<void()> body) {
    Clock& clock = Instance();
    clock.ReserveThread();
    try {
        return std::thread([body = std::move(body)] {
            Clock::Instance().AdoptReservedThread();
            body();
            Clock::Instance().UnregisterCurrentThread();
        });
    } catch (...) {
        clock.CancelReservedThread();
        throw;
    }
}

}  // namespace platform
