#include "touchui/Button.h"

#include "graphics/Drawing.h"

namespace {

const COLORREF kDisabledKeyText = RGB(0x73, 0x7B, 0x82);

}  // namespace

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
      overlayMarginBottom(ScaleY(1)),
      keyStyle(0),
      keyFrame(0),
      keyTop(0),
      keyBottom(0),
      keyPressedTop(0),
      keyPressedBottom(0) {}

void Button::SetKeyColors(COLORREF frame, COLORREF top, COLORREF bottom, COLORREF pressedTop,
                          COLORREF pressedBottom) {
    keyStyle = 1;
    keyFrame = frame;
    keyTop = top;
    keyBottom = bottom;
    keyPressedTop = pressedTop;
    keyPressedBottom = pressedBottom;
}

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

    if (keyStyle) {
        // A frame a pixel wide at 96 dpi, two at 192.
        const int fx = ScaleX(1), fy = ScaleY(1);
        FillSolidRect(hdc, rect.left, rect.top, rect.right, rect.bottom, keyFrame);
        FillGradient(hdc, rect.left + fx, rect.top + fy, rect.right - fx, rect.bottom - fy,
                     state ? keyPressedTop : keyTop, state ? keyPressedBottom : keyBottom,
                     GRADIENT_FILL_RECT_V);
    } else {
        images.Draw(hdc, rect, enabled, state, imageStyle, imagePlacement);
    }

    if (showText) {
        RECT textRect = rect;
        DeflateRectBy(textRect, marginLeft, marginTop, marginRight, marginBottom);
        // A key that cannot be pressed greys its text.
        const COLORREF color = keyStyle && !enabled ? kDisabledKeyText
                               : state              ? activeTextColor
                                                    : textColor;
        DrawTextInRect(hdc, text, textRect, textFormat, color, font);
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
