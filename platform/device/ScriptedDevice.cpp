#include "platform/device/ScriptedDevice.h"

#include "platform/midi/Midi.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/device/Keys.h"
#include "platform/kernel/Files.h"
#include "platform/shell/PngEncoder.h"

extern char** environ;

namespace platform {

void StoreFrame(PresentedFrame* frame, const uint32_t* pixels, int width, int height, int stride) {
    frame->width = std::max(width, 0);
    frame->height = std::max(height, 0);
    frame->pixels.resize(static_cast<size_t>(frame->width) * frame->height);
    for (int y = 0; y < frame->height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride);
        std::copy(row, row + frame->width,
                  frame->pixels.begin() + static_cast<size_t>(y) * frame->width);
    }
    ++frame->serial;
}

bool WriteFramePng(const PresentedFrame& frame, const std::string& path, std::string* reason) {
    if (frame.width <= 0 || frame.height <= 0) {
        *reason = "nothing to write";
        return false;
    }
    // Made in memory first, so that the file is written whole or not at all.
    std::vector<uint8_t> encoded;
    if (!shell::EncodeRgbPng(frame.pixels.data(), frame.width, frame.height,
                             static_cast<size_t>(frame.width) * sizeof(uint32_t), &encoded)) {
        *reason = "cannot encode the picture";
        return false;
    }
    return WriteWholeFile(path, encoded.data(), encoded.size(), reason);
}

ScriptedDevice::ScriptedDevice(std::unique_ptr<Device> inner, Script script,
                               const DeviceOptions& options)
    : inner_(std::move(inner)),
      script_(std::move(script)),
      options_(options),
      input_([this](int x, int y, bool captured, POINT* client) {
          return Locate(x, y, captured, client);
      }) {}

ScriptedDevice::~ScriptedDevice() {
    stop_ = true;
    Clock::Instance().Notify();
    Join();
}

void ScriptedDevice::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<std::string> ScriptedDevice::Errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

int ScriptedDevice::LastLaunchStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return launchStatus_;
}

void ScriptedDevice::Fail(const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.push_back(error);
}

bool ScriptedDevice::Open(DeviceSink* sink, std::string* error) {
    sink_ = sink;
    input_.Attach(sink);
    return inner_->Open(sink, error);
}

void ScriptedDevice::Close() {
    sink_ = nullptr;
    input_.Attach(nullptr);
    inner_->Close();
}

void ScriptedDevice::WindowCreated(const wchar_t* title, HICON icon) {
    inner_->WindowCreated(title, icon);
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasWindow_ = true;
        minimized_ = false;
        start = !started_;
        started_ = true;
    }
    if (start) {
        // Started from the UI thread while it runs: the script's time 0 is the window's birth.
        thread_ = Clock::StartThread([this] { Run(); });
    }
}

void ScriptedDevice::WindowShown(int showCommand) {
    inner_->WindowShown(showCommand);
    std::lock_guard<std::mutex> lock(mutex_);
    minimized_ = showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED;
}

void ScriptedDevice::WindowMoved(int x, int y, int width, int height) {
    inner_->WindowMoved(x, y, width, height);
    std::lock_guard<std::mutex> lock(mutex_);
    windowRect_ = RECT{x, y, x + width, y + height};
}

void ScriptedDevice::WindowDestroyed() {
    inner_->WindowDestroyed();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasWindow_ = false;
    }
    stop_ = true;
    Clock::Instance().Notify();
}

void ScriptedDevice::Raise() {
    inner_->Raise();
    std::lock_guard<std::mutex> lock(mutex_);
    minimized_ = false;
}

void ScriptedDevice::Present(const uint32_t* pixels, int width, int height, int stride) {
    inner_->Present(pixels, width, height, stride);
    std::lock_guard<std::mutex> lock(mutex_);
    StoreFrame(&frame_, pixels, width, height, stride);
}

bool ScriptedDevice::Locate(int x, int y, bool captured, POINT* client) {
    RECT rect;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!hasWindow_ || minimized_) {
            return false;  // the finger touches whatever is there, not this program
        }
        rect = windowRect_;
    }
    // A stroke that began inside goes on reaching the window outside it, unclamped.
    const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
    if (!inside && !captured) {
        return false;
    }
    *client = POINT{x - rect.left, y - rect.top};
    return true;
}

void ScriptedDevice::Key(const ScriptCommand& cmd) {
    // Pressing a held key again is the keyboard's repeat; releasing a key not held is nothing.
    if (const KeyInfo* key = KeyByName(cmd.name)) {
        if (cmd.kind == ScriptCommand::Press) {
            input_.KeyDown(key->scancode, key->virtualKey, false);
        } else {
            input_.KeyUp(key->scancode);
        }
    }
}

