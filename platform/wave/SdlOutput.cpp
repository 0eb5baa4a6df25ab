// SDL2 audio output: 48 kHz stereo float from the system's default device. SDL's audio thread
// calls the mixer directly. When the device disappears (unplugged headphones, a restarted sound
// server) a monitor thread keeps the mixer running in real time and reopens the default device.
//
// Once nothing has played for a while the monitor holds the device's lock: SDL's audio thread
// keeps calling back even while paused, but waits on that lock, so the process goes quiet. The next
// command wakes the monitor, which lets go, and the callback renders it at once (well within a
// period); closing the device instead would cost a new stream, tens of milliseconds.
#include <SDL.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/LibpulseRaces.h"
#include "platform/wave/Output.h"
#include "platform/wave/Recorder.h"

namespace platform::wave {

namespace {

constexpr TimeNs kCheckNs = 250 * kNsPerMs;

struct SdlState {
    std::atomic<SDL_AudioDeviceID> device{0};
    std::atomic<bool> removed{false};
    std::atomic<bool> stop{false};
    Mixer* mixer = nullptr;
    int period = 256;
    std::thread monitor;
    std::vector<float> scratch;
    Recorder recorder;
    std::atomic<bool> recording{false};
};

SdlState& A() {
    static SdlState* state = new SdlState();
    return *state;
}

void SDLCALL Fill(void* user, Uint8* stream, int length) {
    const int frames = length / static_cast<int>(sizeof(float) * kDeviceChannels);
    static_cast<Mixer*>(user)->Render(reinterpret_cast<float*>(stream), frames);
    SdlState& a = A();
    if (a.recording.load(std::memory_order_relaxed)) {
        a.recorder.Push(reinterpret_cast<const float*>(stream), frames);
    }
}

int SDLCALL WatchRemoval(void*, SDL_Event* event) {
    SdlState& a = A();
    if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture &&
        event->adevice.which == a.device.load()) {
        a.removed = true;
        Clock::Instance().Notify();
    }
    return 0;
}

bool OpenDevice(std::string* error) {
    SdlState& a = A();
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kDeviceRate);
    want.format = AUDIO_F32SYS;
    want.channels = kDeviceChannels;
    want.samples = static_cast<Uint16>(a.period);
    want.callback = Fill;
    want.userdata = a.mixer;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device wants.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        if (error) {
            *error = SDL_GetError();
        }
        return false;
    }
    a.removed = false;
    a.device = id;
    SDL_PauseAudioDevice(id, 0);
    return true;
}

void CloseDevice() {
    SdlState& a = A();
    SDL_AudioDeviceID id = a.device.exchange(0);
    if (id) {
        SDL_CloseAudioDevice(id);  // waits for a running callback to return
    }
}

void Wake() {
    Clock::Instance().Notify();
}

// A take being recorded is fed from the callback, so the output stays awake for its timeline.
bool Quiet() {
    SdlState& a = A();
    return !a.recording.load() && a.mixer->IsIdle();
}

// Sleeps until a command, a removal, the output's stop or `until`. Returns true when it stopped.
bool Doze(TimeNs until) {
    SdlState& a = A();
    a.mixer->SetAsleep(true);
    const bool ready = Clock::Instance().WaitUntil(
        until, [&a] { return a.stop.load() || a.removed.load() || a.mixer->HasCommands(); });
    a.mixer->SetAsleep(false);
    return ready && a.stop.load();
}

void MonitorLoop();

void Monitor() {
    MonitorLoop();
    SDL_TLSCleanup();  // SDL's error text for this thread, which SDL did not start
}

void MonitorLoop() {
    SdlState& a = A();
    Clock& clock = Clock::Instance();
    const TimeNs periodNs = static_cast<TimeNs>(a.period) * 1000000000u / kDeviceRate;
    TimeNs nextTry = 0;
    TimeNs rendered = clock.Now();
    for (;;) {
        if (a.device.load()) {
            SDL_AudioDeviceID id = a.device.load();
            if (Quiet()) {
                SDL_LockAudioDevice(id);  // waits for a callback under way
                const bool stopped = Doze(kNever);
                SDL_UnlockAudioDevice(id);
                if (stopped) {
                    return;
                }
            } else {
                clock.WaitUntil(clock.Now() + kCheckNs,
                                [&a] { return a.stop.load() || a.removed.load(); });
            }
            if (a.stop) {
                return;
            }
            if (a.removed || SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED) {
                CloseDevice();
                rendered = clock.Now();
                nextTry = 0;
            }
            continue;
        }
        // No device: keep the voices moving (and their done notices coming) in real time.
        if (clock.Now() >= nextTry) {
            if (OpenDevice(nullptr)) {
                continue;
            }
            nextTry = clock.Now() + kCheckNs;
        }
        if (Quiet()) {
            if (Doze(nextTry)) {
                return;
            }
            rendered = clock.Now();
            continue;
        }
        rendered += periodNs;
        if (clock.WaitUntil(rendered, [&a] { return a.stop.load(); })) {
            return;
        }
        a.mixer->Render(a.scratch.data(), a.period);
        // What the mixer played while no device listened is part of the take too.
        if (a.recording.load(std::memory_order_relaxed)) {
            a.recorder.Push(a.scratch.data(), a.period);
        }
    }
}

bool Start(const OutputConfig& config, std::string* error) {
    SdlState& a = A();
    a.mixer = config.mixer;
    a.period = config.periodFrames;
    a.scratch.assign(static_cast<size_t>(a.period) * kDeviceChannels, 0.0f);
    a.mixer->SetWaker(Wake);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *error = SDL_GetError();
        return false;
    }
    // Recording starts before the first period is played.
    if (config.take) {
        a.recorder.Start(config.take);
        a.recording = true;
    }
    if (!OpenDevice(error)) {
        a.recording = false;
        a.recorder.Stop();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_AddEventWatch(WatchRemoval, nullptr);
    a.stop = false;
    a.monitor = Clock::StartThread(Monitor);
    return true;
}

void Stop() {
    SdlState& a = A();
    if (!a.monitor.joinable()) {
        return;
    }
    a.stop = true;
    Clock::Instance().Notify();
    a.monitor.join();
    SDL_DelEventWatch(WatchRemoval, nullptr);
    CloseDevice();
    a.recording = false;
    a.recorder.Stop();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

const OutputBackend kSdlOutput = {"sdl", Start, Stop, false};

}  // namespace platform::wave
