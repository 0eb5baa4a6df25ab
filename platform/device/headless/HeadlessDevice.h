// An in-memory device: a screen of a chosen size, dpi and task bar, and everything the program
// shows or does to the device kept for inspection. A script (ScriptedDevice) or a test moves
// its finger. With the clock in virtual time a run is deterministic and costs no real time.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/InputRouter.h"
#include "platform/device/ScriptedDevice.h"

namespace platform {

class HeadlessDevice : public Device {
public:
    using Frame = PresentedFrame;
    struct VibrationChange {
        TimeNs time;  // device time
        bool on;
    };
    struct VibrationPulse {
        TimeNs start;
        TimeNs end;  // kNever while still on
    };

    explicit HeadlessDevice(const DeviceOptions& options);

    bool Open(DeviceSink* sink, std::string* error) override;
    void Close() override;
    int ScreenWidth() const override { return options_.screenWidth; }
    int ScreenHeight() const override { return options_.screenHeight; }
    int DpiX() const override { return options_.dpiX; }
    int DpiY() const override { return options_.dpiY; }
    int TaskBarHeight() const override { return options_.taskBarHeight; }
    void WindowCreated(const wchar_t* title, HICON icon) override;
    void WindowShown(int showCommand) override;
    void WindowMoved(int x, int y, int width, int height) override;
    void WindowDestroyed() override;
    void Raise() override;
    void Present(const uint32_t* pixels, int width, int height, int stride) override;
    void WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) override;
    void Wake() override;
    void FullScreenChanged(DWORD shfsState) override;
    bool Vibrate(bool on) override;

    // The pointer (WM_LBUTTONDOWN, WM_MOUSEMOVE or WM_LBUTTONUP at a point in client
    // coordinates of the window) and the focus, as a test moves them. One thread.
    void Pen(UINT message, int x, int y);
    void SetFocus(bool active);
    void RequestClose();

    // What happened.
    Frame LastFrame() const;
    uint64_t PresentCount() const;
    bool HasWindow() const;
    bool Minimized() const;
    std::wstring WindowTitle() const;
    RECT WindowRect() const;
    int RaiseCount() const;
    // SHFS_* flags as last applied by the shell; the display orientation is
    // platform::user::DisplayOrientation().
    DWORD FullScreenState() const;
    // The latest kMaxVibrations changes, oldest first: a long run keeps a bounded log.
    static constexpr size_t kMaxVibrations = 4096;
    std::vector<VibrationChange> Vibrations() const;
    // The changes paired into pulses (an "on" while on, or an "off" while off, changes nothing).
    std::vector<VibrationPulse> VibrationPulses() const;
    int Orientation() const;  // DMDO_* as last set through ChangeDisplaySettingsEx

private:
    const DeviceOptions options_;
    std::atomic<DeviceSink*> sink_{nullptr};
    std::atomic<bool> woken_{false};
    InputRouter input_;

    mutable std::mutex mutex_;
    Frame frame_;
    bool hasWindow_ = false;
    bool minimized_ = false;
    std::wstring title_;
    RECT windowRect_{};
    int raiseCount_ = 0;
    DWORD fullScreenState_ = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;
    std::deque<VibrationChange> vibrations_;
};

}  // namespace platform
