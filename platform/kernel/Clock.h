// The device clock, and the one place where platform threads wait.
//
// Every blocking wait of a platform thread (Sleep, the message loop, the audio notifier, the null
// audio device's period, the script runner) goes through Clock::WaitUntil. In real time that is an
// ordinary timed wait. In virtual time the clock stands still while any participating thread runs;
// when every participant is blocked and none of them can proceed, the clock jumps to the earliest
// deadline among them. A headless run is therefore deterministic and costs no real time waiting.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

using TimeNs = uint64_t;
constexpr TimeNs kNever = UINT64_MAX;
constexpr TimeNs kNsPerMs = 1000000;

class Clock {
public:
    static Clock& Instance();

    // Chooses the mode and the starting time. Call before any participant waits.
    void SetVirtual(bool isVirtual, TimeNs start = 0);
    bool IsVirtual() const;

    // Nanoseconds since the clock's start (plus the start value given to SetVirtual).
    TimeNs Now() const;
    uint32_t TickCountMs() const { return static_cast<uint32_t>(Now() / kNsPerMs); }

    // Blocks until ready() is true or Now() >= deadline. Returns ready()'s last value.
    // ready() runs with the clock's lock held, possibly on another thread: it must be quick, must
    // not call into the clock, and may only take locks that are never held while calling Notify().
    bool WaitUntil(TimeNs deadline, const std::function<bool()>& ready);
    // Plain timed wait.
    void SleepUntil(TimeNs deadline) {
        WaitUntil(deadline, [] { return false; });
    }
    void SleepFor(TimeNs duration);
    // Blocks until Now() >= at and every other participant is blocked with nothing to do at the
    // current time (the moment the clock would otherwise advance). In real time: SleepUntil(at).
    // Lets a driver (the headless script) act only after the others have settled, so that what it
    // injects lands at the same point of a run every time.
    void WaitIdle(TimeNs at);

    // Wakes every waiter to re-check its condition. Call after changing anything a ready() reads
    // (and after releasing the locks guarding it).
    void Notify();

    // Threads that take part in virtual time. The calling thread counts as running from
    // RegisterCurrentThread until UnregisterCurrentThread. A thread being started reserves its
    // place first (ReserveThread on the starting thread, then AdoptReservedThread on the new one),
    // so the clock cannot jump between the start and the new thread's first instruction.
    void RegisterCurrentThread();
    void UnregisterCurrentThread();
    void ReserveThread();
    void AdoptReservedThread();
    void CancelReservedThread();
    bool IsCurrentThreadRegistered() const;

    // Starts a std::thread that participates in virtual time for its whole life.
    static std::thread StartThread(std::function<void()> body);

    // For tests: the number of registered threads currently not waiting.
    int RunningThreads() const;

private:
    Clock();
    struct Waiter;
    bool Wait(TimeNs deadline, const std::function<bool()>& ready, bool idle);
    bool AnyWaiterCanProceed() const;
    void AdvanceIfAllBlocked();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::atomic<bool> virtual_{false};
    // Read by Now() without the lock, so that ready() conditions may ask for the time.
    std::atomic<TimeNs> realOffset_{0};
    std::atomic<int64_t> realStartNs_{0};  // steady_clock at the start, in ns
    int running_ = 0;
    Waiter* waiters_ = nullptr;  // intrusive list of blocked participants
};

// Registers the calling thread with the clock for the lifetime of the guard.
class ClockParticipant {
public:
    ClockParticipant() { Clock::Instance().RegisterCurrentThread(); }
    ~ClockParticipant() { Clock::Instance().UnregisterCurrentThread(); }
    ClockParticipant(const ClockParticipant&) = delete;
    ClockParticipant& operator=(const ClockParticipant&) = delete;
};

}  // namespace platform
