// The mixer driven directly, one chunk at a time, as an output's audio thread would.
#include "platform/wave/Mixer.h"

#include "platform/wave/Resampler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "support/WaveTestFiles.h"

using namespace platform::wave;

namespace {

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits, WORD tag = WAVE_FORMAT_PCM) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class MixerTest : public ::testing::Test {
protected:
    MixerVoice* NewVoice(const WAVEFORMATEX& format) {
        SourceFormat parsed;
        EXPECT_TRUE(ParseFormat(format, &parsed));
        voices_.push_back(std::make_unique<MixerVoice>(parsed));
        Post(Command::Add, voices_.back().get());
        return voices_.back().get();
    }
    void Post(Command::Kind kind, MixerVoice* v, const std::vector<uint8_t>* data = nullptr,
              uint64_t serial = 0) {
        Command c;
        c.kind = kind;
        c.voice = v;
        c.serial = serial;
        if (data) {
            c.data = data->data();
            c.frames = static_cast<uint32_t>(data->size() / v->Format().frameBytes);
        }
        ASSERT_TRUE(mixer_.Post(c));
    }
    std::vector<float> Render(int frames) {
        std::vector<float> out(static_cast<size_t>(frames) * 2, 99.0f);
        mixer_.Render(out.data(), frames);
        return out;
    }
    std::vector<uint64_t> PlayedSerials() {
        std::vector<uint64_t> serials;
        Notice n;
        while (notices_.TryPop(&n)) {
            EXPECT_EQ(n.kind, Notice::Played);
            serials.push_back(n.serial);
            n.voice->noticesInFlight.fetch_sub(1);
        }
        return serials;
    }

    BoundedQueue<Notice> notices_{1024};
    Mixer mixer_{48000, &notices_};
    std::vector<std::unique_ptr<MixerVoice>> voices_;
};

TEST(MixerFormat, AcceptsThePlayableFormatsOnly) {
    SourceFormat f;
    EXPECT_TRUE(ParseFormat(Pcm(1, 22050, 16), &f));
    EXPECT_EQ(f.frameBytes, 2u);
    EXPECT_TRUE(ParseFormat(Pcm(2, 44100, 24), &f));
    EXPECT_EQ(f.frameBytes, 6u);
    EXPECT_TRUE(ParseFormat(Pcm(2, 4000, 8), &f));
    EXPECT_TRUE(ParseFormat(Pcm(1, 192000, 32), &f));
    EXPECT_TRUE(ParseFormat(Pcm(2, 48000, 32, WAVE_FORMAT_IEEE_FLOAT), &f));
    EXPECT_EQ(f.type, SampleType::F32);

    EXPECT_FALSE(ParseFormat(Pcm(3, 44100, 16), &f));
    EXPECT_FALSE(ParseFormat(Pcm(0, 44100, 16), &f));
    EXPECT_FALSE(ParseFormat(Pcm(1, 3999, 16), &f));
    EXPECT_FALSE(ParseFormat(Pcm(1, 192001, 16), &f));
    EXPECT_FALSE(ParseFormat(Pcm(1, 44100, 12), &f));
    EXPECT_FALSE(ParseFormat(Pcm(1, 44100, 64, WAVE_FORMAT_IEEE_FLOAT), &f));
    EXPECT_FALSE(ParseFormat(Pcm(1, 44100, 16, 2), &f));  // ADPCM
    WAVEFORMATEX badAlign = Pcm(2, 44100, 16);
    badAlign.nBlockAlign = 2;
    EXPECT_FALSE(ParseFormat(badAlign, &f));
}

TEST_F(MixerTest, MonoWordIsSpreadToBothChannelsAtItsLevelForItsLength) {
    const int frames = 48000;  // one second
    auto data = wavetest::Level16(frames, 16384);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &data, 7);
    auto out = Render(50000);
    EXPECT_EQ(wavetest::SoundingFrames(out), 48000u);
    EXPECT_EQ(wavetest::FirstSound(out), 0);
    EXPECT_FLOAT_EQ(out[2 * 1000], 0.5f);
    EXPECT_FLOAT_EQ(out[2 * 1000 + 1], 0.5f);
    EXPECT_FLOAT_EQ(out[2 * 47999], 0.5f);
    EXPECT_EQ(out[2 * 48000], 0.0f);
    EXPECT_EQ(PlayedSerials(), std::vector<uint64_t>{7});
}

