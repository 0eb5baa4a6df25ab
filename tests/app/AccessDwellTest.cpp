// Dwell and hold time on the window's own messages, as the platform delivers them (a hover move
// is WM_MOUSEMOVE without MK_LBUTTON), in virtual time. A tap that reaches a control vibrates, so
// the pulses say when one did.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/AppWindow.h"
#include "app/MainPage.h"
#include "audio/PadControl.h"
#include "platform/kernel/Clock.h"
#include "support/GoldenImage.h"

namespace {

// Pad cell 5 and 6, the settings button.
const POINT kCell5 = {91, 135};
const POINT kCell6 = {148, 135};

struct Step {
    UINT message;  // WM_MOUSEMOVE (a hover), WM_LBUTTONDOWN or WM_LBUTTONUP; 0: only time passes
    POINT at;
    DWORD pumpMs;  // then
};

class AccessDwellTest : public AppWindowTest {
protected:
    // The ms (from the first step) at which each tap vibrated.
    std::vector<int> Drive(const std::vector<Step>& steps) {
        const platform::TimeNs start = platform::Clock::Instance().Now();
        for (const Step& s : steps) {
            if (s.message) {
                SendMessage(Handle(), s.message, s.message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                            MAKELPARAM(s.at.x, s.at.y));
            }
            window_->Pump(s.pumpMs);
        }
        std::vector<int> taps;
        for (const auto& pulse : window_->Device().Vibrations()) {
            if (pulse.on) {
                taps.push_back(static_cast<int>((pulse.time - start) / platform::kNsPerMs));
            }
        }
        return taps;
    }
};

TEST_F(AccessDwellTest, ARestingPointerTapsAfterTheDwellTimeAndOnlyOnceUntilItLeaves) {
    Load([](Settings& settings) {
        settings.accessMethod = AccessDwell;
        settings.dwellTime = 1000;
    });
    const std::vector<int> taps =
        Drive({{WM_MOUSEMOVE, kCell5, 400},
               {WM_MOUSEMOVE, {kCell5.x + 2, kCell5.y + 1}, 2600},  // a wobble: taps at 1000
               {WM_MOUSEMOVE, kCell6, 500},                         // 3000: another cell
               {WM_MOUSEMOVE, {kCell6.x + 20, kCell6.y}, 1500},     // 3500: past the slop
               {WM_MOUSEMOVE, {kCell6.x + 21, kCell6.y}, 1000},     // done there: nothing
               {WM_MOUSEMOVE, kCell5, 1200}});                      // 6000: back on cell 5
    EXPECT_EQ(taps, (std::vector<int>{1000, 4500, 7000}));
}

TEST_F(AccessDwellTest, ATouchActsOnlyOnceHeldForTheHoldTime) {
    Load([](Settings& settings) { settings.holdTime = 300; });
    const std::vector<int> taps = Drive({{WM_LBUTTONDOWN, kCell5, 50},
                                         {WM_LBUTTONUP, kCell5, 950},
                                         {WM_LBUTTONDOWN, kCell5, 400},
                                         {WM_LBUTTONUP, kCell5, 100}});
    EXPECT_EQ(taps, (std::vector<int>{1300}));
    EXPECT_EQ(g_ui->GetMainPage()->GetPad()->GetPressedCell(), -1) << "the held touch lifted";
}

}  // namespace

namespace {

bool Yellow(uint32_t p) {
    return ((p >> 16) & 0xFF) > 230 && ((p >> 8) & 0xFF) > 190 && (p & 0xFF) < 40;
}

TEST_F(AccessDwellTest, TheRingFillsClockwiseFromTheTopAndGoesWhenItTaps) {
    Load([](Settings& settings) {
        settings.accessMethod = AccessDwell;
        settings.dwellTime = 1000;
    });
    Drive({{WM_MOUSEMOVE, kCell5, 520}});
    // Half way: the top and the right of the ring are filled, the left not yet.
    const int r = 16 - 2;  // inside the ring's width
    EXPECT_TRUE(Yellow(window_->PresentedPixel(kCell5.x + 1, kCell5.y - r)));
    EXPECT_TRUE(Yellow(window_->PresentedPixel(kCell5.x + r, kCell5.y)));
    EXPECT_FALSE(Yellow(window_->PresentedPixel(kCell5.x - r, kCell5.y)));
    // To look at: PULSOR_ACCESS_SHOTS=DIR keeps the picture.
    if (const char* dir = std::getenv("PULSOR_ACCESS_SHOTS")) {
        const auto frame = window_->Presented();
        golden::Picture picture;
        picture.width = frame.width;
        picture.height = frame.height;
        picture.pixels = frame.pixels;
        golden::WritePng(std::string(dir) + "/dwell-ring.png", picture);
    }
    Drive({{0, {}, 600}});
    EXPECT_FALSE(Yellow(window_->PresentedPixel(kCell5.x + r, kCell5.y))) << "gone with the tap";
}

}  // namespace
