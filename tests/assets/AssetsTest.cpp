// Checks the committed pictures and sounds that tools/make-assets generates: the names the program
// loads, the sizes its controls stretch them to, the colour key and the WAV format it can read.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kAssets = std::string(PULSOR_SOURCE_DIR) + "/assets";

struct Picture {
    bool ok = false;
    bool rgb24 = false;  // 8-bit RGB, no alpha, no palette
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Picture LoadPicture(const std::string& path) {
    Picture p;
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        return p;
    }
    p.rgb24 = img.format == PNG_FORMAT_RGB;
    img.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, p.rgb.data(), 0, nullptr)) {
        return p;
    }
    p.width = static_cast<int>(img.width);
    p.height = static_cast<int>(img.height);
    p.ok = true;
    return p;
}

bool IsKey(const uint8_t* c) {
    return c[0] == 255 && c[1] == 0 && c[2] == 255;
}
// What a colour-keyed draw would leave behind as a pink fringe.
bool NearKey(const uint8_t* c) {
    return !IsKey(c) && c[0] > 200 && c[2] > 200 && c[1] < 60;
}
int Luma(const uint8_t* c) {
    return (c[0] * 3 + c[1] * 6 + c[2]) / 10;
}

int CountIf(const Picture& p, bool (*pred)(const uint8_t*)) {
    int n = 0;
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        n += pred(&p.rgb[i]) ? 1 : 0;
    }
    return n;
}

// Share of pixels that differ clearly between two pictures of one size.
double ChangedShare(const Picture& a, const Picture& b) {
    int changed = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        const int d = std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) +
                      std::abs(a.rgb[i + 2] - b.rgb[i + 2]);
        changed += d > 60 ? 1 : 0;
    }
    return static_cast<double>(changed) / (a.rgb.size() / 3);
}

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.is_regular_file()) {
            names.insert(e.path().filename().string());
        }
    }
    return names;
}

// Every skin picture at twice its control's size in 96-dpi units, so a 192-dpi screen shows it
// 1:1: bars 240x54, small buttons 26x26, back 60x54, pad 240x212 and one cell 57x50, main
// switches 120x54, progress bar 240x6, volume sliders 200x15, settings switches 100x30.
const std::map<std::string, std::pair<int, int>> kSkinSizes = {
    {"Pic_TopBar.png", {480, 108}},
    {"Pic_BotBar.png", {480, 108}},
    {"Btn_Close_UP.png", {52, 52}},
    {"Btn_Close_DN.png", {52, 52}},
    {"Btn_About_UP.png", {52, 52}},
    {"Btn_About_DN.png", {52, 52}},
    {"Btn_Settings_UP.png", {52, 52}},
    {"Btn_Settings_DN.png", {52, 52}},
    {"Btn_Back_UP.png", {120, 108}},
    {"Btn_Back_DN.png", {120, 108}},
    {"PadCtrl_PlayTalk_BACK.png", {480, 424}},
    {"PadCtrl_PlayTalk_DN.png", {114, 100}},
    {"Chk_PlayBeat_OFF.png", {240, 108}},
    {"Chk_PlayBeat_ON.png", {240, 108}},
    {"Chk_PlayTalk_LowHigh_OFF.png", {240, 108}},
    {"Chk_PlayTalk_LowHigh_ON.png", {240, 108}},
    {"Sld_PlayBeatProgress_BACK.png", {480, 12}},
    {"Sld_Settings_BACK.png", {400, 30}},
    {"Sld_Settings_FRONT.png", {400, 30}},
    {"Chk_Settings_OFF.png", {200, 60}},
    {"Chk_Settings_ON.png", {200, 60}},
};
const std::set<std::string> kKeyed = {"PadCtrl_PlayTalk_DN.png", "Sld_Settings_FRONT.png"};

Picture Skin(const std::string& name) {
    return LoadPicture(kAssets + "/Skin/" + name);
}
Picture Resource(const std::string& name) {
    return LoadPicture(kAssets + "/resources/" + name);
}

