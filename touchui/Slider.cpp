#include "touchui/Slider.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "graphics/Drawing.h"

Slider::Slider(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      minimum(0),
      maximum(100),
      step(10),
      value(0),
      snapToStep(1),
      showText(1),
      backImage(NULL),
      backStyle(1),
      frontImage(NULL),
      frontStyle(3),
      fillColorStart(0x00808080),
      fillColorEnd(0x00808080),
      fillMode(GRADIENT_FILL_RECT_V),
      readOnly(0) {
    SetRange(0, 100, 10, 0);
}

void Slider::RepaintIf(int repaint) const {
    if (repaint == 1)
        Invalidate();
}

// Range arithmetic is done in 64 bits so that extreme bounds cannot overflow.
void Slider::SetRange(int min, int max, int stepSize, int repaint) {
    if (min >= max || stepSize < 1 || stepSize > static_cast<long long>(max) - min)
        return;
    minimum = min;
    maximum = max;
    step = stepSize;
    SetValue(min, repaint);
}

void Slider::SetValue(int v, int repaint) {
    if (v < minimum || v > maximum)
        return;
    long long snapped = v;
    if (snapToStep && step >= 1) {
        const long long rest = snapped % step;
        if (rest > 0)
            snapped += step - rest;
        else if (rest < 0)
            snapped -= rest;
        // The next multiple may not fit an int; the value then stays where it was put.
        if (snapped > INT_MAX)
            snapped = v;
    }
    value = static_cast<int>(snapped);
    FormatText();
    RepaintIf(repaint);
}

void Slider::FormatText() {
    std::swprintf(text, TextCapacity, L"%d %%", GetPercent());
}

int Slider::GetPercent() const {
    const long long range = static_cast<long long>(maximum) - minimum;
    if (range <= 0)
        return 0;
    long long percent = static_cast<long long>(value) * 100 / range;
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    return static_cast<int>(percent);
}

void Slider::SetPercent(int percent, int repaint) {
    if (static_cast<unsigned>(percent) > 100)
        return;
    const unsigned long long range =
        static_cast<unsigned long long>(static_cast<long long>(maximum) - minimum);
    long long v = static_cast<long long>(static_cast<unsigned long long>(percent) * range / 100);
    if (v < minimum)
        v = minimum;
    if (v > maximum)
        v = maximum;
    SetValue(static_cast<int>(v), repaint);
}

void Slider::SetValueFromX(int x, int repaint) {
    if (width <= 0)
        return;
    const long long range = static_cast<long long>(maximum) - minimum;
    const long long v = range * (static_cast<long long>(x) - left) / width;
    if (v < minimum || v > maximum)
        return;
    SetValue(static_cast<int>(v), repaint);
}

void Slider::StepUp() {
    if (readOnly) {
        return;
    }
    const long long range = static_cast<long long>(maximum) - minimum;
    long long next = static_cast<long long>(value) + std::max<long long>(range / 10, step);
    if (value >= maximum) {
        next = minimum;
    } else if (next > maximum) {
        next = maximum;
    }
    SetValue(static_cast<int>(next), 1);
    Notify(window, ValueChanged);
    Notify(window, Released);
}

void Slider::SetShowText(int show, int repaint) {
    showText = show;
    RepaintIf(repaint);
}

void Slider::SetBackImage(HBITMAP image, int style, int repaint) {
    backImage = image;
    backStyle = style;
    RepaintIf(repaint);
}

void Slider::SetFrontImage(HBITMAP image, int style, int repaint) {
    frontImage = image;
    frontStyle = style;
    RepaintIf(repaint);
}

void Slider::SetFillColors(COLORREF start, COLORREF end, int repaint) {
    fillColorStart = start;
    fillColorEnd = end;
    fillMode = GRADIENT_FILL_RECT_V;
    RepaintIf(repaint);
}

void Slider::Paint(HDC hdc) {
    RECT r;
    GetRect(&r);
    if (backImage && backStyle == 1)
        DrawBitmapStretched(hdc, r.left, r.top, r.right, r.bottom, backImage);

    const unsigned span = static_cast<unsigned>(r.right - r.left);
    const int fillRight =
        r.left + static_cast<int>(span * static_cast<unsigned>(GetPercent()) / 100u);
    FillGradient(hdc, r.left, r.top, fillRight, r.bottom, fillColorStart, fillColorEnd, fillMode);

    if (frontImage && frontStyle == 3)
        DrawBitmapKeyed(hdc, r.left, r.top, r.right, r.bottom, frontImage, 0x00FF00FF);
    if (showText)
        DrawTextInRect(hdc, text, r, textFormat, textColor, font);
}

int Slider::OnTouchDown(HWND target, int, int x, int y) {
    if (readOnly)
        return 0;
    state = HitTest(x, y) ? 1 : 0;
    if (!state)
        return 0;
    valueBeforeTouch = value;
    Notify(target, Pressed);
    SetValueFromX(x, 1);
    Notify(target, ValueChanged);
    return 1;
}

int Slider::OnTouchMove(HWND target, int, int x, int) {
    // Once held, the slider follows the finger wherever it goes.
    if (readOnly || !state)
        return 0;
    Notify(target, Dragged);
    SetValueFromX(x, 1);
    Notify(target, ValueChanged);
    return 1;
}

int Slider::OnTouchUp(HWND target, int, int x, int) {
    if (readOnly)
        return 0;
    if (!state) {
        Invalidate();
        return 0;
    }
    state = 0;
    Notify(target, Released);
    SetValueFromX(x, 1);
    Notify(target, Clicked);
    return 1;
}

void Slider::CancelTouch(HWND target) {
    if (readOnly || !state)
        return;
    state = 0;
    // Put back as it was, not through SetValue: snapping may have been switched since.
    value = valueBeforeTouch;
    FormatText();
    Invalidate();
    Notify(target, ValueChanged);
    Notify(target, Cancelled);
}
