#include "platform/device/headless/HeadlessDevice.h"

#include <algorithm>

#include "platform/user/User.h"

namespace platform {

HeadlessDevice::HeadlessDevice(const DeviceOptions& options)
    : options_(options), input_([](int x, int y, bool, POINT* client) {
          *client = POINT{x, y};  // a test points at the window itself
          return true;
      }) {}

bool HeadlessDevice::Open(DeviceSink* sink, std::string* error) {
    if (options_.screenWidth <= 0 || options_.screenHeight <= 0 || options_.dpiX <= 0 ||
        options_.dpiY <= 0) {
        if (error) {
            *error = "the screen size and dpi must be positive";
        }
        return false;
    }
    sink_ = sink;
    input_.Attach(sink);
    return true;
}

void HeadlessDevice::Close() {
    sink_ = nullptr;
    input_.Attach(nullptr);
}

void HeadlessDevice::WindowCreated(const wchar_t* title, HICON) {
    std::lock_guard<std::mutex> lock(mutex_);
    hasWindow_ = true;
    minimized_ = false;
    title_ = title ? title : L"";
}

void HeadlessDevice::WindowShown(int showCommand) {
    std::lock_guard<std::mutex> lock(mutex_);
    minimized_ = showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED;
}

void HeadlessDevice::WindowMoved(int x, int y, int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    windowRect_ = RECT{x, y, x + width, y + height};
}

void HeadlessDevice::WindowDestroyed() {
    std::lock_guard<std::mutex> lock(mutex_);
    hasWindow_ = false;
}

void HeadlessDevice::Raise() {
    std::lock_guard<std::mutex> lock(mutex_);
    minimized_ = false;
    ++raiseCount_;
}

void HeadlessDevice::Present(const uint32_t* pixels, int width, int height, int stride) {
    std::lock_guard<std::mutex> lock(mutex_);
    StoreFrame(&frame_, pixels, width, height, stride);
}

void HeadlessDevice::WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) {
    Clock::Instance().WaitUntil(deadline, [this, &ready] { return woken_.load() || ready(); });
    woken_ = false;
}

void HeadlessDevice::Wake() {
    woken_ = true;
    Clock::Instance().Notify();
}

void HeadlessDevice::FullScreenChanged(DWORD shfsState) {
    std::lock_guard<std::mutex> lock(mutex_);
    fullScreenState_ = shfsState;
}

bool HeadlessDevice::Vibrate(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (vibrations_.size() == kMaxVibrations) {
        vibrations_.pop_front();
    }
    vibrations_.push_back(VibrationChange{Clock::Instance().Now(), on});
    return true;
}

void HeadlessDevice::Pen(UINT message, int x, int y) {
    if (message == WM_LBUTTONDOWN) {
        input_.PointerDown(x, y);
    } else if (message == WM_MOUSEMOVE) {
        input_.PointerMove(x, y);
    } else if (message == WM_LBUTTONUP) {
        input_.PointerUp(x, y);
    }
}

void HeadlessDevice::SetFocus(bool active) {
    input_.FocusChanged(active);
}

void HeadlessDevice::RequestClose() {
    if (DeviceSink* sink = sink_) {
        sink->CloseRequested();
    }
}

HeadlessDevice::Frame HeadlessDevice::LastFrame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frame_;
}

uint64_t HeadlessDevice::PresentCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frame_.serial;
}

bool HeadlessDevice::HasWindow() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hasWindow_;
}

bool HeadlessDevice::Minimized() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return minimized_;
}

std::wstring HeadlessDevice::WindowTitle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return title_;
}

RECT HeadlessDevice::WindowRect() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return windowRect_;
}

int HeadlessDevice::RaiseCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return raiseCount_;
}

DWORD HeadlessDevice::FullScreenState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fullScreenState_;
}

std::vector<HeadlessDevice::VibrationChange> HeadlessDevice::Vibrations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<VibrationChange>(vibrations_.begin(), vibrations_.end());
}

std::vector<HeadlessDevice::VibrationPulse> HeadlessDevice::VibrationPulses() const {
    std::vector<VibrationPulse> pulses;
    bool on = false;
    for (const VibrationChange& change : Vibrations()) {
        if (change.on && !on) {
            pulses.push_back(VibrationPulse{change.time, kNever});
        } else if (!change.on && on) {
            pulses.back().end = change.time;
        }
        on = change.on;
    }
    return pulses;
}

int HeadlessDevice::Orientation() const {
    return user::DisplayOrientation();
}

}  // namespace platform
