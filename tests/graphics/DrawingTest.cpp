// The drawing primitives on real memory DCs: placement, transparency, state left as found.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "graphics/Drawing.h"
#include "support/GdiTestSupport.h"

using gditest::kCanary;
using gditest::Pattern;
using gditest::Surface;

namespace {

constexpr uint32_t kMagenta = 0x00FF00FF;

// A bitmap made by formula, not selected anywhere (as the skin holds its images).
struct Image : pixels::Surface {
    Image(int w, int h, uint32_t (*f)(int, int)) : Surface(w, h, NoDc) { Fill(f); }
};

uint32_t Backdrop(int x, int y) {
    return Pattern(x + 40, y + 3) & 0x00F0F0F0u;
}

uint64_t Blank(int w, int h, uint32_t (*f)(int, int)) {
    Surface s(w, h);
    s.Fill(f);
    return s.Hash();
}

}  // namespace

TEST(Drawing, GetBitmapInfoDescribesBitmapsOnly) {
    Image image(7, 3, Pattern);
    BITMAPINFOHEADER info;
    std::memset(&info, 0xCC, sizeof(info));
    ASSERT_TRUE(GetBitmapInfo(image.bitmap, &info));
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, 7);
    EXPECT_EQ(info.biHeight, 3);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 32);
    EXPECT_EQ(info.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(info.biSizeImage, 0u);
    EXPECT_EQ(info.biClrUsed, 0u);
    EXPECT_FALSE(GetBitmapInfo(nullptr, &info));
    HBRUSH brush = CreateSolidBrush(0);
    EXPECT_FALSE(GetBitmapInfo(reinterpret_cast<HBITMAP>(brush), &info));
    DeleteObject(brush);
}

TEST(Drawing, NullOrUnreadableBitmapsDrawNothing) {
    Surface dst(16, 16);
    dst.Fill(Backdrop);
    const uint64_t before = dst.Hash();
    HBRUSH notABitmap = CreateSolidBrush(RGB(255, 255, 255));
    for (HBITMAP b : {HBITMAP(nullptr), reinterpret_cast<HBITMAP>(notABitmap)}) {
        DrawBitmapStretched(dst.dc, 0, 0, 16, 16, b);
        DrawBitmapStretchedRop(dst.dc, 0, 0, 16, 16, b, WHITENESS);
        DrawBitmapStretchedMasked(dst.dc, 0, 0, 16, 16, b, b);
        DrawBitmapKeyed(dst.dc, 0, 0, 16, 16, b, kMagenta);
        DrawBitmapCentred(dst.dc, 0, 0, 16, 16, b);
        DrawBitmapCentredRop(dst.dc, 0, 0, 16, 16, b, BLACKNESS);
        DrawBitmapCentredMasked(dst.dc, 0, 0, 16, 16, b, b);
    }
    BlitBitmap(dst.dc, 0, 0, 16, 16, nullptr, BLACKNESS);
    EXPECT_EQ(dst.Hash(), before);
    DeleteObject(notABitmap);
}

TEST(Drawing, StretchedDrawsTheWholeBitmapOntoTheRectangle) {
    Image image(5, 4, Pattern);
    Surface dst(20, 16);
    dst.Fill(kCanary);
    DrawBitmapStretched(dst.dc, 2, 3, 17, 15, image.bitmap);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool in = x >= 2 && x < 17 && y >= 3 && y < 15;
            // 5 -> 15 and 4 -> 12: each source pixel covers a 3x3 block.
            ASSERT_EQ(dst.At(x, y), in ? Pattern((x - 2) / 3, (y - 3) / 3) : kCanary);
        }
    }
    // The image is not selected anywhere afterwards: the caller can delete it.
    Image temporary(2, 2, Pattern);
    DrawBitmapStretched(dst.dc, 0, 0, 4, 4, temporary.bitmap);
    EXPECT_TRUE(DeleteObject(temporary.bitmap));
    temporary.bitmap = nullptr;
}

