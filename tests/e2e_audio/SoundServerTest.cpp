// A word played through waveOut and SDL audio into a real sound server (PulseAudio with a null
// sink), recorded from the sink's monitor and found again in the recording.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"

#include "audio/WavePlayer.h"
#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Output.h"
#include "support/SinkRecording.h"
#include "support/WaveTestFiles.h"

namespace {

constexpr const char* kSink = "pulsor_e2e";

struct Span {
    double start = -1;  // seconds
    double end = -1;
    double rms = 0;   // over the loud windows
    double loud = 0;  // seconds of loud windows
};

// Where the sound is louder than -40 dBFS, in 10 ms windows, from 16-bit interleaved samples.
Span FindSound(const std::vector<int16_t>& samples, int channels, int rate) {
    const size_t window = static_cast<size_t>(rate / 100) * channels;
    Span span;
    double sum = 0;
    size_t loudWindows = 0;
    for (size_t at = 0; at + window <= samples.size(); at += window) {
        double energy = 0;
        for (size_t i = at; i < at + window; ++i) {
            energy += (samples[i] / 32768.0) * (samples[i] / 32768.0);
        }
        const double rms = std::sqrt(energy / window);
        if (rms > 0.01) {
            const double t = static_cast<double>(at / channels) / rate;
            if (span.start < 0) {
                span.start = t;
            }
            span.end = t + 0.01;
            sum += rms * rms;
            ++loudWindows;
        }
    }
    span.rms = loudWindows ? std::sqrt(sum / loudWindows) : 0;
    span.loud = loudWindows * 0.01;
    return span;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from) {
    std::vector<int16_t> out;
    for (size_t i = from; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return out;
}

bool StartServer() {
    const std::string script = std::string(PULSOR_SOURCE_DIR) + "/scripts/start-pulseaudio.sh";
    return std::system((script + " " + kSink + " >/dev/null 2>&1").c_str()) == 0;
}

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        // A server of this test's own: nothing else plays into its sink, and stopping it
        // disturbs no one else.
        runtimeDir_ = wavetest::TempDir();
        setenv("PULSE_RUNTIME_PATH", runtimeDir_.c_str(), 1);
        if (!StartServer()) {
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        serverStarted_ = true;
        setenv("PULSE_SINK", kSink, 1);  // SDL's stream goes to the null sink
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);

        auto wordBytes = wavetest::ReadFile(word_);
        ASSERT_GT(wordBytes.size(), 44u) << word_;
        const int channels = wordBytes[22];
        const int rate = wordBytes[24] | wordBytes[25] << 8 | wordBytes[26] << 16;
        ASSERT_EQ(wordBytes[34], 16) << "the test reads 16-bit words";
        source_ = FindSound(Samples(wordBytes, 44), channels, rate);
        ASSERT_GT(source_.end, source_.start);

        platform::Clock::Instance().SetVirtual(false);
        platform::DeviceOptions options;
        std::string error;
        ASSERT_TRUE(platform::wave::StartAudio(options, &error)) << error;
        started_ = true;
        if (std::string(platform::wave::ActiveOutputName()) != "sdl") {
            GTEST_SKIP() << "SDL audio could not reach the server";
        }
    }
    void TearDown() override {
        if (started_) {
            platform::wave::StopAudio();
        }
        if (serverStarted_) {
            EXPECT_EQ(std::system("pulseaudio --kill >/dev/null 2>&1"), 0);
        }
        unsetenv("PULSE_RUNTIME_PATH");
    }

