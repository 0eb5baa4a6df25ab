#include "platform/device/headless/HeadlessDevice.h"

#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace platform {

HeadlessDevice::HeadlessDevice(const DeviceOptions& options) : options_(options) {}

HeadlessDevice::~HeadlessDevice() {
    JoinScript();
}

void HeadlessDevice::SetScript(Script script) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = std::move(script);
    hasScript_ = true;
}

void HeadlessDevice::JoinScript() {
    if (scriptThread_.joinable()) {
        scriptThread_.join();
    }
}

bool HeadlessDevice::Open(DeviceSink* sink, std::string* error) {
    if (options_.screenWidth <= 0 || options_.screenHeight <= 0 || options_.dpiX <= 0 ||
        options_.dpiY <= 0) {
        if (error) {
            *error = "the screen size and dpi must be positive";
        }
        return false;
    }
    sink_ = sink;
    return true;
}

void HeadlessDevice::Close() {
    sink_ = nullptr;
}

void HeadlessDevice::WindowCreated(const wchar_t* title, HICON) {
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasWindow_ = true;
        minimized_ = false;
        title_ = title ? title : L"";
        if (hasScript_ && !scriptStarted_) {
            scriptStarted_ = true;
            start = true;
        }
    }
    if (start) {
        // Started from the UI thread while it runs, so the script's time 0 is the window's birth.
        scriptThread_ = Clock::StartThread([this] { RunScript(); });
    }
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
    frame_.width = std::max(width, 0);
    frame_.height = std::max(height, 0);
    frame_.pixels.resize(static_cast<size_t>(frame_.width) * frame_.height);
    for (int y = 0; y < frame_.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride);
        std::copy(row, row + frame_.width, frame_.pixels.begin() + static_cast<size_t>(y) * width);
    }
    ++frame_.serial;
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

void HeadlessDevice::Vibrate(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    vibrations_.push_back(VibrationChange{Clock::Instance().Now(), on});
}

void HeadlessDevice::Pen(UINT message, int x, int y) {
    Inject(message, x, y);
}

void HeadlessDevice::SetFocus(bool active) {
    if (DeviceSink* sink = sink_) {
        sink->FocusChanged(active);
    }
}

void HeadlessDevice::RequestClose() {
    if (DeviceSink* sink = sink_) {
        sink->CloseRequested();
    }
}

void HeadlessDevice::Inject(UINT message, int x, int y) {
    RECT rect;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!hasWindow_ || minimized_) {
            return;  // the finger touches whatever is there, not this program
        }
        rect = windowRect_;
    }
    // A finger outside the window still ends the stroke it began inside, as a captured pen does.
    const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
    if (!inside && message == WM_LBUTTONDOWN) {
        return;
    }
    if (DeviceSink* sink = sink_) {
        sink->PenInput(message, x - rect.left, y - rect.top);
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
    return vibrations_;
}

std::vector<std::string> HeadlessDevice::Shots() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shots_;
}

std::string HeadlessDevice::ScriptError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return scriptError_;
}

bool HeadlessDevice::WriteShot(const std::string& path) const {
    Frame frame = LastFrame();
    if (frame.serial == 0) {
        frame.width = options_.screenWidth;  // nothing shown yet: a dark screen
        frame.height = options_.screenHeight;
        frame.pixels.assign(static_cast<size_t>(frame.width) * frame.height, 0);
    }
    if (frame.width <= 0 || frame.height <= 0) {
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(frame.width) * 3);
    bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width),
                     static_cast<png_uint_32>(frame.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                uint32_t p = frame.At(x, y);
                row[x * 3] = static_cast<png_byte>(p >> 16);
                row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
                row[x * 3 + 2] = static_cast<png_byte>(p);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        ok = false;
    }
    return ok;
}

void HeadlessDevice::Launch() {
    std::vector<std::string> args;
    args.push_back("/proc/self/exe");
    args.insert(args.end(), options_.relaunchArguments.begin(), options_.relaunchArguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        scriptError_ = "launch: cannot start a second instance";
        return;
    }
    // Waited for without the clock: this thread stays running, so the device clock stands still
    // while the other instance looks for this one, and a run stays deterministic.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void HeadlessDevice::RunScript() {
    Clock& clock = Clock::Instance();
    TimeNs t = clock.Now();
    auto at = [&](TimeNs when) {
        t = when;
        clock.WaitIdle(t);
    };
    Script script;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        script = script_;
    }
    for (const ScriptCommand& cmd : script) {
        const int* a = cmd.args;
        switch (cmd.kind) {
            case ScriptCommand::Wait:
                at(t + static_cast<TimeNs>(a[0]) * kNsPerMs);
                break;
            case ScriptCommand::Down:
                at(t);
                Inject(WM_LBUTTONDOWN, a[0], a[1]);
                break;
            case ScriptCommand::Move:
                at(t);
                Inject(WM_MOUSEMOVE, a[0], a[1]);
                break;
            case ScriptCommand::Up:
                at(t);
                Inject(WM_LBUTTONUP, a[0], a[1]);
                break;
            case ScriptCommand::Tap:
                at(t);
                Inject(WM_LBUTTONDOWN, a[0], a[1]);
                at(t + 50 * kNsPerMs);
                Inject(WM_LBUTTONUP, a[0], a[1]);
                break;
            case ScriptCommand::Drag: {
                const TimeNs start = t;
                const int duration = a[4];
                at(start);
                Inject(WM_LBUTTONDOWN, a[0], a[1]);
                for (int ms = 10; ms < duration; ms += 10) {
                    at(start + static_cast<TimeNs>(ms) * kNsPerMs);
                    const int x =
                        a[0] + static_cast<int>(static_cast<int64_t>(a[2] - a[0]) * ms / duration);
                    const int y =
                        a[1] + static_cast<int>(static_cast<int64_t>(a[3] - a[1]) * ms / duration);
                    Inject(WM_MOUSEMOVE, x, y);
                }
                at(start + static_cast<TimeNs>(duration) * kNsPerMs);
                Inject(WM_MOUSEMOVE, a[2], a[3]);
                Inject(WM_LBUTTONUP, a[2], a[3]);
                break;
            }
            case ScriptCommand::Shot: {
                at(t);
                std::string path =
                    options_.shotsDir.empty() ? cmd.name : options_.shotsDir + "/" + cmd.name;
                bool ok = WriteShot(path);
                std::lock_guard<std::mutex> lock(mutex_);
                if (ok) {
                    shots_.push_back(path);
                } else if (scriptError_.empty()) {
                    scriptError_ = path + ": cannot write the shot";
                }
                break;
            }
            case ScriptCommand::Activate:
                at(t);
                SetFocus(true);
                break;
            case ScriptCommand::Deactivate:
                at(t);
                SetFocus(false);
                break;
            case ScriptCommand::Launch:
                at(t);
                Launch();
                break;
            case ScriptCommand::Close:
                at(t);
                RequestClose();
                break;
        }
    }
    at(t);
    RequestClose();
}

}  // namespace platform
