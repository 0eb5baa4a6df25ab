// Copies and fills: exact pixels against a canary-filled destination.
#include <gtest/gtest.h>

#include "support/GdiTestSupport.h"

using gditest::kCanary;
using gditest::Pattern;
using gditest::Surface;

TEST(GdiRaster, BitBltCopiesAndClipsAtEveryEdge) {
    Surface src(20, 16);
    src.Fill(Pattern);
    struct Case {
        const char* label;
        int x, y, w, h, sx, sy;
    } cases[] = {
        {"inside", 2, 3, 5, 4, 1, 2},          {"left edge", -3, 2, 6, 3, 0, 0},
        {"top edge", 1, -2, 4, 5, 3, 3},       {"right edge", 8, 1, 9, 3, 2, 0},
        {"bottom edge", 0, 9, 3, 9, 5, 5},     {"source left", 4, 4, 5, 5, -2, 1},
        {"source bottom", 0, 0, 6, 6, 10, 13}, {"all outside", 20, 20, 5, 5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Surface dst(12, 10);
        dst.Fill(kCanary);
        EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, SRCCOPY));
        for (int y = 0; y < dst.h; ++y) {
            for (int x = 0; x < dst.w; ++x) {
                const int sx = c.sx + x - c.x, sy = c.sy + y - c.y;
                const bool inside = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h &&
                                    sx >= 0 && sx < src.w && sy >= 0 && sy < src.h;
                ASSERT_EQ(dst.At(x, y), inside ? Pattern(sx, sy) : kCanary) << x << "," << y;
            }
        }
    }
}

TEST(GdiRaster, FillRectWithSolidBrushClipped) {
    Surface dst(8, 6);
    dst.Fill(kCanary);
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    RECT r{-2, 4, 3, 100};
    EXPECT_NE(FillRect(dst.dc, &r, brush), 0);
    for (int y = 0; y < dst.h; ++y) {
        for (int x = 0; x < dst.w; ++x) {
            ASSERT_EQ(dst.At(x, y), (x < 3 && y >= 4) ? 0x123456u : kCanary) << x << "," << y;
        }
    }
    RECT empty{5, 5, 5, 9};
    const uint64_t before = dst.Hash();
    FillRect(dst.dc, &empty, brush);
    RECT inverted{6, 6, 2, 2};
    FillRect(dst.dc, &inverted, brush);
    FillRect(dst.dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(dst.Hash(), before);
    DeleteObject(brush);
}

TEST(GdiRaster, GetAndSetPixel) {
    Surface dst(3, 3);
    dst.Fill(kCanary);
    EXPECT_EQ(SetPixel(dst.dc, 1, 2, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dst.dc, 1, 2), RGB(10, 20, 30));
    EXPECT_EQ(dst.At(1, 2), 0x000A141Eu);
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dst.dc, -1, 0, 0), CLR_INVALID);
}

TEST(GdiRaster, FreshMemoryDCIsNotDrawnOn) {
    HDC dc = CreateCompatibleDC(nullptr);
    RECT r{0, 0, 10, 10};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
    DeleteDC(dc);
}

TEST(GdiRaster, WholeBitmapCopies) {
    Surface src(9, 7);
    src.Fill(Pattern);
    Surface dst(9, 7);
    dst.Fill(kCanary);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 9, 7, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Hash(), src.Hash());
    // Rows 2..5 of a same-width source onto rows 1..4.
    dst.Fill(kCanary);
    BitBlt(dst.dc, 0, 1, 9, 4, src.dc, 0, 2, SRCCOPY);
    EXPECT_EQ(dst.At(8, 0), kCanary);
    EXPECT_EQ(dst.At(0, 1), Pattern(0, 2));
    EXPECT_EQ(dst.At(8, 4), Pattern(8, 5));
    EXPECT_EQ(dst.At(0, 5), kCanary);
}
