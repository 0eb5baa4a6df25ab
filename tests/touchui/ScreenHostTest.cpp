// The screen host: which page shows, how an animated change runs on the window's timer, and where
// touch goes meanwhile.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "graphics/Drawing.h"
#include "platform/kernel/Clock.h"
#include "support/PixelSurface.h"
#include "tests/touchui/Recording.h"
#include "touchui/Button.h"
#include "touchui/Screen.h"
#include "touchui/ScreenHost.h"

using pixels::PixelOf;
using pixels::Surface;
using touchui_test::Command;

namespace {

const int kW = 60, kH = 40;
const COLORREF kRed = 0x000000FF, kGreen = 0x0000FF00, kBlue = 0x00FF0000;
const uint32_t kCanary = 0x00123456;

// A control that covers its rectangle with one colour.
class Swatch : public Control {
public:
    Swatch(HWND window, COLORREF c) : Control(NULL, window, 0), colour(c) { interactive = 0; }
    void Paint(HDC hdc) override {
        FillSolidRect(hdc, left, top, left + width, top + height, colour);
    }
    COLORREF colour;
};

class Host : public touchui_test::RecordingTest {
protected:
    void SetUp() override {
        Open(kW, kH, 96);
        Build();
    }
    void Build() {
        host_.reset(new ScreenHost(NULL, hwnd(), 1, 1, 11));
        host_->SetBounds(0, 0, kW, kH);
        host_->CreateSurfaces();
        struct Page {
            std::unique_ptr<Screen>& screen;
            int id;
            std::unique_ptr<Swatch>& swatch;
            COLORREF colour;
        } pages[] = {{main_, 2, mainSwatch_, kRed},
                     {about_, 3, aboutSwatch_, kGreen},
                     {settings_, 4, settingsSwatch_, kBlue}};
        for (Page& p : pages) {
            p.screen.reset(new Screen(NULL, hwnd(), p.id));
            p.screen->SetBounds(0, 0, kW, kH);
            p.swatch.reset(new Swatch(hwnd(), p.colour));
            p.swatch->SetBounds(0, 0, kW, kH);
            p.screen->AddControl(p.swatch.get());
            host_->AddScreen(p.screen.get());
        }
        mainButton_.reset(new Button(NULL, hwnd(), 32));
        mainButton_->SetBounds(0, 0, 10, 10);
        main_->AddControl(mainButton_.get());
        aboutButton_.reset(new Button(NULL, hwnd(), 87));
        aboutButton_->SetBounds(0, 0, 10, 10);
        about_->AddControl(aboutButton_.get());
    }
    void TearDown() override {
        host_.reset();
        RecordingTest::TearDown();
    }

    // What the window would show now: the host painted over black.
    void Show(Surface& target) {
        target.Fill(0);
        host_->PaintIfVisible(target.dc);
    }
    // The main page on screen, as the back buffer holds it before a change.
    void ShowMain() {
        host_->ShowScreen(2);
        Show(back_);
        Commands();
    }
    int Paints() {
        int n = window().Count(WM_PAINT);
        window().ClearMessages();
        return n;
    }
    Transition* T() { return host_->GetTransition(); }

