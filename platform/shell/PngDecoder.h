// PNG decoding with libpng for SHLoadImageFile, the embedded resources and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "platform/win32.h"

namespace platform::shell {

// Images larger than this on a side are refused.
constexpr int kMaxImageSide = 8192;

enum class Alpha {
    Drop,  // 32-bit BGRX with X = 0: transparency is by the magenta key only
    Keep,  // 32-bit BGRA, opaque where the image has no alpha (window icons)
};

// Receives the image size once the header is read and returns where the rows go (top-down,
// `*stride` bytes apart, at least width * 4), or null to give up.
using PixelTarget = std::function<uint8_t*(int width, int height, size_t* stride)>;

// False on any error: malformed or truncated data, a bad checksum, a side above maxSide. The
// target may have been called even then; its memory is the caller's to release.
bool DecodePng(const uint8_t* data, size_t size, Alpha alpha, int maxSide,
               const PixelTarget& target);
bool DecodePngFile(FILE* file, Alpha alpha, int maxSide, const PixelTarget& target);

// Decodes into a new bitmap (alpha dropped); null on any failure.
HBITMAP DecodePngBitmap(const uint8_t* data, size_t size, int maxSide = kMaxImageSide);

}  // namespace platform::shell
