#include "touchui/ImageBox.h"

ImageBox::ImageBox(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_), image(NULL), mask(NULL), imageStyle(1), imagePlacement(1) {
    interactive = 0;
}

void ImageBox::SetImage(HBITMAP bitmap, int role) {
    if (role == ImageNormal)
        image = bitmap;
    else if (role == ImageNormalMask)
        mask = bitmap;
}

void ImageBox::Paint(HDC hdc) {
    RECT rect;
    GetRect(&rect);
    DrawImage(hdc, rect, image, mask, imageStyle, imagePlacement);
}
