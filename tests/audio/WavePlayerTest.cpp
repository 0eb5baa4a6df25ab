// The player against the null output in virtual time, with a real window receiving its notices.
#include <gtest/gtest.h>

#include "audio/WavePlayer.h"
#include "support/TestWindow.h"
#include "support/WaveTestFiles.h"

namespace {

class Inspect : public WavePlayer {
public:
    using WavePlayer::WavePlayer;
    DWORD Volume() const {
        DWORD v = 0xDEAD;
        waveOutGetVolume(device, &v);
        return v;
    }
    HWAVEOUT Device() const { return device; }
};

class WavePlayerTest : public ::testing::Test {
protected:
    WavePlayerTest() : audio_(256, std::string(), false) {}

    std::wstring Save(const std::string& name, const std::vector<uint8_t>& bytes) {
        return wavetest::Wide(wavetest::WriteFile(dir_ + "/" + name, bytes));
    }
    // A ramp that starts at `first`, so the played position shows in the level.
    static std::vector<uint8_t> Ramp(int frames, int first) {
        std::vector<int> s(static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            s[i] = first + i % 20000;
        }
        return s.empty() ? std::vector<uint8_t>() : wavetest::S16(s);
    }
    std::vector<TestWindow::Message> Commands() const { return window_.Messages(WM_COMMAND); }

    std::string dir_ = wavetest::TempDir();
    TestWindow window_;  // virtual time from here on
    wavetest::NullAudio audio_;
};

TEST_F(WavePlayerTest, TheBeatPlaysOnceAndItsEndArrivesAsCommand256) {
    // Three seconds at 48 kHz stereo.
    std::wstring path =
        Save("Pulsor.wav", wavetest::WavImage(1, 2, 48000, 16, Ramp(2 * 144000, 1000)));
    WavePlayer beat(path.c_str());
    ASSERT_TRUE(beat.SetNotify(window_.Handle(), 256));
    ASSERT_TRUE(beat.SetVolume(100));
    EXPECT_EQ(beat.GetLengthSeconds(), 3u);
    const size_t at = audio_.FramesCaptured();
    const DWORD start = GetTickCount();
    ASSERT_TRUE(beat.Play());
    window_.Pump(2900);
    EXPECT_TRUE(Commands().empty());
    window_.Pump(1100);
    auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, 0x03BD0100u);
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(&beat));
    // Within a period of the end: the output renders each period at its start.
    EXPECT_GE(commands[0].time - start, 2994u);
    EXPECT_LE(commands[0].time - start, 3006u);
    // Played once: exactly three seconds of sound, then silence.
    auto out = audio_.Captured();
    EXPECT_EQ(wavetest::FirstSound(out, at), static_cast<long>(at));
    EXPECT_EQ(wavetest::SoundingFrames(out, at), 144000u);
    EXPECT_TRUE(beat.Stop());  // after playing out
    window_.Pump(100);
    EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(WavePlayerTest, PlayCutsAndRestartsFromTheFirstSampleWithANoticeForTheCutPlay) {
    std::wstring path = Save("beat.wav", wavetest::WavImage(1, 1, 48000, 16, Ramp(96000, 500)));
    WavePlayer beat(path.c_str());
    beat.SetNotify(window_.Handle(), 256);
    ASSERT_TRUE(beat.Play());
    window_.Pump(500);
    EXPECT_TRUE(Commands().empty());
    const size_t at = audio_.FramesCaptured();
    ASSERT_TRUE(beat.Play());
    window_.Pump(50);
    auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);  // the cut play
    EXPECT_EQ(commands[0].wParam, 0x03BD0100u);
    auto out = audio_.Captured();
    EXPECT_FLOAT_EQ(out[2 * at], 500 / 32768.0f);
    EXPECT_FLOAT_EQ(out[2 * (at + 1)], 501 / 32768.0f);
    window_.Pump(2000);
    EXPECT_EQ(Commands().size(), 2u);  // and the full one
}

