// The level meter: its fill and peak mark at a few levels, the peak's hold in device time, and
// levels given in dB.
#include "touchui/LevelMeter.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/PixelSurface.h"
#include "tests/touchui/Recording.h"

using pixels::PixelOf;
using touchui_test::RecordingTest;

namespace {

const uint32_t kCanary = 0x00FF00FF, kBack = 0x00202020;

class LevelMeterTest : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        back_.Fill(kBack);
        meter_.reset(new LevelMeter(NULL, hwnd(), 140));
        meter_->SetBounds(10, 5, 200, 12);
        meter_->SetBackImage(back_.bitmap);
    }
    LevelMeter& m() { return *meter_; }

    pixels::Surface back_{1, 1, pixels::Surface::NoDc};
    pixels::Surface screen_{220, 20, pixels::Surface::WindowDc};
    std::unique_ptr<LevelMeter> meter_;
};

// At 96 dpi the peak mark is two pixels wide, ending where the peak's fill would; a level's fill
// ends at the nearest pixel.
TEST_F(LevelMeterTest, FillsUpToTheLevelAndMarksThePeak) {
    struct Case {
        double level;   // set after the peak
        double peak;    // set first
        int fillRight;  // first pixel past the fill
        int markLeft;   // -1: no mark
    };
    const Case cases[] = {
        {0, 0, 10, -1},         {0.5, 0.5, 110, 108},     {0.25, 0.8, 60, 168},
        {1, 1, 210, 208},       {-0.05, 0, 10, -1},       {1.3, 0, 210, 208},
        {0.333, 0.333, 77, 75}, {0.0024, 0.0024, 10, -1}, {NAN, 0, 10, -1},
    };
    const uint32_t top = PixelOf(m().fillTop), peak = PixelOf(m().peakColor);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        m().SetLevel(c.peak);
        m().ResetPeak();
        m().SetLevel(c.level);
        screen_.Fill(kCanary);
        m().Paint(screen_.dc);
        for (int x = 0; x < 220; ++x) {
            const bool mark = c.markLeft >= 0 && x >= c.markLeft && x < c.markLeft + 2;
            const uint32_t expected = x < 10 || x >= 210 ? kCanary
                                      : mark             ? peak
                                      : x < c.fillRight  ? top
                                                         : kBack;
            ASSERT_EQ(screen_.At(x, 5), expected) << x;
            ASSERT_EQ(screen_.At(x, 4), kCanary);
            ASSERT_EQ(screen_.At(x, 17), kCanary);
            if (mark) {
                ASSERT_EQ(screen_.At(x, 16), peak) << "the mark spans the bar";
            }
        }
        if (c.fillRight > 10) {
            EXPECT_NE(screen_.At(10, 16), top) << "the gradient darkens";
        }
    }
}

TEST_F(LevelMeterTest, ThePeakHoldsThenFallsToTheLevel) {
    m().SetLevel(0.8);
    window().Pump(1000);
    m().SetLevel(0.2);
    EXPECT_EQ(m().GetPeak(), 0.8);
    window().Pump(499);
    m().SetLevel(0.3);
    EXPECT_EQ(m().GetPeak(), 0.8) << "held 1499 ms";
    window().Pump(1);
    m().SetLevel(0.1);
    EXPECT_EQ(m().GetPeak(), 0.1) << "1500 ms without a higher level";
    m().SetLevel(0.4);
    EXPECT_EQ(m().GetPeak(), 0.4) << "a higher level raises it at once";
    m().SetPeakHold(0);
    m().SetLevel(0.05);
    EXPECT_EQ(m().GetPeak(), 0.05);
    EXPECT_EQ(m().GetLevel(), 0.05);
}

TEST_F(LevelMeterTest, DecibelsMapLinearlyFromTheFloor) {
    struct Case {
        double dbfs;
        double level;
    };
    for (const Case& c : {Case{-90, 0}, Case{-60, 0}, Case{-30, 0.5}, Case{-6, 0.9}, Case{0, 1},
                          Case{6, 1}, Case{-INFINITY, 0}, Case{INFINITY, 1}, Case{NAN, 0}}) {
        m().SetDecibels(c.dbfs);
        EXPECT_DOUBLE_EQ(m().GetLevel(), c.level) << c.dbfs;
    }
    m().SetFloorDecibels(-40);
    m().SetDecibels(-10);
    EXPECT_DOUBLE_EQ(m().GetLevel(), 0.75);
    m().SetFloorDecibels(3);  // not a floor
    m().SetDecibels(-10);
    EXPECT_DOUBLE_EQ(m().GetLevel(), 0.75);
}

TEST_F(LevelMeterTest, TakesNoTouchAndPostsNothing) {
    window().Pump(0);  // the window's first paint
    window().ClearMessages();
    EXPECT_EQ(m().TouchDown(hwnd(), 0, 50, 10), 0);
    m().SetLevel(0.5);
    window().Pump(0);
    EXPECT_EQ(window().Count(WM_PAINT), 0) << "the program repaints it";
    EXPECT_EQ(window().Count(WM_COMMAND), 0);
}

}  // namespace
