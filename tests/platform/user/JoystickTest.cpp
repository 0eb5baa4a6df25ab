// Joystick 1's capture: which window the device's joystick buttons are posted to.
#include <gtest/gtest.h>

#include "platform/device/Device.h"
#include "platform/user/User.h"
#include "support/TestWindow.h"

namespace {

// A button as the device reports it; what reaches `window` after a pump.
std::vector<TestWindow::Message> Press(TestWindow& window) {
    window.ClearMessages();
    platform::user::UserDeviceSink()->JoystickInput(MM_JOY1BUTTONDOWN, JOY_BUTTON1CHG | JOY_BUTTON1,
                                                    10, 0xFFFF);
    window.Pump(1);
    return window.Messages(MM_JOY1BUTTONDOWN);
}

HWND OtherWindow() {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = L"PulsorJoystickOther";
    RegisterClass(&wc);
    return CreateWindowEx(0, L"PulsorJoystickOther", L"Other", 0, 0, 0, 10, 10, nullptr, nullptr,
                          nullptr, nullptr);
}

TEST(Joystick, ButtonsArePostedToTheWindowHoldingTheCaptureAndNowhereElse) {
    TestWindow window;
    EXPECT_EQ(joyGetNumDevs(), 1u);
    EXPECT_TRUE(Press(window).empty()) << "nobody captured it";

    ASSERT_EQ(joySetCapture(window.Handle(), JOYSTICKID1, 10, TRUE), JOYERR_NOERROR);
    const auto seen = Press(window);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(JOY_BUTTON1CHG | JOY_BUTTON1));
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(10, 0xFFFF));

    EXPECT_EQ(joyReleaseCapture(JOYSTICKID1), JOYERR_NOERROR);
    EXPECT_TRUE(Press(window).empty()) << "released";
    EXPECT_EQ(joyReleaseCapture(JOYSTICKID1), JOYERR_NOERROR) << "released twice";
}

TEST(Joystick, OneWindowHoldsTheCaptureUntilItReleasesItOrGoes) {
    TestWindow window;
    HWND other = OtherWindow();
    ASSERT_NE(other, nullptr);
    const struct {
        const char* what;
        HWND window;
        UINT joystick;
        MMRESULT result;
    } steps[] = {
        {"no window", nullptr, JOYSTICKID1, JOYERR_PARMS},
        {"the second joystick", window.Handle(), JOYSTICKID2, JOYERR_PARMS},
        {"taken", window.Handle(), JOYSTICKID1, JOYERR_NOERROR},
        {"taken again by the same window", window.Handle(), JOYSTICKID1, JOYERR_NOERROR},
        {"held by another window", other, JOYSTICKID1, JOYERR_NOCANDO},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(joySetCapture(step.window, step.joystick, 0, FALSE), step.result) << step.what;
    }
    EXPECT_EQ(joyReleaseCapture(JOYSTICKID2), JOYERR_PARMS);

    // A destroyed window lets go of it; its handle no longer takes it.
    ASSERT_EQ(joyReleaseCapture(JOYSTICKID1), JOYERR_NOERROR);
    ASSERT_EQ(joySetCapture(other, JOYSTICKID1, 0, FALSE), JOYERR_NOERROR);
    DestroyWindow(other);
    EXPECT_EQ(joySetCapture(other, JOYSTICKID1, 0, FALSE), JOYERR_PARMS);
    EXPECT_EQ(joySetCapture(window.Handle(), JOYSTICKID1, 0, FALSE), JOYERR_NOERROR);
    EXPECT_EQ(Press(window).size(), 1u);
    joyReleaseCapture(JOYSTICKID1);
}

}  // namespace