TEST(SkinPictures, ExactlyTheFilesTheSkinLoads) {
    std::set<std::string> expected;
    for (const auto& [name, size] : kSkinSizes) {
        expected.insert(name);
    }
    EXPECT_EQ(kSkinSizes.size(), 21u);
    EXPECT_EQ(FilesIn(kAssets + "/Skin"), expected);
}

TEST(SkinPictures, AreTwiceTheirControlsAndPlainRgb) {
    for (const auto& [name, size] : kSkinSizes) {
        SCOPED_TRACE(name);
        const Picture p = Skin(name);
        ASSERT_TRUE(p.ok);
        EXPECT_TRUE(p.rgb24);
        EXPECT_EQ(p.width, size.first);
        EXPECT_EQ(p.height, size.second);
    }
}

TEST(SkinPictures, KeyColourOnlyWhereItIsMeantAndNeverAFringe) {
    for (const auto& [name, size] : kSkinSizes) {
        SCOPED_TRACE(name);
        const Picture p = Skin(name);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(CountIf(p, NearKey), 0);
        if (kKeyed.count(name) == 0) {
            // Drawn without a key, magenta would show as pink.
            EXPECT_EQ(CountIf(p, IsKey), 0);
        }
    }
}

TEST(SkinPictures, PressedCellIsSeeThroughAtItsCornersOnly) {
    const Picture p = Skin("PadCtrl_PlayTalk_DN.png");
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(IsKey(p.At(0, 0)));
    EXPECT_TRUE(IsKey(p.At(p.width - 1, 0)));
    EXPECT_TRUE(IsKey(p.At(0, p.height - 1)));
    EXPECT_TRUE(IsKey(p.At(p.width - 1, p.height - 1)));
    // The lit key under the label is solid.
    for (int y = 20; y < p.height - 20; ++y) {
        for (int x = 20; x < p.width - 20; ++x) {
            ASSERT_FALSE(IsKey(p.At(x, y))) << x << "," << y;
        }
    }
    EXPECT_LT(CountIf(p, IsKey), p.width * p.height / 5);
}

TEST(SkinPictures, SliderFrontHasAWindowForTheValueBar) {
    const Picture p = Skin("Sld_Settings_FRONT.png");
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(IsKey(p.At(0, 0)));
    EXPECT_FALSE(IsKey(p.At(p.width / 2, 0)));
    EXPECT_FALSE(IsKey(p.At(p.width / 2, p.height - 1)));
    // The bar shows through along the whole width, from the left end to the right end.
    const int y = p.height / 2;
    for (int x : {12, 60, 150, 230, 300, 385}) {
        EXPECT_TRUE(IsKey(p.At(x, y))) << x;
    }
    EXPECT_GT(CountIf(p, IsKey), p.width * p.height / 2);
}

TEST(SkinPictures, PadBackgroundShowsTheGridWhereTheCellsFall) {
    const Picture p = Skin("PadCtrl_PlayTalk_BACK.png");
    ASSERT_TRUE(p.ok);
    // 12 px border, then 4 x 4 cells of 114 x 100: each cell's middle is a key, lighter than the
    // gap between keys at the cell's corner.
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            SCOPED_TRACE(testing::Message() << "cell " << row * 4 + col);
            const int x0 = 12 + col * 114, y0 = 12 + row * 100;
            const int key = Luma(p.At(x0 + 57, y0 + 60));
            EXPECT_GT(key, Luma(p.At(x0 + 1, y0 + 1)) + 10);
            EXPECT_GT(key, Luma(p.At(x0 + 112, y0 + 98)) + 10);
        }
    }
}

