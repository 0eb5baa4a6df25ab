// Threads: every thread created here takes part in the device clock from the moment it is
// created, so virtual time cannot move on before its first instruction runs.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/kernel/Clock.h"
#include "platform/kernel/Handles.h"
#include "platform/kernel/Waitable.h"
#include "platform/win32.h"

namespace platform {
namespace {

std::atomic<DWORD> gNextThreadId{1};
thread_local DWORD tlsThreadId = 0;

struct ThreadState {
    std::atomic<bool> finished{false};
    std::atomic<DWORD> exitCode{STILL_ACTIVE};
};

struct ThreadObject : WaitableObject {
    static constexpr HandleType kType = HandleType::Thread;
    ThreadObject() : WaitableObject(kType), state(std::make_shared<ThreadState>()) {}
    std::function<bool()> SignalledCondition() const override {
        std::shared_ptr<ThreadState> s = state;
        return [s] { return s->finished.load(); };
    }
    std::shared_ptr<ThreadState> state;
    DWORD id = 0;
};

// Guards lookups against CloseHandle deleting the object in between.
std::mutex& KernelHandleMutex() {
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}

}  // namespace
}  // namespace platform

using namespace platform;

DWORD GetCurrentThreadId(void) {
    if (tlsThreadId == 0) {
        tlsThreadId = gNextThreadId.fetch_add(1);
    }
    return tlsThreadId;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD, LPDWORD threadId) {
    if (!start) {
        return nullptr;
    }
    auto* object = new ThreadObject();
    object->id = gNextThreadId.fetch_add(1);
    std::shared_ptr<ThreadState> state = object->state;
    const DWORD id = object->id;
    Clock& clock = Clock::Instance();
    clock.ReserveThread();
    try {
        std::thread([state, start, parameter, id] {
            tlsThreadId = id;
            Clock::Instance().AdoptReservedThread();
            DWORD code = start(parameter);
            state->exitCode.store(code);
            state->finished.store(true);
            Clock::Instance().UnregisterCurrentThread();
            Clock::Instance().Notify();
        }).detach();
    } catch (...) {
        clock.CancelReservedThread();
        delete object;
        return nullptr;
    }
    RegisterHandle(object);
    if (threadId) {
        *threadId = id;
    }
    return object;
}

BOOL CloseHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(KernelHandleMutex());
    int type = HandleTypeOf(handle);
    if (type != static_cast<int>(HandleType::Thread) &&
        type != static_cast<int>(HandleType::Process)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* object = static_cast<HandleObject*>(handle);
    UnregisterHandle(object);
    delete object;  // a thread goes on running without its handle
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::function<bool()> signalled;
    {
        std::lock_guard<std::mutex> lock(KernelHandleMutex());
        HandleObject* object = LookupHandle(handle, HandleType::Thread);
        if (!object) {
            object = LookupHandle(handle, HandleType::Process);
        }
        auto* waitable = dynamic_cast<WaitableObject*>(object);
        if (!waitable) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        signalled = waitable->SignalledCondition();
    }
    Clock& clock = Clock::Instance();
    TimeNs deadline = kNever;
    if (milliseconds != INFINITE) {
        deadline = clock.Now() + static_cast<TimeNs>(milliseconds) * kNsPerMs;
    }
    return clock.WaitUntil(deadline, signalled) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    std::lock_guard<std::mutex> lock(KernelHandleMutex());
    auto* object = LookupAs<ThreadObject>(thread);
    if (!object || !exitCode) {
        return FALSE;
    }
    *exitCode = object->state->exitCode.load();
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    Clock& clock = Clock::Instance();
    if (milliseconds == INFINITE) {
        clock.SleepUntil(kNever);
        return;
    }
    clock.SleepFor(static_cast<TimeNs>(milliseconds) * kNsPerMs);
}

DWORD GetTickCount(void) {
    return Clock::Instance().TickCountMs();
}
