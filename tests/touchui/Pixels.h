// Small off-screen surfaces with direct pixel access, for exact pixel checks.
#pragma once

#include <cstdint>

#include "platform/gdi/GdiInternal.h"
#include "platform/win32.h"

namespace touchui_test {

class PixelSurface {
public:
    PixelSurface(int w, int h) {
        bitmap_ = platform::gdi::CreateBitmap32(w, h);
        dc_ = platform::gdi::CreateSurfaceDC(bitmap_);
        pixels_ = platform::gdi::BitmapPixels(bitmap_, &width_, &height_, &stride_);
    }
    ~PixelSurface() {
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool ok() const { return dc_ && pixels_; }

    // Raw BGRX value, 0x00RRGGBB.
    uint32_t At(int x, int y) const { return pixels_[y * (stride_ / 4) + x]; }
    void Set(int x, int y, uint32_t value) { pixels_[y * (stride_ / 4) + x] = value; }
    template <typename F>
    void FillWith(F f) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                Set(x, y, f(x, y));
    }
    void Fill(uint32_t value) {
        FillWith([value](int, int) { return value; });
    }

private:
    HBITMAP bitmap_ = NULL;
    HDC dc_ = NULL;
    uint32_t* pixels_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
};

// A bitmap that is not selected into any context, as skin images are, so that the drawing
// primitives can select it.
class PixelBitmap {
public:
    PixelBitmap(int w, int h) {
        bitmap_ = platform::gdi::CreateBitmap32(w, h);
        pixels_ = platform::gdi::BitmapPixels(bitmap_, &width_, &height_, &stride_);
    }
    ~PixelBitmap() { DeleteObject(bitmap_); }
    PixelBitmap(const PixelBitmap&) = delete;
    PixelBitmap& operator=(const PixelBitmap&) = delete;

    HBITMAP bitmap() const { return bitmap_; }
    void Set(int x, int y, uint32_t value) { pixels_[y * (stride_ / 4) + x] = value; }
    template <typename F>
    void FillWith(F f) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                Set(x, y, f(x, y));
    }
    void Fill(uint32_t value) {
        FillWith([value](int, int) { return value; });
    }

private:
    HBITMAP bitmap_ = NULL;
    uint32_t* pixels_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
};

// A COLORREF (0x00BBGGRR) as the raw pixel value (0x00RRGGBB).
inline uint32_t PixelOf(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace touchui_test
