// The whole program, run headless in virtual time from scripts: what it shows, what it plays and
// what it stores. Positions are those of a 240x320 screen at 96 dpi unless a test says otherwise.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "e2e_app/E2eSupport.h"
#include "e2e_app/SpokenWords.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";

// Centre of pad cell 0..15 on the small screen: a 6-pixel border, then 57x50 cells from (0, 54).
std::string Cell(int cell) {
    const int x = 6 + 57 * (cell % 4) + 28;
    const int y = 54 + 6 + 50 * (cell / 4) + 25;
    return std::to_string(x) + " " + std::to_string(y);
}

std::string Tap(const std::string& at) {
    return "tap " + at + "\n";
}
std::string Wait(int ms) {
    return "wait " + std::to_string(ms) + "\n";
}

const std::string kAbout = "13 13";
const std::string kSettings = "39 13";
const std::string kClose = "227 13";
const std::string kBack = "120 293";
const std::string kPlayBeat = "60 290";
const std::string kVoice = "180 290";
const std::string kXButton = "170 174";
const std::string kAnimations = "170 212";
const std::string kVibrations = "170 250";

// The main page is up 2 s after start; the scripts begin a little later. On the wall clock
// loading takes as long as the machine needs: a busy one keeps the splash up longer.
const int kMainUp = 2100;
const int kMainUpOnTheWallClock = 4000;

// Filled columns of the beat's progress bar along the bottom row of the small screen.
int ProgressColumns(const Picture& p) {
    int n = 0;
    for (int x = 0; x < p.width; ++x) {
        n += IsGreen(p.At(x, p.height - 3)) ? 1 : 0;
    }
    return n;
}

}  // namespace

