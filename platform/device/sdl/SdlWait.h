// How the UI thread waits for the SDL window's events, and how another thread wakes it.
//
// On X11 the UI thread never blocks in SDL (DisplayWatch.h says why): it polls the X connection
// and an eventfd that Wake writes, then drains SDL's queue without blocking. Other video drivers
// wait in SDL_WaitEventTimeout, woken by an event of the device's own. A wake from the UI thread
// itself writes nothing: that thread is not waiting, and looks at its queue before it waits.
#pragma once

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/Clock.h"

namespace platform {

class SdlWait {
public:
    // On the UI thread, once the window is open: watches its display and readies the wake.
    // False with the reason.
    bool Open(SDL_Window* window, std::string* error);
    // Wakes reach the window from now on, until Close or Lost.
    void Start();
    void Close();
    // The display is gone: wakes go to the clock, which the UI thread waits on from now on.
    void Lost();

    // UI thread, at device time `now`: blocks until something may have arrived or `deadline`
    // passes. True when SDL handed over an event, in *event, for the caller to handle.
    bool Block(TimeNs now, TimeNs deadline, SDL_Event* event);
    // True for the event a wake pushes, which the caller then drops.
    bool IsWake(const SDL_Event& event);

    // Any thread: ends a pending Block.
    void Wake();

private:
    std::thread::id uiThread_;
    // Wake() may race Close(): both hold mutex_ around the wake's lifetime.
    std::mutex mutex_;
    bool open_ = false;
    Uint32 wakeEvent_ = 0;
    bool waitOnDisplay_ = false;
    int wakeFd_ = -1;
    std::atomic<bool> wakePending_{false};
};

}  // namespace platform
