// The null output: renders one period per period of device time on a clock participant thread,
// so that in virtual time a headless run mixes exactly the same sound every time.
#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/wave/Output.h"
#include "platform/wave/WavWriter.h"

namespace platform::wave {

namespace {

struct NullState {
    std::thread thread;
    std::atomic<bool> stop{false};
    Mixer* mixer = nullptr;
    int period = 256;
    WavWriter writer;
    std::function<void(const float*, int)> tap;
    std::vector<float> buffer;
};

NullState& N() {
    static NullState* state = new NullState();
    return *state;
}

void Loop() {
    NullState& n = N();
    Clock& clock = Clock::Instance();
    const TimeNs start = clock.Now();
    const uint32_t rate = n.mixer->DeviceRate();
    uint64_t rendered = 0;
    for (;;) {
        // A nanosecond after the period starts: threads woken at the same whole millisecond act
        // first, so what they post is heard in this period in every run alike.
        const unsigned __int128 ns =
            (static_cast<unsigned __int128>(rendered) * 1000000000u + rate - 1) / rate;
        const TimeNs deadline = start + static_cast<TimeNs>(ns) + 1;
        if (clock.WaitUntil(deadline, [&n] { return n.stop.load(); })) {
            return;
        }
        n.mixer->Render(n.buffer.data(), n.period);
        rendered += static_cast<uint64_t>(n.period);
        n.writer.Append(n.buffer.data(), n.period);
        if (n.tap) {
            n.tap(n.buffer.data(), n.period);
        }
        clock.Notify();  // threads waiting for the mixer or the notifier look again
    }
}

bool Start(const OutputConfig& config, std::string* error) {
    NullState& n = N();
    n.mixer = config.mixer;
    n.period = config.periodFrames;
    n.buffer.assign(static_cast<size_t>(n.period) * kDeviceChannels, 0.0f);
    if (!config.recordPath.empty() &&
        !n.writer.Open(config.recordPath, config.mixer->DeviceRate(), error)) {
        return false;
    }
    n.stop = false;
    n.thread = Clock::StartThread(Loop);
    return true;
}

void Stop() {
    NullState& n = N();
    if (n.thread.joinable()) {
        n.stop = true;
        Clock::Instance().Notify();
        n.thread.join();
    }
    n.writer.Close();
}

}  // namespace

const OutputBackend kNullOutput = {"null", Start, Stop, true};

void SetNullOutputTap(std::function<void(const float* frames, int count)> tap) {
    N().tap = std::move(tap);
}

}  // namespace platform::wave
