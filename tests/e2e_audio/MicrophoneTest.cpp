// The window's microphone on a real sound server: PulseAudio's sine source as the default input
// is recorded through waveIn at its pitch; a system without capture says why.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

#include "platform/kernel/Clock.h"
#include "platform/wave/Microphone.h"
#include "support/Spectrum.h"
#include "support/WaveTestFiles.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSineHz = 660;

WAVEFORMATEX Mono16() {
    return wavetest::Pcm16(1, kRate);
}

std::string ErrorText(MMRESULT code) {
    wchar_t text[MAXERRORLENGTH];
    EXPECT_EQ(waveInGetErrorTextW(code, text, MAXERRORLENGTH), MMSYSERR_NOERROR);
    return std::string(text, text + std::wcslen(text));
}

class ServerMicrophone : public ::testing::Test {
protected:
    void SetUp() override {
        // A server of this test's own, whose default input may be changed without disturbing
        // anyone else's.
        setenv("PULSE_RUNTIME_PATH", wavetest::TempDir().c_str(), 1);
        const std::string script = std::string(PULSOR_SOURCE_DIR) + "/scripts/start-pulseaudio.sh";
        if (std::system((script + " pulsor_mic >/dev/null 2>&1").c_str()) != 0) {
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        serverStarted_ = true;
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        platform::Clock::Instance().SetVirtual(false);
        platform::wave::UseSdlMicrophone();
    }
    void TearDown() override {
        platform::wave::UseNoMicrophone();
        unsetenv("SDL_AUDIODRIVER");
        if (serverStarted_) {
            EXPECT_EQ(std::system("pulseaudio --kill >/dev/null 2>&1"), 0);
        }
        unsetenv("PULSE_RUNTIME_PATH");
    }
    bool serverStarted_ = false;
};

TEST_F(ServerMicrophone, RecordsTheDefaultInputAtItsPitch) {
    ASSERT_EQ(std::system(("pactl load-module module-sine-source source_name=pulsor_sine rate=" +
                           std::to_string(kRate) + " frequency=" + std::to_string(kSineHz) +
                           " >/dev/null && pactl set-default-source pulsor_sine")
                              .c_str()),
              0);
    EXPECT_EQ(waveInGetNumDevs(), 1u);
    const WAVEFORMATEX format = Mono16();
    HWAVEIN in = nullptr;
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    constexpr int kBuffers = 4;
    std::vector<std::vector<char>> memory(kBuffers, std::vector<char>(kRate / 10 * 2));
    WAVEHDR headers[kBuffers]{};
    for (int i = 0; i < kBuffers; ++i) {
        headers[i].lpData = memory[i].data();
        headers[i].dwBufferLength = static_cast<DWORD>(memory[i].size());
        ASSERT_EQ(waveInPrepareHeader(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(in, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(__atomic_load_n(&headers[kBuffers - 1].dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE) &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
    // The last buffers, once the stream has surely started.
    std::vector<float> samples;
    for (int i = 1; i < kBuffers; ++i) {
        ASSERT_EQ(headers[i].dwBytesRecorded, memory[i].size()) << "buffer " << i;
        const auto* s = reinterpret_cast<const int16_t*>(headers[i].lpData);
        for (size_t k = 0; k < headers[i].dwBytesRecorded / 2; ++k) {
            samples.push_back(s[k] / 32768.0f);
        }
    }
    EXPECT_GT(spectrum::ToneDb(samples, kSineHz, kRate), -30.0);
    EXPECT_LT(spectrum::ToneDb(samples, kSineHz * 1.5, kRate),
              spectrum::ToneDb(samples, kSineHz, kRate) - 40.0);
    for (WAVEHDR& header : headers) {
        EXPECT_EQ(waveInUnprepareHeader(in, &header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

// No sound server to capture from: no device, and the reason in words.
TEST_F(ServerMicrophone, WithoutAServerSaysWhy) {
    setenv("PULSE_SERVER", "unix:/nonexistent/pulsor-test/native", 1);
    const WAVEFORMATEX format = Mono16();
    HWAVEIN in = nullptr;
    const MMRESULT code = waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    unsetenv("PULSE_SERVER");
    EXPECT_EQ(code, MMSYSERR_NODRIVER);
    EXPECT_EQ(in, nullptr);
    const std::string text = ErrorText(code);
    EXPECT_TRUE(text.rfind("no sound system: ", 0) == 0 ||
                text.rfind("the sound server refused capture: ", 0) == 0)
        << text;
}

}  // namespace
