// The display connection under an SDL window. Xlib ends the process (exit) when its connection to
// the X server breaks (the server stops, the client is killed from outside) and on an error about
// a window another client destroyed; watched, both only raise a flag, so the program can close
// the way it always does and save first.
//
// SDL wakes a thread blocked in SDL_WaitEvent through a second X connection of its own, which the
// watch cannot reach: once the server is gone, the first wake-up written to it would end the
// process after all. So on X11 the UI thread does not block in SDL: it waits here, on the
// connection and on a descriptor of the caller's, and then drains SDL's queue without blocking.
#pragma once

#include <SDL.h>

namespace platform::sdl {

// Starts watching the connection of `window`; false where it is not an X11 window (other video
// drivers): the caller then waits in SDL_WaitEvent as usual.
bool WatchDisplay(SDL_Window* window);

// Before the window and its video subsystem go away.
void StopWatchingDisplay();

// Blocks until the watched connection has events to read, `wakeFd` is readable, or `timeoutMs`
// passes (-1: no limit). Returns at once when events are already queued, in SDL or in Xlib, or the
// connection is lost. UI thread only, while WatchDisplay's window is open.
void WaitOnDisplay(int wakeFd, int timeoutMs);

// Why the window is gone ("" while it is not). Any thread.
const char* DisplayLost();

}  // namespace platform::sdl
