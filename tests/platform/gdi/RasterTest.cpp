// Raster operations, stretching, mirroring, keyed and blended transfers, gradients: exact pixels
// against canary-filled destinations.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/GdiObjects.h"
#include "support/GdiTestSupport.h"

using gditest::kCanary;
using gditest::Pattern;
using gditest::Surface;

namespace {

// The destination's own pattern, different from the source's.
uint32_t Backdrop(int x, int y) {
    return Pattern(y + 50, x * 3 + 7) ^ 0x00300C03u;
}

// Column sampled for destination column i of a `d`-wide stretch from `s` source columns.
int Sample(int i, int s, int d) {
    return int((2 * int64_t(i) + 1) * s / (2 * int64_t(d)));
}

}  // namespace

TEST(GdiRaster, EveryRasterOperation) {
    const uint32_t brush = 0x00F0330Fu;  // BGRX of the DC's brush
    struct Op {
        const char* name;
        DWORD rop;
        uint32_t (*f)(uint32_t p, uint32_t s, uint32_t d);
    } ops[] = {
        {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {"MERGEPAINT", MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
        {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {"PATPAINT", PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
    };
    Surface src(9, 7);
    src.Fill(Pattern);
    HBRUSH hbrush = CreateSolidBrush(platform::gdi::ToColor(brush));
    for (const Op& op : ops) {
        for (bool stretched : {false, true}) {
            SCOPED_TRACE(std::string(op.name) + (stretched ? " stretched" : " copied"));
            Surface dst(16, 12);
            dst.Fill(Backdrop);
            HGDIOBJ old = SelectObject(dst.dc, hbrush);
            // Copied: 6x5 from (2, 1) to (3, 4). Stretched: the whole 9x7 source onto 13x6 at
            // (1, 2).
            const int x = stretched ? 1 : 3, y = stretched ? 2 : 4;
            const int w = stretched ? 13 : 6, h = stretched ? 6 : 5;
            const int sx = stretched ? 0 : 2, sy = stretched ? 0 : 1;
            const int sw = stretched ? 9 : 6, sh = stretched ? 7 : 5;
            EXPECT_TRUE(StretchBlt(dst.dc, x, y, w, h, src.dc, sx, sy, sw, sh, op.rop));
            for (int py = 0; py < dst.h; ++py) {
                for (int px = 0; px < dst.w; ++px) {
                    const uint32_t d = Backdrop(px, py);
                    uint32_t expected = d;
                    if (px >= x && px < x + w && py >= y && py < y + h) {
                        const uint32_t s =
                            Pattern(sx + Sample(px - x, sw, w), sy + Sample(py - y, sh, h));
                        expected = op.f(brush, s, d);
                    }
                    ASSERT_EQ(dst.At(px, py), expected) << px << "," << py;
                }
            }
            SelectObject(dst.dc, old);
        }
    }
    DeleteObject(hbrush);
}

TEST(GdiRaster, CentreSampledStretchTables) {
    // Destination columns and the source columns they take, worked by hand.
    struct Case {
        int sw, dw;
        std::vector<int> columns;
    } cases[] = {
        {3, 7, {0, 0, 1, 1, 1, 2, 2}},
        {7, 3, {1, 3, 5}},
        {2, 4, {0, 0, 1, 1}},
        {4, 2, {1, 3}},
        {5, 13, {0, 0, 0, 1, 1, 2, 2, 2, 3, 3, 4, 4, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + " -> " + std::to_string(c.dw));
        Surface src(c.sw, 1);
        src.Fill([](int x, int) { return uint32_t(x + 1); });
        Surface dst(c.dw, 1);
        dst.Fill(kCanary);
        // The same table serves the rows: transpose the case.
        Surface srcV(1, c.sw);
        srcV.Fill([](int, int y) { return uint32_t(y + 1); });
        Surface dstV(1, c.dw);
        StretchBlt(dst.dc, 0, 0, c.dw, 1, src.dc, 0, 0, c.sw, 1, SRCCOPY);
        StretchBlt(dstV.dc, 0, 0, 1, c.dw, srcV.dc, 0, 0, 1, c.sw, SRCCOPY);
        for (int i = 0; i < c.dw; ++i) {
            EXPECT_EQ(dst.At(i, 0), uint32_t(c.columns[size_t(i)] + 1)) << i;
            EXPECT_EQ(dstV.At(0, i), uint32_t(c.columns[size_t(i)] + 1)) << i;
        }
    }
}

TEST(GdiRaster, StretchUpAndDownByIntegerAndOddRatios) {
    struct Case {
        int sw, sh, dw, dh;
    } cases[] = {{12, 10, 24, 20}, {24, 20, 12, 10}, {12, 10, 12, 10}, {7, 5, 19, 13},
                 {19, 13, 7, 5},   {10, 3, 3, 10},   {1, 1, 5, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                     std::to_string(c.dw) + "x" + std::to_string(c.dh));
        Surface src(c.sw, c.sh);
        src.Fill(Pattern);
        Surface dst(c.dw + 4, c.dh + 4);
        dst.Fill(kCanary);
        EXPECT_TRUE(StretchBlt(dst.dc, 2, 2, c.dw, c.dh, src.dc, 0, 0, c.sw, c.sh, SRCCOPY));
        for (int y = 0; y < dst.h; ++y) {
            for (int x = 0; x < dst.w; ++x) {
                const bool in = x >= 2 && x < 2 + c.dw && y >= 2 && y < 2 + c.dh;
                ASSERT_EQ(
                    dst.At(x, y),
                    in ? Pattern(Sample(x - 2, c.sw, c.dw), Sample(y - 2, c.sh, c.dh)) : kCanary)
                    << x << "," << y;
            }
        }
    }
}

TEST(GdiRaster, StretchClipsToDestinationAndSource) {
    Surface src(8, 6);
    src.Fill(Pattern);
    struct Case {
        const char* label;
        int x, y, w, h, sx, sy, sw, sh;
    } cases[] = {
        {"left", -5, 1, 16, 12, 0, 0, 8, 6},         {"top", 2, -7, 16, 12, 0, 0, 8, 6},
        {"right", 6, 0, 16, 12, 0, 0, 8, 6},         {"bottom", 0, 5, 16, 12, 0, 0, 8, 6},
        {"source left", 0, 0, 10, 9, -3, 0, 8, 6},   {"source right", 0, 0, 10, 9, 4, 0, 8, 6},
        {"source top", 1, 1, 7, 11, 0, -4, 8, 6},    {"source bottom", 1, 1, 7, 11, 0, 3, 8, 6},
        {"source outside", 0, 0, 10, 9, 8, 0, 8, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Surface dst(12, 10);
        dst.Fill(kCanary);
        StretchBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, c.sw, c.sh, SRCCOPY);
        for (int y = 0; y < dst.h; ++y) {
            for (int x = 0; x < dst.w; ++x) {
                uint32_t expected = kCanary;
                if (x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h) {
                    const int sx = c.sx + Sample(x - c.x, c.sw, c.w);
                    const int sy = c.sy + Sample(y - c.y, c.sh, c.h);
                    if (sx >= 0 && sx < src.w && sy >= 0 && sy < src.h) {
                        expected = Pattern(sx, sy);
                    }
                }
                ASSERT_EQ(dst.At(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(GdiRaster, NegativeExtentsMirror) {
    Surface src(4, 3);
    src.Fill(Pattern);
    Surface dst(10, 8);
    // A negative destination width names the columns left of x and flips the picture.
    dst.Fill(kCanary);
    StretchBlt(dst.dc, 6, 1, -4, 3, src.dc, 0, 0, 4, 3, SRCCOPY);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(dst.At(2 + i, 1 + y), Pattern(3 - i, y));
        }
    }
    EXPECT_EQ(dst.At(6, 1), kCanary);
    EXPECT_EQ(dst.At(1, 1), kCanary);
    // Negative source and destination heights cancel out.
    dst.Fill(kCanary);
    StretchBlt(dst.dc, 0, 4, 4, -3, src.dc, 0, 3, 4, -3, SRCCOPY);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(dst.At(x, 1 + y), Pattern(x, y));
        }
    }
    // BitBlt with a negative width copies the rectangle on the other side, unflipped.
    dst.Fill(kCanary);
    BitBlt(dst.dc, 5, 0, -3, 2, src.dc, 4, 0, SRCCOPY);
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(dst.At(2 + x, 0), Pattern(1 + x, 0));
    }
    EXPECT_EQ(dst.At(5, 0), kCanary);
}

TEST(GdiRaster, OverlappingCopyWithinOneBitmap) {
    Surface s(10, 6);
    s.Fill(Pattern);
    BitBlt(s.dc, 1, 1, 8, 4, s.dc, 0, 0, SRCCOPY);  // move down-right by one
    for (int y = 1; y < 5; ++y) {
        for (int x = 1; x < 9; ++x) {
            ASSERT_EQ(s.At(x, y), Pattern(x - 1, y - 1));
        }
    }
    EXPECT_EQ(s.At(0, 0), Pattern(0, 0));
    EXPECT_EQ(s.At(9, 5), Pattern(9, 5));
}

TEST(GdiRaster, TransparentBltSkipsTheKeyExactly) {
    const uint32_t magenta = 0x00FF00FF;
    Surface src(6, 4);
    src.Fill([&](int x, int y) {
        if ((x + y) % 3 == 0) {
            return magenta | (y == 1 ? 0xAB000000u : 0u);  // the spare byte does not matter
        }
        if (x == 5) {
            return 0x00FF01FFu;  // one off the key: drawn
        }
        return Pattern(x, y);
    });
    for (bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "stretched" : "same size");
        const int w = stretched ? 11 : 6, h = stretched ? 9 : 4;
        Surface dst(14, 10);
        dst.Fill(Backdrop);
        EXPECT_TRUE(TransparentBlt(dst.dc, 1, 1, w, h, src.dc, 0, 0, 6, 4, RGB(255, 0, 255)));
        for (int y = 0; y < dst.h; ++y) {
            for (int x = 0; x < dst.w; ++x) {
                uint32_t expected = Backdrop(x, y);
                if (x >= 1 && x < 1 + w && y >= 1 && y < 1 + h) {
                    const uint32_t s = src.At(Sample(x - 1, 6, w), Sample(y - 1, 4, h));
                    if ((s & 0xFFFFFF) != magenta) {
                        expected = s;
                    }
                }
                ASSERT_EQ(dst.At(x, y), expected) << x << "," << y;
            }
        }
    }
    Surface keyOnly(3, 3);
    keyOnly.Fill(magenta);
    Surface dst(5, 5);
    dst.Fill(Backdrop);
    const uint64_t before = dst.Hash();
    TransparentBlt(dst.dc, 0, 0, 5, 5, keyOnly.dc, 0, 0, 3, 3, RGB(255, 0, 255));
    EXPECT_EQ(dst.Hash(), before);
    EXPECT_FALSE(TransparentBlt(dst.dc, 0, 0, 5, 5, keyOnly.dc, 0, 0, 0, 3, 0));
}

TEST(GdiRaster, BlendPixelMatchesTheFormulaEverywhere) {
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t s = 0; s < 256; ++s) {
            for (uint32_t d = 0; d < 256; ++d) {
                const uint32_t expected = (s * a + d * (255 - a) + 127) / 255;
                const uint32_t got = platform::gdi::BlendPixel(s << 8 | s << 16 | d << 24 | d,
                                                               d << 8 | d << 16 | s << 24 | s, a);
                if (got != ((expected << 8) | (expected << 16) |
                            (((d * a + s * (255 - a) + 127) / 255) << 24) |
                            ((d * a + s * (255 - a) + 127) / 255))) {
                    FAIL() << "a=" << a << " s=" << s << " d=" << d;
                }
            }
        }
    }
}

TEST(GdiRaster, AlphaBlendConstantAlpha) {
    Surface src(8, 6);
    src.Fill(Pattern);
    for (int alpha : {0, 1, 128, 254, 255}) {
        SCOPED_TRACE(alpha);
        Surface dst(10, 8);
        dst.Fill(Backdrop);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, BYTE(alpha), 0};
        EXPECT_TRUE(AlphaBlend(dst.dc, 3, 2, 8, 6, src.dc, 0, 0, 8, 6, blend));
        for (int y = 0; y < dst.h; ++y) {
            for (int x = 0; x < dst.w; ++x) {
                const uint32_t d = Backdrop(x, y);
                uint32_t expected = d;
                if (x >= 3 && y >= 2) {
                    const uint32_t s = Pattern(x - 3, y - 2);
                    expected = 0;
                    for (int shift = 0; shift < 32; shift += 8) {
                        const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                        expected |= ((sc * alpha + dc * (255 - alpha) + 127) / 255) << shift;
                    }
                }
                ASSERT_EQ(dst.At(x, y), expected) << x << "," << y;
            }
        }
    }
    Surface dst(4, 4);
    BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, 4, perPixel));
}

