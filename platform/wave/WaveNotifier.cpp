// The notifier thread: the mixer's played notices become WOM_DONE callbacks, outside the mixer's
// thread, which must never wait for the program.
#include <algorithm>

#include "platform/wave/WaveVoice.h"

namespace platform::wave::waveout {
namespace {

void Deliver(const Notice& n) {
    Voice* v = static_cast<Voice*>(n.voice);
    WAVEHDR* header = n.header;
    if (n.kind == Notice::Played) {
        header = nullptr;
        std::lock_guard<std::mutex> lock(v->mutex);
        auto it = std::find_if(v->queued.begin(), v->queued.end(),
                               [&](const Voice::Queued& q) { return q.serial == n.serial; });
        if (it != v->queued.end()) {
            header = it->header;
            ChangeFlags(header, WHDR_DONE, WHDR_INQUEUE);
            v->queued.erase(it);
            S().queuedHeaders.fetch_sub(1);
        }
    }
    if (header && v->callback) {
        v->callback(HandleOf(v), WOM_DONE, v->instance, reinterpret_cast<DWORD_PTR>(header), 0);
    }
    v->noticesInFlight.fetch_sub(1, std::memory_order_release);
}

}  // namespace

void NotifierLoop() {
    State& s = S();
    Clock& clock = Clock::Instance();
    for (;;) {
        // While buffers play and the output does not wake the clock, look every poll interval.
        const bool idle = s.notifiesClock || s.queuedHeaders.load() == 0;
        const TimeNs deadline = idle ? kNever : clock.Now() + s.notifierPollNs.load();
        clock.WaitUntil(deadline, [&s, idle] {
            return s.stopNotifier.load() || !s.notices->LooksEmpty() ||
                   (idle && !s.notifiesClock && s.queuedHeaders.load() > 0);
        });
        Notice n;
        bool any = false;
        while (s.notices->TryPop(&n)) {
            Deliver(n);
            any = true;
        }
        if (any) {
            clock.Notify();  // closers wait for their notices to be handled
        }
        if (s.stopNotifier.load() && s.notices->LooksEmpty()) {
            return;
        }
    }
}

}  // namespace platform::wave::waveout
