// The waveOut layer's own objects, shared by its parts: a stream (Voice) and the layer's state.
//
// Each open stream is a Voice: a handle object and a MixerVoice. The calling threads keep the
// Win32 view of the headers (prepared, queued, done) under the voice's lock; the mixer only sees
// commands carrying data pointers and serials. A header's queued state ends either when a reset
// returns it (the caller marks it done and posts its notice) or when the notifier handles the
// mixer's Played notice for the header's current serial, so a stale notice from before a reset is
// dropped and every write gets exactly one WOM_DONE.
//
// A stream at a rate other than the device's is converted once per header, when it is prepared
// (as a driver may take a prepared buffer), so the mixer only sums: its MixerVoice is float at
// the device rate and plays the converted copy, which lives until the header is unprepared.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/Handles.h"
#include "platform/wave/Mixer.h"
#include "platform/win32.h"

namespace platform::wave::waveout {

// The mixer's view of a stream's format: itself at the device rate, else float at that rate.
inline SourceFormat MixFormat(const SourceFormat& source, uint32_t deviceRate) {
    if (source.rate == deviceRate) {
        return source;
    }
    SourceFormat f;
    f.type = SampleType::F32;
    f.channels = source.channels;
    f.rate = deviceRate;
    f.frameBytes = static_cast<uint32_t>(4 * source.channels);
    return f;
}

struct Voice : HandleObject, MixerVoice {
    static constexpr HandleType kType = HandleType::WaveOut;
    Voice(const SourceFormat& format, uint32_t deviceRate, LPWAVECALLBACK cb, DWORD_PTR inst)
        : HandleObject(kType),
          MixerVoice(MixFormat(format, deviceRate)),
          source(format),
          callback(cb),
          instance(inst) {
        queued.reserve(kBuffersPerVoice);
    }
    bool Converts() const { return source.rate != Format().rate; }

    const SourceFormat source;
    const LPWAVECALLBACK callback;
    const DWORD_PTR instance;

    // A prepared header's converted samples and the data they were made from.
    struct Converted {
        const WAVEHDR* header;
        const char* data;
        DWORD length;
        std::vector<float> samples;
    };

    std::mutex mutex;  // guards what follows
    struct Queued {
        WAVEHDR* header;
        uint64_t serial;
    };
    std::vector<Queued> queued;
    std::vector<Converted> converted;
    uint64_t lastSerial = 0;
    bool unfenced = false;  // a buffer went to the mixer since the last fence
    bool closing = false;
};

inline HWAVEOUT HandleOf(Voice* v) {
    return reinterpret_cast<HWAVEOUT>(static_cast<HandleObject*>(v));
}

// Header flags are read by other threads (the program tests them), so every access is atomic.
inline DWORD Flags(const WAVEHDR* h) {
    return __atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE);
}
inline void ChangeFlags(WAVEHDR* h, DWORD set, DWORD clear) {
    DWORD old = __atomic_load_n(&h->dwFlags, __ATOMIC_RELAXED);
    while (!__atomic_compare_exchange_n(&h->dwFlags, &old, (old & ~clear) | set, true,
                                        __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) {
    }
}

struct State {
    std::mutex lifecycle;  // Attach/Detach/CloseAll and the list of open voices
    std::vector<Voice*> voices;
    std::atomic<Mixer*> mixer{nullptr};
    BoundedQueue<Notice>* notices = nullptr;
    std::atomic<TimeNs> pollNs{kNsPerMs};
    std::atomic<TimeNs> notifierPollNs{5 * kNsPerMs};
    std::atomic<bool> notifiesClock{false};
    std::atomic<int> queuedHeaders{0};
    std::atomic<bool> stopNotifier{false};
    std::thread notifier;
};

State& S();
// The open stream behind a handle, or null.
Voice* Lookup(HWAVEOUT h);

// Blocks the calling thread (through the device clock) until ready() holds.
void WaitFor(const std::function<bool()>& ready);
// Posts to the mixer, waiting while its queue is full.
void Post(Mixer* mixer, const Command& c);
// Caller holds v->mutex. Returns every queued header done and posts their notices.
void ReturnQueued(Voice* v);
// Waits until the mixer has carried out everything posted for v so far and every notice about v
// has been handled.
void LetGo(Voice* v, Mixer* mixer, Command::Kind kind);

// The notifier thread: takes the mixer's notices and calls the streams back, until stopped.
void NotifierLoop();

}  // namespace platform::wave::waveout
