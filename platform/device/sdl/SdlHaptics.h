// The vibrator: rumble on the first of SDL's haptic devices that has it. Vibrate from any
// thread; Open and Close on the UI thread.
#pragma once

#include <SDL.h>

#include <mutex>

namespace platform {

class SdlHaptics {
public:
    void Open();
    void Close();
    // False when there is no rumble to switch.
    bool Vibrate(bool on);

private:
    bool init_ = false;
    std::mutex mutex_;
    SDL_Haptic* haptic_ = nullptr;
};

}  // namespace platform