    std::unique_ptr<ScreenHost> host_;
    std::unique_ptr<Screen> main_, about_, settings_;
    std::unique_ptr<Swatch> mainSwatch_, aboutSwatch_, settingsSwatch_;
    std::unique_ptr<Button> mainButton_, aboutButton_;
    Surface back_{kW, kH, Surface::WindowDc};
    Surface frame_{kW, kH, Surface::WindowDc};
};

TEST_F(Host, AddedScreensAreHiddenUntilOneIsShown) {
    EXPECT_EQ(main_->GetVisible(), 0);
    EXPECT_EQ(about_->GetVisible(), 0);
    EXPECT_EQ(main_->GetParent(), host_.get());
    frame_.Fill(kCanary);
    host_->PaintIfVisible(frame_.dc);
    EXPECT_EQ(frame_.At(5, 5), kCanary);

    host_->ShowScreen(3);
    EXPECT_EQ(main_->GetVisible(), 0);
    EXPECT_EQ(about_->GetVisible(), 1);
    EXPECT_EQ(settings_->GetVisible(), 0);
    Show(frame_);
    EXPECT_EQ(frame_.At(30, 20), PixelOf(kGreen));
    window().Pump(0);
    EXPECT_EQ(Paints(), 1);
}

TEST_F(Host, ShowingAnUnknownPageHidesThemAllAndRepaints) {
    host_->ShowScreen(2);
    Paints();
    host_->ShowScreen(99);
    EXPECT_EQ(main_->GetVisible() + about_->GetVisible() + settings_->GetVisible(), 0);
    Show(frame_);
    EXPECT_EQ(frame_.At(30, 20), 0u);
    window().Pump(0);
    EXPECT_EQ(Paints(), 1);
}

TEST_F(Host, PageZeroAndAHiddenHostChangeNothing) {
    host_->ShowScreen(2);
    host_->ShowScreen(0);
    EXPECT_EQ(main_->GetVisible(), 1);
    host_->ShowScreenAnimated(0, CoverFromTop, 300, back_.dc);
    EXPECT_EQ(main_->GetVisible(), 1);
    host_->SetVisible(0);
    host_->ShowScreen(3);
    host_->ShowScreenAnimated(4, CoverFromTop, 300, back_.dc);
    EXPECT_EQ(main_->GetVisible(), 1);
    EXPECT_EQ(T(), nullptr);
    EXPECT_EQ(host_->TouchDown(hwnd(), 0, 5, 5), 0);
    EXPECT_EQ(host_->OnTouchDown(hwnd(), 0, 5, 5), 0);
}

TEST_F(Host, WithoutKindDurationOrSourceTheChangeIsImmediate) {
    ShowMain();
    host_->ShowScreenAnimated(3, NoTransition, 300, back_.dc);
    EXPECT_EQ(about_->GetVisible(), 1);
    host_->ShowScreenAnimated(4, CoverFromTop, 0, back_.dc);
    EXPECT_EQ(settings_->GetVisible(), 1);
    host_->ShowScreenAnimated(3, CoverFromTop, -300, back_.dc);
    EXPECT_EQ(about_->GetVisible(), 1);
    host_->ShowScreenAnimated(4, CoverFromTop, 300, NULL);
    EXPECT_EQ(settings_->GetVisible(), 1);
    EXPECT_EQ(T(), nullptr);
    window().Pump(0);
    EXPECT_GE(Paints(), 1);
}

TEST_F(Host, WithoutSurfacesTheChangeIsImmediate) {
    host_->ReleaseSurfaces();
    ShowMain();
    host_->ShowScreenAnimated(3, CoverFromTop, 300, back_.dc);
    EXPECT_EQ(T(), nullptr);
    EXPECT_EQ(about_->GetVisible(), 1);
}

TEST_F(Host, AnAnimatedChangeDropsTheNewPageInAndEndsOnTheTimer) {
    ShowMain();
    Paints();
    host_->ShowScreenAnimated(3, CoverFromTop, 300, back_.dc);
    ASSERT_NE(T(), nullptr);
    EXPECT_EQ(currentTransition, T());
    EXPECT_EQ(T()->running, 1);
    EXPECT_EQ(T()->progress, 0.0);
    EXPECT_EQ(main_->GetVisible(), 0);
    EXPECT_EQ(about_->GetVisible(), 1);

    // The two pictures are prepared once; nothing is repainted before the first tick.
    int w = 0, h = 0, stride = 0;
    uint32_t* oldPx = platform::gdi::BitmapPixels(host_->oldSurface.bitmap, &w, &h, &stride);
    uint32_t* newPx = platform::gdi::BitmapPixels(host_->newSurface.bitmap, &w, &h, &stride);
    ASSERT_TRUE(oldPx && newPx);
    EXPECT_EQ(oldPx[0], PixelOf(kRed));
    EXPECT_EQ(newPx[0], PixelOf(kGreen));
    window().Pump(5);
    EXPECT_EQ(Paints(), 0);

    window().Pump(145);  // 150 ms: the last tick came at 143
    EXPECT_DOUBLE_EQ(T()->progress, 143.0 / 300.0);
    EXPECT_GE(Paints(), 1);
    Show(frame_);
    const int dy = static_cast<int>(kH * (143.0 / 300.0));  // 19 rows of the new page
    EXPECT_EQ(frame_.At(30, dy - 1), PixelOf(kGreen));
    EXPECT_EQ(frame_.At(30, dy), PixelOf(kRed));

    window().Pump(160);  // 310 ms: the tick at 308 reached the end and still draws
    EXPECT_EQ(T()->progress, 1.0);
    EXPECT_EQ(T()->running, 1);
    Show(frame_);
    EXPECT_EQ(frame_.At(30, kH - 1), PixelOf(kGreen));
    Paints();

    window().Pump(10);  // the tick at 319 stops the timer, and repaints once more
    EXPECT_EQ(T()->running, 0);
    EXPECT_EQ(Paints(), 1);
    Show(frame_);  // ordinary painting again
    EXPECT_EQ(frame_.At(30, 20), PixelOf(kGreen));

    window().Pump(200);
    EXPECT_EQ(Paints(), 0);
    EXPECT_EQ(KillTimer(hwnd(), 1), FALSE);
}

TEST_F(Host, ADurationShorterThanThePeriodEndsAtTheFirstTick) {
    ShowMain();
    host_->ShowScreenAnimated(4, UncoverUp, 5, back_.dc);
    window().Pump(11);
    EXPECT_EQ(T()->progress, 1.0);
    EXPECT_EQ(T()->running, 1);
    Show(frame_);
    EXPECT_EQ(frame_.At(0, 0), PixelOf(kBlue));
    EXPECT_EQ(frame_.At(kW - 1, kH - 1), PixelOf(kBlue));
    window().Pump(11);
    EXPECT_EQ(T()->running, 0);
}

TEST_F(Host, TheTickCounterWrappingMidwayKeepsTheProgressRight) {
    // The device clock can start anywhere: 100 ms before the 32-bit millisecond counter wraps.
    platform::Clock::Instance().SetVirtual(true, (0x100000000ull - 100) * platform::kNsPerMs);
    ShowMain();
    host_->ShowScreenAnimated(3, CoverFromTop, 300, back_.dc);
    EXPECT_EQ(T()->startTick, 0xFFFFFF9Cu);
    window().Pump(150);
    EXPECT_LT(GetTickCount(), 100u);  // wrapped
    EXPECT_DOUBLE_EQ(T()->progress, 143.0 / 300.0);
    EXPECT_EQ(T()->running, 1);
    window().Pump(200);
    EXPECT_EQ(T()->progress, 1.0);
    EXPECT_EQ(T()->running, 0);
}

TEST_F(Host, ANewChangeWhileOneRunsReplacesItAndStartsAfresh) {
    ShowMain();
    host_->ShowScreenAnimated(3, CoverFromTop, 300, back_.dc);
    window().Pump(100);
    Transition* first = T();
    ASSERT_EQ(first->running, 1);

    Show(back_);  // the back buffer now holds a frame of the first change
    host_->ShowScreenAnimated(2, UncoverUp, 300, back_.dc);
    ASSERT_NE(T(), nullptr);
    EXPECT_EQ(currentTransition, T());
    EXPECT_EQ(T()->progress, 0.0);
    EXPECT_EQ(T()->kind, UncoverUp);
    EXPECT_EQ(main_->GetVisible(), 1);
    EXPECT_EQ(about_->GetVisible(), 0);

    window().Pump(150);
    EXPECT_DOUBLE_EQ(T()->progress, 143.0 / 300.0);  // measured from the second start
    window().Pump(200);
    EXPECT_EQ(T()->running, 0);
    Show(frame_);
    EXPECT_EQ(frame_.At(30, 20), PixelOf(kRed));
    EXPECT_EQ(KillTimer(hwnd(), 1), FALSE);
}

TEST_F(Host, TouchDuringAChangeActsOnTheIncomingPage) {
    ShowMain();
    host_->ShowScreenAnimated(3, CoverFromTop, 300, back_.dc);
    window().Pump(50);
    EXPECT_EQ(host_->TouchDown(hwnd(), 0, 5, 5), 1);
    EXPECT_EQ(host_->TouchUp(hwnd(), 0, 5, 5), 1);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 87, aboutButton_.get()},
                                                {Released, 87, aboutButton_.get()},
                                                {Clicked, 87, aboutButton_.get()}}));
    EXPECT_EQ(mainButton_->state, 0);
}

