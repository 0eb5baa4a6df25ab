// Builds PNG files of any colour type and depth with libpng, for the decoder's tests.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

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
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<std::string*>(png_get_io_ptr(p))
                ->append(reinterpret_cast<char*>(data), length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width),
                 static_cast<png_uint_32>(layout.height), layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    }
    if (!layout.transparency.empty()) {
        png_set_tRNS(png, info, layout.transparency.data(),
                     static_cast<int>(layout.transparency.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : layout.rows) {
        rows.push_back(const_cast<png_bytep>(row.data()));
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
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