TEST_F(MixerTest, AConvertedVoiceIsContinuousAcrossPeriods) {
    // A 22.05 kHz word as waveOut hands it over: converted once, then only summed.
    auto source = wavetest::Sine16(22050, 441.0, 22050, 0.5);
    SourceFormat from;
    ASSERT_TRUE(ParseFormat(Pcm(1, 22050, 16), &from));
    std::vector<float> converted;
    ASSERT_TRUE(ResampleToFloat(from, source.data(), 22050, 48000, &converted));
    std::vector<uint8_t> data(converted.size() * 4);
    std::memcpy(data.data(), converted.data(), data.size());
    MixerVoice* a = NewVoice(Pcm(1, 48000, 32, WAVE_FORMAT_IEEE_FLOAT));
    Post(Command::Write, a, &data, 1);
    std::vector<float> pieces;
    for (int i = 0; i < 100; ++i) {
        auto p = Render(97);  // an odd period that never lines up with anything
        pieces.insert(pieces.end(), p.begin(), p.end());
    }
    for (size_t i = 0; i < 9700; ++i) {
        ASSERT_FLOAT_EQ(pieces[2 * i], converted[i]) << "frame " << i;
        ASSERT_FLOAT_EQ(pieces[2 * i + 1], converted[i]) << "frame " << i;
    }
}

TEST_F(MixerTest, VoicesSumAndTheLimiterKeepsTheSumBelowFullScale) {
    auto quarter = wavetest::Level16(48000, 8192);
    auto half = wavetest::Level16(48000, 16384);
    MixerVoice* a = NewVoice(Pcm(1, 48000, 16));
    MixerVoice* b = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, a, &quarter);
    Post(Command::Write, b, &half);
    auto out = Render(256);
    EXPECT_FLOAT_EQ(out[100], 0.75f);

    MixerVoice* c = NewVoice(Pcm(1, 48000, 16));
    MixerVoice* d = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, c, &half);
    Post(Command::Write, d, &half);
    out = Render(256);
    for (float s : out) {
        ASSERT_LE(std::fabs(s), Limiter::kThreshold);
    }
    EXPECT_NEAR(out[200], Limiter::kThreshold, 1e-4);  // limited, not clipped to silence
}

TEST_F(MixerTest, ThirtyThreeVoicesAtOnce) {
    // 33 different levels so that a dropped or doubled voice shows in the sum.
    std::vector<std::vector<uint8_t>> data;
    int expected = 0;
    for (int i = 0; i < 33; ++i) {
        data.push_back(wavetest::Level16(4410, 20 * (i + 1)));
        expected += 20 * (i + 1);
    }
    for (int i = 0; i < 33; ++i) {
        MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
        Post(Command::Write, v, &data[i], static_cast<uint64_t>(i + 1));
    }
    auto out = Render(256);
    EXPECT_NEAR(out[200], expected / 32768.0, 1e-5);
    Render(48000);
    auto serials = PlayedSerials();
    EXPECT_EQ(serials.size(), 33u);
}

TEST_F(MixerTest, AResetVoiceIsSilentFromTheNextFrameAndRestartsAtItsFirstSample) {
    // A ramp, so that the position it plays from shows in the level.
    std::vector<int> ramp(48000);
    for (int i = 0; i < 48000; ++i) {
        ramp[i] = i % 30000;
    }
    auto data = wavetest::S16(ramp);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &data, 1);
    auto out = Render(1000);
    EXPECT_FLOAT_EQ(out[2 * 999], 999 / 32768.0f);
    Post(Command::Reset, v);
    out = Render(256);
    EXPECT_EQ(wavetest::SoundingFrames(out), 0u);
    EXPECT_TRUE(PlayedSerials().empty());  // a reset buffer is returned by the caller, not here

    Post(Command::Write, v, &data, 2);
    Render(500);
    Post(Command::Reset, v);
    Post(Command::Write, v, &data, 3);
    out = Render(256);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2 * 10], 10 / 32768.0f);
    EXPECT_FLOAT_EQ(out[2 * 255], 255 / 32768.0f);
}

