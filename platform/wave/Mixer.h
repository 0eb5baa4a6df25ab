// The software mixer behind waveOut: every open voice, already at the device rate (waveOut
// converts other rates once, when a buffer is prepared), scaled by its own volume, summed in
// float and limited below full scale.
//
// Thread model: exactly one thread at a time renders (the output's audio thread). It never locks,
// allocates or makes a system call: other threads reach it only through Post (a lock-free command
// queue read at the start of each rendered chunk), and it reports played buffers through a
// lock-free notice queue. A command posted before Render starts takes effect on its first frame.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/wave/BoundedQueue.h"
#include "platform/wave/FrameRing.h"
#include "platform/wave/Limiter.h"
#include "platform/win32.h"

namespace platform::wave {

constexpr uint32_t kDeviceRate = 48000;
constexpr int kDeviceChannels = 2;
constexpr int kMaxVoices = 256;
constexpr int kBuffersPerVoice = 16;
constexpr int kMaxChunkFrames = 4096;

enum class SampleType : uint8_t { U8, S16, S24, S32, F32 };

struct SourceFormat {
    SampleType type = SampleType::S16;
    int channels = 1;
    uint32_t rate = 0;
    uint32_t frameBytes = 0;
};

// PCM 8/16/24/32-bit or IEEE float 32-bit, 1 or 2 channels, 4..192 kHz, block alignment equal to
// the frame size. False for anything else.
bool ParseFormat(const WAVEFORMATEX& format, SourceFormat* out);

class MixerVoice;

// A buffer the mixer has played to its end (serial as given with its Write command).
struct Notice {
    enum Kind : uint8_t { Played, Reset };
    Kind kind = Played;
    MixerVoice* voice = nullptr;
    uint64_t serial = 0;
    WAVEHDR* header = nullptr;  // Reset notices, which the waveOut layer posts itself
};

// One voice's mixing state. The owner keeps it alive until the mixer has acknowledged a Remove.
class MixerVoice {
public:
    explicit MixerVoice(const SourceFormat& format);
    virtual ~MixerVoice() = default;
    MixerVoice(const MixerVoice&) = delete;
    MixerVoice& operator=(const MixerVoice&) = delete;

    const SourceFormat& Format() const { return format_; }

    // Any thread: the voice's waveOutSetVolume value; the low word scales both channels.
    std::atomic<uint32_t> volume{0xFFFF};
    // The serial of the last Remove or Fence the mixer has carried out.
    std::atomic<uint64_t> acked{0};
    // Notices about this voice pushed but not yet handled by their consumer.
    std::atomic<int> noticesInFlight{0};

private:
    friend class Mixer;
    struct Buffer {
        const uint8_t* data;
        uint32_t frames;
        uint64_t serial;
    };
    const SourceFormat format_;  // its rate is the device's: frames are summed one to one
    Buffer buffers_[kBuffersPerVoice] = {};
    int head_ = 0;
    int count_ = 0;
    uint32_t pos_ = 0;  // frames of buffers_[head_] already played
    float gain_ = 0.0f;
    bool sounding_ = false;  // rendered something in the last chunk (volume changes ramp)
    bool paused_ = false;
    int slot_ = -1;
    uint64_t unsent_[kBuffersPerVoice] = {};
    int unsentCount_ = 0;
};

struct Command {
    enum Kind : uint8_t { Add, Remove, Write, Reset, Pause, Restart, Fence };
    Kind kind = Fence;
    MixerVoice* voice = nullptr;
    const uint8_t* data = nullptr;
    uint32_t frames = 0;
    uint64_t serial = 0;  // Write: reported back in its notice; Remove, Fence: stored in acked
};

class Mixer {
public:
    // Played notices go to `notices`, which must outlive the mixer.
    Mixer(uint32_t deviceRate, BoundedQueue<Notice>* notices);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Any thread, lock-free. False when the command queue is full (try again later).
    bool Post(const Command& command);

    // The rendering thread only: `frames` interleaved stereo float frames into `out`.
    void Render(float* out, int frames);

    uint32_t DeviceRate() const { return deviceRate_; }

    // Idling: an output may stop rendering while nothing is left to play, and sleep until the
    // next command. Any thread: frames rendered since the last chunk that had something to play.
    uint64_t QuietFrames() const { return quietFrames_.load(std::memory_order_relaxed); }
    // Any thread, a hint: a command waits for the next render.
    bool HasCommands() const { return !commands_.LooksEmpty(); }
    // Any thread, a hint: nothing has played for kIdleAfterSeconds and no command waits, so an
    // output may go to sleep.
    bool IsIdle() const {
        return QuietFrames() >= kIdleAfterSeconds * deviceRate_ && !HasCommands();
    }
    static constexpr uint64_t kIdleAfterSeconds = 2;
    // Called on the posting thread by each Post while the output sleeps. Set before rendering.
    void SetWaker(void (*wake)()) { wake_ = wake; }
    // The output thread: asleep before its last look at HasCommands, awake before rendering.
    void SetAsleep(bool asleep);
    // Any thread, a hint: the output sleeps, so nothing is rendered until the next command.
    bool IsAsleep() const { return asleep_.load(std::memory_order_acquire) != 0; }

    // Any thread: every rendered frame is also pushed into `ring` (null: none), for an output
    // fed beside the device (the call). The ring must outlive the rendering.
    void SetTap(FrameRing* ring) { tap_.store(ring, std::memory_order_release); }

private:
    void RenderChunk(float* out, int frames);
    void Apply(const Command& command);
    // Adds the voice to out: interleaved stereo, or one channel for a mono voice.
    void MixVoice(MixerVoice& voice, float* out, int frames);
    void SendNotice(MixerVoice& voice, uint64_t serial);

    const uint32_t deviceRate_;
    BoundedQueue<Notice>* notices_;
    BoundedQueue<Command> commands_;
    float mono_[kMaxChunkFrames];  // the mono voices' sum, spread to both channels at the end
    Limiter limiter_;
    MixerVoice* voices_[kMaxVoices] = {};
    int active_ = 0;
    std::atomic<uint64_t> quietFrames_{0};
    std::atomic<unsigned> asleep_{0};
    void (*wake_)() = nullptr;
    std::atomic<FrameRing*> tap_{nullptr};
};

}  // namespace platform::wave
