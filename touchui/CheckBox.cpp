#include "touchui/CheckBox.h"

#include "graphics/Drawing.h"

CheckBox::CheckBox(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      offImage(NULL),
      offMask(NULL),
      onImage(NULL),
      onMask(NULL),
      disabledImage(NULL),
      disabledMask(NULL),
      imageStyle(1),
      imagePlacement(1),
      showText(0) {}

void CheckBox::SetImage(HBITMAP image, int role) {
    switch (role) {
        case ImageNormal:
            offImage = image;
            break;
        case ImageNormalMask:
            offMask = image;
            break;
        case ImageActive:
            onImage = image;
            break;
        case ImageActiveMask:
            onMask = image;
            break;
        case ImageDisabled:
            disabledImage = image;
            break;
        case ImageDisabledMask:
            disabledMask = image;
            break;
        default:
            break;
    }
}

void CheckBox::Paint(HDC hdc) {
    RECT rect;
    GetRect(&rect);
    if (!enabled)
        DrawImage(hdc, rect, disabledImage, disabledMask, imageStyle, imagePlacement);
    else if (state)
        DrawImage(hdc, rect, onImage, onMask, imageStyle, imagePlacement);
    else
        DrawImage(hdc, rect, offImage, offMask, imageStyle, imagePlacement);

    if (showText) {
        DeflateRectBy(rect, marginLeft, marginTop, marginRight, marginBottom);
        DrawTextInRect(hdc, text, rect, textFormat, textColor, font);
    }
}

int CheckBox::OnTouchDown(HWND target, int, int x, int y) {
    if (!HitTest(x, y))
        return 0;
    state = state ? 0 : 1;
    Invalidate();
    Notify(target, Toggled);
    return 1;
}

int CheckBox::OnTouchUp(HWND, int, int, int) {
    return 0;
}

int CheckBox::OnTouchMove(HWND, int, int, int) {
    return 0;
}
