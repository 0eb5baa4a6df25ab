#include "touchui/Button.h"

#include "graphics/Drawing.h"

Button::Button(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      imageStyle(1),
      imagePlacement(1),
      showText(0),
      overlayImage(NULL),
      overlayMask(NULL),
      overlayStyle(3),
      showOverlay(1),
      overlayMarginLeft(ScaleX(2)),
      overlayMarginTop(ScaleY(1)),
      overlayMarginRight(ScaleX(2)),
      overlayMarginBottom(ScaleY(1)) {}

void Button::SetImage(HBITMAP image, int role) {
    if (images.Set(image, role))
        return;
    if (role == ImageOverlay)
        overlayImage = image;
    else if (role == ImageOverlayMask)
        overlayMask = image;
}

void Button::SetOverlayMargins(int l, int t, int r, int b) {
    overlayMarginLeft = l;
    overlayMarginTop = t;
    overlayMarginRight = r;
    overlayMarginBottom = b;
}

void Button::Paint(HDC hdc) {
    RECT rect;
    GetRect(&rect);

    images.Draw(hdc, rect, enabled, state, imageStyle, imagePlacement);

    if (showText) {
        RECT textRect = rect;
        DeflateRectBy(textRect, marginLeft, marginTop, marginRight, marginBottom);
        DrawTextInRect(hdc, text, textRect, textFormat, state ? activeTextColor : textColor, font);
    }

    if (showOverlay) {
        RECT o = rect;
        DeflateRectBy(o, overlayMarginLeft, overlayMarginTop, overlayMarginRight,
                      overlayMarginBottom);
        switch (overlayStyle) {
            case 1:
                DrawBitmapStretched(hdc, o.left, o.top, o.right, o.bottom, overlayImage);
                break;
            case 2:
                DrawBitmapStretchedMasked(hdc, o.left, o.top, o.right, o.bottom, overlayImage,
                                          overlayMask);
                break;
            case 3:
                DrawBitmapKeyed(hdc, o.left, o.top, o.right, o.bottom, overlayImage, 0x00FF00FF);
                break;
            default:
                break;
        }
    }
}
