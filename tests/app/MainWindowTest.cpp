// The main window procedure on a headless device in virtual time: back buffer, painting,
// activation, the vibration after a taken touch, a close during loading, the beat's bar.
#include <gtest/gtest.h>

#include "app/App.h"
#include "app/Globals.h"
#include "graphics/Drawing.h"
#include "platform/user/User.h"
#include "support/TestWindow.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/Screen.h"
#include "touchui/ScreenHost.h"
#include "touchui/Slider.h"

namespace {

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<TestWindow>(240, 320, 96, 26);
        window_->SetHandler(
            [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
                *result = MainWindowProc(hwnd, message, wParam, lParam);
                return true;
            });
        g_mainWindow = window_->Handle();
        g_loading.store(0);
        SendMessage(g_mainWindow, WM_SIZE, 0, MAKELPARAM(240, 320));
    }

    void TearDown() override {
        if (IsWindow(g_mainWindow)) {
            ShutDown();
        }
        delete g_vibrations;
        delete g_beatProgress;
        delete g_screenMain;
        delete button_;
        g_vibrations = nullptr;
        g_beatProgress = nullptr;
        g_screenMain = nullptr;
        g_closePending = false;
        g_mainWindow = nullptr;
        window_.reset();
    }

    // A host showing one page with one button at (10, 10, 50, 20), and the vibrations switch.
    void BuildTree(bool vibrations) {
        g_host = new ScreenHost(nullptr, g_mainWindow, IDC_HOST, IDT_TRANSITION, 11);
        g_host->SetBounds(0, 0, 240, 320);
        g_screenMain = new Screen(nullptr, g_mainWindow, IDC_SCREEN_MAIN);
        g_screenMain->SetBounds(0, 0, 240, 320);
        button_ = new Button(nullptr, g_mainWindow, 500);
        button_->SetBounds(10, 10, 50, 20);
        g_screenMain->AddControl(button_);
        g_host->AddScreen(g_screenMain);
        g_host->ShowScreen(IDC_SCREEN_MAIN);
        g_vibrations = new CheckBox(nullptr, g_mainWindow, IDC_VIBRATIONS);
        g_vibrations->SetChecked(vibrations ? 1 : 0);
    }

    std::vector<platform::HeadlessDevice::VibrationChange> Pulses() const {
        return window_->Device().Vibrations();
    }

    std::unique_ptr<TestWindow> window_;
    Button* button_ = nullptr;
};

TEST(ResolutionClass, PicksTheSetByScreenSize) {
    EXPECT_EQ(GetResolutionClass(240, 320), 1);
    EXPECT_EQ(GetResolutionClass(320, 240), 1);
    EXPECT_EQ(GetResolutionClass(240, 240), 2);
    EXPECT_EQ(GetResolutionClass(400, 240), 3);
    EXPECT_EQ(GetResolutionClass(480, 640), 4);
    EXPECT_EQ(GetResolutionClass(480, 480), 5);
    EXPECT_EQ(GetResolutionClass(800, 480), 6);
    EXPECT_EQ(GetResolutionClass(320, 320), 0);
    EXPECT_EQ(GetResolutionClass(480, 854), 0);
    EXPECT_EQ(GetResolutionClass(200, 320), 0);
}

TEST_F(MainWindowTest, TheBackBufferIsAsLargeAsTheScreenWhateverTheWindowSize) {
    MoveWindow(g_mainWindow, 0, 0, 100, 80, TRUE);
    SendMessage(g_mainWindow, WM_SIZE, 0, MAKELPARAM(100, 80));
    BITMAP bm{};
    ASSERT_NE(GetObject(g_backBufferBitmap, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 240);
    EXPECT_EQ(bm.bmHeight, 320);
}

TEST_F(MainWindowTest, PaintingWithoutAHostShowsBlack) {
    FillSolidRect(g_backBufferDC, 0, 0, 240, 320, RGB(255, 255, 255));
    InvalidateRect(g_mainWindow, nullptr, TRUE);
    window_->Pump(10);
    const auto frame = window_->Presented();
    ASSERT_EQ(frame.width, 240);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(frame.At(239, 319) & 0xFFFFFF, 0u);
}

TEST_F(MainWindowTest, ActivationTakesTheScreenAndDeactivationGivesItBack) {
    platform::user::SetDisplayOrientation(DMDO_90);
    SendMessage(g_mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_0);
    EXPECT_TRUE(platform::user::ShellFullScreenState() & SHFS_HIDETASKBAR);
    RECT r{};
    GetWindowRect(g_mainWindow, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 320);

    SendMessage(g_mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_90) << "the orientation found is restored";
    EXPECT_TRUE(platform::user::ShellFullScreenState() & SHFS_SHOWTASKBAR);
    GetWindowRect(g_mainWindow, &r);
    EXPECT_EQ(r.top, 26) << "the window moves onto the work area, below the task bar";

    SendMessage(g_mainWindow, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_0);
}

TEST_F(MainWindowTest, ATakenTouchVibratesFor25MillisecondsWithoutHoldingTheUiThread) {
    BuildTree(true);
    const DWORD before = GetTickCount();
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(GetTickCount() - before, 0u) << "the touch returns at once";
    ASSERT_EQ(Pulses().size(), 1u);
    EXPECT_TRUE(Pulses()[0].on);
    window_->Pump(40);
    const auto pulses = Pulses();
    ASSERT_EQ(pulses.size(), 2u) << "a timer switches it off";
    EXPECT_FALSE(pulses[1].on);
    EXPECT_EQ(pulses[1].time - pulses[0].time, 25 * platform::kNsPerMs);
}

TEST_F(MainWindowTest, ATouchDuringAPulseIsTakenAtOnceAndTheVibrationLastsTo25MsAfterIt) {
    BuildTree(true);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessage(g_mainWindow, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    window_->Pump(10);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(button_->GetState(), 1) << "the second touch is not kept waiting";
    window_->Pump(60);
    const auto pulses = window_->Device().VibrationPulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].end - pulses[0].start, 35 * platform::kNsPerMs);
}

