// waveOut as a program sees it, on the null output in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Output.h"
#include "support/WaveTestFiles.h"

namespace {

using wavetest::Pcm16;

struct Event {
    UINT message;
    DWORD_PTR instance;
    WAVEHDR* header;
    DWORD flagsSeen;
    platform::TimeNs at;
};

std::mutex gEventsMutex;
std::vector<Event> gEvents;

void CALLBACK Record(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    std::lock_guard<std::mutex> lock(gEventsMutex);
    gEvents.push_back({message, instance, header,
                       header ? __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE) : 0,
                       platform::Clock::Instance().Now()});
}

std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(gEventsMutex);
    return gEvents;
}

int Count(UINT message) {
    int n = 0;
    for (const Event& e : Events()) {
        n += e.message == message;
    }
    return n;
}

DWORD Flags(const WAVEHDR& h) {
    return __atomic_load_n(&h.dwFlags, __ATOMIC_ACQUIRE);
}

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> lock(gEventsMutex);
        gEvents.clear();
    }

    HWAVEOUT Open(const WAVEFORMATEX& format, DWORD_PTR instance = 42) {
        HWAVEOUT h = nullptr;
        EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(Record),
                              instance, CALLBACK_FUNCTION),
                  MMSYSERR_NOERROR);
        return h;
    }
    static WAVEHDR Header(std::vector<uint8_t>& data) {
        WAVEHDR h{};
        h.lpData = reinterpret_cast<LPSTR>(data.data());
        h.dwBufferLength = static_cast<DWORD>(data.size());
        return h;
    }
};

TEST_F(WaveOutTest, WithoutAnOutputThereIsNoDevice) {
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    HWAVEOUT h = nullptr;
    WAVEFORMATEX f = Pcm16(1, 22050);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
    EXPECT_EQ(h, nullptr);

    platform::DeviceOptions options;
    options.headless = true;
    options.noAudio = true;
    std::string error;
    EXPECT_TRUE(platform::wave::StartAudio(options, &error));
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    platform::wave::StopAudio();
}

TEST_F(WaveOutTest, OpenChecksFormatDeviceAndFlags) {
    wavetest::NullAudio audio;
    ASSERT_TRUE(audio.Started()) << audio.Error();
    EXPECT_EQ(waveOutGetNumDevs(), 1u);

    HWAVEOUT h = nullptr;
    WAVEFORMATEX bad = Pcm16(3, 22050);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &bad, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    WAVEFORMATEX good = Pcm16(2, 44100);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &good, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(&h, 5, &good, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, nullptr, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &good, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALFLAG);

    h = Open(good, 7);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_INVALHANDLE);
    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, WOM_OPEN);
    EXPECT_EQ(events[0].instance, 7u);
    EXPECT_EQ(events[1].message, WOM_CLOSE);
    EXPECT_EQ(events[1].header, nullptr);
}

