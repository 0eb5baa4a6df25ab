// Reads a benchmark's take: a 48 kHz 16-bit stereo WAV recorded by the executable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// For `count` events (taps, notes) whose scripts start at `firstMs` and then wait 50 ms, then
// 1950 + i ms after event i: how many frames after each the left channel first leaves silence
// (48000 when it does not within a second).
inline std::vector<int64_t> FramesToFirstSound(const std::string& wav, int64_t firstMs, int count) {
    std::ifstream in(wav, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    auto sample = [&](size_t frame) {
        const size_t at = 44 + frame * 4;
        return at + 1 < bytes.size()
                   ? static_cast<int16_t>((bytes[at] & 0xFF) | (bytes[at + 1] << 8))
                   : int16_t{0};
    };
    std::vector<int64_t> latencies;
    int64_t eventMs = firstMs;
    for (int i = 0; i < count; ++i) {
        const size_t eventFrame = static_cast<size_t>(eventMs) * 48;
        size_t f = eventFrame;
        while (f < eventFrame + 48000 && sample(f) == 0) {
            ++f;
        }
        latencies.push_back(static_cast<int64_t>(f - eventFrame));
        eventMs += 50 + 1950 + i;
    }
    return latencies;
}
