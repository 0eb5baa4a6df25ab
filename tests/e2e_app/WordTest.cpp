// A kit's words made in the window, by the real program headless: a typed word said, the
// microphone (--mic) held, a file dropped on a cell, a file refused; the word page's pictures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kRate = 48000;

std::string At(int x, int y) {
    return std::to_string(x) + " " + std::to_string(y);
}

// The middle of cell 0..15 on the small screen.
std::string Cell(int cell) {
    return At(6 + 57 * (cell % 4) + 28, 54 + 6 + 50 * (cell / 4) + 25);
}

// The word page's controls on the small screen.
const std::string kSayField = At(87, 127);
const std::string kRecord = At(120, 161);
const std::string kBack = At(120, 316);
const std::string kDone = At(202, 293);

const std::string kEditMode = "press Ctrl\npress E\nrelease E\nrelease Ctrl\n";

// Frequency from the zero crossings of `length` samples from `from`.
double Pitch(const std::vector<float>& s, size_t from, size_t length) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + length && i < s.size(); ++i) {
        crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
    }
    return crossings / 2.0 * kRate / static_cast<double>(length);
}

// The best correlation of `word` (from its onset) with the recording near sample `at`.
double Matches(const std::vector<float>& recording, size_t at, const Sound& wordSound) {
    const std::vector<float> word = Resample(wordSound, kRate);
    const size_t onset = Onset(word, 0);
    if (onset == SIZE_MAX || at == SIZE_MAX) {
        return 0;
    }
    const std::vector<float> tail(word.begin() + static_cast<long>(onset), word.end());
    double best = 0;
    for (size_t lag = at > 32 ? at - 32 : 0; lag <= at + 32; ++lag) {
        best = std::max(best, Correlation(recording, lag, tail, kRate / 4));
    }
    return best;
}

Sound Decoded(const PulsorRun& run, const fs::path& file) {
    const fs::path wav = run.Dir() / (file.stem().string() + "-decoded.wav");
    const std::string cmd = "sox '" + file.string() + "' -b 16 '" + wav.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return ReadWav(wav.string());
}

void Sox(const std::string& arguments) {
    const std::string cmd = "sox " + arguments;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

size_t SampleAt(int ms) {
    return static_cast<size_t>(ms) * kRate / 1000;
}

}  // namespace

TEST(WordEndToEnd, ATypedWordIsSaidOnItsCellWithItsCaption) {
    PulsorRun run("word-typed");
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    std::ofstream(kit / "L1.wav") << "an older word, not a sound";
    // Edit mode, cell 0, "hello" said; back, Done, and the cell tapped at 5000 ms.
    const std::string script = "wait 2100\n" + kEditMode + "tap " + Cell(0) + "\nwait 500\ntap " +
                               kSayField +
                               "\nwait 100\ntype hello\npress Return\n"
                               "release Return\nwait 1000\nshot word.png\ntap " +
                               kBack + "\nwait 500\ntap " + kDone + "\nwait 800\nshot pad.png\n" +
                               "wait 500\ntap " + Cell(0) + "\nwait 1500\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --kit " + kit.string() + " --record " +
                                    run.Recording().string()),
              0)
        << run.Errors();
    ASSERT_TRUE(fs::exists(kit / "L1.flac"));
    ASSERT_TRUE(fs::exists(kit / "H1.flac"));
    EXPECT_FALSE(fs::exists(kit / "L1.wav")) << "the older file of the word goes";
    EXPECT_EQ(PulsorRun::ReadText(kit / "labels.txt").substr(0, 6), "hello\n");

    // The tap plays the saved word, not the built-in one.
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t at = Onset(r, SampleAt(5000));
    ASSERT_NE(at, SIZE_MAX);
    EXPECT_GT(Matches(r, at, Decoded(run, kit / "L1.flac")), 0.9);
    EXPECT_LT(Matches(r, at, ReadWav(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/L1.wav")),
              0.5);

    // The pad shows the new caption on cell 0 and nothing else changed.
    Picture builtIn;
    ASSERT_TRUE(ReadPng(
        std::string(PULSOR_SOURCE_DIR) + "/tests/e2e_app/golden/240x320_96_main.png", &builtIn));
    const Picture pad = run.Load("pad.png");
    ASSERT_EQ(pad.width, builtIn.width);
    int changedInCell = 0, changedElsewhere = 0;
    for (int y = 0; y < pad.height; ++y) {
        for (int x = 0; x < pad.width; ++x) {
            const bool inCell = x >= 6 && x < 63 && y >= 60 && y < 110;
            if (pad.At(x, y) != builtIn.At(x, y)) {
                (inCell ? changedInCell : changedElsewhere) += 1;
            }
        }
    }
    EXPECT_GT(changedInCell, 20);
    EXPECT_EQ(changedElsewhere, 0);
}

TEST(WordEndToEnd, ARecordedToneBecomesTheWordAtItsPitchAndTheHighVoiceIsHigher) {
    PulsorRun run("word-mic");
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    const fs::path tone = run.Dir() / "tone.wav";
    Sox("-n -r 44100 -c 1 -b 16 '" + tone.string() + "' synth 1 sine 330 gain -6 pad 0.4 0.4");
    // Held from 2600 to 4600 ms; the low voice tapped at 6000 ms, the high one at 7500 ms.
    const std::string script = "wait 2100\n" + kEditMode + "tap " + Cell(1) + "\nwait 500\ndown " +
                               kRecord + "\nwait 2000\nup " + kRecord + "\nwait 500\ntap " + kBack +
                               "\nwait 500\ntap " + kDone + "\nwait 400\ntap " + Cell(1) +
                               "\nwait 1500\npress Tab\nrelease Tab\ntap " + Cell(1) +
                               "\nwait 1500\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --kit " + kit.string() + " --mic " +
                                    tone.string() + " --record " + run.Recording().string()),
              0)
        << run.Errors();
    ASSERT_TRUE(fs::exists(kit / "L2.flac"));
    ASSERT_TRUE(fs::exists(kit / "H2.flac"));
    // Trimmed: the recording's silence is gone, the tone is about its second.
    const Sound low = Decoded(run, kit / "L2.flac");
    ASSERT_GT(low.rate, 0);
    EXPECT_NEAR(static_cast<double>(low.samples.size()) / low.rate, 1.0, 0.2);

    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t lowAt = Onset(r, SampleAt(6000));
    const size_t highAt = Onset(r, SampleAt(7500));
    ASSERT_NE(lowAt, SIZE_MAX);
    ASSERT_NE(highAt, SIZE_MAX);
    const double lowHz = Pitch(r, lowAt + 2000, kRate / 4);
    const double highHz = Pitch(r, highAt + 2000, kRate / 4);
    EXPECT_NEAR(lowHz, 330, 10);
    EXPECT_GT(highHz, lowHz * 1.1);
}

