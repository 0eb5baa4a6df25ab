// What buttons, check boxes, image boxes, labels and sliders put on the screen.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/PixelSurface.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/Slider.h"

using pixels::PixelOf;
using pixels::Surface;

namespace {

const uint32_t kBackground = 0x00101010;
const uint32_t kRed = 0x00FF0000, kGreen = 0x0000FF00, kBlue = 0x000000FF, kGrey = 0x00808080;

class ControlPaint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(screen_.ok());
        screen_.Fill(kBackground);
    }
    // A solid image of the given size and colour.
    HBITMAP Image(int w, int h, uint32_t colour) {
        images_.emplace_back(new Surface(w, h, Surface::NoDc));
        images_.back()->Fill(colour);
        return images_.back()->bitmap;
    }
    uint32_t At(int x, int y) const { return screen_.At(x, y); }

    // A real font, so that the text checks do not depend on the context's default one.
    HFONT Font() {
        if (!font_) {
            LOGFONT lf = {};
            lf.lfHeight = 16;
            lf.lfWeight = FW_BOLD;
            font_ = CreateFontIndirect(&lf);
        }
        return font_;
    }
    void TearDown() override {
        if (font_)
            DeleteObject(font_);
    }

    HFONT font_ = NULL;
    Surface screen_{40, 30, Surface::WindowDc};
    std::vector<std::unique_ptr<Surface>> images_;
};

TEST_F(ControlPaint, ButtonShowsItsActiveImageOnlyWhilePressed) {
    Button b(NULL, NULL, 32);
    b.SetBounds(5, 5, 10, 10);
    b.SetImagePlacement(2);
    b.SetImage(Image(4, 4, kRed), ImageNormal);
    b.SetImage(Image(4, 4, kGreen), ImageActive);

    b.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kRed);
    EXPECT_EQ(At(14, 14), kRed);
    EXPECT_EQ(At(15, 15), kBackground);
    EXPECT_EQ(At(4, 4), kBackground);

    b.state = 1;
    b.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kGreen);
    EXPECT_EQ(At(14, 14), kGreen);
}

TEST_F(ControlPaint, DisabledButtonShowsItsDisabledImageOrNothing) {
    Button b(NULL, NULL, 32);
    b.SetBounds(0, 0, 10, 10);
    b.SetImagePlacement(2);
    b.SetImage(Image(2, 2, kRed), ImageNormal);
    b.SetImage(Image(2, 2, kGreen), ImageActive);
    b.SetEnabled(0);
    b.Paint(screen_.dc);
    EXPECT_EQ(At(3, 3), kBackground);

    b.SetImage(Image(2, 2, kBlue), ImageDisabled);
    b.state = 1;
    b.Paint(screen_.dc);
    EXPECT_EQ(At(3, 3), kBlue);
}

TEST_F(ControlPaint, UnknownRolesAreIgnored) {
    Button b(NULL, NULL, 32);
    b.SetBounds(0, 0, 10, 10);
    b.SetImagePlacement(2);
    b.SetImage(Image(2, 2, kRed), 5);
    EXPECT_EQ(b.images.normal, nullptr);
    EXPECT_EQ(b.images.active, nullptr);
    b.Paint(screen_.dc);
    EXPECT_EQ(At(3, 3), kBackground);

    ImageBox box(NULL, NULL, 16);
    box.SetImage(Image(2, 2, kRed), ImageActive);
    EXPECT_EQ(box.image, nullptr);
    EXPECT_EQ(box.mask, nullptr);

    CheckBox check(NULL, NULL, 36);
    check.SetImage(Image(2, 2, kRed), ImageOverlay);
    EXPECT_EQ(check.images.normal, nullptr);
    EXPECT_EQ(check.images.active, nullptr);
}

TEST_F(ControlPaint, CentredPlacementDrawsAtNaturalSizeOverhangingEvenly) {
    ImageBox box(NULL, NULL, 82);
    box.SetBounds(10, 10, 6, 6);
    box.SetImage(Image(10, 10, kRed), ImageNormal);  // placement 1 by default
    box.Paint(screen_.dc);
    // (6 - 10) / 2 = -2: the image spans 8..17 on both axes.
    EXPECT_EQ(At(7, 7), kBackground);
    EXPECT_EQ(At(8, 8), kRed);
    EXPECT_EQ(At(17, 17), kRed);
    EXPECT_EQ(At(18, 18), kBackground);
}

