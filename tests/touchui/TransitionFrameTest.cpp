// Each frame of every transition kind, pixel by pixel, against the picture the kind describes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/PixelSurface.h"
#include "touchui/Transition.h"

using pixels::Surface;

namespace {

// Every pixel tells which page and which position it came from.
uint32_t OldPixel(int x, int y) {
    return 0x00A00000u | (y << 8) | x;
}
uint32_t NewPixel(int x, int y) {
    return 0x00B00000u | (y << 8) | x;
}
const uint32_t kCanary = 0x00123456;

struct Geometry {
    int w, h, dx, dy;
};

// Where the pixel at (x, y) of a frame comes from, as the user sees each kind move.
uint32_t Expected(int kind, const Geometry& g, double p, int x, int y) {
    const int w = g.w, h = g.h, dx = g.dx, dy = g.dy;
    switch (kind) {
        case PushLeft:
            return x < w - dx ? OldPixel(x + dx, y) : NewPixel(x - (w - dx), y);
        case PushRight:
            return x < dx ? NewPixel(x + w - dx, y) : OldPixel(x - dx, y);
        case PushUp:
            return y < h - dy ? OldPixel(x, y + dy) : NewPixel(x, y - (h - dy));
        case PushDown:
            return y < dy ? NewPixel(x, y + h - dy) : OldPixel(x, y - dy);
        case CoverFromRight:
            return x >= w - dx ? NewPixel(x - (w - dx), y) : OldPixel(x, y);
        case UncoverLeft:
            return x < w - dx ? OldPixel(x + dx, y) : NewPixel(x, y);
        case CoverFromLeft:
            return x < dx ? NewPixel(x + w - dx, y) : OldPixel(x, y);
        case UncoverRight:
            return x >= dx ? OldPixel(x - dx, y) : NewPixel(x, y);
        case CoverFromBottom:
            return y >= h - dy ? NewPixel(x, y - (h - dy)) : OldPixel(x, y);
        case UncoverUp:
            return y < h - dy ? OldPixel(x, y + dy) : NewPixel(x, y);
        case CoverFromTop:
            return y < dy ? NewPixel(x, y + h - dy) : OldPixel(x, y);
        case UncoverDown:
            return y >= dy ? OldPixel(x, y - dy) : NewPixel(x, y);
        case OpenFromCentre: {
            const int bx = (w - dx) / 2, by = (h - dy) / 2;
            const bool inside = x >= bx && x < bx + dx && y >= by && y < by + dy;
            return inside ? NewPixel(x, y) : OldPixel(x, y);
        }
        case CloseToCentre: {
            const int ex = static_cast<int>(w - w * p), ey = static_cast<int>(h - h * p);
            const int bx = (w - ex) / 2, by = (h - ey) / 2;
            const bool inside = x >= bx && x < bx + ex && y >= by && y < by + ey;
            return inside ? OldPixel(x, y) : NewPixel(x, y);
        }
        default:
            return kCanary;
    }
}

class TransitionFrame : public ::testing::Test {
protected:
    static constexpr int kW = 21;
    static constexpr int kH = 11;

    void SetUp() override {
        ASSERT_TRUE(old_.ok() && new_.ok() && target_.ok());
        old_.Fill(OldPixel);
        new_.Fill(NewPixel);
        target_.Fill(kCanary);
    }

    void Draw(int kind, double progress, const RECT& rect) {
        Transition t(NULL, 1, 11);
        t.SetKind(kind);
        t.progress = progress;
        t.DrawFrame(target_.dc, old_.dc, new_.dc, rect);
    }
    void Draw(int kind, double progress) {
        RECT rect = {0, 0, kW, kH};
        Draw(kind, progress, rect);
    }

    // Returns a description of the first differing pixel, or "" when the frame is exact.
    std::string CompareSlides(int kind, double p) {
        Geometry g{kW, kH, static_cast<int>(kW * p), static_cast<int>(kH * p)};
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                uint32_t want = Expected(kind, g, p, x, y);
                if (target_.At(x, y) != want) {
                    char buf[128];
                    std::snprintf(buf, sizeof buf, "(%d,%d): got %06x want %06x", x, y,
                                  target_.At(x, y), want);
                    return buf;
                }
            }
        return "";
    }

    Surface old_{kW, kH, Surface::WindowDc};
    Surface new_{kW, kH, Surface::WindowDc};
    Surface target_{kW, kH, Surface::WindowDc};
};

TEST_F(TransitionFrame, SlidingKindsMatchTheirPictureAtStartMiddleAndEnd) {
    const int kinds[] = {PushLeft,        PushRight,    PushUp,        PushDown,
                         CoverFromRight,  UncoverLeft,  CoverFromLeft, UncoverRight,
                         CoverFromBottom, UncoverUp,    CoverFromTop,  UncoverDown,
                         OpenFromCentre,  CloseToCentre};
    for (int kind : kinds) {
        for (double p : {0.0, 0.5, 1.0}) {
            target_.Fill(kCanary);
            Draw(kind, p);
            EXPECT_EQ(CompareSlides(kind, p), "") << "kind " << kind << " at " << p;
        }
    }
}

TEST_F(TransitionFrame, StartShowsTheOldPageAndEndTheNewPageAloneForEveryKind) {
    // Uniform pages, so that the blending kinds can be held to the same rule.
    old_.Fill(0x00102030);
    new_.Fill(0x00E0D0C0);
    for (int kind = 1; kind <= 16; ++kind) {
        for (double p : {0.0, 1.0}) {
            target_.Fill(kCanary);
            Draw(kind, p);
            const uint32_t want = p == 0.0 ? 0x00102030u : 0x00E0D0C0u;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    ASSERT_EQ(target_.At(x, y), want)
                        << "kind " << kind << " at " << p << " pixel " << x << "," << y;
        }
    }
}

