// Playing without tapping: switch scanning, dwell, hold time and repeat lockout, run headless in
// virtual time with the access values in the settings file. Positions are those of a 240x320
// screen at 96 dpi.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "e2e_app/E2eSupport.h"
#include "e2e_app/SpokenWords.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kMainUp = 2100;

std::string Cell(int cell) {
    return std::to_string(6 + 57 * (cell % 4) + 28) + " " +
           std::to_string(54 + 6 + 50 * (cell / 4) + 25);
}

// A settings file holding `values` (name, number).
void WriteSettings(const PulsorRun& run, const std::map<std::string, unsigned>& values) {
    std::ofstream file(run.Registry());
    file << "Windows Registry Editor Version 5.00\n\n"
         << "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n";
    char line[96];
    for (const auto& [name, value] : values) {
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", name.c_str(), value);
        file << line;
    }
}

std::string Press(const std::string& key) {
    return "press " + key + "\nrelease " + key + "\n";
}
std::string Wait(int ms) {
    return "wait " + std::to_string(ms) + "\n";
}

size_t At(int ms) {
    return static_cast<size_t>(ms) * kRate / 1000;
}

// Nothing louder than a hiss from `fromMs` to `toMs`.
void ExpectQuiet(const std::vector<float>& r, int fromMs, int toMs) {
    const size_t onset = Onset(r, At(fromMs));
    EXPECT_TRUE(onset == SIZE_MAX || onset >= At(toMs))
        << "sound at " << onset * 1000.0 / kRate << " ms, between " << fromMs << " and " << toMs;
}

// The highlight's yellow, and the pixels of a shot in it within a rectangle.
bool IsHighlight(uint32_t p) {
    return Red(p) > 230 && Green(p) > 190 && Green(p) < 235 && Blue(p) < 40;
}
int HighlightPixels(const Picture& p, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, p.height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, p.width); ++x) {
            n += IsHighlight(p.At(x, y)) ? 1 : 0;
        }
    }
    return n;
}

}  // namespace

// One switch at a 1000 ms step: a press starts on row 0; rows 1 and 2 come a second apart; a press
// opens row 2 at once on cell 8; cells 9 and 10 come a second apart; a press speaks cell 10. The
// cues sound as each step is taken, and only then. A switch acts as it goes down: a joystick
// button held 400 ms does nothing more when it comes up.
TEST(AccessEndToEnd, OneSwitchScanningSpeaksTheCellItsMomentsChoose) {
    const int start = kMainUp, openRow = kMainUp + 2200, choose = openRow + 2200;
    const int steps[] = {start,   start + 1000,   start + 2000,
                         openRow, openRow + 1000, openRow + 2000};
    struct Case {
        const char* name;
        unsigned cues;
        std::string down, up;
        int heldMs;
    };
    const Case cases[] = {
        {"space, silent", 0, "press Space\n", "release Space\n", 0},
        {"space, clicks", 1, "press Space\n", "release Space\n", 0},
        {"space, words", 2, "press Space\n", "release Space\n", 0},
        {"joystick", 1, "joy 1 down\n", "joy 1 up\n", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned cues = c.cues;
        PulsorRun run(std::string("access-one-switch-") + std::to_string(&c - cases));
        WriteSettings(run, {{"AccessMethod", 2}, {"ScanInterval", 1000}, {"AccessCues", cues}});
        const std::string press = c.down + Wait(c.heldMs) + c.up;
        const std::string script = Wait(start) + press + Wait(openRow - start - c.heldMs) + press +
                                   Wait(choose - openRow - c.heldMs) + press + Wait(1500);
        ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()),
                  0)
            << run.Errors();
        const std::vector<float> r = ReadWav(run.Recording().string()).samples;

        if (cues == 0) {
            ExpectQuiet(r, 0, choose);
        } else {
            ExpectQuiet(r, 0, start);
            for (int step : steps) {
                const size_t onset = Onset(r, At(step) - At(2), 0.01f);
                EXPECT_LT(onset - At(step), At(15)) << "a cue at " << step << " ms";
            }
        }
        if (cues == 2) {
            // On the cells the cue is their word (words 9 and 10), quietly.
            for (int i : {0, 1}) {
                const size_t onset = Onset(r, At(openRow + 1000 * i), 0.005f);
                double score = 0;
                EXPECT_EQ(WordAt(r, onset, false, &score), 9 + i) << "score " << score;
            }
            continue;  // the cue of cell 10 still sounds under the chosen word
        }
        const size_t onset = Onset(r, At(choose) - At(1), 0.05f);
        ASSERT_NE(onset, SIZE_MAX);
        EXPECT_LT(onset - At(choose), At(20)) << "the chosen word starts as the switch is pressed";
        double score = 0;
        EXPECT_EQ(WordAt(r, onset, false, &score), 11) << "score " << score;
        // Then the scan waits: nothing after the word.
        const size_t end = onset + Word(false, 11).samples.size();
        ExpectQuiet(r, static_cast<int>(end * 1000 / kRate) + 50, choose + 1500);
    }
}

