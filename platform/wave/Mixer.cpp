#include "platform/wave/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::wave {

namespace {

constexpr size_t kCommandCapacity = 4096;
constexpr uint64_t kOne = uint64_t(1) << 32;
constexpr float kFracScale = 1.0f / 4294967296.0f;

template <SampleType T>
inline float Load(const uint8_t* p) {
    if constexpr (T == SampleType::U8) {
        return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    } else if constexpr (T == SampleType::S16) {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v * (1.0f / 32768.0f);
    } else if constexpr (T == SampleType::S24) {
        int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                         static_cast<uint32_t>(p[1]) << 16 |
                                         static_cast<uint32_t>(p[2]) << 24) >>
                    8;
        return v * (1.0f / 8388608.0f);
    } else if constexpr (T == SampleType::S32) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<float>(v) * (1.0f / 2147483648.0f);
    } else {
        float v;
        std::memcpy(&v, p, 4);
        // Non-finite or absurd samples would poison every voice in the sum.
        return std::fabs(v) <= 64.0f ? v : 0.0f;
    }
}

constexpr int SampleBytes(SampleType t) {
    return t == SampleType::U8 ? 1 : t == SampleType::S16 ? 2 : t == SampleType::S24 ? 3 : 4;
}

struct Span {
    const uint8_t* data;
    uint32_t frames;
    float nextLeft;  // the frame after the last one, for interpolation across buffers
    float nextRight;
};

// Adds `count` frames whose source frame and the one after it both lie in `data`. Without a ramp
// the gain is a constant, so no float chain runs from one frame to the next.
template <SampleType T, int C, bool kRamp>
inline void MixInside(const uint8_t* data, uint64_t& pos, uint64_t step, int count, float* out,
                      float& gain, float gainStep) {
    constexpr int kBytes = SampleBytes(T);
    constexpr int kFrameBytes = kBytes * C;
    uint64_t p = pos;
    float g = gain;
    for (int k = 0; k < count; ++k) {
        const uint8_t* a = data + static_cast<size_t>(p >> 32) * kFrameBytes;
        const float f = static_cast<float>(static_cast<uint32_t>(p)) * kFracScale;
        if constexpr (kRamp) {
            g += gainStep;
        }
        const float l0 = Load<T>(a);
        const float l1 = Load<T>(a + kFrameBytes);
        const float l = (l0 + (l1 - l0) * f) * g;
        if constexpr (C == 2) {
            const float r0 = Load<T>(a + kBytes);
            const float r1 = Load<T>(a + kFrameBytes + kBytes);
            out[2 * k] += l;
            out[2 * k + 1] += (r0 + (r1 - r0) * f) * g;
        } else {
            out[k] += l;
        }
        p += step;
    }
    pos = p;
    gain = g;
}

// Adds `count` output frames of one buffer, linearly interpolated, to out: interleaved stereo
// for a stereo source, one channel for a mono one (the mixer sums mono voices apart and spreads
// them to both channels once). Returns the gain reached.
template <SampleType T, int C>
float MixSpan(const Span& span, uint64_t& pos, uint64_t step, int count, float* out, float gain,
              float gainStep) {
    // Frames before the buffer's last one interpolate inside it; the rest look at `next`.
    const uint64_t inside = static_cast<uint64_t>(span.frames - 1) << 32;
    int fast = 0;
    if (pos < inside) {
        fast = static_cast<int>(std::min<uint64_t>(count, (inside - pos + step - 1) / step));
    }
    if (gainStep == 0.0f) {
        MixInside<T, C, false>(span.data, pos, step, fast, out, gain, gainStep);
    } else {
        MixInside<T, C, true>(span.data, pos, step, fast, out, gain, gainStep);
    }
    constexpr int kBytes = SampleBytes(T);
    for (int k = fast; k < count; ++k) {
        const uint8_t* a = span.data + static_cast<size_t>(pos >> 32) * kBytes * C;
        const float f = static_cast<float>(static_cast<uint32_t>(pos)) * kFracScale;
        const float l0 = Load<T>(a);
        gain += gainStep;
        if constexpr (C == 2) {
            const float r0 = Load<T>(a + kBytes);
            out[2 * k] += (l0 + (span.nextLeft - l0) * f) * gain;
            out[2 * k + 1] += (r0 + (span.nextRight - r0) * f) * gain;
        } else {
            out[k] += (l0 + (span.nextLeft - l0) * f) * gain;
        }
        pos += step;
    }
    return gain;
}

