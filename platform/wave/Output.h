// Audio outputs: each pulls periods of mixed sound from the mixer on a thread of its own. They sit
// behind one small table of functions so that Audio.cpp can choose among them and fall back to the
// null output, which always works.
#pragma once

#include <functional>
#include <string>

#include "platform/wave/Mixer.h"
#include "platform/wave/WavWriter.h"

namespace platform::wave {

struct OutputConfig {
    Mixer* mixer = nullptr;
    int periodFrames = 256;
    WavWriter* take = nullptr;  // begun: what is played is appended to it
};

struct OutputBackend {
    const char* name;
    // Starts rendering; false with a one-line reason when the output cannot run.
    bool (*start)(const OutputConfig& config, std::string* error);
    // Stops rendering; no render call runs after it returns.
    void (*stop)();
    // The output wakes the device clock after each period (waiters need not poll).
    bool notifiesClock;
};

// SDL2 audio: 48 kHz stereo float, the system's default output; reopened when it disappears.
extern const OutputBackend kSdlOutput;
// One period per period of device time on a clock participant thread; optionally recorded. On
// the wall clock it sleeps while the mixer is quiet.
extern const OutputBackend kNullOutput;

// The output StartAudio chose ("sdl", "null"), or null when none runs.
const char* ActiveOutputName();

// For tests: called on the null output's thread with each period it renders (interleaved stereo
// float). Set while no output runs.
void SetNullOutputTap(std::function<void(const float* frames, int count)> tap);
// For tests: the null output sleeps while quiet in virtual time too, as it does on the wall
// clock (where it always may). Set while no output runs.
void SetNullOutputIdlesInVirtualTime(bool idles);

}  // namespace platform::wave
