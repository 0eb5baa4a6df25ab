#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/TestWindow.h"

TEST(SHFullScreen, HidesAndShowsTheTaskBarAndTellsTheDevice) {
    TestWindow window(480, 640, 192, 26);
    RECT area;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 26);

    ASSERT_TRUE(SHFullScreen(window.Handle(), SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    EXPECT_EQ(window.Device().FullScreenState(),
              static_cast<DWORD>(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_SHOWSTARTICON));
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.bottom, 640);

    ASSERT_TRUE(SHFullScreen(window.Handle(), SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON));
    EXPECT_EQ(window.Device().FullScreenState(),
              static_cast<DWORD>(SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 26);
}

TEST(SHFullScreen, RefusesBadWindowsAndUnknownFlags) {
    TestWindow window;
    EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    EXPECT_FALSE(SHFullScreen(reinterpret_cast<HWND>(&window), SHFS_HIDETASKBAR));
    EXPECT_FALSE(SHFullScreen(window.Handle(), 0x40));
    EXPECT_EQ(window.Device().FullScreenState(),
              static_cast<DWORD>(SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));
}

TEST(NLedSetDevice, LedOneDrivesTheVibrator) {
    TestWindow window;
    NLED_SETTINGS_INFO info{};
    info.LedNum = 1;
    info.OffOnBlink = 1;
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
    window.Pump(25);
    info.OffOnBlink = 0;
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
    const auto pulses = window.Device().Vibrations();
    ASSERT_EQ(pulses.size(), 2u);
    EXPECT_TRUE(pulses[0].on);
    EXPECT_FALSE(pulses[1].on);
    EXPECT_EQ(pulses[1].time - pulses[0].time, 25 * 1000000LL);

    info.LedNum = 0;
    info.OffOnBlink = 1;
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
    info.LedNum = 1;
    EXPECT_FALSE(NLedSetDevice(NLED_COUNT_INFO_ID, &info));
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, nullptr));
    info.OffOnBlink = 7;
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
    EXPECT_EQ(window.Device().Vibrations().size(), 2u);
}

TEST(NLedSetDevice, FailsWithoutADevice) {
    NLED_SETTINGS_INFO info{};
    info.LedNum = 1;
    info.OffOnBlink = 1;
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
}
