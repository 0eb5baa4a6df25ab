#pragma once

#include "touchui/Control.h"

// A two-state toggle drawn from an off and an on image; flips on touch-down. The checked state is
// `state`.
class CheckBox : public Control {
public:
    CheckBox(HINSTANCE instance, HWND window, int id);

    // Roles 1, 2 (off image and mask), 3, 4 (on), 9, 10 (disabled).
    void SetImage(HBITMAP image, int role);
    void SetImageStyle(int value) { imageStyle = value; }
    void SetImagePlacement(int value) { imagePlacement = value; }
    void SetShowText(int value) { showText = value; }
    void SetChecked(int value) { state = value; }
    int IsChecked() const { return state; }
    // What a touch does, for a key or a switch: flips, repaints, and reports Toggled to the
    // control's window.
    void Toggle() { Flip(window); }

    void Paint(HDC hdc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    // Lifts and moves pass on to the controls after it.
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;
    // Flips back what the touch-down flipped: Toggled, then Cancelled.
    void CancelTouch(HWND window) override;

    StateImages images;  // normal (off), active (on), disabled
    int imageStyle;
    int imagePlacement;
    int showText;

private:
    void Flip(HWND target);

    bool flippedByTouch = false;  // from the touch-down until its lift
};
