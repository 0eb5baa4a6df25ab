// Gradients, rectangle fills and single pixels.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiObjects.h"

using namespace platform;
using namespace platform::gdi;

BOOL GradientFill(HDC hdc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount,
                  ULONG mode) {
    DC* dc = LookupDC(hdc);
    if (!dc || !vertices || !mesh ||
        (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)) {
        return FALSE;
    }
    const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
    for (ULONG r = 0; r < meshCount; ++r) {
        if (rects[r].UpperLeft >= vertexCount || rects[r].LowerRight >= vertexCount) {
            return FALSE;
        }
    }
    Bitmap* target = dc->Target();
    if (!target) {
        return TRUE;
    }
    const bool vertical = mode == GRADIENT_FILL_RECT_V;
    std::vector<uint32_t> ramp;
    for (ULONG r = 0; r < meshCount; ++r) {
        TRIVERTEX v0 = vertices[rects[r].UpperLeft];
        TRIVERTEX v1 = vertices[rects[r].LowerRight];
        // The colour belongs to its vertex: swapping the corners along the shading axis swaps
        // which colour comes first.
        if (vertical ? v0.y > v1.y : v0.x > v1.x) {
            std::swap(v0, v1);
        }
        const int left = std::min(v0.x, v1.x), right = std::max(v0.x, v1.x);
        const int top = std::min(v0.y, v1.y), bottom = std::max(v0.y, v1.y);
        if (left >= right || top >= bottom) {
            continue;
        }
        const int cl = std::max(left, 0), cr = std::min(right, target->width);
        const int ct = std::max(top, 0), cb = std::min(bottom, target->height);
        if (cl >= cr || ct >= cb) {
            continue;
        }
        // One colour per row (vertical) or column (horizontal): channel = (c0 * (n - k) + c1 * k)
        // / n in 16 bits, of which the top 8 are kept.
        const int n = vertical ? bottom - top : right - left;
        const int from = vertical ? ct - top : cl - left;
        const int to = vertical ? cb - top : cr - left;
        ramp.resize(size_t(to - from));
        for (int k = from; k < to; ++k) {
            auto channel = [n, k](COLOR16 c0, COLOR16 c1) {
                return uint32_t((int64_t(c0) * (n - k) + int64_t(c1) * k) / n) >> 8;
            };
            ramp[size_t(k - from)] = (channel(v0.Red, v1.Red) << 16) |
                                     (channel(v0.Green, v1.Green) << 8) | channel(v0.Blue, v1.Blue);
        }
        for (int y = ct; y < cb; ++y) {
            uint32_t* row = target->Row(y) + cl;
            if (vertical) {
                std::fill(row, row + (cr - cl), ramp[size_t(y - ct)]);
            } else {
                std::memcpy(row, ramp.data(), size_t(cr - cl) * 4);
            }
        }
    }
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH hbrush) {
    DC* dc = LookupDC(hdc);
    Brush* brush = LookupAs<Brush>(hbrush);
    if (!dc || !rect || !brush) {
        return 0;
    }
    Bitmap* target = dc->Target();
    if (brush->hollow || !target) {
        return 1;
    }
    const int left = int(std::max<LONG>(rect->left, 0));
    const int top = int(std::max<LONG>(rect->top, 0));
    const int right = int(std::min<LONG>(rect->right, target->width));
    const int bottom = int(std::min<LONG>(rect->bottom, target->height));
    const uint32_t pixel = ToPixel(brush->color);
    for (int y = top; y < bottom; ++y) {
        uint32_t* row = target->Row(y);
        if (left < right) {
            std::fill(row + left, row + right, pixel);
        }
    }
    return 1;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    DC* dc = LookupDC(hdc);
    if (!dc || x < 0 || y < 0 || x >= dc->bitmap->width || y >= dc->bitmap->height) {
        return CLR_INVALID;
    }
    return ToColor(dc->bitmap->Row(y)[x]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    DC* dc = LookupDC(hdc);
    Bitmap* target = dc ? dc->Target() : nullptr;
    if (!target || x < 0 || y < 0 || x >= target->width || y >= target->height) {
        return CLR_INVALID;
    }
    target->Row(y)[x] = ToPixel(color);
    return color & 0xFFFFFF;
}
