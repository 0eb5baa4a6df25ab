// An in-memory device: a screen of a chosen size and dpi, a finger driven by a script (or by a
// test), and everything the program shows or does to the device kept for inspection. With the
// clock in virtual time a run is deterministic and costs no real time waiting.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/headless/Script.h"

namespace platform {

class HeadlessDevice : public Device {
public:
    struct Frame {
        int width = 0;
        int height = 0;
        std::vector<uint32_t> pixels;  // BGRX, rows of `width`
        uint64_t serial = 0;           // 0: nothing presented yet
        uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    };
    struct VibrationChange {
        TimeNs time;
        bool on;
    };

    explicit HeadlessDevice(const DeviceOptions& options);
    ~HeadlessDevice() override;

    // Runs `script` once the window exists; when it ends the window is asked to close. Shots
    // go to options.shotsDir; `launch` starts options.relaunchArguments.
    void SetScript(Script script);
    // Waits for the script thread (after the window is gone).
    void JoinScript();

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
    void Vibrate(bool on) override;

    // The finger and the focus, as a script would move them (screen coordinates).
    void Pen(UINT message, int x, int y);
    void SetFocus(bool active);
    void RequestClose();

    // What happened, for tests.
    Frame LastFrame() const;
    uint64_t PresentCount() const;
    bool HasWindow() const;
    bool Minimized() const;
    std::wstring WindowTitle() const;
    RECT WindowRect() const;
    int RaiseCount() const;
    DWORD FullScreenState() const;
    std::vector<VibrationChange> Vibrations() const;
    // Shots written so far (paths), and a failure to write one (empty when none).
    std::vector<std::string> Shots() const;
    std::string ScriptError() const;

    // Writes the last presented frame as a PNG; false when it cannot.
    bool WriteShot(const std::string& path) const;

private:
    void RunScript();
    void Inject(UINT message, int x, int y);
    void Launch();

    const DeviceOptions options_;
    std::atomic<DeviceSink*> sink_{nullptr};
    std::atomic<bool> woken_{false};

    mutable std::mutex mutex_;
    Frame frame_;
    bool hasWindow_ = false;
    bool minimized_ = false;
    std::wstring title_;
    RECT windowRect_{};
    int raiseCount_ = 0;
    DWORD fullScreenState_ = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;
    std::vector<VibrationChange> vibrations_;
    std::vector<std::string> shots_;
    std::string scriptError_;

    Script script_;
    bool hasScript_ = false;
    bool scriptStarted_ = false;
    std::thread scriptThread_;
};

}  // namespace platform
