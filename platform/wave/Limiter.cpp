#include "platform/wave/Limiter.h"

#include <algorithm>
#include <cmath>

namespace platform::wave {

Limiter::Limiter(uint32_t rate)
    : attackStep_(1.0f / (kAttackMs * 0.001f * static_cast<float>(rate))),
      releaseCoef_(1.0f - std::exp(-1.0f / (kReleaseMs * 0.001f * static_cast<float>(rate)))),
      holdFrames_(static_cast<int>(kAttackMs * 0.001f * static_cast<float>(rate))) {}

void Limiter::Process(float* io, int count) {
    count = std::min(count, kMaxFrames);
    float peak = 0.0f;
    for (int i = 0; i < 2 * count; ++i) {
        peak = std::max(peak, std::fabs(io[i]));
    }
    if (gain_ >= 1.0f && peak <= kThreshold) {
        return;  // the usual case: nothing near full scale, nothing to recover from
    }
    for (int i = 0; i < count; ++i) {
        const float p = std::max(std::fabs(io[2 * i]), std::fabs(io[2 * i + 1]));
        need_[i] = p > kThreshold ? kThreshold / p : 1.0f;
    }
    // Backwards, so the gain is already down when a peak arrives instead of jumping at it.
    float ahead = 1.0f;
    for (int i = count - 1; i >= 0; --i) {
        ahead = std::min(need_[i], ahead + attackStep_);
        need_[i] = ahead;
    }
    float g = gain_;
    int hold = hold_;
    for (int i = 0; i < count; ++i) {
        const float want = need_[i];
        if (want <= g) {
            g = want;
            hold = holdFrames_;
        } else if (hold > 0) {
            --hold;
        } else {
            g = std::min(want, g + (1.0f - g) * releaseCoef_);
            if (g > 0.9999f) {
                g = 1.0f;
            }
        }
        // The clamp only catches rounding: the gain already keeps the frame under the threshold.
        io[2 * i] = std::clamp(io[2 * i] * g, -kThreshold, kThreshold);
        io[2 * i + 1] = std::clamp(io[2 * i + 1] * g, -kThreshold, kThreshold);
    }
    gain_ = g;
    hold_ = hold;
}

}  // namespace platform::wave
