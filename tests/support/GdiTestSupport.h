// Helpers for pixel-exact engine tests: bitmaps made by formula in memory DCs, canary-filled
// destinations and a hash of the bits for checking a labelled drawing step.
#pragma once

#include <cstdint>

#include "support/PixelSurface.h"

namespace gditest {

constexpr uint32_t kCanary = 0x00A5C3E1;  // BGRX pixel no formula produces by accident

// A bitmap selected into its own memory DC.
using Surface = pixels::Surface;

// A source pixel that differs in every channel from its neighbours.
inline uint32_t Pattern(int x, int y) {
    return (uint32_t(x * 37 + y * 11) & 0xFF) << 16 | (uint32_t(x * 5 + y * 71) & 0xFF) << 8 |
           (uint32_t(x * 13 ^ y * 29) & 0xFF);
}

}  // namespace gditest