TEST_F(ControlPaint, UnknownStylesAndPlacementsDrawNoImage) {
    ImageBox box(NULL, NULL, 16);
    box.SetBounds(0, 0, 10, 10);
    box.SetImage(Image(10, 10, kRed), ImageNormal);
    box.SetImageStyle(3);
    box.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kBackground);
    box.SetImageStyle(1);
    box.SetImagePlacement(0);
    box.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kBackground);
}

TEST_F(ControlPaint, MaskedStyleCombinesMaskAndImage) {
    ImageBox box(NULL, NULL, 16);
    box.SetBounds(0, 0, 4, 4);
    box.SetImageStyle(2);
    box.SetImagePlacement(2);
    box.SetImage(Image(4, 4, 0x00000000), ImageNormalMask);  // black mask: the image alone
    box.SetImage(Image(4, 4, kGreen), ImageNormal);
    box.Paint(screen_.dc);
    EXPECT_EQ(At(1, 1), kGreen);

    box.SetImage(Image(4, 4, 0x00FFFFFF), ImageNormalMask);  // white mask: background | image
    box.SetImage(Image(4, 4, kBlue), ImageNormal);
    box.Paint(screen_.dc);
    EXPECT_EQ(At(1, 1), kGreen | kBlue);
}

TEST_F(ControlPaint, ButtonOverlayLeavesMagentaOutInsideItsMargins) {
    Button b(NULL, NULL, 32);
    b.SetBounds(0, 0, 20, 20);
    b.SetImagePlacement(2);
    b.SetImage(Image(2, 2, kRed), ImageNormal);
    b.SetOverlayMargins(5, 5, 5, 5);
    Surface* overlay = new Surface(2, 1, Surface::NoDc);
    images_.emplace_back(overlay);
    overlay->At(0, 0) = kBlue;
    overlay->At(1, 0) = PixelOf(0x00FF00FF);  // the key colour
    b.SetImage(overlay->bitmap, ImageOverlay);
    b.Paint(screen_.dc);
    EXPECT_EQ(At(4, 10), kRed);   // margin
    EXPECT_EQ(At(5, 10), kBlue);  // left half of the overlay
    EXPECT_EQ(At(12, 10), kRed);  // magenta half shows the button below
    EXPECT_EQ(At(15, 10), kRed);

    b.SetShowOverlay(0);
    screen_.Fill(kBackground);
    b.Paint(screen_.dc);
    EXPECT_EQ(At(5, 10), kRed);
}

TEST_F(ControlPaint, CheckBoxShowsOnWhenCheckedAndChangesOnlyWhenRepainted) {
    CheckBox c(NULL, NULL, 101);
    c.SetBounds(0, 0, 10, 10);
    c.SetImagePlacement(2);
    c.SetImage(Image(2, 2, kRed), ImageNormal);
    c.SetImage(Image(2, 2, kGreen), ImageActive);
    c.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kRed);
    c.SetChecked(1);
    EXPECT_EQ(At(5, 5), kRed);
    EXPECT_EQ(c.IsChecked(), 1);
    c.Paint(screen_.dc);
    EXPECT_EQ(At(5, 5), kGreen);
}

// Counts pixels in a rectangle that differ from the background.
int Inked(const Surface& s, int l, int t, int r, int b, uint32_t background) {
    int n = 0;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            n += s.At(x, y) != background;
    return n;
}

TEST_F(ControlPaint, LabelDrawsOnlyTextInsideItsMargins) {
    Label l(NULL, NULL, 96);
    l.SetBounds(0, 0, 40, 30);
    l.SetTextMargins(20, 0, 0, 0);
    l.SetFont(Font());
    l.SetText(L"WWWWWWWW");
    l.Paint(screen_.dc);
    EXPECT_EQ(Inked(screen_, 0, 0, 20, 30, kBackground), 0);
    EXPECT_GT(Inked(screen_, 20, 0, 40, 30, kBackground), 0);
}

