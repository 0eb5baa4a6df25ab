// The beat's bar: whole seconds played, in hundredths of the beat's length.
#include "app/Beat.h"

#include <gtest/gtest.h>

#include "audio/WavePlayer.h"

namespace {

TEST(Beat, TheBarCountsWholeSecondsOfTheBeatsLength) {
    struct Case {
        DWORD elapsedMs, lengthSeconds;
        int percent;  // -1: the bar stays as it is
    };
    const Case cases[] = {
        {999, 8, 0},
        {1000, 8, 12},
        {2999, 8, 25},
        {3000, 8, 37},
        {8000, 8, 100},
        {9000, 8, -1},  // past the end
        {0, 8, -1},     // nothing played yet
        // A beat shorter than a second has no length to divide by.
        {1000, 0, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Beat::PercentPlayed(c.elapsedMs, c.lengthSeconds), c.percent)
            << c.elapsedMs << " ms of " << c.lengthSeconds << " s";
    }
}

TEST(Beat, WithoutAPlayerStartAndStopDoNothingAndTheNoticeIsStillItsOwn) {
    Beat beat(nullptr, nullptr);
    struct Listener : Beat::Listener {
        int calls = 0;
        void OnBeatStarted() override { ++calls; }
        void OnBeatStopped() override { ++calls; }
        void OnBeatProgress(int) override { ++calls; }
    } listener;
    beat.SetListener(&listener);
    beat.Start();
    beat.Stop();
    EXPECT_TRUE(beat.OnCommand(256, MM_WOM_DONE, 0));
    EXPECT_FALSE(beat.OnCommand(36, MM_WOM_DONE, 0));
    EXPECT_EQ(listener.calls, 0);
}

}  // namespace
