// Runs a finger script on any device: wraps the device, passes everything through, and from a
// script thread (a participant of the device clock) injects the script's input at its device
// times. Each step waits until the program has settled at that time, so a run in virtual time
// is the same every time. When the script ends, the window is asked to close.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/InputRouter.h"
#include "platform/device/Script.h"

namespace platform {

// The pixels last presented (BGRX, rows of `width`).
struct PresentedFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint64_t serial = 0;  // 0: nothing presented yet
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Keeps a copy of presented pixels (rows `stride` bytes apart) in *frame, counting it.
void StoreFrame(PresentedFrame* frame, const uint32_t* pixels, int width, int height, int stride);

// Writes a frame as an RGB PNG, whole or not at all; false with the reason when it cannot.
bool WriteFramePng(const PresentedFrame& frame, const std::string& path, std::string* reason);

class ScriptedDevice : public Device {
public:
    // Shots go to options.shotsDir; `launch` starts this executable with
    // options.relaunchArguments.
    ScriptedDevice(std::unique_ptr<Device> inner, Script script, const DeviceOptions& options);
    ~ScriptedDevice() override;

    Device& Inner() const { return *inner_; }
    // Waits for the script thread to end (it ends early once the window is gone).
    void Join();
    // Every failure of a step (each shot not written, a launch that failed), in order.
    std::vector<std::string> Errors() const;
    // Exit status of the last instance started by `launch` (-1: none yet or not normal exit).
    int LastLaunchStatus() const;

    bool Open(DeviceSink* sink, std::string* error) override;
    void Close() override;
    int ScreenWidth() const override { return inner_->ScreenWidth(); }
    int ScreenHeight() const override { return inner_->ScreenHeight(); }
    int DpiX() const override { return inner_->DpiX(); }
    int DpiY() const override { return inner_->DpiY(); }
    int TaskBarHeight() const override { return inner_->TaskBarHeight(); }
    void WindowCreated(const wchar_t* title, HICON icon) override;
    void WindowShown(int showCommand) override;
    void WindowMoved(int x, int y, int width, int height) override;
    void WindowDestroyed() override;
    void Raise() override;
    void Present(const uint32_t* pixels, int width, int height, int stride) override;
    void WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) override {
        inner_->WaitForEvents(deadline, ready);
    }
    void Wake() override { inner_->Wake(); }
    void FullScreenChanged(DWORD shfsState) override { inner_->FullScreenChanged(shfsState); }
    bool Vibrate(bool on) override { return inner_->Vibrate(on); }
    void TextInputChanged(bool on) override { inner_->TextInputChanged(on); }

private:
    void Run();
    // A screen point on the window (InputRouter::Locate).
    bool Locate(int x, int y, bool captured, POINT* client);
    void Key(const ScriptCommand& cmd);
    void Finger(const ScriptCommand& cmd);
    void Launch();
    void Fail(const std::string& error);

    std::unique_ptr<Device> inner_;
    const Script script_;
    const DeviceOptions options_;
    std::atomic<DeviceSink*> sink_{nullptr};
    std::atomic<bool> stop_{false};  // the window is gone: the rest of the script is moot

    // The script thread's own: what its keys, pointer and fingers hold.
    InputRouter input_;

    mutable std::mutex mutex_;
    PresentedFrame frame_;
    bool hasWindow_ = false;
    bool minimized_ = false;
    RECT windowRect_{};
    std::vector<std::string> errors_;
    int launchStatus_ = -1;
    bool started_ = false;
    std::thread thread_;
};

}  // namespace platform
