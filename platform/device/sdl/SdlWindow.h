// The SDL window that shows the emulated screen, and how that screen is fitted to it: the screen
// a full-screen display gets (ScreenFit), the window's first size and place, a display that
// changes, F11, and window pixels back to client pixels of the program's window through the
// same letterbox the picture is drawn with. UI thread only.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/device/DeviceOptions.h"
#include "platform/shell/Icon.h"
#include "platform/win32.h"

namespace platform {

class SdlWindow {
public:
    explicit SdlWindow(const DeviceOptions& options);

    // With SDL's video running: chooses the screen and opens the window, hidden. False with the
    // reason.
    bool Open(std::string* error);
    // `lost`: the display connection is gone and the window with it; nothing is freed then.
    void Close(bool lost);

    SDL_Window* Get() const { return window_; }
    Uint32 Id() const { return id_; }
    int ScreenWidth() const { return screenWidth_; }
    int ScreenHeight() const { return screenHeight_; }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }

    // Titles the window, gives it the icon (when it has a size) and shows it.
    void Show(const std::string& title, shell::IconImage& icon);
    void ShowCommand(int showCommand);  // SW_HIDE, SW_MINIMIZE, others restore
    void Hide();
    void Raise();
    // A rotated, replaced or resized display, and F11: the window changes; the caller redraws.
    void RefitToDisplay();
    void ToggleFullScreen();

    // Window pixels to client pixels of the program's window, which lies at `rect` on the
    // screen; a `clamp`ed point off it is kept on its edge (a pressed pointer). False when the
    // point is not on the program's window.
    bool ToClient(int windowX, int windowY, const SDL_Rect& rect, bool clamp, POINT* at) const;

private:
    void ChooseFullScreenGeometry();

    const DeviceOptions options_;
    int screenWidth_;
    int screenHeight_;
    int dpiX_;
    int dpiY_;
    SDL_Window* window_ = nullptr;
    Uint32 id_ = 0;
    // F11 without a window manager: the window covers the display; where it was before.
    bool coverDisplay_ = false;
    SDL_Rect windowedRect_{0, 0, 0, 0};
};

}  // namespace platform
