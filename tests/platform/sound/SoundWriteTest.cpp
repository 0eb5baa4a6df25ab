// A kit's words and captions written into its folder: FLAC that reads back as it was made, each
// file old or new whatever happens (a full disk, a read-only one, a kill), with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/sound/SoundVersions.h"
#include "platform/win32.h"
#include "support/MountNamespace.h"
#include "support/TempDir.h"
#include "support/WaveTestFiles.h"

namespace {

namespace fs = std::filesystem;

struct Written {
    BOOL ok = FALSE;
    DWORD error = 0;
    std::wstring reason;
};

Written Encode(const std::string& path, const std::vector<uint8_t>& image) {
    Written w;
    WCHAR reason[128] = L"";
    w.ok = SndEncodeFile(platform::FromUtf8(path).c_str(), image.data(),
                         static_cast<DWORD>(image.size()), reason, 128);
    w.error = GetLastError();
    w.reason = reason;
    return w;
}

// The file as libsndfile reads it, as whole numbers: FLAC's samples exactly.
struct Decoded {
    int format = 0;
    int rate = 0;
    int channels = 0;
    std::vector<int> samples;
};

Decoded Decode(const std::string& path) {
    Decoded d;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        return d;
    }
    d.format = info.format;
    d.rate = info.samplerate;
    d.channels = info.channels;
    d.samples.resize(static_cast<size_t>(info.frames * info.channels));
    d.samples.resize(
        static_cast<size_t>(sf_readf_int(file, d.samples.data(), info.frames) * info.channels));
    sf_close(file);
    return d;
}

std::vector<uint8_t> Le(const void* data, size_t bytes) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + bytes);
}

size_t Entries(const std::string& dir) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++n;
    }
    return n;
}

TEST(SoundWrite, AWordReadsBackAsItWasMade) {
    TempDir dir;
    // 16-bit, 24-bit and float images; the samples libsndfile gives back as 32-bit integers.
    std::vector<int> s16, s24, fromFloat;
    std::vector<uint8_t> d16, d24, dFloat;
    for (int i = 0; i < 3000; ++i) {
        const double v = std::sin(i * 0.05) * (i % 7 == 0 ? 1.3 : 0.7);
        const int16_t a = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        const int32_t b = static_cast<int32_t>(std::lround(std::clamp(v, -1.0, 1.0) * 8388607));
        const float f = static_cast<float>(v);
        for (uint8_t byte : Le(&a, 2)) {
            d16.push_back(byte);
        }
        for (uint8_t byte : Le(&b, 3)) {
            d24.push_back(byte);
        }
        for (uint8_t byte : Le(&f, 4)) {
            dFloat.push_back(byte);
        }
        s16.push_back(a * 65536);
        s24.push_back(b * 256);
        // Past full scale is clipped, not wrapped.
        fromFloat.push_back(static_cast<int>(std::lround(std::clamp(v, -1.0, 1.0) * 8388607)) *
                            256);
    }
    struct Case {
        const char* name;
        std::vector<uint8_t> image;
        int subtype;
        int rate, channels;
        const std::vector<int>* samples;
        int tolerance;  // in the 32-bit integers: float to 24 bits may round a few steps apart
    };
    const Case cases[] = {
        {"L1.flac", wavetest::WavImage(1, 1, 22050, 16, d16), SF_FORMAT_PCM_16, 22050, 1, &s16, 0},
        {"H1.flac", wavetest::WavImage(1, 2, 44100, 16, d16), SF_FORMAT_PCM_16, 44100, 2, &s16, 0},
        {"L2.flac", wavetest::WavImage(1, 1, 48000, 24, d24), SF_FORMAT_PCM_24, 48000, 1, &s24, 0},
        {"H2.FLAC", wavetest::WavImage(3, 1, 48000, 32, dFloat), SF_FORMAT_PCM_24, 48000, 1,
         &fromFloat, 3 * 256},
    };
    for (const Case& c : cases) {
        const Written w = Encode(dir / c.name, c.image);
        ASSERT_TRUE(w.ok) << c.name << ": " << platform::ToUtf8(w.reason);
        const Decoded d = Decode(dir / c.name);
        EXPECT_EQ(d.format, SF_FORMAT_FLAC | c.subtype) << c.name;
        EXPECT_EQ(d.rate, c.rate) << c.name;
        EXPECT_EQ(d.channels, c.channels) << c.name;
        ASSERT_EQ(d.samples.size(), c.samples->size()) << c.name;
        for (size_t i = 0; i < d.samples.size(); ++i) {
            ASSERT_NEAR(d.samples[i], (*c.samples)[i], c.tolerance) << c.name << " sample " << i;
        }
    }
    // A word written again replaces the old one whole; nothing else is left in the folder.
    ASSERT_TRUE(Encode(dir / "L1.flac", versions::Word(1)).ok);
    const Decoded again = Decode(dir / "L1.flac");
    EXPECT_EQ(again.samples.size(), versions::Samples(1).size());
    EXPECT_EQ(Entries(dir.Path()), 4u);

    // Captions the same way.
    const std::string labels = "Hello\nGood bye\nCaf\xC3\xA9\n";
    WCHAR reason[128] = L"";
    EXPECT_TRUE(SndWriteFile(platform::FromUtf8(dir / "labels.txt").c_str(),
                             reinterpret_cast<const BYTE*>(labels.data()),
                             static_cast<DWORD>(labels.size()), reason, 128));
    EXPECT_EQ(ReadFile(dir / "labels.txt"), labels);
}

