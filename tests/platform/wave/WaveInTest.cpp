// The microphone headless: a sound file played on the device clock into the buffers a window
// gives, and what waveIn says when it cannot record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/wave/Microphone.h"
#include "support/Spectrum.h"
#include "support/TestWindow.h"
#include "support/WaveTestFiles.h"

namespace {

// Sample i of channel c of the test file: every value its own, so a frame out of place shows.
int Sample(int i, int c) {
    return (i * 7919 + c * 4099) % 20001 - 10000;
}

std::string WriteTestFile(int channels, DWORD rate, int frames) {
    std::vector<int> samples;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples.push_back(Sample(i, c));
        }
    }
    return wavetest::WriteFile(wavetest::TempDir() + "/mic.wav",
                               wavetest::WavImage(WAVE_FORMAT_PCM, static_cast<WORD>(channels),
                                                  rate, 16, wavetest::S16(samples)));
}

WAVEFORMATEX Pcm16(int channels, DWORD rate) {
    return wavetest::Pcm16(static_cast<WORD>(channels), rate);
}

struct Buffer {
    std::vector<char> bytes;
    WAVEHDR header{};
    explicit Buffer(size_t size) : bytes(size) {
        header.lpData = bytes.data();
        header.dwBufferLength = static_cast<DWORD>(size);
    }
    std::vector<int16_t> Samples() const {
        std::vector<int16_t> out(header.dwBytesRecorded / 2);
        std::memcpy(out.data(), bytes.data(), out.size() * 2);
        return out;
    }
};

// The MM_WIM_DATA messages a window got: which buffer, at what device time.
std::vector<std::pair<WAVEHDR*, DWORD>> DataMessages(const TestWindow& window) {
    std::vector<std::pair<WAVEHDR*, DWORD>> out;
    for (const auto& m : window.Messages(MM_WIM_DATA)) {
        out.emplace_back(reinterpret_cast<WAVEHDR*>(m.lParam), m.time);
    }
    return out;
}

class Microphone : public ::testing::Test {
protected:
    void TearDown() override { platform::wave::UseNoMicrophone(); }
};