TEST(GdiRaster, BlendRowsMatchTheFormulaForEveryValue) {
    // Every source value against every destination value in each channel, for every alpha, with
    // the widest vector code and with the baseline; rows of 255 pixels so that both the vector
    // part and the leftover pixels of a row are exercised.
    std::vector<uint32_t> src(255), dst(255);
    for (bool widest : {true, false}) {
        for (uint32_t alpha = 0; alpha < 256; ++alpha) {
            for (uint32_t y = 0; y < 256; ++y) {
                for (uint32_t x = 0; x < 255; ++x) {
                    src[x] = x << 24 | y << 16 | x << 8 | y;
                    dst[x] = y << 24 | x << 16 | y << 8 | x;
                }
                platform::gdi::BlendRow(dst.data(), src.data(), 255, alpha, widest);
                for (uint32_t x = 0; x < 255; ++x) {
                    const uint32_t xy = (x * alpha + y * (255 - alpha) + 127) / 255;
                    const uint32_t yx = (y * alpha + x * (255 - alpha) + 127) / 255;
                    if (dst[x] != (xy << 24 | yx << 16 | xy << 8 | yx)) {
                        FAIL() << "alpha " << alpha << " at " << x << "," << y << " widest "
                               << widest;
                    }
                }
            }
        }
    }
}

