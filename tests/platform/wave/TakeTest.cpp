// The take the null output records: a canonical WAV file while a RIFF header can count it, RF64
// past that with every frame in its place. The limit is lowered here (the real one is 4 GiB, over
// six hours); the switch is the one such a take goes through.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "platform/wave/Audio.h"
#include "platform/wave/WavWriter.h"
#include "support/WaveTestFiles.h"

namespace {

// A sine played for `ms` of device time on the null output, recorded to `path`: what was mixed.
std::vector<float> RecordASine(const std::string& path, unsigned ms, bool whole) {
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
    EXPECT_EQ(platform::wave::StopAudio(), whole);
    return audio.Captured();
}

TEST(Take, PastWhatARiffHeaderCountsATakeContinuesAsRf64) {
    struct Case {
        const char* name;
        uint64_t riffLimit;
        unsigned ms;
        rlim_t fileSizeLimit;  // as a full disk would, 0: none
        int container;
        size_t keptFrames;  // 0: all
        bool whole;
    };
    const Case cases[] = {
        {"short of the limit", 1 << 20, 3000, 0, SF_FORMAT_WAV, 0, true},
        {"past it", 1 << 16, 3000, 0, SF_FORMAT_RF64, 0, true},
        // 2.5 MiB already written move up in steps while the take goes on.
        {"long past it", 5 << 19, 20000, 0, SF_FORMAT_RF64, 0, true},
        // No room for the longer header after the first second: that second is the take.
        {"past it on a full disk", 300000, 3000, 44 + 4 * 48000, SF_FORMAT_WAV, 48000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = wavetest::TempDir() + "/take.wav";
        platform::wave::SetRiffLimitForTests(c.riffLimit);
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const auto xfsz = signal(SIGXFSZ, SIG_IGN);
        if (c.fileSizeLimit) {
            const rlimit limit = {c.fileSizeLimit, unlimited.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        testing::internal::CaptureStderr();
        const std::vector<float> mixed = RecordASine(path, c.ms, c.whole);
        const std::string said = testing::internal::GetCapturedStderr();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        signal(SIGXFSZ, xfsz);
        platform::wave::SetRiffLimitForTests(0);

        ASSERT_GE(mixed.size(), 2u * 48 * c.ms);
        const std::vector<float> kept(
            mixed.begin(), c.keptFrames ? mixed.begin() + 2 * c.keptFrames : mixed.end());
        const wavetest::Take take = wavetest::ReadTake(path);
        EXPECT_EQ(take.container, c.container);
        EXPECT_TRUE(take.samples == wavetest::Quantized(kept));
        const std::vector<uint8_t> file = wavetest::ReadFile(path);
        if (c.container == SF_FORMAT_WAV) {
            // The header a canonical file has, to the byte.
            const auto canonical =
                wavetest::WavImage(1, 2, 48000, 16, std::vector<uint8_t>(kept.size() * 2));
            ASSERT_EQ(file.size(), canonical.size());
            EXPECT_TRUE(std::equal(file.begin(), file.begin() + 44, canonical.begin()));
        } else {
            EXPECT_EQ(file.size(), 80 + kept.size() * 2);
        }
        EXPECT_EQ(said, c.whole ? ""
                                : "pulsor: cannot write " + path +
                                      ": File too large; the take keeps its first 1.00 s, "
                                      "no more\n");
    }
}

}  // namespace
