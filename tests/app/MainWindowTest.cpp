// The main window procedure on a headless device in virtual time: back buffer, painting,
// activation, the vibration after a taken touch, a close during loading, shut-down.
#include <gtest/gtest.h>

#include "app/App.h"
#include "app/AppWindow.h"
#include "app/Display.h"
#include "app/Vibration.h"
#include "audio/PadControl.h"
#include "graphics/Drawing.h"
#include "platform/user/User.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/Slider.h"

namespace {

using MainWindowTest = AppWindowTest;

// A cell of the pad (silent: no sounds are loaded), the about button, and the title where nothing
// takes a touch.
const POINT kCell = {30, 80};
const POINT kAbout = {13, 13};
const POINT kTitle = {120, 20};
// The "Touch vibrations" switch on the settings page.
const POINT kVibrationsSwitch = {170, 250};

TEST(ResolutionClass, PicksTheSetByScreenSize) {
    struct Case {
        int width, height, resolutionClass;
    };
    const Case cases[] = {{240, 320, 1}, {320, 240, 1}, {240, 240, 2}, {400, 240, 3},
                          {480, 640, 4}, {480, 480, 5}, {800, 480, 6}, {320, 320, 0},
                          {480, 854, 0}, {200, 320, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(GetResolutionClass(c.width, c.height), c.resolutionClass)
            << c.width << "x" << c.height;
    }
}

TEST_F(MainWindowTest, TheBackBufferIsAsLargeAsTheScreenWhateverTheWindowSize) {
    MoveWindow(Handle(), 0, 0, 100, 80, TRUE);
    SendMessage(Handle(), WM_SIZE, 0, MAKELPARAM(100, 80));
    BITMAP bm{};
    ASSERT_NE(GetObject(main_->GetBackBuffer().GetBitmap(), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 240);
    EXPECT_EQ(bm.bmHeight, 320);
}

TEST_F(MainWindowTest, PaintingWithoutAnInterfaceShowsBlack) {
    FillSolidRect(main_->GetBackBuffer().GetDC(), 0, 0, 240, 320, RGB(255, 255, 255));
    InvalidateRect(Handle(), nullptr, TRUE);
    window_->Pump(10);
    const auto frame = window_->Presented();
    ASSERT_EQ(frame.width, 240);
    EXPECT_EQ(frame.At(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(frame.At(239, 319) & 0xFFFFFF, 0u);
}

TEST_F(MainWindowTest, ActivationTakesTheScreenAndDeactivationGivesItBack) {
    platform::user::SetDisplayOrientation(DMDO_90);
    SendMessage(Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_0);
    EXPECT_EQ(Display::GetOrientation(), DMDO_0);
    EXPECT_TRUE(platform::user::ShellFullScreenState() & SHFS_HIDETASKBAR);
    RECT r{};
    GetWindowRect(Handle(), &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 320);

    SendMessage(Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_90) << "the orientation found is restored";
    EXPECT_TRUE(platform::user::ShellFullScreenState() & SHFS_SHOWTASKBAR);
    GetWindowRect(Handle(), &r);
    EXPECT_EQ(r.top, 26) << "the window moves onto the work area, below the task bar";

    SendMessage(Handle(), WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_0);
    EXPECT_FALSE(Display::SetOrientation(DMDO_0)) << "already so";
}

TEST_F(MainWindowTest, ATakenTouchVibratesFor25MillisecondsWithoutHoldingTheUiThread) {
    Load();
    const DWORD before = GetTickCount();
    SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCell.x, kCell.y));
    EXPECT_EQ(GetTickCount() - before, 0u) << "the touch returns at once";
    const auto& device = window_->Device();
    ASSERT_EQ(device.Vibrations().size(), 1u);
    EXPECT_TRUE(device.Vibrations()[0].on);
    window_->Pump(40);
    const auto pulses = device.Vibrations();
    ASSERT_EQ(pulses.size(), 2u) << "a timer switches it off";
    EXPECT_FALSE(pulses[1].on);
    EXPECT_EQ(pulses[1].time - pulses[0].time, 25 * platform::kNsPerMs);
}

TEST_F(MainWindowTest, ATouchDuringAPulseIsTakenAtOnceAndTheVibrationLastsTo25MsAfterIt) {
    Load();
    Tap(kCell.x, kCell.y);
    window_->Pump(10);
    SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCell.x, kCell.y));
    EXPECT_EQ(Find(IDC_PAD)->GetState(), 1) << "the second touch is not kept waiting";
    window_->Pump(60);
    const auto pulses = window_->Device().VibrationPulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].end - pulses[0].start, 35 * platform::kNsPerMs);
}

TEST_F(MainWindowTest, AVibrationRunningAtShutDownIsSwitchedOff) {
    Load();
    SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCell.x, kCell.y));
    DestroyWindow(Handle());
    const auto pulses = window_->Device().Vibrations();
    ASSERT_EQ(pulses.size(), 2u);
    EXPECT_FALSE(pulses[1].on);
    EXPECT_EQ(g_ui->GetHost(), nullptr) << "the host went with the window";
    EXPECT_EQ(g_ui->GetBeat(), nullptr);
    EXPECT_EQ(main_->GetBackBuffer().GetDC(), nullptr);
}

