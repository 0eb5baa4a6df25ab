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

// A long run's pulses do not grow the log without end: the latest ones are kept.
TEST(HeadlessDevice, KeepsABoundedLogOfTheLatestVibrations) {
    TestWindow window;
    platform::Device* device = platform::CurrentDevice();
    const size_t limit = platform::HeadlessDevice::kMaxVibrations;
    for (size_t i = 0; i < limit + 11; ++i) {
        device->Vibrate(i % 2 == 0);
        Sleep(1);
    }
    const auto changes = window.Device().Vibrations();
    ASSERT_EQ(changes.size(), limit);
    EXPECT_EQ(changes.back().time, static_cast<platform::TimeNs>(limit + 10) * platform::kNsPerMs);
    EXPECT_EQ(changes.front().time, 11 * platform::kNsPerMs);
    EXPECT_EQ(window.Device().VibrationPulses().size(), limit / 2);
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
