// A user's own word becoming playable, as the word page makes it: typed text spoken in both
// voices, or a recording made into both, then each voice written into the kit as FLAC and loaded
// back as the kit loader loads a word (decoded, loudness matched). Wall time, one word at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "audio/KitLoader.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/WaveTestFiles.h"

namespace {

const std::string& KitFolder() {
    static const std::string folder = [] {
        const std::string dir = std::string(PULSOR_BINARY_DIR) + "/bench-words";
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return folder;
}

// Writes both voices into the kit and loads them back; false with the reason as the error.
bool SaveAndLoad(LPBYTE low, DWORD lowSize, LPBYTE high, DWORD highSize, benchmark::State& state) {
    const std::pair<const wchar_t*, std::pair<LPBYTE, DWORD>> voices[] = {
        {L"L1.flac", {low, lowSize}}, {L"H1.flac", {high, highSize}}};
    for (const auto& [name, image] : voices) {
        const std::wstring path = platform::FromUtf8(KitFolder() + "/") + name;
        WCHAR reason[128] = L"";
        if (!SndEncodeFile(path.c_str(), image.first, image.second, reason, 128)) {
            state.SkipWithError(("cannot save: " + platform::ToUtf8(reason)).c_str());
            return false;
        }
        SNDDECODE decode{};
        decode.targetLufs = KitLoader::kBuiltInLoudness;
        decode.maxSeconds = KitLoader::kMaxSeconds;
        decode.maxChannels = KitLoader::kMaxChannels;
        DWORD size = 0;
        LPBYTE loaded = SndDecodeFile(path.c_str(), &decode, &size);
        if (!loaded) {
            state.SkipWithError(("cannot load: " + platform::ToUtf8(decode.reason)).c_str());
            return false;
        }
        SndFreeImage(loaded);
    }
    return true;
}

// Enter pressed on a typed word: both voices spoken, saved and loaded.
void BM_TypedWordPlayable(benchmark::State& state) {
    for (auto _ : state) {
        DWORD lowSize = 0, highSize = 0;
        WCHAR reason[128] = L"";
        LPBYTE low = SndSpeakText(L"Good morning", SNDVOICE_LOW, &lowSize, reason, 128);
        LPBYTE high = SndSpeakText(L"Good morning", SNDVOICE_HIGH, &highSize, reason, 128);
        const bool done = low && high && SaveAndLoad(low, lowSize, high, highSize, state);
        SndFreeImage(low);
        SndFreeImage(high);
        if (!done) {
            if (!low || !high) {
                state.SkipWithError(("cannot speak: " + platform::ToUtf8(reason)).c_str());
            }
            return;
        }
    }
    state.SetLabel("\"Good morning\", both voices");
}

// Three seconds from the microphone at 48 kHz: a voice-like sound of 2 s between quiet parts
// with a little noise, as a held record control gives.
std::vector<uint8_t> Recording() {
    constexpr DWORD kRate = 48000;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0, 40);
    std::vector<int> s(3 * kRate);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = noise(random);
        if (t >= 0.5 && t < 2.5) {
            const double pitch = 120 + 20 * std::sin(2 * M_PI * 1.5 * t);
            for (int h = 1; h <= 8; ++h) {
                v += 9000.0 / h * std::sin(2 * M_PI * pitch * h * t);
            }
        }
        s[i] = static_cast<int>(std::lround(std::clamp(v, -32767.0, 32767.0)));
    }
    return wavetest::WavImage(1, 1, kRate, 16, wavetest::S16(s));
}

// The record control released: both voices shaped from the recording, saved and loaded.
void BM_RecordedWordPlayable(benchmark::State& state) {
    const std::vector<uint8_t> recording = Recording();
    for (auto _ : state) {
        DWORD lowSize = 0, highSize = 0;
        WCHAR reason[128] = L"";
        LPBYTE low = SndShapeVoice(recording.data(), static_cast<DWORD>(recording.size()),
                                   SNDVOICE_LOW, SNDSHAPE_TRIM, &lowSize, reason, 128);
        LPBYTE high = SndShapeVoice(recording.data(), static_cast<DWORD>(recording.size()),
                                    SNDVOICE_HIGH, SNDSHAPE_TRIM, &highSize, reason, 128);
        const bool done = low && high && SaveAndLoad(low, lowSize, high, highSize, state);
        SndFreeImage(low);
        SndFreeImage(high);
        if (!done) {
            if (!low || !high) {
                state.SkipWithError(("cannot shape: " + platform::ToUtf8(reason)).c_str());
            }
            return;
        }
    }
    state.SetLabel("3 s at 48 kHz, both voices");
}

}  // namespace

BENCHMARK(BM_TypedWordPlayable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordedWordPlayable)->Unit(benchmark::kMillisecond)->UseRealTime();
