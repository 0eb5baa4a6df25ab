#include "platform/device/sdl/DisplayWatch.h"

#include <SDL_syswm.h>

#include <atomic>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#endif

namespace platform::sdl {
namespace {

std::atomic<const char*> gLost{nullptr};
Uint32 gLostEvent = static_cast<Uint32>(-1);

// Records the first reason and wakes SDL_WaitEvent, which otherwise keeps polling the dead
// connection without ever returning.
void MarkLost(const char* reason) {
    const char* none = nullptr;
    if (gLost.compare_exchange_strong(none, reason) && gLostEvent != static_cast<Uint32>(-1)) {
        SDL_Event event{};
        event.type = gLostEvent;
        SDL_PushEvent(&event);
    }
}

#if defined(SDL_VIDEO_DRIVER_X11)
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

void WatchDisplay(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    gWindow = info.info.x11.window;
    gLostEvent = SDL_RegisterEvents(1);
    XSetIOErrorHandler(OnIoError);
    XSetIOErrorExitHandler(info.info.x11.display, OnIoErrorExit, nullptr);
    gPreviousErrorHandler = XSetErrorHandler(OnError);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_AddEventWatch(OnEvent, nullptr);
#else
    (void)window;
#endif
}

const char* DisplayLost() {
    const char* lost = gLost.load();
    return lost ? lost : "";
}

}  // namespace platform::sdl
