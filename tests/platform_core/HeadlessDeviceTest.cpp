#include "platform/device/headless/HeadlessDevice.h"

#include <gtest/gtest.h>

#include "support/TestWindow.h"

namespace {

TEST(HeadlessDevice, RecordsVibrationPulsesAtDeviceTimes) {
    TestWindow window;
    platform::Device* device = platform::CurrentDevice();
    ASSERT_EQ(device, &window.Device());
    Sleep(100);
    device->Vibrate(true);
    device->Vibrate(true);
    Sleep(25);
    device->Vibrate(false);
    Sleep(5);
    device->Vibrate(false);
    device->Vibrate(true);
    auto pulses = window.Device().VibrationPulses();
    ASSERT_EQ(pulses.size(), 2u);
    EXPECT_EQ(pulses[0].start, 100 * platform::kNsPerMs);
    EXPECT_EQ(pulses[0].end, 125 * platform::kNsPerMs);
    EXPECT_EQ(pulses[1].start, 130 * platform::kNsPerMs);
    EXPECT_EQ(pulses[1].end, platform::kNever);
    EXPECT_EQ(window.Device().Vibrations().size(), 5u);
}

TEST(HeadlessDevice, ReportsTheOrientationSetThroughDisplaySettings) {
    TestWindow window;
    DEVMODE mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_270;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr),
              DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(window.Device().Orientation(), DMDO_270);
}

TEST(HeadlessDevice, RefusesAScreenWithoutPixels) {
    platform::DeviceOptions options;
    options.screenWidth = 0;
    platform::HeadlessDevice device(options);
    std::string error;
    EXPECT_FALSE(device.Open(nullptr, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
