// Helpers for pixel-exact engine tests: bitmaps made by formula in memory DCs, canary-filled
// destinations and a hash of the bits for checking a labelled drawing step.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gdi/GdiInternal.h"
#include "platform/win32.h"

namespace gditest {

constexpr uint32_t kCanary = 0x00A5C3E1;  // BGRX pixel no formula produces by accident

// A bitmap selected into its own memory DC, released in order (DC first, then the bitmap).
class Surface {
public:
    Surface(int width, int height) : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = platform::gdi::CreateBitmap32(width, height);
        previous = SelectObject(dc, bitmap);
        bits = reinterpret_cast<uint8_t*>(
            platform::gdi::BitmapPixels(bitmap, nullptr, nullptr, &stride));
    }
    ~Surface() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    uint32_t& At(int x, int y) { return reinterpret_cast<uint32_t*>(bits + y * stride)[x]; }
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
    uint64_t Hash() {
        uint64_t hash = 1469598103934665603ull;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t p = At(x, y);
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

// A source pixel that differs in every channel from its neighbours.
inline uint32_t Pattern(int x, int y) {
    return (uint32_t(x * 37 + y * 11) & 0xFF) << 16 | (uint32_t(x * 5 + y * 71) & 0xFF) << 8 |
           (uint32_t(x * 13 ^ y * 29) & 0xFF);
}

}  // namespace gditest