TEST_F(MixerTest, QueuedBuffersFollowEachOtherWithoutAGap) {
    auto first = wavetest::Level16(1000, 8192);
    auto second = wavetest::Level16(1000, 8192);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &first, 1);
    Post(Command::Write, v, &second, 2);
    auto out = Render(3000);
    EXPECT_EQ(wavetest::SoundingFrames(out), 2000u);
    EXPECT_FLOAT_EQ(out[2 * 999], 0.25f);
    EXPECT_FLOAT_EQ(out[2 * 1000], 0.25f);
    EXPECT_EQ((PlayedSerials()), (std::vector<uint64_t>{1, 2}));
}

TEST_F(MixerTest, VolumeScalesItsOwnVoiceOnly) {
    auto data = wavetest::Level16(48000, 24576);  // under the limiter's threshold
    MixerVoice* a = NewVoice(Pcm(1, 48000, 16));
    MixerVoice* b = NewVoice(Pcm(1, 48000, 16));
    a->volume = 0x7FFF;
    b->volume = 0;
    Post(Command::Write, a, &data);
    Post(Command::Write, b, &data);
    auto out = Render(256);
    EXPECT_NEAR(out[10], 0.75 * (32767 / 65535.0), 1e-6);
    // Only the low word counts.
    a->volume = 0xFFFF0000u;
    b->volume = 0x0000FFFFu;
    Render(256);  // the change ramps over one period
    out = Render(256);
    EXPECT_NEAR(out[10], 0.75, 1e-6);
}

TEST_F(MixerTest, SampleFormatsDecodeToTheSameLevel) {
    struct Case {
        WAVEFORMATEX format;
        std::vector<uint8_t> frame;  // one stereo frame: left -0.5, right +0.25
    };
    float fl = -0.5f, fr = 0.25f;
    std::vector<uint8_t> f32(8);
    std::memcpy(f32.data(), &fl, 4);
    std::memcpy(f32.data() + 4, &fr, 4);
    std::vector<Case> cases = {
        {Pcm(2, 48000, 8), {64, 160}},
        {Pcm(2, 48000, 16), {0x00, 0xC0, 0x00, 0x20}},
        {Pcm(2, 48000, 24), {0x00, 0x00, 0xC0, 0x00, 0x00, 0x20}},
        {Pcm(2, 48000, 32), {0, 0, 0, 0xC0, 0, 0, 0, 0x20}},
        {Pcm(2, 48000, 32, WAVE_FORMAT_IEEE_FLOAT), f32},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> data;
        for (int i = 0; i < 100; ++i) {
            data.insert(data.end(), c.frame.begin(), c.frame.end());
        }
        MixerVoice* v = NewVoice(c.format);
        Post(Command::Write, v, &data);
        auto out = Render(64);
        EXPECT_FLOAT_EQ(out[20], -0.5f) << c.format.wBitsPerSample;
        EXPECT_FLOAT_EQ(out[21], 0.25f) << c.format.wBitsPerSample;
        Post(Command::Remove, v);
        Render(1);
    }
}

TEST_F(MixerTest, NonFiniteFloatSamplesDoNotPoisonTheMix) {
    std::vector<uint8_t> data(400);
    float bad[2] = {NAN, INFINITY};
    for (int i = 0; i < 50; ++i) {
        std::memcpy(data.data() + 8 * i, bad, 8);
    }
    auto level = wavetest::Level16(100, 8192);
    MixerVoice* v = NewVoice(Pcm(2, 48000, 32, WAVE_FORMAT_IEEE_FLOAT));
    MixerVoice* w = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &data);
    Post(Command::Write, w, &level);
    auto out = Render(32);
    EXPECT_FLOAT_EQ(out[10], 0.25f);
    EXPECT_FLOAT_EQ(out[11], 0.25f);
}

TEST_F(MixerTest, RemoveAndFenceAreAcknowledged) {
    auto data = wavetest::Level16(48000, 8192);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &data);
    Post(Command::Fence, v, nullptr, 5);
    EXPECT_EQ(v->acked.load(), 0u);
    Render(16);
    EXPECT_EQ(v->acked.load(), 5u);
    Post(Command::Remove, v, nullptr, 6);
    auto out = Render(16);
    EXPECT_EQ(v->acked.load(), 6u);
    EXPECT_EQ(wavetest::SoundingFrames(out), 0u);
}

TEST_F(MixerTest, PauseHoldsThePositionAndRestartGoesOn) {
    std::vector<int> ramp(2000);
    for (int i = 0; i < 2000; ++i) {
        ramp[i] = i;
    }
    auto data = wavetest::S16(ramp);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    Post(Command::Write, v, &data);
    Render(100);
    Post(Command::Pause, v);
    EXPECT_EQ(wavetest::SoundingFrames(Render(100)), 0u);
    Post(Command::Restart, v);
    auto out = Render(10);
    EXPECT_FLOAT_EQ(out[0], 100 / 32768.0f);
}

}  // namespace

