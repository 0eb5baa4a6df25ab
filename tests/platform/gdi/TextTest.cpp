// Fonts and DrawText: sizes, placement inside the rectangle, ellipses, word breaks, background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <thread>

#include "tests/platform/gdi/TextTestSupport.h"

using gditest::Canvas;
using gditest::Extent;
using gditest::Ink;
using gditest::kCanary;
using gditest::MakeFont;
using gditest::Surface;

TEST(GdiText, FontHeightsFollowTheLogicalFont) {
    HFONT cell = MakeFont(24, FW_NORMAL, L"HelveticaNeue LT 35 Thin");
    HFONT em = MakeFont(-24);
    HFONT byDefault = MakeFont(0);
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(em, nullptr);
    ASSERT_NE(byDefault, nullptr);
    Surface s(4, 4);
    TEXTMETRIC tm{};
    SelectObject(s.dc, cell);
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 24);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 24);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    SelectObject(s.dc, em);
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_GT(tm.tmHeight, 24);  // the em is smaller than the cell
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 24);
    SelectObject(s.dc, byDefault);
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_GT(tm.tmHeight, 8);
    EXPECT_LT(tm.tmHeight, 40);

    LOGFONT back{};
    ASSERT_EQ(GetObject(cell, sizeof(back), &back), int(sizeof(LOGFONT)));
    EXPECT_EQ(back.lfHeight, 24);
    EXPECT_STREQ(back.lfFaceName, L"HelveticaNeue LT 35 Thin");
    SelectObject(s.dc, GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(DeleteObject(cell));
    EXPECT_TRUE(DeleteObject(em));
    EXPECT_TRUE(DeleteObject(byDefault));
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST(GdiText, BoldIsWiderThanRegular) {
    HFONT regular = MakeFont(24);
    HFONT bold = MakeFont(24, FW_SEMIBOLD);
    Surface s(4, 4);
    SelectObject(s.dc, regular);
    const int narrow = Extent(s.dc, L"Pulsor talk box");
    SelectObject(s.dc, bold);
    const int wide = Extent(s.dc, L"Pulsor talk box");
    TEXTMETRIC tm{};
    GetTextMetrics(s.dc, &tm);
    EXPECT_GE(tm.tmWeight, FW_SEMIBOLD);
    EXPECT_GT(wide, narrow);
    SelectObject(s.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(regular);
    DeleteObject(bold);
}

TEST(GdiText, GlyphsStayInsideTheRectangleUnlessNoClip) {
    HFONT font = MakeFont(24);
    Canvas c(200, 80, font);
    const RECT r{40, 20, 100, 44};
    c.Draw(L"Wide text that overflows", r, DT_SINGLELINE);
    RECT ink = Ink(c);
    ASSERT_LT(ink.left, ink.right) << "nothing drawn";
    EXPECT_GE(ink.left, r.left);
    EXPECT_GE(ink.top, r.top);
    EXPECT_LE(ink.right, r.right);
    EXPECT_LE(ink.bottom, r.bottom);
    EXPECT_EQ(ink.right, r.right);  // cut by the clip, not by the layout

    c.Draw(L"Wide text that overflows", r, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(Ink(c).right, r.right);
    DeleteObject(font);
}

TEST(GdiText, SingleLineFormatsPlaceTheLine) {
    HFONT font = MakeFont(24);
    Canvas c(240, 100, font);
    const RECT r{20, 10, 220, 90};
    const std::wstring text = L"Play beat";
    const int width = Extent(c.dc, text);

    c.Draw(text, r, 0x8025);  // centred both ways
    RECT both = Ink(c);
    EXPECT_NEAR((both.left + both.right) / 2.0, (r.left + r.right) / 2.0, 2.0);
    EXPECT_NEAR((both.top + both.bottom) / 2.0, (r.top + r.bottom) / 2.0, 4.0);

    c.Draw(text, r, 0x8024);  // left, centred vertically
    RECT left = Ink(c);
    EXPECT_LE(left.left - r.left, 3);
    EXPECT_LE(left.right, r.left + width + 1);
    EXPECT_EQ(left.top, both.top);

    c.Draw(text, r, 0x8021);  // centred horizontally, at the top
    RECT top = Ink(c);
    EXPECT_EQ(top.left, both.left);
    EXPECT_LT(top.top, r.top + 8);
    EXPECT_EQ(top.bottom - top.top, both.bottom - both.top);

    c.Draw(text, r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    RECT corner = Ink(c);
    EXPECT_GE(corner.right, r.right - 3);
    EXPECT_GE(corner.bottom, r.bottom - 8);
    DeleteObject(font);
}

TEST(GdiText, EndEllipsisOnlyWhenTheLineDoesNotFit) {
    HFONT font = MakeFont(24);
    Canvas c(300, 40, font);
    const std::wstring text = L"Version v1.0.0.1";
    const int full = Extent(c.dc, text);
    RECT wide{0, 0, full, 30};
    EXPECT_EQ(c.Draw(text, wide, DT_SINGLELINE | DT_END_ELLIPSIS), c.Draw(text, wide, 0));

    RECT narrow{0, 0, full - 1, 30};
    size_t keep = 0;
    while (keep < text.size() &&
           Extent(c.dc, text.substr(0, keep + 1)) + Extent(c.dc, L"...") <= narrow.right) {
        ++keep;
    }
    const std::wstring cut = text.substr(0, keep) + L"...";
    EXPECT_EQ(c.Draw(text, narrow, DT_SINGLELINE | DT_END_ELLIPSIS), c.Draw(cut, narrow, 0));
    EXPECT_NE(c.Draw(text, narrow, DT_SINGLELINE | DT_END_ELLIPSIS), c.Draw(text, narrow, 0));

    RECT calc{0, 0, full - 1, 30};
    DrawText(c.dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(calc.right, Extent(c.dc, cut));
    DeleteObject(font);
}

TEST(GdiText, WordBreakAtSpacesAndWordEllipsis) {
    HFONT font = MakeFont(24);
    Canvas c(240, 120, font);
    TEXTMETRIC tm{};
    GetTextMetrics(c.dc, &tm);
    const int line = tm.tmHeight;
    const int first = Extent(c.dc, L"Thank");

    // Pad label format: breaks at the space, each line centred.
    RECT r{10, 10, 10 + first + 20, 110};
    RECT calc = r;
    EXPECT_EQ(DrawText(c.dc, L"Thank you", -1, &calc, 0x40011 | DT_CALCRECT), 2 * line);
    EXPECT_EQ(calc.bottom, r.top + 2 * line);
    const uint64_t wrapped = c.Draw(L"Thank you", r, 0x40011);
    c.Fill(kCanary);
    RECT l1{r.left, r.top, r.right, r.top + line};
    RECT l2{r.left, r.top + line, r.right, r.top + 2 * line};
    DrawText(c.dc, L"Thank", -1, &l1, DT_CENTER | DT_SINGLELINE);
    DrawText(c.dc, L"you", -1, &l2, DT_CENTER | DT_SINGLELINE);
    EXPECT_EQ(c.Hash(), wrapped);

    // Everything fits on one line: no break.
    RECT roomy{10, 10, 230, 110};
    calc = roomy;
    EXPECT_EQ(DrawText(c.dc, L"Thank you", -1, &calc, 0x40011 | DT_CALCRECT), line);

    // A word wider than the rectangle is cut with an ellipsis on its own line.
    const std::wstring longWord = L"Supercalifragilistic";
    RECT tight{0, 0, Extent(c.dc, longWord) / 2, 110};
    calc = tight;
    EXPECT_EQ(DrawText(c.dc, (L"ok " + longWord).c_str(), -1, &calc, 0x40011 | DT_CALCRECT),
              2 * line);
    EXPECT_LE(calc.right - calc.left, tight.right - tight.left);
    RECT ink = {};
    c.Draw(L"ok " + longWord, tight, 0x40011);
    ink = Ink(c);
    EXPECT_LE(ink.right, tight.right);
    EXPECT_GT(ink.bottom, line);  // the second line is drawn
    DeleteObject(font);
}

TEST(GdiText, OpaqueBackgroundFillsTheTextExtent) {
    HFONT font = MakeFont(24);
    Canvas c(200, 60, font);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(0, 0, 255));
    RECT r{10, 10, 190, 50};
    c.Draw(L"Hi", r, DT_SINGLELINE);
    const int width = Extent(c.dc, L"Hi");
    EXPECT_EQ(c.At(10, 10), 0x000000FFu);              // corner of the line box
    EXPECT_EQ(c.At(10 + width - 1, 10), 0x000000FFu);  // its far top corner
    EXPECT_EQ(c.At(10 + width, 10), kCanary);
    EXPECT_EQ(c.At(9, 10), kCanary);
    SetBkMode(c.dc, TRANSPARENT);
    c.Draw(L"Hi", r, DT_SINGLELINE);
    EXPECT_EQ(c.At(10, 10), kCanary);
    DeleteObject(font);
}

TEST(GdiText, TextColourAndCoverage) {
    HFONT font = MakeFont(40, FW_BOLD);
    Canvas c(100, 60, font);
    SetTextColor(c.dc, RGB(10, 200, 30));
    RECT r{0, 0, 100, 60};
    const uint64_t first = c.Draw(L"I", r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    bool solid = false;
    for (int y = 0; y < c.h; ++y) {
        for (int x = 0; x < c.w; ++x) {
            solid = solid || c.At(x, y) == 0x000AC81Eu;
        }
    }
    EXPECT_TRUE(solid);
    EXPECT_EQ(c.Draw(L"I", r, DT_SINGLELINE | DT_CENTER | DT_VCENTER), first);  // deterministic
    DeleteObject(font);
}

TEST(GdiText, CalcRectDoesNotDrawAndReturnsHeight) {
    HFONT font = MakeFont(20);
    Canvas c(100, 40, font);
    RECT r{5, 5, 95, 35};
    EXPECT_EQ(DrawText(c.dc, L"abc", -1, &r, DT_SINGLELINE | DT_CALCRECT), 20);
    EXPECT_EQ(r.bottom, 25);
    EXPECT_EQ(r.right, 5 + Extent(c.dc, L"abc"));
    EXPECT_EQ(Ink(c).right, 0);
    RECT v{0, 0, 100, 40};
    EXPECT_EQ(DrawText(c.dc, L"abc", 2, &v, DT_SINGLELINE | DT_VCENTER), 10 + 20);
    EXPECT_EQ(DrawText(nullptr, L"abc", -1, &v, 0), 0);
    EXPECT_EQ(DrawText(c.dc, nullptr, -1, &v, 0), 0);
    DeleteObject(font);
}

TEST(GdiText, DefaultFontWithoutSelection) {
    Surface s(120, 40);
    s.Fill(kCanary);
    TEXTMETRIC tm{};
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_GT(tm.tmHeight, 0);
    RECT r{0, 0, 120, 40};
    SetBkMode(s.dc, TRANSPARENT);
    DrawText(s.dc, L"Loading", -1, &r, DT_SINGLELINE);
    EXPECT_LT(Ink(s).left, Ink(s).right);
}

TEST(GdiText, FontMadeOnOneThreadDrawsOnAnother) {
    HFONT font = nullptr;
    std::thread loader([&font] { font = MakeFont(24); });
    loader.join();
    ASSERT_NE(font, nullptr);
    uint64_t a = 0, b = 0;
    std::thread ui([&] {
        Canvas c(120, 40, font);
        a = c.Draw(L"Hello", RECT{0, 0, 120, 40}, DT_SINGLELINE);
    });
    ui.join();
    Canvas c(120, 40, font);
    b = c.Draw(L"Hello", RECT{0, 0, 120, 40}, DT_SINGLELINE);
    EXPECT_EQ(a, b);
    DeleteObject(font);
}
