#include "platform/device/sdl/SdlDevice.h"

#include <SDL.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/device/sdl/DisplayWatch.h"
#include "platform/device/sdl/ScreenFit.h"
#include "platform/device/sdl/SdlInput.h"
#include "platform/kernel/WideString.h"
#include "platform/shell/Icon.h"

namespace platform {
namespace {

// A lost "off" must not leave a handheld buzzing for ever.
constexpr Uint32 kLongestRumbleMs = 10000;

SDL_Rect ToSdlRect(const FitRect& r) {
    return SDL_Rect{r.x, r.y, r.w, r.h};
}

class SdlDevice final : public Device {
public:
    explicit SdlDevice(const DeviceOptions& options)
        : options_(options),
          screenWidth_(options.screenWidth),
          screenHeight_(options.screenHeight),
          dpiX_(options.dpiX),
          dpiY_(options.dpiY),
          input_([this](int x, int y, bool captured,
                        POINT* at) { return ToClient(x, y, captured, at); },
                 [this] { ToggleFullScreen(); }) {}
    ~SdlDevice() override { Close(); }

    bool Open(DeviceSink* sink, std::string* error) override;
    void Close() override;

    int ScreenWidth() const override { return screenWidth_; }
    int ScreenHeight() const override { return screenHeight_; }
    int DpiX() const override { return dpiX_; }
    int DpiY() const override { return dpiY_; }

    void WindowCreated(const wchar_t* title, HICON icon) override;
    void WindowShown(int showCommand) override;
    void WindowMoved(int x, int y, int width, int height) override;
    void WindowDestroyed() override;
    void Raise() override;
    void Present(const uint32_t* pixels, int width, int height, int stride) override;

    void WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) override;
    void Wake() override;
    // UI thread: true once the display is gone (reported and the close asked for, once).
    bool Lost();

    bool Vibrate(bool on) override;

private:
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
    // Window calls from other threads wait for the UI thread's next pass through its event loop.
    void RunOnUiThread(std::function<void()> task);
    void RunDeferred();
    void PumpEvent(const SDL_Event& event);
    void ToggleFullScreen();
    bool ToClient(int windowX, int windowY, bool clamp, POINT* at);
    void UploadCanvas(const SDL_Rect& area);
    void Render();
    void ChooseFullScreenGeometry();
    void RefitToDisplay();
    void OpenHaptic();

    DeviceOptions options_;
    int screenWidth_;
    int screenHeight_;
    int dpiX_;
    int dpiY_;

    // The UI thread is the one that opened the device; SDL's window and renderer, the pen and the
    // sink are used on it alone.
    std::thread::id uiThread_;
    DeviceSink* sink_ = nullptr;
    bool videoInit_ = false;
    bool hapticInit_ = false;
    SDL_Window* window_ = nullptr;
    Uint32 windowId_ = 0;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;

    // The emulated screen as last presented, and where the top-level window sits on it; locked
    // because the pixels may come from another thread.
    std::mutex canvasMutex_;
    std::vector<uint32_t> canvas_;
    SDL_Rect windowRect_{0, 0, 0, 0};

    SdlInput input_;
    bool delivered_ = false;
    // F11 without a window manager: the window covers the display; where it was before.
    bool coverDisplay_ = false;
    SDL_Rect windowedRect_{0, 0, 0, 0};

    // Wake() may race Close(): both hold wakeMutex_ around the event queue's lifetime.
    std::mutex wakeMutex_;
    bool open_ = false;
    Uint32 wakeEvent_ = 0;
    // On X11 the UI thread waits on the connection itself (DisplayWatch.h), and a wake is a write
    // to this descriptor rather than an event for SDL_WaitEvent.
    bool waitOnDisplay_ = false;
    int wakeFd_ = -1;
    std::atomic<bool> wakePending_{false};
    std::atomic<bool> lost_{false};  // the display connection is gone

