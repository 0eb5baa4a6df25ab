#include <gtest/gtest.h>

#include <string>

#include "PngWriter.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/kernel/WideString.h"
#include "platform/shell/PngDecoder.h"
#include "platform/shell/PngEncoder.h"
#include "platform/win32.h"
#include "support/TempDir.h"

namespace {

// The test picture: red across, green down, blue fixed; 0x00RRGGBB as the bitmap holds it.
uint32_t Expected(int x, int y) {
    return (static_cast<uint32_t>(x * 60) << 16) | (static_cast<uint32_t>(y * 100) << 8) | 0x30;
}

PngLayout Truecolour(int channels, int depth) {
    PngLayout layout;
    layout.colorType = channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    layout.bitDepth = depth;
    for (int y = 0; y < layout.height; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < layout.width; ++x) {
            const uint8_t c[4] = {uint8_t(x * 60), uint8_t(y * 100), 0x30, uint8_t(x * 80)};
            for (int i = 0; i < channels; ++i) {
                row.push_back(c[i]);
                if (depth == 16) {
                    row.push_back(c[i]);  // c * 257 scales back to c exactly
                }
            }
        }
        layout.rows.push_back(row);
    }
    return layout;
}

// The pixels of a bitmap as 0x00RRGGBB, or empty for a bad handle.
std::vector<uint32_t> Pixels(HBITMAP bitmap, int* width, int* height) {
    int stride = 0;
    const uint32_t* p = platform::gdi::BitmapPixels(bitmap, width, height, &stride);
    std::vector<uint32_t> out;
    for (int y = 0; p && y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            out.push_back(p[static_cast<size_t>(y) * (stride / 4) + x]);
        }
    }
    return out;
}

class ImageFileTest : public ::testing::Test {
protected:
    HBITMAP Load(const std::string& bytes, const std::string& name = "image.png") {
        WriteFile(dir / name, bytes);
        return SHLoadImageFile(platform::FromUtf8(dir / name).c_str());
    }
    TempDir dir;
};

}  // namespace

TEST_F(ImageFileTest, TruecolourImagesLoadWithAlphaDropped) {
    for (int channels : {3, 4}) {
        for (int depth : {8, 16}) {
            for (bool interlaced : {false, true}) {
                PngLayout layout = Truecolour(channels, depth);
                layout.interlaced = interlaced;
                HBITMAP bitmap = Load(EncodePng(layout));
                ASSERT_NE(bitmap, nullptr) << channels << " " << depth << " " << interlaced;
                int width = 0, height = 0;
                const std::vector<uint32_t> pixels = Pixels(bitmap, &width, &height);
                ASSERT_EQ(width, 4);
                ASSERT_EQ(height, 3);
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < 4; ++x) {
                        EXPECT_EQ(pixels[y * 4 + x], Expected(x, y))
                            << channels << " channels, " << depth << " bits, (" << x << "," << y
                            << ")";
                    }
                }
                DeleteObject(bitmap);
            }
        }
    }
}

TEST_F(ImageFileTest, GreyImagesOfEveryDepthLoadAsGrey) {
    for (int depth : {1, 2, 4, 8, 16}) {
        for (bool withAlpha : {false, true}) {
            if (withAlpha && depth < 8) {
                continue;
            }
            PngLayout layout;
            layout.width = 8;
            layout.height = 1;
            layout.bitDepth = depth;
            layout.colorType = withAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY;
            const int maxLevel = depth >= 8 ? 255 : (1 << depth) - 1;
            std::vector<int> levels;
            std::vector<uint8_t> row((8 * depth * (withAlpha ? 2 : 1) + 7) / 8, 0);
            for (int x = 0; x < 8; ++x) {
                const int level = (x * maxLevel) / 7;
                levels.push_back(depth >= 8 ? level : level * 255 / maxLevel);
                if (depth < 8) {
                    row[(x * depth) / 8] |=
                        static_cast<uint8_t>(level << (8 - depth - (x * depth) % 8));
                } else {
                    const int bytes = depth / 8;
                    const int step = bytes * (withAlpha ? 2 : 1);
                    for (int b = 0; b < bytes; ++b) {
                        row[x * step + b] = static_cast<uint8_t>(level);
                        if (withAlpha) {
                            row[x * step + bytes + b] = 0x11;
                        }
                    }
                }
            }
            layout.rows.push_back(row);
            HBITMAP bitmap = Load(EncodePng(layout));
            ASSERT_NE(bitmap, nullptr) << depth;
            int width = 0, height = 0;
            const std::vector<uint32_t> pixels = Pixels(bitmap, &width, &height);
            ASSERT_EQ(width, 8);
            for (int x = 0; x < 8; ++x) {
                const uint32_t g = static_cast<uint32_t>(levels[x]);
                EXPECT_EQ(pixels[x], (g << 16) | (g << 8) | g) << depth << " bits, x " << x;
            }
            DeleteObject(bitmap);
        }
    }
}

