// Reading one sample of a playable format as float, shared by the mixer and the converter.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/wave/Mixer.h"

namespace platform::wave {

template <SampleType T>
inline float LoadSample(const uint8_t* p) {
    if constexpr (T == SampleType::U8) {
        return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    } else if constexpr (T == SampleType::S16) {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v * (1.0f / 32768.0f);
    } else if constexpr (T == SampleType::S24) {
        int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                         static_cast<uint32_t>(p[1]) << 16 |
                                         static_cast<uint32_t>(p[2]) << 24) >>
                    8;
        return v * (1.0f / 8388608.0f);
    } else if constexpr (T == SampleType::S32) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<float>(v) * (1.0f / 2147483648.0f);
    } else {
        float v;
        std::memcpy(&v, p, 4);
        // Non-finite or absurd samples would poison every voice in the sum.
        return std::fabs(v) <= 64.0f ? v : 0.0f;
    }
}

constexpr int SampleBytes(SampleType t) {
    return t == SampleType::U8 ? 1 : t == SampleType::S16 ? 2 : t == SampleType::S24 ? 3 : 4;
}

}  // namespace platform::wave
