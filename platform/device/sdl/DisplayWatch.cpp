#include "platform/device/sdl/DisplayWatch.h"

#include <SDL_syswm.h>
#include <poll.h>

#include <atomic>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#endif

namespace platform::sdl {
namespace {

std::atomic<const char*> gLost{nullptr};

// Records the first reason; the UI thread finds it when its wait returns, which a broken
// connection makes it do at once.
void MarkLost(const char* reason) {
    const char* none = nullptr;
    gLost.compare_exchange_strong(none, reason);
}

#if defined(SDL_VIDEO_DRIVER_X11)
Display* gDisplay = nullptr;
Window gWindow = 0;
int (*gPreviousErrorHandler)(Display*, XErrorEvent*) = nullptr;

// Called instead of Xlib's default, which prints and exits.
int OnIoError(Display*) {
    MarkLost("lost the connection to the X display");
    return 0;
}

// Returning instead of exiting leaves the connection marked broken: later calls fail at once.
void OnIoErrorExit(Display* display, void*) {
    OnIoError(display);
}

// Every X event reaches SDL's queue as a system event too; the one that says another program
// destroyed the window is the only one looked at.
int OnEvent(void*, SDL_Event* event) {
    if (event->type == SDL_SYSWMEVENT && event->syswm.msg &&
        event->syswm.msg->subsystem == SDL_SYSWM_X11) {
        const XEvent& x = event->syswm.msg->msg.x11.event;
        if (x.type == DestroyNotify && x.xdestroywindow.window == gWindow) {
            MarkLost("the window was destroyed by another program");
        }
    }
    return 1;
}

int OnError(Display* display, XErrorEvent* error) {
    if (gWindow && error->resourceid == gWindow &&
        (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        MarkLost("the window was destroyed by another program");
        return 0;
    }
    return gPreviousErrorHandler ? gPreviousErrorHandler(display, error) : 0;
}
#endif

}  // namespace

bool WatchDisplay(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    gDisplay = info.info.x11.display;
    gWindow = info.info.x11.window;
    XSetIOErrorHandler(OnIoError);
    XSetIOErrorExitHandler(gDisplay, OnIoErrorExit, nullptr);
    gPreviousErrorHandler = XSetErrorHandler(OnError);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_AddEventWatch(OnEvent, nullptr);
    return true;
#else
    (void)window;
    return false;
#endif
}

void StopWatchingDisplay() {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (gDisplay)
        SDL_DelEventWatch(OnEvent, nullptr);
    gDisplay = nullptr;
    gWindow = 0;
#endif
}

void WaitOnDisplay(int wakeFd, int timeoutMs) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (!gDisplay || gLost.load() || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT))
        return;
    // Sends what is buffered, and reads what has arrived: events Xlib holds already would not
    // make the connection readable.
    if (XPending(gDisplay) > 0 || gLost.load())
        return;
    pollfd fds[2] = {{ConnectionNumber(gDisplay), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    // A signal (EINTR) returns too; the caller looks at what it has to do and waits again.
    poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
#else
    (void)wakeFd;
    (void)timeoutMs;
#endif
}

const char* DisplayLost() {
    const char* lost = gLost.load();
    return lost ? lost : "";
}

}  // namespace platform::sdl
