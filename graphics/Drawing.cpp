#include "graphics/Drawing.h"

#include <cstring>

namespace {

// Reads the bitmap's size; false when it cannot be drawn.
bool BitmapSize(HBITMAP bitmap, int* width, int* height) {
    BITMAPINFOHEADER info;
    if (!bitmap || !GetBitmapInfo(bitmap, &info)) {
        return false;
    }
    *width = info.biWidth;
    *height = info.biHeight;
    return true;
}

// Stretches the whole bitmap onto the rectangle through a temporary memory DC.
void StretchWhole(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap, DWORD rop) {
    int w, h;
    if (!BitmapSize(bitmap, &w, &h)) {
        return;
    }
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    StretchBlt(hdc, left, top, right - left, bottom - top, memory, 0, 0, w, h, rop);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void BlitCentred(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap, DWORD rop) {
    int w, h;
    if (!BitmapSize(bitmap, &w, &h)) {
        return;
    }
    BlitBitmap(hdc, left + (right - left - w) / 2, top + (bottom - top - h) / 2, w, h, bitmap, rop);
}

}  // namespace

bool GetBitmapInfo(HBITMAP bitmap, BITMAPINFOHEADER* info) {
    BITMAP bm;
    if (!bitmap || !info || GetObject(bitmap, sizeof(bm), &bm) != int(sizeof(bm))) {
        return false;
    }
    std::memset(info, 0, sizeof(*info));
    info->biSize = sizeof(BITMAPINFOHEADER);
    info->biWidth = bm.bmWidth;
    info->biHeight = bm.bmHeight;
    info->biPlanes = bm.bmPlanes;
    info->biBitCount = bm.bmBitsPixel;
    info->biCompression = BI_RGB;
    return true;
}

void DrawBitmapStretched(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap) {
    StretchWhole(hdc, left, top, right, bottom, bitmap, SRCCOPY);
}

void DrawBitmapStretchedRop(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                            DWORD rop) {
    StretchWhole(hdc, left, top, right, bottom, bitmap, rop);
}

void DrawBitmapStretchedMasked(HDC hdc, int left, int top, int right, int bottom, HBITMAP image,
                               HBITMAP mask) {
    StretchWhole(hdc, left, top, right, bottom, mask, SRCAND);
    StretchWhole(hdc, left, top, right, bottom, image, SRCPAINT);
}

void DrawBitmapKeyed(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                     COLORREF key) {
    int w, h;
    if (!BitmapSize(bitmap, &w, &h)) {
        return;
    }
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    TransparentBlt(hdc, left, top, right - left, bottom - top, memory, 0, 0, w, h, key);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void DrawBitmapCentred(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap) {
    BlitCentred(hdc, left, top, right, bottom, bitmap, SRCCOPY);
}

void DrawBitmapCentredRop(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                          DWORD rop) {
    BlitCentred(hdc, left, top, right, bottom, bitmap, rop);
}

void DrawBitmapCentredMasked(HDC hdc, int left, int top, int right, int bottom, HBITMAP image,
                             HBITMAP mask) {
    BlitCentred(hdc, left, top, right, bottom, mask, SRCAND);
    BlitCentred(hdc, left, top, right, bottom, image, SRCPAINT);
}

void BlitBitmap(HDC hdc, int x, int y, int width, int height, HBITMAP bitmap, DWORD rop) {
    if (!bitmap) {
        return;
    }
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(hdc, x, y, width, height, memory, 0, 0, rop);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void BlendSurface(HDC hdc, int x, int y, int width, int height, HDC source, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight, BYTE alpha) {
    BLENDFUNCTION blend;
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = alpha;
    blend.AlphaFormat = 0;
    AlphaBlend(hdc, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
               blend);
}

void DrawTextInRect(HDC hdc, const wchar_t* text, const RECT& rect, UINT format, COLORREF color,
                    HFONT font) {
    const int previousMode = SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ previousFont = font ? SelectObject(hdc, font) : nullptr;
    const COLORREF previousColor = SetTextColor(hdc, color);
    RECT r = rect;  // DrawText may write to its rectangle
    DrawText(hdc, text, -1, &r, format);
    SetBkMode(hdc, previousMode);
    SetTextColor(hdc, previousColor);
    if (previousFont) {
        SelectObject(hdc, previousFont);
    }
}

void FillGradient(HDC hdc, int left, int top, int right, int bottom, COLORREF first,
                  COLORREF second, int mode) {
    TRIVERTEX v[2];
    v[0].x = left;
    v[0].y = top;
    v[0].Red = COLOR16(GetRValue(first) << 8);
    v[0].Green = COLOR16(GetGValue(first) << 8);
    v[0].Blue = COLOR16(GetBValue(first) << 8);
    v[0].Alpha = 0;
    v[1].x = right;
    v[1].y = bottom;
    v[1].Red = COLOR16(GetRValue(second) << 8);
    v[1].Green = COLOR16(GetGValue(second) << 8);
    v[1].Blue = COLOR16(GetBValue(second) << 8);
    v[1].Alpha = 0;
    GRADIENT_RECT r;
    r.UpperLeft = 0;
    r.LowerRight = 1;
    GradientFill(hdc, v, 2, &r, 1, ULONG(mode));
}

void FillSolidRect(HDC hdc, int left, int top, int right, int bottom, COLORREF color) {
    RECT r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void DeflateRectBy(RECT& rect, int left, int top, int right, int bottom) {
    rect.left += left;
    rect.top += top;
    rect.right -= right;
    rect.bottom -= bottom;
}
