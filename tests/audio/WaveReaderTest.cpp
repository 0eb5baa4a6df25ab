// Reading a sound file into a player: lengths, odd files, and what makes a player inert.
#include <gtest/gtest.h>

#include "audio/WavePlayer.h"
#include "support/WaveTestFiles.h"

namespace {

class Inspect : public WavePlayer {
public:
    using WavePlayer::WavePlayer;
    DWORD FileSize() const { return fileSize; }
    const WAVEHDR* Header() const { return header; }
    const BYTE* Data() const { return fileData; }
    HWAVEOUT Device() const { return device; }
};

class WaveReaderTest : public ::testing::Test {
protected:
    std::wstring Save(const std::string& name, const std::vector<uint8_t>& bytes) {
        return wavetest::Wide(wavetest::WriteFile(dir_ + "/" + name, bytes));
    }
    std::string dir_ = wavetest::TempDir();
};

TEST(ReadWaveHeader, LengthsInWholeSeconds) {
    WAVEFORMATEX f;
    DWORD seconds;
    auto mono = wavetest::WavImage(1, 1, 22050, 16, std::vector<uint8_t>(441000));
    ASSERT_TRUE(ReadWaveHeader(mono.data(), mono.size(), &f, &seconds));
    EXPECT_EQ(seconds, 10u);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.cbSize, 0);

    auto stereo = wavetest::WavImage(1, 2, 44100, 16, std::vector<uint8_t>(882100));
    ASSERT_TRUE(ReadWaveHeader(stereo.data(), stereo.size(), &f, &seconds));
    EXPECT_EQ(seconds, 5u);  // 5.0006 s rounds down

    auto empty = wavetest::WavImage(1, 1, 22050, 16, {});
    ASSERT_TRUE(ReadWaveHeader(empty.data(), empty.size(), &f, &seconds));
    EXPECT_EQ(seconds, 0u);
}

TEST(ReadWaveHeader, LargeFilesDoNotOverflowTheLength) {
    // Only the 44 header bytes are read; the size says the data runs on for 600 MB, whose bit
    // count does not fit 32 bits.
    auto image = wavetest::WavImage(1, 1, 8000, 8, {});
    WAVEFORMATEX f;
    DWORD seconds;
    ASSERT_TRUE(ReadWaveHeader(image.data(), 44 + 600000000u, &f, &seconds));
    EXPECT_EQ(seconds, 75000u);
}

TEST(ReadWaveHeader, RefusesWhatCannotGiveALength) {
    WAVEFORMATEX f;
    DWORD seconds = 99;
    auto image = wavetest::WavImage(1, 1, 22050, 16, std::vector<uint8_t>(100));
    EXPECT_FALSE(ReadWaveHeader(image.data(), 43, &f, &seconds));
    EXPECT_EQ(seconds, 0u);
    EXPECT_FALSE(ReadWaveHeader(nullptr, 0, &f, &seconds));
    for (size_t at : {22u, 24u, 32u, 34u}) {  // channels, rate, block align, bits
        auto zeroed = image;
        std::fill(zeroed.begin() + at, zeroed.begin() + at + (at == 24 ? 4 : 2), 0);
        seconds = 99;
        EXPECT_FALSE(ReadWaveHeader(zeroed.data(), zeroed.size(), &f, &seconds)) << at;
        EXPECT_EQ(seconds, 0u);
        EXPECT_EQ(f.nSamplesPerSec, 0u);
    }
}

TEST_F(WaveReaderTest, MissingShortAndZeroFormatFilesGiveInertPlayers) {
    wavetest::NullAudio audio;
    std::vector<std::wstring> paths = {
        wavetest::Wide(dir_ + "/missing.wav"),
        Save("empty.wav", {}),
        Save("short.wav", std::vector<uint8_t>(43, 1)),
        Save("zero-rate.wav", wavetest::WavImage(1, 1, 0, 16, wavetest::Level16(100, 1000))),
        Save("zero-bits.wav", wavetest::WavImage(1, 1, 22050, 0, wavetest::Level16(100, 1000))),
        Save("zero-channels.wav",
             wavetest::WavImage(1, 0, 22050, 16, wavetest::Level16(100, 1000))),
        Save("zero-align.wav",
             wavetest::WavImage(1, 1, 22050, 16, wavetest::Level16(100, 1000), 0)),
    };
    for (const std::wstring& path : paths) {
        Inspect player(path.c_str());
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_FALSE(player.IsPlayable());
        EXPECT_EQ(player.Data(), nullptr);
        EXPECT_EQ(player.Device(), nullptr);
        EXPECT_EQ(player.GetLengthSeconds(), 0u);
        ASSERT_NE(player.Header(), nullptr);  // every player has one
        EXPECT_EQ(player.Header()->dwFlags, 0u);
        EXPECT_FALSE(player.Play());
        EXPECT_FALSE(player.Stop());
        EXPECT_FALSE(player.SetVolume(50));
    }
    audio.Run(100);
    EXPECT_EQ(wavetest::SoundingFrames(audio.Captured()), 0u);
}

