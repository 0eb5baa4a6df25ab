// Starting and stopping the audio output behind waveOut: SDL2 audio, the null device on the device
// clock (optionally recording what it mixes), or none at all (--no-audio).
#pragma once

#include <string>

#include "platform/device/DeviceOptions.h"

namespace platform::wave {

// All are called by one thread (the process entry, or a test), not while another thread is in
// a waveOut call. Headless gives the null output (recording with --record); otherwise SDL audio,
// falling back to the null output in real time with one warning line on stderr.
//
// Takes the file --record names before anything runs, so that a take that cannot be kept is
// refused at once: see WavWriter::Claim. Nothing in an existing file changes until StartAudio.
bool ClaimTake(const std::string& path, std::string* error);
// Opens the output the options choose and starts the mixer, recording into options.recordPath
// (claimed now if it was not). Returns false with a one-line reason when it cannot;
// waveOutGetNumDevs() is then 0 and the program runs silent. On the wall clock the call output
// (CallOutput.h) may then be turned on; --call turns it on when asked to.
bool StartAudio(const DeviceOptions& options, std::string* error);
// Turns the call output off (nothing of it stays on the sound server), stops the output and
// completes the take. Open voices are closed. False when the take is not whole (what it lacks is
// already on stderr).
bool StopAudio();

}  // namespace platform::wave