    std::mutex deferredMutex_;
    std::vector<std::function<void()>> deferred_;

    std::mutex hapticMutex_;
    SDL_Haptic* haptic_ = nullptr;
};

bool SdlDevice::Open(DeviceSink* sink, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error) {
            *error = "cannot open a window (" + reason + "); run with --headless to do without one";
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

    if (options_.fullscreen)
        ChooseFullScreenGeometry();
    if (screenWidth_ <= 0 || screenHeight_ <= 0)
        return fail("the screen has no size");

    // The first window should fit on the desktop; the user may resize it afterwards.
    int windowX = SDL_WINDOWPOS_CENTERED;
    int windowY = SDL_WINDOWPOS_CENTERED;
    int windowW = screenWidth_;
    int windowH = screenHeight_;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (options_.fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        // Without a window manager nobody else gives the window the display's size.
        SDL_Rect display;
        if (SDL_GetDisplayBounds(0, &display) == 0 && display.w > 0 && display.h > 0) {
            windowX = display.x;
            windowY = display.y;
            windowW = display.w;
            windowH = display.h;
        }
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0 &&
            (windowW > usable.w || windowH > usable.h)) {
            FitRect fit = Letterbox(usable.w, usable.h, screenWidth_, screenHeight_);
            windowW = std::max(1, fit.w);
            windowH = std::max(1, fit.h);
        }
    }
    window_ = SDL_CreateWindow("Pulsor", windowX, windowY, windowW, windowH, flags);
    if (!window_)
        return fail(SDL_GetError());
    windowId_ = SDL_GetWindowID(window_);
    input_.Attach(sink_, window_, windowId_);
    waitOnDisplay_ = sdl::WatchDisplay(window_);
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_)
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_)
        return fail(SDL_GetError());
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 screenWidth_, screenHeight_);
    if (!texture_)
        return fail(SDL_GetError());
    {
        std::lock_guard<std::mutex> lock(canvasMutex_);
        canvas_.assign(static_cast<size_t>(screenWidth_) * screenHeight_, 0);
        windowRect_ = SDL_Rect{0, 0, screenWidth_, screenHeight_};
    }
    UploadCanvas(SDL_Rect{0, 0, screenWidth_, screenHeight_});

    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == static_cast<Uint32>(-1))
        return fail(SDL_GetError());
    if (waitOnDisplay_) {
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0)
            return fail(std::string("eventfd: ") + std::strerror(errno));
    }
    OpenHaptic();
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        open_ = true;
    }
    return true;
}

void SdlDevice::ChooseFullScreenGeometry() {
    SDL_DisplayMode mode;
    int displayW = screenWidth_;
    int displayH = screenHeight_;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        displayW = mode.w;
        displayH = mode.h;
    }
    ScreenFit fit = FitScreenToDisplay(
        displayW, displayH, options_.screenGiven ? options_.screenWidth : 0,
        options_.screenGiven ? options_.screenHeight : 0, options_.dpiGiven ? options_.dpiX : 0,
        options_.dpiGiven ? options_.dpiY : 0);
    screenWidth_ = fit.screenWidth;
    screenHeight_ = fit.screenHeight;
    dpiX_ = fit.dpiX;
    dpiY_ = fit.dpiY;
}

// A rotated, replaced or resized display: the window takes the display's new size and the
// picture is fitted to it again; the program keeps its screen.
void SdlDevice::RefitToDisplay() {
    if (!window_)
        return;
    if (options_.fullscreen) {
        int index = SDL_GetWindowDisplayIndex(window_);
        SDL_Rect display;
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window_, &w, &h);
        if (index >= 0 && SDL_GetDisplayBounds(index, &display) == 0 && display.w > 0 &&
            display.h > 0 && (display.w != w || display.h != h)) {
            // Leaving and re-entering full screen makes SDL size the window to the display anew.
            SDL_SetWindowFullscreen(window_, 0);
            SDL_SetWindowPosition(window_, display.x, display.y);
            SDL_SetWindowSize(window_, display.w, display.h);
            SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        }
    }
    Render();
}

