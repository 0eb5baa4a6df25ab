// Decodes arbitrary bytes as PNG, with alpha dropped into a bitmap and with alpha kept into
// memory; both must agree on whether the data is an image and on its colours.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gdi/GdiInternal.h"
#include "platform/shell/PngDecoder.h"
#include "platform/win32.h"

namespace {
// Keeps each run small; the size limit itself is checked at the same place for any value.
constexpr int kMaxSide = 1024;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace platform::shell;
    std::vector<uint32_t> kept;
    int keptWidth = 0;
    int keptHeight = 0;
    const bool keptOk =
        DecodePng(data, size, Alpha::Keep, kMaxSide, [&](int width, int height, size_t* stride) {
            keptWidth = width;
            keptHeight = height;
            kept.assign(static_cast<size_t>(width) * height, 0);
            *stride = static_cast<size_t>(width) * 4;
            return reinterpret_cast<uint8_t*>(kept.data());
        });
    HBITMAP bitmap = DecodePngBitmap(data, size, kMaxSide);
    if (keptOk != (bitmap != nullptr)) {
        std::abort();
    }
    if (bitmap) {
        int width = 0, height = 0, stride = 0;
        const uint32_t* pixels = platform::gdi::BitmapPixels(bitmap, &width, &height, &stride);
        if (!pixels || width != keptWidth || height != keptHeight) {
            std::abort();
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t a = pixels[static_cast<size_t>(y) * (stride / 4) + x];
                const uint32_t b = kept[static_cast<size_t>(y) * width + x];
                // Same colour where the image is opaque; the X byte is always 0.
                if ((a >> 24) != 0 || ((b >> 24) == 0xFF && a != (b & 0xFFFFFF))) {
                    std::abort();
                }
            }
        }
        DeleteObject(bitmap);
    }
    return 0;
}
