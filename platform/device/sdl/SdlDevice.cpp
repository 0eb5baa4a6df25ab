#include "platform/device/sdl/SdlDevice.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/device/sdl/DisplayWatch.h"
#include "platform/device/sdl/SdlHaptics.h"
#include "platform/device/sdl/SdlInput.h"
#include "platform/device/sdl/SdlPresenter.h"
#include "platform/device/sdl/SdlWait.h"
#include "platform/device/sdl/SdlWindow.h"
#include "platform/kernel/WideString.h"
#include "platform/shell/Icon.h"

namespace platform {
namespace {

// The device: the window, what it shows, its input, the UI thread's wait and the vibrator, each
// a part of its own; this class opens and closes them in order, runs the window calls of other
// threads on the UI thread, and hands each SDL event to the part it concerns.
class SdlDevice final : public Device {
public:
    explicit SdlDevice(const DeviceOptions& options)
        : options_(options),
          window_(options),
          presenter_(lost_),
          input_(
              [this](int x, int y, bool captured, POINT* at) {
                  return window_.ToClient(x, y, presenter_.WindowRect(), captured, at);
              },
              [this] { ToggleFullScreen(); }) {}
    ~SdlDevice() override { Close(); }

    bool Open(DeviceSink* sink, std::string* error) override;
    void Close() override;

    int ScreenWidth() const override { return window_.ScreenWidth(); }
    int ScreenHeight() const override { return window_.ScreenHeight(); }
    int DpiX() const override { return window_.DpiX(); }
    int DpiY() const override { return window_.DpiY(); }

    void WindowCreated(const wchar_t* title, HICON icon) override;
    void WindowShown(int showCommand) override;
    void WindowMoved(int x, int y, int width, int height) override;
    void WindowDestroyed() override;
    void Raise() override;
    void Present(const uint32_t* pixels, int width, int height, int stride) override;

    void WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) override;
    void Wake() override { wait_.Wake(); }
    // UI thread: true once the display is gone (reported and the close asked for, once).
    bool Lost();

    bool Vibrate(bool on) override { return haptics_.Vibrate(on); }
    void TextInputChanged(bool on) override;

private:
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
    // Window calls from other threads wait for the UI thread's next pass through its event loop.
    void RunOnUiThread(std::function<void()> task);
    void RunDeferred();
    void PumpEvent(const SDL_Event& event);
    void ToggleFullScreen();

    const DeviceOptions options_;
    std::atomic<bool> lost_{false};  // the display connection is gone
    // The UI thread is the one that opened the device; SDL's window and renderer, the input and
    // the sink are used on it alone.
    std::thread::id uiThread_;
    DeviceSink* sink_ = nullptr;
    bool videoInit_ = false;
    SdlWindow window_;
    SdlPresenter presenter_;
    SdlInput input_;
    SdlWait wait_;
    SdlHaptics haptics_;
    bool delivered_ = false;  // an event reached the sink during this wait

    std::mutex deferredMutex_;
    std::vector<std::function<void()>> deferred_;
};

bool SdlDevice::Open(DeviceSink* sink, std::string* error) {
    std::string reason;
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "cannot open a window (" + why + "); run with --headless to do without one";
        }
        Close();
        return false;
    };
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        return fail("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    }
    sink_ = sink;
    uiThread_ = std::this_thread::get_id();

    // Frames arrive fully drawn: the software renderer on the window's own framebuffer shows one
    // with a single image transfer, without a GL context and its driver threads (llvmpipe under
    // Xvfb). SDL_RENDER_DRIVER and SDL_FRAMEBUFFER_ACCELERATION in the environment still win.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // The window manager's close button is the only way to ask the program to close.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A finger on an unfocused window must still press what it touches.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // A desktop window leaves the screen saver alone; a kiosk keeps the display awake.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, options_.fullscreen ? "0" : "1");

    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return fail(SDL_GetError());
    videoInit_ = true;
    if (!window_.Open(&reason))
        return fail(reason);
    input_.Attach(sink_, window_.Get(), window_.Id());
    if (!wait_.Open(window_.Get(), &reason) ||
        !presenter_.Open(window_.Get(), window_.ScreenWidth(), window_.ScreenHeight(), &reason))
        return fail(reason);
    haptics_.Open();
    wait_.Start();
    return true;
}

