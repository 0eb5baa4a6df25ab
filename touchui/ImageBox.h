#pragma once

#include "touchui/Control.h"

// A picture that takes no touch.
class ImageBox : public Control {
public:
    ImageBox(HINSTANCE instance, HWND window, int id);

    // Roles 1 (image) and 2 (its mask) only.
    void SetImage(HBITMAP image, int role);
    void SetImageStyle(int value) { imageStyle = value; }
    void SetImagePlacement(int value) { imagePlacement = value; }

    void Paint(HDC hdc) override;

    HBITMAP image;
    HBITMAP mask;
    int imageStyle;
    int imagePlacement;
};
