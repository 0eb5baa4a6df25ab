// PNG files of any colour type and depth, for the decoder's tests.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/shell/PngEncoder.h"

struct PngLayout {
    int width = 4;
    int height = 3;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> transparency;       // tRNS for palette images
    std::vector<std::vector<uint8_t>> rows;  // packed as the format stores them
};

inline std::string EncodePng(const PngLayout& layout) {
    platform::shell::PngImage image;
    image.width = layout.width;
    image.height = layout.height;
    image.colorType = layout.colorType;
    image.bitDepth = layout.bitDepth;
    image.interlaced = layout.interlaced;
    for (const png_color& c : layout.palette) {
        image.palette.push_back({c.red, c.green, c.blue});
    }
    image.transparency = layout.transparency;
    for (const auto& row : layout.rows) {
        image.rows.push_back(row.data());
    }
    std::vector<uint8_t> encoded;
    platform::shell::EncodePng(image, &encoded);
    return std::string(encoded.begin(), encoded.end());
}

// The CRC-32 a chunk carries over its type and data.
inline uint32_t ChunkCrc(const std::string& typeAndData) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : typeAndData) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

// Offset of the first chunk of the given type (its length field), or npos.
inline size_t FindChunk(const std::string& png, const char* type) {
    size_t offset = 8;
    while (offset + 8 <= png.size()) {
        const uint32_t length = (uint8_t(png[offset]) << 24) | (uint8_t(png[offset + 1]) << 16) |
                                (uint8_t(png[offset + 2]) << 8) | uint8_t(png[offset + 3]);
        if (png.compare(offset + 4, 4, type) == 0) {
            return offset;
        }
        offset += 12 + length;
    }
    return std::string::npos;
}