TEST(AppEndToEnd, SplashFillsInOrderThenTheMainPageAppearsAtTwoSeconds) {
    PulsorRun run("splash");
    std::string script;
    int t = 0;
    for (int shotAt : {30, 50, 70, 90, 110, 130, 1990, 2010}) {
        script += Wait(shotAt - t) + "shot s" + std::to_string(shotAt) + ".png\n";
        t = shotAt;
    }
    ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();

    // The logo box is 200x70 at (20, 80); the green shows through the lettering up to the
    // loaded share of its width and never beyond.
    int previousRight = -1;
    for (int i = 0; i < 6; ++i) {
        const Picture p = run.Load("s" + std::to_string(30 + 20 * i) + ".png");
        ASSERT_EQ(p.width, 240);
        const int limit = 20 + 200 * (20 * i) / 100;
        int right = -1;
        for (int y = 80; y < 150; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (IsGreen(p.At(x, y))) {
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_LT(right, limit) << "at " << 20 * i << " %";
        if (i == 0) {
            EXPECT_EQ(right, -1) << "nothing is filled at 0 %";
        } else {
            EXPECT_GT(right, previousRight) << "the fill grows step by step";
            EXPECT_GT(right, limit - 30) << "at " << 20 * i << " %";
        }
        previousRight = right;
    }
    const Picture before = run.Load("s1990.png");
    const Picture after = run.Load("s2010.png");
    EXPECT_EQ(before, run.Load("s130.png")) << "the splash stays until 2 s";
    EXPECT_FALSE(after == before) << "the main page replaces the splash at 2 s";
}

TEST(AppEndToEnd, EachCellSpeaksItsWordLowThenHighAfterTheVoiceSwitch) {
    PulsorRun run("words");
    std::string script = Wait(kMainUp);
    for (int cell = 0; cell < 16; ++cell) {
        script += Tap(Cell(cell)) + Wait(950);
    }
    script += Tap(kVoice) + Wait(500);
    for (int cell = 0; cell < 16; ++cell) {
        script += Tap(Cell(cell)) + Wait(950);
    }
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();

    const Sound recording = ReadWav(run.Recording().string());
    ASSERT_EQ(recording.rate, kRate);
    const std::vector<float>& r = recording.samples;
    // Each tap's down comes 1000 ms after the previous one (tap takes 50 ms, then the wait).
    for (int voice = 0; voice < 2; ++voice) {
        for (int cell = 0; cell < 16; ++cell) {
            const int downMs = kMainUp + voice * (16 * 1000 + 550) + cell * 1000;
            const size_t onset = Onset(r, static_cast<size_t>(downMs) * kRate / 1000);
            ASSERT_NE(onset, SIZE_MAX);
            EXPECT_LT(onset - static_cast<size_t>(downMs) * kRate / 1000, kRate / 50u)
                << "the word starts within 20 ms of the touch";
            double score = 0;
            EXPECT_EQ(WordAt(r, onset, voice == 1, &score), cell + 1)
                << (voice ? "high" : "low") << " cell " << cell << " score " << score;
        }
    }
}

TEST(AppEndToEnd, AStrokeAcrossARowStringsItsFourWords) {
    PulsorRun run("stroke");
    // Row 2 (cells 4..7) lies at y = 60 + 50 + 25; the finger enters a new cell every ~760 ms.
    const std::string script = Wait(kMainUp) + "drag 10 135 230 135 3000\n" + Wait(1000);
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;

    // The finger enters column c at x = 6 + 57c (column 0 at the first point, x = 10).
    size_t searchFrom = static_cast<size_t>(kMainUp) * kRate / 1000;
    for (int column = 0; column < 4; ++column) {
        const double enterX = column == 0 ? 10 : 6 + 57 * column;
        const double enterMs = kMainUp + (enterX - 10) / 220.0 * 3000;
        const size_t expected = static_cast<size_t>(enterMs * kRate / 1000);
        double score = 0;
        // Moves come every 10 ms, so the entry is known to within one move.
        EXPECT_EQ(WordAt(r, expected, false, &score, kRate / 8, kRate / 80), 5 + column)
            << "column " << column << " score " << score;
        EXPECT_GE(expected + kRate / 20, searchFrom);
        searchFrom = expected;
    }
}

TEST(AppEndToEnd, TheBeatMovesItsBarOnceASecondAndResetsWhenItEnds) {
    PulsorRun run("beat");
    std::string script = Wait(kMainUp) + Tap(kPlayBeat);
    // The beat (10.6 s, 10 whole seconds) started at the tap's down, 2100 ms.
    const int shots[] = {500, 950, 1400, 2500, 5500, 9950, 10400, 11200};
    int t = 50;
    for (int at : shots) {
        script += Wait(at - t) + "shot b" + std::to_string(at) + ".png\n";
        t = at;
    }
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();

    EXPECT_EQ(ProgressColumns(run.Load("b500.png")), 0) << "no whole second yet";
    EXPECT_EQ(ProgressColumns(run.Load("b950.png")), 0);
    const int one = ProgressColumns(run.Load("b1400.png"));
    EXPECT_NEAR(one, 24, 2) << "10 % after one second";
    EXPECT_NEAR(ProgressColumns(run.Load("b2500.png")), 48, 2);
    EXPECT_NEAR(ProgressColumns(run.Load("b5500.png")), 120, 2);
    EXPECT_NEAR(ProgressColumns(run.Load("b9950.png")), 216, 2);
    EXPECT_NEAR(ProgressColumns(run.Load("b10400.png")), 240, 2) << "full at ten seconds";
    EXPECT_EQ(ProgressColumns(run.Load("b11200.png")), 0) << "back to 0 when the beat ended";
    // The switch is unchecked again: its picture is the one from before the start.
    const Picture ended = run.Load("b11200.png");
    const Picture started = run.Load("b500.png");
    bool switchDiffers = false;
    for (int y = 266; y < 310; ++y) {
        for (int x = 0; x < 120; ++x) {
            switchDiffers |= ended.At(x, y) != started.At(x, y);
        }
    }
    EXPECT_TRUE(switchDiffers) << "the beat switch shows its stopped picture again";

    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t start = static_cast<size_t>(kMainUp) * kRate / 1000;
    EXPECT_GT(Rms(r, start + kRate, 5 * kRate), 0.05) << "the beat is in the recording";
    EXPECT_LT(Rms(r, start + 11 * kRate, kRate / 4), 0.001) << "and it played once";
}

TEST(AppEndToEnd, TheVolumesChangeTheRecordedLevel) {
    PulsorRun run("volume");
    // A word at full volume, then the sounds volume set to 50 % (applied on lift) and the same
    // word again; the beat volume at 30 % changes the beat live.
    std::string script = Wait(kMainUp) + Tap(Cell(0)) + Wait(1000);
    script += Tap(kSettings) + Wait(500);
    script += Tap("120 136") + Wait(200);  // sounds volume slider: x = 20 + 50 % of 200
    script += Tap(kBack) + Wait(500);
    script += Tap(Cell(0)) + Wait(1000);
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t first = Onset(r, static_cast<size_t>(kMainUp) * kRate / 1000);
    const int secondMs = kMainUp + 1050 + 550 + 250 + 550;
    const size_t second = Onset(r, static_cast<size_t>(secondMs) * kRate / 1000, 0.01f);
    ASSERT_NE(first, SIZE_MAX);
    ASSERT_NE(second, SIZE_MAX);
    const double full = Rms(r, first, kRate / 4);
    const double half = Rms(r, second, kRate / 4);
    EXPECT_NEAR(half / full, 0.5, 0.05);
}

TEST(AppEndToEnd, PagesChangeAnimatedOrAtOnce) {
    PulsorRun run("pages");
    std::string script = Wait(kMainUp) + "shot main.png\n";
    script += Tap(kAbout) + Wait(100) + "shot mid.png\n" + Wait(400) + "shot about.png\n";
    script += Tap(kBack) + Wait(500) + "shot main2.png\n";
    script += Tap(kSettings) + Wait(500) + "shot settings.png\n";
    script += Tap(kAnimations) + Wait(100);  // animations off
    script += Tap(kBack) + Wait(20) + "shot instant.png\n";
    ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();

    const Picture main = run.Load("main.png");
    const Picture mid = run.Load("mid.png");
    const Picture about = run.Load("about.png");
    EXPECT_FALSE(mid == main);
    EXPECT_FALSE(mid == about) << "a frame between the two pages";
    EXPECT_FALSE(about == main);
    EXPECT_EQ(run.Load("main2.png"), main) << "back shows the main page as it was";
    EXPECT_FALSE(run.Load("settings.png") == main);
    EXPECT_EQ(run.Load("instant.png"), main) << "without animations the change is at once";
}

TEST(AppEndToEnd, ClosingSavesAllFiveValuesAndTheNextRunStartsWithThem) {
    PulsorRun run("save");
    std::string script = Wait(kMainUp) + Tap(kSettings) + Wait(500);
    script += Tap("80 91") + Wait(100);    // beat volume 30 %
    script += Tap("160 136") + Wait(100);  // sounds volume 70 %
    script += Tap(kAnimations) + Tap(kVibrations) + Wait(100);
    script += "shot settings.png\n" + Tap(kBack) + Wait(100);
    script += Tap(kClose) + Wait(100);
    ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();
    const std::string reg = PulsorRun::ReadText(run.Registry());
    EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]"),
              std::string::npos)
        << reg;
    EXPECT_NE(reg.find("\"VolumeBeat\"=dword:0000001e"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"VolumeSounds\"=dword:00000046"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"XButtonClose\"=dword:00000001"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"AnimationsOn\"=dword:00000000"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"VibrationsOn\"=dword:00000000"), std::string::npos) << reg;

    // A second run in the same configuration shows the settings as they were left.
    const Picture left = run.Load("settings.png");
    const std::string again = Wait(kMainUp) + Tap(kSettings) + Wait(50) + "shot again.png\n";
    ASSERT_EQ(run.Start(again, kSmall), 0) << run.Errors();
    EXPECT_EQ(run.Load("again.png"), left);
}

