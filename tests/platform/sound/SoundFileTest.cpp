// Kit files through the platform: found by stem, decoded whatever their format, their loudness
// matched, and refused with a reason when they cannot be played.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/TempDir.h"

namespace {

std::wstring W(const std::string& s) {
    return platform::FromUtf8(s);
}

// Runs sox to make a fixture; the arguments follow the output file.
void Sox(const std::string& out, const std::string& synth) {
    const std::string cmd = "sox -n " + synth.substr(0, synth.find('|')) + " '" + out + "' " +
                            synth.substr(synth.find('|') + 1) + " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// sox here writes no Opus: libsndfile does.
void WriteOpus(const std::string& out, double seconds, double hz, double amplitude) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    SNDFILE* f = sf_open(out.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<float> s(static_cast<size_t>(seconds * 48000));
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * hz * i / 48000));
    }
    sf_writef_float(f, s.data(), static_cast<sf_count_t>(s.size()));
    sf_close(f);
}

struct Decoded {
    std::vector<BYTE> image;
    SNDDECODE info{};
};

Decoded Decode(const std::string& path, float target = -12.0f) {
    Decoded d;
    d.info.targetLufs = target;
    d.info.maxSeconds = 20;
    d.info.maxChannels = 8;
    DWORD size = 0;
    LPBYTE image = SndDecodeFile(W(path).c_str(), &d.info, &size);
    if (image) {
        d.image.assign(image, image + size);
        SndFreeImage(image);
    }
    return d;
}

uint32_t U32(const std::vector<BYTE>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t U16(const std::vector<BYTE>& b, size_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

double RmsDb(const std::vector<BYTE>& image) {
    double sum = 0;
    const size_t n = (image.size() - 44) / 4;
    for (size_t i = 0; i < n; ++i) {
        float s;
        std::memcpy(&s, image.data() + 44 + 4 * i, 4);
        sum += static_cast<double>(s) * s;
    }
    return 10 * std::log10(sum / static_cast<double>(n));
}

TEST(SoundFile, EveryFormatDecodesToAFloatImageAtItsOwnRate) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* sox;  // options before and after the file name
        uint32_t rate;
        uint16_t channels;
    };
    const Case cases[] = {
        {"a.flac", "-r 44100|synth 0.5 sine 440 gain -10", 44100, 1},
        {"b.ogg", "-r 48000 -c 2|synth 0.5 sine 440 gain -10", 48000, 2},
        {"c.opus", "", 48000, 1},
        {"d.aiff", "-r 22050|synth 0.5 sine 440 gain -10", 22050, 1},
        {"e.wav", "-r 96000 -b 24|synth 0.5 sine 440 gain -10", 96000, 1},
        {"f.wav", "-r 32000 -c 6|synth 0.5 sine 440 gain -10", 32000, 1},  // mixed down
    };
    for (const Case& c : cases) {
        if (*c.sox) {
            Sox(dir / c.name, c.sox);
        } else {
            WriteOpus(dir / c.name, 0.5, 440, std::pow(10.0, -10 / 20.0));
        }
        Decoded d = Decode(dir / c.name, SND_KEEP_LOUDNESS);
        ASSERT_GT(d.image.size(), 44u) << c.name << ": " << platform::ToUtf8(d.info.reason);
        EXPECT_EQ(std::memcmp(d.image.data(), "RIFF", 4), 0) << c.name;
        EXPECT_EQ(U16(d.image, 20), WAVE_FORMAT_IEEE_FLOAT) << c.name;
        EXPECT_EQ(U16(d.image, 22), c.channels) << c.name;
        EXPECT_EQ(U32(d.image, 24), c.rate) << c.name;
        EXPECT_EQ(U16(d.image, 34), 32) << c.name;
        EXPECT_EQ(U32(d.image, 40), d.image.size() - 44) << c.name;
        EXPECT_NEAR(static_cast<double>(d.image.size() - 44) / (4.0 * c.channels * c.rate), 0.5,
                    0.03)
            << c.name;
        EXPECT_NEAR(RmsDb(d.image), -13.0, 0.5) << c.name;  // -10 dBFS peak, kept as it is
    }
}

