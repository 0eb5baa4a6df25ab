// Design units to pixels, read from the screen's dpi once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/TestWindow.h"
#include "touchui/Button.h"
#include "touchui/Control.h"

namespace {

class Scale : public ::testing::Test {
protected:
    void Open(int dpi) {
        window_.reset();
        window_.reset(new TestWindow(480, 640, dpi));
        ResetScaleForTests();
    }
    void TearDown() override {
        window_.reset();
        ResetScaleForTests();
    }
    std::unique_ptr<TestWindow> window_;
};

TEST_F(Scale, DefaultsAt96And192Dpi) {
    Open(96);
    Control a(NULL, NULL, 1);
    EXPECT_EQ(a.width, 50);
    EXPECT_EQ(a.height, 20);
    EXPECT_EQ(a.marginLeft, 2);
    EXPECT_EQ(a.marginTop, 1);
    EXPECT_EQ(a.marginRight, 2);
    EXPECT_EQ(a.marginBottom, 1);

    Open(192);
    Control b(NULL, NULL, 1);
    EXPECT_EQ(b.width, 100);
    EXPECT_EQ(b.height, 40);
    EXPECT_EQ(b.marginLeft, 4);
    EXPECT_EQ(b.marginTop, 2);
    EXPECT_EQ(b.marginRight, 4);
    EXPECT_EQ(b.marginBottom, 2);
    Button button(NULL, NULL, 32);
    EXPECT_EQ(button.overlayMarginLeft, 4);
    EXPECT_EQ(button.overlayMarginTop, 2);
}

TEST_F(Scale, RoundsHalvesUpAndNegativesSymmetrically) {
    Open(120);                  // 1.25 pixels a unit
    EXPECT_EQ(ScaleX(1), 1);    // 1.25
    EXPECT_EQ(ScaleX(2), 3);    // 2.5, half up
    EXPECT_EQ(ScaleX(6), 8);    // 7.5
    EXPECT_EQ(ScaleY(-2), -3);  // the negated conversion of 2
    EXPECT_EQ(ScaleX(-6), -8);
    EXPECT_EQ(ScaleX(0), 0);
    EXPECT_EQ(ScaleY(240), 300);
}

TEST_F(Scale, HorizontalAndVerticalUseTheirOwnDpi) {
    window_.reset();
    platform::DeviceOptions options;
    options.screenWidth = 480;
    options.screenHeight = 640;
    options.dpiX = 96;
    options.dpiY = 192;
    options.headless = true;
    window_.reset(new TestWindow(options, WS_VISIBLE));
    ResetScaleForTests();
    EXPECT_EQ(ScaleX(26), 26);
    EXPECT_EQ(ScaleY(26), 52);
}

TEST_F(Scale, TheDpiIsReadOnceForTheLifeOfTheProcess) {
    Open(96);
    EXPECT_EQ(ScaleX(100), 100);
    window_.reset();
    window_.reset(new TestWindow(480, 640, 192));  // a different screen, no reset
    EXPECT_EQ(ScaleX(100), 100);
    ResetScaleForTests();
    EXPECT_EQ(ScaleX(100), 200);
}

TEST_F(Scale, FirstUseFromTwoThreadsAgrees) {
    Open(192);
    std::atomic<int> go{0};
    std::vector<int> results(8, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            results[i] = (i % 2) ? ScaleX(50) : ScaleY(20);
        });
    }
    go = 1;
    for (std::thread& t : threads)
        t.join();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(results[i], (i % 2) ? 100 : 40);
}

}  // namespace
