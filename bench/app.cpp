// The whole program, run as a user runs it (the pulsor executable, headless): how long start-up
// takes beyond its two-second splash, how much memory it holds, and how long a touch takes to be
// heard. Headless runs in virtual time, so the wall time of a start to the main page is the real
// work of starting: window, loader steps, pictures, sounds and controls.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Take.h"
#include "tests/support/Spawn.h"

namespace {

namespace fs = std::filesystem;

const std::string kExe = PULSOR_EXE;

fs::path Scratch() {
    fs::path dir = fs::temp_directory_path() / ("pulsor-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

struct RunResult {
    double seconds = -1;    // wall time, -1 when the run failed
    double cpuSeconds = 0;  // user and system time of the run
    double maxRssMB = 0;    // its peak resident memory
};

// Runs pulsor headless with the script and the extra options.
RunResult RunPulsor(const std::string& script, const std::vector<std::string>& options) {
    const fs::path dir = Scratch();
    std::ofstream(dir / "script.txt") << script;
    std::vector<std::string> args = {kExe,           "--headless",
                                     "--script",     (dir / "script.txt").string(),
                                     "--config-dir", (dir / "config").string()};
    args.insert(args.end(), options.begin(), options.end());

    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = spawn::Start(args, spawn::Quiet());
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return result;
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.maxRssMB = usage.ru_maxrss / 1024.0;
    return result;
}

// Start to the main page and out again; the splash's two seconds cost nothing in virtual time.
void BM_StartToMainPage(benchmark::State& state) {
    double rss = 0;
    for (auto _ : state) {
        const RunResult run = RunPulsor("wait 2010\n", {"--screen", "480x640", "--dpi", "192"});
        if (run.seconds < 0) {
            state.SkipWithError("pulsor failed");
            break;
        }
        state.SetIterationTime(run.seconds);
        rss = std::max(rss, run.maxRssMB);
    }
    state.counters["max_rss_MB"] = rss;
}
BENCHMARK(BM_StartToMainPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// From the pen-down of a tap on a pad cell to the word's first sample in the mixed output, in
// frames of 48 kHz, for three audio periods. The tap lands at a device time that is not a period
// boundary; the word must sound within the next period.
void BM_TouchToSound(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    const fs::path wav = Scratch() / "touch.wav";
    int64_t worst = 0;
    double total = 0;
    int taps = 0;
    for (auto _ : state) {
        std::string script = "wait 2100\n";
        // Taps at 1 ms offsets, each after the last word has died away.
        for (int i = 0; i < 8; ++i) {
            script += "tap 70 170\nwait " + std::to_string(1950 + i) + "\n";
        }
        if (RunPulsor(script, {"--screen", "480x640", "--dpi", "192", "--audio-buffer",
                               std::to_string(period), "--record", wav.string()})
                .seconds < 0) {
            state.SkipWithError("pulsor failed");
            break;
        }
        for (const int64_t latency : FramesToFirstSound(wav.string(), 2100, 8)) {
            worst = std::max(worst, latency);
            total += static_cast<double>(latency);
            ++taps;
        }
    }
    state.counters["period_frames"] = period;
    state.counters["mean_frames"] = taps ? total / taps : 0;
    state.counters["worst_frames"] = static_cast<double>(worst);
}
BENCHMARK(BM_TouchToSound)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The mixed output of a headless run as 16-bit samples of the left channel.
std::vector<int16_t> LeftChannel(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> left;
    for (size_t at = 44; at + 3 < bytes.size(); at += 4) {
        left.push_back(static_cast<int16_t>((bytes[at] & 0xFF) | (bytes[at + 1] << 8)));
    }
    return left;
}

// The centre of pad cell 0..15 on the 480 x 640 screen at 192 dpi.
std::string CellAt(int cell) {
    return std::to_string(12 + 114 * (cell % 4) + 57) + " " +
           std::to_string(120 + 100 * (cell / 4) + 50);
}

// A key, a second finger and a tap, each from its event to the word's first sample in the
// mixed output, in frames of 48 kHz, for three audio periods; measured as BM_TouchToSound is.
// Kind 0: a tap; 1: a key (Q, the second row's first cell); 2: a finger while another rests on
// the title.
void BM_InputToSound(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const int period = static_cast<int>(state.range(1));
    const fs::path wav = Scratch() / "input.wav";
    const std::string cell = CellAt(4);
    int64_t worst = 0;
    double total = 0;
    int events = 0;
    for (auto _ : state) {
        std::string script = "wait 2100\n";
        if (kind == 2) {
            script += "finger 1 down 240 40\n";
        }
        for (int i = 0; i < 8; ++i) {
            script += kind == 0 ? "tap " + cell + "\nwait "
                      : kind == 1
                          ? "press Q\nwait 50\nrelease Q\nwait "
                          : "finger 2 down " + cell + "\nwait 50\nfinger 2 up " + cell + "\nwait ";
            script += std::to_string(1950 + i) + "\n";
        }
        if (RunPulsor(script, {"--screen", "480x640", "--dpi", "192", "--audio-buffer",
                               std::to_string(period), "--record", wav.string()})
                .seconds < 0) {
            state.SkipWithError("pulsor failed");
            break;
        }
        const std::vector<int16_t> left = LeftChannel(wav);
        int64_t atMs = 2100;
        for (int i = 0; i < 8; ++i) {
            const size_t from = static_cast<size_t>(atMs) * 48;
            size_t f = from;
            while (f < left.size() && f < from + 48000 && left[f] == 0) {
                ++f;
            }
            const int64_t latency = static_cast<int64_t>(f - from);
            worst = std::max(worst, latency);
            total += static_cast<double>(latency);
            ++events;
            atMs += 50 + 1950 + i;
        }
    }
    state.counters["period_frames"] = period;
    state.counters["mean_frames"] = events ? total / events : 0;
    state.counters["worst_frames"] = static_cast<double>(worst);
    state.counters["within_period"] = worst <= period ? 1 : 0;
}
BENCHMARK(BM_InputToSound)
    ->ArgsProduct({{0, 1, 2}, {64, 128, 256}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A roll of 20 taps a second with touch vibrations on (as they are by default): pairs of taps,
// the pointer's and then a second finger's 10 ms later, every 100 ms, over the sixteen cells.
// Each tap's sound is found as what the take loses without that tap (the mixer is exact and
// deterministic, so the takes are the same sample for sample until the missing tap would have
// sounded). Counters: the worst and mean frames from a tap's down to its first sample.
void BM_RollWithVibration(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    const int taps = 20;
    auto roll = [](int skip) {
        std::string script = "wait 2100\n";
        for (int pair = 0; pair < taps / 2; ++pair) {
            const int first = 2 * pair;
            const int second = first + 1;
            const std::string a = CellAt(first % 16);
            const std::string b = CellAt(second % 16);
            auto line = [&](int tap, const std::string& command) {
                return tap == skip ? std::string() : command + "\n";
            };
            script += line(first, "down " + a) + "wait 10\n";
            script += line(second, "finger 3 down " + b) + "wait 20\n";
            script += line(first, "up " + a) + "wait 10\n";
            script += line(second, "finger 3 up " + b) + "wait 60\n";
        }
        return script + "wait 1000\n";
    };
    const fs::path dir = Scratch();
    int64_t worst = 0;
    double total = 0;
    int measured = 0;
    for (auto _ : state) {
        auto take = [&](int skip) {
            const fs::path wav = dir / ("roll" + std::to_string(skip) + ".wav");
            if (RunPulsor(roll(skip), {"--screen", "480x640", "--dpi", "192", "--audio-buffer",
                                       std::to_string(period), "--record", wav.string()})
                    .seconds < 0) {
                return std::vector<int16_t>();
            }
            return LeftChannel(wav);
        };
        const std::vector<int16_t> full = take(-1);
        if (full.empty()) {
            state.SkipWithError("pulsor failed");
            break;
        }
        for (int i = 0; i < taps; ++i) {
            const std::vector<int16_t> without = take(i);
            // Pairs start every 100 ms; the second of a pair 10 ms into it.
            const int64_t downMs = 2100 + (i / 2) * 100 + (i % 2) * 10;
            const size_t from = static_cast<size_t>(downMs) * 48;
            size_t f = from;
            while (f < full.size() && f < without.size() && full[f] == without[f]) {
                ++f;
            }
            const int64_t latency = static_cast<int64_t>(f - from);
            worst = std::max(worst, latency);
            total += static_cast<double>(latency);
            ++measured;
        }
    }
    state.counters["period_frames"] = period;
    state.counters["mean_frames"] = measured ? total / measured : 0;
    state.counters["worst_frames"] = static_cast<double>(worst);
    state.counters["within_period"] = worst <= period ? 1 : 0;
}
BENCHMARK(BM_RollWithVibration)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Processor time of a running, untouched Pulsor on the wall clock: a run that idles four seconds
// longer than another, the difference divided by those seconds. With the null audio output, whose
// thread renders every period as a sound card would ask it to.
void BM_IdleCpu(benchmark::State& state) {
    double share = 0;
    for (auto _ : state) {
        const RunResult shortRun = RunPulsor("wait 2100\n", {"--real-time"});
        const RunResult longRun = RunPulsor("wait 6100\n", {"--real-time"});
        share = (longRun.cpuSeconds - shortRun.cpuSeconds) / 4.0;
    }
    state.counters["idle_cpu_percent"] = 100.0 * share;
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
