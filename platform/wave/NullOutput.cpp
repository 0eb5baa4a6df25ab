// The null output: renders one period per period of device time on a clock participant thread,
// so that in virtual time a headless run mixes exactly the same sound every time.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/wave/Output.h"
#include "platform/wave/WavWriter.h"

namespace platform::wave {

namespace {

// While asleep, a recording (or tap) is brought up to date with silence this often, so that it
// keeps its timeline and waking never has much to write before the word.
constexpr TimeNs kSilenceStepNs = 100 * kNsPerMs;

struct NullState {
    std::thread thread;
    std::atomic<bool> stop{false};
    Mixer* mixer = nullptr;
    int period = 256;
    bool recording = false;
    bool idleInVirtualTime = false;
    WavWriter* take = nullptr;
    std::function<void(const float*, int)> tap;
    std::vector<float> buffer;
};

NullState& N() {
    static NullState* state = new NullState();
    return *state;
}

void Wake() {
    Clock::Instance().Notify();
}

class Schedule {
public:
    explicit Schedule(TimeNs start, uint32_t rate) : start_(start), rate_(rate) {}
    // When the period starting at `frame` is rendered: a nanosecond after it starts, so threads
    // woken at the same whole millisecond act first and what they post is heard in this period
    // in every run alike.
    TimeNs Due(uint64_t frame) const {
        const unsigned __int128 ns =
            (static_cast<unsigned __int128>(frame) * 1000000000u + rate_ - 1) / rate_;
        return start_ + static_cast<TimeNs>(ns) + 1;
    }
    // The frames of device time passed by t.
    uint64_t FramesBy(TimeNs t) const {
        if (t <= start_) {
            return 0;
        }
        return static_cast<uint64_t>(static_cast<unsigned __int128>(t - start_) * rate_ /
                                     1000000000u);
    }

private:
    const TimeNs start_;
    const uint32_t rate_;
};

void Emit(NullState& n) {
    if (n.take) {
        n.take->Append(n.buffer.data(), n.period);
    }
    if (n.tap) {
        n.tap(n.buffer.data(), n.period);
    }
}

// Sleeps until a command is posted or the output stops (true). The periods that pass meanwhile
// are silence, and are recorded as such once they are due.
bool Doze(NullState& n, const Schedule& schedule, uint64_t* rendered) {
    Clock& clock = Clock::Instance();
    const bool keep = n.recording || n.tap;
    std::fill(n.buffer.begin(), n.buffer.end(), 0.0f);
    n.mixer->SetAsleep(true);
    bool woken = false;
    while (!woken) {
        const TimeNs deadline = keep ? clock.Now() + kSilenceStepNs : kNever;
        woken = clock.WaitUntil(deadline, [&n] { return n.stop.load() || n.mixer->HasCommands(); });
        const TimeNs now = clock.Now();
        while (keep && schedule.Due(*rendered) <= now) {
            Emit(n);
            *rendered += static_cast<uint64_t>(n.period);
        }
        if (!keep) {
            // Nothing keeps the periods: skip to the one under way, in one step however long
            // the pause was.
            const uint64_t period = static_cast<uint64_t>(n.period);
            *rendered = std::max(*rendered, schedule.FramesBy(now) / period * period);
            while (schedule.Due(*rendered) <= now) {
                *rendered += period;
            }
        }
    }
    n.mixer->SetAsleep(false);
    return n.stop.load();
}

void Loop() {
    NullState& n = N();
    Clock& clock = Clock::Instance();
    const Schedule schedule(clock.Now(), n.mixer->DeviceRate());
    // On the wall clock the output sleeps while the mixer is idle, until the next command; the
    // first word after the pause still lands on the next period boundary. Virtual time keeps
    // rendering every period: a run must step the clock exactly as before.
    const bool mayIdle = !clock.IsVirtual() || n.idleInVirtualTime;
    uint64_t rendered = 0;
    for (;;) {
        if (mayIdle && n.mixer->IsIdle()) {
            if (Doze(n, schedule, &rendered)) {
                return;
            }
        }
        if (clock.WaitUntil(schedule.Due(rendered), [&n] { return n.stop.load(); })) {
            return;
        }
        n.mixer->Render(n.buffer.data(), n.period);
        rendered += static_cast<uint64_t>(n.period);
        Emit(n);
        clock.Notify();  // threads waiting for the mixer or the notifier look again
    }
}

bool Start(const OutputConfig& config, std::string*) {
    NullState& n = N();
    n.mixer = config.mixer;
    n.period = config.periodFrames;
    n.buffer.assign(static_cast<size_t>(n.period) * kDeviceChannels, 0.0f);
    n.take = config.take;
    n.recording = n.take != nullptr;
    n.mixer->SetWaker(Wake);
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
    n.take = nullptr;
}

}  // namespace

const OutputBackend kNullOutput = {"null", Start, Stop, true};

void SetNullOutputTap(std::function<void(const float* frames, int count)> tap) {
    N().tap = std::move(tap);
}

void SetNullOutputIdlesInVirtualTime(bool idles) {
    N().idleInVirtualTime = idles;
}

}  // namespace platform::wave