TEST(WordEndToEnd, ADroppedSoundPlaysOnItsCellAndATextFileIsRefusedByName) {
    PulsorRun run("word-drop");
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    const fs::path tone = run.Dir() / "tone.flac";
    Sox("-n -r 44100 -c 2 '" + tone.string() + "' synth 0.8 sine 550 gain -3");
    const fs::path notes = run.Dir() / "notes.txt";
    std::ofstream(notes) << "These are words, not a sound.\n";
    // The tone dropped on cell 2 and tapped at 3000 ms; the text dropped on cell 3.
    const std::string script = "wait 2100\ndrop " + tone.string() + " " + Cell(2) +
                               "\nwait 900\ntap " + Cell(2) + "\nwait 1000\ndrop " +
                               notes.string() + " " + Cell(3) + "\nwait 500\nshot notice.png\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --kit " + kit.string() + " --record " +
                                    run.Recording().string()),
              0)
        << run.Errors();
    EXPECT_TRUE(fs::exists(kit / "L3.flac"));
    EXPECT_TRUE(fs::exists(kit / "H3.flac"));
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t at = Onset(r, SampleAt(3000));
    ASSERT_NE(at, SIZE_MAX);
    EXPECT_NEAR(Pitch(r, at + 2000, kRate / 4), 550, 10);

    EXPECT_FALSE(fs::exists(kit / "L4.flac"));
    EXPECT_NE(run.Errors().find(notes.string()), std::string::npos) << run.Errors();
    // The refusal is a line on the page too: the bottom bar no longer shows the switches.
    Picture builtIn;
    ASSERT_TRUE(ReadPng(
        std::string(PULSOR_SOURCE_DIR) + "/tests/e2e_app/golden/240x320_96_main.png", &builtIn));
    const Picture shot = run.Load("notice.png");
    ASSERT_EQ(shot.height, builtIn.height);
    int changed = 0;
    for (int y = 266; y < 320; ++y) {
        for (int x = 0; x < 240; ++x) {
            changed += shot.At(x, y) != builtIn.At(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 200);
}

namespace {

struct WordScreen {
    int width, height, dpi;
    int cellY;  // a point on cell 0
};

class WordGolden : public testing::TestWithParam<WordScreen> {};

}  // namespace

TEST_P(WordGolden, TheWordPage) {
    const WordScreen s = GetParam();
    const std::string name =
        std::to_string(s.width) + "x" + std::to_string(s.height) + "_" + std::to_string(s.dpi);
    PulsorRun run("word-golden-" + name);
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    const int f = s.dpi / 96;
    const std::string script = "wait 2100\n" + kEditMode + "wait 100\nshot edit.png\ntap " +
                               At(34 * f, s.cellY) + "\nwait 500\nshot word.png\n";
    ASSERT_EQ(
        run.Start(script, "--screen " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                              " --dpi " + std::to_string(s.dpi) + " --kit " + kit.string()),
        0)
        << run.Errors();
    for (const char* page : {"edit", "word"}) {
        const Picture actual = run.Load(std::string(page) + ".png");
        ASSERT_GT(actual.width, 0);
        EXPECT_EQ(golden::CompareWithGolden("tests/e2e_app/golden", name + "_" + page, actual), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, WordGolden,
                         testing::Values(WordScreen{240, 320, 96, 85},
                                         WordScreen{480, 640, 192, 170},
                                         WordScreen{240, 240, 96, 72}),
                         [](const testing::TestParamInfo<WordScreen>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });
