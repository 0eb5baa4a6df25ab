// Exact comparison of a rendered picture with a committed reference PNG. The references are
// rewritten only when PULSOR_UPDATE_GOLDEN=1 is set in the environment.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/GdiInternal.h"
#include "platform/win32.h"

namespace golden {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Picture& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The pixels of a bitmap.
inline Picture PictureOf(HBITMAP bitmap) {
    Picture picture;
    int stride = 0;
    const uint32_t* pixels =
        platform::gdi::BitmapPixels(bitmap, &picture.width, &picture.height, &stride);
    if (pixels == nullptr) {
        picture.width = picture.height = 0;
        return picture;
    }
    for (int y = 0; y < picture.height; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride);
        for (int x = 0; x < picture.width; ++x) {
            picture.pixels.push_back(row[x] & 0x00FFFFFF);
        }
    }
    return picture;
}

inline bool WritePng(const std::string& path, const Picture& picture) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(picture.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t p = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            row[x * 3 + 0] = static_cast<png_byte>(p >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

inline bool ReadPng(const std::string& path, Picture* picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    for (uint32_t& p : pixels) {
        p &= 0x00FFFFFF;
    }
    picture->width = static_cast<int>(image.width);
    picture->height = static_cast<int>(image.height);
    picture->pixels = std::move(pixels);
    return true;
}

// Compares `picture` with <source>/<folder>/<name>.png. On a mismatch the rendered picture is
// written to <build>/golden-out/<name>.png and the result explains the difference; an empty result
// means equal. With PULSOR_UPDATE_GOLDEN=1 the reference is rewritten instead.
inline std::string CompareWithGolden(const std::string& folder, const std::string& name,
                                     const Picture& picture) {
    const std::filesystem::path golden =
        std::filesystem::path(PULSOR_SOURCE_DIR) / folder / (name + ".png");
    const char* update = std::getenv("PULSOR_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        return WritePng(golden.string(), picture) ? "" : "cannot write " + golden.string();
    }
    Picture expected;
    std::ostringstream why;
    if (!ReadPng(golden.string(), &expected)) {
        why << "no reference " << golden.string();
    } else if (expected.width != picture.width || expected.height != picture.height) {
        why << "size " << picture.width << "x" << picture.height << ", reference " << expected.width
            << "x" << expected.height;
    } else {
        int differing = 0;
        int firstX = -1;
        int firstY = -1;
        for (size_t i = 0; i < picture.pixels.size(); ++i) {
            if (picture.pixels[i] != expected.pixels[i]) {
                if (differing++ == 0) {
                    firstX = static_cast<int>(i % picture.width);
                    firstY = static_cast<int>(i / picture.width);
                }
            }
        }
        if (differing == 0) {
            return "";
        }
        why << differing << " pixels differ, the first at (" << firstX << ", " << firstY << ")";
    }
    const std::filesystem::path outDir = std::filesystem::path(PULSOR_BINARY_DIR) / "golden-out";
    std::filesystem::create_directories(outDir);
    const std::filesystem::path out = outDir / (name + ".png");
    WritePng(out.string(), picture);
    why << "; rendered picture in " << out.string();
    return why.str();
}

}  // namespace golden
