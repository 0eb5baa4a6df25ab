// Making a word of a kit, as the word page's thread makes it after Enter or after the record
// control is let go: both voices made (spoken, or shaped from a recording), written as FLAC,
// and loaded as playable players. Wall time on the null output in real time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/WordJob.h"
#include "platform/kernel/WideString.h"
#include "support/WaveTestFiles.h"

namespace {

std::string KitFolder() {
    const std::string dir = std::string(PULSOR_BINARY_DIR) + "/bench-word-kit";
    std::filesystem::create_directories(dir);
    return dir;
}

WordJob NewJob(WordJob::Kind kind) {
    WordJob job;
    job.kind = kind;
    job.word = 1;
    job.kit = platform::FromUtf8(KitFolder() + "/");
    job.builtIn = platform::FromUtf8(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/");
    return job;
}

void Run(benchmark::State& state, WordJob& job) {
    platform::Clock::Instance().SetVirtual(false);
    wavetest::NullAudio audio(256, std::string(), false);
    for (auto _ : state) {
        RunWordJob(job);
        if (!job.error.empty() || !job.low || !job.low->IsPlayable()) {
            state.SkipWithError(platform::ToUtf8(job.error).c_str());
            break;
        }
        state.PauseTiming();
        job.low.reset();
        job.high.reset();
        state.ResumeTiming();
    }
}

// Enter on a typed word (target: 300 ms).
void BM_TypedWordToPlayable(benchmark::State& state) {
    WordJob job = NewJob(WordJob::Speak);
    job.text = L"water";
    Run(state, job);
    state.SetLabel("\"water\", both voices");
}

// The record control let go after a 1.5 s word with silence around it (target: 150 ms).
void BM_RecordingToPlayable(benchmark::State& state) {
    const std::string wav = KitFolder() + "/take.wav";
    const std::string cmd =
        "sox -n -r 44100 -c 1 -b 16 '" + wav + "' synth 1.5 pluck 220 pad 0.3 0.5 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) {
        state.SkipWithError("sox failed");
        return;
    }
    std::ifstream in(wav, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    WordJob job = NewJob(WordJob::Record);
    job.sound.assign(bytes.begin(), bytes.end());
    Run(state, job);
    state.SetLabel("2.3 s take, trimmed, both voices");
}

}  // namespace

BENCHMARK(BM_TypedWordToPlayable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordingToPlayable)->Unit(benchmark::kMillisecond)->UseRealTime();