TEST_F(MainWindowTest, NoVibrationForEmptySpaceOrWithTheSwitchOff) {
    Load();
    Tap(kTitle.x, kTitle.y);
    EXPECT_TRUE(window_->Device().Vibrations().empty()) << "no control took the touch";
    g_ui->ShowPage(IDC_SCREEN_SETTINGS);
    Tap(kVibrationsSwitch.x, kVibrationsSwitch.y);
    EXPECT_EQ(Find<CheckBox>(IDC_VIBRATIONS)->IsChecked(), 0);
    EXPECT_TRUE(window_->Device().Vibrations().empty()) << "the switch's state counts at once";
    g_ui->ShowPage(IDC_SCREEN_MAIN);
    Tap(kCell.x, kCell.y);
    EXPECT_TRUE(window_->Device().Vibrations().empty());
}

// The mouse moving with no button down (a hover) on every control of a page, before and after a
// tap: no cell plays, no switch flips, no slider moves, nothing stays pressed.
TEST_F(MainWindowTest, AHoverTouchesNothing) {
    Load();
    PadControl* pad = Find<PadControl>(IDC_PAD);
    auto hoverOver = [&](int id) {
        RECT r;
        Find(id)->GetRect(&r);
        for (int y = r.top; y < r.bottom; y += 7) {
            for (int x = r.left; x < r.right; x += 7) {
                SendMessage(Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            }
        }
        window_->Pump(10);
    };
    auto nothingPressed = [&] {
        for (int cell = 0; cell < 16; ++cell) {
            if (pad->IsCellPressed(cell)) {
                return false;
            }
        }
        return pad->GetPressedCell() == -1 && pad->GetState() == 0;
    };
    hoverOver(IDC_PAD);
    EXPECT_TRUE(nothingPressed());
    SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCell.x, kCell.y));
    EXPECT_FALSE(nothingPressed()) << "a press does press";
    SendMessage(Handle(), WM_LBUTTONUP, 0, MAKELPARAM(kCell.x, kCell.y));
    hoverOver(IDC_PAD);
    EXPECT_TRUE(nothingPressed()) << "after the release";
    EXPECT_EQ(ShownPage(), IDC_SCREEN_MAIN);

    g_ui->ShowPage(IDC_SCREEN_SETTINGS);
    for (int id : {IDC_VOLUME_BEAT, IDC_VOLUME_SOUNDS, IDC_VIBRATIONS}) {
        Control* control = Find(id);
        const int state = control->GetState();
        const int percent = id == IDC_VIBRATIONS ? 0 : Find<Slider>(id)->GetPercent();
        hoverOver(id);
        EXPECT_EQ(control->GetState(), state) << id;
        if (id != IDC_VIBRATIONS) {
            EXPECT_EQ(Find<Slider>(id)->GetPercent(), percent) << id;
        }
    }
    EXPECT_EQ(ShownPage(), IDC_SCREEN_SETTINGS);
}

TEST_F(MainWindowTest, TouchesKeysAndCommandsWhileLoadingReachNothing) {
    Load();
    g_loading.store(1);
    Tap(kAbout.x, kAbout.y);
    Key(WM_KEYDOWN, VK_TAB, 0x0F);
    SendMessage(Handle(), WM_COMMAND, MAKEWPARAM(IDC_SETTINGS, Clicked), 0);
    window_->Pump(20);
    g_loading.store(0);
    EXPECT_EQ(Find(IDC_ABOUT)->GetState(), 0);
    EXPECT_EQ(Find<CheckBox>(IDC_VOICE)->IsChecked(), 0);
    EXPECT_EQ(ShownPage(), IDC_SCREEN_MAIN);
    EXPECT_TRUE(window_->Device().Vibrations().empty());
}

TEST_F(MainWindowTest, ACloseDuringLoadingWaitsForTheLoader) {
    g_loading.store(1);
    SendMessage(Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(Handle())) << "nothing is released under the loader's feet";
    g_loading.store(0);
    SendMessage(Handle(), WM_LOADER_DONE, 0, 0);
    EXPECT_FALSE(IsWindow(Handle())) << "the close happens once loading is done";
    EXPECT_EQ(main_->GetBackBuffer().GetDC(), nullptr);
    EXPECT_FALSE(window_->Pump(10)) << "and the loop ends";
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
    Vibration vibration;

    platform::SetCurrentDevice(std::make_unique<NoVibrator>(options));
    DWORD before = GetTickCount();
    vibration.Pulse(25);
    EXPECT_EQ(GetTickCount() - before, 0u) << "nothing to wait for";

    auto device = std::make_unique<platform::HeadlessDevice>(options);
    platform::HeadlessDevice* headless = device.get();
    platform::SetCurrentDevice(std::move(device));
    before = GetTickCount();
    vibration.Pulse(25);
    EXPECT_EQ(GetTickCount() - before, 0u);
    // No window to time the pulse on: it is switched off at once rather than left on.
    ASSERT_EQ(headless->Vibrations().size(), 2u);
    EXPECT_TRUE(headless->Vibrations()[0].on);
    EXPECT_FALSE(headless->Vibrations()[1].on);
    platform::SetCurrentDevice(nullptr);
}
