#include "audio/WaveImage.h"

#include <cstring>

namespace {

void Put(BYTE* at, DWORD value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

}  // namespace

std::vector<BYTE> MonoWaveImage(const short* samples, size_t count, DWORD rate) {
    const DWORD dataBytes = static_cast<DWORD>(count * 2);
    std::vector<BYTE> image(44 + dataBytes);
    BYTE* h = image.data();
    std::memcpy(h, "RIFF", 4);
    Put(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put(h + 16, 16, 4);
    Put(h + 20, WAVE_FORMAT_PCM, 2);
    Put(h + 22, 1, 2);
    Put(h + 24, rate, 4);
    Put(h + 28, rate * 2, 4);
    Put(h + 32, 2, 2);
    Put(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    Put(h + 40, dataBytes, 4);
    if (count > 0) {
        std::memcpy(h + 44, samples, dataBytes);
    }
    return image;
}
