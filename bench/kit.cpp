// Loading the sounds: the built-in words and beat (read, and converted to the device rate when
// their streams are prepared), and a kit of 32 three-second FLAC words (decoded, loudness
// matched, converted). Wall time on the null output in real time, as the loader thread spends it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Ids.h"
#include "app/KitSwitch.h"
#include "audio/KitLoader.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "platform/kernel/WideString.h"
#include "support/WaveTestFiles.h"

namespace {

std::wstring Folder(const std::string& path) {
    return platform::FromUtf8(path + "/");
}

const std::wstring& BuiltIn() {
    static const std::wstring folder = Folder(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds");
    return folder;
}

// 32 words of 3 s at 44.1 kHz, each a different tone, made once per run.
const std::wstring& FlacKit() {
    static const std::wstring folder = [] {
        const std::string dir = std::string(PULSOR_BINARY_DIR) + "/bench-kit";
        std::filesystem::create_directories(dir);
        for (int i = 0; i < 32; ++i) {
            const std::string name = (i < 16 ? "L" : "H") + std::to_string(i % 16 + 1) + ".flac";
            const std::string cmd = "sox -n -r 44100 '" + dir + "/" + name + "' synth 3 pluck " +
                                    std::to_string(200 + 20 * i) + " gain -" +
                                    std::to_string(3 + i % 12) + " 2>/dev/null";
            if (std::system(cmd.c_str()) != 0) {
                return std::wstring();
            }
        }
        return Folder(dir);
    }();
    return folder;
}

void BM_LoadBuiltInSounds(benchmark::State& state) {
    platform::Clock::Instance().SetVirtual(false);
    wavetest::NullAudio audio(256, std::string(), false);
    for (auto _ : state) {
        auto bank = std::make_unique<SoundBank>();
        bank->Load(BuiltIn().c_str());
        auto beat = std::make_unique<WavePlayer>((BuiltIn() + L"Pulsor.wav").c_str());
        benchmark::DoNotOptimize(beat->IsPlayable());
        state.PauseTiming();
        bank.reset();
        beat.reset();
        state.ResumeTiming();
    }
    state.SetLabel("32 words + beat");
}

void BM_LoadKit32Flac(benchmark::State& state) {
    if (FlacKit().empty()) {
        state.SkipWithError("sox could not make the kit");
        return;
    }
    platform::Clock::Instance().SetVirtual(false);
    wavetest::NullAudio audio(256, std::string(), false);
    const KitLoader loader(FlacKit().c_str(), BuiltIn().c_str());
    for (auto _ : state) {
        auto bank = std::make_unique<SoundBank>();
        loader.LoadWords(bank.get());
        benchmark::DoNotOptimize(bank->GetSample(1, false));
        state.PauseTiming();
        bank.reset();
        state.ResumeTiming();
    }
    state.SetLabel("32 words of 3 s, 44.1 kHz FLAC");
}

// Switching kits while the old kit's word sounds: the new kit's words and beat loaded (the work of
// the switch's thread) and the old bank handed over to be kept until its word ends.
void BM_SwitchToKit32Flac(benchmark::State& state) {
    if (FlacKit().empty()) {
        state.SkipWithError("sox could not make the kit");
        return;
    }
    platform::Clock::Instance().SetVirtual(false);
    wavetest::NullAudio audio(256, std::string(), false);
    KitSwitch switcher(nullptr, IDC_KIT_LOADED, BuiltIn().c_str());
    KitSwitch::Sounds current = KitSwitch::Load(L"", BuiltIn().c_str());
    for (auto _ : state) {
        current.bank->Play(1, false);
        KitSwitch::Sounds next = KitSwitch::Load(FlacKit().c_str(), BuiltIn().c_str());
        switcher.Retire(std::move(current.bank), IDT_KIT_SWEEP);
        current = std::move(next);
        benchmark::DoNotOptimize(current.bank->GetSample(1, false));
        state.PauseTiming();
        switcher.Sweep();
        state.ResumeTiming();
    }
    state.SetLabel("32 words of 3 s, 44.1 kHz FLAC, a word of the old kit sounding");
}

BENCHMARK(BM_LoadBuiltInSounds)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadKit32Flac)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SwitchToKit32Flac)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
