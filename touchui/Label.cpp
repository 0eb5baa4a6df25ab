#include "touchui/Label.h"

#include "graphics/Drawing.h"

Label::Label(HINSTANCE instance_, HWND window_, int id_) : Control(instance_, window_, id_) {
    interactive = 0;
}

void Label::Paint(HDC hdc) {
    RECT rect;
    GetRect(&rect);
    DeflateRectBy(rect, marginLeft, marginTop, marginRight, marginBottom);
    DrawTextInRect(hdc, text, rect, textFormat, textColor, font);
}