// Two switches, as keys, as the MIDI notes below the pad (36 its lowest) and as a joystick's first
// two buttons: switch 1 steps to
// the last group (the controls around the pad), switch 2 opens it on the about button, switch 1
// steps to the settings button, switch 2 presses it. On the settings page the scan goes from the
// first control: switch 1 thrice reaches the close-button switch, switch 2 flips it off, and
// closing saves that.
TEST(AccessEndToEnd, TwoSwitchesReachTheSettingsAndTurnASwitchOffThatIsSaved) {
    PulsorRun touched("access-two-switches-touched");
    ASSERT_EQ(
        touched.Start(Wait(kMainUp) + "tap 39 13\n" + Wait(600) + "shot settings.png\n", kSmall), 0)
        << touched.Errors();
    const Picture expected = touched.Load("settings.png");

    struct Kind {
        const char* name;
        std::string one, two;
    };
    const Kind kinds[] = {{"keys", Press("Space"), Press("Return")},
                          {"notes", "midi 35 100\nmidi 35 0\n", "midi 34 100\nmidi 34 0\n"},
                          {"joystick", "joy 1 down\njoy 1 up\n", "joy 2 down\njoy 2 up\n"}};
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        PulsorRun run(std::string("access-two-switches-") + kind.name);
        WriteSettings(run, {{"AccessMethod", 3}, {"AccessCues", 0}});
        const std::string one = kind.one + Wait(100), two = kind.two + Wait(100);
        const std::string script = Wait(kMainUp) + one + one + one + one + one +
                                   "shot others.png\n" + two + one + kind.two + Wait(600) +
                                   "shot settings.png\n" + one + one + one + "shot xbutton.png\n" +
                                   two + "close\n";
        ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();

        const Picture others = run.Load("others.png");
        EXPECT_GT(HighlightPixels(others, 0, 0, 240, 54), 0) << "the buttons above the pad";
        EXPECT_GT(HighlightPixels(others, 0, 266, 240, 320), 0) << "the switches below it";
        EXPECT_EQ(HighlightPixels(others, 0, 60, 240, 260), 0) << "not the pad";

        // The page the settings button opens, as a tap opens it, the scan idle until the switch.
        const Picture reached = run.Load("settings.png");
        ASSERT_EQ(reached.width, expected.width);
        EXPECT_TRUE(reached.pixels == expected.pixels) << "the settings page";

        const Picture xbutton = run.Load("xbutton.png");
        EXPECT_GT(HighlightPixels(xbutton, 120, 160, 220, 190), 100) << "the close-button switch";
        EXPECT_NE(PulsorRun::ReadText(run.Registry()).find("\"XButtonClose\"=dword:00000000"),
                  std::string::npos)
            << PulsorRun::ReadText(run.Registry());
    }
}

