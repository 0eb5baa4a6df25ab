// A 32-bit bitmap with direct access to its pixels (0x00RRGGBB, BGRX in memory), for exact
// pixel checks: drawn into through a memory DC, through a DC like a window's, or not at all.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gdi/GdiInternal.h"
#include "platform/win32.h"

namespace pixels {

class Surface {
public:
    enum Kind {
        MemoryDc,  // selected into a memory DC of its own (CreateCompatibleDC)
        WindowDc,  // a DC that draws into it as a window's does; the bitmap stays free to be
                   // selected elsewhere, as a page's surface is by the transitions
        NoDc,      // no DC: a picture as the skin holds it, for the drawing calls to select
    };

    Surface(int width, int height, Kind kind = MemoryDc) : w(width), h(height) {
        bitmap = platform::gdi::CreateBitmap32(width, height);
        if (kind == MemoryDc) {
            dc = CreateCompatibleDC(nullptr);
            previous = SelectObject(dc, bitmap);
        } else if (kind == WindowDc) {
            dc = platform::gdi::CreateSurfaceDC(bitmap);
        }
        bits = reinterpret_cast<uint8_t*>(
            platform::gdi::BitmapPixels(bitmap, nullptr, nullptr, &stride));
    }
    ~Surface() {
        if (previous) {
            SelectObject(dc, previous);
        }
        if (dc) {
            DeleteDC(dc);
        }
        DeleteObject(bitmap);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool ok() const { return bits != nullptr; }
    uint32_t& At(int x, int y) { return reinterpret_cast<uint32_t*>(bits + y * stride)[x]; }
    uint32_t At(int x, int y) const {
        return reinterpret_cast<const uint32_t*>(bits + y * stride)[x];
    }
    void Fill(const std::function<uint32_t(int, int)>& f) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                At(x, y) = f(x, y);
            }
        }
    }
    void Fill(uint32_t pixel) {
        Fill([pixel](int, int) { return pixel; });
    }
    // FNV-1a over the pixels, row by row.
    uint64_t Hash() const {
        uint64_t hash = 1469598103934665603ull;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t p = At(x, y);
                for (int b = 0; b < 4; ++b) {
                    hash = (hash ^ ((p >> (8 * b)) & 0xFF)) * 1099511628211ull;
                }
            }
        }
        return hash;
    }

    const int w, h;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    int stride = 0;
};

// A COLORREF (0x00BBGGRR) as the raw pixel value (0x00RRGGBB).
inline uint32_t PixelOf(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace pixels