TEST(SoundFile, QuietAndLoudWordsComeOutEquallyLoud) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* sox;
    };
    const Case cases[] = {
        {"quiet.flac", "-r 44100|synth 0.8 sine 500 gain -20"},
        {"loud.flac", "-r 44100|synth 0.8 sine 500 gain -6"},
        {"short.flac", "-r 44100|synth 0.15 sine 500 gain -30"},  // under the 400 ms gate
        {"peaky.wav", "-r 44100|synth 0.8 square 500 gain -40 : synth 0.01 sine 500 gain 0"},
    };
    for (const Case& c : cases) {
        Sox(dir / c.name, c.sox);
        Decoded d = Decode(dir / c.name);
        ASSERT_GT(d.image.size(), 44u) << c.name;
        float peak = 0;
        for (size_t i = 44; i + 4 <= d.image.size(); i += 4) {
            float s;
            std::memcpy(&s, d.image.data() + i, 4);
            peak = std::max(peak, std::fabs(s));
        }
        EXPECT_LE(20 * std::log10(peak), -0.99) << c.name;  // the gain never outgrows the peak
        if (std::string(c.name) != "peaky.wav") {
            // A sine's loudness is its RMS plus 3 dB for two speakers, less 0.691.
            EXPECT_NEAR(RmsDb(d.image) + 3.01 - 0.691, -12.0, 0.5) << c.name;
        }
    }
}

TEST(SoundFile, WhatCannotBePlayedIsRefusedWithItsReason) {
    TempDir dir;
    WriteFile(dir / "garbage.flac", std::string(5000, 'x'));
    WriteFile(dir / "empty.wav", "");
    Sox(dir / "long.flac", "-r 8000|synth 21 sine 300");
    Sox(dir / "wide.wav", "-r 8000 -c 9|synth 0.2 sine 300");
    Sox(dir / "whole.flac", "-r 44100|synth 2 sine 300");
    // A FLAC file cut short in the middle of its frames.
    const std::string whole = ReadFile(dir / "whole.flac");
    WriteFile(dir / "cut.flac", whole.substr(0, whole.size() / 2));
    struct Case {
        std::string file;
        std::string reason;
    };
    const Case cases[] = {
        {"garbage.flac", "does not decode"},
        {"empty.wav", "does not decode"},
        {"missing.ogg", "No such file or directory"},
        {"long.flac", "lasts 21.0 s (at most 20 s)"},
        {"wide.wav", "has 9 channels (at most 8)"},
        {"cut.flac", "damaged"},
        // Should a word become a named pipe after it was found, decoding neither waits nor
        // opens it.
        {"pipe.wav", "is a named pipe (FIFO), not a file"},
    };
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0644), 0);
    alarm(10);  // a read that waits on the pipe ends the test, not the suite
    for (const Case& c : cases) {
        Decoded d = Decode(dir / c.file);
        EXPECT_TRUE(d.image.empty()) << c.file;
        EXPECT_NE(platform::ToUtf8(d.info.reason).find(c.reason), std::string::npos)
            << c.file << ": " << platform::ToUtf8(d.info.reason);
    }
    alarm(0);
}

void CALLBACK Collect(LPCWSTR path, LPCWSTR reason, LPVOID context) {
    static_cast<std::vector<std::string>*>(context)->push_back(platform::ToUtf8(path) + ": " +
                                                               platform::ToUtf8(reason));
}