TEST(AppEndToEnd, WithXButtonOffTheCloseButtonOnlyMinimisesAndSavesNothing) {
    PulsorRun run("minimise");
    // Real time, so that the registry can be looked at while the program still runs.
    std::string script =
        Wait(kMainUpOnTheWallClock) + Tap(kSettings) + Wait(500) + Tap(kXButton) + Wait(50);
    script +=
        Tap(kBack) + Wait(500) + Tap(kClose) + Wait(300) + "shot minimised.png\n" + Wait(2000);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(run.Start(script, std::string(kSmall) + " --real-time"));
    }
    bool shot = false;
    for (int i = 0; i < 600 && !shot; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        shot = fs::exists(run.Shot("minimised.png"));
    }
    EXPECT_TRUE(shot);
    const std::string whileRunning = PulsorRun::ReadText(run.Registry());
    EXPECT_EQ(whileRunning.find("VolumeBeat"), std::string::npos)
        << "nothing is saved by minimising:\n"
        << whileRunning;
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The script's end closes the window, and that close saves.
    EXPECT_NE(PulsorRun::ReadText(run.Registry()).find("\"XButtonClose\"=dword:00000000"),
              std::string::npos);
}

TEST(AppEndToEnd, TheDonationButtonStartsTheDefaultBrowserWithTheAddress) {
    PulsorRun run("donate");
    const fs::path browser = run.Dir() / "browser.sh";
    const fs::path argsFile = run.Dir() / "args.txt";
    std::ofstream(browser) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << argsFile
                           << "\n";
    fs::permissions(browser, fs::perms::owner_all);
    std::ofstream(run.Registry())
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER]\n"
        << "\"1\"=\"\\\"" << browser.string() << "\\\" -url %1\"\n";
    const std::string script = Wait(kMainUp) + Tap(kAbout) + Wait(500) + Tap("120 218") + Wait(200);
    ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();
    std::string args;
    for (int i = 0; i < 100 && args.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        args = PulsorRun::ReadText(argsFile);
    }
    EXPECT_EQ(args.rfind("https://www.paypal.com/cgi-bin/webscr?cmd=_donations&", 0), 0u) << args;
    EXPECT_NE(args.find("currency_code="), std::string::npos);
    EXPECT_EQ(std::count(args.begin(), args.end(), '\n'), 1) << "the address is the one argument";
}
