// On the square screens, too short for the pages' drawn rows, every control of every page sits
// where it is seen: a touch at its visible centre changes that control's picture and nothing else.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

// Where a control is seen on the 240x240 screen at 96 dpi (pixels; doubled at 192 dpi).
struct Seen {
    const char* name;
    int x, y, w, h;
};

std::vector<Seen> MainPage() {
    std::vector<Seen> seen;
    for (int cell = 0; cell < 16; ++cell) {
        seen.push_back({"cell", 6 + 57 * (cell % 4), 60 + 30 * (cell / 4), 57, 30});
    }
    seen.push_back({"about", 0, 0, 26, 26});
    seen.push_back({"settings", 26, 0, 26, 26});
    seen.push_back({"close", 214, 0, 26, 26});
    seen.push_back({"play beat", 0, 186, 120, 54});
    seen.push_back({"voice", 120, 186, 120, 54});
    return seen;
}

const std::vector<Seen> kAboutPage = {{"donate", 74, 142, 92, 26}, {"about back", 90, 186, 60, 54}};

const std::vector<Seen> kSettingsPage = {
    {"volume beat", 20, 74, 200, 15}, {"volume sounds", 20, 109, 200, 15},
    {"xbutton", 154, 124, 66, 20},    {"animations", 154, 145, 66, 20},
    {"vibrations", 154, 166, 66, 20}, {"settings back", 90, 186, 60, 54}};

struct Screen {
    int size;
    int dpi;
};

class ShortScreen : public testing::TestWithParam<Screen> {};

// The smallest rectangle holding every pixel that differs; empty (w 0) when none does.
Seen Changed(const Picture& a, const Picture& b) {
    int left = a.width, top = a.height, right = -1, bottom = -1;
    for (int y = 0; y < a.height && y < b.height; ++y) {
        for (int x = 0; x < a.width && x < b.width; ++x) {
            if (a.At(x, y) != b.At(x, y)) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? Seen{"", 0, 0, 0, 0}
                     : Seen{"", left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

TEST_P(ShortScreen, EveryControlTakesATouchAtItsVisibleCentre) {
    const Screen s = GetParam();
    const int f = s.dpi / 96;
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y); };
    // Presses end away from every control, in the top bar's middle, so they leave nothing set
    // but what a touch-down sets (switches, sliders).
    const std::string away = at(s.size / 2, 40 * f);
    std::string script = "wait 2100\n";
    int shots = 0;
    // The settings' rows scroll: a finger moving up from one of them scrolls them instead, and
    // the control gets its touch back, so there the finger lifts where it landed.
    auto press = [&](const std::vector<Seen>& page) {
        for (const Seen& c : page) {
            const std::string centre = at((c.x + c.w / 2) * f, (c.y + c.h / 2) * f);
            const bool scrolls = c.y >= 54 && c.y < 186 && &page == &kSettingsPage;
            script += "shot " + std::to_string(shots) + "a.png\ndown " + centre +
                      "\nwait 40\nshot " + std::to_string(shots) + "b.png\n" +
                      (scrolls ? "up " + centre : "move " + away + "\nup " + away) + "\nwait 400\n";
            ++shots;
        }
    };
    const std::string back = at(120 * f, 213 * f);
    press(MainPage());
    script += "tap " + at(13 * f, 13 * f) + "\nwait 600\n";
    press(kAboutPage);
    script += "tap " + back + "\nwait 600\ntap " + at(39 * f, 13 * f) + "\nwait 600\n";
    press(kSettingsPage);
    script += "tap " + back + "\nwait 600\nshot last.png\n";

    PulsorRun run("short-" + std::to_string(s.size) + "_" + std::to_string(s.dpi));
    const std::string size = std::to_string(s.size);
    ASSERT_EQ(run.Start(script, "--no-audio --screen " + size + "x" + size + " --dpi " +
                                    std::to_string(s.dpi)),
              0)
        << run.Errors();

    std::vector<Seen> all = MainPage();
    all.insert(all.end(), kAboutPage.begin(), kAboutPage.end());
    all.insert(all.end(), kSettingsPage.begin(), kSettingsPage.end());
    ASSERT_EQ(static_cast<int>(all.size()), shots);
    for (int i = 0; i < shots; ++i) {
        const Seen& c = all[i];
        SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(i));
        const Picture before = run.Load(std::to_string(i) + "a.png");
        const Picture during = run.Load(std::to_string(i) + "b.png");
        ASSERT_GT(before.width, 0);
        ASSERT_GT(during.width, 0);
        const Seen changed = Changed(before, during);
        ASSERT_GT(changed.w, 0) << "the touch changed nothing";
        // Within the control as it is seen (a pixel of rounding at 192 dpi).
        EXPECT_GE(changed.x, c.x * f - 2);
        EXPECT_GE(changed.y, c.y * f - 2);
        EXPECT_LE(changed.x + changed.w, (c.x + c.w) * f + 2);
        EXPECT_LE(changed.y + changed.h, (c.y + c.h) * f + 2);
    }
    // Back on the main page after both Back buttons; the settings kept what the touches set.
    const Picture last = run.Load("last.png");
    const Seen sinceStart = Changed(run.Load("0a.png"), last);
    EXPECT_GT(sinceStart.w, 0);
    EXPECT_GE(sinceStart.y, 186 * f) << "only the switches differ";
    const std::string reg = PulsorRun::ReadText(run.Registry());
    EXPECT_NE(reg.find("\"VolumeBeat\"=dword:00000032"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"VolumeSounds\"=dword:00000032"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"XButtonClose\"=dword:00000000"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"AnimationsOn\"=dword:00000000"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"VibrationsOn\"=dword:00000000"), std::string::npos) << reg;
}

INSTANTIATE_TEST_SUITE_P(Squares, ShortScreen, testing::Values(Screen{240, 96}, Screen{480, 192}),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.size) + "_" +
                                    std::to_string(info.param.dpi);
                         });
