#include "touchui/Button.h"

#include "graphics/Drawing.h"

Button::Button(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      normalImage(NULL),
      normalMask(NULL),
      activeImage(NULL),
      activeMask(NULL),
      disabledImage(NULL),
      disabledMask(NULL),
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
    switch (role) {
        case ImageNormal:
            normalImage = image;
            break;
        case ImageNormalMask:
            normalMask = image;
            break;
        case ImageActive:
            activeImage = image;
            break;
        case ImageActiveMask:
            activeMask = image;
            break;
        case ImageDisabled:
            disabledImage = image;
            break;
        case ImageDisabledMask:
            disabledMask = image;
            break;
        case ImageOverlay:
            overlayImage = image;
            break;
        case ImageOverlayMask:
            overlayMask = image;
            break;
        default:
            break;
    }
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

    if (!enabled)
        DrawImage(hdc, rect, disabledImage, disabledMask, imageStyle, imagePlacement);
    else if (state)
        DrawImage(hdc, rect, activeImage, activeMask, imageStyle, imagePlacement);
    else
        DrawImage(hdc, rect, normalImage, normalMask, imageStyle, imagePlacement);

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
