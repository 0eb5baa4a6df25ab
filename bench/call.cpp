// Into the call: how much later than the local output a word reaches the "Pulsor microphone",
// and how long turning the call output on and off takes. Needs a sound server (PulseAudio, or
// PipeWire's pipewire-pulse): scripts/start-pulseaudio.sh starts one.
//
// BM_CallPathLatency/P/paused: the null output in real time with periods of P frames and the
// call output on; a 50 ms click written with waveOutWrite at random moments (busy: every 250 to
// 400 ms, so the output never idles; paused: after 3 s of silence, so the output and the call's
// writer have gone to sleep). Three instants per click, on the steady clock: the write; the
// output rendering the period that holds its first sample (what the local device is handed);
// and the first fragment holding it that a recorder of the Pulsor microphone receives (a
// libpulse record stream asking for 1 ms fragments). `added_ms` is the last less the second:
// what the call path adds to the local output; `total_ms` the last less the first.
//
// BM_CallSwitch: SndSetCallOutput on (connect, clear stale modules, make the sink, the source
// and the stream) and off (unload all, disconnect), ten times each.
#include <benchmark/benchmark.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Output.h"
#include "platform/win32.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               SteadyClock::now().time_since_epoch())
        .count();
}

// The first instant, after arming, that a block holding sound was seen.
struct OnsetWatch {
    std::atomic<bool> armed{false};
    std::atomic<int64_t> at{0};
    void Arm() {
        at = 0;
        armed = true;
    }
    template <class T>
    void Look(const T* samples, size_t count, double floor) {
        if (!armed.load()) {
            return;
        }
        for (size_t i = 0; i < count; ++i) {
            if (std::fabs(static_cast<double>(samples[i])) > floor) {
                at = NowNs();
                armed = false;
                return;
            }
        }
    }
};

OnsetWatch gRendered;
OnsetWatch gHeard;

bool SetCall(DWORD mode) {
    SNDCALL call{};
    call.mode = mode;
    call.volume = 100;
    call.withMicrophone = FALSE;
    return SndSetCallOutput(&call) && call.on == (mode == SNDCALL_ON);
}

// The null output in real time, feeding the call output.
bool StartOutput(int period, benchmark::State& state) {
    platform::Clock::Instance().SetVirtual(false);
    platform::wave::SetNullOutputTap(
        [](const float* frames, int count) { gRendered.Look(frames, count * 2u, 0.01); });
    platform::DeviceOptions options;
    options.headless = true;
    options.audioBufferFrames = period;
    std::string error;
    if (!platform::wave::StartAudio(options, &error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    return true;
}

void StopOutput() {
    platform::wave::StopAudio();
    platform::wave::SetNullOutputTap(nullptr);
}

void BM_CallPathLatency(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    const bool paused = state.range(1) == 1;
    if (!StartOutput(period, state)) {
        return;
    }
    if (!SetCall(SNDCALL_ON)) {
        StopOutput();
        state.SkipWithError("the call output does not come on (no sound server?)");
        return;
    }
    pa_sample_spec format = {PA_SAMPLE_S16LE, 48000, 2};
    pa_buffer_attr attr = {static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                           static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), 48 * 4};
    int code = 0;
    pa_simple* recorder =
        pa_simple_new(nullptr, "bench_call", PA_STREAM_RECORD, "pulsor_microphone", "latency",
                      &format, nullptr, &attr, &code);
    if (!recorder) {
        SetCall(SNDCALL_OFF);
        StopOutput();
        state.SkipWithError(pa_strerror(code));
        return;
    }
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::vector<int16_t> block(48 * 2);
        while (!stop.load() &&
               pa_simple_read(recorder, block.data(), block.size() * 2, nullptr) == 0) {
            gHeard.Look(block.data(), block.size(), 0.01 * 32768);
        }
    });

    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
    HWAVEOUT stream = nullptr;
    waveOutOpen(&stream, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    std::vector<int16_t> click(2400);
    for (size_t i = 0; i < click.size(); ++i) {
        click[i] = static_cast<int16_t>(12000 * std::sin(i * 2 * M_PI * 440 / 48000.0));
    }
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(click.data());
    header.dwBufferLength = static_cast<DWORD>(click.size() * 2);
    waveOutPrepareHeader(stream, &header, sizeof header);

    std::mt19937 random(3);
    std::uniform_int_distribution<int> wait(250, 400);
    std::vector<double> added;
    std::vector<double> total;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(paused ? 3000 : wait(random)));
        gRendered.Arm();
        gHeard.Arm();
        waveOutReset(stream);
        const int64_t written = NowNs();
        waveOutWrite(stream, &header, sizeof header);
        for (int i = 0; i < 1000 && (gRendered.at == 0 || gHeard.at == 0); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (gRendered.at == 0 || gHeard.at == 0) {
            state.SkipWithError("a click was not heard in the call");
            break;
        }
        added.push_back((gHeard.at - gRendered.at) / 1e6);
        total.push_back((gHeard.at - written) / 1e6);
    }
    stop = true;
    waveOutReset(stream);
    waveOutUnprepareHeader(stream, &header, sizeof header);
    waveOutClose(stream);
    SetCall(SNDCALL_OFF);  // the source goes, and the reader's read with it
    reader.join();
    pa_simple_free(recorder);
    StopOutput();
    if (added.empty()) {
        return;
    }
    std::sort(added.begin(), added.end());
    std::sort(total.begin(), total.end());
    state.counters["added_median_ms"] = added[added.size() / 2];
    state.counters["added_max_ms"] = added.back();
    state.counters["total_median_ms"] = total[total.size() / 2];
    state.counters["total_max_ms"] = total.back();
    state.SetLabel(paused ? "after 3 s quiet" : "busy");
}
BENCHMARK(BM_CallPathLatency)
    ->ArgsProduct({{64, 128, 256}, {0}})
    ->Iterations(40)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_CallPathLatency)
    ->ArgsProduct({{64, 128, 256}, {1}})
    ->Iterations(8)
    ->Unit(benchmark::kSecond);

void BM_CallSwitch(benchmark::State& state) {
    if (!StartOutput(256, state)) {
        return;
    }
    std::vector<double> on;
    std::vector<double> off;
    for (auto _ : state) {
        const int64_t start = NowNs();
        if (!SetCall(SNDCALL_ON)) {
            state.SkipWithError("the call output does not come on (no sound server?)");
            break;
        }
        const int64_t middle = NowNs();
        SetCall(SNDCALL_OFF);
        on.push_back((middle - start) / 1e6);
        off.push_back((NowNs() - middle) / 1e6);
    }
    StopOutput();
    if (on.empty()) {
        return;
    }
    std::sort(on.begin(), on.end());
    std::sort(off.begin(), off.end());
    state.counters["on_median_ms"] = on[on.size() / 2];
    state.counters["on_max_ms"] = on.back();
    state.counters["off_median_ms"] = off[off.size() / 2];
    state.counters["off_max_ms"] = off.back();
}
BENCHMARK(BM_CallSwitch)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
