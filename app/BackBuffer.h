// The screen-sized memory picture all painting goes to; the window gets it in one copy, so the
// screen never flickers. Whatever the window's size, it is as large as the screen.
#pragma once

#include "platform/win32.h"

class BackBuffer {
public:
    BackBuffer() = default;
    ~BackBuffer() { Release(); }
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // Makes it anew, compatible with `window` (null: the display, as while the window is still
    // being created).
    void Rebuild(HWND window);
    void Release();

    HDC GetDC() const { return dc; }
    HBITMAP GetBitmap() const { return bitmap; }

private:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
};
