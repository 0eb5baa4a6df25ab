// The mixer's cost and its touch-to-sound latency.
//
// Cost: CPU time spent mixing one second of 48 kHz stereo float output, for 1, 8 and 33 voices of
// the 22050 Hz mono words (all looping) and for the 44.1 kHz stereo beat alone, in periods of 256
// frames. SDL2_mixer mixes the same files on as many channels in the same run: it runs on SDL's
// "dummy" audio driver, and its own mixing is timed inside its audio callback, from its music
// hook (called first, after it clears the buffer) to its post-mix hook (called last).
// Both convert every sound to the output format once, when it is loaded or prepared (here with
// libsoxr, as waveOut does), so mixing is summing; this mixer's cost includes its limiter.
//
// Latency: frames from waveOutWrite to the first output frame holding the sample, on the null
// output in real time. The device position at the moment of the write comes from the output's
// period schedule (period k due k periods after the start).
#include <SDL.h>
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/DeviceOptions.h"
#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Mixer.h"
#include "platform/wave/Output.h"
#include "platform/wave/Resampler.h"
#include "support/WaveTestFiles.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace platform::wave;

constexpr int kPeriod = 256;

// CPU time of the calling thread: the machine is shared, so wall time would count waiting.
double ThreadCpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}
constexpr int kPeriodsPerSecond = (48000 + kPeriod - 1) / kPeriod;

std::string SoundPath(const std::string& name) {
    return std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/" + name;
}

// The files a run with `voices` voices plays: the words L1..L16, H1..H16, then the beat; or the
// beat alone for voices == 0.
std::vector<std::string> Files(int voices) {
    if (voices == 0) {
        return {SoundPath("Pulsor.wav")};
    }
    std::vector<std::string> files;
    for (int i = 0; i < voices && i < 32; ++i) {
        files.push_back(SoundPath((i < 16 ? "L" : "H") + std::to_string(i % 16 + 1) + ".wav"));
    }
    if (voices > 32) {
        files.push_back(SoundPath("Pulsor.wav"));
    }
    return files;
}

std::string Label(int voices) {
    return voices == 0 ? "beat 44.1 kHz stereo" : std::to_string(voices) + " voices";
}

void BM_Mixer(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    struct Sound {
        std::vector<float> samples;  // at the device rate, as waveOut prepares them
        std::unique_ptr<MixerVoice> voice;
    };
    std::vector<Sound> sounds;
    BoundedQueue<Notice> notices(1024);
    Mixer mixer(kDeviceRate, &notices);
    uint64_t serial = 0;
    auto write = [&](Sound& s) {
        Command c;
        c.kind = Command::Write;
        c.voice = s.voice.get();
        c.data = reinterpret_cast<const uint8_t*>(s.samples.data());
        c.frames = static_cast<uint32_t>(s.samples.size() * 4 / s.voice->Format().frameBytes);
        c.serial = ++serial;
        mixer.Post(c);
    };
    for (const std::string& path : Files(count)) {
        Sound s;
        const std::vector<uint8_t> file = wavetest::ReadFile(path);
        WAVEFORMATEX f{};
        f.wFormatTag = 1;
        f.nChannels = file[22];
        f.nSamplesPerSec = file[24] | file[25] << 8 | file[26] << 16;
        f.nBlockAlign = static_cast<WORD>(file[32]);
        f.wBitsPerSample = file[34];
        SourceFormat parsed;
        if (!ParseFormat(f, &parsed) ||
            !ResampleToFloat(parsed, file.data() + 44,
                             static_cast<uint32_t>((file.size() - 44) / parsed.frameBytes),
                             kDeviceRate, &s.samples)) {
            state.SkipWithError(("unplayable " + path).c_str());
            return;
        }
        SourceFormat mix;
        mix.type = SampleType::F32;
        mix.channels = parsed.channels;
        mix.rate = kDeviceRate;
        mix.frameBytes = static_cast<uint32_t>(4 * parsed.channels);
        s.voice = std::make_unique<MixerVoice>(mix);
        Command add;
        add.kind = Command::Add;
        add.voice = s.voice.get();
        mixer.Post(add);
        sounds.push_back(std::move(s));
        write(sounds.back());
        write(sounds.back());  // a second copy queued behind: the voice never falls silent
    }
    std::vector<float> out(kPeriod * 2);
    for (auto _ : state) {
        const double t0 = ThreadCpuSeconds();
        for (int p = 0; p < kPeriodsPerSecond; ++p) {
            mixer.Render(out.data(), kPeriod);
            Notice n;
            while (notices.TryPop(&n)) {
                n.voice->noticesInFlight.fetch_sub(1);
                for (Sound& s : sounds) {
                    if (s.voice.get() == n.voice) {
                        write(s);
                    }
                }
            }
        }
        benchmark::DoNotOptimize(out.data());
        state.SetIterationTime(ThreadCpuSeconds() - t0);
    }
    state.SetLabel(Label(count) + ", per second of output");
}

// SDL2_mixer's mixing time, measured inside its audio callback.
struct SdlMixTiming {
    std::atomic<double> seconds{0};
    std::atomic<int> callbacks{0};
    double start = 0;
    double clockCost = 0;  // one ThreadCpuSeconds() pair, taken off every callback's time
};
SdlMixTiming gTiming;

void SDLCALL BeforeChannels(void*, Uint8*, int) {
    gTiming.start = ThreadCpuSeconds();
}
void SDLCALL AfterChannels(void*, Uint8*, int) {
    const double spent = ThreadCpuSeconds() - gTiming.start - gTiming.clockCost;
    gTiming.seconds = gTiming.seconds.load() + std::max(0.0, spent);
    gTiming.callbacks += 1;
}

