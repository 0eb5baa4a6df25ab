// The call output on the sound server: the null sink, the Pulsor microphone on its monitor and the
// loopback from the user's microphone, each module marked with this process's token; what a
// Pulsor that has gone left behind is cleared away first.
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/wave/CallOutput.h"
#include "platform/wave/CallState.h"

namespace platform::wave::call {
namespace {

// The clients of Pulsor processes carry their token here, so that modules whose owner has gone
// can be told from those of another Pulsor that runs.
constexpr char kOwnerProperty[] = "pulsor.call.owner";
// How far the user's voice lags in the call (module-loopback's own default is 200 ms).
constexpr int kLoopbackLatencyMs = 20;
// A sink that has rendered further ahead than this is restarted.
constexpr uint64_t kRestartAboveUs = 50000;

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

}  // namespace

void Say(CallState& c, const std::string& line) {
    if (line != c.said) {
        std::fprintf(stderr, "pulsor: %s\n", line.c_str());
        c.said = line;
    }
}

void DefaultMicrophone(CallState& c) {
    PulseClient::Source source;
    std::string error;
    const bool found = c.client->DefaultSource(&source, &error);
    MixMicrophone(c, found ? &source : nullptr, error);
}

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

}  // namespace platform::wave::call
