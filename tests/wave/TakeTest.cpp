// The take the null output records: a canonical WAV file while a RIFF header can count it, RF64
// past that with every frame in its place. The limit is lowered here (the real one is 4 GiB, over
// six hours); the switch is the one such a take goes through.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/wave/Audio.h"
#include "platform/wave/WavWriter.h"
#include "support/WaveTestFiles.h"

namespace {

// A sine played for `ms` of device time on the null output, recorded to `path`: what was mixed.
std::vector<float> RecordASine(const std::string& path, unsigned ms) {
    wavetest::NullAudio audio(256, path);
    EXPECT_TRUE(audio.Started()) << audio.Error();
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<uint8_t> sine = wavetest::Sine16(static_cast<int>(48 * ms), 441, 48000, 0.5);
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(sine.data());
    header.dwBufferLength = static_cast<DWORD>(sine.size());
    waveOutPrepareHeader(h, &header, sizeof header);
    waveOutWrite(h, &header, sizeof header);
    audio.Run(ms);
    waveOutReset(h);
    waveOutUnprepareHeader(h, &header, sizeof header);
    waveOutClose(h);
    EXPECT_TRUE(platform::wave::StopAudio()) << "the take is not whole";
    return audio.Captured();
}

TEST(Take, PastWhatARiffHeaderCountsATakeContinuesAsRf64) {
    struct Case {
        const char* name;
        uint64_t riffLimit;
        unsigned ms;
        int container;
    };
    const Case cases[] = {
        {"short of the limit", 1 << 20, 3000, SF_FORMAT_WAV},
        {"past it", 1 << 16, 3000, SF_FORMAT_RF64},
        // 2.5 MiB already written move up in steps while the take goes on.
        {"long past it", 5 << 19, 20000, SF_FORMAT_RF64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = wavetest::TempDir() + "/take.wav";
        platform::wave::SetRiffLimitForTests(c.riffLimit);
        const std::vector<float> mixed = RecordASine(path, c.ms);
        platform::wave::SetRiffLimitForTests(0);

        ASSERT_GE(mixed.size(), 2u * 48 * c.ms);
        const wavetest::Take take = wavetest::ReadTake(path);
        EXPECT_EQ(take.container, c.container);
        EXPECT_TRUE(take.samples == wavetest::Quantized(mixed));
        const std::vector<uint8_t> file = wavetest::ReadFile(path);
        if (c.container == SF_FORMAT_WAV) {
            // The header a canonical file has, to the byte.
            const auto canonical =
                wavetest::WavImage(1, 2, 48000, 16, std::vector<uint8_t>(mixed.size() * 2));
            ASSERT_EQ(file.size(), canonical.size());
            EXPECT_TRUE(std::equal(file.begin(), file.begin() + 44, canonical.begin()));
        } else {
            EXPECT_EQ(file.size(), 80 + mixed.size() * 2);
        }
    }
}

}  // namespace
