// The real-time recorder: what an audio thread pushes reaches the file whole and in order, and
// the file is complete once closed.
#include "platform/wave/Recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(Recorder, EveryPushedFrameReachesTheFileInOrderAndTheHeaderCountsThem) {
    platform::Clock::Instance().SetVirtual(false);
    const std::string path =
        ::testing::TempDir() + "/recorder-" + std::to_string(getpid()) + ".wav";
    platform::wave::Recorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open(path, 48000, &error)) << error;
    // An audio thread of its own, periods of 256 frames, a ramp that shows order and loss.
    const int periods = 400;
    std::thread audio([&recorder] {
        std::vector<float> period(512);
        int n = 0;
        for (int p = 0; p < periods; ++p) {
            for (int i = 0; i < 256; ++i, ++n) {
                period[2 * i] = period[2 * i + 1] = static_cast<float>(n % 1000) / 1000.0f;
            }
            recorder.Push(period.data(), 256);
            if (p % 40 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    });
    audio.join();
    recorder.Close();

    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    const size_t frames = static_cast<size_t>(periods) * 256;
    ASSERT_EQ(b.size(), 44 + frames * 4);
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    EXPECT_EQ(U32(b, 40), frames * 4);
    for (size_t i = 0; i < frames; i += 997) {
        const auto left = static_cast<int16_t>(b[44 + i * 4] | b[45 + i * 4] << 8);
        EXPECT_NEAR(left / 32767.0, static_cast<double>(i % 1000) / 1000.0, 1e-4) << i;
    }
    std::filesystem::remove(path);
}

TEST(Recorder, AnUnwritablePathIsRefusedWithItsReason) {
    platform::wave::Recorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.Open("/nonexistent-dir/take.wav", 48000, &error));
    EXPECT_EQ(error.rfind("cannot write /nonexistent-dir/take.wav: ", 0), 0u) << error;
    recorder.Close();  // nothing to finish
}

}  // namespace
