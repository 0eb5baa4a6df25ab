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
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
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
        std::ifstream in(wav, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        auto sample = [&](size_t frame) {
            const size_t at = 44 + frame * 4;
            return at + 1 < bytes.size()
                       ? static_cast<int16_t>((bytes[at] & 0xFF) | (bytes[at + 1] << 8))
                       : int16_t{0};
        };
        int64_t tapMs = 2100;
        for (int i = 0; i < 8; ++i) {
            const size_t tapFrame = static_cast<size_t>(tapMs) * 48;
            size_t f = tapFrame;
            while (f < tapFrame + 48000 && sample(f) == 0) {
                ++f;
            }
            const int64_t latency = static_cast<int64_t>(f - tapFrame);
            worst = std::max(worst, latency);
            total += static_cast<double>(latency);
            ++taps;
            tapMs += 50 + 1950 + i;
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
