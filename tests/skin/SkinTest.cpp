#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/device/headless/HeadlessDevice.h"
#include "platform/kernel/WideString.h"
#include "support/ContentTestSupport.h"
#include "support/GoldenImage.h"

using content_test::AssetFolder;
using content_test::TempFolder;

namespace {

const std::filesystem::path kSkinSource = std::filesystem::path(PULSOR_SOURCE_DIR) / "assets/Skin";

// Installs a headless screen of the given dpi for the test's lifetime.
class Screen {
public:
    explicit Screen(int dpi) {
        platform::DeviceOptions options;
        options.screenWidth = 240 * dpi / 96;
        options.screenHeight = 320 * dpi / 96;
        options.dpiX = options.dpiY = dpi;
        options.headless = true;
        platform::SetCurrentDevice(std::make_unique<platform::HeadlessDevice>(options));
    }
    ~Screen() { platform::SetCurrentDevice(nullptr); }
};

LOGFONT FontOf(HFONT font) {
    LOGFONT logFont{};
    EXPECT_EQ(GetObject(font, sizeof(logFont), &logFont), static_cast<int>(sizeof(logFont)));
    return logFont;
}

TEST(Skin, EmptyFolderLeavesEveryPictureOutButMakesTheFonts) {
    Screen screen(96);
    TempFolder folder("skin-empty");
    Skin skin;
    EXPECT_TRUE(
        skin.Load(folder.WideFolder().c_str(), (folder.WideFolder() + L"Skin.txt").c_str()));
    for (int i = 0; i < SkinImageCount; ++i) {
        EXPECT_EQ(skin.GetImage(i), nullptr) << i;
    }
    for (int i = 0; i < SkinFontCount; ++i) {
        EXPECT_NE(skin.GetFont(i), nullptr) << i;
    }
}

TEST(Skin, FolderWithOnlyTheTopBarFillsOnlyItsSlot) {
    Screen screen(96);
    TempFolder folder("skin-one");
    std::filesystem::copy_file(kSkinSource / "Pic_TopBar.png", folder.Path() / "Pic_TopBar.png");
    Skin skin;
    skin.Load(folder.WideFolder().c_str(), L"");
    ASSERT_NE(skin.GetImage(PicTopBar), nullptr);
    for (int i = 1; i < SkinImageCount; ++i) {
        EXPECT_EQ(skin.GetImage(i), nullptr) << i;
    }
    EXPECT_EQ(skin.GetImage(-1), nullptr);
    EXPECT_EQ(skin.GetImage(SkinImageCount), nullptr);
}

// Each slot holds exactly the pixels of its own file, so the table order is the files' order.
TEST(Skin, RealSkinLoadsEveryFileIntoItsSlot) {
    Screen screen(96);
    TempFolder folder("skin-full");
    std::filesystem::copy(kSkinSource, folder.Path());
    // The description file is handed over and not read: its content changes nothing.
    std::ofstream(folder.Path() / "Skin.txt") << "not a skin description\n";
    Skin skin;
    skin.Load(folder.WideFolder().c_str(), (folder.WideFolder() + L"Skin.txt").c_str());
    for (int i = 0; i < SkinImageCount; ++i) {
        const std::string file = platform::ToUtf8(Skin::kImageFiles[i]);
        golden::Picture expected;
        ASSERT_TRUE(golden::ReadPng((kSkinSource / file).string(), &expected)) << file;
        const golden::Picture loaded = golden::PictureOf(skin.GetImage(i));
        EXPECT_EQ(loaded.width, expected.width) << file;
        EXPECT_EQ(loaded.height, expected.height) << file;
        EXPECT_TRUE(loaded.pixels == expected.pixels) << file;
    }
}

// The longest file name has 29 characters: a folder of 231 leaves 260 for it, one too many, while
// a shorter name still fits. The long one is not loaded from a cut path.
TEST(Skin, PictureWhosePathDoesNotFitIsLeftOut) {
    Screen screen(96);
    TempFolder temp("skin-long");
    std::filesystem::path folder = temp.Path();
    const size_t wanted = 231 - 1;  // without the separator the skin appends
    while (folder.string().size() + 41 < wanted) {
        folder /= std::string(40, 'd');
    }
    folder /= std::string(wanted - folder.string().size() - 1, 'e');
    ASSERT_EQ(folder.string().size(), wanted);
    std::filesystem::create_directories(folder);
    for (const char* file : {"Pic_TopBar.png", "Sld_PlayBeatProgress_BACK.png"}) {
        std::filesystem::copy_file(kSkinSource / file, folder / file);
    }
    const std::wstring wide = platform::FromUtf8(folder.string()) + L"/";
    Skin skin;
    skin.Load(wide.c_str(), L"");
    EXPECT_NE(skin.GetImage(PicTopBar), nullptr);
    EXPECT_EQ(skin.GetImage(SldProgressBack), nullptr);
}

void ExpectFontHeights(int dpi, const std::vector<LONG>& heights) {
    Screen screen(dpi);
    TempFolder folder("skin-fonts");
    Skin skin;
    skin.Load(folder.WideFolder().c_str(), L"");
    for (int i = 0; i < SkinFontCount; ++i) {
        const LOGFONT font = FontOf(skin.GetFont(i));
        EXPECT_EQ(font.lfHeight, heights[i]) << "font " << i << " at " << dpi << " dpi";
        EXPECT_EQ(font.lfWeight, i % 2 == 0 ? 500 : 600) << i;
        EXPECT_STREQ(font.lfFaceName, L"HelveticaNeue LT 35 Thin");
    }
}

TEST(Skin, FontHeightsFollowTheScreensResolution) {
    ExpectFontHeights(96, {12, 12, 16, 16, 18, 18});
    ExpectFontHeights(192, {24, 24, 32, 32, 36, 36});
    ExpectFontHeights(131, {16, 16, 22, 22, 25, 25});  // (units x 131 + 48) / 96, rounded
}

std::vector<HGDIOBJ> HandlesOf(const Skin& skin) {
    std::vector<HGDIOBJ> handles;
    for (int i = 0; i < SkinImageCount; ++i) {
        handles.push_back(skin.GetImage(i));
    }
    for (int i = 0; i < SkinFontCount; ++i) {
        handles.push_back(skin.GetFont(i));
    }
    return handles;
}

TEST(Skin, DestructionReleasesEveryHandleItMade) {
    Screen screen(96);
    TempFolder folder("skin-release");
    std::filesystem::copy(kSkinSource, folder.Path());
    std::vector<HGDIOBJ> handles;
    {
        Skin skin;
        skin.Load(folder.WideFolder().c_str(), L"");
        handles = HandlesOf(skin);
        for (HGDIOBJ handle : handles) {
            ASSERT_NE(GetObjectType(handle), 0u);
        }
    }
    for (HGDIOBJ handle : handles) {
        EXPECT_EQ(GetObjectType(handle), 0u);
    }
    Skin neverLoaded;  // its destructor meets only null handles
}

// Loading again releases the first set: each of its handles is gone or reused by the second.
TEST(Skin, LoadingAgainReleasesTheFirstSet) {
    Screen screen(96);
    TempFolder folder("skin-twice");
    std::filesystem::copy(kSkinSource, folder.Path());
    Skin skin;
    skin.Load(folder.WideFolder().c_str(), L"");
    const std::vector<HGDIOBJ> first = HandlesOf(skin);
    skin.Load(folder.WideFolder().c_str(), L"");
    const std::vector<HGDIOBJ> second = HandlesOf(skin);
    for (HGDIOBJ handle : first) {
        const bool reused = std::find(second.begin(), second.end(), handle) != second.end();
        EXPECT_TRUE(GetObjectType(handle) == 0 || reused);
    }
}

TEST(SkinFont, FillsTheLogicalFontAsTheSkinWantsIt) {
    Screen screen(96);
    const HFONT font = CreateSkinFont(L"Some Face", 21, true, 1, 0);
    ASSERT_NE(font, nullptr);
    const LOGFONT f = FontOf(font);
    EXPECT_EQ(f.lfHeight, 21);
    EXPECT_EQ(f.lfWidth, 0);
    EXPECT_EQ(f.lfEscapement, 0);
    EXPECT_EQ(f.lfOrientation, 0);
    EXPECT_EQ(f.lfWeight, 600);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(f.lfUnderline, 0);
    EXPECT_EQ(f.lfStrikeOut, 0);
    EXPECT_EQ(f.lfCharSet, 238);
    EXPECT_EQ(f.lfOutPrecision, 6);
    EXPECT_EQ(f.lfClipPrecision, 0);
    EXPECT_EQ(f.lfQuality, 5);
    EXPECT_EQ(f.lfPitchAndFamily, 0);
    EXPECT_STREQ(f.lfFaceName, L"Some Face");
    DeleteObject(font);

    const HFONT medium = CreateSkinFont(L"Some Face", 12, false, 0, 1);
    EXPECT_EQ(FontOf(medium).lfWeight, 500);
    EXPECT_EQ(FontOf(medium).lfUnderline, 1);
    DeleteObject(medium);
}

TEST(SkinFont, LongFaceNameIsCutToTheRecord) {
    Screen screen(96);
    const std::wstring face(40, L'x');
    const HFONT font = CreateSkinFont(face.c_str(), 12, false, 0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(std::wstring(FontOf(font).lfFaceName), std::wstring(31, L'x'));
    DeleteObject(font);
}

}  // namespace
