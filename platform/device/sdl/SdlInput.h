// The SDL window's input translated for the InputRouter: the left mouse button, every finger of
// a touch screen (SDL's own mouse copy of the first finger dropped, so one tap never plays
// twice), the keys by position, typed text, and files dropped together. Used on the UI thread
// alone, from the device's event loop.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/InputRouter.h"

namespace platform {

class SdlInput {
public:
    // `locate` takes window pixels (InputRouter::Locate); F11 calls `toggleFullScreen`.
    SdlInput(InputRouter::Locate locate, std::function<void()> toggleFullScreen)
        : router_(std::move(locate)), toggleFullScreen_(std::move(toggleFullScreen)) {}

    // The window opened (or closed: null).
    void Attach(DeviceSink* sink, SDL_Window* window, Uint32 windowId);
    // Mouse, finger, key, text and drop events of the window; true when something reached the
    // sink. A drop event's file is the caller's to free.
    bool Handle(const SDL_Event& event);
    // The window gained or lost the focus (what is pressed goes up on a loss).
    void FocusChanged(bool active) { router_.FocusChanged(active); }

private:
    bool HandleFinger(const SDL_TouchFingerEvent& touch, Uint32 type);
    bool HandleKey(const SDL_KeyboardEvent& key);
    bool HandleDrop(const SDL_DropEvent& drop);

    InputRouter router_;
    std::function<void()> toggleFullScreen_;
    SDL_Window* window_ = nullptr;
    Uint32 windowId_ = 0;
    std::vector<std::string> dropped_;  // the files of a drop still going on
};

}  // namespace platform
