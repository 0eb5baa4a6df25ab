#include "platform/shell/PngEncoder.h"

#include <png.h>

#include <csetjmp>

namespace platform::shell {
namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Everything libpng needs after a longjmp out of it lives outside the frame that calls setjmp.
struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_color> palette;
    ~Writer() { png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr); }
};

bool Write(Writer& w, const PngImage& image, std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(w.png)) != 0) {
        return false;
    }
    png_set_write_fn(w.png, out, Append, nullptr);
    if (image.compressionLevel >= 0) {
        png_set_compression_level(w.png, image.compressionLevel);
    }
    if (image.tryEveryFilter) {
        png_set_filter(w.png, 0, PNG_ALL_FILTERS);
    }
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!w.palette.empty()) {
        png_set_PLTE(w.png, w.info, w.palette.data(), static_cast<int>(w.palette.size()));
    }
    if (!image.transparency.empty()) {
        png_set_tRNS(w.png, w.info, image.transparency.data(),
                     static_cast<int>(image.transparency.size()), nullptr);
    }
    png_write_info(w.png, w.info);
    png_write_image(w.png, const_cast<png_bytepp>(image.rows.data()));
    png_write_end(w.png, w.info);
    return true;
}

}  // namespace

bool EncodePng(const PngImage& image, std::vector<uint8_t>* out) {
    out->clear();
    if (image.width <= 0 || image.height <= 0 ||
        image.rows.size() != static_cast<size_t>(image.height)) {
        return false;
    }
    Writer w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    w.info = w.png ? png_create_info_struct(w.png) : nullptr;
    if (!w.info) {
        return false;
    }
    for (const auto& entry : image.palette) {
        w.palette.push_back({entry[0], entry[1], entry[2]});
    }
    if (!Write(w, image, out)) {
        out->clear();
        return false;
    }
    return true;
}

bool EncodeRgbPng(const uint32_t* pixels, int width, int height, size_t stride,
                  std::vector<uint8_t>* out) {
    if (width <= 0 || height <= 0) {
        out->clear();
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> rgb(rowBytes * static_cast<size_t>(height));
    PngImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride);
        uint8_t* to = rgb.data() + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            to[x * 3] = static_cast<uint8_t>(row[x] >> 16);
            to[x * 3 + 1] = static_cast<uint8_t>(row[x] >> 8);
            to[x * 3 + 2] = static_cast<uint8_t>(row[x]);
        }
        image.rows.push_back(to);
    }
    return EncodePng(image, out);
}

}  // namespace platform::shell
