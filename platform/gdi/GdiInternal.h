// What the rest of the platform needs of the raster engine beyond the public GDI calls: the window
// surfaces that BeginPaint/GetDC draw into and that the device presents, and raw pixel access for
// the image decoder and for tests.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace platform::gdi {

// A 32-bit BGRX bitmap of the given size, zero-filled; null on failure or bad size.
HBITMAP CreateBitmap32(int width, int height);

// Pixels of a live bitmap (rows top-down, `stride` bytes apart); null for a bad handle.
uint32_t* BitmapPixels(HBITMAP bitmap, int* width, int* height, int* stride);

// A device context drawing into `surface` with the screen's capabilities (GetDeviceCaps reports
// the device's size and dpi). The surface stays owned by the caller; DeleteDC releases the DC.
HDC CreateSurfaceDC(HBITMAP surface);

// The screen's DC (GetDC(NULL)): like a surface DC, over a 1x1 bitmap of its own that goes with
// it, so callers on different threads share nothing.
HDC CreateScreenDC();

}  // namespace platform::gdi
