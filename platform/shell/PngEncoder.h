// PNG files made in memory with libpng: the scripted device's shots, the asset tool's pictures and
// the tests' references. A library of its own (pulsor_png) that needs nothing else of the platform,
// so the asset tool links it alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::shell {

struct PngImage {
    int width = 0;
    int height = 0;
    int colorType = 2;  // PNG_COLOR_TYPE_*: 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::array<uint8_t, 3>> palette;  // PLTE, for palette images
    std::vector<uint8_t> transparency;            // tRNS, for palette images
    std::vector<const uint8_t*> rows;             // `height` rows, packed as the format stores them
    // zlib's level (-1: libpng's default) and whether every row filter is tried: the smallest
    // file for what is installed, libpng's quick choice for shots and test pictures.
    int compressionLevel = -1;
    bool tryEveryFilter = false;
};

// False when libpng refuses the image (sizes, depths, rows missing); `out` then holds nothing.
bool EncodePng(const PngImage& image, std::vector<uint8_t>* out);

// 0x00RRGGBB pixels (the top byte is ignored), rows `stride` bytes apart, as 8-bit RGB with
// libpng's defaults.
bool EncodeRgbPng(const uint32_t* pixels, int width, int height, size_t stride,
                  std::vector<uint8_t>* out);

}  // namespace platform::shell
