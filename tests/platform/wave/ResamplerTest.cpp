// Converting a buffer to the device rate once: measured for what a listener hears, images and
// false treble above all.
#include "platform/wave/Resampler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/wave/Samples.h"
#include "support/Spectrum.h"
#include "support/WaveTestFiles.h"

using namespace platform::wave;

namespace {

SourceFormat Format(SampleType type, int channels, uint32_t rate) {
    SourceFormat f;
    f.type = type;
    f.channels = channels;
    f.rate = rate;
    f.frameBytes = static_cast<uint32_t>(channels * SampleBytes(type));
    return f;
}

std::vector<float> Convert(const SourceFormat& from, const std::vector<uint8_t>& data) {
    std::vector<float> out;
    EXPECT_TRUE(ResampleToFloat(from, data.data(),
                                static_cast<uint32_t>(data.size() / from.frameBytes), 48000, &out));
    return out;
}

TEST(Resampler, ATonesImageIsFarBelowTheTone) {
    // The cases where play-time interpolation was worst: near the top of a 22.05 kHz file.
    struct Case {
        double hz;
        uint32_t rate;
        double image;
    };
    for (const Case& c : {Case{9000, 22050, 22050 - 9000.0}, Case{5000, 22050, 22050 - 5000.0},
                          Case{15000, 44100, 44100 - 15000.0}}) {
        auto data = wavetest::Sine16(static_cast<int>(c.rate), c.hz, c.rate, 0.5);
        auto out = Convert(Format(SampleType::S16, 1, c.rate), data);
        const double tone = spectrum::ToneDb(out, c.hz, 48000);
        const double image = spectrum::ToneDb(out, c.image, 48000);
        EXPECT_NEAR(tone, 20 * std::log10(0.5), 0.1) << c.hz;
        EXPECT_GE(tone - image, 80.0) << c.hz << " Hz at " << c.rate;
    }
}

TEST(Resampler, ABuiltInWordGainsNoTrebleItsFileDoesNotHave) {
    for (const char* name : {"H1.wav", "H7.wav", "L12.wav"}) {
        std::ifstream in(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/" + name,
                         std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(bytes.size(), 44u) << name;
        std::vector<uint8_t> data(bytes.begin() + 44, bytes.end());
        auto out = Convert(Format(SampleType::S16, 1, 22050), data);
        EXPECT_LE(spectrum::EnergyAboveDb(out, 12000, 48000), -60.0) << name;
    }
}

TEST(Resampler, LengthLevelAndFormatsAreKept) {
    // One second in is one second out, at the same level, whatever the sample type.
    struct Case {
        SampleType type;
        int channels;
        uint32_t rate;
    };
    for (const Case& c : {Case{SampleType::S16, 1, 22050}, Case{SampleType::U8, 2, 11025},
                          Case{SampleType::S24, 2, 96000}, Case{SampleType::F32, 1, 44100},
                          Case{SampleType::S32, 1, 48000}}) {
        const SourceFormat f = Format(c.type, c.channels, c.rate);
        std::vector<uint8_t> data;
        for (uint32_t i = 0; i < c.rate; ++i) {
            const double v = 0.5 * std::sin(2 * M_PI * 440.0 * i / c.rate);
            for (int ch = 0; ch < c.channels; ++ch) {
                uint8_t bytes[4];
                switch (c.type) {
                    case SampleType::U8:
                        bytes[0] = static_cast<uint8_t>(std::lround(128 + 127 * v));
                        break;
                    case SampleType::S16:
                    case SampleType::S24:
                    case SampleType::S32: {
                        const int bits = 8 * SampleBytes(c.type);
                        const int64_t s = std::llround(v * ((int64_t(1) << (bits - 1)) - 1));
                        for (int b = 0; b < bits / 8; ++b) {
                            bytes[b] = static_cast<uint8_t>(s >> (8 * b));
                        }
                        break;
                    }
                    case SampleType::F32: {
                        const float x = static_cast<float>(v);
                        std::memcpy(bytes, &x, 4);
                        break;
                    }
                }
                data.insert(data.end(), bytes, bytes + SampleBytes(c.type));
            }
        }
        auto out = Convert(f, data);
        ASSERT_NEAR(static_cast<double>(out.size() / c.channels), 48000.0, 1.0) << c.rate;
        std::vector<float> left;
        for (size_t i = 0; i < out.size(); i += c.channels) {
            left.push_back(out[i]);
        }
        EXPECT_NEAR(spectrum::RmsDb(left, 2000, 46000), 20 * std::log10(0.5 / std::sqrt(2.0)), 0.1)
            << c.rate;
    }
}

TEST(Resampler, AnEmptyBufferGivesAnEmptyResult) {
    std::vector<float> out{1.0f};
    uint8_t none = 0;
    EXPECT_TRUE(ResampleToFloat(Format(SampleType::S16, 1, 22050), &none, 0, 48000, &out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