void SdlDevice::OpenHaptic() {
    if (SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0)
        return;
    hapticInit_ = true;
    std::lock_guard<std::mutex> lock(hapticMutex_);
    for (int i = 0; i < SDL_NumHaptics() && !haptic_; ++i) {
        SDL_Haptic* haptic = SDL_HapticOpen(i);
        if (!haptic)
            continue;
        if (SDL_HapticRumbleSupported(haptic) == SDL_TRUE && SDL_HapticRumbleInit(haptic) == 0) {
            haptic_ = haptic;
        } else {
            SDL_HapticClose(haptic);
        }
    }
}

void SdlDevice::Close() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        open_ = false;
        if (wakeFd_ >= 0)
            close(wakeFd_);
        wakeFd_ = -1;
    }
    sdl::StopWatchingDisplay();
    waitOnDisplay_ = false;
    {
        std::lock_guard<std::mutex> lock(hapticMutex_);
        if (haptic_) {
            SDL_HapticRumbleStop(haptic_);
            SDL_HapticClose(haptic_);
            haptic_ = nullptr;
        }
    }
    if (hapticInit_)
        SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    hapticInit_ = false;
    if (lost_) {
        // The X objects died with the connection; freeing them would talk to it again.
        texture_ = nullptr;
        renderer_ = nullptr;
        window_ = nullptr;
        videoInit_ = false;
    }
    if (texture_)
        SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    if (renderer_)
        SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_)
        SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (videoInit_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoInit_ = false;
    sink_ = nullptr;
    input_.Attach(nullptr, nullptr, 0);
    {
        std::lock_guard<std::mutex> lock(canvasMutex_);
        canvas_.clear();
    }
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
        if (!window_)
            return;
        SDL_SetWindowTitle(window_, utf8.c_str());
        if (image.width > 0 && image.height > 0) {
            SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                image.pixels.data(), image.width, image.height, 32,
                image.width * static_cast<int>(sizeof(uint32_t)), SDL_PIXELFORMAT_ARGB8888);
            if (surface) {
                SDL_SetWindowIcon(window_, surface);
                SDL_FreeSurface(surface);
            }
        }
        SDL_ShowWindow(window_);
        Render();
    });
}

void SdlDevice::WindowShown(int showCommand) {
    RunOnUiThread([this, showCommand] {
        if (!window_)
            return;
        switch (showCommand) {
            case SW_HIDE:
                SDL_HideWindow(window_);
                break;
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
                SDL_MinimizeWindow(window_);
                break;
            default:
                SDL_ShowWindow(window_);
                SDL_RestoreWindow(window_);
                break;
        }
    });
}

void SdlDevice::WindowMoved(int x, int y, int width, int height) {
    RunOnUiThread([this, x, y, width, height] {
        SDL_Rect moved{x, y, std::max(0, width), std::max(0, height)};
        {
            std::lock_guard<std::mutex> lock(canvasMutex_);
            if (moved.x == windowRect_.x && moved.y == windowRect_.y && moved.w == windowRect_.w &&
                moved.h == windowRect_.h) {
                return;
            }
            windowRect_ = moved;
            // What the window no longer covers is desktop, which is black here.
            std::fill(canvas_.begin(), canvas_.end(), 0u);
        }
        UploadCanvas(SDL_Rect{0, 0, screenWidth_, screenHeight_});
    });
}

void SdlDevice::WindowDestroyed() {
    RunOnUiThread([this] {
        if (window_)
            SDL_HideWindow(window_);
    });
}

void SdlDevice::Raise() {
    RunOnUiThread([this] {
        if (!window_)
            return;
        SDL_ShowWindow(window_);
        SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
    });
}

