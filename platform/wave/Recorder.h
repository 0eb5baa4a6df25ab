// Records what a real-time output plays: the audio thread hands each period over without
// waiting or allocating, and a thread of the recorder's own writes it to a WAV file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave/WavWriter.h"

namespace platform::wave {

class Recorder {
public:
    Recorder() = default;
    ~Recorder() { Close(); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates the file and starts writing; false with "cannot write PATH: reason" when it cannot.
    bool Open(const std::string& path, uint32_t rate, std::string* error);
    // Interleaved stereo float. From one thread at a time; never blocks. What does not fit in
    // the four seconds the writer may lag behind is lost (and said so on Close).
    void Push(const float* frames, int count);
    // Writes what is left and completes the file.
    void Close();

private:
    void Run();
    size_t Drain();

    static constexpr size_t kCapacity = size_t{1} << 19;  // samples: over 4 s of 48 kHz stereo
    std::vector<float> ring_;
    std::atomic<size_t> head_{0};  // written by Push
    std::atomic<size_t> tail_{0};  // written by the writer thread
    std::atomic<uint64_t> lostFrames_{0};
    std::atomic<bool> stop_{false};
    std::string path_;
    uint32_t rate_ = 0;
    WavWriter writer_;
    std::vector<float> chunk_;
    std::thread thread_;
};

}  // namespace platform::wave
