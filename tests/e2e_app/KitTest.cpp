// A kit of the user's own: made in the test from tones in FLAC, Ogg and 24-bit 96 kHz WAV, played
// by the real program headless, and remembered for the next run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kRate = 48000;
const int kMainUp = 2100;
const int kGapMs = 800;

std::string Cell(int cell) {
    return std::to_string(6 + 57 * (cell % 4) + 28) + " " +
           std::to_string(54 + 6 + 50 * (cell / 4) + 25);
}

// Taps cells 0..count-1, one every kGapMs, then a shot.
std::string TapCells(int count) {
    std::string s = "wait " + std::to_string(kMainUp) + "\n";
    for (int c = 0; c < count; ++c) {
        s += "tap " + Cell(c) + "\nwait " + std::to_string(kGapMs) + "\n";
    }
    return s + "shot pad.png\n";
}

void Sox(const fs::path& out, const std::string& before, const std::string& after) {
    const std::string cmd = "sox -n " + before + " '" + out.string() + "' " + after;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// The kit: three tones of different formats and levels, a damaged fourth word, three captions.
void MakeKit(const fs::path& dir) {
    fs::create_directories(dir);
    Sox(dir / "L1.flac", "-r 44100", "synth 0.5 sine 440 gain -20");
    Sox(dir / "L2.ogg", "-r 48000 -c 2", "synth 0.5 sine 660 gain -6");
    Sox(dir / "L3.wav", "-r 96000 -b 24", "synth 0.5 sine 990 gain -12");
    std::ofstream(dir / "L4.flac") << std::string(4000, 'x');
    std::ofstream(dir / "labels.txt") << "Alpha\nBravo\nCharlie\n";
}

// Frequency from the zero crossings of `length` samples from `from`.
double Pitch(const std::vector<float>& s, size_t from, size_t length) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + length && i < s.size(); ++i) {
        crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
    }
    return crossings / 2.0 * kRate / static_cast<double>(length);
}

// Whether cell `cell` of two shots of the small screen look the same.
bool SameCell(const Picture& a, const Picture& b, int cell) {
    const int x0 = 6 + 57 * (cell % 4), y0 = 60 + 50 * (cell / 4);
    for (int y = y0; y < y0 + 50; ++y) {
        for (int x = x0; x < x0 + 57; ++x) {
            if (a.At(x, y) != b.At(x, y)) {
                return false;
            }
        }
    }
    return true;
}

