// Writes 16-bit stereo 48 kHz PCM to a canonical WAV file. The header's sizes are brought up to
// date every second of sound and on Close, so a file cut off by a killed process still plays.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform::wave {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter() { Close(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path, uint32_t rate, std::string* error);
    // Interleaved stereo float, clipped to ±1 and rounded to 16 bits.
    void Append(const float* frames, int count);
    void Close();

private:
    void UpdateSizes();

    FILE* file_ = nullptr;
    uint32_t rate_ = 0;
    uint64_t dataBytes_ = 0;
    uint64_t sinceUpdate_ = 0;
    std::vector<int16_t> scratch_;
};

}  // namespace platform::wave
