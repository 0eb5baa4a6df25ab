// The waveOut layer's link to the running output: Audio.cpp attaches the mixer when an output
// starts rendering and detaches it after closing every voice.
#pragma once

#include "platform/kernel/Clock.h"
#include "platform/wave/Mixer.h"

namespace platform::wave {

struct OutputLink {
    Mixer* mixer = nullptr;
    BoundedQueue<Notice>* notices = nullptr;
    // How often threads waiting for the mixer look again, and how often the notifier looks for
    // played buffers, when the output does not wake the clock itself after each period.
    TimeNs pollNs = kNsPerMs;
    TimeNs notifierPollNs = 5 * kNsPerMs;
    // The output calls Clock::Notify after each period it renders (the null output).
    bool notifiesClock = false;
};

// Starts the notifier thread; waveOutGetNumDevs becomes 1. The output must be rendering.
void AttachOutput(const OutputLink& link);
// Closes every voice still open (they reset first), while the output still renders.
void CloseAllVoices();
// Stops the notifier once the output has stopped; waveOutGetNumDevs becomes 0.
void DetachOutput();

}  // namespace platform::wave