    // Plays the word while recording the sink, and checks that the recording holds it.
    void PlayWordAndFindIt() {
        const std::string recording = wavetest::TempDir() + "/monitor.raw";
        const pid_t recorder = RecordSink(kSink, recording);
        ASSERT_GT(recorder, 0);
        // The sink delivers to its monitor in bursts; wait until some silence has been recorded.
        auto recordedBytes = [&] { return wavetest::ReadFile(recording).size(); };
        for (int i = 0; i < 100 && recordedBytes() < 48000 * 4 / 5; ++i) {
            clock_.SleepFor(50 * platform::kNsPerMs);
        }
        const size_t bytesBefore = recordedBytes();
        {
            std::wstring path(word_.begin(), word_.end());
            WavePlayer player(path.c_str());
            EXPECT_TRUE(player.IsPlayable());
            EXPECT_TRUE(player.SetVolume(100));
            EXPECT_TRUE(player.Play());
            // Until the recording reaches well past the word's end.
            const size_t wanted =
                bytesBefore + static_cast<size_t>((source_.end + 0.5) * 48000) * 4;
            for (int i = 0; i < 200 && recordedBytes() < wanted; ++i) {
                clock_.SleepFor(50 * platform::kNsPerMs);
            }
        }
        spawn::Stop(recorder);
        ASSERT_GT(bytesBefore, 0u) << "the recorder gets nothing from the sink's monitor";

        auto recorded = wavetest::ReadFile(recording);
        const Span heard = FindSound(Samples(recorded, 0), 2, 48000);
        ASSERT_GE(heard.start, 0) << "nothing was heard";
        // Silence until the word was played: it is the word, not noise.
        EXPECT_GE(heard.start, static_cast<double>(bytesBefore / 4) / 48000 - 0.02);
        // As much sound as the word has, within a few windows. A loaded machine may let the
        // stream run dry for a moment, which spreads the word out but loses nothing.
        EXPECT_NEAR(heard.loud, source_.loud, 0.04);
        EXPECT_GE(heard.end - heard.start, source_.end - source_.start - 0.03);
        EXPECT_LE(heard.end - heard.start, source_.end - source_.start + 0.3);
        // At the word's own level (the sink's volume is 100 %).
        EXPECT_NEAR(20 * std::log10(heard.rms / source_.rms), 0.0, 1.5);
    }

    const std::string word_ = std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/L1.wav";
    Span source_;
    bool started_ = false;
    bool serverStarted_ = false;
    std::string runtimeDir_;
    platform::Clock& clock_ = platform::Clock::Instance();
};

TEST_F(SoundServer, AWordPlayedThroughSdlAudioIsHeardAtItsLevelAndLength) {
    PlayWordAndFindIt();
}

// After a few quiet seconds the output holds SDL's audio thread still; the next word wakes it
// and is heard whole, from its first syllable.
TEST_F(SoundServer, AWordAfterTheOutputHasGoneQuietIsHeardWhole) {
    clock_.SleepFor(3000 * platform::kNsPerMs);
    PlayWordAndFindIt();
}

TEST_F(SoundServer, PlayingGoesOnWhenTheServerGoesAwayAndTheOutputComesBackWithIt) {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    HWAVEOUT stream = nullptr;
    ASSERT_EQ(waveOutOpen(&stream, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    auto tone = wavetest::Sine16(22050 * 3 / 2, 440, 22050, 0.3);  // 1.5 s
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(tone.data());
    header.dwBufferLength = static_cast<DWORD>(tone.size());
    ASSERT_EQ(waveOutPrepareHeader(stream, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(stream, &header, sizeof header), MMSYSERR_NOERROR);
    clock_.SleepFor(300 * platform::kNsPerMs);

    ASSERT_EQ(std::system("pulseaudio --kill >/dev/null 2>&1"), 0);
    // The mixer goes on without a device: the tone plays out and comes back done.
    for (int i = 0; i < 100 && !(__atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE);
         ++i) {
        clock_.SleepFor(50 * platform::kNsPerMs);
    }
    EXPECT_TRUE(__atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE);
    EXPECT_EQ(waveOutUnprepareHeader(stream, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);

    serverStarted_ = false;
    ASSERT_TRUE(StartServer());
    serverStarted_ = true;
    clock_.SleepFor(1000 * platform::kNsPerMs);  // the output looks for a device every 250 ms
    PlayWordAndFindIt();
}

}  // namespace