TEST(SkinPictures, EachStateLooksDifferent) {
    const std::pair<const char*, const char*> pairs[] = {
        {"Btn_Close_UP.png", "Btn_Close_DN.png"},
        {"Btn_About_UP.png", "Btn_About_DN.png"},
        {"Btn_Settings_UP.png", "Btn_Settings_DN.png"},
        {"Btn_Back_UP.png", "Btn_Back_DN.png"},
        {"Chk_PlayBeat_OFF.png", "Chk_PlayBeat_ON.png"},
        {"Chk_PlayTalk_LowHigh_OFF.png", "Chk_PlayTalk_LowHigh_ON.png"},
        {"Chk_Settings_OFF.png", "Chk_Settings_ON.png"},
    };
    for (const auto& [off, on] : pairs) {
        SCOPED_TRACE(off);
        const Picture a = Skin(off), b = Skin(on);
        ASSERT_TRUE(a.ok && b.ok);
        ASSERT_EQ(a.rgb.size(), b.rgb.size());
        EXPECT_GT(ChangedShare(a, b), 0.08);
    }
}

// --- Resources built into the program --------------------------------------------------------

TEST(ResourcePictures, NamedByIdAtTheirSizes) {
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"101_64.png", {64, 64}}, {"101_32.png", {32, 32}}, {"101_16.png", {16, 16}},
        {"102.png", {400, 140}},  {"103.png", {200, 70}},   {"104.png", {380, 40}},
        {"105.png", {190, 20}},   {"106.png", {184, 52}},   {"107.png", {92, 26}},
        {"108.png", {184, 52}},   {"109.png", {92, 26}},
    };
    std::set<std::string> names;
    for (const auto& [name, size] : sizes) {
        SCOPED_TRACE(name);
        names.insert(name);
        const Picture p = Resource(name);
        ASSERT_TRUE(p.ok);
        EXPECT_TRUE(p.rgb24);
        EXPECT_EQ(p.width, size.first);
        EXPECT_EQ(p.height, size.second);
        EXPECT_EQ(CountIf(p, NearKey), 0);
    }
    EXPECT_EQ(FilesIn(kAssets + "/resources"), names);
}

TEST(ResourcePictures, SplashLogoIsHardEdgedMagentaOnBlack) {
    for (const char* name : {"102.png", "103.png"}) {
        SCOPED_TRACE(name);
        const Picture p = Resource(name);
        ASSERT_TRUE(p.ok);
        int key = 0;
        for (size_t i = 0; i < p.rgb.size(); i += 3) {
            const uint8_t* c = &p.rgb[i];
            const bool black = c[0] == 0 && c[1] == 0 && c[2] == 0;
            ASSERT_TRUE(black || IsKey(c)) << "pixel " << i / 3;
            key += IsKey(c) ? 1 : 0;
        }
        // There is lettering, and it does not swamp the picture.
        EXPECT_GT(key, p.width * p.height / 20);
        EXPECT_LT(key, p.width * p.height / 2);
    }
}

TEST(ResourcePictures, DonationButtonPressedLooksDifferent) {
    for (auto [normal, pressed] :
         {std::pair{"106.png", "108.png"}, std::pair{"107.png", "109.png"}}) {
        SCOPED_TRACE(normal);
        const Picture a = Resource(normal), b = Resource(pressed);
        ASSERT_TRUE(a.ok && b.ok);
        ASSERT_EQ(a.rgb.size(), b.rgb.size());
        EXPECT_GT(ChangedShare(a, b), 0.2);
    }
}

// --- Sounds ------------------------------------------------------------------------------------

struct Wav {
    bool canonical = false;
    unsigned channels = 0;
    unsigned rate = 0;
    unsigned bits = 0;
    std::vector<int16_t> samples;
    double Seconds() const {
        return rate && channels ? double(samples.size()) / channels / rate : 0;
    }
};

uint32_t Le32(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
           static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
unsigned Le16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}

// The reader takes the format at fixed offsets and the samples from byte 44 on.
Wav LoadWav(const std::string& path) {
    Wav w;
    std::ifstream f(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.size() < 44) {
        return w;
    }
    w.channels = Le16(b, 22);
    w.rate = Le32(b, 24);
    w.bits = Le16(b, 34);
    const unsigned block = w.channels * w.bits / 8;
    w.canonical = b.compare(0, 4, "RIFF") == 0 && Le32(b, 4) == b.size() - 8 &&
                  b.compare(8, 8, "WAVEfmt ") == 0 && Le32(b, 16) == 16 && Le16(b, 20) == 1 &&
                  Le32(b, 28) == w.rate * block && Le16(b, 32) == block &&
                  b.compare(36, 4, "data") == 0 && Le32(b, 40) == b.size() - 44;
    for (size_t i = 44; i + 1 < b.size(); i += 2) {
        w.samples.push_back(static_cast<int16_t>(Le16(b, i)));
    }
    return w;
}

