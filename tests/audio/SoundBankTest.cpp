#include "audio/SoundBank.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audio/WavePlayer.h"
#include "support/ContentTestSupport.h"
#include "tests/audio/SoundStage.h"

using content_test::AssetFolder;
using content_test::SoundStage;
using content_test::TempFolder;
using Plays = std::vector<int>;

namespace {

// Long enough for any word to play out.
const DWORD kWordTime = 1500;

// The stream a player plays on, to read its volume back from the platform.
struct PlayerStream : WavePlayer {
    static HWAVEOUT WavePlayer::*Member() { return &PlayerStream::device; }
};

DWORD StreamVolume(const WavePlayer* player) {
    DWORD volume = 0xDEADBEEF;
    EXPECT_EQ(waveOutGetVolume(player->*PlayerStream::Member(), &volume), MMSYSERR_NOERROR);
    return volume;
}

TEST(SoundBank, EmptyBankHasNoSamplesAndFullVolume) {
    SoundBank bank;
    EXPECT_EQ(bank.GetVolume(), 100u);
    for (int word = 0; word <= 17; ++word) {
        EXPECT_EQ(bank.GetSample(word, false), nullptr);
        EXPECT_EQ(bank.GetSample(word, true), nullptr);
    }
    bank.Play(1, false);  // nothing to play, nothing happens
    bank.SetVolume(50);
    EXPECT_EQ(bank.GetVolume(), 50u);
}

TEST(SoundBank, PlaysOnlyWordsOneToSixteenInTheChosenVoice) {
    SoundStage stage(AssetFolder("Sounds"));
    SoundBank& bank = stage.Bank();
    EXPECT_EQ(bank.GetSample(0, false), nullptr);
    EXPECT_EQ(bank.GetSample(17, true), nullptr);
    ASSERT_NE(bank.GetSample(16, true), nullptr);
    EXPECT_NE(bank.GetSample(16, true), bank.GetSample(16, false));
    for (int word = 1; word <= 16; ++word) {
        EXPECT_TRUE(bank.GetSample(word, false)->IsPlayable()) << word;
        EXPECT_TRUE(bank.GetSample(word, true)->IsPlayable()) << word;
    }

    bank.Play(0, false);
    bank.Play(17, true);
    bank.Play(-1, true);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{});

    bank.Play(16, true);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{116});
    bank.Play(1, false);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{1});
}

TEST(SoundBank, MissingSampleSilencesOnlyThatWordInThatVoice) {
    TempFolder folder("sounds-no-l5");
    std::filesystem::copy(std::filesystem::path(PULSOR_SOURCE_DIR) / "assets/Sounds",
                          folder.Path());
    std::filesystem::remove(folder.Path() / "L5.wav");
    SoundStage stage(folder.WideFolder());
    SoundBank& bank = stage.Bank();
    ASSERT_NE(bank.GetSample(5, false), nullptr);  // a player all the same, a silent one
    EXPECT_FALSE(bank.GetSample(5, false)->IsPlayable());

    bank.Play(5, false);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{});
    bank.Play(5, true);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{105});
    bank.Play(4, false);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{4});
}

TEST(SoundBank, WordsOverlapAndTheSameWordRestarts) {
    SoundStage stage(AssetFolder("Sounds"));
    SoundBank& bank = stage.Bank();
    const DWORD start = GetTickCount();
    // Two words one after the other both play out: neither cut the other.
    bank.Play(1, false);
    bank.Play(2, false);
    EXPECT_EQ(stage.PlaysAfter(kWordTime).size(), 2u);
    ASSERT_EQ(content_test::ReportTimes(stage.Window(), 1).size(), 1u);
    EXPECT_GE(content_test::ReportTimes(stage.Window(), 1)[0] - start, 400u);
    EXPECT_GE(content_test::ReportTimes(stage.Window(), 2)[0] - start, 400u);

    // The same word again cuts the first play at once and plays out from its start.
    const DWORD again = GetTickCount();
    bank.Play(3, true);
    bank.Play(3, true);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), (Plays{103, 103}));
    const std::vector<DWORD> times = content_test::ReportTimes(stage.Window(), 103);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_LT(times[0] - again, 100u);
    EXPECT_GE(times[1] - again, 400u);
}

TEST(SoundBank, VolumeGoesToAllThirtyTwoPlayers) {
    SoundStage stage(AssetFolder("Sounds"));
    SoundBank& bank = stage.Bank();
    auto expectAll = [&](DWORD volume) {
        for (int word = 1; word <= 16; ++word) {
            EXPECT_EQ(StreamVolume(bank.GetSample(word, false)), volume) << "L" << word;
            EXPECT_EQ(StreamVolume(bank.GetSample(word, true)), volume) << "H" << word;
        }
    };
    bank.SetVolume(30);
    EXPECT_EQ(bank.GetVolume(), 30u);
    expectAll(30u * 65535 / 100);
    bank.SetVolume(250);  // ignored entirely
    EXPECT_EQ(bank.GetVolume(), 30u);
    expectAll(30u * 65535 / 100);
    bank.SetVolume(100);
    expectAll(0xFFFF);
    bank.SetVolume(0);
    expectAll(0);
    // Silenced words still play (and report their end).
    bank.Play(7, false);
    EXPECT_EQ(stage.PlaysAfter(kWordTime), Plays{7});
}

TEST(SoundBank, FolderTooLongForTheFileNamesLoadsNoPlayers) {
    // A folder that leaves no room for "L16.wav" within 259 characters: no player is made from a
    // cut path.
    std::wstring folder(255, L'x');
    folder += L"/";
    SoundBank bank;
    bank.Load(folder.c_str());
    EXPECT_EQ(bank.GetSample(1, false), nullptr);
    EXPECT_EQ(bank.GetSample(16, true), nullptr);
    bank.Play(1, false);
}

}  // namespace
