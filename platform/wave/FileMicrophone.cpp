// A sound file as the microphone: decoded once, converted to each opening's format, and played
// from its start at every Start on the device clock, in 10 ms periods, then silence. In virtual
// time a recording is exact: the frames delivered by a moment are those the file has up to it.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/WideString.h"
#include "platform/wave/Microphone.h"
#include "platform/wave/Resampler.h"

namespace platform::wave {

struct MicrophoneFile {
    std::string path;
    std::vector<float> samples;  // interleaved
    int channels = 1;
    uint32_t rate = 0;
};

namespace {

constexpr TimeNs kPeriod = 10 * kNsPerMs;

uint32_t ReadLe(const uint8_t* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

class FileMicrophone final : public Microphone {
public:
    FileMicrophone(std::vector<int16_t> samples, uint32_t rate, int channels)
        : samples_(std::move(samples)), rate_(rate), channels_(channels) {}
    ~FileMicrophone() override { Stop(); }

    void Start(CaptureSink deliver) override {
        Stop();
        deliver_ = std::move(deliver);
        start_ = Clock::Instance().Now();
        delivered_ = 0;
        stop_ = false;
        thread_ = Clock::StartThread([this] { Run(); });
    }

    void Stop() override {
        if (!thread_.joinable()) {
            return;
        }
        stop_ = true;
        Clock::Instance().Notify();
        thread_.join();
        // What the file held up to this moment is recorded too.
        DeliverUntil(Clock::Instance().Now());
        deliver_ = nullptr;
    }

private:
    void Run() {
        Clock& clock = Clock::Instance();
        for (TimeNs next = start_ + kPeriod;; next += kPeriod) {
            if (clock.WaitUntil(next, [this] { return stop_.load(); })) {
                return;
            }
            DeliverUntil(next);
        }
    }

    // Delivers every frame due by device time `now`, from the file and then silence.
    void DeliverUntil(TimeNs now) {
        const uint64_t due = (now - start_) * rate_ / 1000000000u;
        std::vector<int16_t> chunk;
        while (delivered_ < due) {
            const uint64_t frames = std::min<uint64_t>(due - delivered_, rate_ / 10 + 1);
            chunk.assign(frames * channels_, 0);
            const uint64_t from = delivered_ * channels_;
            if (from < samples_.size()) {
                const size_t count = std::min<size_t>(chunk.size(), samples_.size() - from);
                std::copy_n(samples_.begin() + static_cast<ptrdiff_t>(from), count, chunk.begin());
            }
            deliver_(chunk.data(), static_cast<uint32_t>(frames));
            delivered_ += frames;
        }
    }

    const std::vector<int16_t> samples_;
    const uint32_t rate_;
    const int channels_;
    // Set by Start before the thread starts and read by it until Stop has joined it.
    CaptureSink deliver_;
    TimeNs start_ = 0;
    uint64_t delivered_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::shared_ptr<const MicrophoneFile> DecodeMicrophoneFile(const std::string& path,
                                                           std::string* error) {
    SNDDECODE decode{};
    decode.targetLufs = SND_KEEP_LOUDNESS;
    decode.maxSeconds = 3600;
    decode.maxChannels = 64;
    DWORD size = 0;
    LPBYTE image = SndDecodeFile(FromUtf8(path).c_str(), &decode, &size);
    if (!image) {
        *error = path + ": " + ToUtf8(decode.reason);
        return nullptr;
    }
    // A canonical 44-byte header of 32-bit float samples, mono or stereo.
    auto file = std::make_shared<MicrophoneFile>();
    file->path = path;
    file->channels = static_cast<int>(ReadLe(image + 22, 2));
    file->rate = ReadLe(image + 24, 4);
    file->samples.resize((size - 44) / sizeof(float));
    std::memcpy(file->samples.data(), image + 44, file->samples.size() * sizeof(float));
    SndFreeImage(image);
    return file;
}

std::unique_ptr<Microphone> OpenFileMicrophone(std::shared_ptr<const MicrophoneFile> file,
                                               uint32_t rate, int channels, MMRESULT* code,
                                               std::string* reason) {
    // The file's channels as asked: a mono file on both sides, a stereo one mixed for mono.
    const size_t frames = file->samples.size() / file->channels;
    std::vector<float> shaped(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const float* in = &file->samples[i * file->channels];
        for (int c = 0; c < channels; ++c) {
            shaped[i * channels + c] = file->channels == channels ? in[c]
                                       : channels == 1            ? (in[0] + in[1]) * 0.5f
                                                                  : in[0];
        }
    }
    std::vector<float> converted;
    if (rate == file->rate) {
        converted = std::move(shaped);
    } else {
        SourceFormat format;
        format.type = SampleType::F32;
        format.channels = channels;
        format.rate = file->rate;
        format.frameBytes = static_cast<uint32_t>(channels * sizeof(float));
        if (!frames || !ResampleToFloat(format, reinterpret_cast<const uint8_t*>(shaped.data()),
                                        static_cast<uint32_t>(frames), rate, &converted)) {
            converted.clear();
        }
        if (frames && converted.empty()) {
            *code = MMSYSERR_NOMEM;
            *reason = file->path + ": cannot convert it to " + std::to_string(rate) + " Hz";
            return nullptr;
        }
    }
    std::vector<int16_t> samples(converted.size());
    std::transform(converted.begin(), converted.end(), samples.begin(), [](float v) {
        return static_cast<int16_t>(
            std::lround(std::clamp(v, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
    });
    return std::make_unique<FileMicrophone>(std::move(samples), rate, channels);
}

}  // namespace platform::wave
