// Starting and stopping the audio output behind waveOut: SDL2 audio, the null device on the device
// clock (optionally recording what it mixes), or none at all (--no-audio).
#pragma once

#include <string>

#include "platform/device/DeviceOptions.h"

namespace platform::wave {

// Both are called by one thread (the process entry, or a test), not while another thread is in
// a waveOut call. Headless gives the null output (recording with --record); otherwise SDL audio,
// falling back to the null output in real time with one warning line on stderr.
//
// Opens the output the options choose and starts the mixer. Returns false with a one-line reason
// when it cannot; waveOutGetNumDevs() is then 0 and the program runs silent. On the wall clock
// the call output (CallOutput.h) may then be turned on; --call turns it on when asked to.
bool StartAudio(const DeviceOptions& options, std::string* error);
// Turns the call output off (nothing of it stays on the sound server), stops the output and
// finalises a recording. Open voices are closed.
void StopAudio();

}  // namespace platform::wave
