#include "platform/device/sdl/SdlWait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/device/sdl/DisplayWatch.h"

namespace platform {

bool SdlWait::Open(SDL_Window* window, std::string* error) {
    uiThread_ = std::this_thread::get_id();
    waitOnDisplay_ = sdl::WatchDisplay(window);
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == static_cast<Uint32>(-1)) {
        *error = SDL_GetError();
        return false;
    }
    if (waitOnDisplay_) {
        std::lock_guard<std::mutex> lock(mutex_);
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0) {
            *error = std::string("eventfd: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void SdlWait::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
}

void SdlWait::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        if (wakeFd_ >= 0)
            close(wakeFd_);
        wakeFd_ = -1;
    }
    sdl::StopWatchingDisplay();
    waitOnDisplay_ = false;
}

void SdlWait::Lost() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

bool SdlWait::Block(TimeNs now, TimeNs deadline, SDL_Event* event) {
    int timeoutMs = -1;
    if (deadline != kNever) {
        const TimeNs wait = (std::max(deadline, now) - now + kNsPerMs - 1) / kNsPerMs;
        timeoutMs = static_cast<int>(std::min<TimeNs>(wait, INT_MAX));
    }
    if (waitOnDisplay_) {
        sdl::WaitOnDisplay(wakeFd_, timeoutMs);
        // Drained before the flag is cleared: a wake between the two then finds the flag still
        // set and writes nothing, but what it woke for is already queued, and the caller looks
        // at the queue next. Cleared first, a wake in between would write, be drained here, and
        // leave the flag set with nothing to read, so that no later wake would write again.
        uint64_t wakes;
        (void)!read(wakeFd_, &wakes, sizeof wakes);
        wakePending_ = false;
        return false;
    }
    return timeoutMs < 0 ? SDL_WaitEvent(event) : SDL_WaitEventTimeout(event, timeoutMs);
}

bool SdlWait::IsWake(const SDL_Event& event) {
    if (event.type != wakeEvent_)
        return false;
    wakePending_ = false;
    return true;
}

void SdlWait::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) {
            if (std::this_thread::get_id() != uiThread_ && !wakePending_.exchange(true)) {
                if (waitOnDisplay_) {
                    const uint64_t one = 1;
                    if (write(wakeFd_, &one, sizeof one) != sizeof one)
                        wakePending_ = false;
                } else {
                    SDL_Event event{};
                    event.type = wakeEvent_;
                    if (SDL_PushEvent(&event) != 1)
                        wakePending_ = false;
                }
            }
            return;
        }
    }
    // Without a window the UI thread waits on the clock.
    Clock::Instance().Notify();
}

}  // namespace platform
