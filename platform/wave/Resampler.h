// Converting a whole buffer to the device rate once, when it is prepared, so that the mixer only
// sums. libsoxr at its high quality: images of the source band are more than 100 dB down.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wave/Mixer.h"

namespace platform::wave {

// `frames` frames of `from` as interleaved float at `rate`, with from.channels channels. The
// result may exceed full scale (the limiter on the mix deals with that). False when the
// conversion fails or there is not enough memory; `out` is then empty.
bool ResampleToFloat(const SourceFormat& from, const uint8_t* data, uint32_t frames, uint32_t rate,
                     std::vector<float>* out);

}  // namespace platform::wave
