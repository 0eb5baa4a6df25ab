// The raster engine's objects behind the GDI handles, shared by its source files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/kernel/Handles.h"
#include "platform/win32.h"

namespace platform::gdi {

// COLORREF is 0x00BBGGRR; a BGRX pixel read as a little-endian word is 0xXXRRGGBB.
inline uint32_t ToPixel(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF ToColor(uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// Guards selection counts and deferred deletion. Drawing never takes it.
std::mutex& ObjectLock();

// Objects that can be selected into a DC. Stock objects are shared and never deleted. A brush,
// pen or font deleted while selected goes when its last DC lets go of it; a selected bitmap
// refuses deletion.
struct GdiObject : HandleObject {
    explicit GdiObject(HandleType t) : HandleObject(t) {}
    bool stock = false;
    int selections = 0;
    bool deletePending = false;
};

struct Bitmap final : GdiObject {
    static constexpr HandleType kType = HandleType::Bitmap;
    Bitmap(int w, int h, uint32_t* top, ptrdiff_t rowBytes, std::unique_ptr<uint32_t[]> owned)
        : GdiObject(kType),
          width(w),
          height(h),
          bits(top),
          stride(rowBytes),
          storage(std::move(owned)) {}
    uint32_t* Row(int y) const {
        return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(bits) + y * stride);
    }
    const int width;
    const int height;
    uint32_t* const bits;    // top row
    const ptrdiff_t stride;  // bytes from one row to the next below it (negative: bottom-up DIB)
    std::unique_ptr<uint32_t[]> storage;
};

struct Brush final : GdiObject {
    static constexpr HandleType kType = HandleType::Brush;
    explicit Brush(COLORREF c, bool isHollow = false)
        : GdiObject(kType), color(c & 0xFFFFFF), hollow(isHollow) {}
    const COLORREF color;
    const bool hollow;
};

struct Pen final : GdiObject {
    static constexpr HandleType kType = HandleType::Pen;
    explicit Pen(COLORREF c, bool isNull = false)
        : GdiObject(kType), color(c & 0xFFFFFF), null(isNull) {}
    const COLORREF color;
    const bool null;
};

class FontFace;

struct Font final : GdiObject {
    static constexpr HandleType kType = HandleType::Font;
    Font(const LOGFONT& lf, std::shared_ptr<FontFace> f)
        : GdiObject(kType), logFont(lf), face(std::move(f)) {}
    const LOGFONT logFont;
    const std::shared_ptr<FontFace> face;
};

struct DC final : HandleObject {
    static constexpr HandleType kType = HandleType::DC;
    DC() : HandleObject(kType) {}
    bool memory = true;
    Bitmap* bitmap = nullptr;  // always set; the stock 1x1 bitmap is never drawn on
    Brush* brush = nullptr;
    Pen* pen = nullptr;
    Font* font = nullptr;  // null: the default font
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;

    // The bitmap drawing may write to, or null.
    Bitmap* Target() const { return bitmap && !bitmap->stock ? bitmap : nullptr; }
};

inline DC* LookupDC(HDC hdc) {
    return LookupAs<DC>(hdc);
}

// Screen resolution for DCs: the current device's, or 96 dpi without one.
int DeviceDpiX();
int DeviceDpiY();

// The font a DC draws with (its selected one or the default), never null.
Font* EffectiveFont(const DC* dc);

// Blends one BGRX pixel over another with an 8-bit weight for the source, per channel
// (s * a + d * (255 - a) + 127) / 255, two channels per multiply.
inline uint32_t BlendPixel(uint32_t s, uint32_t d, uint32_t a) {
    const uint32_t na = 255 - a;
    uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * na + 0x007F007Fu;
    uint32_t gx = ((s >> 8) & 0x00FF00FFu) * a + ((d >> 8) & 0x00FF00FFu) * na + 0x007F007Fu;
    // x / 255 == (x + 1 + (x >> 8)) >> 8 for every x below 65535; each lane stays below 2^16.
    rb = ((rb + 0x00010001u + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    gx = ((gx + 0x00010001u + ((gx >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    return rb | (gx << 8);
}

// BlendPixel over a run of n pixels, dst and src not overlapping. `widest` lets it use the widest
// vector code the processor has; false keeps to the baseline (for testing both).
void BlendRow(uint32_t* dst, const uint32_t* src, int n, uint32_t alpha, bool widest = true);

}  // namespace platform::gdi
