// A MIDI note to the word's first sample in the mixed output, in frames of 48 kHz, for three
// audio periods: the pulsor executable headless in virtual time, the note injected by the
// script's `midi` into the platform's MIDI input (the callback, the posted message, the pad) at
// device times that are not period boundaries. A tap's figure (bench_app's BM_TouchToSound) is
// the bound: within one period.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Take.h"
#include "tests/support/Spawn.h"

namespace {

namespace fs = std::filesystem;

bool RunPulsor(const fs::path& dir, const std::string& script, int period, const fs::path& wav) {
    std::ofstream(dir / "script.txt") << script;
    std::vector<std::string> args = {PULSOR_EXE,       "--headless",
                                     "--script",       (dir / "script.txt").string(),
                                     "--config-dir",   (dir / "config").string(),
                                     "--audio-buffer", std::to_string(period),
                                     "--record",       wav.string()};
    const pid_t child = spawn::Start(args, spawn::Quiet());
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void BM_MidiNoteToSound(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    const fs::path dir =
        fs::temp_directory_path() / ("pulsor-bench-midi-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path wav = dir / "midi.wav";
    const int notes = 8;
    int64_t worst = 0;
    double total = 0;
    int count = 0;
    for (auto _ : state) {
        std::string script = "wait 2100\n";
        // Notes at 1 ms offsets, each after the last word has died away.
        for (int i = 0; i < notes; ++i) {
            script += "midi 36 127\nwait 50\nmidi 36 0\nwait " + std::to_string(1950 + i) + "\n";
        }
        if (!RunPulsor(dir, script, period, wav)) {
            state.SkipWithError("pulsor failed");
            break;
        }
        for (const int64_t latency : FramesToFirstSound(wav, 2100, notes)) {
            worst = std::max(worst, latency);
            total += static_cast<double>(latency);
            ++count;
        }
    }
    fs::remove_all(dir);
    state.counters["period_frames"] = period;
    state.counters["mean_frames"] = count ? total / count : 0;
    state.counters["worst_frames"] = static_cast<double>(worst);
}
BENCHMARK(BM_MidiNoteToSound)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
