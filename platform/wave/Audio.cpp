#include "platform/wave/Audio.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/kernel/Clock.h"
#include "platform/wave/CallOutput.h"
#include "platform/wave/Output.h"
#include "platform/wave/WaveOut.h"

namespace platform::wave {

namespace {

constexpr size_t kNoticeCapacity = 8192;

struct AudioState {
    std::mutex mutex;
    const OutputBackend* backend = nullptr;
    std::unique_ptr<BoundedQueue<Notice>> notices;
    std::unique_ptr<Mixer> mixer;
    std::unique_ptr<WavWriter> take;  // from ClaimTake until StopAudio
};

AudioState& State() {
    static AudioState* state = new AudioState();
    return *state;
}

bool ClaimTakeLocked(AudioState& s, const std::string& path, std::string* error) {
    auto take = std::make_unique<WavWriter>();
    if (!take->Claim(path, error)) {
        return false;
    }
    s.take = std::move(take);
    return true;
}

}  // namespace

bool ClaimTake(const std::string& path, std::string* error) {
    AudioState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return ClaimTakeLocked(s, path, error);
}

bool StartAudio(const DeviceOptions& options, std::string* error) {
    AudioState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.backend || options.noAudio) {
        return true;
    }
    if (!options.recordPath.empty() && !s.take && !ClaimTakeLocked(s, options.recordPath, error)) {
        return false;
    }
    s.notices = std::make_unique<BoundedQueue<Notice>>(kNoticeCapacity);
    s.mixer = std::make_unique<Mixer>(kDeviceRate, s.notices.get());
    OutputConfig config;
    config.mixer = s.mixer.get();
    config.periodFrames = std::clamp(options.audioBufferFrames, 16, kMaxChunkFrames);
    if (s.take) {
        s.take->Begin(kDeviceRate);  // a failure is said, and the take stays short
        config.take = s.take.get();
    }

    const OutputBackend* backend = options.headless ? &kNullOutput : &kSdlOutput;
    std::string reason;
    if (!backend->start(config, &reason)) {
        if (backend == &kSdlOutput) {
            std::fprintf(stderr, "pulsor: no sound output (%s); mixing without playing\n",
                         reason.c_str());
            backend = &kNullOutput;
            reason.clear();
            if (!backend->start(config, &reason)) {
                backend = nullptr;
            }
        } else {
            backend = nullptr;
        }
    }
    if (!backend) {
        if (error) {
            *error = reason;
        }
        SetCallOutputUnavailable("no sound output: " + reason);
        s.mixer.reset();
        s.notices.reset();
        return false;
    }
    s.backend = backend;
    OutputLink link;
    link.mixer = s.mixer.get();
    link.notices = s.notices.get();
    link.notifiesClock = backend->notifiesClock;
    link.pollNs = kNsPerMs;
    link.notifierPollNs = std::max<TimeNs>(
        kNsPerMs, static_cast<TimeNs>(config.periodFrames) * 1000000000u / kDeviceRate);
    AttachOutput(link);
    // The sound server plays on the wall clock; virtual time would run ahead of it (or lag).
    if (Clock::Instance().IsVirtual()) {
        SetCallOutputUnavailable(
            "the call output runs on the wall clock, which a headless run keeps only with "
            "--real-time");
    } else {
        AttachCallOutput(s.mixer.get(), config.periodFrames, options.call);
    }
    return true;
}

const char* ActiveOutputName() {
    AudioState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.backend ? s.backend->name : nullptr;
}

bool StopAudio() {
    AudioState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.backend) {
        // First: nothing of the call output stays on the server, whatever happens next.
        DetachCallOutput();
        CloseAllVoices();
        s.backend->stop();
        DetachOutput();
        s.backend = nullptr;
        s.mixer.reset();
        s.notices.reset();
    }
    const bool whole = !s.take || s.take->Close();
    s.take.reset();
    return whole;
}

}  // namespace platform::wave
