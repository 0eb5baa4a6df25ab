#include "platform/wave/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/wave/Samples.h"

namespace platform::wave {

namespace {

constexpr size_t kCommandCapacity = 4096;

// Adds `count` frames from `data` to out: interleaved stereo for a stereo source, one channel
// for a mono one (the mixer sums mono voices apart and spreads them to both channels once).
// Without a ramp the gain is a constant, so no float chain runs from one frame to the next.
template <SampleType T, int C, bool kRamp>
inline void AddFrames(const uint8_t* data, int count, float* out, float& gain, float gainStep) {
    constexpr int kBytes = SampleBytes(T);
    float g = gain;
    for (int k = 0; k < count; ++k) {
        const uint8_t* a = data + static_cast<size_t>(k) * kBytes * C;
        if constexpr (kRamp) {
            g += gainStep;
        }
        if constexpr (C == 2) {
            out[2 * k] += LoadSample<T>(a) * g;
            out[2 * k + 1] += LoadSample<T>(a + kBytes) * g;
        } else {
            out[k] += LoadSample<T>(a) * g;
        }
    }
    gain = g;
}

template <SampleType T, int C>
float MixSpan(const uint8_t* data, int count, float* out, float gain, float gainStep) {
    if (gainStep == 0.0f) {
        AddFrames<T, C, false>(data, count, out, gain, gainStep);
    } else {
        AddFrames<T, C, true>(data, count, out, gain, gainStep);
    }
    return gain;
}

using MixFn = float (*)(const uint8_t*, int, float*, float, float);

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
    : deviceRate_(deviceRate),
      notices_(notices),
      commands_(kCommandCapacity),
      limiter_(deviceRate) {}

bool Mixer::Post(const Command& command) {
    const bool queued = commands_.TryPush(command);
    // Both sides change asleep_ with a read-modify-write, so the two are ordered: either this one
    // comes later and sees the output asleep, or the output's comes later and sees this command.
    if (asleep_.fetch_add(0, std::memory_order_acq_rel) != 0 && wake_) {
        wake_();
    }
    return queued;
}

void Mixer::SetAsleep(bool asleep) {
    asleep_.exchange(asleep ? 1u : 0u, std::memory_order_acq_rel);
}

void Mixer::Render(float* out, int frames) {
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kMaxChunkFrames);
        RenderChunk(out + 2 * done, n);
        done += n;
    }
    if (FrameRing* tap = tap_.load(std::memory_order_acquire)) {
        tap->Push(out, frames);
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
        out[2 * i] += mono_[i];
        out[2 * i + 1] += mono_[i];
    }
    limiter_.Process(out, frames);
}

void Mixer::Apply(const Command& c) {
    MixerVoice& v = *c.voice;
    switch (c.kind) {
        case Command::Add:
            if (v.slot_ < 0 && active_ < kMaxVoices) {
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
        if (v.pos_ < b.frames) {
            const int count = static_cast<int>(
                std::min<uint64_t>(b.frames - v.pos_, static_cast<uint64_t>(frames - done)));
            gain = mix(b.data + static_cast<size_t>(v.pos_) * v.format_.frameBytes, count,
                       out + v.format_.channels * done, gain, gainStep);
            v.pos_ += static_cast<uint32_t>(count);
            done += count;
        }
        if (v.pos_ >= b.frames) {
            v.pos_ = 0;
            v.head_ = (v.head_ + 1) % kBuffersPerVoice;
            --v.count_;
            SendNotice(v, b.serial);
        }
    }
    v.sounding_ = done > 0;
    v.gain_ = done == frames ? target : gain;
}

}  // namespace platform::wave