void SdlDevice::Present(const uint32_t* pixels, int width, int height, int stride) {
    if (!pixels || width <= 0 || height <= 0)
        return;
    SDL_Rect area;
    {
        std::lock_guard<std::mutex> lock(canvasMutex_);
        if (canvas_.empty())
            return;
        SDL_Rect screen{0, 0, screenWidth_, screenHeight_};
        SDL_Rect frame{windowRect_.x, windowRect_.y, width, height};
        if (!SDL_IntersectRect(&screen, &frame, &area))
            return;
        for (int row = 0; row < area.h; ++row) {
            const auto* src = reinterpret_cast<const uint32_t*>(
                                  reinterpret_cast<const uint8_t*>(pixels) +
                                  static_cast<size_t>(area.y - frame.y + row) * stride) +
                              (area.x - frame.x);
            std::copy(src, src + area.w,
                      canvas_.begin() + static_cast<size_t>(area.y + row) * screenWidth_ + area.x);
        }
    }
    // Painting belongs on the UI thread, but the renderer must never be used from another one.
    RunOnUiThread([this, area] {
        UploadCanvas(area);
        Render();
    });
}

void SdlDevice::UploadCanvas(const SDL_Rect& area) {
    if (!texture_ || lost_)
        return;
    std::lock_guard<std::mutex> lock(canvasMutex_);
    SDL_UpdateTexture(texture_, &area,
                      canvas_.data() + static_cast<size_t>(area.y) * screenWidth_ + area.x,
                      screenWidth_ * static_cast<int>(sizeof(uint32_t)));
}

void SdlDevice::Render() {
    if (!renderer_ || !texture_ || lost_)
        return;
    int outW = 0;
    int outH = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0)
        return;
    SDL_Rect target = ToSdlRect(Letterbox(outW, outH, screenWidth_, screenHeight_));
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    SDL_RenderPresent(renderer_);
}

bool SdlDevice::ToClient(int windowX, int windowY, bool clamp, POINT* at) {
    int windowW = 0;
    int windowH = 0;
    SDL_GetWindowSize(window_, &windowW, &windowH);
    FitRect picture = Letterbox(windowW, windowH, screenWidth_, screenHeight_);
    if (picture.w <= 0 || picture.h <= 0)
        return false;
    auto toScreen = [](int v, int origin, int extent, int size) {
        return static_cast<int>(std::floor(static_cast<double>(v - origin) * size / extent));
    };
    int screenX = toScreen(windowX, picture.x, picture.w, screenWidth_);
    int screenY = toScreen(windowY, picture.y, picture.h, screenHeight_);
    SDL_Rect rect;
    {
        std::lock_guard<std::mutex> lock(canvasMutex_);
        rect = windowRect_;
    }
    int clientX = screenX - rect.x;
    int clientY = screenY - rect.y;
    bool inside = clientX >= 0 && clientY >= 0 && clientX < rect.w && clientY < rect.h &&
                  screenX >= 0 && screenY >= 0 && screenX < screenWidth_ && screenY < screenHeight_;
    if (!inside) {
        if (!clamp || rect.w <= 0 || rect.h <= 0)
            return false;
        // A pressed pen keeps reporting to the window, as under mouse capture.
        clientX =
            std::clamp(clientX, std::max(0, -rect.x), std::min(rect.w, screenWidth_ - rect.x) - 1);
        clientY =
            std::clamp(clientY, std::max(0, -rect.y), std::min(rect.h, screenHeight_ - rect.y) - 1);
    }
    *at = POINT{clientX, clientY};
    return true;
}

