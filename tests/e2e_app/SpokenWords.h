// Which of the pad's words a recording holds where: the built-in words as the mixer plays them,
// matched by correlation.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_app/E2eSupport.h"

namespace e2e {

const int kRate = 48000;

// The 32 words as the mixer plays them at 48 kHz, each with the index of its first loud sample.
struct Template {
    std::vector<float> samples;
    size_t onset = 0;
};

inline const Template& Word(bool high, int word) {
    static std::vector<Template> cache(32);
    Template& t = cache[(high ? 16 : 0) + word - 1];
    if (t.samples.empty()) {
        t.samples = Resample(ReadWav(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/" +
                                     (high ? "H" : "L") + std::to_string(word) + ".wav"),
                             kRate);
        t.onset = std::min(Onset(t.samples, 0), t.samples.size());
    }
    return t;
}

// Which of the 16 words (1..16) of one voice sounds in the recording from its onset `at` (give or
// take `window` samples), the word's own onset lined up with it; 0 when none matches well.
inline int WordAt(const std::vector<float>& recording, size_t at, bool high,
                  double* score = nullptr, size_t length = kRate / 4, size_t window = 8) {
    int best = 0;
    double bestScore = 0.8;
    for (int w = 1; w <= 16; ++w) {
        const Template& t = Word(high, w);
        const std::vector<float> word(t.samples.begin() + t.onset, t.samples.end());
        // Coarse steps over the window, then every sample around the best of them.
        size_t coarse = at;
        double coarseScore = -1;
        for (size_t lag = at - window; lag <= at + window; lag += 8) {
            const double c = Correlation(recording, lag, word, length / 4);
            if (c > coarseScore) {
                coarseScore = c;
                coarse = lag;
            }
        }
        for (size_t lag = coarse - 8; lag <= coarse + 8; ++lag) {
            const double c = Correlation(recording, lag, word, length);
            if (c > bestScore) {
                bestScore = c;
                best = w;
            }
        }
    }
    if (score) {
        *score = bestScore;
    }
    return best;
}

}  // namespace e2e
