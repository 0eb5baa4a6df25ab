#include "platform/sound/WaveImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::sound {
void PutWaveHeader(uint8_t* header, uint16_t format, unsigned channels, unsigned rate,
                   unsigned bits, uint32_t dataBytes) {
    const uint32_t align = channels * bits / 8;
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, format);
    Put16(header + 22, channels);
    Put32(header + 24, rate);
    Put32(header + 28, rate * align);
    Put16(header + 32, align);
    Put16(header + 34, bits);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataBytes);
}

std::vector<int16_t> PeakAtMinus1dB(const std::vector<double>& x) {
    double peak = 1e-9;
    for (double v : x) {
        peak = std::max(peak, std::fabs(v));
    }
    const double gain = 0.891 * 32767.0 / peak;
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        out[i] = static_cast<int16_t>(std::lround(std::clamp(x[i] * gain, -32767.0, 32767.0)));
    }
    return out;
}

std::vector<uint8_t> Pcm16Image(const std::vector<int16_t>& samples, unsigned rate,
                                unsigned channels) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> image(kWaveHeaderBytes + dataBytes);
    PutWaveHeader(image.data(), kWavePcm, channels, rate, 16, dataBytes);
    uint8_t* p = image.data() + kWaveHeaderBytes;
    for (int16_t s : samples) {
        Put16(p, static_cast<uint16_t>(s));
        p += 2;
    }
    return image;
}

}  // namespace platform::sound
