// Records what a real-time output plays: the audio thread hands each period over without
// waiting or allocating, and a thread of the recorder's own writes it to the take.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/wave/FrameRing.h"
#include "platform/wave/WavWriter.h"

namespace platform::wave {

class Recorder {
public:
    Recorder() = default;
    ~Recorder() { Stop(); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts writing what is pushed into `take`, which is begun and stays open until after Stop.
    void Start(WavWriter* take);
    // Interleaved stereo float. From one thread at a time; never blocks. What does not fit in
    // the four seconds the writer may lag behind is lost (said on Stop, and missed by the take).
    void Push(const float* frames, int count);
    // Writes what is left into the take.
    void Stop();

private:
    void Run();
    void Drain();

    static constexpr size_t kCapacityFrames = size_t{1} << 18;  // over 4 s at 48 kHz
    std::unique_ptr<FrameRing> ring_;
    std::atomic<bool> stop_{false};
    WavWriter* take_ = nullptr;
    std::vector<float> chunk_;
    std::thread thread_;
};

}  // namespace platform::wave
