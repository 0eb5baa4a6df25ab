// Two versions of a kit's files, which the kill test's writer alternates and the test tells
// apart: version 0 and version 1 of a word (tones of different lengths and pitches) and of its
// captions.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "platform/sound/WaveImage.h"

namespace versions {

constexpr unsigned kRate = 22050;

inline std::vector<int16_t> Samples(int version) {
    const int frames = version ? 15435 : 11025;
    const double hz = version ? 500 : 300;
    std::vector<int16_t> s(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        s[static_cast<size_t>(i)] =
            static_cast<int16_t>(std::lround(20000 * std::sin(2 * M_PI * hz * i / kRate)));
    }
    return s;
}

inline std::vector<uint8_t> Word(int version) {
    return platform::sound::Pcm16Image(Samples(version), kRate, 1);
}

inline std::string Labels(int version) {
    return version ? "Hello\nGood bye\n" : "Yeah\n";
}

}  // namespace versions
