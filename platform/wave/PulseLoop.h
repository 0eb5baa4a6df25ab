// What the PulseClient's parts share: libpulse's threaded main loop, locked and waited on with a
// bound.
#pragma once

#include <pulse/pulseaudio.h>

#include <functional>

#include "platform/wave/PulseClient.h"

namespace platform::wave::pulse {

// A local server answers in milliseconds; one that takes longer is not coming back.
constexpr pa_usec_t kAnswerWithinUs = 2 * PA_USEC_PER_SEC;

class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

// With the loop locked: waits for the loop's signals until `ready` or kAnswerWithinUs.
bool WaitFor(pa_threaded_mainloop* loop, pa_context* context, const std::function<bool()>& ready);

pa_proplist* MakeProperties(const PulseClient::Properties& properties);

}  // namespace platform::wave::pulse