TEST(Drawing, StretchedRopAppliesTheOperation) {
    Image image(4, 4, Pattern);
    Surface dst(8, 8);
    dst.Fill(Backdrop);
    DrawBitmapStretchedRop(dst.dc, 0, 0, 8, 8, image.bitmap, SRCINVERT);
    EXPECT_EQ(dst.At(5, 2), Backdrop(5, 2) ^ Pattern(2, 1));
}

TEST(Drawing, KeyedLeavesMagentaOut) {
    Image allKey(4, 4, [](int, int) { return kMagenta; });
    Surface dst(12, 12);
    dst.Fill(Backdrop);
    DrawBitmapKeyed(dst.dc, 0, 0, 12, 12, allKey.bitmap, RGB(255, 0, 255));
    EXPECT_EQ(dst.Hash(), Blank(12, 12, Backdrop));

    Image noKey(5, 3, Pattern);
    Surface plain(12, 12);
    plain.Fill(Backdrop);
    DrawBitmapStretched(plain.dc, 1, 2, 11, 11, noKey.bitmap);
    dst.Fill(Backdrop);
    DrawBitmapKeyed(dst.dc, 1, 2, 11, 11, noKey.bitmap, RGB(255, 0, 255));
    EXPECT_EQ(dst.Hash(), plain.Hash());

    Image holed(2, 1, [](int x, int) { return x == 0 ? kMagenta : 0x00123456u; });
    dst.Fill(Backdrop);
    DrawBitmapKeyed(dst.dc, 0, 0, 4, 2, holed.bitmap, RGB(255, 0, 255));
    EXPECT_EQ(dst.At(1, 1), Backdrop(1, 1));
    EXPECT_EQ(dst.At(2, 1), 0x00123456u);
}

TEST(Drawing, StretchedMaskedIsMaskThenImage) {
    Image image(4, 4, Pattern);
    Image white(4, 4, [](int, int) { return 0x00FFFFFFu; });
    Image black(4, 4, [](int, int) { return 0u; });
    Surface dst(4, 4);

    dst.Fill(Backdrop);
    DrawBitmapStretchedMasked(dst.dc, 0, 0, 4, 4, image.bitmap, white.bitmap);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(dst.At(x, y), Backdrop(x, y) | Pattern(x, y));
        }
    }
    dst.Fill(Backdrop);
    DrawBitmapStretchedMasked(dst.dc, 0, 0, 4, 4, image.bitmap, black.bitmap);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(dst.At(x, y), Pattern(x, y));
        }
    }
    // A missing mask skips the AND step; a missing image the OR step.
    dst.Fill(Backdrop);
    DrawBitmapStretchedMasked(dst.dc, 0, 0, 4, 4, image.bitmap, nullptr);
    EXPECT_EQ(dst.At(1, 2), Backdrop(1, 2) | Pattern(1, 2));
    dst.Fill(Backdrop);
    DrawBitmapStretchedMasked(dst.dc, 0, 0, 4, 4, nullptr, black.bitmap);
    EXPECT_EQ(dst.At(1, 2), 0u);
}

