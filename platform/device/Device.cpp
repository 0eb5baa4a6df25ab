#include "platform/device/Device.h"

#include <mutex>

namespace platform {
namespace {

std::mutex gDeviceMutex;
std::unique_ptr<Device>& DeviceSlot() {
    static auto* slot = new std::unique_ptr<Device>();  // never destroyed: threads may still ask
    return *slot;
}

}  // namespace

Device* CurrentDevice() {
    std::lock_guard<std::mutex> lock(gDeviceMutex);
    return DeviceSlot().get();
}

void SetCurrentDevice(std::unique_ptr<Device> device) {
    std::unique_ptr<Device> previous;
    {
        std::lock_guard<std::mutex> lock(gDeviceMutex);
        previous = std::move(DeviceSlot());
        DeviceSlot() = std::move(device);
    }
    // Destroyed outside the lock: its threads may still call CurrentDevice while they stop.
}

}  // namespace platform
