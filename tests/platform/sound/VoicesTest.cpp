// The pad's voices made in the program: typed text spoken as the built-in words were, and a
// recording made into the low and the high voice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/MountNamespace.h"
#include "support/ScopedEnvironment.h"
#include "support/Spectrum.h"
#include "support/TempDir.h"
#include "support/WaveTestFiles.h"

namespace {

// A canonical 16-bit image, as the calls make them.
struct Word {
    DWORD rate = 0;
    WORD channels = 0, bits = 0, format = 0;
    std::vector<float> samples;
    std::vector<uint8_t> bytes;
    double Seconds() const { return static_cast<double>(samples.size()) / rate; }
};

uint32_t Get(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | b[at + static_cast<size_t>(i)];
    }
    return v;
}

Word Take(LPBYTE image, DWORD size) {
    Word word;
    if (!image) {
        return word;
    }
    word.bytes.assign(image, image + size);
    SndFreeImage(image);
    const std::vector<uint8_t>& b = word.bytes;
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || Get(b, 40, 4) + 44 != b.size()) {
        return word;
    }
    word.format = static_cast<WORD>(Get(b, 20, 2));
    word.channels = static_cast<WORD>(Get(b, 22, 2));
    word.rate = Get(b, 24, 4);
    word.bits = static_cast<WORD>(Get(b, 34, 2));
    for (size_t at = 44; at + 2 <= b.size() && word.bits == 16; at += 2) {
        word.samples.push_back(static_cast<int16_t>(Get(b, at, 2)) / 32768.0f);
    }
    return word;
}

Word Speak(const std::wstring& text, DWORD voice, std::wstring* why = nullptr) {
    DWORD size = 0;
    WCHAR reason[128] = L"";
    LPBYTE image = SndSpeakText(text.c_str(), voice, &size, reason, 128);
    Word word = Take(image, size);
    if (why) {
        *why = reason;
    }
    return word;
}

Word Shape(const std::vector<uint8_t>& image, DWORD voice, DWORD flags,
           std::wstring* why = nullptr) {
    DWORD size = 0;
    WCHAR reason[128] = L"";
    LPBYTE shaped = SndShapeVoice(image.data(), static_cast<DWORD>(image.size()), voice, flags,
                                  &size, reason, 128);
    Word word = Take(shaped, size);
    if (why) {
        *why = reason;
    }
    return word;
}

double Peak(const std::vector<float>& x) {
    double peak = 0;
    for (float v : x) {
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    }
    return peak;
}

// The first sample louder than `floor`.
size_t Onset(const std::vector<float>& x, float floor) {
    size_t i = 0;
    while (i < x.size() && std::fabs(x[i]) <= floor) {
        ++i;
    }
    return i;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(Voices, TheBuiltInWordsAreTheirTextSpoken) {
    // assets/src/words.txt, cell by cell: the committed files were made by the same recipe.
    std::ifstream list(std::string(PULSOR_SOURCE_DIR) + "/assets/src/words.txt");
    std::vector<std::string> words;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line[0] != '#') {
            words.push_back(line);
        }
    }
    ASSERT_EQ(words.size(), 16u);
    // Every other cell, both voices: each one a word spoken after others in this process.
    for (size_t n = 1; n <= words.size(); n += 2) {
        for (const auto& [voice, prefix] : {std::pair{SNDVOICE_LOW, "L"}, {SNDVOICE_HIGH, "H"}}) {
            const std::string name = prefix + std::to_string(n) + ".wav";
            const Word word = Speak(wavetest::Wide(words[n - 1]), voice);
            const std::string built =
                Slurp(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/" + name);
            EXPECT_EQ(std::string(word.bytes.begin(), word.bytes.end()), built)
                << name << " \"" << words[n - 1] << "\"";
        }
    }
}

TEST(Voices, TypedWordsAreSpeechInALowAndAHighVoice) {
    struct Case {
        std::wstring text;
        double shortest, longest;  // seconds
    };
    const Case cases[] = {
        {L"Hello", 0.3, 1.0},
        {L"Good bye", 0.4, 1.2},
        {L"Caf\u00e9", 0.3, 1.0},
        {L"Stop the beat now", 0.8, 2.5},
    };
    for (const Case& c : cases) {
        const std::string label(c.text.begin(), c.text.end());
        const Word low = Speak(c.text, SNDVOICE_LOW), high = Speak(c.text, SNDVOICE_HIGH);
        for (const Word* w : {&low, &high}) {
            EXPECT_EQ(w->format, 1) << label;
            EXPECT_EQ(w->channels, 1) << label;
            EXPECT_EQ(w->bits, 16) << label;
            EXPECT_EQ(w->rate, 22050u) << label;
            EXPECT_GE(w->Seconds(), c.shortest) << label;
            EXPECT_LE(w->Seconds(), c.longest) << label;
            EXPECT_NEAR(Peak(w->samples), 0.891, 0.002) << label;
            EXPECT_GT(spectrum::RmsDb(w->samples), -30) << label;
            // It starts at the voice: the first millisecond holds the onset.
            EXPECT_LT(Onset(w->samples, 0.02f), 22050u / 100) << label;
        }
        const double lowPitch = spectrum::PitchHz(low.samples, 22050);
        const double highPitch = spectrum::PitchHz(high.samples, 22050);
        EXPECT_GT(lowPitch, 50) << label;
        EXPECT_LT(lowPitch, 140) << label;
        EXPECT_GT(highPitch, lowPitch * 1.8) << label << ": " << lowPitch << " Hz, " << highPitch;
        // The same text again is the same word.
        EXPECT_EQ(Speak(c.text, SNDVOICE_HIGH).bytes, high.bytes) << label;
    }
}

