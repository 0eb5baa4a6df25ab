// Interleaved stereo float frames from one thread to another without waiting or allocating: the
// audio thread pushes what it renders, a writer thread of an output beside it takes it out.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::wave {

class FrameRing {
public:
    // Room for `frames` frames (rounded up to a power of two).
    explicit FrameRing(size_t frames) {
        size_t capacity = 1;
        while (capacity < frames * 2) {
            capacity <<= 1;
        }
        samples_.assign(capacity, 0.0f);
    }
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // The producer. What does not fit is dropped and counted.
    void Push(const float* frames, int count) {
        const size_t n = static_cast<size_t>(count) * 2;
        const size_t head = head_.load(std::memory_order_relaxed);
        const size_t tail = tail_.load(std::memory_order_acquire);
        if (samples_.size() - (head - tail) < n) {
            dropped_.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
            return;
        }
        const size_t mask = samples_.size() - 1;
        for (size_t i = 0; i < n; ++i) {
            samples_[(head + i) & mask] = frames[i];
        }
        head_.store(head + n, std::memory_order_release);
    }

    // The consumer: frames waiting.
    size_t Available() const {
        return (head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed)) / 2;
    }
    // The consumer: up to `maxFrames` frames into `out`; returns how many.
    size_t Pop(float* out, size_t maxFrames) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        const size_t head = head_.load(std::memory_order_acquire);
        const size_t n = std::min(head - tail, maxFrames * 2);
        const size_t mask = samples_.size() - 1;
        for (size_t i = 0; i < n; ++i) {
            out[i] = samples_[(tail + i) & mask];
        }
        tail_.store(tail + n, std::memory_order_release);
        return n / 2;
    }
    // The consumer: forgets what is waiting (old sound, when the reader starts again).
    void Clear() { tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release); }

    // Any thread: frames the producer found no room for.
    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::vector<float> samples_;
    std::atomic<size_t> head_{0};  // written by the producer
    std::atomic<size_t> tail_{0};  // written by the consumer
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace platform::wave
