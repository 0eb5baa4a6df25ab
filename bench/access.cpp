// Scanning as a switch user meets it (the pulsor executable, headless, one switch):
//
// BM_ScanStepToCue/period: from each step's due time to its click's first sample in the mixed
// output, in frames of 48 kHz (virtual time, so exact); the cue must sound within the period
// that follows, as a tap's word does.
// BM_ScanSelectionToWord/period: from the switch press that chooses a cell to the word's first
// sample, measured the same way.
// BM_ScanStepDrawn: on the wall clock (--real-time), a shot 16 ms after each step's due time; how
// many of them already show the frame on the row that step reached.
// BM_ScanIdleCpu: on the wall clock, the process's share of one core while a scan steps every
// 1.5 s, and while the scan waits for its switch.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/GoldenImage.h"
#include "tests/support/Spawn.h"

namespace {

namespace fs = std::filesystem;

const std::string kExe = PULSOR_EXE;
const int kMainUp = 2100;

fs::path Scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() /
                         ("pulsor-bench-access-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "shots");
    return dir;
}

void WriteSettings(const fs::path& dir, unsigned method, unsigned interval, unsigned cues,
                   unsigned rounds) {
    std::ofstream file(dir / "config" / "registry.reg");
    char text[512];
    std::snprintf(text, sizeof text,
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n"
                  "\"AccessMethod\"=dword:%08x\n\"ScanInterval\"=dword:%08x\n"
                  "\"AccessCues\"=dword:%08x\n\"ScanRounds\"=dword:%08x\n",
                  method, interval, cues, rounds);
    file << text;
}

bool Run(const fs::path& dir, const std::string& script, std::vector<std::string> options) {
    std::ofstream(dir / "script.txt") << script;
    std::vector<std::string> args = {kExe,           "--headless",
                                     "--script",     (dir / "script.txt").string(),
                                     "--config-dir", (dir / "config").string(),
                                     "--shots",      (dir / "shots").string(),
                                     "--screen",     "240x320",
                                     "--dpi",        "96"};
    args.insert(args.end(), options.begin(), options.end());
    const pid_t child = spawn::Start(args, spawn::Quiet());
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Left channel, 16-bit, of a 48 kHz stereo take.
std::vector<int16_t> Left(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> left;
    for (size_t at = 44; at + 3 < bytes.size(); at += 4) {
        left.push_back(static_cast<int16_t>((bytes[at] & 0xFF) | (bytes[at + 1] << 8)));
    }
    return left;
}

int64_t FramesToSound(const std::vector<int16_t>& left, int ms) {
    const size_t from = static_cast<size_t>(ms * 48);
    size_t f = from;
    while (f < left.size() && f < from + 48000 && left[f] == 0) {
        ++f;
    }
    return static_cast<int64_t>(f - from);
}

void Report(benchmark::State& state, const std::vector<int64_t>& latencies, int period) {
    int64_t worst = 0;
    double total = 0;
    for (int64_t l : latencies) {
        worst = std::max(worst, l);
        total += static_cast<double>(l);
    }
    state.counters["period_frames"] = period;
    state.counters["mean_frames"] = latencies.empty() ? 0 : total / latencies.size();
    state.counters["worst_frames"] = static_cast<double>(worst);
    state.counters["within_period"] = worst <= period ? 1 : 0;
}

// Runs `script` at the benchmark's period with the scan's settings, and reports the frames from
// each of `events` (ms) to the next sound in the take.
void MeasureTake(benchmark::State& state, const char* name, unsigned interval, unsigned cues,
                 const std::string& script, const std::vector<int>& events) {
    const int period = static_cast<int>(state.range(0));
    const fs::path dir = Scratch(name);
    WriteSettings(dir, 2, interval, cues, 2);
    std::vector<int64_t> latencies;
    for (auto _ : state) {
        if (!Run(
                dir, script,
                {"--audio-buffer", std::to_string(period), "--record", (dir / "t.wav").string()})) {
            state.SkipWithError("pulsor failed");
            break;
        }
        const std::vector<int16_t> left = Left(dir / "t.wav");
        for (int at : events) {
            latencies.push_back(FramesToSound(left, at));
        }
    }
    Report(state, latencies, period);
    fs::remove_all(dir);
}

// Space 3 ms off the period grid; the steps then come every 250 ms, two rounds of five groups.
void BM_ScanStepToCue(benchmark::State& state) {
    const int press = kMainUp + 3;
    std::vector<int> steps;
    for (int step = 0; step < 10; ++step) {
        steps.push_back(press + 250 * step);
    }
    MeasureTake(state, "cue", 250, 1,
                "wait " + std::to_string(press) + "\npress Space\nrelease Space\nwait 3000\n",
                steps);
}
BENCHMARK(BM_ScanStepToCue)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Row 0 opened at once and its first cell chosen at once, eight times, each after the last word
// has died away.
void BM_ScanSelectionToWord(benchmark::State& state) {
    std::string script = "wait " + std::to_string(kMainUp) + "\n";
    std::vector<int> presses;
    int t = kMainUp;
    for (int i = 0; i < 8; ++i) {
        script +=
            "press Space\nrelease Space\nwait 100\npress Space\nrelease Space\nwait 100\n"
            "press Space\nrelease Space\nwait " +
            std::to_string(1801 + i) + "\n";
        presses.push_back(t + 200);
        t += 200 + 1801 + i;
    }
    MeasureTake(state, "select", 1000, 0, script, presses);
}
BENCHMARK(BM_ScanSelectionToWord)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The highlight's yellow along the left edge of pad row `row` (0..3), or of the controls
// around the pad (4).
bool Framed(const golden::Picture& p, int row) {
    const int y = row < 4 ? 60 + 50 * row + 25 : 13;
    const int x = row < 4 ? 8 : 2;
    for (int dx = 0; dx < 6; ++dx) {
        const uint32_t c = p.At(x + dx, y);
        if (((c >> 16) & 0xFF) > 230 && ((c >> 8) & 0xFF) > 190 && (c & 0xFF) < 40) {
            return true;
        }
    }
    return false;
}

void BM_ScanStepDrawn(benchmark::State& state) {
    const fs::path dir = Scratch("drawn");
    WriteSettings(dir, 2, 500, 0, 2);
    const int steps = 9;
    int drawn = 0;
    int shots = 0;
    for (auto _ : state) {
        // On the wall clock the splash may stay up longer: the press comes well after it.
        std::string script = "wait 4000\npress Space\nrelease Space\nwait 16\nshot s0.png\n";
        for (int i = 1; i <= steps; ++i) {
            script += "wait 500\nshot s" + std::to_string(i) + ".png\n";
        }
        if (!Run(dir, script, {"--real-time"})) {
            state.SkipWithError("pulsor failed");
            break;
        }
        for (int i = 0; i <= steps; ++i) {
            golden::Picture p;
            if (golden::ReadPng((dir / "shots" / ("s" + std::to_string(i) + ".png")).string(),
                                &p)) {
                drawn += Framed(p, i % 5) ? 1 : 0;
            }
            ++shots;
        }
    }
    state.counters["steps"] = shots;
    state.counters["drawn_within_16ms"] = drawn;
    fs::remove_all(dir);
}
BENCHMARK(BM_ScanStepDrawn)->Iterations(1)->Unit(benchmark::kSecond);

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), {});
    const size_t end = stat.rfind(')');
    unsigned long utime = 0, stime = 0;
    if (end == std::string::npos ||
        std::sscanf(stat.c_str() + end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                    &utime, &stime) != 2) {
        return -1;
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// 0: the scan steps every 1.5 s (five rounds, so it runs through the window); 1: the scanning
// method is chosen and waits for its switch.
void BM_ScanIdleCpu(benchmark::State& state) {
    const bool stepping = state.range(0) == 0;
    const fs::path dir = Scratch("idle");
    WriteSettings(dir, 2, 1500, 1, 5);
    std::ofstream(dir / "script.txt")
        << "wait 4000\n"
        << (stepping ? "press Space\nrelease Space\n" : "") << "wait 3600000\n";
    const std::vector<std::string> args = {kExe,
                                           "--headless",
                                           "--real-time",
                                           "--script",
                                           (dir / "script.txt").string(),
                                           "--config-dir",
                                           (dir / "config").string()};
    double share = -1;
    for (auto _ : state) {
        const pid_t child = spawn::Start(args, spawn::Quiet());
        std::this_thread::sleep_for(std::chrono::seconds(7));
        const double before = CpuSeconds(child);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(15));
        const double after = CpuSeconds(child);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        if (before >= 0 && after >= 0) {
            share = 100.0 * (after - before) / wall;
        }
    }
    fs::remove_all(dir);
    if (share < 0) {
        state.SkipWithError("pulsor did not keep running");
        return;
    }
    state.counters["percent_of_a_core"] = share;
    state.SetLabel(stepping ? "scanning every 1.5 s" : "waiting for the switch");
}
BENCHMARK(BM_ScanIdleCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