TEST(Drawing, CentredUsesSignedTruncatingArithmetic) {
    Image image(10, 10, Pattern);
    Surface dst(20, 20);
    dst.Fill(kCanary);
    DrawBitmapCentred(dst.dc, 0, 0, 15, 15, image.bitmap);  // (15 - 10) / 2 = 2
    EXPECT_EQ(dst.At(1, 2), kCanary);
    EXPECT_EQ(dst.At(2, 2), Pattern(0, 0));
    EXPECT_EQ(dst.At(11, 11), Pattern(9, 9));
    EXPECT_EQ(dst.At(12, 12), kCanary);

    dst.Fill(kCanary);
    DrawBitmapCentred(dst.dc, 0, 0, 6, 6, image.bitmap);  // (6 - 10) / 2 = -2
    EXPECT_EQ(dst.At(0, 0), Pattern(2, 2));
    EXPECT_EQ(dst.At(7, 7), Pattern(9, 9));  // overhangs the rectangle, clipped by the bitmap
    EXPECT_EQ(dst.At(8, 8), kCanary);

    dst.Fill(kCanary);
    DrawBitmapCentred(dst.dc, 0, 0, 5, 5, image.bitmap);  // (5 - 10) / 2 = -2, not -3
    EXPECT_EQ(dst.At(0, 0), Pattern(2, 2));

    dst.Fill(kCanary);
    DrawBitmapCentred(dst.dc, 12, 12, 5, 5, image.bitmap);  // (-7 - 10) / 2 = -8: at 4, 4
    EXPECT_EQ(dst.At(4, 4), Pattern(0, 0));
    EXPECT_EQ(dst.At(3, 4), kCanary);

    dst.Fill(Backdrop);
    DrawBitmapCentredRop(dst.dc, 0, 0, 20, 20, image.bitmap, SRCAND);
    EXPECT_EQ(dst.At(5, 6), Backdrop(5, 6) & Pattern(0, 1));
}

TEST(Drawing, CentredMaskedCentresEachBitmapByItsOwnSize) {
    Image image(4, 4, [](int, int) { return 0x00102030u; });
    Image mask(
        8, 8, [](int x, int y) { return (x >= 2 && x < 6 && y >= 2 && y < 6) ? 0u : 0x00FFFFFFu; });
    Surface dst(12, 12);
    dst.Fill(Backdrop);
    DrawBitmapCentredMasked(dst.dc, 0, 0, 12, 12, image.bitmap, mask.bitmap);
    // Both end up centred at (6, 6): the mask's hole is exactly where the image lands.
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool hole = x >= 4 && x < 8 && y >= 4 && y < 8;
            ASSERT_EQ(dst.At(x, y), hole ? 0x00102030u : Backdrop(x, y)) << x << "," << y;
        }
    }
}

TEST(Drawing, BlitBitmapCopiesFromTheOrigin) {
    Image image(6, 6, Pattern);
    Surface dst(8, 8);
    dst.Fill(kCanary);
    BlitBitmap(dst.dc, 3, 4, 2, 3, image.bitmap, SRCCOPY);
    EXPECT_EQ(dst.At(3, 4), Pattern(0, 0));
    EXPECT_EQ(dst.At(4, 6), Pattern(1, 2));
    EXPECT_EQ(dst.At(5, 4), kCanary);
    EXPECT_EQ(dst.At(3, 7), kCanary);
}

TEST(Drawing, BlendSurfaceWithConstantAlpha) {
    Surface src(6, 5);
    src.Fill(Pattern);
    Surface dst(6, 5);
    dst.Fill(Backdrop);
    BlendSurface(dst.dc, 0, 0, 6, 5, src.dc, 0, 0, 6, 5, 0);
    EXPECT_EQ(dst.Hash(), Blank(6, 5, Backdrop));
    BlendSurface(dst.dc, 0, 0, 6, 5, src.dc, 0, 0, 6, 5, 255);
    EXPECT_EQ(dst.Hash(), src.Hash());
    dst.Fill(Backdrop);
    BlendSurface(dst.dc, 0, 0, 6, 5, src.dc, 0, 0, 6, 5, 128);
    const uint32_t s = Pattern(3, 2), d = Backdrop(3, 2);
    uint32_t expected = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        expected |= ((((s >> shift) & 0xFF) * 128 + ((d >> shift) & 0xFF) * 127 + 127) / 255)
                    << shift;
    }
    EXPECT_EQ(dst.At(3, 2) & 0xFFFFFF, expected);
}

