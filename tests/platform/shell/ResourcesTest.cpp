#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "platform/gdi/GdiInternal.h"
#include "platform/kernel/WideString.h"
#include "platform/shell/Icon.h"
#include "platform/shell/Resources.h"
#include "platform/win32.h"

namespace {

bool SamePixels(HBITMAP a, HBITMAP b) {
    int wa = 0, ha = 0, sa = 0, wb = 0, hb = 0, sb = 0;
    const uint32_t* pa = platform::gdi::BitmapPixels(a, &wa, &ha, &sa);
    const uint32_t* pb = platform::gdi::BitmapPixels(b, &wb, &hb, &sb);
    if (!pa || !pb || wa != wb || ha != hb) {
        return false;
    }
    for (int y = 0; y < ha; ++y) {
        for (int x = 0; x < wa; ++x) {
            if (pa[y * (sa / 4) + x] != pb[y * (sb / 4) + x]) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

// Every image in assets/resources is built in: a bitmap under its id, or one image of an icon.
TEST(Resources, EveryEmbeddedImageLoadsAsItsFileDoes) {
    const HINSTANCE module = GetModuleHandle(nullptr);
    const std::filesystem::path folder = std::string(PULSOR_SOURCE_DIR) + "/assets/resources";
    const std::regex name("([0-9]+)(_([0-9]+))?\\.png");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::smatch match;
        const std::string file = entry.path().filename().string();
        if (!std::regex_match(file, match, name)) {
            continue;
        }
        ++files;
        const int id = std::stoi(match[1]);
        HBITMAP fromFile = SHLoadImageFile(platform::FromUtf8(entry.path().string()).c_str());
        ASSERT_NE(fromFile, nullptr) << file;
        if (!match[3].matched) {
            HBITMAP bitmap = LoadBitmap(module, MAKEINTRESOURCE(id));
            EXPECT_TRUE(SamePixels(bitmap, fromFile)) << file;
            DeleteObject(bitmap);
        } else {
            const int size = std::stoi(match[3]);
            HICON icon = LoadIcon(module, MAKEINTRESOURCE(id));
            ASSERT_NE(icon, nullptr) << file;
            const auto* object = platform::LookupAs<platform::shell::IconObject>(icon);
            ASSERT_NE(object, nullptr);
            bool found = false;
            for (const auto& image : object->images) {
                found = found || (image.width == size && image.height == size);
            }
            EXPECT_TRUE(found) << file;
            EXPECT_GE(platform::shell::LargestIconImage(icon)->width, size);
        }
        DeleteObject(fromFile);
    }
    EXPECT_EQ(files, platform::kEmbeddedResourceCount);
}

TEST(Resources, UnknownIdsNamesAndModulesGiveNull) {
    const HINSTANCE module = GetModuleHandle(nullptr);
    int notAHandle = 0;
    EXPECT_EQ(LoadBitmap(module, MAKEINTRESOURCE(9999)), nullptr);
    EXPECT_EQ(LoadBitmap(module, L"Logo"), nullptr);
    EXPECT_EQ(LoadBitmap(nullptr, MAKEINTRESOURCE(102)), nullptr);
    EXPECT_EQ(LoadBitmap(reinterpret_cast<HINSTANCE>(&notAHandle), MAKEINTRESOURCE(102)), nullptr);
    EXPECT_EQ(LoadIcon(module, MAKEINTRESOURCE(9999)), nullptr);
    EXPECT_EQ(LoadIcon(module, L"Icon"), nullptr);
    EXPECT_EQ(platform::shell::LargestIconImage(nullptr), nullptr);
    EXPECT_FALSE(DestroyIcon(nullptr));
    EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(&notAHandle)));
}

TEST(Resources, IconsAndTheArrowAreShared) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), arrow);
    EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(32513)), nullptr);
    EXPECT_EQ(LoadCursor(GetModuleHandle(nullptr), IDC_ARROW), nullptr);

    HICON application = LoadIcon(nullptr, IDI_APPLICATION);
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(LoadIcon(nullptr, IDI_APPLICATION), application);
    EXPECT_TRUE(DestroyIcon(application));
    EXPECT_EQ(LoadIcon(nullptr, IDI_APPLICATION), application);
}

// The program's icon group, 101, holds 16, 32 and 64 pixel images; the window gets the largest.
TEST(Resources, TheProgramIconsLargestImageIsItsWindowIcon) {
    bool embedded = false;
    for (int i = 0; i < platform::kEmbeddedResourceCount; ++i) {
        embedded = embedded || platform::kEmbeddedResources[i].id == 101;
    }
    if (!embedded) {
        GTEST_SKIP() << "no icon built in";
    }
    HICON icon = LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(101));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(101)), icon);
    const platform::shell::IconImage* largest = platform::shell::LargestIconImage(icon);
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->width, 64);
    EXPECT_EQ(largest->height, 64);
    ASSERT_EQ(largest->pixels.size(), 64u * 64u);
    // Opaque where the image has no alpha channel.
    EXPECT_EQ(largest->pixels[0] >> 24, 0xFFu);
}
