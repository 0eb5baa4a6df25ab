#include "platform/wave/Recorder.h"

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
    ring_ = std::make_unique<FrameRing>(kCapacityFrames);
    chunk_.resize(kCapacityFrames / 8 * kDeviceChannels);
    stop_ = false;
    thread_ = Clock::StartThread([this] { Run(); });
}

void Recorder::Push(const float* frames, int count) {
    if (ring_ && count > 0) {
        ring_->Push(frames, count);
    }
}

void Recorder::Drain() {
    const size_t most = chunk_.size() / kDeviceChannels;
    while (const size_t n = ring_->Pop(chunk_.data(), most)) {
        take_->Append(chunk_.data(), static_cast<int>(n));
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
    const uint64_t lost = ring_->Dropped();
    ring_.reset();
    if (lost) {
        std::fprintf(stderr, "pulsor: %s: %llu ms of sound could not be written in time\n",
                     take_->Path().c_str(),
                     static_cast<unsigned long long>(lost * 1000 / take_->Rate()));
        take_->Missed(lost);
    }
    take_ = nullptr;
}

}  // namespace platform::wave