double ClockPairCost() {
    std::vector<double> costs;
    for (int i = 0; i < 2001; ++i) {
        const double a = ThreadCpuSeconds();
        costs.push_back(ThreadCpuSeconds() - a);
    }
    std::nth_element(costs.begin(), costs.begin() + 1000, costs.end());
    return costs[1000];
}

void BM_SdlMixer(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_AUDIO) != 0 ||
        Mix_OpenAudioDevice(48000, AUDIO_F32SYS, 2, kPeriod, nullptr, 0) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    Mix_AllocateChannels(33);
    std::vector<Mix_Chunk*> chunks;
    for (const std::string& path : Files(count)) {
        chunks.push_back(Mix_LoadWAV(path.c_str()));
        if (!chunks.back()) {
            state.SkipWithError(Mix_GetError());
            return;
        }
    }
    gTiming.clockCost = ClockPairCost();
    Mix_HookMusic(BeforeChannels, nullptr);
    Mix_SetPostMix(AfterChannels, nullptr);
    for (size_t i = 0; i < chunks.size(); ++i) {
        Mix_PlayChannel(static_cast<int>(i), chunks[i], -1);
    }
    for (auto _ : state) {
        gTiming.callbacks = 0;
        gTiming.seconds = 0;
        while (gTiming.callbacks.load() < kPeriodsPerSecond) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Scaled to exactly one second of output.
        const double perCallback = gTiming.seconds.load() / gTiming.callbacks.load();
        state.SetIterationTime(perCallback * kPeriodsPerSecond);
    }
    Mix_HaltChannel(-1);
    Mix_HookMusic(nullptr, nullptr);
    Mix_SetPostMix(nullptr, nullptr);
    for (Mix_Chunk* c : chunks) {
        Mix_FreeChunk(c);
    }
    Mix_CloseAudio();
    SDL_Quit();
    state.SetLabel(Label(count) + ", per second of output");
}

// Latency: waveOutWrite to the first frame of the output that holds the sample.
struct Period {
    uint64_t firstFrame;
    SteadyClock::time_point renderedAt;
    long soundAt;  // first sounding frame in it, or -1
};

void BM_TouchToSoundFrames(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    std::mutex mutex;
    std::vector<Period> periods;
    uint64_t rendered = 0;
    SetNullOutputTap([&](const float* frames, int count) {
        Period p{rendered, SteadyClock::now(), -1};
        for (int i = 0; i < count; ++i) {
            if (frames[2 * i] != 0.0f) {
                p.soundAt = i;
                break;
            }
        }
        rendered += static_cast<uint64_t>(count);
        std::lock_guard<std::mutex> lock(mutex);
        periods.push_back(p);
    });
    platform::Clock::Instance().SetVirtual(false);
    platform::DeviceOptions options;
    options.headless = true;
    options.audioBufferFrames = period;
    std::string error;
    if (!StartAudio(options, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 48000;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = 96000;
    f.wBitsPerSample = 16;
    HWAVEOUT h = nullptr;
    waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL);
    auto data = wavetest::Level16(64, 10000);
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(data.data());
    header.dwBufferLength = static_cast<DWORD>(data.size());
    waveOutPrepareHeader(h, &header, sizeof header);

    std::mt19937 random(1);
    const double periodSeconds = period / 48000.0;
    std::uniform_real_distribution<double> delay(0.0, 3 * periodSeconds);
    std::vector<double> latencies;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::duration<double>(delay(random)));
        size_t seen;
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen = periods.size();
        }
        const auto written = SteadyClock::now();
        waveOutWrite(h, &header, sizeof header);
        for (;;) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::lock_guard<std::mutex> lock(mutex);
            auto it = std::find_if(periods.begin() + static_cast<long>(seen), periods.end(),
                                   [](const Period& p) { return p.soundAt >= 0; });
            if (it == periods.end()) {
                continue;
            }
            // The device clock: period k is due at start + k periods, and is rendered then or,
            // on a busy machine, a little later; the least late period gives the start.
            double start = 1e300;
            for (const Period& p : periods) {
                start = std::min(
                    start, std::chrono::duration<double>(p.renderedAt.time_since_epoch()).count() -
                               static_cast<double>(p.firstFrame) / 48000.0);
            }
            const double position =
                (std::chrono::duration<double>(written.time_since_epoch()).count() - start) *
                48000.0;
            latencies.push_back(static_cast<double>(it->firstFrame + it->soundAt) - position);
            break;
        }
        waveOutReset(h);
    }
    waveOutUnprepareHeader(h, &header, sizeof header);
    waveOutClose(h);
    StopAudio();
    SetNullOutputTap(nullptr);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["period"] = period;
        state.counters["min_frames"] = latencies.front();
        state.counters["median_frames"] = latencies[latencies.size() / 2];
        state.counters["p99_frames"] = latencies[latencies.size() * 99 / 100];
        state.counters["max_frames"] = latencies.back();
        // Writes that landed in a period the output was late to render (a busy machine).
        state.counters["behind"] = static_cast<double>(
            std::count_if(latencies.begin(), latencies.end(), [](double l) { return l < 0; }));
        state.counters["over_period"] = static_cast<double>(std::count_if(
            latencies.begin(), latencies.end(), [&](double l) { return l > period; }));
    }
}

}  // namespace

BENCHMARK(BM_Mixer)->Arg(1)->Arg(8)->Arg(33)->Arg(0)->UseManualTime()->Unit(
    benchmark::kMicrosecond);
BENCHMARK(BM_SdlMixer)
    ->Arg(1)
    ->Arg(8)
    ->Arg(33)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TouchToSoundFrames)->Arg(64)->Arg(128)->Arg(256)->Iterations(300);
