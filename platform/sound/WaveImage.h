// WAV file images: the canonical 44-byte header the player and the built-in words use, and
// nothing but the samples after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::sound {

constexpr size_t kWaveHeaderBytes = 44;
constexpr uint16_t kWavePcm = 1;
constexpr uint16_t kWaveFloat = 3;

// Little-endian fields, as WAV headers hold them.
inline void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// Writes the header for `dataBytes` of samples at `header` (kWaveHeaderBytes long).
void PutWaveHeader(uint8_t* header, uint16_t format, unsigned channels, unsigned rate,
                   unsigned bits, uint32_t dataBytes);

// `x` (full scale at +-1) as 16-bit samples scaled to a peak of -1 dBFS, as every word and the
// beat are made.
std::vector<int16_t> PeakAtMinus1dB(const std::vector<double>& x);

// 16-bit samples (interleaved when `channels` > 1) as a whole image.
std::vector<uint8_t> Pcm16Image(const std::vector<int16_t>& samples, unsigned rate,
                                unsigned channels);

}  // namespace platform::sound