TEST_F(ImageFileTest, PaletteImagesKeepTheirColoursWhateverTheirTransparency) {
    for (int depth : {1, 2, 4, 8}) {
        PngLayout layout;
        layout.width = 2;
        layout.height = 1;
        layout.bitDepth = depth;
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        layout.palette = {png_color{255, 0, 255}, png_color{10, 20, 30}};
        layout.transparency = {0};  // entry 0 fully transparent
        // Pixel 0 is entry 0, pixel 1 entry 1, packed from the high bits down.
        layout.rows = {depth == 8
                           ? std::vector<uint8_t>{0, 1}
                           : std::vector<uint8_t>{static_cast<uint8_t>(1 << (8 - 2 * depth))}};
        HBITMAP bitmap = Load(EncodePng(layout));
        ASSERT_NE(bitmap, nullptr) << depth;
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = Pixels(bitmap, &width, &height);
        EXPECT_EQ(pixels[0], 0x00FF00FFu) << depth;
        EXPECT_EQ(pixels[1], 0x000A141Eu) << depth;
        DeleteObject(bitmap);
    }
}

TEST_F(ImageFileTest, DamagedFilesGiveNull) {
    const std::string good = EncodePng(Truecolour(3, 8));
    ASSERT_NE(Load(good), nullptr);

    for (size_t length : {size_t(0), size_t(7), size_t(8), size_t(30), good.size() / 2,
                          good.size() - 13, good.size() - 1}) {
        EXPECT_EQ(Load(good.substr(0, length)), nullptr) << "truncated to " << length;
    }

    std::string badCrc = good;
    const size_t idat = FindChunk(badCrc, "IDAT");
    ASSERT_NE(idat, std::string::npos);
    badCrc[idat + 8] = static_cast<char>(badCrc[idat + 8] ^ 0x40);
    EXPECT_EQ(Load(badCrc), nullptr);

    std::string badHeaderCrc = good;
    badHeaderCrc[FindChunk(good, "IHDR") + 8 + 13] ^= 1;
    EXPECT_EQ(Load(badHeaderCrc), nullptr);

    EXPECT_EQ(Load("not an image at all, just text"), nullptr);
    EXPECT_EQ(Load("\x89PNG\r\n\x1a\n"), nullptr);
    EXPECT_EQ(SHLoadImageFile(platform::FromUtf8(dir / "missing.png").c_str()), nullptr);
    EXPECT_EQ(SHLoadImageFile(platform::FromUtf8(dir.Path()).c_str()), nullptr);
    EXPECT_EQ(SHLoadImageFile(nullptr), nullptr);
}

