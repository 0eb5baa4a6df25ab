#include "app/SplashScreen.h"

#include "graphics/Drawing.h"
#include "touchui/Control.h"

void SplashScreen::SetStatusText(const wchar_t* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    StringCchCopyW(statusText_, MAX_PATH, text ? text : L"");
}

void SplashScreen::SetPercent(unsigned int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    percent_ = value > 100 ? 100 : value;
}

unsigned int SplashScreen::GetPercent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return percent_;
}

void SplashScreen::Paint(HDC hdc, int left, int top, int right, int bottom) {
    wchar_t text[MAX_PATH];
    unsigned int percent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        StringCchCopyW(text, MAX_PATH, statusText_);
        percent = percent_;
    }

    FillSolidRect(hdc, left, top, right, bottom, backgroundColor);

    const int bw = ScaleX(200);
    const int bh = ScaleY(70);
    const int bx = left + ((right - left) - bw) / 2;
    const int by = top + ScaleY(80);

    if (showBarAndText) {
        FillSolidRect(hdc, bx - 1, by - 1, bx + bw + 1, by + bh + 1, frameColor);
        FillSolidRect(hdc, bx, by, bx + bw, by + bh, barBackgroundColor);
        const unsigned int filled = percent * static_cast<unsigned int>(bw) / 100u;
        FillGradient(hdc, bx, by, bx + static_cast<int>(filled), by + bh, gradientTop,
                     gradientBottom, GRADIENT_FILL_RECT_V);
    }
    if (logo) {
        DrawBitmapKeyed(hdc, bx, by, bx + bw, by + bh, logo, RGB(255, 0, 255));
    }
    if (showBarAndText) {
        RECT band = {left, bottom - ScaleY(60), right, bottom};
        DrawTextInRect(hdc, text, band, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS,
                       textColor, textFont);
    }
}