// One switch as the mouse: a press anywhere starts the scan, opens the first row and speaks its
// first cell; the voice switch it lands on is not flipped.
TEST(AccessEndToEnd, AMouseButtonAnywhereIsSwitchOne) {
    PulsorRun run("access-mouse");
    WriteSettings(run, {{"AccessMethod", 2}, {"AccessCues", 0}});
    const std::string tap = "tap 180 290\n" + Wait(50);
    ASSERT_EQ(run.Start(Wait(kMainUp) + tap + tap + tap + Wait(1000) + "shot after.png\n",
                        std::string(kSmall) + " --record " + run.Recording().string()),
              0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    ExpectQuiet(r, 0, kMainUp + 200 - 1);
    const size_t onset = Onset(r, At(kMainUp + 200) - At(1));
    ASSERT_NE(onset, SIZE_MAX);
    EXPECT_LT(onset - At(kMainUp + 200), At(20));
    EXPECT_EQ(WordAt(r, onset, false), 1);
    PulsorRun plain("access-mouse-plain");
    ASSERT_EQ(plain.Start(Wait(kMainUp) + Wait(1300) + "shot after.png\n", kSmall), 0);
    EXPECT_TRUE(run.Load("after.png").pixels == plain.Load("after.png").pixels)
        << "nothing flipped, nothing framed once the word is chosen";
}

// A touch held shorter than the hold time does nothing; one held longer acts when the time is up.
// A cell spoken does not speak again within the repeat lockout, and does after it.
TEST(AccessEndToEnd, HoldTimeAndRepeatLockoutFilterTheTouch) {
    struct Case {
        const char* name;
        std::map<std::string, unsigned> settings;
        std::string script;       // from kMainUp
        std::vector<int> spoken;  // ms from kMainUp at which word 1 starts
        std::vector<int> silent;  // ms from kMainUp at which no word starts
    };
    const std::string cell0 = Cell(0);
    const Case cases[] = {
        {"hold",
         {{"HoldTime", 300}},
         "tap " + cell0 + "\n" + Wait(1000) + "down " + cell0 + "\n" + Wait(400) + "up " + cell0 +
             "\n" + Wait(1000),
         {1050 + 300},
         {0}},
        {"lockout",
         {{"RepeatLockout", 2000}},
         "tap " + cell0 + "\n" + Wait(950) + "tap " + cell0 + "\n" + Wait(1450) + "tap " + cell0 +
             "\n" + Wait(1000),
         {0, 2500},
         {1000}},
        {"neither",
         {},
         "tap " + cell0 + "\n" + Wait(950) + "tap " + cell0 + "\n" + Wait(1000),
         {0, 1000},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("access-touch-") + c.name);
        WriteSettings(run, c.settings);
        ASSERT_EQ(run.Start(Wait(kMainUp) + c.script,
                            std::string(kSmall) + " --record " + run.Recording().string()),
                  0)
            << run.Errors();
        const std::vector<float> r = ReadWav(run.Recording().string()).samples;
        ExpectQuiet(r, 0, kMainUp + (c.spoken.empty() ? 0 : c.spoken.front()) - 1);
        for (int ms : c.spoken) {
            double score = 0;
            EXPECT_EQ(WordAt(r, At(kMainUp + ms) + Word(false, 1).onset, false, &score, kRate / 4,
                             At(20)),
                      1)
                << "at " << ms << " score " << score;
        }
        for (int ms : c.silent) {
            EXPECT_EQ(WordAt(r, At(kMainUp + ms) + Word(false, 1).onset, false, nullptr, kRate / 4,
                             At(20)),
                      0)
                << "at " << ms;
        }
    }
}

// A settings file from before the access values: Space flips the beat on, a tap speaks at once.
TEST(AccessEndToEnd, AFileWithoutTheAccessValuesPlaysAsBefore) {
    PulsorRun run("access-absent");
    WriteSettings(run, {{"VolumeBeat", 100}, {"VolumeSounds", 100}});
    const std::string script = Wait(kMainUp) + "tap " + Cell(5) + "\n" + Wait(1000) +
                               Press("Space") + Wait(300) + "shot beat.png\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t onset = Onset(r, At(kMainUp));
    ASSERT_NE(onset, SIZE_MAX);
    EXPECT_LT(onset - At(kMainUp), At(20));
    EXPECT_EQ(WordAt(r, onset, false), 6);
    EXPECT_GT(Rms(r, At(kMainUp + 1060), At(200)), 0.01) << "the beat plays after Space";
    EXPECT_EQ(HighlightPixels(run.Load("beat.png"), 0, 0, 240, 320), 0);
}

// The pointer resting on cell 5 speaks it after the dwell time and not before, though it wanders a
// pixel or two; resting on, it says nothing more. Moved to cell 6 it speaks that after the dwell
// time, and back on cell 5, cell 5 again.
TEST(AccessEndToEnd, DwellSpeaksAfterItsTimeAndNotAgainUntilThePointerLeaves) {
    PulsorRun run("access-dwell");
    WriteSettings(run, {{"AccessMethod", 1}, {"DwellTime", 1000}});
    const std::string script = Wait(kMainUp) + "move " + Cell(5) + "\n" + Wait(400) + "move " +
                               std::to_string(6 + 57 + 28 + 2) + " " +
                               std::to_string(60 + 50 + 25 + 1) + "\n" + Wait(2500) + "move " +
                               Cell(6) + "\n" + Wait(1500) + "move " + Cell(5) + "\n" + Wait(1500);
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const int first = kMainUp + 1000, second = kMainUp + 2900 + 1000, third = second + 1500;
    ExpectQuiet(r, 0, first - 1);
    for (auto [ms, word] : {std::pair<int, int>{first, 6}, {second, 7}, {third, 6}}) {
        const size_t onset = Onset(r, At(ms) - At(1));
        ASSERT_NE(onset, SIZE_MAX);
        EXPECT_LT(onset - At(ms), At(20)) << "a word at " << ms;
        double score = 0;
        EXPECT_EQ(WordAt(r, onset, false, &score), word) << "at " << ms << " score " << score;
    }
    const size_t end = Onset(r, At(first)) + Word(false, 6).samples.size();
    ExpectQuiet(r, static_cast<int>(end * 1000 / kRate) + 50, second - 1);
}

// The scan's frame and the dwell ring on the screens the program is drawn for, as shots to look
// at: the frame round the first row, the ring half filled round the pointer on cell 5.
TEST(AccessEndToEnd, TheFrameAndTheRingAsTheyAreDrawn) {
    for (int f : {1, 2}) {
        const std::string options = f == 1 ? kSmall : "--screen 480x640 --dpi 192";
        auto at = [f](int x, int y) { return std::to_string(x * f) + " " + std::to_string(y * f); };
        PulsorRun scan("access-frame-" + std::to_string(f));
        WriteSettings(scan, {{"AccessMethod", 2}, {"AccessCues", 0}});
        ASSERT_EQ(
            scan.Start(Wait(kMainUp) + Press("Space") + Wait(100) + "shot frame.png\n", options), 0)
            << scan.Errors();
        const Picture frame = scan.Load("frame.png");
        EXPECT_GT(HighlightPixels(frame, 0, 56 * f, 240 * f, 64 * f), 200 * f) << "above row 0";
        EXPECT_GT(HighlightPixels(frame, 0, 106 * f, 240 * f, 114 * f), 200 * f) << "below it";
        EXPECT_EQ(HighlightPixels(frame, 0, 120 * f, 240 * f, 320 * f), 0) << "nothing else";

        PulsorRun dwell("access-ring-" + std::to_string(f));
        WriteSettings(dwell, {{"AccessMethod", 1}, {"DwellTime", 1000}});
        ASSERT_EQ(dwell.Start(
                      Wait(kMainUp) + "move " + at(91, 135) + "\n" + Wait(500) + "shot ring.png\n",
                      options),
                  0)
            << dwell.Errors();
        const Picture ring = dwell.Load("ring.png");
        // Filled clockwise from the top: the right half yellow, the left half not.
        EXPECT_GT(HighlightPixels(ring, 91 * f, 115 * f, 110 * f, 155 * f), 40 * f * f);
        EXPECT_EQ(HighlightPixels(ring, 70 * f, 115 * f, 90 * f, 155 * f), 0);
        if (std::getenv("PULSOR_ACCESS_SHOTS")) {
            fs::copy_file(scan.Shot("frame.png"),
                          fs::path(std::getenv("PULSOR_ACCESS_SHOTS")) /
                              ("frame-" + std::to_string(f) + ".png"),
                          fs::copy_options::overwrite_existing);
            fs::copy_file(dwell.Shot("ring.png"),
                          fs::path(std::getenv("PULSOR_ACCESS_SHOTS")) /
                              ("ring-" + std::to_string(f) + ".png"),
                          fs::copy_options::overwrite_existing);
        }
    }
}
