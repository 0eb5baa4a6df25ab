// The desktop and handheld device: a real SDL2 window showing the emulated screen, driven by the
// mouse and by touch, on the wall clock.
#pragma once

#include <memory>

#include "platform/device/Device.h"
#include "platform/device/DeviceOptions.h"

namespace platform {

// The window opens in Device::Open, which fails with a reason when there is no display.
std::unique_ptr<Device> CreateSdlDevice(const DeviceOptions& options);

}  // namespace platform
