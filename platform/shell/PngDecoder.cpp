#include "platform/shell/PngDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/gdi/GdiInternal.h"

namespace platform::shell {
namespace {

struct Source {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
    FILE* file = nullptr;
};

// Everything that must survive a longjmp out of libpng lives here, outside the frame that calls
// setjmp.
struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source source;
    std::vector<png_bytep> rows;
};

void ReadData(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (source->file) {
        if (std::fread(out, 1, length, source->file) != length) {
            png_error(png, "read failed");
        }
        return;
    }
    if (length > source->size - source->offset) {
        png_error(png, "truncated");
    }
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

void Warning(png_structp, png_const_charp) {}

void Error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool Run(Decoder* d, Alpha alpha, int maxSide, const PixelTarget& target) {
    if (setjmp(png_jmpbuf(d->png))) {
        return false;
    }
    png_set_read_fn(d->png, &d->source, ReadData);
    png_set_user_limits(d->png, static_cast<png_uint_32>(maxSide),
                        static_cast<png_uint_32>(maxSide));
    png_set_chunk_malloc_max(d->png, 8u << 20);
    png_read_info(d->png, d->info);

    const png_uint_32 width = png_get_image_width(d->png, d->info);
    const png_uint_32 height = png_get_image_height(d->png, d->info);
    if (width == 0 || height == 0 || width > static_cast<png_uint_32>(maxSide) ||
        height > static_cast<png_uint_32>(maxSide)) {
        return false;
    }
    const int colorType = png_get_color_type(d->png, d->info);
    const int bitDepth = png_get_bit_depth(d->png, d->info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(d->png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(d->png);
    }
    if (bitDepth == 16) {
        png_set_scale_16(d->png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(d->png);
    }
    if (alpha == Alpha::Drop) {
        png_set_strip_alpha(d->png);
        png_set_filler(d->png, 0, PNG_FILLER_AFTER);
    } else {
        if (png_get_valid(d->png, d->info, PNG_INFO_tRNS)) {
            png_set_tRNS_to_alpha(d->png);
        }
        png_set_add_alpha(d->png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_bgr(d->png);
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    if (png_get_rowbytes(d->png, d->info) != static_cast<size_t>(width) * 4) {
        return false;
    }

    size_t stride = 0;
    uint8_t* pixels = target(static_cast<int>(width), static_cast<int>(height), &stride);
    if (!pixels || stride < static_cast<size_t>(width) * 4) {
        return false;
    }
    d->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        d->rows[y] = pixels + y * stride;
    }
    png_read_image(d->png, d->rows.data());
    png_read_end(d->png, nullptr);
    return true;
}

bool Decode(const Source& source, Alpha alpha, int maxSide, const PixelTarget& target) {
    Decoder d;
    d.source = source;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
    if (!d.png) {
        return false;
    }
    d.info = png_create_info_struct(d.png);
    const bool ok = d.info && Run(&d, alpha, maxSide, target);
    png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
    return ok;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Alpha alpha, int maxSide,
               const PixelTarget& target) {
    if (!data) {
        return false;
    }
    Source source;
    source.data = data;
    source.size = size;
    return Decode(source, alpha, maxSide, target);
}

bool DecodePngFile(FILE* file, Alpha alpha, int maxSide, const PixelTarget& target) {
    if (!file) {
        return false;
    }
    Source source;
    source.file = file;
    return Decode(source, alpha, maxSide, target);
}

namespace {

// Decodes into a bitmap made for the image; deletes it again when decoding fails.
template <class DecodeFn>
HBITMAP DecodeToBitmap(DecodeFn decode) {
    HBITMAP bitmap = nullptr;
    const bool ok = decode([&bitmap](int width, int height, size_t* stride) -> uint8_t* {
        bitmap = gdi::CreateBitmap32(width, height);
        int rowBytes = 0;
        uint32_t* pixels =
            bitmap ? gdi::BitmapPixels(bitmap, nullptr, nullptr, &rowBytes) : nullptr;
        *stride = static_cast<size_t>(rowBytes);
        return reinterpret_cast<uint8_t*>(pixels);
    });
    if (!ok && bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return bitmap;
}

}  // namespace

HBITMAP DecodePngBitmap(const uint8_t* data, size_t size, int maxSide) {
    return DecodeToBitmap([&](const PixelTarget& target) {
        return DecodePng(data, size, Alpha::Drop, maxSide, target);
    });
}

}  // namespace platform::shell

HBITMAP SHLoadImageFile(LPCWSTR fileName) {
    if (!fileName) {
        return nullptr;
    }
    FILE* file = _wfopen(fileName, L"rb");
    if (!file) {
        return nullptr;
    }
    HBITMAP bitmap = platform::shell::DecodeToBitmap([&](const platform::shell::PixelTarget& t) {
        return platform::shell::DecodePngFile(file, platform::shell::Alpha::Drop,
                                              platform::shell::kMaxImageSide, t);
    });
    std::fclose(file);
    return bitmap;
}