TEST(KitEndToEnd, EachWordPlaysItsToneAsLoudAsTheOthersAndTheBrokenOneFallsBack) {
    PulsorRun run("kit");
    MakeKit(run.Dir() / "kit");
    ASSERT_EQ(run.Start(TapCells(4), std::string(kSmall) + " --record " + run.Recording().string() +
                                         " --kit " + (run.Dir() / "kit").string()),
              0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const double hz[] = {440, 660, 990};
    double level[3];
    for (int c = 0; c < 3; ++c) {
        const size_t at = Onset(r, static_cast<size_t>(kMainUp + c * kGapMs) * kRate / 1000);
        ASSERT_NE(at, SIZE_MAX) << c;
        EXPECT_NEAR(Pitch(r, at + 1000, kRate / 4), hz[c], 10.0) << "cell " << c;
        level[c] = 20 * std::log10(Rms(r, at + 1000, kRate / 4));
    }
    // -20, -6 and -12 dBFS recordings, brought to one loudness.
    EXPECT_NEAR(level[0], level[1], 2.0);
    EXPECT_NEAR(level[0], level[2], 2.0);
    // The damaged word is named, and the built-in word 4 plays in its place.
    EXPECT_NE(run.Errors().find((run.Dir() / "kit" / "L4.flac").string()), std::string::npos)
        << run.Errors();
    const Sound builtIn = ReadWav(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/L4.wav");
    const std::vector<float> word = Resample(builtIn, kRate);
    const size_t wordOnset = Onset(word, 0);
    const size_t at = Onset(r, static_cast<size_t>(kMainUp + 3 * kGapMs) * kRate / 1000);
    ASSERT_NE(at, SIZE_MAX);
    const std::vector<float> tail(word.begin() + static_cast<long>(wordOnset), word.end());
    double best = 0;
    for (size_t lag = at - 16; lag <= at + 16; ++lag) {
        best = std::max(best, Correlation(r, lag, tail, kRate / 4));
    }
    EXPECT_GT(best, 0.9);
    // The choice is kept in the settings file.
    EXPECT_NE(PulsorRun::ReadText(run.Registry())
                  .find("\"Kit\"=\"" + (run.Dir() / "kit").string() + "/\""),
              std::string::npos)
        << PulsorRun::ReadText(run.Registry());

    // The next run plays the kit without being told, with its captions; --kit default goes back.
    const Picture withKit = run.Load("pad.png");
    ASSERT_EQ(run.Start(TapCells(0), kSmall), 0) << run.Errors();
    EXPECT_EQ(run.Load("pad.png"), withKit);
    ASSERT_EQ(run.Start(TapCells(0), std::string(kSmall) + " --kit default"), 0) << run.Errors();
    const Picture builtInPad = run.Load("pad.png");
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(SameCell(withKit, builtInPad, c), c >= 3) << "cell " << c;
    }
    EXPECT_NE(PulsorRun::ReadText(run.Registry()).find("\"Kit\"=\"\""), std::string::npos);
}

TEST(KitEndToEnd, AKitByNameIsFoundInTheDataFolderAndAMissingOneExitsWithTwo) {
    PulsorRun run("kit-name");
    const fs::path data = run.Dir() / "data";
    MakeKit(data / "pulsor" / "kits" / "tones");
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const int found =
        run.Start("wait 2100\ntap " + Cell(0) + "\nwait 800\n",
                  std::string(kSmall) + " --kit tones --record " + run.Recording().string());
    const int missing =
        run.Start("wait 2100\nshot never.png\n", std::string(kSmall) + " --kit nothing-here");
    old ? setenv("XDG_DATA_HOME", saved.c_str(), 1) : unsetenv("XDG_DATA_HOME");

    EXPECT_EQ(found, 0);
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t at = Onset(r, static_cast<size_t>(kMainUp) * kRate / 1000);
    ASSERT_NE(at, SIZE_MAX);
    EXPECT_NEAR(Pitch(r, at + 1000, kRate / 4), 440, 10.0);

    EXPECT_EQ(missing, 2);
    EXPECT_NE(run.Errors().find((data / "pulsor" / "kits" / "nothing-here").string()),
              std::string::npos)
        << run.Errors();
    EXPECT_FALSE(fs::exists(run.Shot("never.png")));  // no window was ever opened
    // The last good choice stays.
    EXPECT_NE(PulsorRun::ReadText(run.Registry()).find("kits/tones/"), std::string::npos);
}

TEST(KitEndToEnd, TypedWordsBecomeAKitThatPlays) {
    PulsorRun run("make-kit");
    const std::string tool = (fs::path(PULSOR_EXE).parent_path() / "pulsor-make-kit").string();
    const fs::path kit = run.Dir() / "typed";
    std::ofstream(run.Dir() / "words.txt") << "# my words\nHello\n\nGood bye\nCaf\xC3\xA9\n";
    ASSERT_EQ(std::system((tool + " " + (run.Dir() / "words.txt").string() + " " + kit.string() +
                           " >/dev/null")
                              .c_str()),
              0);
    for (const char* name : {"L1.wav", "H1.wav", "L3.wav", "H3.wav"}) {
        EXPECT_TRUE(fs::exists(kit / name)) << name;
    }
    EXPECT_FALSE(fs::exists(kit / "L4.wav"));
    EXPECT_EQ(PulsorRun::ReadText(kit / "labels.txt"), "Hello\nGood bye\nCaf\xC3\xA9\n");

    // Cell 1 speaks the tool's "Good bye" in the low voice.
    ASSERT_EQ(run.Start("wait 2100\ntap " + Cell(1) + "\nwait 1500\n",
                        std::string(kSmall) + " --kit " + kit.string() + " --record " +
                            run.Recording().string()),
              0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const std::vector<float> word = Resample(ReadWav((kit / "L2.wav").string()), kRate);
    const size_t at = Onset(r, static_cast<size_t>(kMainUp) * kRate / 1000);
    ASSERT_NE(at, SIZE_MAX);
    const size_t wordOnset = Onset(word, 0);
    ASSERT_NE(wordOnset, SIZE_MAX);
    const std::vector<float> tail(word.begin() + static_cast<long>(wordOnset), word.end());
    double best = 0;
    for (size_t lag = at - 16; lag <= at + 16; ++lag) {
        best = std::max(best, Correlation(r, lag, tail, kRate / 4));
    }
    EXPECT_GT(best, 0.9);

    // Bad input: too many words, no words, a missing file.
    std::string many;
    for (int i = 0; i < 17; ++i) {
        many += "w" + std::to_string(i) + "\n";
    }
    std::ofstream(run.Dir() / "many.txt") << many;
    std::ofstream(run.Dir() / "none.txt") << "# nothing\n\n";
    for (const char* words : {"many.txt", "none.txt", "missing.txt"}) {
        const int status = std::system((tool + " " + (run.Dir() / words).string() + " " +
                                        (run.Dir() / "bad").string() + " 2>/dev/null")
                                           .c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << words;
    }
    EXPECT_FALSE(fs::exists(run.Dir() / "bad"));
}

TEST(KitEndToEnd, ADenseStrokeOverTheBeatNeverReachesFullScale) {
    PulsorRun run("dense");
    // The beat, then quick strokes over every row, again and again: dozens of words at once.
    std::string script = "wait 2100\ntap 60 290\nwait 100\n";
    for (int pass = 0; pass < 6; ++pass) {
        for (int row = 0; row < 4; ++row) {
            const int y = 60 + 50 * row + 25;
            script += "drag 10 " + std::to_string(y) + " 230 " + std::to_string(y) + " 120\n";
        }
    }
    script += "wait 1500\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    std::ifstream in(run.Recording(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 44u);
    int peak = 0;
    size_t atFull = 0;
    for (size_t i = 44; i + 2 <= bytes.size(); i += 2) {
        const int v = std::abs(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
        peak = std::max(peak, v);
        atFull += v >= 32767 ? 1 : 0;
    }
    EXPECT_EQ(atFull, 0u);
    EXPECT_GT(peak, 29000);  // the sum did reach the limiter
}

}  // namespace
