// The limiter on the mix: nothing reaches full scale, and what does not need limiting keeps its
// level.
#include "platform/wave/Limiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/Spectrum.h"

using namespace platform::wave;

namespace {

// Runs `mix` (interleaved stereo) through a limiter period by period, as the mixer does.
std::vector<float> Limit(std::vector<float> mix, int period) {
    Limiter limiter(48000);
    for (size_t at = 0; at < mix.size(); at += 2 * static_cast<size_t>(period)) {
        const int n = static_cast<int>(std::min<size_t>(period, (mix.size() - at) / 2));
        limiter.Process(mix.data() + at, n);
    }
    return mix;
}

std::vector<float> Left(const std::vector<float>& stereo) {
    std::vector<float> l;
    for (size_t i = 0; i < stereo.size(); i += 2) {
        l.push_back(stereo[i]);
    }
    return l;
}

TEST(Limiter, ADenseSumNeverReachesFullScale) {
    // Words piled over a beat: tone bursts and kicks summing to three times full scale.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> hz(150, 3000);
    std::vector<float> mix(2 * 48000 * 3, 0.0f);
    for (int word = 0; word < 40; ++word) {
        const size_t start = static_cast<size_t>(rng() % (48000 * 2));
        const double f = hz(rng);
        for (size_t i = 0; i < 24000 && start + i < mix.size() / 2; ++i) {
            const float s = static_cast<float>(0.5 * std::sin(2 * M_PI * f * i / 48000));
            mix[2 * (start + i)] += s;
            mix[2 * (start + i) + 1] += s * 0.8f;
        }
    }
    for (size_t beat = 0; beat < mix.size() / 2; beat += 24000) {
        for (size_t i = 0; i < 4800 && beat + i < mix.size() / 2; ++i) {
            const float s = static_cast<float>(0.9 * std::exp(-i / 1500.0) *
                                               std::sin(2 * M_PI * 55 * i / 48000));
            mix[2 * (beat + i)] += s;
            mix[2 * (beat + i) + 1] += s;
        }
    }
    for (int period : {256, 97, 4096}) {
        auto out = Limit(mix, period);
        size_t atFull = 0;
        float peak = 0;
        for (float s : out) {
            peak = std::max(peak, std::fabs(s));
            atFull += std::fabs(s) >= 32767.0f / 32768.0f ? 1 : 0;
        }
        EXPECT_EQ(atFull, 0u) << period;
        EXPECT_LE(peak, Limiter::kThreshold) << period;
        EXPECT_GT(peak, 0.9f) << period;  // limited, not turned down wholesale
    }
}

TEST(Limiter, AWordAtFullVolumeKeepsItsLevel) {
    // A word whose peaks touch full scale (resampling can take them a little over), and one
    // that stays below: the first within 0.5 dB, the second bit for bit.
    for (double peak : {1.06, 0.95}) {
        std::vector<float> word(2 * 48000, 0.0f);
        for (size_t i = 0; i < 48000; ++i) {
            const double envelope = std::sin(M_PI * i / 48000.0);
            const float s =
                static_cast<float>(peak * envelope * std::sin(2 * M_PI * 330 * i / 48000));
            word[2 * i] = s;
            word[2 * i + 1] = s;
        }
        auto out = Limit(word, 256);
        const double change = spectrum::RmsDb(Left(out)) - spectrum::RmsDb(Left(word));
        if (peak < Limiter::kThreshold) {
            EXPECT_EQ(out, word);
        } else {
            EXPECT_NEAR(change, 0.0, 0.5) << peak;
            EXPECT_LT(change, 0.0) << peak;
        }
    }
}

TEST(Limiter, TheGainMovesSmoothlyAndComesBack) {
    // One loud burst in quiet sound: the gain ramps down, holds, and returns to 1 afterwards.
    std::vector<float> mix(2 * 48000, 0.0f);
    for (size_t i = 0; i < 48000; ++i) {
        const double level = (i >= 10000 && i < 10480) ? 1.8 : 0.3;
        const float s = static_cast<float>(level * std::sin(2 * M_PI * 200 * i / 48000));
        mix[2 * i] = mix[2 * i + 1] = s;
    }
    Limiter limiter(48000);
    float before = 1.0f, lowest = 1.0f, largestStep = 0.0f;
    for (size_t at = 0; at + 512 <= mix.size(); at += 512) {
        limiter.Process(mix.data() + at, 256);
        largestStep = std::max(largestStep, std::fabs(limiter.Gain() - before));
        lowest = std::min(lowest, limiter.Gain());
        before = limiter.Gain();
    }
    EXPECT_LT(lowest, 0.6f);
    EXPECT_EQ(limiter.Gain(), 1.0f);
    EXPECT_LT(largestStep, 0.5f);
}

}  // namespace