TEST(GdiRaster, AlphaBlendStretches) {
    Surface src(3, 2);
    src.Fill(Pattern);
    Surface dst(7, 5);
    dst.Fill(Backdrop);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, 0};
    AlphaBlend(dst.dc, 0, 0, 7, 5, src.dc, 0, 0, 3, 2, blend);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(dst.At(x, y), Pattern(Sample(x, 3, 7), Sample(y, 2, 5)));
        }
    }
}

TEST(GdiRaster, GradientFillBothDirections) {
    TRIVERTEX v[2] = {{1, 1, 0x0000, 0xFF00, 0x1000, 0}, {5, 5, 0xFF00, 0x0000, 0x1000, 0}};
    GRADIENT_RECT r{0, 1};
    // Channel k of 4 = (c0 * (4 - k) + c1 * k) / 4 >> 8: 0x00, 0x3F, 0x7F, 0xBF for a rising one.
    const uint32_t rising[] = {0x00, 0x3F, 0x7F, 0xBF};
    const uint32_t falling[] = {0xFF, 0xBF, 0x7F, 0x3F};
    for (ULONG mode : {ULONG(GRADIENT_FILL_RECT_V), ULONG(GRADIENT_FILL_RECT_H)}) {
        SCOPED_TRACE(mode);
        Surface dst(7, 7);
        dst.Fill(kCanary);
        EXPECT_TRUE(GradientFill(dst.dc, v, 2, &r, 1, mode));
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 7; ++x) {
                uint32_t expected = kCanary;
                if (x >= 1 && x < 5 && y >= 1 && y < 5) {
                    const int k = mode == GRADIENT_FILL_RECT_V ? y - 1 : x - 1;
                    expected = rising[k] << 16 | falling[k] << 8 | 0x10;
                }
                ASSERT_EQ(dst.At(x, y), expected) << x << "," << y;
            }
        }
    }
    // Corners given the other way round keep each colour at its own vertex.
    TRIVERTEX swapped[2] = {v[1], v[0]};
    Surface dst(7, 7);
    GradientFill(dst.dc, swapped, 2, &r, 1, GRADIENT_FILL_RECT_V);
    EXPECT_EQ(dst.At(2, 1), 0x0000FF10u);
    EXPECT_EQ(dst.At(2, 4), 0x00BF3F10u);
}