std::atomic<int> gWakes{0};

// An idle output trusts QuietFrames and IsIdle to say nothing is left to play, and the waker to
// call it back.
TEST_F(MixerTest, QuietFramesCountOnlyWhileNothingIsLeftToPlayAndPostsWakeASleepingOutput) {
    gWakes = 0;
    mixer_.SetWaker([] { ++gWakes; });
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    auto word = wavetest::Level16(300, 8000);
    EXPECT_EQ(mixer_.QuietFrames(), 0u);
    Render(256);
    EXPECT_EQ(mixer_.QuietFrames(), 256u);  // an open voice with nothing queued is quiet

    struct Step {
        Command::Kind post;  // Fence: nothing posted
        uint64_t quietAfter;
    };
    const Step steps[] = {
        {Command::Write, 0},    // the word starts
        {Command::Fence, 0},    // its last 44 frames: still sounding
        {Command::Fence, 256},  // over
        {Command::Write, 0},    // again, then paused with its end queued: quiet all the same
        {Command::Pause, 256}, {Command::Fence, 512}, {Command::Restart, 0},  // the rest plays
        {Command::Reset, 256},
    };
    for (const Step& step : steps) {
        if (step.post == Command::Write) {
            Post(Command::Write, v, &word, 1);
        } else if (step.post != Command::Fence) {
            Post(step.post, v);
        }
        Render(256);
        EXPECT_EQ(mixer_.QuietFrames(), step.quietAfter) << "after " << int(step.post);
    }
    PlayedSerials();

    EXPECT_EQ(gWakes.load(), 0);  // an awake output is not called
    mixer_.SetAsleep(true);
    EXPECT_FALSE(mixer_.HasCommands());
    Post(Command::Write, v, &word, 2);
    EXPECT_EQ(gWakes.load(), 1);
    EXPECT_TRUE(mixer_.HasCommands());
    mixer_.SetAsleep(false);
    Post(Command::Pause, v);
    EXPECT_EQ(gWakes.load(), 1);
    Render(256);
    EXPECT_FALSE(mixer_.HasCommands());

    // Idle from two seconds of quiet on, while no command waits.
    Post(Command::Reset, v);
    Render(256);
    const uint64_t idleAfter = Mixer::kIdleAfterSeconds * 48000;
    while (mixer_.QuietFrames() + 256 < idleAfter) {
        EXPECT_FALSE(mixer_.IsIdle());
        Render(256);
    }
    EXPECT_FALSE(mixer_.IsIdle());
    Render(256);
    EXPECT_TRUE(mixer_.IsIdle());
    Post(Command::Restart, v);
    EXPECT_FALSE(mixer_.IsIdle());
    Render(256);
    EXPECT_TRUE(mixer_.IsIdle());
}

namespace {

// The call output's feed: every rendered frame, in order, also longer renders than a chunk; what
// does not fit the ring is dropped and counted, never written over what waits.
TEST_F(MixerTest, TheTapGetsEveryRenderedFrameUntilItIsFull) {
    FrameRing ring(8192);
    MixerVoice* v = NewVoice(Pcm(1, 48000, 16));
    std::vector<int> ramp(6000);
    for (size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<int>(i);
    }
    const auto data = wavetest::S16(ramp);
    Post(Command::Write, v, &data, 1);
    mixer_.SetTap(&ring);
    std::vector<float> rendered = Render(kMaxChunkFrames + 100);
    const std::vector<float> more = Render(256);
    rendered.insert(rendered.end(), more.begin(), more.end());
    ASSERT_EQ(ring.Available(), rendered.size() / 2);
    std::vector<float> tapped(rendered.size());
    EXPECT_EQ(ring.Pop(tapped.data(), rendered.size()), rendered.size() / 2);
    EXPECT_EQ(tapped, rendered);

    Render(8192);
    Render(256);  // no room left: dropped whole
    EXPECT_EQ(ring.Available(), 8192u);
    EXPECT_EQ(ring.Dropped(), 256u);
    mixer_.SetTap(nullptr);
    Render(256);
    EXPECT_EQ(ring.Dropped(), 256u);
}

}  // namespace
