// Long headless runs of random touches, strokes, page changes and beat starts: the program must
// neither crash nor grow. PULSOR_SOAK_MINUTES sets the virtual length of the long run (default
// 10); a run of the same script closed after a fifth of it gives the memory after warm-up to
// compare with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "e2e_app/E2eSupport.h"
#include "e2e_soak/SoakSupport.h"

using namespace e2e;

namespace {

// Touches on a 240x320 screen at 96 dpi, for `minutes` of virtual time, from a fixed seed. The
// close button and the close-button switch are never touched, so the window stays up until the
// script ends, or until it is closed after `closeAfter` minutes when that is less.
std::string RandomSession(int minutes, int closeAfter, uint32_t seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    auto allowed = [](int x, int y) {
        const bool closeButton = x >= 200 && y < 32;
        const bool closeSwitch = y >= 150 && y < 200;  // its row on the settings page
        return !closeButton && !closeSwitch;
    };
    auto point = [&]() {
        for (;;) {
            const int x = pick(240);
            const int y = pick(320);
            if (allowed(x, y)) {
                return std::to_string(x) + " " + std::to_string(y);
            }
        }
    };
    // Cells, then Play beat, Low/High, about, settings, back, Animations, Vibrations.
    static const char* const kControls[] = {"60 290",  "180 290", "13 13",  "39 13",
                                            "120 293", "170 212", "170 250"};
    std::string script = "wait 2100\n";
    const long end = minutes * 60000L;
    long t = 2100;
    bool closed = false;
    while (t < end) {
        if (!closed && closeAfter < minutes && t >= closeAfter * 60000L) {
            script += "shot end.png\nclose\n";
            closed = true;
        }
        const int kind = pick(100);
        if (kind < 40) {
            // Anywhere on a cell, except where the close-button switch lies on the settings page.
            const int cell = pick(16);
            int x, y;
            do {
                x = 6 + 57 * (cell % 4) + 5 + pick(47);
                y = 60 + 50 * (cell / 4) + 5 + pick(40);
            } while (!allowed(x, y));
            script += "tap " + std::to_string(x) + " " + std::to_string(y) + "\n";
            t += 50;
        } else if (kind < 60) {
            const int ms = 50 + pick(3000);
            script += "drag " + point() + " " + point() + " " + std::to_string(ms) + "\n";
            t += ms;
        } else if (kind < 85) {
            script += std::string("tap ") + kControls[pick(7)] + "\n";
            t += 50;
        } else if (kind < 95) {
            script += "tap " + point() + "\n";
            t += 50;
        } else if (kind < 97) {
            script += "deactivate\nwait " + std::to_string(pick(2000)) + "\nactivate\n";
        } else {
            // Back to the main page, and the beat started (or stopped).
            script += "tap 120 293\nwait 600\ntap 60 290\n";
            t += 700;
        }
        const int wait = pick(4) == 0 ? pick(5000) : pick(400);
        script += "wait " + std::to_string(wait) + "\n";
        t += wait;
    }
    return script + (closed ? "" : "wait 1000\nshot end.png\n");
}

struct Soaked {
    int status = -1;
    long peakKb = 0;  // the program's peak resident memory
};

// Runs the session under /usr/bin/time, which reports the peak of the program alone.
Soaked Soak(PulsorRun& run, int minutes, int closeAfter) {
    const fs::path script =
        run.Dir() / ("soak" + std::to_string(closeAfter) + "of" + std::to_string(minutes) + ".txt");
    std::ofstream(script) << RandomSession(minutes, closeAfter, 20261207);
    const fs::path peak = run.Dir() / "peak.txt";
    const pid_t pid = soak::Spawn(
        "/usr/bin/time",
        {"-f", "%M", "-o", peak.string(), PULSOR_EXE, "--headless", "--screen", "240x320", "--dpi",
         "96", "--script", script.string(), "--shots", (run.Dir() / "shots").string(),
         "--config-dir", (run.Dir() / "config").string()},
        (run.Dir() / "stderr.txt").string(),
        // AddressSanitizer keeps freed memory back on purpose; it would read as growth.
        "quarantine_size_mb=0");
    Soaked soaked;
    soaked.status = soak::Reap(pid).status;
    // A program that died of a signal leaves "Command terminated by signal N" first.
    soaked.peakKb = std::atol(PulsorRun::ReadText(peak).c_str());
    return soaked;
}

int SoakMinutes() {
    const char* given = std::getenv("PULSOR_SOAK_MINUTES");
    const int minutes = given ? std::atoi(given) : 0;
    return minutes >= 5 ? minutes : 10;
}

}  // namespace

TEST(Soak, RandomUseNeitherCrashesNorGrows) {
    if (!fs::exists("/usr/bin/time")) {
        GTEST_SKIP() << "/usr/bin/time (package time) is not installed";
    }
    const int minutes = SoakMinutes();
    PulsorRun run("soak");

    // The same script both times, so that its own size weighs the same: the first run closes the
    // window after a fifth of it and the rest passes with nothing to drive.
    const Soaked warm = Soak(run, minutes, minutes / 5);
    ASSERT_EQ(warm.status, 0) << run.Errors();
    ASSERT_GT(warm.peakKb, 0);
    fs::remove(run.Shot("end.png"));
    fs::remove(run.Registry());

    const Soaked full = Soak(run, minutes, minutes);
    ASSERT_EQ(full.status, 0) << run.Errors();
    // Still drawing at the end, and the settings written when the window closed.
    EXPECT_EQ(run.Load("end.png").width, 240);
    EXPECT_TRUE(fs::exists(run.Registry()));
    // Five times the touches may not take meaningfully more memory than the warm-up did.
    RecordProperty("PeakKbWarm", std::to_string(warm.peakKb));
    RecordProperty("PeakKbFull", std::to_string(full.peakKb));
    EXPECT_LE(full.peakKb, warm.peakKb + warm.peakKb / 20 + 1024)
        << minutes / 5 << " minutes: " << warm.peakKb << " kB, " << minutes
        << " minutes: " << full.peakKb << " kB";
}
