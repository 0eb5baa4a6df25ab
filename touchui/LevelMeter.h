#pragma once

#include "touchui/Control.h"

// A live input level, 0 to 1, as a horizontal bar: a back picture, the gradient filled from the
// left up to the level, and a mark at the highest level of the last moments (held for a while,
// then dropping to the level). It takes no touch; the program sets the level and repaints it.
class LevelMeter : public Control {
public:
    LevelMeter(HINSTANCE instance, HWND window, int id);

    // Clamped to 0..1 (a NaN reads 0). The peak rises with the level at once; it falls to it when
    // no higher level came for the hold time (read from the device clock).
    void SetLevel(double level);
    // A level in dB of full scale: the floor and below read 0, 0 dBFS and above 1, linear in dB
    // between.
    void SetDecibels(double dbfs);
    // The peak back to the present level, for a new recording.
    void ResetPeak();
    double GetLevel() const { return level; }
    double GetPeak() const { return peak; }

    void SetPeakHold(DWORD ms) { peakHoldMs = ms; }
    // The level that reads 0 (-60 dBFS unless set); ignored unless below 0 dBFS.
    void SetFloorDecibels(double value);
    void SetBackImage(HBITMAP image) { backImage = image; }
    // The fill's gradient, top to bottom.
    void SetFillColors(COLORREF top, COLORREF bottom);
    void SetPeakColor(COLORREF value) { peakColor = value; }

    void Paint(HDC hdc) override;

    double level;
    double peak;
    DWORD peakTick;  // when the peak was last raised or dropped
    DWORD peakHoldMs;
    double floorDecibels;
    HBITMAP backImage;
    COLORREF fillTop, fillBottom;
    COLORREF peakColor;
};