void SdlDevice::Close() {
    wait_.Close();
    haptics_.Close();
    presenter_.Close();
    window_.Close(lost_);
    // The video subsystem died with a lost connection too.
    if (videoInit_ && !lost_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoInit_ = false;
    sink_ = nullptr;
    input_.Attach(nullptr, nullptr, 0);
    std::lock_guard<std::mutex> lock(deferredMutex_);
    deferred_.clear();
}

void SdlDevice::RunOnUiThread(std::function<void()> task) {
    if (lost_)
        return;
    if (OnUiThread()) {
        task();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(deferredMutex_);
        deferred_.push_back(std::move(task));
    }
    Wake();
}

void SdlDevice::RunDeferred() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> lock(deferredMutex_);
        tasks.swap(deferred_);
    }
    if (lost_)
        return;
    for (auto& task : tasks)
        task();
}

void SdlDevice::WindowCreated(const wchar_t* title, HICON icon) {
    std::string utf8 = ToUtf8(title);
    shell::IconImage image;
    if (const shell::IconImage* largest = shell::LargestIconImage(icon))
        image = *largest;
    RunOnUiThread([this, utf8, image = std::move(image)]() mutable {
        if (!window_.Get())
            return;
        window_.Show(utf8, image);
        presenter_.Render();
    });
}

void SdlDevice::WindowShown(int showCommand) {
    RunOnUiThread([this, showCommand] { window_.ShowCommand(showCommand); });
}

void SdlDevice::WindowMoved(int x, int y, int width, int height) {
    RunOnUiThread([this, x, y, width, height] {
        if (presenter_.MoveWindow(SDL_Rect{x, y, std::max(0, width), std::max(0, height)}))
            presenter_.UploadAll();
    });
}

void SdlDevice::WindowDestroyed() {
    RunOnUiThread([this] { window_.Hide(); });
}

void SdlDevice::Raise() {
    RunOnUiThread([this] { window_.Raise(); });
}

void SdlDevice::Present(const uint32_t* pixels, int width, int height, int stride) {
    SDL_Rect area;
    if (!presenter_.Store(pixels, width, height, stride, &area))
        return;
    // Painting belongs on the UI thread, but the renderer must never be used from another one.
    RunOnUiThread([this, area] {
        presenter_.Upload(area);
        presenter_.Render();
    });
}

void SdlDevice::TextInputChanged(bool on) {
    // An input method composes only while a text field waits for it; keys play the pad otherwise.
    RunOnUiThread([this, on] {
        if (!window_.Get())
            return;
        if (on)
            SDL_StartTextInput();
        else
            SDL_StopTextInput();
    });
}

void SdlDevice::ToggleFullScreen() {
    if (!window_.Get())
        return;
    window_.ToggleFullScreen();
    presenter_.Render();
}

void SdlDevice::PumpEvent(const SDL_Event& event) {
    if (wait_.IsWake(event))
        return;
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONUP:
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP:
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
            if (input_.Handle(event))
                delivered_ = true;
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
        case SDL_DROPCOMPLETE:
            if (input_.Handle(event))
                delivered_ = true;
            SDL_free(event.drop.file);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != window_.Id())
                break;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    delivered_ = true;
                    input_.FocusChanged(event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED);
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    delivered_ = true;
                    if (sink_)
                        sink_->CloseRequested();
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED:
                    presenter_.Render();
                    break;
                default:
                    break;
            }
            break;
        case SDL_DISPLAYEVENT:
            if (window_.Get()) {
                window_.RefitToDisplay();
                presenter_.Render();
            }
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            presenter_.Restore(event.type == SDL_RENDER_DEVICE_RESET);
            break;
        default:
            break;
    }
}

void SdlDevice::WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) {
    if (!window_.Get() || Lost()) {
        Clock::Instance().WaitUntil(deadline, ready);
        return;
    }
    delivered_ = false;
    SDL_Event event;
    for (;;) {
        while (SDL_PollEvent(&event))
            PumpEvent(event);
        RunDeferred();
        if (delivered_ || (ready && ready()))
            return;
        const TimeNs now = Clock::Instance().Now();
        if (now >= deadline)
            return;
        if (wait_.Block(now, deadline, &event))
            PumpEvent(event);
        if (Lost())
            return;
    }
}

bool SdlDevice::Lost() {
    if (lost_)
        return true;
    const char* reason = sdl::DisplayLost();
    if (!reason[0])
        return false;
    // From here on nothing touches the display; the program closes as if asked to, and saves.
    lost_ = true;
    wait_.Lost();
    std::fprintf(stderr, "pulsor: %s; closing\n", reason);
    if (sink_)
        sink_->CloseRequested();
    return true;
}

}  // namespace

std::unique_ptr<Device> CreateSdlDevice(const DeviceOptions& options) {
    return std::make_unique<SdlDevice>(options);
}

}  // namespace platform
