#include "touchui/LevelMeter.h"

#include <algorithm>
#include <cmath>

#include "graphics/Drawing.h"

LevelMeter::LevelMeter(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      level(0),
      peak(0),
      peakTick(0),
      peakHoldMs(1500),
      floorDecibels(-60.0),
      backImage(NULL),
      fillTop(RGB(0xA5, 0xFB, 0x31)),
      fillBottom(RGB(0x33, 0x66, 0x00)),
      peakColor(RGB(0xC8, 0xFF, 0x70)) {
    interactive = 0;
}

void LevelMeter::SetLevel(double value) {
    level = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    const DWORD now = GetTickCount();
    if (level >= peak || now - peakTick >= peakHoldMs) {
        peak = level;
        peakTick = now;
    }
}

void LevelMeter::SetDecibels(double dbfs) {
    // Below the floor, at minus infinity or NaN, SetLevel's clamp reads 0.
    SetLevel(1.0 - dbfs / floorDecibels);
}

void LevelMeter::SetFloorDecibels(double value) {
    if (value < 0)
        floorDecibels = value;
}

void LevelMeter::ResetPeak() {
    peak = level;
    peakTick = GetTickCount();
}

void LevelMeter::SetFillColors(COLORREF top, COLORREF bottom) {
    fillTop = top;
    fillBottom = bottom;
}

void LevelMeter::Paint(HDC hdc) {
    RECT r;
    GetRect(&r);
    DrawBitmapStretched(hdc, r.left, r.top, r.right, r.bottom, backImage);
    const int span = r.right - r.left;
    const int fillRight = r.left + static_cast<int>(std::lround(span * level));
    FillGradient(hdc, r.left, r.top, fillRight, r.bottom, fillTop, fillBottom,
                 GRADIENT_FILL_RECT_V);
    if (peak > 0) {
        // The mark ends where the peak's fill would end, so that it never leaves the bar.
        const int markRight = r.left + static_cast<int>(std::lround(span * peak));
        const int markLeft = std::max<int>(r.left, markRight - std::max(1, ScaleX(2)));
        FillSolidRect(hdc, markLeft, r.top, markRight, r.bottom, peakColor);
    }
}
