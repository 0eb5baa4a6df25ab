// The start-up picture: the product logo filling with green as loading proceeds, and a status line.
// The loader thread reports progress while the UI thread paints, so text and percent are locked.
#pragma once

#include <mutex>

#include "platform/win32.h"

class SplashScreen {
public:
    SplashScreen() = default;

    void SetLogo(HBITMAP bitmap) { logo = bitmap; }
    // A null text sets the empty text; longer texts are cut to fit.
    void SetStatusText(const wchar_t* text);
    // Values above 100 are stored as 100.
    void SetPercent(unsigned int value);
    unsigned int GetPercent() const;
    void Paint(HDC hdc, int left, int top, int right, int bottom);

    HBITMAP logo = nullptr;
    COLORREF backgroundColor = RGB(0, 0, 0);
    HFONT textFont = nullptr;
    COLORREF textColor = RGB(255, 255, 255);
    COLORREF frameColor = RGB(0, 0, 0);
    COLORREF barBackgroundColor = RGB(0, 0, 0);
    COLORREF gradientTop = RGB(165, 251, 49);
    COLORREF gradientBottom = RGB(51, 102, 0);
    int showBarAndText = 1;

private:
    mutable std::mutex mutex_;
    wchar_t statusText_[MAX_PATH] = {};
    unsigned int percent_ = 0;
};
