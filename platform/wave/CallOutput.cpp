#include "platform/wave/CallOutput.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/WideString.h"
#include "platform/wave/FrameRing.h"
#include "platform/wave/PulseClient.h"

namespace platform::wave {

const char kCallSinkName[] = "pulsor_call";
const char kCallSourceName[] = "pulsor_microphone";
const char kCallMark[] = "pulsor.call";

namespace {

constexpr uint32_t kNoModule = UINT32_MAX;
// The clients of Pulsor processes carry their token here, so that modules whose owner has gone
// can be told from those of another Pulsor that runs.
constexpr char kOwnerProperty[] = "pulsor.call.owner";

// Far more than the writer ever lags behind the audio thread.
constexpr size_t kRingFrames = kDeviceRate / 2;
// The call sink takes its sound every 2 ms (its latency).
constexpr uint32_t kRequestFrames = kDeviceRate / 500;
// The most the stream may hold: past this the server has fallen behind, and the oldest sound
// gives way so that the call stays close to the room.
constexpr uint32_t kBufferFrames = kDeviceRate * 30 / 1000;
constexpr size_t kChunkFrames = 1024;
// A lost server, or a microphone that went away or is not there yet, is looked for this often.
constexpr TimeNs kRetryNs = 2000 * kNsPerMs;
// How far the user's voice lags in the call (module-loopback's own default is 200 ms).
constexpr int kLoopbackLatencyMs = 20;
// A sink that has rendered further ahead than this is restarted.
constexpr uint64_t kRestartAboveUs = 50000;
// -80 dBFS: a pause, where the stream may shed what it holds beyond its lead.
constexpr float kSilence = 1e-4f;

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

CallState& C() {
    static CallState* state = new CallState();
    return *state;
}

// With the session locked.
void Say(CallState& c, const std::string& line) {
    if (line != c.said) {
        std::fprintf(stderr, "pulsor: %s\n", line.c_str());
        c.said = line;
    }
}

std::string MakeToken() {
    std::random_device device;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", device(), device());
    return text;
}

// The token in a module's arguments, or empty when the module is not one of Pulsor's.
std::string TokenOf(const std::string& argument) {
    const std::string key = std::string(kCallMark) + "=";
    const size_t at = argument.find(key);
    if (at == std::string::npos) {
        return std::string();
    }
    const size_t from = at + key.size();
    const size_t end = argument.find_first_not_of("0123456789abcdef", from);
    return argument.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// Text from the server (a source's name or description) inside a quoted module argument.
std::string Unquoted(std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](char ch) { return ch == '"' || ch == '\'' || ch == '\\'; }),
               text.end());
    return text;
}

std::string Properties(const CallState& c, const std::string& description) {
    return "'device.description=\"" + description + "\" " + kCallMark + "=" + c.token + "'";
}

// Modules left by a Pulsor that has gone (killed, crashed) are unloaded; those of another Pulsor
// that runs are left alone, and this one then has no call output: there is one Pulsor
// microphone.
bool RemoveStale(CallState& c, std::string* error) {
    std::vector<PulseClient::Module> modules;
    std::vector<std::string> owners;
    if (!c.client->ListModules(&modules, error) ||
        !c.client->ListClientProperty(kOwnerProperty, &owners, error)) {
        return false;
    }
    // The latest first: a loopback or source before the sink it plays into or listens to.
    std::sort(modules.begin(), modules.end(),
              [](const auto& a, const auto& b) { return a.index > b.index; });
    for (const PulseClient::Module& module : modules) {
        const std::string token = TokenOf(module.argument);
        if (token.empty()) {
            continue;
        }
        if (token != c.token && std::find(owners.begin(), owners.end(), token) != owners.end()) {
            *error = "another Pulsor already feeds the Pulsor microphone";
            return false;
        }
        c.client->UnloadModule(module.index);
    }
    return true;
}

// With the session locked: the loopback from `source` (the default source as it was before the
// call's own source appeared), when it is a microphone.
void MixMicrophone(CallState& c, const PulseClient::Source* source, const std::string& missing) {
    c.microphoneReason.clear();
    if (!source) {
        c.microphoneReason = missing;
        return;
    }
    if (source->name == kCallSourceName) {
        c.microphoneReason = "the default microphone is the Pulsor microphone itself";
        return;
    }
    if (source->monitor) {
        c.microphoneReason = "the default input is an output's sound (" + source->description +
                             "), not a microphone";
        return;
    }
    // It does not follow the default elsewhere: where the microphone goes, the loopback ends,
    // and the writer looks for the next one (never the call's own source, which would echo).
    const std::string argument =
        "source=\"" + Unquoted(source->name) + "\" sink=" + kCallSinkName +
        " latency_msec=" + std::to_string(kLoopbackLatencyMs) +
        " source_dont_move=true sink_dont_move=true sink_input_properties='media.name=\"" +
        Unquoted(source->description) + "\" " + kCallMark + "=" + c.token +
        "' source_output_properties='media.name=\"Pulsor microphone\" " + kCallMark + "=" +
        c.token + "'";
    std::string error;
    if (!c.client->LoadModule("module-loopback", argument, &c.loopbackModule, &error)) {
        c.loopbackModule = kNoModule;
        c.microphoneReason = error;
    }
}

