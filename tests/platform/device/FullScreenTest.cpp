// Pulsor full screen on the displays people have (Xvfb of that size): the handheld picture centred
// between bars, scaled up, and the pointer mapped through the bars and the scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/device/sdl/ScreenFit.h"
#include "support/GoldenImage.h"
#include "support/XSession.h"

namespace {

using golden::Picture;
using sdltest::Child;
using sdltest::XServer;

struct Display {
    int width;
    int height;
};

std::string Name(const Display& d) {
    return std::to_string(d.width) + "x" + std::to_string(d.height);
}

int Channel(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

class FullScreen : public testing::TestWithParam<Display> {
protected:
    FullScreen() : x_(Name(GetParam()) + "x24") {}

    void SetUp() override {
        if (!x_.Running())
            GTEST_SKIP() << "Xvfb is not available";
        if (!sdltest::FindProgram("xdotool"))
            GTEST_SKIP() << "xdotool is not available";
        configDir_ = ::testing::TempDir() + "pulsor_full_" + std::to_string(getpid());
        ASSERT_EQ(std::system(("rm -rf " + configDir_ + " && mkdir -p " + configDir_).c_str()), 0);
    }
    void TearDown() override {
        if (!configDir_.empty())
            std::system(("rm -rf " + configDir_).c_str());
    }

    Picture Root() const {
        Picture p;
        x_.Grab(0, &p.width, &p.height, &p.pixels);
        return p;
    }

    // How far the display's picture is from a page as the headless device draws it, within a
    // rectangle of the page (all of it by default): the mean difference of a channel, sampled
    // through the fit (0 is the same picture).
    static double Distance(const Picture& display, const platform::FitRect& picture,
                           const Picture& page, platform::FitRect area = {}) {
        if (area.w <= 0)
            area = platform::FitRect{0, 0, page.width, page.height};
        double sum = 0;
        long n = 0;
        for (int y = area.y + 1; y < area.y + area.h; y += 3) {
            for (int x = area.x + 1; x < area.x + area.w; x += 3) {
                int dx = picture.x + static_cast<int>((x + 0.5) * picture.w / page.width);
                int dy = picture.y + static_cast<int>((y + 0.5) * picture.h / page.height);
                uint32_t a = display.At(dx, dy);
                uint32_t b = page.At(x, y);
                for (int shift : {0, 8, 16})
                    sum += std::abs(Channel(a, shift) - Channel(b, shift));
                n += 3;
            }
        }
        return n ? sum / n : 1e9;
    }

    // Waits until the display shows `page`; returns the last distance seen.
    double WaitFor(const platform::FitRect& picture, const Picture& page, double within) {
        double distance = 1e9;
        auto until = std::chrono::steady_clock::now() + sdltest::kPatience;
        while (std::chrono::steady_clock::now() < until) {
            distance = Distance(Root(), picture, page);
            if (distance <= within)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return distance;
    }

    // A screen point as a pointer position on the display.
    std::string On(const platform::FitRect& picture, const platform::ScreenFit& fit, int x,
                   int y) const {
        int dx = picture.x + static_cast<int>((x + 0.5) * picture.w / fit.screenWidth);
        int dy = picture.y + static_cast<int>((y + 0.5) * picture.h / fit.screenHeight);
        return " mousemove " + std::to_string(dx) + " " + std::to_string(dy) + " ";
    }

    std::string Xdotool(const std::string& arguments) {
        return x_.Run("timeout 20 xdotool " + arguments);
    }

    static Picture Golden(const platform::ScreenFit& fit, const std::string& page) {
        Picture p;
        golden::ReadPng(std::string(PULSOR_SOURCE_DIR) + "/tests/e2e_app/golden/" +
                            std::to_string(fit.screenWidth) + "x" +
                            std::to_string(fit.screenHeight) + "_" + std::to_string(fit.dpiX) +
                            "_" + page + ".png",
                        &p);
        return p;
    }

    XServer x_;
    std::string configDir_;
};

}  // namespace

TEST_P(FullScreen, ShowsTheHandheldBetweenBarsAndEveryTouchLandsWhereItIsSeen) {
    const Display d = GetParam();
    const platform::ScreenFit fit = platform::FitScreenToDisplay(d.width, d.height);
    const platform::FitRect& picture = fit.picture;
    const Picture main = Golden(fit, "main");
    const Picture settings = Golden(fit, "settings");
    ASSERT_GT(main.width, 0);
    ASSERT_GT(settings.width, 0);
    // A 1:1 picture is the headless one exactly; a scaled one is smoothed.
    const double within = fit.scale == 1.0 ? 0 : 6;

    Child pulsor({PULSOR_EXE, "--fullscreen", "--no-audio", "--config-dir", configDir_},
                 x_.Display(), true);
    unsigned long window = x_.FindWindow("Pulsor");
    ASSERT_NE(window, 0u);
    EXPECT_NE(Xdotool("getwindowgeometry " + std::to_string(window)).find("Geometry: " + Name(d)),
              std::string::npos);
    EXPECT_LE(WaitFor(picture, main, within), within);

    const Picture shown = Root();
    const std::string shot = ::testing::TempDir() + "pulsor_fullscreen_" + Name(d) + ".png";
    golden::WritePng(shot, shown);
    std::printf("root window: %s\n", shot.c_str());
    if (picture.x > 0) {
        EXPECT_EQ(shown.At(picture.x - 1, d.height / 2), 0u);
        EXPECT_EQ(shown.At(picture.x + picture.w, d.height / 2), 0u);
        EXPECT_EQ(shown.At(0, 0), 0u);
    }
    if (picture.y > 0) {
        EXPECT_EQ(shown.At(d.width / 2, picture.y - 1), 0u);
        EXPECT_EQ(shown.At(d.width / 2, picture.y + picture.h), 0u);
    }

    const int f = fit.dpiX / 96;
    // A press on a bar, or on the picture's edge seen from a bar, reaches nothing.
    if (picture.x > 0) {
        Xdotool("mousemove 1 " + std::to_string(d.height / 2) + " click 1");
        Xdotool("mousemove " + std::to_string(picture.x - 1) + " " +
                std::to_string(picture.y + 100 * f) + " click 1");
    }
    if (picture.y > 0)
        Xdotool("mousemove " + std::to_string(d.width / 2) + " 0 click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(Distance(Root(), picture, main), within);

    // A cell looks pressed while held; the switches turn on; nothing else changes. Then the
    // settings button opens its page.
    const int h = fit.screenHeight;
    const platform::FitRect cell{60 * f, 112 * f, 60 * f, 53 * f};
    const platform::FitRect beat{0, h - 54 * f, 120 * f, 48 * f};
    const platform::FitRect voice{fit.screenWidth - 120 * f, h - 54 * f, 120 * f, 48 * f};
    const platform::FitRect pad{0, 54 * f, 240 * f, 212 * f};
    auto changed = [&](const platform::FitRect& area) {
        return Distance(Root(), picture, main, area) - Distance(shown, picture, main, area);
    };
    Xdotool(On(picture, fit, 90 * f, 138 * f) + "mousedown 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(changed(cell), 8);
    EXPECT_LT(changed(beat), 1);
    Xdotool("mouseup 1");
    EXPECT_LE(WaitFor(picture, main, within), within);

    Xdotool(On(picture, fit, 60 * f, h - 27 * f) + "click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(changed(beat), 8);
    EXPECT_LT(changed(voice), 1);
    EXPECT_LT(changed(pad), 1);
    Xdotool(On(picture, fit, fit.screenWidth - 60 * f, h - 27 * f) + "click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(changed(voice), 8);
    EXPECT_LT(changed(pad), 1);
    Xdotool(On(picture, fit, 39 * f, 13 * f) + "click 1");
    EXPECT_LE(WaitFor(picture, settings, within), within);

    ASSERT_TRUE(x_.SendDeleteWindow(window));
    EXPECT_EQ(pulsor.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Displays, FullScreen,
                         testing::Values(Display{1280, 800}, Display{1920, 1080}, Display{800, 480},
                                         Display{720, 1440}, Display{480, 640}),
                         [](const testing::TestParamInfo<Display>& info) {
                             return Name(info.param);
                         });

namespace {

// The display's size changing under the window (a rotation, another monitor, the window manager's
// full-screen size arriving late) reaches the program as a new window size.
class FullScreenResized : public FullScreen {};

}  // namespace

TEST_P(FullScreenResized, FitsThePictureAgainAndTheProgramKeepsItsScreen) {
    const Display d = GetParam();
    const platform::ScreenFit fit = platform::FitScreenToDisplay(d.width, d.height);
    const Picture main = Golden(fit, "main");
    const Picture settings = Golden(fit, "settings");
    ASSERT_GT(main.width, 0);
    Child pulsor({PULSOR_EXE, "--fullscreen", "--no-audio", "--config-dir", configDir_},
                 x_.Display(), true);
    unsigned long window = x_.FindWindow("Pulsor");
    ASSERT_NE(window, 0u);
    ASSERT_EQ(WaitFor(fit.picture, main, 0), 0);

    // Shorter: the same screen, now scaled down into the middle of what is left.
    const int shorter = d.height * 4 / 5;
    Xdotool("windowsize " + std::to_string(window) + " " + std::to_string(d.width) + " " +
            std::to_string(shorter));
    const platform::FitRect refit =
        platform::Letterbox(d.width, shorter, fit.screenWidth, fit.screenHeight);
    EXPECT_LE(WaitFor(refit, main, 6), 6);
    const Picture shown = Root();
    EXPECT_EQ(shown.At(refit.x - 1, shorter / 2), 0u);
    EXPECT_EQ(shown.At(refit.x + refit.w, shorter / 2), 0u);
    const int f = fit.dpiX / 96;
    Xdotool(On(refit, fit, 39 * f, 13 * f) + "click 1");
    EXPECT_LE(WaitFor(refit, settings, 6), 6);

    // Back to the display's size: 1:1 again, on the page it was left on.
    Xdotool("windowsize " + std::to_string(window) + " " + std::to_string(d.width) + " " +
            std::to_string(d.height));
    EXPECT_EQ(WaitFor(fit.picture, settings, 0), 0);
    ASSERT_TRUE(x_.SendDeleteWindow(window));
    EXPECT_EQ(pulsor.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Handheld, FullScreenResized, testing::Values(Display{1280, 800}),
                         [](const testing::TestParamInfo<Display>& info) {
                             return Name(info.param);
                         });