TEST_F(Host, TouchAnswersAreThoseOfTheVisiblePage) {
    host_->ShowScreen(2);
    EXPECT_EQ(host_->TouchDown(hwnd(), 0, 30, 30), 0);  // only the swatch, which is no button
    EXPECT_EQ(host_->TouchDown(hwnd(), 0, 5, 5), 1);
    EXPECT_EQ(host_->TouchMove(hwnd(), 0, 6, 6), 1);
    main_->SetEnabled(0);
    EXPECT_EQ(host_->TouchUp(hwnd(), 0, 6, 6), 0);
}

TEST_F(Host, DestroyingTheHostMidwayStopsItsTransition) {
    ShowMain();
    host_->ShowScreenAnimated(3, FadeIn, 300, back_.dc);
    window().Pump(50);
    host_.reset();
    EXPECT_EQ(currentTransition, nullptr);
    EXPECT_EQ(KillTimer(hwnd(), 1), FALSE);
    window().Pump(100);
}

TEST_F(Host, ATimerLeftWithoutATransitionStopsItself) {
    Transition t(hwnd(), 7, 11);
    t.SetKind(PushLeft);
    t.SetDuration(300);
    t.Start();
    EXPECT_EQ(currentTransition, &t);
    Transition other(hwnd(), 8, 11);  // never started; currentTransition is cleared
    EXPECT_EQ(currentTransition, nullptr);
    window().Pump(30);
    EXPECT_EQ(t.progress, 0.0);
    EXPECT_EQ(KillTimer(hwnd(), 7), FALSE);
}

TEST(TransitionStart, NeedsAKindAndADuration) {
    Transition t(NULL, 1, 11);
    t.Start();
    EXPECT_EQ(t.running, 0);
    t.SetKind(CoverFromTop);
    t.SetDuration(0);
    t.Start();
    EXPECT_EQ(t.running, 0);
    EXPECT_EQ(currentTransition, nullptr);
}

}  // namespace