void DefaultMicrophone(CallState& c) {
    PulseClient::Source source;
    std::string error;
    const bool found = c.client->DefaultSource(&source, &error);
    MixMicrophone(c, found ? &source : nullptr, error);
}

// With the session locked.
void UnloadAll(CallState& c) {
    if (c.client) {
        c.client->ClosePlayback();
        for (uint32_t* module : {&c.loopbackModule, &c.sourceModule, &c.sinkModule}) {
            if (*module != kNoModule) {
                c.client->UnloadModule(*module);
            }
        }
        c.client.reset();
    }
    c.loopbackModule = c.sourceModule = c.sinkModule = kNoModule;
}

// With the session locked: a default sink or source the server (or its session manager) moved
// to the call's devices goes back to the user's. The call mix as the default output would send
// every program's sound into the call; the Pulsor microphone stays default only where there was
// no other.
void KeepUserDefaults(CallState& c) {
    std::string sink;
    std::string source;
    std::string error;
    if (!c.client->Defaults(&sink, &source, &error)) {
        return;
    }
    if (sink == kCallSinkName && !c.userSink.empty() && c.userSink != kCallSinkName) {
        c.client->SetDefault(true, c.userSink);
    }
    if (source == kCallSourceName && !c.userSource.empty() && c.userSource != kCallSourceName) {
        c.client->SetDefault(false, c.userSource);
    }
}

// With the session locked: connects, clears away what a gone Pulsor left, and makes the sink, the
// microphone, the stream into the sink and (when asked) the loopback.
bool Establish(CallState& c, std::string* error) {
    if (c.token.empty()) {
        c.token = MakeToken();
    }
    c.client = std::make_unique<PulseClient>();
    if (!c.client->Connect({{"application.name", "Pulsor"},
                            {"application.icon_name", "pulsor"},
                            {kOwnerProperty, c.token}},
                           error) ||
        !RemoveStale(c, error)) {
        UnloadAll(c);
        return false;
    }
    // Asked before the call's own source exists: with no microphone on the machine, the server
    // makes that one the default.
    PulseClient::Source microphone;
    std::string noMicrophone;
    const bool haveMicrophone = c.client->DefaultSource(&microphone, &noMicrophone);
    std::string noDefaults;
    c.client->Defaults(&c.userSink, &c.userSource, &noDefaults);
    const std::string sink = std::string("sink_name=") + kCallSinkName +
                             " format=float32le rate=48000 channels=2 sink_properties=" +
                             Properties(c, "Pulsor call mix");
    const std::string source = std::string("source_name=") + kCallSourceName +
                               " master=" + kCallSinkName +
                               ".monitor source_properties=" + Properties(c, "Pulsor microphone");
    if (!c.client->LoadModule("module-null-sink", sink, &c.sinkModule, error) ||
        !c.client->AwaitDevice(true, kCallSinkName, error) ||
        !c.client->LoadModule("module-remap-source", source, &c.sourceModule, error) ||
        !c.client->AwaitDevice(false, kCallSourceName, error) ||
        !c.client->OpenPlayback(
            kCallSinkName, {{"media.name", "Pulsor into the call"}, {"application.name", "Pulsor"}},
            kRequestFrames, kBufferFrames, c.leadFrames, error)) {
        UnloadAll(c);
        return false;
    }
    // PulseAudio's new null sink rendered ahead by its longest block (2 s) before this stream
    // asked for 2 ms, and would only hear it once that has passed; restarted, it follows the
    // stream. (PipeWire's does not run ahead, and its remap source stops hearing a sink that was
    // suspended.)
    uint64_t ahead = 0;
    if (c.client->SinkLatency(kCallSinkName, &ahead) && ahead > kRestartAboveUs) {
        c.client->RestartSink(kCallSinkName);
    }
    KeepUserDefaults(c);
    if (c.wantMicrophone) {
        MixMicrophone(c, haveMicrophone ? &microphone : nullptr, noMicrophone);
    }
    return true;
}

void Lose(CallState& c, const std::string& reason) {
    UnloadAll(c);
    c.lost = reason;
    Say(c, "call output: " + reason + "; trying again");
}

// With the session locked, every few seconds: a lost server comes back, a microphone that went
// away is replaced by the new default (or one appears).
void Maintain(CallState& c) {
    if (!c.client) {
        std::string error;
        if (Establish(c, &error)) {
            c.lost.clear();
            Say(c, "call output: the Pulsor microphone is back");
        }
        return;
    }
    if (!c.userSink.empty() || !c.userSource.empty()) {
        KeepUserDefaults(c);
        c.userSink.clear();
        c.userSource.clear();
    }
    if (!c.wantMicrophone) {
        return;
    }
    if (c.loopbackModule != kNoModule) {
        std::vector<PulseClient::Module> modules;
        std::string error;
        if (!c.client->ListModules(&modules, &error) ||
            std::none_of(modules.begin(), modules.end(),
                         [&c](const auto& m) { return m.index == c.loopbackModule; })) {
            c.loopbackModule = kNoModule;
        }
    }
    if (c.loopbackModule == kNoModule) {
        DefaultMicrophone(c);
    }
}

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
