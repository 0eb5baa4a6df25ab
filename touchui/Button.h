#pragma once

#include "touchui/Control.h"

// A push button drawn from images; reports a completed press with Released then Clicked.
class Button : public Control {
public:
    Button(HINSTANCE instance, HWND window, int id);

    void SetImage(HBITMAP image, int role);
    void SetImageStyle(int value) { imageStyle = value; }
    void SetImagePlacement(int value) { imagePlacement = value; }
    void SetShowText(int value) { showText = value; }
    void SetOverlayStyle(int value) { overlayStyle = value; }
    void SetShowOverlay(int value) { showOverlay = value; }
    void SetOverlayMargins(int l, int t, int r, int b);
    // A button without pictures: a framed key filled with a gradient, top to bottom, another one
    // while pressed; its text on it.
    void SetKeyColors(COLORREF frame, COLORREF top, COLORREF bottom, COLORREF pressedTop,
                      COLORREF pressedBottom);
    // What a completed touch does, for a key or a switch: Released, then Clicked, to the
    // control's window.
    void Click() { CompletePress(window); }

    void Paint(HDC hdc) override;

    StateImages images;  // normal (up), active (pressed), disabled
    int imageStyle;      // 1 single image, 2 image with mask
    int imagePlacement;  // 1 centred at natural size, 2 stretched
    int showText;
    HBITMAP overlayImage;
    HBITMAP overlayMask;
    int overlayStyle;  // 1 stretched, 2 stretched with mask, 3 stretched with magenta left out
    int showOverlay;
    int overlayMarginLeft, overlayMarginTop, overlayMarginRight, overlayMarginBottom;
    int keyStyle;  // drawn as a key instead of pictures
    COLORREF keyFrame, keyTop, keyBottom, keyPressedTop, keyPressedBottom;
};