TEST(SoundWrite, WhatCannotBeWrittenSaysWhyAndKeepsTheOldFile) {
    TempDir dir;
    ASSERT_TRUE(Encode(dir / "L1.flac", versions::Word(0)).ok);
    fs::create_directory(dir / "L2.flac");
    struct Case {
        std::string path;
        std::vector<uint8_t> image;
        DWORD error;
        const wchar_t* reason;  // its beginning
    };
    const Case cases[] = {
        {dir / "L1.wav", versions::Word(1), ERROR_INVALID_PARAMETER,
         L"is not a .flac file to write a sound into"},
        {dir / "L1.flac", std::vector<uint8_t>(100, 7), ERROR_INVALID_DATA,
         L"cannot be made of a sound that does not decode: "},
        {dir / "no-such-kit/L1.flac", versions::Word(1), ERROR_PATH_NOT_FOUND,
         L"cannot be written: No such file or directory"},
        {dir / "L2.flac", versions::Word(1), ERROR_ACCESS_DENIED,
         L"cannot be written: Is a directory"},
    };
    for (const Case& c : cases) {
        const Written w = Encode(c.path, c.image);
        EXPECT_FALSE(w.ok) << c.path;
        EXPECT_EQ(w.error, c.error) << c.path;
        EXPECT_EQ(w.reason.rfind(c.reason, 0), 0u) << platform::ToUtf8(w.reason);
    }
    EXPECT_EQ(Decode(dir / "L1.flac").samples.size(), versions::Samples(0).size());
    EXPECT_EQ(Entries(dir.Path()), 2u);  // L1.flac and the folder: no temporary stays
}