TEST(SoundFile, FindsAStemWithAnyExtensionAndNamesWhatItSkips) {
    TempDir dir;
    WriteFile(dir / "L1.ogg", "x");
    WriteFile(dir / "L10.flac", "x");
    WriteFile(dir / "H2.wav", "x");
    WriteFile(dir / "H2.flac", "x");
    std::filesystem::create_directory(dir / "L3.wav");
    ASSERT_EQ(mkfifo((dir / "L5.flac").c_str(), 0644), 0);
    WriteFile(dir / "L5.wav", "x");
    ASSERT_EQ(symlink("/dev/zero", (dir / "L6.wav").c_str()), 0);
    ASSERT_EQ(symlink("gone.wav", (dir / "L7.wav").c_str()), 0);
    ASSERT_EQ(symlink("L8.wav", (dir / "L8.wav").c_str()), 0);
    const std::string folder = dir.Path() + "/";
    struct Case {
        const char* stem;
        UINT cchPath;
        const char* found;  // null: none
        std::vector<std::string> skipped;
    };
    const Case cases[] = {
        {"L1", MAX_PATH, "L1.ogg", {}},   // not L10
        {"H2", MAX_PATH, "H2.flac", {}},  // the first by name; the other is no news
        {"L3", MAX_PATH, nullptr, {"L3.wav: is a folder, not a file"}},
        {"L4", MAX_PATH, nullptr, {}},
        {"L5", MAX_PATH, "L5.wav", {"L5.flac: is a named pipe (FIFO), not a file"}},
        {"L6", MAX_PATH, nullptr, {"L6.wav: is a character device, not a file"}},
        {"L7", MAX_PATH, nullptr, {"L7.wav: is a link to a file that does not exist"}},
        {"L8",
         MAX_PATH,
         nullptr,
         {"L8.wav: is a link in a loop (Too many levels of symbolic links)"}},
        {"L1",
         static_cast<UINT>(folder.size() + 6),
         nullptr,
         {"L1.ogg: its path is longer than " + std::to_string(folder.size() + 5) + " characters"}},
    };
    for (const Case& c : cases) {
        WCHAR path[MAX_PATH];
        std::vector<std::string> skipped;
        EXPECT_EQ(
            SndFindFile(W(folder).c_str(), W(c.stem).c_str(), path, c.cchPath, Collect, &skipped),
            c.found ? TRUE : FALSE)
            << c.stem;
        if (c.found) {
            EXPECT_EQ(platform::ToUtf8(path), folder + c.found) << c.stem;
        }
        std::vector<std::string> expected;
        for (const std::string& line : c.skipped) {
            expected.push_back(folder + line);
        }
        EXPECT_EQ(skipped, expected) << c.stem;
    }
    WCHAR path[MAX_PATH];
    EXPECT_FALSE(SndFindFile(L"/no/such/folder/", L"L1", path, MAX_PATH, nullptr, nullptr));
}

TEST(SoundFile, AKitsTextIsReadWholeWhenItIsAFileOfItsSize) {
    TempDir dir;
    WriteFile(dir / "labels.txt", "One\nTwo\n");
    WriteFile(dir / "large.txt", std::string(101, 'x'));
    ASSERT_EQ(mkfifo((dir / "fifo.txt").c_str(), 0644), 0);
    struct Case {
        const char* name;
        const char* text;  // null: refused
        const char* reason;
    };
    const Case cases[] = {
        {"labels.txt", "One\nTwo\n", ""},
        {"large.txt", nullptr, "is 101 bytes (at most 100)"},
        {"fifo.txt", nullptr, "is a named pipe (FIFO), not a file"},
        {"missing.txt", nullptr, ""},  // no news: the file is optional
    };
    alarm(10);  // a read that waits on the pipe ends the test, not the suite
    for (const Case& c : cases) {
        DWORD size = 0;
        WCHAR reason[128];
        LPBYTE text = SndReadFile(W(dir / c.name).c_str(), 100, &size, reason, 128);
        EXPECT_EQ(text != nullptr, c.text != nullptr) << c.name;
        if (text) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(text), size), c.text);
            SndFreeImage(text);
        }
        EXPECT_EQ(platform::ToUtf8(reason), c.reason) << c.name;
    }
    alarm(0);
}

TEST(MultiByteToWideChar, Utf8StrictOrReplacing) {
    WCHAR out[16];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "B\xC3\xA9ta", 5, out, 16), 4);
    EXPECT_EQ(std::wstring(out, 4), L"B\u00e9ta");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "B\xC3\xA9ta", 5, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF\xFE", 2, out, 16), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, out, 16), 2);
    EXPECT_EQ(out[1], L'\uFFFD');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcdef", 6, out, 3), 0);  // does not fit
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, out, 16), 0);
}

}  // namespace
