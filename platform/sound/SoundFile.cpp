// Kit files: found by stem, decoded by libsndfile, their loudness measured with libebur128 and
// matched, handed back as WAV file images so that they play exactly as the built-in files do.
#include <ebur128.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/kernel/Files.h"
#include "platform/kernel/WideString.h"
#include "platform/sound/WaveImage.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kHeaderBytes = platform::sound::kWaveHeaderBytes;
// Integrated loudness gates in 400 ms blocks: a shorter word would measure as silence.
constexpr double kGateSeconds = 0.4;
// Never more than this louder, and never so loud that the peak comes within 1 dB of full scale.
constexpr float kMaxBoostDb = 24.0f;
constexpr float kPeakCeilingDb = -1.0f;

void SetReason(SNDDECODE* d, std::string text) {
    // libsndfile's messages end in a full stop; ours go on after them.
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    const std::wstring wide = platform::FromUtf8(text);
    StringCchCopyW(d->reason, sizeof(d->reason) / sizeof(d->reason[0]), wide.c_str());
}

// libsndfile reads from our descriptor, opened as every read file is, and leaves it to us.
struct SndFile {
    int fd = -1;
    SNDFILE* file = nullptr;
    ~SndFile() {
        if (file) {
            sf_close(file);
        }
        if (fd >= 0) {
            close(fd);
        }
    }
};

struct Meter {
    ebur128_state* state = nullptr;
    ~Meter() {
        if (state) {
            ebur128_destroy(&state);
        }
    }
};

// Loudness as played: a mono word sounds from both speakers. Short words are measured over their
// whole length instead of through the gate.
double MeasureLufs(const float* samples, size_t frames, int channels, int rate) {
    const double seconds = static_cast<double>(frames) / rate;
    Meter meter;
    meter.state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                               EBUR128_MODE_I);
    if (!meter.state) {
        return -HUGE_VAL;
    }
    if (channels == 1) {
        ebur128_set_channel(meter.state, 0, EBUR128_DUAL_MONO);
    }
    const unsigned long windowMs =
        std::max(1ul, static_cast<unsigned long>(std::floor(seconds * 1000)));
    if (seconds < kGateSeconds) {
        ebur128_set_max_window(meter.state, windowMs);
    }
    ebur128_add_frames_float(meter.state, samples, frames);
    double lufs = -HUGE_VAL;
    if (seconds < kGateSeconds) {
        if (ebur128_loudness_window(meter.state, windowMs, &lufs) != EBUR128_SUCCESS) {
            lufs = -HUGE_VAL;
        }
    } else if (ebur128_loudness_global(meter.state, &lufs) != EBUR128_SUCCESS) {
        lufs = -HUGE_VAL;
    }
    return std::isfinite(lufs) ? lufs : -HUGE_VAL;
}

}  // namespace

BOOL SndFindFile(LPCWSTR folder, LPCWSTR stem, LPWSTR path, UINT cchPath, SNDSKIPPROC skipped,
                 LPVOID context) {
    if (!folder || !stem || !path || cchPath == 0) {
        return FALSE;
    }
    path[0] = L'\0';
    const std::string prefix = platform::ToUtf8(stem) + ".";
    std::error_code ec;
    std::vector<std::string> named;
    for (fs::directory_iterator it(fs::path(platform::ToUtf8(folder)), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            named.push_back(name);
        }
    }
    std::sort(named.begin(), named.end());
    bool found = false;
    for (const std::string& name : named) {
        const std::wstring full = std::wstring(folder) + platform::FromUtf8(name);
        // Only looked at, never opened: a named pipe would block, a device may never end.
        std::string reason;
        const bool regular = platform::IsRegularFile(platform::ToUtf8(full), &reason);
        if (regular && found) {
            continue;  // a second file of the word: the first one is it
        }
        if (regular && full.size() < cchPath) {
            found = SUCCEEDED(StringCchCopyW(path, cchPath, full.c_str()));
            continue;
        }
        if (regular) {
            reason = "its path is longer than " + std::to_string(cchPath - 1) + " characters";
        }
        if (skipped) {
            skipped(full.c_str(), platform::FromUtf8(reason).c_str(), context);
        }
    }
    return found ? TRUE : FALSE;
}

LPBYTE SndReadFile(LPCWSTR path, DWORD maxBytes, LPDWORD size, LPWSTR reason, UINT cchReason) {
    if (!path || !size || !reason || cchReason == 0) {
        return nullptr;
    }
    *size = 0;
    reason[0] = L'\0';
    std::string text;
    platform::ReadableFile failure;
    if (!platform::ReadWholeFile(platform::ToUtf8(path), maxBytes, &text, &failure)) {
        if (!failure.missing) {
            StringCchCopyW(reason, cchReason, platform::FromUtf8(failure.reason).c_str());
        }
        return nullptr;
    }
    BYTE* bytes = new (std::nothrow) BYTE[text.size()];
    if (!bytes) {
        StringCchCopyW(reason, cchReason, L"is too large for the memory left");
        return nullptr;
    }
    std::memcpy(bytes, text.data(), text.size());
    *size = static_cast<DWORD>(text.size());
    return bytes;
}