TEST_F(WavePlayerTest, VolumeLevelsMapExactlyAndScaleTheSound) {
    std::wstring path =
        Save("word.wav", wavetest::WavImage(1, 1, 48000, 16, wavetest::Level16(48000, 16384)));
    Inspect player(path.c_str());
    const std::pair<UINT, DWORD> levels[] = {{0, 0},       {1, 0x28F},   {50, 0x7FFF},
                                             {75, 0xBFFF}, {99, 0xFD6F}, {100, 0xFFFF}};
    for (auto [level, expected] : levels) {
        ASSERT_TRUE(player.SetVolume(level));
        EXPECT_EQ(player.Volume(), expected) << level;
        ASSERT_TRUE(player.Play());
        window_.Pump(30);
        auto out = audio_.Captured();
        // Half scale, so that full volume stays under the limiter on the mix.
        EXPECT_NEAR(out[out.size() - 2], 0.5 * expected / 65535.0, 1e-6) << level;
    }
    player.SetVolume(50);
    EXPECT_FALSE(player.SetVolume(101));
    EXPECT_EQ(player.Volume(), 0x7FFFu);
    ASSERT_TRUE(player.SetVolume(0));
    EXPECT_TRUE(player.Play());  // silenced, not refused
}

TEST_F(WavePlayerTest, WithoutANotifyTargetNothingIsPosted) {
    std::wstring path =
        Save("word.wav", wavetest::WavImage(1, 1, 22050, 16, wavetest::Level16(2205, 900)));
    WavePlayer player(path.c_str());
    EXPECT_FALSE(player.SetNotify(nullptr, 256));
    EXPECT_FALSE(player.SetNotify(window_.Handle(), 0));
    ASSERT_TRUE(player.Play());
    window_.Pump(300);
    EXPECT_TRUE(Commands().empty());
    EXPECT_GT(wavetest::SoundingFrames(audio_.Captured()), 4000u);
}

TEST_F(WavePlayerTest, WordsSoundTogetherAndTheSameWordRestarts) {
    std::wstring a =
        Save("L1.wav", wavetest::WavImage(1, 1, 22050, 16, wavetest::Level16(22050, 4096)));
    std::wstring b =
        Save("L2.wav", wavetest::WavImage(1, 1, 22050, 16, wavetest::Level16(22050, 8192)));
    WavePlayer first(a.c_str()), second(b.c_str());
    first.Play();
    window_.Pump(100);
    second.Play();
    window_.Pump(100);
    auto out = audio_.Captured();
    EXPECT_FLOAT_EQ(out.back(), 0.375f);
    first.Play();
    window_.Pump(950);
    out = audio_.Captured();
    EXPECT_FLOAT_EQ(out.back(), 0.125f);  // the second has ended, the restarted first goes on
}

TEST_F(WavePlayerTest, DestroyingAPlayingPlayerSilencesItSafely) {
    std::wstring path =
        Save("long.wav", wavetest::WavImage(1, 1, 48000, 16, wavetest::Level16(480000, 9000)));
    auto* player = new WavePlayer(path.c_str());
    player->SetNotify(window_.Handle(), 256);
    ASSERT_TRUE(player->Play());
    window_.Pump(100);
    delete player;  // frees the sample the output was playing from
    const size_t at = audio_.FramesCaptured();
    window_.Pump(200);
    EXPECT_EQ(wavetest::SoundingFrames(audio_.Captured(), at), 0u);
    EXPECT_EQ(Commands().size(), 1u);  // the reset play's notice, posted before the player went
}

TEST_F(WavePlayerTest, NoOutputDeviceGivesAnInertPlayer) {
    std::wstring path =
        Save("word.wav", wavetest::WavImage(1, 1, 22050, 16, wavetest::Level16(2205, 900)));
    platform::wave::StopAudio();
    Inspect player(path.c_str());
    EXPECT_EQ(player.Device(), nullptr);
    EXPECT_EQ(player.GetLengthSeconds(), 0u);
    EXPECT_FALSE(player.IsPlayable());
    EXPECT_FALSE(player.Play());
    EXPECT_FALSE(player.Stop());
    EXPECT_FALSE(player.SetVolume(10));
    EXPECT_TRUE(player.SetNotify(window_.Handle(), 256));  // the header is there all the same
}

TEST(WaveOutCallback, IgnoresWhatDoesNotNameANotifyingPlayer) {
    // No window: these must simply return.
    WavePlayer::WaveOutCallback(nullptr, MM_WOM_DONE, 0, 0, 0);
    WAVEHDR header{};
    WavePlayer::WaveOutCallback(nullptr, MM_WOM_DONE, 0, reinterpret_cast<DWORD_PTR>(&header), 0);
    WavePlayer inert(L"/nonexistent/Pulsor.wav");
    header.dwUser = reinterpret_cast<DWORD_PTR>(&inert);
    WavePlayer::WaveOutCallback(nullptr, MM_WOM_DONE, 0, reinterpret_cast<DWORD_PTR>(&header), 0);
}

}  // namespace
