// What an idle Pulsor costs, and what idling costs the first word after a pause.
//
// BM_IdleCpu/form: the real executable, untouched, on the wall clock: headless (--real-time, the
// null output), in a window and full screen (SDL video and audio: needs DISPLAY and a sound
// server; skipped without a display). After the splash and the output's quiet spell, the
// process's own processor time (utime + stime from /proc) over windows of ten seconds; the
// median share of one core.
//
// BM_FirstWordLatency/output/paused: from posting a word to the mixer to the start of the render
// that plays it, on the null output in real time (0) or SDL audio (1), either after a pause of
// three seconds (the output has gone idle) or at random moments while it renders.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/wave/Mixer.h"
#include "platform/wave/Output.h"

#include "tests/support/Spawn.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::wave;
using SteadyClock = std::chrono::steady_clock;

const std::string kExe = PULSOR_EXE;
constexpr int kSettleSeconds = 6;  // the two-second splash, then two quiet seconds, and margin
constexpr int kWindowSeconds = 10;
constexpr int kWindows = 3;

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return -1;
    }
    unsigned long utime = 0;
    unsigned long stime = 0;
    // After the command: state (field 3) … utime (14), stime (15).
    if (std::sscanf(stat.c_str() + end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                    &utime, &stime) != 2) {
        return -1;
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_IdleCpu(benchmark::State& state) {
    const int form = static_cast<int>(state.range(0));
    if (form > 0 && !std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY for the window");
        return;
    }
    const fs::path dir = fs::temp_directory_path() / ("pulsor-idle-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "script.txt") << "wait 3600000\n";
    std::vector<std::string> args = {kExe, "--config-dir", (dir / "config").string()};
    if (form == 0) {
        args.insert(args.end(),
                    {"--headless", "--real-time", "--script", (dir / "script.txt").string()});
    } else if (form == 2) {
        args.push_back("--fullscreen");
    }
    std::vector<double> shares;
    for (auto _ : state) {
        const pid_t child = spawn::Start(args, spawn::Quiet());
        std::this_thread::sleep_for(std::chrono::seconds(kSettleSeconds));
        for (int i = 0; i < kWindows; ++i) {
            const double before = CpuSeconds(child);
            const auto start = SteadyClock::now();
            std::this_thread::sleep_for(std::chrono::seconds(kWindowSeconds));
            const double after = CpuSeconds(child);
            const double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
            if (before < 0 || after < 0) {
                break;
            }
            shares.push_back(100.0 * (after - before) / wall);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    fs::remove_all(dir);
    if (shares.size() < static_cast<size_t>(kWindows)) {
        state.SkipWithError("pulsor did not keep running");
        return;
    }
    std::sort(shares.begin(), shares.end());
    state.counters["median_percent"] = shares[shares.size() / 2];
    state.counters["max_percent"] = shares.back();
    state.SetLabel(form == 0 ? "headless --real-time" : form == 1 ? "window" : "full screen");
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

void BM_FirstWordLatency(benchmark::State& state) {
    const bool sdl = state.range(0) == 1;
    const bool paused = state.range(1) == 1;
    constexpr int kPeriod = 256;
    platform::Clock::Instance().SetVirtual(false);
    BoundedQueue<Notice> notices(1024);
    Mixer mixer(kDeviceRate, &notices);
    const OutputBackend& backend = sdl ? kSdlOutput : kNullOutput;
    OutputConfig config;
    config.mixer = &mixer;
    config.periodFrames = kPeriod;
    std::string error;
    if (!backend.start(config, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    SourceFormat format;
    format.type = SampleType::S16;
    format.channels = 1;
    format.rate = kDeviceRate;
    format.frameBytes = 2;
    MixerVoice voice(format);
    Command add;
    add.kind = Command::Add;
    add.voice = &voice;
    mixer.Post(add);
    std::vector<int16_t> word(64, 10000);

    std::mt19937 random(1);
    const double periodSeconds = kPeriod / static_cast<double>(kDeviceRate);
    std::uniform_real_distribution<double> delay(0.0, 3 * periodSeconds);
    std::vector<double> latencies;
    uint64_t serial = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::duration<double>(paused ? 3.0 : delay(random)));
        Command write;
        write.kind = Command::Write;
        write.voice = &voice;
        write.data = reinterpret_cast<const uint8_t*>(word.data());
        write.frames = static_cast<uint32_t>(word.size());
        write.serial = ++serial;
        Command fence;
        fence.kind = Command::Fence;
        fence.voice = &voice;
        fence.serial = serial;
        const auto posted = SteadyClock::now();
        mixer.Post(write);
        mixer.Post(fence);
        // The fence is carried out at the start of the render that mixes the word.
        while (voice.acked.load() < serial) {
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(SteadyClock::now() - posted).count());
        Notice n;
        while (notices.TryPop(&n)) {
        }
    }
    backend.stop();
    std::sort(latencies.begin(), latencies.end());
    state.counters["period_ms"] = periodSeconds * 1000;
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["max_ms"] = latencies.back();
    state.counters["over_period"] = static_cast<double>(std::count_if(
        latencies.begin(), latencies.end(), [&](double l) { return l > periodSeconds * 1000; }));
    state.SetLabel(std::string(sdl ? "sdl" : "null") + (paused ? ", after 3 s quiet" : ", busy"));
}
BENCHMARK(BM_FirstWordLatency)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Iterations(12)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_FirstWordLatency)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(12)
    ->Unit(benchmark::kSecond);

}  // namespace