TEST_F(ControlPaint, PressedButtonTextTakesTheActiveColour) {
    Button b(NULL, NULL, 85);
    b.SetBounds(0, 0, 40, 30);
    b.SetShowText(1);
    b.SetFont(Font());
    b.SetText(L"WWW");
    b.SetTextColor(0x00FFFFFF);
    b.SetActiveTextColor(0x000000FF);
    auto count = [&](uint32_t colour) {
        int n = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                n += At(x, y) == colour;
        return n;
    };
    b.Paint(screen_.dc);
    EXPECT_GT(count(0x00FFFFFF), 0);
    EXPECT_EQ(count(kRed), 0);
    screen_.Fill(kBackground);
    b.state = 1;
    b.Paint(screen_.dc);
    EXPECT_GT(count(kRed), 0);
    EXPECT_EQ(count(0x00FFFFFF), 0);
}

TEST_F(ControlPaint, SliderFillsItsGradientUpToTheValue) {
    Slider s(NULL, NULL, 97);
    s.SetBounds(0, 0, 40, 10);
    s.SetShowText(0, 0);
    s.SetFillColors(0x00FF0000, 0x00FF0000, 0);  // pure blue, top to bottom
    s.Paint(screen_.dc);
    EXPECT_EQ(At(0, 5), kBackground);  // 0 %: no fill

    s.SetPercent(50, 0);
    s.Paint(screen_.dc);
    EXPECT_EQ(At(0, 5), kBlue);
    EXPECT_EQ(At(19, 9), kBlue);
    EXPECT_EQ(At(20, 5), kBackground);

    s.SetPercent(100, 0);
    s.Paint(screen_.dc);
    EXPECT_EQ(At(39, 0), kBlue);
    EXPECT_EQ(At(39, 9), kBlue);
    EXPECT_EQ(At(0, 10), kBackground);
}

TEST_F(ControlPaint, SliderPaintsBackThenFillThenKeyedFront) {
    Slider s(NULL, NULL, 97);
    s.SetBounds(0, 0, 40, 10);
    s.SetShowText(0, 0);
    s.SetFillColors(0x0031FBA5, 0x00006633, 0);
    s.SetBackImage(Image(1, 1, kGrey), 1, 0);
    Surface* front = new Surface(4, 1, Surface::NoDc);
    images_.emplace_back(front);
    front->Fill([](int x, int) { return x == 3 ? 0x00FFFFFFu : PixelOf(0x00FF00FF); });
    s.SetFrontImage(front->bitmap, 3, 0);
    s.SetPercent(50, 0);
    s.Paint(screen_.dc);
    EXPECT_EQ(At(0, 0), PixelOf(0x0031FBA5));           // fill, top row in the first colour
    EXPECT_EQ(At(25, 5), kGrey);                        // back image beyond the fill
    EXPECT_EQ(At(35, 5), 0x00FFFFFFu);                  // the front's last quarter is opaque
    EXPECT_EQ(At(5, 9) == PixelOf(0x0031FBA5), false);  // gradient darkens downwards

    s.SetBackImage(Image(1, 1, kGrey), 2, 0);  // only style 1 draws
    s.SetFrontImage(front->bitmap, 1, 0);      // only style 3 draws
    screen_.Fill(kBackground);
    s.Paint(screen_.dc);
    EXPECT_EQ(At(25, 5), kBackground);
    EXPECT_EQ(At(35, 5), kBackground);
}

TEST_F(ControlPaint, SliderTextSpansTheWholeRectangle) {
    Slider s(NULL, NULL, 97);
    s.SetBounds(0, 0, 40, 30);
    s.SetTextMargins(40, 30, 0, 0);  // ignored by the slider
    s.SetTextFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    s.SetFont(Font());
    s.SetFillColors(0x00101010, 0x00101010, 0);  // the fill blends into the background
    s.SetPercent(100, 0);
    s.Paint(screen_.dc);
    EXPECT_GT(Inked(screen_, 0, 0, 40, 30, kBackground), 0);
    s.SetShowText(0, 0);
    screen_.Fill(kBackground);
    s.SetPercent(0, 0);
    s.Paint(screen_.dc);
    EXPECT_EQ(Inked(screen_, 0, 0, 40, 30, kBackground), 0);
}

}  // namespace
