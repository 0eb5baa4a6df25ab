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
#include "platform/shell/PngEncoder.h"
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
    std::vector<uint8_t> encoded;
    if (!platform::shell::EncodeRgbPng(picture.pixels.data(), picture.width, picture.height,
                                       static_cast<size_t>(picture.width) * sizeof(uint32_t),
                                       &encoded)) {
        return false;
    }
    File file(std::fopen(path.c_str(), "wb"));
    return file && std::fwrite(encoded.data(), 1, encoded.size(), file.get()) == encoded.size();
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
