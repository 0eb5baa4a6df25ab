// The peak limiter on the mix: keeps every sample below full scale without touching sound that
// stays under its threshold.
//
// It looks ahead only inside the period being rendered (no added latency, so a reset voice is
// still silent from the next frame): ahead of a peak the gain falls along a ramp of at most
// kAttackMs, is held for as long, then recovers with a kReleaseMs time constant. A peak in the
// first frames of a period, which the last one could not see coming, gets a steeper ramp.
#pragma once

#include <cstdint>

namespace platform::wave {

class Limiter {
public:
    static constexpr float kThreshold = 0.977f;  // -0.2 dBFS
    static constexpr float kAttackMs = 2.0f;
    static constexpr float kReleaseMs = 15.0f;
    static constexpr int kMaxFrames = 4096;

    explicit Limiter(uint32_t rate);

    // `frames` (at most kMaxFrames) interleaved stereo frames, in place.
    void Process(float* frames, int count);

    // The gain applied to the last frame (1 when idle).
    float Gain() const { return gain_; }

private:
    float attackStep_;   // the most the gain may fall per frame ahead of a peak
    float releaseCoef_;  // share of the way back to 1 per frame
    int holdFrames_;
    float gain_ = 1.0f;
    int hold_ = 0;
    float need_[kMaxFrames];
};

}  // namespace platform::wave
