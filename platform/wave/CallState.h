// The call output's state, shared by its writer (CallOutput) and its modules on the server
// (CallModules).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/Clock.h"
#include "platform/wave/FrameRing.h"
#include "platform/wave/Mixer.h"
#include "platform/wave/PulseClient.h"

namespace platform::wave::call {

constexpr uint32_t kNoModule = UINT32_MAX;
// Far more than the writer ever lags behind the audio thread.
constexpr size_t kRingFrames = kDeviceRate / 2;
// The call sink takes its sound every 2 ms (its latency).
constexpr uint32_t kRequestFrames = kDeviceRate / 500;
// The most the stream may hold: past this the server has fallen behind, and the oldest sound
// gives way so that the call stays close to the room.
constexpr uint32_t kBufferFrames = kDeviceRate * 30 / 1000;

struct CallState {
    // SetCallOutput, AttachCallOutput and DetachCallOutput, one at a time.
    std::mutex control;
    Mixer* mixer = nullptr;
    bool onWhenAsStarted = false;
    std::string unavailable = "Pulsor runs without sound (--no-audio)";
    std::thread writer;
    TimeNs pollNs = 2 * kNsPerMs;
    // Frames the stream holds before it plays: the sink's request, a period and the writer's
    // wait, so that it never runs dry while the mixer renders.
    uint32_t leadFrames = 0;
    uint32_t periodFrames = 256;

    // Between the control's holder and the writer.
    std::atomic<bool> stop{false};
    std::atomic<float> gain{1.0f};
    FrameRing ring{kRingFrames};

    // The server side, used by the control's holder and the writer.
    std::mutex session;
    std::unique_ptr<PulseClient> client;  // null while off, or while the server is lost
    std::string token;
    uint32_t sinkModule = kNoModule;
    uint32_t sourceModule = kNoModule;
    uint32_t loopbackModule = kNoModule;
    bool wantMicrophone = false;
    std::string lost;              // why the server side is down while on
    std::string microphoneReason;  // why the microphone is not mixed in while asked for
    TimeNs nextTry = 0;
    std::string said;  // the last line on stderr, not repeated
    // The server's defaults before the call's devices were made, held until the next round of
    // upkeep: a session manager may choose a new device as its default a moment later.
    std::string userSink;
    std::string userSource;
};

CallState& C();

// With the session locked: says a line on stderr, unless it is the last one said.
void Say(CallState& c, const std::string& line);
// With the session locked: connects, clears away what a gone Pulsor left, and makes the sink, the
// microphone, the stream into the sink and (when asked) the loopback.
bool Establish(CallState& c, std::string* error);
// With the session locked: closes the stream, unloads the modules and disconnects.
void UnloadAll(CallState& c);
// With the session locked: the server went away; Maintain brings it back.
void Lose(CallState& c, const std::string& reason);
// With the session locked, every few seconds: a lost server comes back, a microphone that went
// away is replaced by the new default (or one appears).
void Maintain(CallState& c);
// With the session locked: the loopback from the default source, when it is a microphone.
void DefaultMicrophone(CallState& c);

}  // namespace platform::wave::call