TEST(Voices, PulsorMakeKitMakesTheSameWords) {
    TempDir dir;
    WriteFile(dir / "words.txt", "Hello\nGood bye\n");
    const std::string tool = std::string(PULSOR_BINARY_DIR) + "/pulsor-make-kit";
    ASSERT_EQ(std::system(
                  (tool + " " + (dir / "words.txt") + " " + (dir / "kit") + " >/dev/null").c_str()),
              0);
    const std::pair<const wchar_t*, const char*> made[] = {{L"Hello", "1"}, {L"Good bye", "2"}};
    for (const auto& [text, n] : made) {
        for (const auto& [voice, prefix] : {std::pair{SNDVOICE_LOW, "L"}, {SNDVOICE_HIGH, "H"}}) {
            const Word word = Speak(text, voice);
            EXPECT_EQ(std::string(word.bytes.begin(), word.bytes.end()),
                      ReadFile(dir / (std::string("kit/") + prefix + n + ".wav")))
                << prefix << n;
        }
    }
    EXPECT_EQ(ReadFile(dir / "kit/labels.txt"), "Hello\nGood bye\n");
}

TEST(Voices, WhatCannotBeSaidIsRefusedWithTheReason) {
    struct Case {
        std::wstring text;
        DWORD voice;
        DWORD error;
        const wchar_t* reason;
    };
    const Case cases[] = {
        {L"", SNDVOICE_LOW, ERROR_INVALID_PARAMETER, L"has nothing to say"},
        {L" \t ", SNDVOICE_HIGH, ERROR_INVALID_PARAMETER, L"has nothing to say"},
        {L"Hello", 7, ERROR_INVALID_PARAMETER, L"is not a text and a voice"},
        {std::wstring(1001, L'a'), SNDVOICE_LOW, ERROR_INVALID_PARAMETER,
         L"is longer than 1000 characters"},
    };
    for (const Case& c : cases) {
        std::wstring why;
        SetLastError(ERROR_SUCCESS);
        EXPECT_TRUE(Speak(c.text, c.voice, &why).bytes.empty()) << c.reason;
        EXPECT_EQ(GetLastError(), c.error) << c.reason;
        EXPECT_EQ(why, c.reason);
    }
}

TEST(Voices, WithoutTheSynthesiserTheCallSaysWhyAndNothingElseBreaks) {
    // Its data folder found, but empty.
    TempDir dir;
    std::filesystem::create_directory(dir / "espeak-ng-data");
    {
        ScopedEnvironment data("ESPEAK_DATA_PATH", dir.Path().c_str());
        std::wstring why;
        EXPECT_TRUE(Speak(L"Hello", SNDVOICE_LOW, &why).bytes.empty());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        EXPECT_EQ(why.rfind(L"the speech synthesiser cannot start: ", 0), 0u)
            << std::string(why.begin(), why.end());
        WCHAR words[256];
        ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, GetLastError(), 0, words, 256, nullptr),
                  0u);
        EXPECT_EQ(std::wstring(words).substr(0, 127), why);
    }
    EXPECT_FALSE(Speak(L"Hello", SNDVOICE_LOW).bytes.empty());

    // The library itself missing: hidden from a process of its own.
    if (!CanMountPrivately()) {
        GTEST_SKIP() << "the library is hidden in a mount namespace of our own (root)";
    }
    const std::string said = InMountNamespace(
        "for f in /usr/lib/*/libespeak-ng.so.1*; do mount --bind /dev/null $f; "
        "done; " FILES_PROBE " speak Hello");
    EXPECT_EQ(said.rfind("50\nthe speech synthesiser is not installed (", 0), 0u) << said;
}

