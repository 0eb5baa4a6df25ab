// Playing the whole program as an instrument, headless in virtual time: keys and fingers beside
// the pointer. Positions are those of a 240x320 screen at 96 dpi.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kMainUp = 2100;

// The top-left corner of pad cell 0..15, and a point inside it.
POINT CellCorner(int cell) {
    return POINT{6 + 57 * (cell % 4), 60 + 50 * (cell / 4)};
}
std::string Cell(int cell) {
    const POINT p = CellCorner(cell);
    return std::to_string(p.x + 28) + " " + std::to_string(p.y + 25);
}
std::string Wait(int ms) {
    return "wait " + std::to_string(ms) + "\n";
}
std::string Tap(const std::string& at) {
    return "tap " + at + "\n";
}
std::string Key(const std::string& key) {
    return "press " + key + "\n" + Wait(50) + "release " + key + "\n";
}
std::string Finger(int n, const std::string& event, const std::string& at) {
    return "finger " + std::to_string(n) + " " + event + " " + at + "\n";
}
// Somewhere a finger can rest without pressing anything: the title.
const std::string kNowhere = "120 20";

// What a run left: the recording's bytes and its last picture.
struct Take {
    std::vector<char> wav;
    std::vector<float> samples;
    Picture last;
};

Take Play(const std::string& name, const std::string& script) {
    PulsorRun run(name);
    // Words at half volume: two of them together stay clear of the mix's limiter, so a mix can be
    // compared with the sum of its parts.
    std::filesystem::create_directories(run.Registry().parent_path());
    std::ofstream(run.Registry())
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n"
           "\"VolumeSounds\"=dword:00000032\n";
    Take take;
    const int status = run.Start(Wait(kMainUp) + script + "shot last.png\n",
                                 std::string(kSmall) + " --record " + run.Recording().string());
    EXPECT_EQ(status, 0) << run.Errors();
    std::ifstream in(run.Recording(), std::ios::binary);
    take.wav.assign(std::istreambuf_iterator<char>(in), {});
    take.samples = ReadWav(run.Recording().string()).samples;
    take.last = run.Load("last.png");
    return take;
}

// How far `mix` is from the sum of `a` and `b`, relative to its own level.
double MixError(const Take& mix, const Take& a, const Take& b) {
    double diff = 0;
    double level = 0;
    for (size_t i = 0; i < mix.samples.size(); ++i) {
        const float sum =
            (i < a.samples.size() ? a.samples[i] : 0) + (i < b.samples.size() ? b.samples[i] : 0);
        // Where the sum clips the mix cannot follow it.
        if (std::fabs(sum) < 0.95f) {
            diff += (mix.samples[i] - sum) * (mix.samples[i] - sum);
            level += mix.samples[i] * mix.samples[i];
        }
    }
    return level > 0 ? std::sqrt(diff / level) : 1;
}

bool CellLooksPressed(const Picture& p, int cell) {
    const POINT c = CellCorner(cell);
    return IsGreen(p.At(c.x + 10, c.y + 44));
}

}  // namespace