TEST_F(WaveReaderTest, FormatsThePlatformRefusesGiveInertPlayers) {
    wavetest::NullAudio audio;
    std::vector<std::vector<uint8_t>> files = {
        wavetest::WavImage(1, 3, 22050, 16, wavetest::Level16(300, 1000)),    // three channels
        wavetest::WavImage(1, 1, 1000000, 16, wavetest::Level16(300, 1000)),  // 1 MHz
        wavetest::WavImage(2, 1, 22050, 4, wavetest::Level16(300, 1000)),     // ADPCM
        wavetest::WavImage(1, 65535, 0xFFFFFFFFu, 65535, wavetest::Level16(300, 1000)),
    };
    int i = 0;
    for (const auto& bytes : files) {
        std::wstring path = Save("refused" + std::to_string(i++) + ".wav", bytes);
        Inspect player(path.c_str());
        EXPECT_FALSE(player.IsPlayable()) << i;
        EXPECT_EQ(player.Device(), nullptr) << i;
        EXPECT_FALSE(player.Play()) << i;
        EXPECT_FALSE(player.SetVolume(10)) << i;
    }
    audio.Run(50);
    EXPECT_EQ(wavetest::SoundingFrames(audio.Captured()), 0u);
}

TEST_F(WaveReaderTest, TheWholeFileIsHeldAndItsDataStartsAtByte44) {
    wavetest::NullAudio audio;
    auto bytes = wavetest::WavImage(1, 1, 22050, 16, std::vector<uint8_t>(441000));
    std::wstring path = Save("ten.wav", bytes);
    Inspect player(path.c_str());
    EXPECT_TRUE(player.IsPlayable());
    EXPECT_EQ(player.GetLengthSeconds(), 10u);
    EXPECT_EQ(player.FileSize(), bytes.size());
    ASSERT_NE(player.Data(), nullptr);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), player.Data()));
    EXPECT_EQ(reinterpret_cast<const BYTE*>(player.Header()->lpData), player.Data() + 44);
    EXPECT_EQ(player.Header()->dwBufferLength, 441000u);
    EXPECT_EQ(player.Header()->dwUser, 0u);
    EXPECT_EQ(player.Header()->dwFlags, static_cast<DWORD>(WHDR_PREPARED));
}

TEST_F(WaveReaderTest, A44ByteFileHasNothingToPlayButPlays) {
    wavetest::NullAudio audio;
    std::wstring path = Save("empty-data.wav", wavetest::WavImage(1, 1, 22050, 16, {}));
    Inspect player(path.c_str());
    EXPECT_EQ(player.GetLengthSeconds(), 0u);
    EXPECT_EQ(player.Header()->dwBufferLength, 0u);
    EXPECT_TRUE(player.Play());
    audio.Run(50);
    EXPECT_EQ(wavetest::SoundingFrames(audio.Captured()), 0u);
    EXPECT_TRUE(player.Header()->dwFlags & WHDR_DONE);
    EXPECT_TRUE(player.Stop());
}

TEST_F(WaveReaderTest, GarbageTagsWithAValidFormatPlay) {
    wavetest::NullAudio audio;
    auto bytes = wavetest::WavImage(1, 1, 48000, 16, wavetest::Level16(4800, 16384));
    for (size_t i = 0; i < 20; ++i) {
        bytes[i] = static_cast<uint8_t>(0xA5 ^ i);
    }
    for (size_t i = 36; i < 44; ++i) {
        bytes[i] = static_cast<uint8_t>(0x5A ^ i);
    }
    std::wstring path = Save("garbage.wav", bytes);
    WavePlayer player(path.c_str());
    const size_t at = audio.FramesCaptured();
    ASSERT_TRUE(player.Play());
    audio.Run(200);
    auto out = audio.Captured();
    EXPECT_EQ(wavetest::SoundingFrames(out, at), 4800u);
    EXPECT_FLOAT_EQ(out[2 * (at + 100)], 0.5f);
}

TEST_F(WaveReaderTest, AChunkAfterTheDataIsPlayedAsSound) {
    wavetest::NullAudio audio;
    auto bytes = wavetest::WavImage(1, 1, 48000, 16, wavetest::Level16(1000, 8192));
    const uint8_t list[24] = {'L', 'I', 'S', 'T', 16, 0, 0, 0, 'I', 'N', 'F', 'O',
                              'I', 'S', 'F', 'T', 4,  0, 0, 0, 'a', 'b', 'c', '!'};
    bytes.insert(bytes.end(), list, list + 24);
    std::wstring path = Save("list.wav", bytes);
    WavePlayer player(path.c_str());
    const size_t at = audio.FramesCaptured();
    ASSERT_TRUE(player.Play());
    audio.Run(100);
    auto out = audio.Captured();
    // 1000 frames of sound, then the chunk's 24 bytes as 12 more frames, then silence.
    EXPECT_FLOAT_EQ(out[2 * (at + 999)], 0.25f);
    EXPECT_FLOAT_EQ(out[2 * (at + 1000)], static_cast<int16_t>('L' | 'I' << 8) / 32768.0f);
    EXPECT_FLOAT_EQ(out[2 * (at + 1011)], static_cast<int16_t>('c' | '!' << 8) / 32768.0f);
    EXPECT_EQ(wavetest::SoundingFrames(out, at + 1012), 0u);
}

TEST_F(WaveReaderTest, ATruncatedDataChunkPlaysWhatThereIs) {
    wavetest::NullAudio audio;
    auto bytes = wavetest::WavImage(1, 2, 48000, 16, wavetest::S16(std::vector<int>(2001, 4096)));
    // The header promises 4002 bytes; there are 4002, the last frame is half there.
    std::wstring path = Save("odd.wav", bytes);
    WavePlayer player(path.c_str());
    const size_t at = audio.FramesCaptured();
    ASSERT_TRUE(player.Play());
    audio.Run(100);
    EXPECT_EQ(wavetest::SoundingFrames(audio.Captured(), at), 1000u);
}

}  // namespace