using MixFn = float (*)(const Span&, uint64_t&, uint64_t, int, float*, float, float);

MixFn PickMix(const SourceFormat& f) {
    const bool stereo = f.channels == 2;
    switch (f.type) {
        case SampleType::U8:
            return stereo ? MixSpan<SampleType::U8, 2> : MixSpan<SampleType::U8, 1>;
        case SampleType::S16:
            return stereo ? MixSpan<SampleType::S16, 2> : MixSpan<SampleType::S16, 1>;
        case SampleType::S24:
            return stereo ? MixSpan<SampleType::S24, 2> : MixSpan<SampleType::S24, 1>;
        case SampleType::S32:
            return stereo ? MixSpan<SampleType::S32, 2> : MixSpan<SampleType::S32, 1>;
        case SampleType::F32:
            return stereo ? MixSpan<SampleType::F32, 2> : MixSpan<SampleType::F32, 1>;
    }
    return nullptr;
}

void FirstFrame(const SourceFormat& f, const uint8_t* p, float* left, float* right) {
    float s[2] = {0, 0};
    const int bytes = static_cast<int>(f.frameBytes) / f.channels;
    for (int c = 0; c < f.channels; ++c) {
        const uint8_t* q = p + c * bytes;
        switch (f.type) {
            case SampleType::U8:
                s[c] = Load<SampleType::U8>(q);
                break;
            case SampleType::S16:
                s[c] = Load<SampleType::S16>(q);
                break;
            case SampleType::S24:
                s[c] = Load<SampleType::S24>(q);
                break;
            case SampleType::S32:
                s[c] = Load<SampleType::S32>(q);
                break;
            case SampleType::F32:
                s[c] = Load<SampleType::F32>(q);
                break;
        }
    }
    *left = s[0];
    *right = f.channels == 2 ? s[1] : s[0];
}

}  // namespace

bool ParseFormat(const WAVEFORMATEX& format, SourceFormat* out) {
    if (format.nChannels < 1 || format.nChannels > 2) {
        return false;
    }
    if (format.nSamplesPerSec < 4000 || format.nSamplesPerSec > 192000) {
        return false;
    }
    SourceFormat f;
    f.channels = format.nChannels;
    f.rate = format.nSamplesPerSec;
    if (format.wFormatTag == WAVE_FORMAT_PCM) {
        switch (format.wBitsPerSample) {
            case 8:
                f.type = SampleType::U8;
                break;
            case 16:
                f.type = SampleType::S16;
                break;
            case 24:
                f.type = SampleType::S24;
                break;
            case 32:
                f.type = SampleType::S32;
                break;
            default:
                return false;
        }
    } else if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 32) {
        f.type = SampleType::F32;
    } else {
        return false;
    }
    f.frameBytes = static_cast<uint32_t>(format.wBitsPerSample / 8 * format.nChannels);
    if (format.nBlockAlign != f.frameBytes) {
        return false;
    }
    *out = f;
    return true;
}

MixerVoice::MixerVoice(const SourceFormat& format) : format_(format) {}

Mixer::Mixer(uint32_t deviceRate, BoundedQueue<Notice>* notices)
    : deviceRate_(deviceRate), notices_(notices), commands_(kCommandCapacity) {}

bool Mixer::Post(const Command& command) {
    const bool queued = commands_.TryPush(command);
    // Pairs with the fence in SetAsleep: either the output sees this command, or this sees it
    // asleep and wakes it.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (asleep_.load(std::memory_order_relaxed) && wake_) {
        wake_();
    }
    return queued;
}