// Each key or finger does what the touch it stands for does: the same recording, sample for
// sample, and the same picture at the end.
TEST(InstrumentEndToEnd, EachKeyAndFingerDoesExactlyWhatItsTapDoes) {
    struct Pair {
        const char* what;
        std::string tap;
        std::string other;
    };
    const Pair pairs[] = {
        {"key 1 is the first cell", Tap(Cell(0)) + Wait(800), Key("1") + Wait(800)},
        {"key Q is the second row's first", Tap(Cell(4)) + Wait(800), Key("q") + Wait(800)},
        {"key V is the last cell", Tap(Cell(15)) + Wait(800), Key("V") + Wait(800)},
        {"a held key's repeats play nothing more", Tap(Cell(4)) + Wait(1000),
         "press Q\n" + Wait(50) + "press Q\n" + Wait(500) + "press Q\n" + Wait(500) +
             "release Q\n"},
        {"the first finger is the pointer", Tap(Cell(6)) + Wait(800),
         Finger(1, "down", Cell(6)) + Wait(50) + Finger(1, "up", Cell(6)) + Wait(800)},
        {"a second finger plays as the first",
         Finger(1, "down", kNowhere) + Tap(Cell(9)) + Wait(800) + Finger(1, "up", kNowhere),
         Finger(1, "down", kNowhere) + Finger(2, "down", Cell(9)) + Wait(50) +
             Finger(2, "up", Cell(9)) + Wait(800) + Finger(1, "up", kNowhere)},
        {"Space is Play beat", Tap("60 290") + Wait(1500), Key("Space") + Wait(1500)},
        {"Tab is the voice switch", Tap("180 290") + Wait(200) + Tap(Cell(4)) + Wait(800),
         Key("Tab") + Wait(200) + Key("Q") + Wait(800)},
        {"Escape goes back from the about page",
         Tap("13 13") + Wait(800) + Tap("120 293") + Wait(800) + Tap(Cell(1)) + Wait(500),
         Tap("13 13") + Wait(800) + Key("Escape") + Wait(800) + Tap(Cell(1)) + Wait(500)},
        {"keys on another page play nothing", Tap("39 13") + Wait(800) + Wait(50) + Wait(500),
         Tap("39 13") + Wait(800) + Key("Q") + Wait(500)},
        {"keys without the focus go nowhere", "deactivate\n" + Wait(50) + Wait(500),
         "deactivate\n" + Key("Q") + Wait(500)},
    };
    std::map<std::string, Take> taps;
    int n = 0;
    for (const Pair& pair : pairs) {
        ++n;
        if (!taps.count(pair.tap)) {
            taps[pair.tap] = Play("tap" + std::to_string(n), pair.tap);
        }
        const Take& tap = taps[pair.tap];
        const Take other = Play("other" + std::to_string(n), pair.other);
        ASSERT_GT(tap.wav.size(), 44u) << pair.what;
        EXPECT_TRUE(other.wav == tap.wav) << pair.what << ": the recordings differ";
        EXPECT_TRUE(other.last == tap.last) << pair.what << ": the last pictures differ";
    }
}

// Two keys or two fingers at once: both words sound (the mix is the sum of each alone), and
// both cells show pressed.
TEST(InstrumentEndToEnd, TwoKeysOrTwoFingersTogetherSoundBothWords) {
    const Take one = Play("one", Key("1") + Wait(800));
    const Take other = Play("other", Key("Z") + Wait(800));
    const Take keys =
        Play("keys", "press 1\npress Z\n" + Wait(50) + "release 1\nrelease Z\n" + Wait(800));
    EXPECT_LT(MixError(keys, one, other), 0.02);

    const std::string hold = Finger(3, "down", Cell(0)) + Finger(7, "down", Cell(12));
    const Take fingers = Play("fingers", hold + Wait(50) + Finger(3, "up", Cell(0)) +
                                             Finger(7, "up", Cell(12)) + Wait(800));
    EXPECT_TRUE(fingers.wav == keys.wav) << "fingers and keys play alike";

    const Take held = Play("held", "press 1\npress Z\n" + hold + Wait(50));
    for (int cell = 0; cell < 16; ++cell) {
        EXPECT_EQ(CellLooksPressed(held.last, cell), cell == 0 || cell == 12) << cell;
    }
    // When the focus goes, what keys and fingers held goes up with it.
    const Take lifted = Play("lifted", "press 1\npress Z\n" + hold + Wait(50) + "deactivate\n" +
                                           Wait(50) + "activate\n" + Wait(300));
    for (int cell = 0; cell < 16; ++cell) {
        EXPECT_FALSE(CellLooksPressed(lifted.last, cell)) << cell;
    }
}

// Two fingers sliding side by side across the first two rows string both rows' words: the
// same as each row's stroke alone, added.
TEST(InstrumentEndToEnd, TwoFingersSlidingAcrossTwoRowsStringBothRows) {
    auto slide = [](const std::vector<std::pair<int, int>>& fingers) {
        std::string s;
        for (auto [n, y] : fingers) {
            s += Finger(n, "down", "10 " + std::to_string(y));
        }
        for (int x = 20; x <= 230; x += 10) {
            s += Wait(100);
            for (auto [n, y] : fingers) {
                s += Finger(n, "move", std::to_string(x) + " " + std::to_string(y));
            }
        }
        for (auto [n, y] : fingers) {
            s += Finger(n, "up", "230 " + std::to_string(y));
        }
        return s + Wait(800);
    };
    const Take top = Play("top", slide({{1, 85}}));
    const Take second = Play("second", slide({{1, 135}}));
    const Take both = Play("both", slide({{1, 85}, {2, 135}}));
    EXPECT_LT(MixError(both, top, second), 0.02);
    EXPECT_GT(Rms(top.samples, 0, top.samples.size()), 0.01);
    EXPECT_GT(Rms(second.samples, 0, second.samples.size()), 0.01);
}
