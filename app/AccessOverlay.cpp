#include "app/AccessOverlay.h"

#include <cmath>

#include "graphics/Drawing.h"

namespace {

const COLORREF kBright = RGB(255, 214, 0);
const COLORREF kEdge = RGB(0, 0, 0);
const COLORREF kTrack = RGB(70, 70, 70);

void Frame(HDC dc, const RECT& r, int width, COLORREF color) {
    FillSolidRect(dc, r.left, r.top, r.right, r.top + width, color);
    FillSolidRect(dc, r.left, r.bottom - width, r.right, r.bottom, color);
    FillSolidRect(dc, r.left, r.top + width, r.left + width, r.bottom - width, color);
    FillSolidRect(dc, r.right - width, r.top + width, r.right, r.bottom - width, color);
}

}  // namespace

void DrawHighlightFrame(HDC dc, const RECT& rect, int thickness) {
    RECT r = rect;
    Frame(dc, r, 1, kEdge);
    DeflateRectBy(r, 1, 1, 1, 1);
    Frame(dc, r, thickness, kBright);
    DeflateRectBy(r, thickness, thickness, thickness, thickness);
    Frame(dc, r, 1, kEdge);
}

void DrawDwellRing(HDC dc, int cx, int cy, int radius, int thickness, double progress) {
    const double pi = std::acos(-1.0);
    const double outer = radius + 0.5;
    const double inner = radius - thickness + 0.5;
    // Row by row, in runs of one colour: a black edge outside and inside, then the fill or track.
    for (int dy = -radius - 1; dy <= radius + 1; ++dy) {
        int runStart = 0;
        COLORREF runColor = CLR_INVALID;
        for (int dx = -radius - 2; dx <= radius + 2; ++dx) {
            const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            COLORREF color = CLR_INVALID;
            if (d <= outer + 1 && d >= inner - 1) {
                color = kEdge;
                if (d <= outer && d >= inner) {
                    // Clockwise from the top, on a screen whose y runs down.
                    double angle = std::atan2(static_cast<double>(dx), static_cast<double>(-dy));
                    if (angle < 0) {
                        angle += 2 * pi;
                    }
                    color = angle < progress * 2 * pi ? kBright : kTrack;
                }
            }
            if (color != runColor) {
                if (runColor != CLR_INVALID) {
                    FillSolidRect(dc, cx + runStart, cy + dy, cx + dx, cy + dy + 1, runColor);
                }
                runStart = dx;
                runColor = color;
            }
        }
        if (runColor != CLR_INVALID) {
            FillSolidRect(dc, cx + runStart, cy + dy, cx + radius + 3, cy + dy + 1, runColor);
        }
    }
}
