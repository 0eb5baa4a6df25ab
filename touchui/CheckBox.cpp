#include "touchui/CheckBox.h"

#include "graphics/Drawing.h"

CheckBox::CheckBox(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_), imageStyle(1), imagePlacement(1), showText(0) {}

void CheckBox::SetImage(HBITMAP image, int role) {
    images.Set(image, role);
}

void CheckBox::Paint(HDC hdc) {
    RECT rect;
    GetRect(&rect);
    images.Draw(hdc, rect, enabled, state, imageStyle, imagePlacement);

    if (showText) {
        DeflateRectBy(rect, marginLeft, marginTop, marginRight, marginBottom);
        DrawTextInRect(hdc, text, rect, textFormat, textColor, font);
    }
}

void CheckBox::Flip(HWND target) {
    state = state ? 0 : 1;
    Invalidate();
    Notify(target, Toggled);
}

int CheckBox::OnTouchDown(HWND target, int, int x, int y) {
    if (!HitTest(x, y))
        return 0;
    Flip(target);
    flippedByTouch = true;
    return 1;
}

int CheckBox::OnTouchUp(HWND, int, int, int) {
    flippedByTouch = false;
    return 0;
}

int CheckBox::OnTouchMove(HWND, int, int, int) {
    return 0;
}

void CheckBox::CancelTouch(HWND target) {
    if (!flippedByTouch)
        return;
    flippedByTouch = false;
    Flip(target);
    Notify(target, Cancelled);
}