TEST(SoundWrite, AFullOrReadOnlyDiskLeavesTheOldWordWhole) {
    TempDir dir;
    fs::create_directory(dir / "kit");
    fs::create_directory(dir / "out");
    // Ten seconds of noise: a FLAC file far larger than the room left.
    std::mt19937 random(3);
    std::uniform_int_distribution<int> noise(-20000, 20000);
    std::vector<int> loud(441000);
    for (int& v : loud) {
        v = noise(random);
    }
    wavetest::WriteFile(dir / "big.wav", wavetest::WavImage(1, 1, 44100, 16, wavetest::S16(loud)));
    wavetest::WriteFile(dir / "old.wav", versions::Word(0));
    const std::string kit = dir / "kit", probe = FILES_PROBE;
    const std::string small = "mount -t tmpfs -o size=256k tmpfs " + kit + " && ";
    struct Case {
        const char* what;
        std::string before;  // run before the old word is written
        std::string after;   // and after
        std::string limit;   // of the writer's file sizes
        const char* said;
    };
    const Case cases[] = {
        {"a full disk", small, "", "", "112\ncannot be written: No space left on device\n"},
        {"a read-only disk", small, "mount -o remount,ro " + kit + " && ", "",
         "19\ncannot be written: Read-only file system\n"},
        {"a file size limit", "", "", " 100000", "223\ncannot be written: File too large\n"},
    };
    for (const Case& c : cases) {
        const bool mounts = !c.before.empty();
        if (mounts && !CanMountPrivately()) {
            continue;  // a small file system is mounted in a mount namespace of our own (root)
        }
        fs::remove(dir / "kit/L1.flac");
        // The old word is written, the new word tried, and what is left copied out before a file
        // system of the test's own goes with its namespace.
        const std::string said = InMountNamespace(
            c.before + probe + " encode " + (dir / "old.wav") + " " + kit +
                "/L1.flac >/dev/null && " + c.after + probe + " encode " + (dir / "big.wav") + " " +
                kit + "/L1.flac" + c.limit + "; ls -a " + kit + " > " + (dir / "out/listing") +
                "; cp " + kit + "/L1.flac " + (dir / "out/L1.flac"),
            mounts);
        EXPECT_EQ(said, c.said) << c.what;
        EXPECT_EQ(Decode(dir / "out/L1.flac").samples.size(), versions::Samples(0).size())
            << c.what;
        EXPECT_EQ(ReadFile(dir / "out/listing"), ".\n..\nL1.flac\n") << c.what;
    }
}

// Every file of the kit is one version or the other, whole: the versions of L1.flac, H1.flac
// and labels.txt, or -1 for a file that is neither.
std::vector<int> OldOrNew(const std::string& dir, int round) {
    std::vector<int> found;
    for (const char* name : {"L1.flac", "H1.flac"}) {
        const Decoded d = Decode(dir + "/" + name);
        const int v = d.samples.size() == versions::Samples(1).size() ? 1 : 0;
        const std::vector<int16_t> expected = versions::Samples(v);
        bool whole = d.samples.size() == expected.size();
        for (size_t i = 0; whole && i < expected.size(); ++i) {
            whole = d.samples[i] == expected[i] * 65536;
        }
        EXPECT_TRUE(whole) << name << " after kill " << round;
        found.push_back(whole ? v : -1);
    }
    const std::string labels = ReadFile(dir + "/labels.txt");
    found.push_back(labels == versions::Labels(0) ? 0 : labels == versions::Labels(1) ? 1 : -1);
    EXPECT_NE(found.back(), -1) << "labels.txt after kill " << round << ": " << labels;
    return found;
}

TEST(SoundWrite, AKillLeavesEveryFileOldOrNew) {
    TempDir dir;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    int mixed = 0;
    for (int round = 0; round < 40; ++round) {
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        const pid_t writer = fork();
        if (writer == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl(FILES_PROBE, FILES_PROBE, "write-loop", dir.Path().c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char ready[6] = {};
        ASSERT_EQ(read(out[0], ready, 6), 6) << "the writer did not start";
        close(out[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        const std::vector<int> found = OldOrNew(dir.Path(), round);
        if (HasFailure()) {
            return;
        }
        // Killed between two files' renames: the kit holds both versions at once.
        mixed += found != std::vector<int>(3, found[0]);
    }
    // The kills fell in the middle of saves, not only between them.
    EXPECT_GT(mixed, 0);
    // The temporaries the killed writers left are hidden, and the next write of each file takes
    // them away.
    ASSERT_TRUE(Encode(dir / "L1.flac", versions::Word(0)).ok);
    ASSERT_TRUE(Encode(dir / "H1.flac", versions::Word(0)).ok);
    const std::string text = versions::Labels(0);
    ASSERT_TRUE(SndWriteFile(platform::FromUtf8(dir / "labels.txt").c_str(),
                             reinterpret_cast<const BYTE*>(text.data()),
                             static_cast<DWORD>(text.size()), nullptr, 0));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"H1.flac", "L1.flac", "labels.txt"}));
}

}  // namespace
