// The microphone behind waveIn: SDL's audio capture of the system's default input (the window),
// a sound file played on the device clock (--mic), or none. It is chosen once by the process
// entry; each waveInOpen opens it for the format asked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/win32.h"

namespace platform::wave {

// Receives recorded 16-bit frames (interleaved, at the rate and channels opened with).
using CaptureSink = std::function<void(const int16_t* frames, uint32_t count)>;

class Microphone {
public:
    virtual ~Microphone() = default;
    // Starts recording into `deliver`, called on the microphone's own thread.
    virtual void Start(CaptureSink deliver) = 0;
    // Stops: once it returns no call of `deliver` is under way or still to come.
    virtual void Stop() = 0;
};

// Opens the microphone for 16-bit PCM at `rate` with 1 or 2 `channels`; null with an MMRESULT
// and the reason in words when there is none or it cannot record.
std::unique_ptr<Microphone> OpenMicrophone(uint32_t rate, int channels, MMRESULT* code,
                                           std::string* reason);
// Whether there is a microphone to open.
bool HasMicrophone();

// The choice, made before any waveIn call (none until then): the window's default input ...
void UseSdlMicrophone();
// ... a sound file, decoded now (false with its path and the reason when it cannot be) ...
bool UseMicrophoneFile(const std::string& path, std::string* error);
// ... or nothing.
void UseNoMicrophone();

// The file microphone, for the choice above.
struct MicrophoneFile;
std::shared_ptr<const MicrophoneFile> DecodeMicrophoneFile(const std::string& path,
                                                           std::string* error);
std::unique_ptr<Microphone> OpenFileMicrophone(std::shared_ptr<const MicrophoneFile> file,
                                               uint32_t rate, int channels, MMRESULT* code,
                                               std::string* reason);
std::unique_ptr<Microphone> OpenSdlMicrophone(uint32_t rate, int channels, MMRESULT* code,
                                              std::string* reason);
bool SdlHasMicrophone();

}  // namespace platform::wave