void Mixer::SetAsleep(bool asleep) {
    asleep_.store(asleep, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

void Mixer::Render(float* out, int frames) {
    while (frames > 0) {
        const int n = std::min(frames, kMaxChunkFrames);
        RenderChunk(out, n);
        out += 2 * n;
        frames -= n;
    }
}

void Mixer::RenderChunk(float* out, int frames) {
    Command command;
    while (commands_.TryPop(&command)) {
        Apply(command);
    }
    std::fill(out, out + 2 * frames, 0.0f);
    std::fill(mono_, mono_ + frames, 0.0f);
    bool playing = false;
    for (int i = 0; i < active_; ++i) {
        MixerVoice& v = *voices_[i];
        // Notices that found the queue full last time.
        int unsent = v.unsentCount_;
        v.unsentCount_ = 0;
        for (int k = 0; k < unsent; ++k) {
            SendNotice(v, v.unsent_[k]);
        }
        MixVoice(v, v.format_.channels == 1 ? mono_ : out, frames);
        playing |= v.sounding_ || (v.count_ > 0 && !v.paused_) || v.unsentCount_ > 0;
    }
    quietFrames_.store(playing ? 0 : quietFrames_.load(std::memory_order_relaxed) + frames,
                       std::memory_order_relaxed);
    for (int i = 0; i < frames; ++i) {
        out[2 * i] = std::min(1.0f, std::max(-1.0f, out[2 * i] + mono_[i]));
        out[2 * i + 1] = std::min(1.0f, std::max(-1.0f, out[2 * i + 1] + mono_[i]));
    }
}

void Mixer::Apply(const Command& c) {
    MixerVoice& v = *c.voice;
    switch (c.kind) {
        case Command::Add:
            if (v.slot_ < 0 && active_ < kMaxVoices) {
                v.step_ = (static_cast<uint64_t>(v.format_.rate) << 32) / deviceRate_;
                v.slot_ = active_;
                voices_[active_++] = &v;
            }
            break;
        case Command::Remove:
            if (v.slot_ >= 0) {
                MixerVoice* moved = voices_[--active_];
                voices_[v.slot_] = moved;
                moved->slot_ = v.slot_;
                voices_[active_] = nullptr;
                v.slot_ = -1;
            }
            v.count_ = 0;
            v.unsentCount_ = 0;
            v.acked.store(c.serial, std::memory_order_release);
            break;
        case Command::Write:
            if (v.count_ < kBuffersPerVoice) {
                v.buffers_[(v.head_ + v.count_) % kBuffersPerVoice] = {c.data, c.frames, c.serial};
                ++v.count_;
            }
            break;
        case Command::Reset:
            v.count_ = 0;
            v.head_ = 0;
            v.pos_ = 0;
            v.paused_ = false;
            v.unsentCount_ = 0;  // their buffers were returned by the reset
            break;
        case Command::Pause:
            v.paused_ = true;
            break;
        case Command::Restart:
            v.paused_ = false;
            break;
        case Command::Fence:
            v.acked.store(c.serial, std::memory_order_release);
            break;
    }
}

void Mixer::SendNotice(MixerVoice& v, uint64_t serial) {
    v.noticesInFlight.fetch_add(1, std::memory_order_relaxed);
    Notice n;
    n.kind = Notice::Played;
    n.voice = &v;
    n.serial = serial;
    if (!notices_->TryPush(n)) {
        v.noticesInFlight.fetch_sub(1, std::memory_order_relaxed);
        if (v.unsentCount_ < kBuffersPerVoice) {
            v.unsent_[v.unsentCount_++] = serial;
        }
    }
}

void Mixer::MixVoice(MixerVoice& v, float* out, int frames) {
    const float target =
        static_cast<float>(v.volume.load(std::memory_order_relaxed) & 0xFFFF) * (1.0f / 65535.0f);
    if (v.paused_ || v.count_ == 0) {
        v.sounding_ = false;
        v.gain_ = target;
        return;
    }
    // A volume change while sounding ramps over the chunk instead of stepping (no click).
    float gain = v.sounding_ ? v.gain_ : target;
    const float gainStep = (target - gain) / static_cast<float>(frames);
    const MixFn mix = PickMix(v.format_);
    int done = 0;
    while (done < frames && v.count_ > 0) {
        const MixerVoice::Buffer& b = v.buffers_[v.head_];
        const uint64_t end = static_cast<uint64_t>(b.frames) << 32;
        if (v.pos_ < end) {
            const uint64_t left = (end - v.pos_ + v.step_ - 1) / v.step_;
            const int count = static_cast<int>(std::min<uint64_t>(left, frames - done));
            Span span{b.data, b.frames, 0.0f, 0.0f};
            if (v.count_ > 1) {
                const MixerVoice::Buffer& next = v.buffers_[(v.head_ + 1) % kBuffersPerVoice];
                if (next.frames > 0) {
                    FirstFrame(v.format_, next.data, &span.nextLeft, &span.nextRight);
                }
            }
            gain =
                mix(span, v.pos_, v.step_, count, out + v.format_.channels * done, gain, gainStep);
            done += count;
        }
        if (v.pos_ >= end) {
            v.pos_ -= end;
            v.head_ = (v.head_ + 1) % kBuffersPerVoice;
            --v.count_;
            if (v.count_ == 0) {
                v.pos_ = 0;
            }
            SendNotice(v, b.serial);
        }
    }
    v.sounding_ = done > 0;
    v.gain_ = done == frames ? target : gain;
}

}  // namespace platform::wave