TEST_F(WaveOutTest, AWrittenBufferIsHeardInTheNextPeriodAndComesBackDoneOnce) {
    wavetest::NullAudio audio(256);
    HWAVEOUT h = Open(Pcm16(1, 48000));
    auto data = wavetest::Level16(1000, 16384);
    WAVEHDR header = Header(data);

    EXPECT_EQ(waveOutWrite(h, &header, sizeof header), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(Flags(header), static_cast<DWORD>(WHDR_PREPARED));

    audio.Run(20);
    const size_t before = audio.FramesCaptured();
    ASSERT_EQ(waveOutWrite(h, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(Flags(header), static_cast<DWORD>(WHDR_PREPARED | WHDR_INQUEUE));
    EXPECT_EQ(waveOutWrite(h, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);

    audio.Run(100);
    auto out = audio.Captured();
    EXPECT_EQ(wavetest::FirstSound(out, before), static_cast<long>(before));
    EXPECT_EQ(wavetest::SoundingFrames(out, before), 1000u);
    EXPECT_FLOAT_EQ(out[2 * (before + 500)], 0.5f);

    EXPECT_EQ(Flags(header), static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));
    ASSERT_EQ(Count(WOM_DONE), 1);
    for (const Event& e : Events()) {
        if (e.message == WOM_DONE) {
            EXPECT_EQ(e.header, &header);
            EXPECT_EQ(e.instance, 42u);
            EXPECT_TRUE(e.flagsSeen & WHDR_DONE);  // marked done before the callback runs
        }
    }
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(Flags(header), static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, AStreamAtAnotherRateIsConvertedWhenPreparedAndAgainWhenItsDataChanges) {
    wavetest::NullAudio audio(256);
    HWAVEOUT h = Open(Pcm16(1, 22050));
    auto tone = wavetest::Sine16(22050, 441.0, 22050, 0.5);  // one second
    auto level = wavetest::Level16(11025, 8192);             // half a second
    WAVEHDR header = Header(tone);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    // Preparing again is harmless, as on Win32.
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    struct Play {
        std::vector<uint8_t>* data;
        size_t frames;  // at 48 kHz
    };
    for (const Play& play : {Play{&tone, 48000}, Play{&level, 24000}, Play{&tone, 48000}}) {
        header.lpData = reinterpret_cast<LPSTR>(play.data->data());
        header.dwBufferLength = static_cast<DWORD>(play.data->size());
        const size_t before = audio.FramesCaptured();
        ASSERT_EQ(waveOutWrite(h, &header, sizeof header), MMSYSERR_NOERROR);
        audio.Run(1200);
        auto out = audio.Captured();
        const long first = wavetest::FirstSound(out, before);
        ASSERT_GE(first, 0);
        std::vector<float> left;
        for (size_t i = static_cast<size_t>(first); i < out.size() / 2; ++i) {
            left.push_back(out[2 * i]);
        }
        // Its whole length at the device rate, give or take the converter's ringing.
        EXPECT_NEAR(static_cast<double>(wavetest::SoundingFrames(out, before)),
                    static_cast<double>(play.frames), 400.0);
        if (play.data == &tone) {
            int crossings = 0;
            for (size_t i = 1; i < 48000; ++i) {
                crossings += (left[i - 1] < 0) != (left[i] < 0);
            }
            EXPECT_NEAR(crossings / 2.0, 441.0, 2.0);  // its pitch
        } else {
            EXPECT_NEAR(left[12000], 0.25f, 1e-3f);
        }
    }
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, ResetReturnsTheBufferAtOnceAndSilencesFromTheNextPeriod) {
    wavetest::NullAudio audio(256);
    HWAVEOUT h = Open(Pcm16(1, 48000));
    auto data = wavetest::Level16(48000, 16384);
    WAVEHDR header = Header(data);
    waveOutPrepareHeader(h, &header, sizeof header);
    waveOutWrite(h, &header, sizeof header);
    audio.Run(50);
    ASSERT_GT(wavetest::SoundingFrames(audio.Captured()), 2000u);

    ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    // Done on return; the notice follows on the notifier.
    EXPECT_EQ(Flags(header), static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));
    const size_t at = audio.FramesCaptured();
    audio.Run(1200);
    auto out = audio.Captured();
    EXPECT_EQ(wavetest::SoundingFrames(out, at), 0u);
    // One notice for the write, none more when the cut sound would have ended.
    EXPECT_EQ(Count(WOM_DONE), 1);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(Count(WOM_DONE), 1);
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, AWriteRightAfterAResetStartsFromTheFirstSample) {
    wavetest::NullAudio audio(128);
    HWAVEOUT h = Open(Pcm16(1, 48000));
    std::vector<int> ramp(20000);
    for (int i = 0; i < 20000; ++i) {
        ramp[i] = 100 + i;
    }
    auto data = wavetest::S16(ramp);
    WAVEHDR header = Header(data);
    waveOutPrepareHeader(h, &header, sizeof header);
    waveOutWrite(h, &header, sizeof header);
    audio.Run(30);
    waveOutReset(h);
    const size_t at = audio.FramesCaptured();
    waveOutWrite(h, &header, sizeof header);
    audio.Run(10);
    auto out = audio.Captured();
    EXPECT_FLOAT_EQ(out[2 * at], 100 / 32768.0f);
    EXPECT_FLOAT_EQ(out[2 * (at + 1)], 101 / 32768.0f);
    audio.Run(1000);
    EXPECT_EQ(Count(WOM_DONE), 2);  // the cut play and the full one
    waveOutUnprepareHeader(h, &header, sizeof header);
    waveOutClose(h);
}

TEST_F(WaveOutTest, VolumeIsPerVoice) {
    wavetest::NullAudio audio;
    HWAVEOUT a = Open(Pcm16(1, 48000));
    HWAVEOUT b = Open(Pcm16(1, 48000));
    DWORD volume = 0;
    EXPECT_EQ(waveOutGetVolume(a, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFu);
    EXPECT_EQ(waveOutSetVolume(a, 0x4000), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutGetVolume(a, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0x4000u);
    EXPECT_EQ(waveOutGetVolume(a, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutSetVolume(nullptr, 0), MMSYSERR_INVALHANDLE);

    auto data = wavetest::Level16(4800, 32767);
    WAVEHDR ha = Header(data), hb = Header(data);
    waveOutPrepareHeader(a, &ha, sizeof ha);
    waveOutPrepareHeader(b, &hb, sizeof hb);
    waveOutSetVolume(b, 0);
    waveOutWrite(a, &ha, sizeof ha);
    waveOutWrite(b, &hb, sizeof hb);
    const size_t at = audio.FramesCaptured();
    audio.Run(50);
    auto out = audio.Captured();
    EXPECT_NEAR(out[2 * (at + 100)], (32767 / 32768.0) * (0x4000 / 65535.0), 1e-6);
    audio.Run(100);
    for (HWAVEOUT h : {a, b}) {
        waveOutClose(h);
    }
}

TEST_F(WaveOutTest, SixtyFourVoicesOpenAndPlayTogether) {
    wavetest::NullAudio audio;
    std::vector<HWAVEOUT> voices;
    std::vector<std::vector<uint8_t>> data;
    std::vector<WAVEHDR> headers(64);
    for (int i = 0; i < 64; ++i) {
        voices.push_back(Open(Pcm16(1, 22050)));
        ASSERT_NE(voices.back(), nullptr) << i;
        data.push_back(wavetest::Level16(2205, 100));
    }
    for (int i = 0; i < 64; ++i) {
        headers[i] = Header(data[i]);
        waveOutPrepareHeader(voices[i], &headers[i], sizeof(WAVEHDR));
        waveOutWrite(voices[i], &headers[i], sizeof(WAVEHDR));
    }
    const size_t at = audio.FramesCaptured();
    audio.Run(50);
    auto out = audio.Captured();
    EXPECT_NEAR(out[2 * (at + 1000)], 6400 / 32768.0, 1e-5);
    audio.Run(200);
    EXPECT_EQ(Count(WOM_DONE), 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(waveOutUnprepareHeader(voices[i], &headers[i], sizeof(WAVEHDR)),
                  MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutClose(voices[i]), MMSYSERR_NOERROR);
    }
}

TEST_F(WaveOutTest, StopAudioClosesWhatIsStillOpen) {
    auto data = wavetest::Level16(48000, 1000);
    WAVEHDR header = Header(data);
    HWAVEOUT h;
    {
        wavetest::NullAudio audio;
        h = Open(Pcm16(1, 48000));
        waveOutPrepareHeader(h, &header, sizeof header);
        waveOutWrite(h, &header, sizeof header);
        audio.Run(20);
    }
    EXPECT_EQ(Count(WOM_CLOSE), 1);
    EXPECT_EQ(Count(WOM_DONE), 1);
    EXPECT_TRUE(Flags(header) & WHDR_DONE);
    EXPECT_EQ(waveOutWrite(h, &header, sizeof header), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOutTest, TheRecordingHoldsWhatWasMixedAndIsReadableBeforeItCloses) {
    const std::string path = wavetest::TempDir() + "/mix.wav";
    {
        wavetest::NullAudio audio(256, path);
        ASSERT_TRUE(audio.Started()) << audio.Error();
        HWAVEOUT h = Open(Pcm16(1, 24000));
        auto data = wavetest::Level16(24000, 16384);  // one second at half level
        WAVEHDR header = Header(data);
        waveOutPrepareHeader(h, &header, sizeof header);
        waveOutWrite(h, &header, sizeof header);
        audio.Run(1500);
        // Sizes already brought up to date while running.
        auto partial = wavetest::ReadFile(path);
        ASSERT_GE(partial.size(), 44u);
        uint32_t dataBytes = partial[40] | partial[41] << 8 | partial[42] << 16 |
                             static_cast<uint32_t>(partial[43]) << 24;
        EXPECT_GE(dataBytes, 48000u * 4);
        EXPECT_LE(dataBytes, partial.size() - 44);
        audio.Run(500);
        waveOutReset(h);
        waveOutUnprepareHeader(h, &header, sizeof header);
        waveOutClose(h);
    }
    auto file = wavetest::ReadFile(path);
    ASSERT_GT(file.size(), 44u);
    auto expectHeader = wavetest::WavImage(1, 2, 48000, 16, {});
    EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + 36, expectHeader.begin() + 8));
    const uint32_t dataBytes =
        file[40] | file[41] << 8 | file[42] << 16 | static_cast<uint32_t>(file[43]) << 24;
    EXPECT_EQ(dataBytes, file.size() - 44);
    EXPECT_EQ(dataBytes % 4, 0u);
    // About two seconds, of which one second at half level in both channels (the converter's
    // edges ring for a few milliseconds where the level steps up and down).
    size_t loud = 0;
    for (size_t i = 44; i + 4 <= file.size(); i += 4) {
        int16_t l = static_cast<int16_t>(file[i] | file[i + 1] << 8);
        int16_t r = static_cast<int16_t>(file[i + 2] | file[i + 3] << 8);
        loud += std::abs(l - 16384) <= 2 && l == r;
    }
    EXPECT_NEAR(static_cast<double>(loud), 48000.0, 300.0);
}

// Words after pauses short and long, some long enough for an idle output to have gone to sleep,
// with the output sleeping while quiet and without: the same sound, frame for frame, in the
// recording and in what was rendered, each word starting within a period of its write, and every
// buffer back at the same device time. Without a recording or a tap the sleeping output skips the
// silent periods instead of handing them over, still keeping the period grid.
TEST_F(WaveOutTest, AnOutputThatSleepsWhileQuietSoundsAndRecordsExactlyAsOneThatDoesNot) {
    struct Take {
        std::vector<float> frames;
        std::vector<uint8_t> file;
        std::vector<long> late;  // frames from each write to its first sound
        std::vector<platform::TimeNs> done;
    };
    auto play = [this](bool idles, bool keep) {
        const std::string path = keep ? wavetest::TempDir() + "/take.wav" : std::string();
        platform::wave::SetNullOutputIdlesInVirtualTime(idles);
        {
            std::lock_guard<std::mutex> lock(gEventsMutex);
            gEvents.clear();
        }
        Take take;
        {
            wavetest::NullAudio audio(256, path, true, keep);
            EXPECT_TRUE(audio.Started()) << audio.Error();
            HWAVEOUT h = Open(Pcm16(1, 22050));
            auto data = wavetest::Level16(441, 12000);  // 20 ms
            WAVEHDR header = Header(data);
            waveOutPrepareHeader(h, &header, sizeof header);
            for (unsigned pause : {40u, 2600u, 150u, 3001u, 45u, 10007u, 2003u}) {
                audio.Run(pause);
                const size_t at = platform::Clock::Instance().Now() * 48 / platform::kNsPerMs;
                waveOutWrite(h, &header, sizeof header);
                audio.Run(30);
                take.late.push_back(wavetest::FirstSound(audio.Captured(), at) -
                                    static_cast<long>(at));
            }
            audio.Run(2500);  // closed while asleep
            waveOutUnprepareHeader(h, &header, sizeof header);
            waveOutClose(h);
            audio.Run(777);
            platform::wave::StopAudio();  // a sleeping output hands over its silence in steps
            take.frames = audio.Captured();
        }
        platform::wave::SetNullOutputIdlesInVirtualTime(false);
        if (keep) {
            take.file = wavetest::ReadFile(path);
        }
        for (const Event& e : Events()) {
            if (e.message == WOM_DONE) {
                take.done.push_back(e.at);
            }
        }
        return take;
    };
    const Take busy = play(false, true);
    const Take idle = play(true, true);
    const Take bare = play(true, false);
    EXPECT_EQ(idle.late, busy.late);
    for (long late : idle.late) {
        EXPECT_GE(late, 0);
        EXPECT_LT(late, 256);
    }
    ASSERT_EQ(busy.done.size(), 7u);
    EXPECT_EQ(idle.done, busy.done);
    EXPECT_EQ(bare.done, busy.done);
    ASSERT_GT(busy.frames.size(), 48000u * 20);
    EXPECT_TRUE(idle.frames == busy.frames);
    ASSERT_GT(busy.file.size(), 44u + 4 * 48000u * 20);
    EXPECT_TRUE(idle.file == busy.file);
}

TEST_F(WaveOutTest, WithoutSdlAudioTheNullOutputTakesOverWithOneWarning) {
    platform::Clock::Instance().SetVirtual(false);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    platform::DeviceOptions options;  // not headless: SDL audio first
    std::string error;
    testing::internal::CaptureStderr();
    const bool started = platform::wave::StartAudio(options, &error);
    const std::string warning = testing::internal::GetCapturedStderr();
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_TRUE(started) << error;
    EXPECT_STREQ(platform::wave::ActiveOutputName(), "null");
    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;

    // The null output keeps time on the wall clock: a buffer still plays out and comes back.
    HWAVEOUT h = Open(Pcm16(1, 48000));
    auto data = wavetest::Level16(480, 1000);  // 10 ms
    WAVEHDR header = Header(data);
    waveOutPrepareHeader(h, &header, sizeof header);
    waveOutWrite(h, &header, sizeof header);
    for (int i = 0; i < 200 && !(Flags(header) & WHDR_DONE); ++i) {
        platform::Clock::Instance().SleepFor(5 * platform::kNsPerMs);
    }
    EXPECT_TRUE(Flags(header) & WHDR_DONE);
    waveOutUnprepareHeader(h, &header, sizeof header);
    waveOutClose(h);
    platform::wave::StopAudio();
    EXPECT_EQ(platform::wave::ActiveOutputName(), nullptr);
}

}  // namespace
