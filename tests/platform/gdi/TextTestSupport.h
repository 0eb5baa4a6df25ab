// Helpers for text tests: fonts by size and face, the ink a drawing left, a canvas with a font.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "support/GdiTestSupport.h"

namespace gditest {

inline HFONT MakeFont(LONG height, LONG weight = FW_NORMAL, const wchar_t* face = L"DejaVu Sans") {
    LOGFONT lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

// Bounding box of the pixels that are no longer the canary; empty when none changed.
inline RECT Ink(Surface& s) {
    RECT box{s.w, s.h, 0, 0};
    for (int y = 0; y < s.h; ++y) {
        for (int x = 0; x < s.w; ++x) {
            if (s.At(x, y) != kCanary) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

inline int Extent(HDC dc, const std::wstring& text) {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32(dc, text.c_str(), int(text.size()), &size));
    return size.cx;
}

// A canvas with a font selected, transparent background and white text.
struct Canvas : Surface {
    Canvas(int w, int h, HFONT f) : Surface(w, h), font(f) {
        Fill(kCanary);
        previousFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
    }
    ~Canvas() { SelectObject(dc, previousFont); }
    uint64_t Draw(const std::wstring& text, RECT r, UINT format) {
        Fill(kCanary);
        DrawText(dc, text.c_str(), -1, &r, format);
        return Hash();
    }
    HFONT font;
    HGDIOBJ previousFont;
};

}  // namespace gditest