void ScriptedDevice::Finger(const ScriptCommand& cmd) {
    const int64_t n = cmd.args[0];
    const int x = cmd.args[2];
    const int y = cmd.args[3];
    switch (cmd.args[1]) {
        case ScriptCommand::FingerDown:
            input_.FingerDown(n, x, y);
            break;
        case ScriptCommand::FingerMove:
            input_.FingerMove(n, x, y);
            break;
        default:
            input_.FingerUp(n, x, y);
            break;
    }
}

void ScriptedDevice::Launch() {
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
        Fail("launch: cannot start a second instance");
        return;
    }
    // Waited for outside the clock: this thread stays running, so the device clock stands still
    // while the other instance looks for this one, and the run stays deterministic.
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    std::lock_guard<std::mutex> lock(mutex_);
    launchStatus_ = done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ScriptedDevice::Run() {
    Clock& clock = Clock::Instance();
    TimeNs t = clock.Now();
    // Waits until device time `when` and until the program has settled there.
    auto at = [&](TimeNs when) {
        t = when;
        if (clock.IsVirtual()) {
            clock.WaitIdle(t);
        } else {
            clock.WaitUntil(t, [this] { return stop_.load(); });
        }
        return !stop_;
    };
    for (const ScriptCommand& cmd : script_) {
        const int* a = cmd.args;
        const TimeNs start = t;
        switch (cmd.kind) {
            case ScriptCommand::Wait:
                at(start + static_cast<TimeNs>(a[0]) * kNsPerMs);
                break;
            case ScriptCommand::Down:
                if (at(start)) {
                    input_.PointerDown(a[0], a[1]);
                }
                break;
            case ScriptCommand::Move:
                if (at(start)) {
                    input_.PointerMove(a[0], a[1]);
                }
                break;
            case ScriptCommand::Up:
                if (at(start)) {
                    input_.PointerUp(a[0], a[1]);
                }
                break;
            case ScriptCommand::Tap:
                if (at(start)) {
                    input_.PointerDown(a[0], a[1]);
                }
                if (at(start + 50 * kNsPerMs)) {
                    input_.PointerUp(a[0], a[1]);
                }
                break;
            case ScriptCommand::Drag: {
                const int duration = a[4];
                if (at(start)) {
                    input_.PointerDown(a[0], a[1]);
                }
                for (int ms = 10; ms < duration && !stop_; ms += 10) {
                    if (at(start + static_cast<TimeNs>(ms) * kNsPerMs)) {
                        const int64_t f = ms;
                        input_.PointerMove(a[0] + static_cast<int>((a[2] - a[0]) * f / duration),
                                           a[1] + static_cast<int>((a[3] - a[1]) * f / duration));
                    }
                }
                if (at(start + static_cast<TimeNs>(duration) * kNsPerMs)) {
                    input_.PointerMove(a[2], a[3]);
                    input_.PointerUp(a[2], a[3]);
                }
                break;
            }
            case ScriptCommand::Shot: {
                at(start);  // taken even after the window is gone: the last picture it showed
                PresentedFrame frame;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    frame = frame_;
                }
                if (frame.serial == 0) {
                    frame.width = ScreenWidth();  // nothing shown yet: a dark screen
                    frame.height = ScreenHeight();
                    frame.pixels.assign(static_cast<size_t>(frame.width) * frame.height, 0);
                }
                const std::string path =
                    (options_.shotsDir.empty() ? std::string(".") : options_.shotsDir) + "/" +
                    cmd.name;
                std::string reason;
                if (!WriteFramePng(frame, path, &reason)) {
                    Fail(path + ": cannot write the shot: " + reason);
                }
                break;
            }
            case ScriptCommand::Activate:
            case ScriptCommand::Deactivate:
                if (at(start)) {
                    input_.FocusChanged(cmd.kind == ScriptCommand::Activate);
                }
                break;
            case ScriptCommand::Launch:
                if (at(start)) {
                    Launch();
                }
                break;
            case ScriptCommand::Press:
            case ScriptCommand::Release:
                if (at(start)) {
                    Key(cmd);
                }
                break;
            case ScriptCommand::Finger:
                if (at(start)) {
                    Finger(cmd);
                }
                break;
            case ScriptCommand::Close:
                if (at(start)) {
                    if (DeviceSink* sink = sink_) {
                        sink->CloseRequested();
                    }
                }
                break;
            case ScriptCommand::Type:
                if (at(start)) {
                    input_.Text(cmd.name);
                }
                break;
            case ScriptCommand::Drop:
                if (at(start)) {
                    input_.Drop({cmd.name}, a[0], a[1]);
                }
                break;
            case ScriptCommand::Midi:
                // Into the platform's MIDI input from this thread, at this device time, as a
                // controller on channel 1 would send it.
                if (at(start)) {
                    midi::Inject(static_cast<DWORD>(a[1] > 0 ? 0x90 : 0x80) |
                                 static_cast<DWORD>(a[0]) << 8 | static_cast<DWORD>(a[1]) << 16);
                }
                break;
        }
    }
    if (at(t)) {
        if (DeviceSink* sink = sink_) {
            sink->CloseRequested();
        }
    }
}

}  // namespace platform
