// The call output's writer: the mixer's periods from the ring into the call sink at the call's
// level, and turning it on and off.
#include "platform/wave/CallOutput.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/wave/CallState.h"

namespace platform::wave {

const char kCallSinkName[] = "pulsor_call";
const char kCallSourceName[] = "pulsor_microphone";
const char kCallMark[] = "pulsor.call";

namespace call {

CallState& C() {
    static CallState* state = new CallState();
    return *state;
}

}  // namespace call

namespace {

using namespace call;

constexpr size_t kChunkFrames = 1024;
// A lost server, or a microphone that went away or is not there yet, is looked for this often.
constexpr TimeNs kRetryNs = 2000 * kNsPerMs;
// -80 dBFS: a pause, where the stream may shed what it holds beyond its lead.
constexpr float kSilence = 1e-4f;

// With the session locked: what the ring holds into the stream, at the call's level. The stream
// starts once it holds `leadFrames` (again after running dry), so it does not run dry between two
// periods; in a pause it sheds what it gained beyond that (the local output's clock may run a
// little faster than the server's).
void Feed(CallState& c, std::vector<float>& chunk) {
    size_t room = c.client->Room();
    size_t held = kBufferFrames - std::min<size_t>(room, kBufferFrames);
    const float gain = c.gain.load(std::memory_order_relaxed);
    size_t frames;
    while ((frames = c.ring.Pop(chunk.data(), kChunkFrames)) > 0) {
        float peak = 0;
        for (size_t i = 0; i < frames * 2; ++i) {
            chunk[i] *= gain;
            peak = std::max(peak, std::fabs(chunk[i]));
        }
        if (peak < kSilence && held > c.leadFrames) {
            continue;
        }
        // A server that fell behind loses the oldest sound, not the call's timing.
        const size_t skip = frames > room ? frames - room : 0;
        if (!c.client->Write(chunk.data() + skip * 2, frames - skip)) {
            Lose(c, "the sound server went away");
            return;
        }
        room -= frames - skip;
        held += frames - skip;
    }
}

void WriterLoop() {
    CallState& c = C();
    Clock& clock = Clock::Instance();
    std::vector<float> chunk(kChunkFrames * 2);
    {
        std::lock_guard<std::mutex> lock(c.session);
        c.nextTry = clock.Now() + kRetryNs;
    }
    while (!c.stop.load()) {
        if (c.ring.Available() == 0 && c.mixer->IsAsleep()) {
            // The output sleeps until the next command; so does the writer.
            clock.WaitUntil(clock.Now() + kRetryNs, [&c] {
                return c.stop.load() || !c.mixer->IsAsleep() || c.mixer->HasCommands();
            });
        } else {
            clock.WaitUntil(clock.Now() + c.pollNs, [&c] { return c.stop.load(); });
        }
        if (c.stop.load()) {
            break;
        }
        std::lock_guard<std::mutex> lock(c.session);
        if (c.client && !c.client->Connected()) {
            Lose(c, "the sound server went away");
        }
        if (c.client) {
            Feed(c, chunk);
        } else {
            c.ring.Clear();
        }
        if (clock.Now() >= c.nextTry) {
            Maintain(c);
            c.nextTry = clock.Now() + kRetryNs;
        }
    }
}

// With the control locked.
void TurnOff(CallState& c) {
    if (c.writer.joinable()) {
        c.stop = true;
        Clock::Instance().Notify();
        c.writer.join();
    }
    if (c.mixer) {
        c.mixer->SetTap(nullptr);
    }
    std::lock_guard<std::mutex> lock(c.session);
    UnloadAll(c);
    c.lost.clear();
    c.microphoneReason.clear();
    c.said.clear();
}

}  // namespace

using namespace call;

void AttachCallOutput(Mixer* mixer, int periodFrames, bool onWhenAsStarted) {
    CallState& c = C();
    std::lock_guard<std::mutex> lock(c.control);
    c.mixer = mixer;
    c.onWhenAsStarted = onWhenAsStarted;
    c.periodFrames = static_cast<uint32_t>(periodFrames);
    // Half a period, between 1 and 2 ms: the writer's wait adds little to the call's delay.
    const TimeNs period = static_cast<TimeNs>(periodFrames) * 1000000000u / kDeviceRate;
    c.pollNs = std::clamp<TimeNs>(period / 2, kNsPerMs, 2 * kNsPerMs);
    const uint32_t pollFrames = static_cast<uint32_t>(c.pollNs * kDeviceRate / 1000000000u);
    c.leadFrames = kRequestFrames + c.periodFrames + pollFrames + kDeviceRate / 1000;
}

void DetachCallOutput() {
    CallState& c = C();
    std::lock_guard<std::mutex> lock(c.control);
    TurnOff(c);
    c.mixer = nullptr;
    c.unavailable = "the sound output has stopped";
}

void SetCallOutputUnavailable(const std::string& reason) {
    CallState& c = C();
    std::lock_guard<std::mutex> lock(c.control);
    c.unavailable = reason;
}

CallStatus SetCallOutput(const CallRequest& request) {
    CallState& c = C();
    std::lock_guard<std::mutex> control(c.control);
    const bool on = request.mode == CallRequest::On ||
                    (request.mode == CallRequest::AsStarted && c.mixer && c.onWhenAsStarted);
    CallStatus status;
    if (!c.mixer) {
        if (on) {
            status.reason = c.unavailable;
            std::lock_guard<std::mutex> lock(c.session);
            Say(c, "no call output: " + status.reason);
        }
        return status;
    }
    c.gain = static_cast<float>(std::clamp(request.volume, 0, 100)) / 100.0f;
    if (!on) {
        TurnOff(c);
        return status;
    }
    if (!c.writer.joinable()) {
        std::lock_guard<std::mutex> lock(c.session);
        c.wantMicrophone = request.microphone;
        std::string error;
        if (!Establish(c, &error)) {
            status.reason = error;
            Say(c, "no call output: " + error);
            return status;
        }
        c.lost.clear();
        c.ring.Clear();
        c.mixer->SetTap(&c.ring);
        c.stop = false;
        c.writer = std::thread(WriterLoop);
    }
    std::lock_guard<std::mutex> lock(c.session);
    if (c.wantMicrophone != request.microphone) {
        // A lost server comes back with the microphone as asked now.
        c.wantMicrophone = request.microphone;
        if (c.client && c.wantMicrophone) {
            DefaultMicrophone(c);
        } else if (c.client && c.loopbackModule != kNoModule) {
            c.client->UnloadModule(c.loopbackModule);
            c.loopbackModule = kNoModule;
        }
    }
    status.on = c.client != nullptr;
    status.microphone = status.on && c.loopbackModule != kNoModule;
    if (!status.on) {
        status.reason = c.lost;
    } else if (request.microphone && !status.microphone) {
        status.reason = c.microphoneReason;
        Say(c, "call output without the microphone: " + status.reason);
    }
    return status;
}

}  // namespace platform::wave

BOOL SndSetCallOutput(SNDCALL* call) {
    if (!call) {
        return FALSE;
    }
    platform::wave::CallRequest request;
    request.mode = call->mode == SNDCALL_ON           ? platform::wave::CallRequest::On
                   : call->mode == SNDCALL_AS_STARTED ? platform::wave::CallRequest::AsStarted
                                                      : platform::wave::CallRequest::Off;
    request.volume = static_cast<int>(std::min<DWORD>(call->volume, 100));
    request.microphone = call->withMicrophone != FALSE;
    const platform::wave::CallStatus status = platform::wave::SetCallOutput(request);
    call->on = status.on;
    call->microphoneMixed = status.microphone;
    const std::wstring reason = platform::FromUtf8(status.reason);
    StringCchCopyW(call->reason, sizeof(call->reason) / sizeof(call->reason[0]), reason.c_str());
    return status.reason.empty();
}
