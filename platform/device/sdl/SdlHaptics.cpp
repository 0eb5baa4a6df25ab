#include "platform/device/sdl/SdlHaptics.h"

namespace platform {
namespace {

// A lost "off" must not leave a handheld buzzing for ever.
constexpr Uint32 kLongestRumbleMs = 10000;

}  // namespace

void SdlHaptics::Open() {
    if (SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0)
        return;
    init_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
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

void SdlHaptics::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (haptic_) {
            SDL_HapticRumbleStop(haptic_);
            SDL_HapticClose(haptic_);
            haptic_ = nullptr;
        }
    }
    if (init_)
        SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    init_ = false;
}

bool SdlHaptics::Vibrate(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!haptic_) {
        return false;
    }
    if (on) {
        return SDL_HapticRumblePlay(haptic_, 1.0f, kLongestRumbleMs) == 0;
    }
    return SDL_HapticRumbleStop(haptic_) == 0;
}

}  // namespace platform
