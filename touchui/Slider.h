#pragma once

#include "touchui/Control.h"

// A horizontal value bar: back image, a gradient filled up to the value, a keyed front image and
// the value as a percentage text. The finger sets the value from its x position; `state` is 1
// while the slider holds a touch. The setters' last argument repaints only when it is 1.
class Slider : public Control {
public:
    Slider(HINSTANCE instance, HWND window, int id);

    // Ignored unless min < max and 1 <= step <= max - min; then the value becomes min.
    void SetRange(int min, int max, int step, int repaint);
    // Ignored outside minimum..maximum. With snapping the value moves up to a multiple of step.
    void SetValue(int v, int repaint);
    // Ignored above 100 (a negative percentage counts as above).
    void SetPercent(int percent, int repaint);
    // The value as a percentage of the range, measured from 0 (not from minimum), within 0..100.
    int GetPercent() const;
    int GetValue() const { return value; }
    void SetValueFromX(int x, int repaint);
    // What a key or a switch does: a tenth of the range up (at least a step), from the top back
    // to the bottom; repaints and reports ValueChanged, then Released. Nothing for a read-only one.
    void StepUp();

    void SetShowText(int value, int repaint);
    void SetBackImage(HBITMAP image, int style, int repaint);
    void SetFrontImage(HBITMAP image, int style, int repaint);
    void SetFillColors(COLORREF start, COLORREF end, int repaint);
    void SetSnapToStep(int value) { snapToStep = value; }
    void SetReadOnly(int value) { readOnly = value; }

    void Paint(HDC hdc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;
    // Back to the value from before the touch: ValueChanged, then Cancelled.
    void CancelTouch(HWND window) override;

    int minimum;
    int maximum;
    int step;
    int value;
    int snapToStep;
    int showText;
    HBITMAP backImage;
    int backStyle;  // only 1 draws
    HBITMAP frontImage;
    int frontStyle;  // only 3 draws
    COLORREF fillColorStart;
    COLORREF fillColorEnd;
    int fillMode;  // GRADIENT_FILL_RECT_V: start colour at the top
    int readOnly;

private:
    void RepaintIf(int repaint) const;
    void FormatText();

    int valueBeforeTouch = 0;
};
