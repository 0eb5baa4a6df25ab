// The real-time recorder: what an audio thread pushes reaches the take whole and in order, as a
// canonical WAV file or, past what a RIFF header can count, as RF64.
#include "platform/wave/Recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "support/WaveTestFiles.h"

namespace {

TEST(Recorder, EveryPushedFrameReachesTheTakeInOrder) {
    struct Case {
        const char* name;
        uint64_t riffLimit;  // 0: the format's own
        int container;
    };
    const Case cases[] = {{"canonical", 0, SF_FORMAT_WAV}, {"past 64 KiB", 65536, SF_FORMAT_RF64}};
    platform::Clock::Instance().SetVirtual(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = wavetest::TempDir() + "/take.wav";
        platform::wave::SetRiffLimitForTests(c.riffLimit);
        platform::wave::WavWriter take;
        std::string error;
        ASSERT_TRUE(take.Claim(path, &error)) << error;
        ASSERT_TRUE(take.Begin(48000));
        platform::wave::Recorder recorder;
        recorder.Start(&take);
        // An audio thread of its own, periods of 256 frames, a ramp that shows order and loss.
        std::vector<float> pushed;
        std::thread audio([&recorder, &pushed] {
            std::vector<float> period(512);
            int n = 0;
            for (int p = 0; p < 400; ++p) {
                for (int i = 0; i < 256; ++i, ++n) {
                    period[2 * i] = static_cast<float>(n % 1000) / 1000.0f;
                    period[2 * i + 1] = -period[2 * i];
                }
                recorder.Push(period.data(), 256);
                pushed.insert(pushed.end(), period.begin(), period.end());
                if (p % 40 == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        });
        audio.join();
        recorder.Stop();
        EXPECT_TRUE(take.Close());
        platform::wave::SetRiffLimitForTests(0);

        const wavetest::Take read = wavetest::ReadTake(path);
        EXPECT_EQ(read.container, c.container);
        EXPECT_EQ(read.rate, 48000);
        EXPECT_EQ(read.channels, 2);
        EXPECT_TRUE(read.samples == wavetest::Quantized(pushed));
        const uint64_t header = c.container == SF_FORMAT_WAV ? 44 : 80;
        EXPECT_EQ(std::filesystem::file_size(path), header + pushed.size() * 2);
    }
}

}  // namespace
