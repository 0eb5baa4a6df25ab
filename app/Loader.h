// Start-up: everything slow runs once on the loader thread while the window shows the splash.
#pragma once

#include "platform/win32.h"

// The loader thread's procedure; `window` is the MainWindow, whose splash shows the progress.
DWORD WINAPI LoaderThreadProc(LPVOID window);
