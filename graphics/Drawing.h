// The drawing primitives: each performs one drawing operation on a target DC through the platform's
// GDI and leaves the DC's state (selected objects, text colour, background mode) as it found it.
// Rectangles are left, top, right, bottom with right and bottom exclusive. A null bitmap, or one
// whose description cannot be read, draws nothing and makes no platform call. Bitmaps and fonts
// stay owned by the caller.
#pragma once

#include "platform/win32.h"

// Fills `info` from the bitmap's description (size 40, width, height, planes, bits per pixel,
// BI_RGB, the rest 0). False for a null handle or one that is not a bitmap.
bool GetBitmapInfo(HBITMAP bitmap, BITMAPINFOHEADER* info);

// The whole bitmap stretched onto the rectangle with SRCCOPY.
void DrawBitmapStretched(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap);
// The whole bitmap stretched onto the rectangle with the given raster operation.
void DrawBitmapStretchedRop(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                            DWORD rop);
// Mask with SRCAND, then image with SRCPAINT, both stretched; a null one skips its step.
void DrawBitmapStretchedMasked(HDC hdc, int left, int top, int right, int bottom, HBITMAP image,
                               HBITMAP mask);
// Stretched, leaving every pixel whose source colour equals `key` untouched.
void DrawBitmapKeyed(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                     COLORREF key);
// At natural size, centred (signed division truncating toward zero, odd pixel right/bottom).
void DrawBitmapCentred(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap);
void DrawBitmapCentredRop(HDC hdc, int left, int top, int right, int bottom, HBITMAP bitmap,
                          DWORD rop);
// Each centred by its own size: mask with SRCAND, then image with SRCPAINT.
void DrawBitmapCentredMasked(HDC hdc, int left, int top, int right, int bottom, HBITMAP image,
                             HBITMAP mask);
// width x height pixels of the bitmap from its origin to (x, y) with the raster operation.
void BlitBitmap(HDC hdc, int x, int y, int width, int height, HBITMAP bitmap, DWORD rop);

// Constant-alpha blend of a source DC's rectangle over the target's (0: source invisible, 255:
// source replaces the destination).
void BlendSurface(HDC hdc, int x, int y, int width, int height, HDC source, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight, BYTE alpha);

// Draws NUL-terminated text into the rectangle with DrawText's format flags, on a transparent
// background, in `color`, with `font` (null: the DC's current font).
void DrawTextInRect(HDC hdc, const wchar_t* text, const RECT& rect, UINT format, COLORREF color,
                    HFONT font);

// Two-colour gradient over the rectangle: mode 0 left to right, mode 1 top to bottom.
void FillGradient(HDC hdc, int left, int top, int right, int bottom, COLORREF first,
                  COLORREF second, int mode);

// Fills the rectangle with one colour through a temporary solid brush.
void FillSolidRect(HDC hdc, int left, int top, int right, int bottom, COLORREF color);

// Moves each edge inward by its margin, in place.
void DeflateRectBy(RECT& rect, int left, int top, int right, int bottom);