// A tone with silence (and a little noise, as a microphone gives) before and after it.
std::vector<uint8_t> Recording(DWORD rate, double before, double tone, double after, double hz) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 30);
    std::vector<int> s;
    const size_t toneFrom = static_cast<size_t>(before * rate);
    const size_t toneTo = toneFrom + static_cast<size_t>(tone * rate);
    const size_t total = toneTo + static_cast<size_t>(after * rate);
    for (size_t i = 0; i < total; ++i) {
        double v = noise(random);
        if (i >= toneFrom && i < toneTo) {
            v += 12000 * std::sin(2 * M_PI * hz * static_cast<double>(i - toneFrom) / rate);
        }
        s.push_back(static_cast<int>(std::lround(v)));
    }
    return wavetest::WavImage(1, 1, rate, 16, wavetest::S16(s));
}

TEST(Voices, ARecordingBecomesBothVoices) {
    struct Case {
        const char* what;
        DWORD rate;
        double before, tone, after;
        DWORD flags;
        double shortest, longest;  // of each voice, seconds
    };
    const Case cases[] = {
        {"trimmed", 48000, 0.5, 1.0, 0.7, SNDSHAPE_TRIM, 1.0, 1.1},
        {"trimmed, at 22050 Hz", 22050, 0.3, 0.6, 0.3, SNDSHAPE_TRIM, 0.6, 0.7},
        {"as it is", 48000, 0.5, 1.0, 0.7, 0, 2.2, 2.2},
        {"no silence to cut", 44100, 0.0, 1.5, 0.0, SNDSHAPE_TRIM, 1.5, 1.58},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> image = Recording(c.rate, c.before, c.tone, c.after, 200);
        const Word low = Shape(image, SNDVOICE_LOW, c.flags);
        const Word high = Shape(image, SNDVOICE_HIGH, c.flags);
        for (const Word* w : {&low, &high}) {
            EXPECT_EQ(w->rate, c.rate) << c.what;
            EXPECT_EQ(w->channels, 1) << c.what;
            EXPECT_GE(w->Seconds(), c.shortest - 0.005) << c.what;
            EXPECT_LE(w->Seconds(), c.longest + 0.005) << c.what;
            EXPECT_NEAR(Peak(w->samples), 0.891, 0.002) << c.what;
            if (c.flags & SNDSHAPE_TRIM) {
                // The tone starts within the first 10 ms kept before it.
                EXPECT_LE(Onset(w->samples, 0.1f), c.rate / 50) << c.what;
            }
        }
        // The low voice is the recording's own pitch; the high one lies 800 cents above it.
        EXPECT_NEAR(spectrum::PitchHz(low.samples, c.rate), 200, 4) << c.what;
        EXPECT_NEAR(spectrum::PitchHz(high.samples, c.rate), 200 * std::pow(2, 800 / 1200.0), 8)
            << c.what;
    }
}

TEST(Voices, ASoundThatIsNoWordIsRefused) {
    const std::vector<uint8_t> quiet = Recording(48000, 1.0, 0, 0, 200);  // only the noise floor
    const std::vector<uint8_t> zeros =
        wavetest::WavImage(1, 1, 48000, 16, wavetest::Level16(480, 0));
    const std::vector<uint8_t> longOne = Recording(8000, 0, 31, 0, 200);
    const std::vector<uint8_t> garbage(300, 0x5A);
    struct Case {
        const std::vector<uint8_t>* image;
        DWORD flags;
        const wchar_t* reason;  // its beginning
    };
    const Case cases[] = {
        {&quiet, SNDSHAPE_TRIM, L"holds only silence"},
        {&zeros, 0, L"holds only silence"},
        {&longOne, SNDSHAPE_TRIM, L"lasts 31.0 s (at most 30 s)"},
        {&garbage, 0, L"does not decode: "},
    };
    for (const Case& c : cases) {
        for (DWORD voice : {SNDVOICE_LOW, SNDVOICE_HIGH}) {
            std::wstring why;
            EXPECT_TRUE(Shape(*c.image, voice, c.flags, &why).bytes.empty()) << c.reason;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << c.reason;
            EXPECT_EQ(why.rfind(c.reason, 0), 0u) << std::string(why.begin(), why.end());
        }
    }
    // Stereo float, as a dropped file decodes: both channels make the one voice.
    std::vector<uint8_t> data;
    for (int i = 0; i < 48000; ++i) {
        const float v = 0.5f * static_cast<float>(std::sin(2 * M_PI * 200 * i / 48000.0));
        for (float sample : {v, v}) {
            uint8_t b[4];
            std::memcpy(b, &sample, 4);
            data.insert(data.end(), b, b + 4);
        }
    }
    const Word word = Shape(wavetest::WavImage(3, 2, 48000, 32, data), SNDVOICE_LOW, 0);
    EXPECT_EQ(word.channels, 1);
    EXPECT_EQ(word.samples.size(), 48000u);
}

}  // namespace