// Same rate as the file: what the buffers hold is the file's own samples, its channels as asked
// (both sides of a mono file, a stereo one mixed), each buffer handed back when the file's frames
// for it have been played, then silence; every start plays from the file's start again.
TEST_F(Microphone, PlaysTheFileIntoTheBuffersOnTheDeviceClock) {
    struct Case {
        int fileChannels;
        int channels;
        DWORD rate;
    };
    const Case cases[] = {{1, 1, 16000}, {2, 2, 44100}, {2, 1, 8000}, {1, 2, 22050}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fileChannels) + " -> " + std::to_string(c.channels) + " at " +
                     std::to_string(c.rate));
        const int fileFrames = static_cast<int>(c.rate / 4);  // 250 ms
        std::string error;
        ASSERT_TRUE(platform::wave::UseMicrophoneFile(
            WriteTestFile(c.fileChannels, c.rate, fileFrames), &error))
            << error;
        auto expected = [&](int frame, int channel) {
            if (frame >= fileFrames) {
                return 0;
            }
            if (c.fileChannels == c.channels) {
                return Sample(frame, channel);
            }
            if (c.channels == 2) {
                return Sample(frame, 0);
            }
            return static_cast<int>(std::lround((Sample(frame, 0) + Sample(frame, 1)) / 2.0));
        };

        TestWindow window;
        EXPECT_EQ(waveInGetNumDevs(), 1u);
        const WAVEFORMATEX format = Pcm16(c.channels, c.rate);
        HWAVEIN in = nullptr;
        ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format,
                             reinterpret_cast<DWORD_PTR>(window.Handle()), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        const size_t frameBytes = format.nBlockAlign;
        const size_t bufferFrames = c.rate / 10;  // 100 ms
        std::vector<std::unique_ptr<Buffer>> buffers;
        for (int i = 0; i < 3; ++i) {
            buffers.push_back(std::make_unique<Buffer>(bufferFrames * frameBytes));
            ASSERT_EQ(waveInPrepareHeader(in, &buffers[i]->header, sizeof(WAVEHDR)),
                      MMSYSERR_NOERROR);
            ASSERT_EQ(waveInAddBuffer(in, &buffers[i]->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            EXPECT_TRUE(buffers[i]->header.dwFlags & WHDR_INQUEUE);
        }
        window.Pump(30);
        const DWORD start = GetTickCount();
        ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
        window.Pump(400);
        EXPECT_EQ(window.Count(MM_WIM_OPEN), 1);
        auto data = DataMessages(window);
        ASSERT_EQ(data.size(), 3u);
        for (size_t b = 0; b < 3; ++b) {
            EXPECT_EQ(data[b].first, &buffers[b]->header);
            EXPECT_EQ(data[b].second, start + 100 * (b + 1)) << "buffer " << b;
            const WAVEHDR& header = buffers[b]->header;
            EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
            ASSERT_EQ(header.dwBytesRecorded, bufferFrames * frameBytes);
            const auto samples = buffers[b]->Samples();
            int wrong = 0;
            for (size_t i = 0; i < samples.size(); ++i) {
                const int frame = static_cast<int>(b * bufferFrames + i / c.channels);
                wrong += samples[i] != expected(frame, static_cast<int>(i % c.channels));
            }
            EXPECT_EQ(wrong, 0) << "buffer " << b;
        }

        // Stopped half way through a buffer, it comes back with what was played by then.
        ASSERT_EQ(waveInStop(in), MMSYSERR_NOERROR);
        window.ClearMessages();
        ASSERT_EQ(waveInAddBuffer(in, &buffers[0]->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
        window.Pump(55);
        ASSERT_EQ(waveInStop(in), MMSYSERR_NOERROR);
        window.Pump(10);
        ASSERT_EQ(DataMessages(window).size(), 1u);
        const size_t played = c.rate * 55 / 1000;
        ASSERT_EQ(buffers[0]->header.dwBytesRecorded, played * frameBytes);
        const auto again = buffers[0]->Samples();
        EXPECT_EQ(again[0], expected(0, 0)) << "a start plays from the file's start";
        EXPECT_EQ(again.back(), expected(static_cast<int>(played - 1), c.channels - 1));

        for (auto& buffer : buffers) {
            EXPECT_EQ(waveInUnprepareHeader(in, &buffer->header, sizeof(WAVEHDR)),
                      MMSYSERR_NOERROR);
        }
        EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
        window.Pump(10);
        EXPECT_EQ(window.Count(MM_WIM_CLOSE), 1);
    }
}

// At another rate than the file's, the sound is converted: a tone keeps its pitch.
TEST_F(Microphone, ConvertsTheFileToTheRateAsked) {
    std::string error;
    const std::string path =
        wavetest::WriteFile(wavetest::TempDir() + "/tone.wav",
                            wavetest::WavImage(WAVE_FORMAT_PCM, 1, 16000, 16,
                                               wavetest::Sine16(16000, 440, 16000, 0.5)));
    ASSERT_TRUE(platform::wave::UseMicrophoneFile(path, &error)) << error;
    TestWindow window;
    const WAVEFORMATEX format = Pcm16(1, 48000);
    HWAVEIN in = nullptr;
    ASSERT_EQ(waveInOpen(&in, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    Buffer buffer(48000 / 2 * 2);
    ASSERT_EQ(waveInPrepareHeader(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
    window.Pump(600);
    ASSERT_TRUE(buffer.header.dwFlags & WHDR_DONE);
    std::vector<float> samples;
    for (int16_t s : buffer.Samples()) {
        samples.push_back(s / 32768.0f);
    }
    EXPECT_NEAR(spectrum::ToneDb(samples, 440, 48000), -6.0, 1.0);
    EXPECT_LT(spectrum::ToneDb(samples, 1320, 48000), -60.0);
    EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInUnprepareHeader(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

std::string ErrorText(MMRESULT code) {
    wchar_t text[MAXERRORLENGTH];
    EXPECT_EQ(waveInGetErrorTextW(code, text, MAXERRORLENGTH), MMSYSERR_NOERROR);
    return std::string(text, text + std::wcslen(text));
}

// What a caller is told when it cannot record, and the rules of the buffers.
TEST_F(Microphone, SaysWhyItCannotRecord) {
    TestWindow window;
    const WAVEFORMATEX mono = Pcm16(1, 16000);
    HWAVEIN in = nullptr;
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &mono, reinterpret_cast<DWORD_PTR>(window.Handle()), 0,
                         CALLBACK_WINDOW),
              MMSYSERR_NODRIVER);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(ErrorText(MMSYSERR_NODRIVER), "no microphone is connected");

    std::string error;
    const std::string text = wavetest::TempDir() + "/notes.txt";
    wavetest::WriteFile(text, std::vector<uint8_t>(100, 'a'));
    EXPECT_FALSE(platform::wave::UseMicrophoneFile(text, &error));
    EXPECT_EQ(error.rfind(text + ": does not decode", 0), 0u) << error;
    EXPECT_FALSE(platform::wave::UseMicrophoneFile("/nonexistent/mic.wav", &error));
    EXPECT_EQ(error.rfind("/nonexistent/mic.wav: ", 0), 0u) << error;

    ASSERT_TRUE(platform::wave::UseMicrophoneFile(WriteTestFile(1, 16000, 1600), &error));
    struct Refused {
        const char* what;
        WAVEFORMATEX format;
        DWORD flags;
        MMRESULT code;
    };
    WAVEFORMATEX float32 = Pcm16(1, 16000);
    float32.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    float32.wBitsPerSample = 32;
    float32.nBlockAlign = 4;
    const Refused refused[] = {
        {"float", float32, CALLBACK_WINDOW, WAVERR_BADFORMAT},
        {"three channels", Pcm16(3, 16000), CALLBACK_WINDOW, WAVERR_BADFORMAT},
        {"2 kHz", Pcm16(1, 2000), CALLBACK_WINDOW, WAVERR_BADFORMAT},
        {"a function callback", mono, CALLBACK_FUNCTION, MMSYSERR_INVALFLAG},
    };
    for (const Refused& r : refused) {
        EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &r.format,
                             reinterpret_cast<DWORD_PTR>(window.Handle()), 0, r.flags),
                  r.code)
            << r.what;
    }
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &mono, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInOpen(&in, 1, &mono, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);

    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &mono, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    HWAVEIN second = nullptr;
    EXPECT_EQ(waveInOpen(&second, WAVE_MAPPER, &mono, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(ErrorText(MMSYSERR_ALLOCATED),
              "the microphone is already recording for this program");
    Buffer buffer(3200);
    EXPECT_EQ(waveInAddBuffer(in, &buffer.header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    ASSERT_EQ(waveInPrepareHeader(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(in, &buffer.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(in, &buffer.header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInClose(in), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
    EXPECT_EQ(buffer.header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(buffer.header.dwBytesRecorded, 0u);
    EXPECT_EQ(waveInUnprepareHeader(in, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInStart(in), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(ErrorText(MMSYSERR_INVALHANDLE), "the handle is not an open microphone");
}

}  // namespace