TEST_F(MainWindowTest, AVibrationRunningAtShutDownIsSwitchedOff) {
    BuildTree(true);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    ShutDown();
    const auto pulses = Pulses();
    ASSERT_EQ(pulses.size(), 2u);
    EXPECT_FALSE(pulses[1].on);
}

TEST_F(MainWindowTest, NoVibrationForEmptySpaceOrWithTheSwitchOff) {
    BuildTree(true);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
    EXPECT_TRUE(Pulses().empty()) << "no control took the touch";
    SendMessage(g_mainWindow, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
    g_vibrations->SetChecked(0);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(Pulses().empty()) << "the switch's running state counts at once";
}

TEST_F(MainWindowTest, TouchesWhileLoadingReachNoControl) {
    BuildTree(true);
    g_loading.store(1);
    SendMessage(g_mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(button_->GetState(), 0);
    EXPECT_TRUE(Pulses().empty());
    g_loading.store(0);
}

TEST_F(MainWindowTest, ACloseDuringLoadingWaitsForTheLoader) {
    g_loading.store(1);
    SendMessage(g_mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(g_mainWindow)) << "nothing is released under the loader's feet";
    g_loading.store(0);
    SendMessage(g_mainWindow, WM_LOADER_DONE, 0, 0);
    EXPECT_FALSE(IsWindow(g_mainWindow)) << "the close happens once loading is done";
    EXPECT_EQ(g_backBufferDC, nullptr);
    EXPECT_FALSE(window_->Pump(10)) << "and the loop ends";
}

TEST_F(MainWindowTest, TheBeatBarCountsWholeSecondsOfTheBeatsLength) {
    g_beatProgress = new Slider(nullptr, g_mainWindow, IDC_BEAT_PROGRESS);
    g_beatProgress->SetRange(0, 100, 1, 0);
    g_beatProgress->SetSnapToStep(0);
    g_beatLength = 8;
    const DWORD now = GetTickCount();
    for (DWORD elapsed : {999u, 1000u, 2999u, 3000u, 8000u, 9000u}) {
        g_beatStartTime = now - elapsed;
        BeatProgressTimerProc(g_mainWindow, WM_TIMER, IDT_BEAT_PROGRESS, now);
        const int expected = elapsed >= 9000u ? 100 : static_cast<int>(elapsed / 1000 * 100 / 8);
        EXPECT_EQ(g_beatProgress->GetPercent(), expected) << elapsed << " ms";
    }
    // A beat shorter than a second has no length to divide by: the bar stays where it is.
    g_beatLength = 0;
    g_beatProgress->SetPercent(0, 0);
    BeatProgressTimerProc(g_mainWindow, WM_TIMER, IDT_BEAT_PROGRESS, now);
    EXPECT_EQ(g_beatProgress->GetPercent(), 0);
}

}  // namespace

namespace {

// A headless device without a vibrator.
class NoVibrator : public platform::HeadlessDevice {
public:
    using HeadlessDevice::HeadlessDevice;
    bool Vibrate(bool) override { return false; }
};

}  // namespace

TEST(VibrationPulse, NeverHoldsTheUiThreadAndWithoutAWindowDoesNotStayOn) {
    platform::Clock& clock = platform::Clock::Instance();
    clock.SetVirtual(true, 0);
    platform::ClockParticipant participant;
    platform::DeviceOptions options;
    options.headless = true;

    platform::SetCurrentDevice(std::make_unique<NoVibrator>(options));
    DWORD before = GetTickCount();
    VibrationPulse(25);
    EXPECT_EQ(GetTickCount() - before, 0u) << "nothing to wait for";

    auto device = std::make_unique<platform::HeadlessDevice>(options);
    platform::HeadlessDevice* headless = device.get();
    platform::SetCurrentDevice(std::move(device));
    before = GetTickCount();
    VibrationPulse(25);
    EXPECT_EQ(GetTickCount() - before, 0u);
    // No window to time the pulse on: it is switched off at once rather than left on.
    ASSERT_EQ(headless->Vibrations().size(), 2u);
    EXPECT_TRUE(headless->Vibrations()[0].on);
    EXPECT_FALSE(headless->Vibrations()[1].on);
    platform::SetCurrentDevice(nullptr);
}
