#include "platform/wave/Resampler.h"

#include <soxr.h>

#include <new>

#include "platform/wave/Samples.h"

namespace platform::wave {

namespace {

template <SampleType T>
void ToFloat(const uint8_t* data, size_t samples, float* out) {
    constexpr int kBytes = SampleBytes(T);
    for (size_t i = 0; i < samples; ++i) {
        out[i] = LoadSample<T>(data + i * kBytes);
    }
}

void ToFloat(SampleType type, const uint8_t* data, size_t samples, float* out) {
    switch (type) {
        case SampleType::U8:
            return ToFloat<SampleType::U8>(data, samples, out);
        case SampleType::S16:
            return ToFloat<SampleType::S16>(data, samples, out);
        case SampleType::S24:
            return ToFloat<SampleType::S24>(data, samples, out);
        case SampleType::S32:
            return ToFloat<SampleType::S32>(data, samples, out);
        case SampleType::F32:
            return ToFloat<SampleType::F32>(data, samples, out);
    }
}

}  // namespace

bool ResampleToFloat(const SourceFormat& from, const uint8_t* data, uint32_t frames, uint32_t rate,
                     std::vector<float>* out) {
    out->clear();
    if (from.channels < 1 || from.rate == 0 || rate == 0) {
        return false;
    }
    const size_t channels = static_cast<size_t>(from.channels);
    try {
        std::vector<float> in(static_cast<size_t>(frames) * channels);
        ToFloat(from.type, data, in.size(), in.data());
        if (from.rate == rate) {
            *out = std::move(in);
            return true;
        }
        // Sized for the ratio plus a margin; every input frame must be used.
        const size_t capacity =
            static_cast<size_t>(static_cast<uint64_t>(frames) * rate / from.rate) + 64;
        out->resize(capacity * channels);
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // the caller's thread only
        size_t used = 0, made = 0;
        const soxr_error_t error =
            soxr_oneshot(from.rate, rate, static_cast<unsigned>(channels), in.data(), frames, &used,
                         out->data(), capacity, &made, &io, &quality, &runtime);
        if (error || used != frames) {
            out->clear();
            return false;
        }
        out->resize(made * channels);
        return true;
    } catch (const std::bad_alloc&) {
        out->clear();
        return false;
    }
}

}  // namespace platform::wave