TEST_F(TransitionFrame, HalfwayOnOddSizesTruncatesTheOffsets) {
    // 21 x 11 at 0.5: the offsets are 10 and 5, the centred boxes start at 5 and 3.
    Draw(PushLeft, 0.5);
    EXPECT_EQ(target_.At(10, 0), OldPixel(20, 0));
    EXPECT_EQ(target_.At(11, 0), NewPixel(0, 0));
    EXPECT_EQ(target_.At(20, 10), NewPixel(9, 10));

    target_.Fill(kCanary);
    Draw(OpenFromCentre, 0.5);
    EXPECT_EQ(target_.At(4, 3), OldPixel(4, 3));
    EXPECT_EQ(target_.At(5, 3), NewPixel(5, 3));
    EXPECT_EQ(target_.At(14, 7), NewPixel(14, 7));
    EXPECT_EQ(target_.At(15, 7), OldPixel(15, 7));
    EXPECT_EQ(target_.At(14, 8), OldPixel(14, 8));

    target_.Fill(kCanary);
    Draw(CloseToCentre, 0.5);
    EXPECT_EQ(target_.At(5, 3), OldPixel(5, 3));
    EXPECT_EQ(target_.At(14, 7), OldPixel(14, 7));
    EXPECT_EQ(target_.At(15, 7), NewPixel(15, 7));
    EXPECT_EQ(target_.At(4, 3), NewPixel(4, 3));
}

uint8_t Channel(uint32_t v, int shift) {
    return static_cast<uint8_t>(v >> shift);
}

uint32_t Blend(uint32_t src, uint32_t dst, int a) {
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        uint32_t c = (Channel(src, shift) * a + Channel(dst, shift) * (255 - a) + 127) / 255;
        out |= c << shift;
    }
    return out;
}

TEST_F(TransitionFrame, FadesBlendTheWholeAreaWithTheProgressAsAlpha) {
    const uint32_t oldColour = 0x00204060, newColour = 0x00F0A010;
    old_.Fill(oldColour);
    new_.Fill(newColour);
    struct Case {
        int kind;
        double p;
        uint32_t want;
    } cases[] = {
        {FadeIn, 0.5, Blend(newColour, oldColour, 127)},    // trunc(127.5)
        {FadeIn, 0.25, Blend(newColour, oldColour, 63)},    // trunc(63.75)
        {FadeOut, 0.5, Blend(oldColour, newColour, 127)},   // trunc(255 - 127.5)
        {FadeOut, 0.25, Blend(oldColour, newColour, 191)},  // trunc(191.25)
    };
    for (const Case& c : cases) {
        target_.Fill(kCanary);
        Draw(c.kind, c.p);
        EXPECT_EQ(target_.At(0, 0), c.want) << "kind " << c.kind << " at " << c.p;
        EXPECT_EQ(target_.At(kW - 1, kH - 1), c.want) << "kind " << c.kind << " at " << c.p;
    }
}

TEST_F(TransitionFrame, UnknownKindsDrawNothing) {
    for (int kind : {0, 17, -1}) {
        Draw(kind, 0.5);
        EXPECT_EQ(target_.At(0, 0), kCanary);
        EXPECT_EQ(target_.At(kW / 2, kH / 2), kCanary);
    }
}

TEST(TransitionFrameFullPage, CoverFromTopAndUncoverUpHalfwayOnAPortraitScreen) {
    Surface oldPage(240, 320, Surface::WindowDc), newPage(240, 320, Surface::WindowDc),
        target(240, 320, Surface::WindowDc);
    ASSERT_TRUE(oldPage.ok() && newPage.ok() && target.ok());
    oldPage.Fill([](int x, int y) { return 0x00A00000u | (y << 8) | (x & 0xFF); });
    newPage.Fill([](int x, int y) { return 0x00B00000u | (y << 8) | (x & 0xFF); });
    RECT rect = {0, 0, 240, 320};
    Transition t(NULL, 1, 11);
    t.progress = 0.5;

    // The new page drops down: its rows 160..319 fill rows 0..159, the old page stays below.
    t.SetKind(CoverFromTop);
    t.DrawFrame(target.dc, oldPage.dc, newPage.dc, rect);
    for (int y = 0; y < 320; y += 7) {
        for (int x : {0, 117, 239}) {
            uint32_t want = y < 160 ? newPage.At(x, y + 160) : oldPage.At(x, y);
            ASSERT_EQ(target.At(x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(target.At(5, 159), newPage.At(5, 319));
    EXPECT_EQ(target.At(5, 160), oldPage.At(5, 160));

    // The old page slides up and away: its rows 160..319 in rows 0..159 over the new page.
    t.SetKind(UncoverUp);
    t.DrawFrame(target.dc, oldPage.dc, newPage.dc, rect);
    for (int y = 0; y < 320; y += 7) {
        for (int x : {0, 117, 239}) {
            uint32_t want = y < 160 ? oldPage.At(x, y + 160) : newPage.At(x, y);
            ASSERT_EQ(target.At(x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(target.At(5, 159), oldPage.At(5, 319));
    EXPECT_EQ(target.At(5, 160), newPage.At(5, 160));
}

}  // namespace
