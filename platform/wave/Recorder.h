// Records what a real-time output plays: the audio thread hands each period over without
// waiting or allocating, and a thread of the recorder's own writes it to the take.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

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
    size_t Drain();

    static constexpr size_t kCapacity = size_t{1} << 19;  // samples: over 4 s of 48 kHz stereo
    std::vector<float> ring_;
    std::atomic<size_t> head_{0};  // written by Push
    std::atomic<size_t> tail_{0};  // written by the writer thread
    std::atomic<uint64_t> lostFrames_{0};
    std::atomic<bool> stop_{false};
    WavWriter* take_ = nullptr;
    std::vector<float> chunk_;
    std::thread thread_;
};

}  // namespace platform::wave