// Frames before the sound is clearly audible (about -30 dBFS).
double LeadingSilenceMs(const Wav& w) {
    for (size_t i = 0; i < w.samples.size(); ++i) {
        if (std::abs(w.samples[i]) > 1000) {
            return 1000.0 * (i / w.channels) / w.rate;
        }
    }
    return 1e9;
}

int Peak(const Wav& w) {
    int peak = 0;
    for (int16_t s : w.samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak;
}

std::vector<std::string> WordNames() {
    std::vector<std::string> names;
    for (const char* voice : {"L", "H"}) {
        for (int n = 1; n <= 16; ++n) {
            names.push_back(voice + std::to_string(n) + ".wav");
        }
    }
    return names;
}

TEST(Sounds, ExactlyTheBeatAndTheThirtyTwoWords) {
    std::set<std::string> expected = {"Pulsor.wav"};
    for (const auto& n : WordNames()) {
        expected.insert(n);
    }
    EXPECT_EQ(expected.size(), 33u);
    EXPECT_EQ(FilesIn(kAssets + "/Sounds"), expected);
}

TEST(Sounds, WordsAreShortCanonicalMonoAndSpeakAtOnce) {
    for (const auto& name : WordNames()) {
        SCOPED_TRACE(name);
        const Wav w = LoadWav(kAssets + "/Sounds/" + name);
        EXPECT_TRUE(w.canonical);
        EXPECT_EQ(w.channels, 1u);
        EXPECT_EQ(w.rate, 22050u);
        EXPECT_EQ(w.bits, 16u);
        EXPECT_GE(w.Seconds(), 0.15);
        EXPECT_LE(w.Seconds(), 2.0);
        EXPECT_LT(LeadingSilenceMs(w), 10.0);
        // Normalised near full scale, not clipped.
        EXPECT_GT(Peak(w), 26000);
        EXPECT_LT(Peak(w), 32767);
    }
}

TEST(Sounds, LowAndHighVoiceOfAWordDiffer) {
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        const Wav low = LoadWav(kAssets + "/Sounds/L" + std::to_string(n) + ".wav");
        const Wav high = LoadWav(kAssets + "/Sounds/H" + std::to_string(n) + ".wav");
        EXPECT_NE(low.samples, high.samples);
    }
}

TEST(Sounds, BeatIsACanonicalStereoLoop) {
    const Wav w = LoadWav(kAssets + "/Sounds/Pulsor.wav");
    EXPECT_TRUE(w.canonical);
    EXPECT_EQ(w.channels, 2u);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.bits, 16u);
    EXPECT_GE(w.Seconds(), 8.0);
    EXPECT_LE(w.Seconds(), 20.0);
    EXPECT_LT(LeadingSilenceMs(w), 10.0);
    EXPECT_GT(Peak(w), 26000);
}

TEST(Sounds, AllTogetherUnderFourMegabytes) {
    uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(kAssets + "/Sounds")) {
        total += e.file_size();
    }
    EXPECT_GT(total, 0u);
    EXPECT_LT(total, 4u * 1024 * 1024);
}

TEST(Words, SixteenShortWordsOneALine) {
    std::ifstream f(kAssets + "/src/words.txt");
    ASSERT_TRUE(f);
    std::vector<std::string> words;
    std::string line;
    while (std::getline(f, line)) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        words.push_back(line.substr(first, line.find_last_not_of(" \t\r") + 1 - first));
    }
    ASSERT_EQ(words.size(), 16u);
    for (const auto& w : words) {
        // A pad cell has room for about ten characters at the label font.
        EXPECT_LE(w.size(), 10u) << w;
    }
}

}  // namespace