TEST(GdiRaster, GradientFillClipsAndRefusesBadInput) {
    TRIVERTEX v[2] = {{-2, -3, 0x0000, 0, 0, 0}, {8, 7, 0xFF00, 0, 0, 0}};
    GRADIENT_RECT r{0, 1};
    Surface dst(4, 4);
    dst.Fill(kCanary);
    EXPECT_TRUE(GradientFill(dst.dc, v, 2, &r, 1, GRADIENT_FILL_RECT_H));
    for (int x = 0; x < 4; ++x) {
        // Column x is k = x + 2 of 10.
        EXPECT_EQ(dst.At(x, 3), (uint32_t(0xFF00 * (x + 2) / 10) >> 8) << 16);
    }
    GRADIENT_RECT bad{0, 2};
    EXPECT_FALSE(GradientFill(dst.dc, v, 2, &bad, 1, GRADIENT_FILL_RECT_H));
    EXPECT_FALSE(GradientFill(dst.dc, v, 2, &r, 1, 7));
    TRIVERTEX flat[2] = {{1, 0, 0, 0, 0, 0}, {1, 4, 0xFF00, 0, 0, 0}};
    dst.Fill(kCanary);
    EXPECT_TRUE(GradientFill(dst.dc, flat, 2, &r, 1, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(dst.Hash(), [] {
        Surface c(4, 4);
        c.Fill(kCanary);
        return c.Hash();
    }());
}

TEST(GdiRaster, FarCoordinatesDrawNothing) {
    Surface src(4, 4);
    src.Fill(Pattern);
    Surface dst(4, 4);
    dst.Fill(kCanary);
    const uint64_t before = dst.Hash();
    StretchBlt(dst.dc, INT32_MIN, 0, INT32_MAX, 4, src.dc, 0, 0, 4, 4, SRCCOPY);
    BitBlt(dst.dc, 0, 0, INT32_MAX, INT32_MAX, src.dc, INT32_MIN, 0, SRCCOPY);
    RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    FillRect(dst.dc, &huge, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(dst.Hash(), before);
    FillRect(dst.dc, &huge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(dst.At(3, 3), 0u);
}
