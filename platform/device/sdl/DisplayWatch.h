// The display connection under an SDL window. Xlib ends the process (exit) when its connection to
// the X server breaks (the server stops, the client is killed from outside) and on an error about
// a window another client destroyed; watched, both only raise a flag, so the program can close
// the way it always does and save first.
#pragma once

#include <SDL.h>

namespace platform::sdl {

// Starts watching the connection of `window` (a no-op under other video drivers).
void WatchDisplay(SDL_Window* window);

// Why the window is gone ("" while it is not). Any thread.
const char* DisplayLost();

}  // namespace platform::sdl