LPBYTE SndDecodeFile(LPCWSTR path, SNDDECODE* d, LPDWORD size) {
    if (!d || !size) {
        return nullptr;
    }
    *size = 0;
    d->reason[0] = L'\0';
    d->loudnessLufs = -HUGE_VALF;
    d->gainDb = 0.0f;
    if (!path) {
        SetReason(d, "no file");
        return nullptr;
    }
    const platform::ReadableFile file = platform::OpenForReading(platform::ToUtf8(path));
    if (file.fd < 0) {
        SetReason(d, file.reason);
        return nullptr;
    }
    SF_INFO info{};
    SndFile in;
    in.fd = file.fd;
    in.file = sf_open_fd(file.fd, SFM_READ, &info, SF_FALSE);
    if (!in.file) {
        SetReason(d, std::string("does not decode: ") + sf_strerror(nullptr));
        return nullptr;
    }
    if (info.channels < 1 || info.channels > static_cast<int>(d->maxChannels)) {
        SetReason(d, "has " + std::to_string(info.channels) + " channels (at most " +
                         std::to_string(d->maxChannels) + ")");
        return nullptr;
    }
    if (info.samplerate < 4000 || info.samplerate > 192000) {
        SetReason(d,
                  "has a rate of " + std::to_string(info.samplerate) + " Hz (4000 to 192000 play)");
        return nullptr;
    }
    // Checked before anything is allocated: a damaged header must not ask for gigabytes.
    const sf_count_t limit = static_cast<sf_count_t>(d->maxSeconds) * info.samplerate;
    if (info.frames > limit) {
        char text[96];
        std::snprintf(text, sizeof text, "lasts %.1f s (at most %u s)",
                      static_cast<double>(info.frames) / info.samplerate,
                      static_cast<unsigned>(d->maxSeconds));
        SetReason(d, text);
        return nullptr;
    }
    const int channels = info.channels;
    const int outChannels = channels <= 2 ? channels : 1;
    std::vector<float> samples;
    try {
        std::vector<float> raw(static_cast<size_t>(std::max<sf_count_t>(info.frames, 0)) *
                               static_cast<size_t>(channels));
        const sf_count_t got =
            info.frames > 0 ? sf_readf_float(in.file, raw.data(), info.frames) : 0;
        if (got <= 0) {
            SetReason(d, info.frames > 0 ? std::string("does not decode: ") + sf_strerror(in.file)
                                         : std::string("holds no sound"));
            return nullptr;
        }
        if (got < info.frames) {
            char text[96];
            std::snprintf(text, sizeof text, "is damaged: only %.2f of %.2f s decode",
                          static_cast<double>(got) / info.samplerate,
                          static_cast<double>(info.frames) / info.samplerate);
            SetReason(d, text);
            return nullptr;
        }
        const size_t frames = static_cast<size_t>(got);
        if (channels <= 2) {
            raw.resize(frames * static_cast<size_t>(channels));
            samples = std::move(raw);
        } else {
            samples.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c) {
                    sum += raw[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
                }
                samples[i] = sum / static_cast<float>(channels);
            }
        }
    } catch (const std::bad_alloc&) {
        SetReason(d, "is too large for the memory left");
        return nullptr;
    }
    float peak = 0.0f;
    for (float& s : samples) {
        if (!std::isfinite(s)) {
            s = 0.0f;  // a damaged float file must not poison the mix
        }
        peak = std::max(peak, std::fabs(s));
    }
    const size_t frames = samples.size() / static_cast<size_t>(outChannels);
    const double lufs = MeasureLufs(samples.data(), frames, outChannels, info.samplerate);
    d->loudnessLufs = static_cast<float>(lufs);
    if (d->targetLufs != SND_KEEP_LOUDNESS && std::isfinite(lufs) && peak > 0.0f) {
        const float headroom = kPeakCeilingDb - 20.0f * std::log10(peak);
        const float gain =
            std::min({static_cast<float>(d->targetLufs - lufs), headroom, kMaxBoostDb});
        const float factor = std::pow(10.0f, gain / 20.0f);
        for (float& s : samples) {
            s *= factor;
        }
        d->gainDb = gain;
    }
    const size_t dataBytes = samples.size() * sizeof(float);
    BYTE* image = new (std::nothrow) BYTE[kHeaderBytes + dataBytes];
    if (!image) {
        SetReason(d, "is too large for the memory left");
        return nullptr;
    }
    platform::sound::PutWaveHeader(
        image, WAVE_FORMAT_IEEE_FLOAT, static_cast<unsigned>(outChannels),
        static_cast<unsigned>(info.samplerate), 32, static_cast<uint32_t>(dataBytes));
    std::memcpy(image + kHeaderBytes, samples.data(), dataBytes);
    *size = static_cast<DWORD>(kHeaderBytes + dataBytes);
    return image;
}

void SndFreeImage(LPBYTE image) {
    delete[] image;
}
