// Test support for sound: WAV images built in memory or on disk, and the null audio output in
// virtual time with everything it mixes captured.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device/DeviceOptions.h"
#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Output.h"
#include "platform/win32.h"

namespace wavetest {

inline void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
}
inline void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    Put16(v, at, x & 0xFFFF);
    Put16(v, at + 2, x >> 16);
}

// A canonical 44-byte-header WAV image around `data`.
inline std::vector<uint8_t> WavImage(WORD tag, WORD channels, DWORD rate, WORD bits,
                                     const std::vector<uint8_t>& data, int blockAlign = -1) {
    const WORD align = static_cast<WORD>(
        blockAlign >= 0 ? blockAlign : static_cast<uint32_t>(channels) * bits / 8);
    std::vector<uint8_t> v(44);
    std::copy_n("RIFF", 4, v.begin());
    Put32(v, 4, static_cast<uint32_t>(36 + data.size()));
    std::copy_n("WAVEfmt ", 8, v.begin() + 8);
    Put32(v, 16, 16);
    Put16(v, 20, tag);
    Put16(v, 22, channels);
    Put32(v, 24, rate);
    Put32(v, 28, rate * align);
    Put16(v, 32, align);
    Put16(v, 34, bits);
    std::copy_n("data", 4, v.begin() + 36);
    Put32(v, 40, static_cast<uint32_t>(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

// 16-bit PCM, `channels` at `rate`.
inline WAVEFORMATEX Pcm16(WORD channels, DWORD rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = static_cast<WORD>(2 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// 16-bit samples, little-endian.
inline std::vector<uint8_t> S16(const std::vector<int>& samples) {
    std::vector<uint8_t> out;
    for (int s : samples) {
        out.push_back(static_cast<uint8_t>(s & 0xFF));
        out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    return out;
}

// `frames` mono 16-bit frames of a constant level.
inline std::vector<uint8_t> Level16(int frames, int level) {
    return S16(std::vector<int>(static_cast<size_t>(frames), level));
}

// A 16-bit mono sine of `hz` at `amplitude` (0..1).
inline std::vector<uint8_t> Sine16(int frames, double hz, DWORD rate, double amplitude) {
    std::vector<int> s(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        s[i] =
            static_cast<int>(std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / rate)));
    }
    return S16(s);
}

// A fresh directory for one test's files, removed when the test program ends.
inline std::string TempDir() {
    struct Made {
        std::vector<std::string> dirs;
        ~Made() {
            std::error_code ignored;
            for (const std::string& d : dirs) {
                std::filesystem::remove_all(d, ignored);
            }
        }
    };
    static Made made;
    std::string pattern = std::string(PULSOR_BINARY_DIR) + "/wavetest-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const char* dir = mkdtemp(buf.data());
    if (!dir) {
        return std::string(PULSOR_BINARY_DIR);
    }
    made.dirs.push_back(dir);
    return dir;
}

inline std::string WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        }
        std::fclose(f);
    }
    return path;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return out;
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        out.insert(out.end(), buf, buf + n);
    }
    std::fclose(f);
    return out;
}

// A take as libsndfile reads it: its container (SF_FORMAT_WAV, SF_FORMAT_RF64; 0 when it does
// not open) and its interleaved 16-bit samples.
struct Take {
    int container = 0;
    int rate = 0;
    int channels = 0;
    std::vector<short> samples;
};

inline Take ReadTake(const std::string& path) {
    Take take;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        return take;
    }
    take.container = info.format & SF_FORMAT_TYPEMASK;
    take.rate = info.samplerate;
    take.channels = info.channels;
    take.samples.resize(static_cast<size_t>(info.frames * info.channels));
    take.samples.resize(static_cast<size_t>(sf_readf_short(file, take.samples.data(), info.frames) *
                                            info.channels));
    sf_close(file);
    return take;
}

// The samples a take holds for `frames`: clipped to ±1 and rounded to 16 bits.
inline std::vector<short> Quantized(const std::vector<float>& frames) {
    std::vector<short> out(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        out[i] = static_cast<short>(std::lrint(std::clamp(frames[i], -1.0f, 1.0f) * 32767.0f));
    }
    return out;
}

inline std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// The null output in virtual time, every rendered frame kept. The calling thread takes part in
// virtual time while this lives, so the clock only moves while it waits (Run, or a test window's
// Pump).
class NullAudio {
public:
    // Without `keep`, nothing is captured: the output has no tap.
    explicit NullAudio(int period = 256, const std::string& recordPath = std::string(),
                       bool setClock = true, bool keep = true)
        : setClock_(setClock) {
        platform::Clock& clock = platform::Clock::Instance();
        if (setClock_) {
            clock.SetVirtual(true, 0);
            clock.RegisterCurrentThread();
        }
        if (keep) {
            platform::wave::SetNullOutputTap([this](const float* frames, int count) {
                std::lock_guard<std::mutex> lock(mutex_);
                captured_.insert(captured_.end(), frames, frames + 2 * count);
            });
        }
        platform::DeviceOptions options;
        options.headless = true;
        options.audioBufferFrames = period;
        options.recordPath = recordPath;
        started_ = platform::wave::StartAudio(options, &error_);
    }
    ~NullAudio() {
        platform::wave::StopAudio();
        platform::wave::SetNullOutputTap(nullptr);
        if (setClock_) {
            platform::Clock::Instance().UnregisterCurrentThread();
        }
    }
    NullAudio(const NullAudio&) = delete;
    NullAudio& operator=(const NullAudio&) = delete;

    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }

    // Lets `ms` of device time pass.
    void Run(unsigned ms) { platform::Clock::Instance().SleepFor(ms * platform::kNsPerMs); }

    // Interleaved stereo frames rendered so far.
    std::vector<float> Captured() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return captured_;
    }
    size_t FramesCaptured() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return captured_.size() / 2;
    }

private:
    bool setClock_;
    bool started_ = false;
    std::string error_;
    mutable std::mutex mutex_;
    std::vector<float> captured_;
};

// Index of the first frame from `from` on whose left or right sample is not silent, or -1.
inline long FirstSound(const std::vector<float>& frames, size_t from = 0, float floor = 1e-6f) {
    for (size_t i = from; i < frames.size() / 2; ++i) {
        if (std::fabs(frames[2 * i]) > floor || std::fabs(frames[2 * i + 1]) > floor) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

// Number of frames in [from, to) that are not silent.
inline size_t SoundingFrames(const std::vector<float>& frames, size_t from = 0,
                             size_t to = SIZE_MAX, float floor = 1e-6f) {
    size_t n = 0;
    to = std::min(to, frames.size() / 2);
    for (size_t i = from; i < to; ++i) {
        if (std::fabs(frames[2 * i]) > floor || std::fabs(frames[2 * i + 1]) > floor) {
            ++n;
        }
    }
    return n;
}

}  // namespace wavetest