TEST(Drawing, FillGradientWidensChannelsAndShadesDown) {
    Surface dst(6, 8);
    dst.Fill(kCanary);
    FillGradient(dst.dc, 1, 0, 5, 8, RGB(165, 251, 49), RGB(51, 102, 0), 1);
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), RGB(165, 251, 49));
    EXPECT_EQ(GetPixel(dst.dc, 4, 0), RGB(165, 251, 49));
    // Row 7 of 8: (c0 * 1 + c1 * 7) / 8 in 16 bits.
    EXPECT_EQ(GetPixel(dst.dc, 2, 7), RGB((0xA500 + 0x3300 * 7) / 8 >> 8,
                                          (0xFB00 + 0x6600 * 7) / 8 >> 8, (0x3100 + 0) / 8 >> 8));
    EXPECT_EQ(dst.At(0, 3), kCanary);
    EXPECT_EQ(dst.At(5, 3), kCanary);

    dst.Fill(kCanary);
    FillGradient(dst.dc, 3, 0, 3, 8, RGB(255, 255, 255), 0, 1);
    FillGradient(dst.dc, 0, 4, 6, 4, RGB(255, 255, 255), 0, 1);
    EXPECT_EQ(dst.Hash(), Blank(6, 8, [](int, int) { return kCanary; }));

    FillGradient(dst.dc, 0, 0, 6, 8, RGB(0, 0, 0), RGB(255, 0, 0), 0);
    EXPECT_EQ(GetPixel(dst.dc, 0, 5), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 3, 5), RGB(0x7F, 0, 0));
}

TEST(Drawing, FillSolidRectAndDeflate) {
    Surface dst(6, 6);
    dst.Fill(kCanary);
    FillSolidRect(dst.dc, 1, 2, 4, 6, RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dst.dc, 1, 2), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dst.dc, 3, 5), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(4, 2), kCanary);
    EXPECT_EQ(dst.At(1, 1), kCanary);

    RECT r{0, 0, 100, 100};
    DeflateRectBy(r, 5, 15, 5, 5);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 15);
    EXPECT_EQ(r.right, 95);
    EXPECT_EQ(r.bottom, 95);
    DeflateRectBy(r, -5, -15, -5, -5);
    EXPECT_EQ(r.right, 100);
}

TEST(Drawing, DrawTextInRectLeavesTheDCAsFound) {
    LOGFONT lf{};
    lf.lfHeight = 20;
    std::wcsncpy(lf.lfFaceName, L"DejaVu Sans", LF_FACESIZE - 1);
    HFONT selected = CreateFontIndirect(&lf);
    lf.lfHeight = 30;
    HFONT other = CreateFontIndirect(&lf);
    Surface dst(200, 40);
    dst.Fill(kCanary);
    SelectObject(dst.dc, selected);
    SetBkMode(dst.dc, OPAQUE);
    SetBkColor(dst.dc, RGB(0, 0, 255));
    SetTextColor(dst.dc, RGB(9, 9, 9));
    const RECT r{0, 0, 200, 40};

    for (HFONT font : {other, HFONT(nullptr)}) {
        DrawTextInRect(dst.dc, L"Low    High", r, 0x8025, RGB(255, 255, 255), font);
        EXPECT_EQ(GetBkMode(dst.dc), OPAQUE);
        EXPECT_EQ(GetTextColor(dst.dc), RGB(9, 9, 9));
        EXPECT_EQ(GetCurrentObject(dst.dc, OBJ_FONT), selected);
    }
    // Transparent background: the corner keeps the canary, and white text was drawn.
    EXPECT_EQ(dst.At(0, 0), kCanary);
    bool white = false;
    for (int x = 0; x < 200; ++x) {
        white = white || dst.At(x, 20) == 0x00FFFFFFu;
    }
    EXPECT_TRUE(white);

    // A null font draws with the DC's current font.
    dst.Fill(kCanary);
    DrawTextInRect(dst.dc, L"Play beat", r, 0x8024, RGB(255, 255, 255), nullptr);
    const uint64_t viaCurrent = dst.Hash();
    dst.Fill(kCanary);
    DrawTextInRect(dst.dc, L"Play beat", r, 0x8024, RGB(255, 255, 255), selected);
    EXPECT_EQ(dst.Hash(), viaCurrent);

    SelectObject(dst.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(selected);
    DeleteObject(other);
}
