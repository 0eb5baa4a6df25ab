// Program-level test support: a headless device in virtual time with one real top-level window
// whose window procedure records every message it gets, and a message loop pumped for a given
// span of device time.
//
//   TestWindow window(480, 640, 192);
//   PostMessage(window.Handle(), WM_COMMAND, MAKEWPARAM(16, 4), 0);
//   window.Pump(100);
//   EXPECT_EQ(window.Count(WM_COMMAND), 1);
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "platform/device/headless/HeadlessDevice.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/kernel/Clock.h"
#include "platform/user/User.h"
#include "platform/win32.h"

class TestWindow {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD time;  // GetTickCount() when the procedure got it
    };
    // Handles a message before it is recorded and given to DefWindowProc; return true to claim it
    // (its result in *result).
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;

    explicit TestWindow(int width = 480, int height = 640, int dpi = 192, int taskBar = 0,
                        DWORD style = WS_VISIBLE)
        : TestWindow(Options(width, height, dpi, taskBar), style) {}

    TestWindow(const platform::DeviceOptions& options, DWORD style) {
        platform::Clock& clock = platform::Clock::Instance();
        clock.SetVirtual(true, 0);
        clock.RegisterCurrentThread();
        platform::user::ResetShellFullScreen();
        platform::user::SetDisplayOrientation(DMDO_0);
        SipShowIM(SIPF_OFF);
        auto device = std::make_unique<platform::HeadlessDevice>(options);
        device_ = device.get();
        device_->Open(platform::user::UserDeviceSink(), nullptr);
        platform::SetCurrentDevice(std::move(device));

        WNDCLASS wc{};
        wc.lpfnWndProc = &TestWindow::Proc;
        wc.lpszClassName = kClassName;
        RegisterClass(&wc);  // stays registered for the next test window
        Current() = this;
        hwnd_ = CreateWindowEx(0, kClassName, L"Test", style, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    }

    ~TestWindow() {
        if (IsWindow(hwnd_)) {
            DestroyWindow(hwnd_);
        }
        // Drop a WM_QUIT or anything else left for the next test.
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        Current() = nullptr;
        platform::SetCurrentDevice(nullptr);
        platform::Clock::Instance().UnregisterCurrentThread();
    }

    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    platform::HeadlessDevice& Device() const { return *device_; }
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    // Runs the message loop for `ms` milliseconds of device time. False once WM_QUIT came.
    bool Pump(DWORD ms) {
        platform::Clock& clock = platform::Clock::Instance();
        return platform::user::PumpMessagesUntil(clock.Now() + ms * platform::kNsPerMs, &exitCode_);
    }
    int ExitCode() const { return exitCode_; }

    const std::vector<Message>& Messages() const { return messages_; }
    std::vector<Message> Messages(UINT message) const {
        std::vector<Message> out;
        std::copy_if(messages_.begin(), messages_.end(), std::back_inserter(out),
                     [message](const Message& m) { return m.message == message; });
        return out;
    }
    int Count(UINT message) const { return static_cast<int>(Messages(message).size()); }
    void ClearMessages() { messages_.clear(); }

    // The last picture the device was given (0x00RRGGBB of the BGRX pixel), and its pixel.
    platform::HeadlessDevice::Frame Presented() const { return device_->LastFrame(); }
    uint32_t PresentedPixel(int x, int y) const { return device_->LastFrame().At(x, y); }

    static COLORREF PixelOf(HDC dc, int x, int y) { return GetPixel(dc, x, y); }

private:
    static constexpr const wchar_t* kClassName = L"PulsorTestWindow";

    static platform::DeviceOptions Options(int width, int height, int dpi, int taskBar) {
        platform::DeviceOptions options;
        options.screenWidth = width;
        options.screenHeight = height;
        options.dpiX = options.dpiY = dpi;
        options.headless = true;
        options.taskBarHeight = taskBar;
        return options;
    }

    static TestWindow*& Current() {
        static TestWindow* current = nullptr;
        return current;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        TestWindow* self = Current();
        if (!self) {
            return DefWindowProc(hwnd, message, wParam, lParam);
        }
        self->messages_.push_back(Message{message, wParam, lParam, GetTickCount()});
        LRESULT result = 0;
        if (self->handler_ && self->handler_(hwnd, message, wParam, lParam, &result)) {
            return result;
        }
        return DefWindowProc(hwnd, message, wParam, lParam);
    }

    platform::HeadlessDevice* device_ = nullptr;
    HWND hwnd_ = nullptr;
    Handler handler_;
    std::vector<Message> messages_;
    int exitCode_ = 0;
};
