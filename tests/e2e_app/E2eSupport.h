// Running the real executable headless with a script, and reading what it left behind: shots,
// the recording and the registry file.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/GoldenImage.h"

namespace e2e {

namespace fs = std::filesystem;

using golden::Picture;
using golden::ReadPng;

inline int Red(uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline int Green(uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline int Blue(uint32_t p) {
    return p & 0xFF;
}
// The program's green gradient and what lies between its ends.
inline bool IsGreen(uint32_t p) {
    return Green(p) > 80 && Green(p) > Red(p) + 20 && Blue(p) < 80;
}

// What a shell command prints on stdout.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            out.append(chunk, n);
        }
        pclose(pipe);
    }
    return out;
}

// A fresh folder for one run: config/, shots/, and the script.
class PulsorRun {
public:
    explicit PulsorRun(const std::string& name) {
        const char* tmp = std::getenv("TMPDIR");
        dir_ = fs::path(tmp && *tmp ? tmp : "/tmp") /
               ("pulsor-e2e-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
        fs::create_directories(dir_ / "shots");
    }
    ~PulsorRun() {
        if (!std::getenv("PULSOR_KEEP_E2E")) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
        }
    }

    fs::path Dir() const { return dir_; }
    fs::path Shot(const std::string& name) const { return dir_ / "shots" / name; }
    fs::path Recording() const { return dir_ / "out.wav"; }
    fs::path Registry() const { return dir_ / "config" / "registry.reg"; }

    // Runs pulsor headless with `script`; returns its exit status (or -1), stderr in Errors().
    int Start(const std::string& script, const std::string& options) {
        const fs::path scriptPath = dir_ / "script.txt";
        std::ofstream(scriptPath) << script;
        const std::string cmd = std::string(PULSOR_EXE) + " --headless --script " +
                                scriptPath.string() + " --shots " + (dir_ / "shots").string() +
                                " --config-dir " + (dir_ / "config").string() + " " + options +
                                " 2>" + (dir_ / "stderr.txt").string();
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Errors() const { return ReadText(dir_ / "stderr.txt"); }

    Picture Load(const std::string& shot) const {
        Picture p;
        ReadPng(Shot(shot).string(), &p);
        return p;
    }

    static std::string ReadText(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    fs::path dir_;
};

// Mono samples in -1..1 of a canonical 16-bit WAV (channels averaged), and its rate.
struct Sound {
    int rate = 0;
    std::vector<float> samples;
};

inline Sound ReadWav(const std::string& path) {
    Sound sound;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 44) {
        return sound;
    }
    auto u16 = [&](size_t at) { return static_cast<int>(bytes[at] | (bytes[at + 1] << 8)); };
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                     (static_cast<uint32_t>(bytes[at + 3]) << 24));
    };
    const int channels = u16(22);
    sound.rate = static_cast<int>(u32(24));
    if (channels < 1 || u16(34) != 16) {
        return sound;
    }
    const size_t frames = (bytes.size() - 44) / (2 * channels);
    sound.samples.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) {
            const size_t at = 44 + (i * channels + c) * 2;
            sum += static_cast<int16_t>(u16(at)) / 32768.0f;
        }
        sound.samples[i] = sum / channels;
    }
    return sound;
}

// Linear resampling to `rate`.
inline std::vector<float> Resample(const Sound& s, int rate) {
    std::vector<float> out;
    if (s.rate <= 0 || s.samples.empty()) {
        return out;
    }
    const double step = static_cast<double>(s.rate) / rate;
    for (double pos = 0; pos + 1 < s.samples.size(); pos += step) {
        const size_t i = static_cast<size_t>(pos);
        const double f = pos - i;
        out.push_back(static_cast<float>(s.samples[i] * (1 - f) + s.samples[i + 1] * f));
    }
    return out;
}

// Normalised correlation of `a` from `offset` with the first `length` samples of `b`.
inline double Correlation(const std::vector<float>& a, size_t offset, const std::vector<float>& b,
                          size_t length) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < length && i < b.size() && offset + i < a.size(); ++i) {
        ab += a[offset + i] * b[i];
        aa += a[offset + i] * a[offset + i];
        bb += b[i] * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// Root mean square of `length` samples from `offset`.
inline double Rms(const std::vector<float>& a, size_t offset, size_t length) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = offset; i < offset + length && i < a.size(); ++i, ++n) {
        sum += a[i] * a[i];
    }
    return n ? std::sqrt(sum / n) : 0;
}

// The first sample at or after `from` louder than `floor`, or SIZE_MAX.
inline size_t Onset(const std::vector<float>& a, size_t from, float floor = 0.02f) {
    for (size_t i = from; i < a.size(); ++i) {
        if (std::fabs(a[i]) > floor) {
            return i;
        }
    }
    return SIZE_MAX;
}

}  // namespace e2e
