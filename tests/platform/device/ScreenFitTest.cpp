// The full-screen fitting rule: which screen a display gets and where its picture lies.
#include "platform/device/sdl/ScreenFit.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using platform::FitScreenToDisplay;
using platform::ScreenFit;

struct FitCase {
    const char* what;
    int displayW, displayH;
    int givenW, givenH, givenDpi;  // 0: not given
    int screenW, screenH, dpi;
    double scale;
    int offsetX, offsetY;
};

std::ostream& operator<<(std::ostream& out, const FitCase& c) {
    return out << c.what;
}

class FitRule : public testing::TestWithParam<FitCase> {};

TEST_P(FitRule, ChoosesTheScreenAndPlacesItsPicture) {
    const FitCase& c = GetParam();
    ScreenFit fit =
        FitScreenToDisplay(c.displayW, c.displayH, c.givenW, c.givenH, c.givenDpi, c.givenDpi);
    EXPECT_EQ(fit.screenWidth, c.screenW);
    EXPECT_EQ(fit.screenHeight, c.screenH);
    EXPECT_EQ(fit.dpiX, c.dpi);
    EXPECT_EQ(fit.dpiY, c.dpi);
    EXPECT_NEAR(fit.scale, c.scale, 0.002);
    EXPECT_EQ(fit.picture.x, c.offsetX);
    EXPECT_EQ(fit.picture.y, c.offsetY);
    // The picture is centred, keeps the screen's shape and never leaves the display.
    EXPECT_EQ(fit.picture.x * 2 + fit.picture.w + (c.displayW - fit.picture.w) % 2, c.displayW);
    EXPECT_EQ(fit.picture.y * 2 + fit.picture.h + (c.displayH - fit.picture.h) % 2, c.displayH);
    EXPECT_TRUE(fit.picture.w == c.displayW || fit.picture.h == c.displayH);
    EXPECT_NEAR(static_cast<double>(fit.picture.h) / fit.picture.w,
                static_cast<double>(c.screenH) / c.screenW, 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, FitRule,
    testing::Values(
        // Portrait handhelds within the classes' range are used as they are.
        FitCase{"phone 480x800", 480, 800, 0, 0, 0, 480, 800, 192, 1.0, 0, 0},
        FitCase{"phone 480x640", 480, 640, 0, 0, 0, 480, 640, 192, 1.0, 0, 0},
        FitCase{"phone 240x320", 240, 320, 0, 0, 0, 240, 320, 96, 1.0, 0, 0},
        FitCase{"phone 360x640", 360, 640, 0, 0, 0, 360, 640, 144, 1.0, 0, 0},
        FitCase{"phone 600x800", 600, 800, 0, 0, 0, 600, 800, 240, 1.0, 0, 0},
        // A class that fits 1:1 from edge to edge comes first...
        FitCase{"handheld 1280x800", 1280, 800, 0, 0, 0, 480, 800, 192, 1.0, 400, 0},
        FitCase{"square 800x800", 800, 800, 0, 0, 0, 480, 800, 192, 1.0, 160, 0},
        FitCase{"landscape 1280x640", 1280, 640, 0, 0, 0, 480, 640, 192, 1.0, 400, 0},
        // ...otherwise the largest picture, the larger class on a tie.
        FitCase{"monitor 1920x1080", 1920, 1080, 0, 0, 0, 480, 640, 192, 1.6875, 555, 0},
        FitCase{"laptop 1366x768", 1366, 768, 0, 0, 0, 480, 640, 192, 1.2, 395, 0},
        FitCase{"kiosk 800x480", 800, 480, 0, 0, 0, 240, 320, 96, 1.5, 220, 0},
        FitCase{"Xvfb 1024x768", 1024, 768, 0, 0, 0, 480, 640, 192, 1.2, 224, 0},
        FitCase{"old 800x600", 800, 600, 0, 0, 0, 240, 320, 96, 1.875, 175, 0},
        FitCase{"square 1024x1024", 1024, 1024, 0, 0, 0, 480, 640, 192, 1.6, 128, 0},
        // Tall phones fill their width.
        FitCase{"tall phone 720x1440", 720, 1440, 0, 0, 0, 480, 800, 192, 1.5, 0, 120},
        FitCase{"tall phone 1080x1920", 1080, 1920, 0, 0, 0, 480, 800, 192, 2.25, 0, 60},
        // Smaller than every class: the display as it is, never a shrunken picture.
        FitCase{"tiny 320x240", 320, 240, 0, 0, 0, 320, 240, 96, 1.0, 0, 0},
        FitCase{"tiny 240x240", 240, 240, 0, 0, 0, 240, 240, 96, 1.0, 0, 0},
        // What the user asks for wins; a given screen is fitted as it is.
        FitCase{"given screen", 1280, 800, 240, 320, 0, 240, 320, 96, 2.5, 340, 0},
        FitCase{"given landscape", 1280, 800, 400, 240, 0, 400, 240, 96, 3.2, 0, 16},
        FitCase{"given dpi", 1280, 800, 0, 0, 160, 480, 800, 160, 1.0, 400, 0},
        FitCase{"given larger than the display", 1280, 800, 480, 1600, 192, 480, 1600, 192, 0.5,
                520, 0}),
    [](const testing::TestParamInfo<FitCase>& info) {
        return "case" + std::to_string(info.index);
    });

}  // namespace