TEST_F(ImageFileTest, ImagesAboveTheSizeLimitGiveNull) {
    PngLayout edge;
    edge.colorType = PNG_COLOR_TYPE_GRAY;
    edge.width = platform::shell::kMaxImageSide;
    edge.height = 1;
    edge.rows = {std::vector<uint8_t>(static_cast<size_t>(edge.width), 0x80)};
    HBITMAP bitmap = Load(EncodePng(edge));
    ASSERT_NE(bitmap, nullptr);
    DeleteObject(bitmap);

    PngLayout wide = edge;
    wide.width = platform::shell::kMaxImageSide + 1;
    wide.rows = {std::vector<uint8_t>(static_cast<size_t>(wide.width), 0x80)};
    EXPECT_EQ(Load(EncodePng(wide)), nullptr);

    PngLayout tall;
    tall.colorType = PNG_COLOR_TYPE_GRAY;
    tall.bitDepth = 1;
    tall.width = 1;
    tall.height = platform::shell::kMaxImageSide + 1;
    tall.rows.assign(static_cast<size_t>(tall.height), std::vector<uint8_t>{0});
    EXPECT_EQ(Load(EncodePng(tall)), nullptr);

    // A header that claims a vast image over a few bytes of data.
    std::string vast = EncodePng(Truecolour(3, 8));
    const size_t ihdr = FindChunk(vast, "IHDR") + 8;
    for (int i = 0; i < 8; ++i) {
        vast[ihdr + i] = i % 4 == 1 ? '\x01' : '\0';  // 65536 x 65536
    }
    const uint32_t crc = ChunkCrc(vast.substr(ihdr - 4, 17));
    for (int i = 0; i < 4; ++i) {
        vast[ihdr + 13 + i] = static_cast<char>(crc >> (24 - 8 * i));
    }
    EXPECT_EQ(Load(vast), nullptr);
}

TEST(PngDecoder, DecodesFromMemoryAndKeepsAlphaWhenAsked) {
    const std::string png = EncodePng(Truecolour(4, 8));
    const auto* data = reinterpret_cast<const uint8_t*>(png.data());
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(platform::shell::DecodePng(data, png.size(), platform::shell::Alpha::Keep, 64,
                                           [&pixels](int width, int height, size_t* stride) {
                                               pixels.assign(static_cast<size_t>(width) * height,
                                                             0);
                                               *stride = static_cast<size_t>(width) * 4;
                                               return reinterpret_cast<uint8_t*>(pixels.data());
                                           }));
    ASSERT_EQ(pixels.size(), 12u);
    EXPECT_EQ(pixels[1], Expected(1, 0) | (80u << 24));
    EXPECT_EQ(pixels[6], Expected(2, 1) | (160u << 24));

    // A target that gives up, and a limit below the image's size, both fail.
    EXPECT_FALSE(platform::shell::DecodePng(data, png.size(), platform::shell::Alpha::Drop, 64,
                                            [](int, int, size_t*) { return nullptr; }));
    EXPECT_EQ(platform::shell::DecodePngBitmap(data, png.size(), 3), nullptr);
    HBITMAP bitmap = platform::shell::DecodePngBitmap(data, png.size(), 4);
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
}

// The shots' and golden pictures' encoding: the pixels of rows `stride` bytes apart, whatever
// their top byte holds, read back as they were.
TEST_F(ImageFileTest, RgbPicturesEncodeTheirPixelsExactly) {
    const int width = 5, height = 3, strideInPixels = 7;
    std::vector<uint32_t> pixels(static_cast<size_t>(strideInPixels) * height, 0xFFFFFFFFu);
    std::vector<uint32_t> expected;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y) * strideInPixels + x] = 0xAB000000u | Expected(x, y);
            expected.push_back(Expected(x, y));
        }
    }
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(platform::shell::EncodeRgbPng(pixels.data(), width, height,
                                              strideInPixels * sizeof(uint32_t), &encoded));
    HBITMAP bitmap = Load(std::string(encoded.begin(), encoded.end()));
    int w = 0, h = 0;
    EXPECT_EQ(Pixels(bitmap, &w, &h), expected);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    DeleteObject(bitmap);

    EXPECT_FALSE(platform::shell::EncodeRgbPng(pixels.data(), 0, height, 0, &encoded));
    EXPECT_TRUE(encoded.empty());
    platform::shell::PngImage missingRows;
    missingRows.width = 2;
    missingRows.height = 2;
    EXPECT_FALSE(platform::shell::EncodePng(missingRows, &encoded));
}