void SdlDevice::ToggleFullScreen() {
    if (!window_)
        return;
    if (coverDisplay_) {
        coverDisplay_ = false;
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, windowedRect_.w, windowedRect_.h);
        SDL_SetWindowPosition(window_, windowedRect_.x, windowedRect_.y);
    } else if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(window_, 0);
    } else {
        // A window manager draws frames and does full screen; without one (a bare X server)
        // the request goes unanswered, so the window itself covers the display instead.
        int top = 0;
        if (SDL_GetWindowBordersSize(window_, &top, nullptr, nullptr, nullptr) == 0 && top > 0) {
            SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_Rect display;
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &display) !=
                0)
                return;
            SDL_GetWindowPosition(window_, &windowedRect_.x, &windowedRect_.y);
            SDL_GetWindowSize(window_, &windowedRect_.w, &windowedRect_.h);
            coverDisplay_ = true;
            SDL_SetWindowBordered(window_, SDL_FALSE);
            SDL_SetWindowPosition(window_, display.x, display.y);
            SDL_SetWindowSize(window_, display.w, display.h);
        }
    }
    Render();
}

void SdlDevice::PumpEvent(const SDL_Event& event) {
    if (event.type == wakeEvent_) {
        wakePending_ = false;
        return;
    }
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONUP:
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP:
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (input_.Handle(event))
                delivered_ = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != windowId_)
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
                    Render();
                    break;
                default:
                    break;
            }
            break;
        case SDL_DISPLAYEVENT:
            RefitToDisplay();
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            // The texture's content may be gone; the canvas still holds the picture.
            if (event.type == SDL_RENDER_DEVICE_RESET && renderer_) {
                if (texture_)
                    SDL_DestroyTexture(texture_);
                texture_ =
                    SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, screenWidth_, screenHeight_);
            }
            UploadCanvas(SDL_Rect{0, 0, screenWidth_, screenHeight_});
            Render();
            break;
        default:
            break;
    }
}

void SdlDevice::WaitForEvents(TimeNs deadline, const std::function<bool()>& ready) {
    if (!window_ || Lost()) {
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
        TimeNs now = Clock::Instance().Now();
        if (now >= deadline)
            return;
        int timeoutMs = -1;
        if (deadline != kNever) {
            TimeNs wait = (deadline - now + kNsPerMs - 1) / kNsPerMs;
            timeoutMs = static_cast<int>(std::min<TimeNs>(wait, INT_MAX));
        }
        if (waitOnDisplay_) {
            sdl::WaitOnDisplay(wakeFd_, timeoutMs);
            wakePending_ = false;
            uint64_t wakes;
            (void)!read(wakeFd_, &wakes, sizeof wakes);
        } else if (timeoutMs < 0 ? SDL_WaitEvent(&event)
                                 : SDL_WaitEventTimeout(&event, timeoutMs)) {
            PumpEvent(event);
        }
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
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        open_ = false;  // wakes go to the clock now
    }
    std::fprintf(stderr, "pulsor: %s; closing\n", reason);
    if (sink_)
        sink_->CloseRequested();
    return true;
}

void SdlDevice::Wake() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        if (open_) {
            if (!wakePending_.exchange(true)) {
                if (waitOnDisplay_) {
                    const uint64_t one = 1;
                    if (write(wakeFd_, &one, sizeof one) != sizeof one)
                        wakePending_ = false;
                } else {
                    SDL_Event event{};
                    event.type = wakeEvent_;
                    if (SDL_PushEvent(&event) != 1)
                        wakePending_ = false;
                }
            }
            return;
        }
    }
    // Without a window the UI thread waits on the clock.
    Clock::Instance().Notify();
}

bool SdlDevice::Vibrate(bool on) {
    std::lock_guard<std::mutex> lock(hapticMutex_);
    if (!haptic_) {
        return false;
    }
    if (on) {
        return SDL_HapticRumblePlay(haptic_, 1.0f, kLongestRumbleMs) == 0;
    }
    return SDL_HapticRumbleStop(haptic_) == 0;
}

}  // namespace

std::unique_ptr<Device> CreateSdlDevice(const DeviceOptions& options) {
    return std::make_unique<SdlDevice>(options);
}

}  // namespace platform
