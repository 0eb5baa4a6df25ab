#include "app/BackBuffer.h"

void BackBuffer::Rebuild(HWND window) {
    HDC windowDC = ::GetDC(window);
    if (dc) {
        DeleteDC(dc);  // before the bitmap, so that it is no longer selected anywhere
        dc = nullptr;
    }
    dc = CreateCompatibleDC(windowDC);
    if (bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    bitmap = CreateCompatibleBitmap(windowDC, GetSystemMetrics(SM_CXSCREEN),
                                    GetSystemMetrics(SM_CYSCREEN));
    if (dc && bitmap) {
        SelectObject(dc, bitmap);
    }
    ReleaseDC(window, windowDC);
}

void BackBuffer::Release() {
    if (dc) {
        DeleteDC(dc);
        dc = nullptr;
    }
    if (bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
}
