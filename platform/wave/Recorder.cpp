#include "platform/wave/Recorder.h"

#include <algorithm>
#include <cstdio>

#include "platform/kernel/Clock.h"
#include "platform/wave/Mixer.h"

namespace platform::wave {

namespace {
constexpr TimeNs kWriteEveryNs = 20 * kNsPerMs;
}

void Recorder::Start(WavWriter* take) {
    Stop();
    take_ = take;
    ring_.assign(kCapacity, 0.0f);
    chunk_.resize(kCapacity / 8);
    head_ = 0;
    tail_ = 0;
    lostFrames_ = 0;
    stop_ = false;
    thread_ = Clock::StartThread([this] { Run(); });
}

void Recorder::Push(const float* frames, int count) {
    if (ring_.empty() || count <= 0) {
        return;
    }
    const size_t samples = static_cast<size_t>(count) * kDeviceChannels;
    const size_t head = head_.load(std::memory_order_relaxed);
    const size_t tail = tail_.load(std::memory_order_acquire);
    if (kCapacity - (head - tail) < samples) {
        lostFrames_.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
        return;
    }
    for (size_t i = 0; i < samples; ++i) {
        ring_[(head + i) % kCapacity] = frames[i];
    }
    head_.store(head + samples, std::memory_order_release);
}

size_t Recorder::Drain() {
    size_t total = 0;
    for (;;) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        const size_t head = head_.load(std::memory_order_acquire);
        // Whole frames only, in chunks.
        size_t n = std::min(head - tail, chunk_.size());
        n -= n % kDeviceChannels;
        if (n == 0) {
            return total;
        }
        for (size_t i = 0; i < n; ++i) {
            chunk_[i] = ring_[(tail + i) % kCapacity];
        }
        tail_.store(tail + n, std::memory_order_release);
        take_->Append(chunk_.data(), static_cast<int>(n / kDeviceChannels));
        total += n;
    }
}

void Recorder::Run() {
    Clock& clock = Clock::Instance();
    while (!clock.WaitUntil(clock.Now() + kWriteEveryNs, [this] { return stop_.load(); })) {
        Drain();
    }
}

void Recorder::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    stop_ = true;
    Clock::Instance().Notify();
    thread_.join();
    Drain();  // what came in after the thread's last look
    ring_.clear();
    if (const uint64_t lost = lostFrames_.load()) {
        std::fprintf(stderr, "pulsor: %s: %llu ms of sound could not be written in time\n",
                     take_->Path().c_str(),
                     static_cast<unsigned long long>(lost * 1000 / take_->Rate()));
        take_->Missed(lost);
    }
    take_ = nullptr;
}

}  // namespace platform::wave
