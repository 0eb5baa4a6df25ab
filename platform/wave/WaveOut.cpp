// waveOut on the platform mixer.
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
#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/kernel/Handles.h"
#include "platform/wave/Resampler.h"
#include "platform/wave/WaveOut.h"
#include "platform/win32.h"

namespace platform::wave {

namespace {

// The mixer's view of a stream's format: itself at the device rate, else float at that rate.
SourceFormat MixFormat(const SourceFormat& source, uint32_t deviceRate) {
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

HWAVEOUT HandleOf(Voice* v) {
    return reinterpret_cast<HWAVEOUT>(static_cast<HandleObject*>(v));
}

// Header flags are read by other threads (the program tests them), so every access is atomic.
DWORD Flags(const WAVEHDR* h) {
    return __atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE);
}
void ChangeFlags(WAVEHDR* h, DWORD set, DWORD clear) {
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

State& S() {
    static State* state = new State();  // threads may still use it while the process exits
    return *state;
}

// Blocks the calling thread (through the device clock) until ready() holds.
void WaitFor(const std::function<bool()>& ready) {
    State& s = S();
    Clock& clock = Clock::Instance();
    while (!ready()) {
        TimeNs deadline = s.notifiesClock ? kNever : clock.Now() + s.pollNs.load();
        clock.WaitUntil(deadline, ready);
    }
}

void Post(Mixer* mixer, const Command& c) {
    while (!mixer->Post(c)) {
        Clock::Instance().SleepFor(S().pollNs.load());
    }
}

void PushNotice(const Notice& n) {
    n.voice->noticesInFlight.fetch_add(1, std::memory_order_relaxed);
    while (!S().notices->TryPush(n)) {
        Clock::Instance().SleepFor(S().pollNs.load());
    }
}

// Caller holds v->mutex. Returns every queued header done and posts their notices.
void ReturnQueued(Voice* v) {
    for (const Voice::Queued& q : v->queued) {
        ChangeFlags(q.header, WHDR_DONE, WHDR_INQUEUE);
        Notice n;
        n.kind = Notice::Reset;
        n.voice = v;
        n.header = q.header;
        PushNotice(n);
        S().queuedHeaders.fetch_sub(1);
    }
    v->queued.clear();
}

// Waits until the mixer has carried out everything posted for v so far and every notice about v
// has been handled.
void LetGo(Voice* v, Mixer* mixer, Command::Kind kind) {
    uint64_t serial;
    {
        // Posted under the lock: serials reach the mixer in order, so `acked` only grows.
        std::lock_guard<std::mutex> lock(v->mutex);
        serial = ++v->lastSerial;
        v->unfenced = false;
        Command c;
        c.kind = kind;
        c.voice = v;
        c.serial = serial;
        Post(mixer, c);
    }
    WaitFor([v, serial] {
        return v->acked.load(std::memory_order_acquire) >= serial &&
               v->noticesInFlight.load(std::memory_order_acquire) == 0;
    });
}

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

// Caller holds v->mutex.
Voice::Converted* FindConverted(Voice* v, const WAVEHDR* header) {
    for (Voice::Converted& c : v->converted) {
        if (c.header == header) {
            return &c;
        }
    }
    return nullptr;
}

bool Convert(Voice* v, const WAVEHDR* header, std::vector<float>* samples) {
    const uint32_t frames =
        std::min<uint32_t>(header->dwBufferLength / v->source.frameBytes, 0xFFFFFFF0u);
    return ResampleToFloat(v->source, reinterpret_cast<const uint8_t*>(header->lpData), frames,
                           v->Format().rate, samples);
}

Voice* Lookup(HWAVEOUT h) {
    return static_cast<Voice*>(LookupHandle(h, HandleType::WaveOut));
}

// The stream and the running mixer behind a call that takes a header.
MMRESULT Resolve(HWAVEOUT waveOut, const WAVEHDR* header, UINT size, Voice** v, Mixer** mixer) {
    *v = Lookup(waveOut);
    *mixer = S().mixer.load();
    if (!*v || !*mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!header || size < sizeof(WAVEHDR)) {
        return MMSYSERR_INVALPARAM;
    }
    return MMSYSERR_NOERROR;
}

void Callback(Voice* v, UINT message) {
    if (v->callback) {
        v->callback(HandleOf(v), message, v->instance, 0, 0);
    }
}

MMRESULT CloseVoice(Voice* v, Mixer* mixer) {
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        if (!v->queued.empty()) {
            return WAVERR_STILLPLAYING;
        }
        if (v->closing) {
            return MMSYSERR_INVALHANDLE;
        }
        v->closing = true;
    }
    UnregisterHandle(v);
    LetGo(v, mixer, Command::Remove);
    {
        std::lock_guard<std::mutex> lock(S().lifecycle);
        auto& list = S().voices;
        list.erase(std::remove(list.begin(), list.end(), v), list.end());
    }
    Callback(v, WOM_CLOSE);
    delete v;
    return MMSYSERR_NOERROR;
}

}  // namespace

void AttachOutput(const OutputLink& link) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.lifecycle);
    s.notices = link.notices;
    s.pollNs = link.pollNs;
    s.notifierPollNs = link.notifierPollNs;
    s.notifiesClock = link.notifiesClock;
    s.stopNotifier = false;
    s.notifier = Clock::StartThread(NotifierLoop);
    s.mixer.store(link.mixer);
}

void CloseAllVoices() {
    State& s = S();
    Mixer* mixer = s.mixer.load();
    for (;;) {
        Voice* v;
        {
            std::lock_guard<std::mutex> lock(s.lifecycle);
            if (s.voices.empty()) {
                return;
            }
            v = s.voices.back();
        }
        waveOutReset(HandleOf(v));
        if (CloseVoice(v, mixer) != MMSYSERR_NOERROR) {
            // Someone else is closing it; let them finish.
            Clock::Instance().SleepFor(s.pollNs.load());
        }
    }
}

void DetachOutput() {
    State& s = S();
    std::thread notifier;
    {
        std::lock_guard<std::mutex> lock(s.lifecycle);
        s.mixer.store(nullptr);
        s.stopNotifier = true;
        notifier = std::move(s.notifier);
    }
    Clock::Instance().Notify();
    if (notifier.joinable()) {
        notifier.join();
    }
}

}  // namespace platform::wave

using namespace platform;
using namespace platform::wave;

UINT waveOutGetNumDevs(void) {
    return S().mixer.load() ? 1 : 0;
}

MMRESULT waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
    State& s = S();
    Mixer* mixer = s.mixer.load();
    if (!mixer) {
        return MMSYSERR_NODRIVER;
    }
    if (deviceId != WAVE_MAPPER && deviceId != 0) {
        return MMSYSERR_BADDEVICEID;
    }
    if (!format) {
        return MMSYSERR_INVALPARAM;
    }
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if ((type != CALLBACK_NULL && type != CALLBACK_FUNCTION) ||
        (flags & ~(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY)) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    SourceFormat parsed;
    if (!ParseFormat(*format, &parsed)) {
        return WAVERR_BADFORMAT;
    }
    if (flags & WAVE_FORMAT_QUERY) {
        return MMSYSERR_NOERROR;
    }
    if (!waveOut) {
        return MMSYSERR_INVALPARAM;
    }
    *waveOut = nullptr;
    auto* cb = type == CALLBACK_FUNCTION ? reinterpret_cast<LPWAVECALLBACK>(callback) : nullptr;
    Voice* v = new (std::nothrow) Voice(parsed, mixer->DeviceRate(), cb, instance);
    if (!v) {
        return MMSYSERR_NOMEM;
    }
    {
        std::lock_guard<std::mutex> lock(s.lifecycle);
        if (s.voices.size() >= static_cast<size_t>(kMaxVoices)) {
            delete v;
            return MMSYSERR_NOMEM;
        }
        s.voices.push_back(v);
    }
    Command c;
    c.kind = Command::Add;
    c.voice = v;
    Post(mixer, c);
    RegisterHandle(v);
    *waveOut = HandleOf(v);
    Callback(v, WOM_OPEN);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT waveOut) {
    Voice* v = Lookup(waveOut);
    Mixer* mixer = S().mixer.load();
    if (!v || !mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    return CloseVoice(v, mixer);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    Voice* v = Lookup(waveOut);
    if (!v) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!header || size < sizeof(WAVEHDR) || (!header->lpData && header->dwBufferLength > 0)) {
        return MMSYSERR_INVALPARAM;
    }
    if (!v->Converts()) {
        std::lock_guard<std::mutex> lock(v->mutex);
        if (Flags(header) & WHDR_INQUEUE) {
            return WAVERR_STILLPLAYING;
        }
        ChangeFlags(header, WHDR_PREPARED, 0);
        return MMSYSERR_NOERROR;
    }
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        if (Flags(header) & WHDR_INQUEUE) {
            return WAVERR_STILLPLAYING;
        }
        if ((Flags(header) & WHDR_PREPARED) && FindConverted(v, header)) {
            return MMSYSERR_NOERROR;  // already prepared: nothing to do, as on Win32
        }
    }
    // Converted outside the lock: a long buffer takes a while, and nothing else needs it yet.
    std::vector<float> samples;
    if (!Convert(v, header, &samples)) {
        return MMSYSERR_NOMEM;
    }
    std::lock_guard<std::mutex> lock(v->mutex);
    if (Voice::Converted* old = FindConverted(v, header)) {
        // Flags cleared by the caller but never unprepared: the mixer may still read the old
        // copy, which goes when a header is unprepared or the stream closed.
        old->header = nullptr;
    }
    v->converted.push_back({header, header->lpData, header->dwBufferLength, std::move(samples)});
    ChangeFlags(header, WHDR_PREPARED, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    Voice* v;
    Mixer* mixer;
    if (MMRESULT error = Resolve(waveOut, header, size, &v, &mixer)) {
        return error;
    }
    bool fence;
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        const DWORD flags = Flags(header);
        if (flags & WHDR_INQUEUE) {
            return WAVERR_STILLPLAYING;
        }
        if (!(flags & WHDR_PREPARED)) {
            return MMSYSERR_NOERROR;
        }
        fence = v->unfenced || v->noticesInFlight.load() > 0;
    }
    // After this the caller may free the header and its data: the mixer must have let go of
    // them, and any notice naming the header must have been delivered.
    if (fence) {
        LetGo(v, mixer, Command::Fence);
    }
    if (v->Converts()) {
        std::lock_guard<std::mutex> lock(v->mutex);
        auto& list = v->converted;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [header](const Voice::Converted& c) {
                                      return c.header == header || c.header == nullptr;
                                  }),
                   list.end());
    }
    ChangeFlags(header, 0, WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    Voice* v;
    Mixer* mixer;
    if (MMRESULT error = Resolve(waveOut, header, size, &v, &mixer)) {
        return error;
    }
    if (v->Converts()) {
        bool stale;
        {
            std::lock_guard<std::mutex> lock(v->mutex);
            const Voice::Converted* c = FindConverted(v, header);
            if (!c || !(Flags(header) & WHDR_PREPARED)) {
                return WAVERR_UNPREPARED;
            }
            if (Flags(header) & WHDR_INQUEUE) {
                return WAVERR_STILLPLAYING;
            }
            stale = c->data != header->lpData || c->length != header->dwBufferLength;
        }
        if (stale) {
            // The header now names other data: convert that, once the mixer has let go of the
            // old copy (a reset may have left it reading it until its next period).
            std::vector<float> samples;
            if (!Convert(v, header, &samples)) {
                return MMSYSERR_NOMEM;
            }
            LetGo(v, mixer, Command::Fence);
            std::lock_guard<std::mutex> lock(v->mutex);
            if (Voice::Converted* c = FindConverted(v, header)) {
                c->data = header->lpData;
                c->length = header->dwBufferLength;
                c->samples = std::move(samples);
            }
        }
    }
    bool wake;
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        const DWORD flags = Flags(header);
        if (!(flags & WHDR_PREPARED)) {
            return WAVERR_UNPREPARED;
        }
        if (flags & WHDR_INQUEUE) {
            return WAVERR_STILLPLAYING;
        }
        if (v->queued.size() >= static_cast<size_t>(kBuffersPerVoice)) {
            return MMSYSERR_NOMEM;
        }
        const Voice::Converted* converted = v->Converts() ? FindConverted(v, header) : nullptr;
        if (v->Converts() && !converted) {
            return WAVERR_UNPREPARED;
        }
        ChangeFlags(header, WHDR_INQUEUE, WHDR_DONE);
        Command c;
        c.kind = Command::Write;
        c.voice = v;
        if (converted) {
            c.data = reinterpret_cast<const uint8_t*>(converted->samples.data());
            c.frames = static_cast<uint32_t>(converted->samples.size() /
                                             static_cast<size_t>(v->Format().channels));
        } else {
            c.data = reinterpret_cast<const uint8_t*>(header->lpData);
            // A trailing partial frame is not played.
            c.frames =
                std::min<uint32_t>(header->dwBufferLength / v->Format().frameBytes, 0xFFFFFFF0u);
        }
        c.serial = ++v->lastSerial;
        v->queued.push_back({header, c.serial});
        v->unfenced = true;
        wake = S().queuedHeaders.fetch_add(1) == 0;
        // Posted under the lock so that commands reach the mixer in the order of the calls.
        Post(mixer, c);
    }
    if (wake && !S().notifiesClock) {
        Clock::Instance().Notify();  // the notifier starts looking for done buffers
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT waveOut) {
    Voice* v = Lookup(waveOut);
    Mixer* mixer = S().mixer.load();
    if (!v || !mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    bool returned;
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        Command c;
        c.kind = Command::Reset;
        c.voice = v;
        Post(mixer, c);
        returned = !v->queued.empty();
        ReturnQueued(v);
    }
    if (returned) {
        Clock::Instance().Notify();
    }
    return MMSYSERR_NOERROR;
}

static MMRESULT PostSimple(HWAVEOUT waveOut, Command::Kind kind) {
    Voice* v = Lookup(waveOut);
    Mixer* mixer = S().mixer.load();
    if (!v || !mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard<std::mutex> lock(v->mutex);
    Command c;
    c.kind = kind;
    c.voice = v;
    Post(mixer, c);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPause(HWAVEOUT waveOut) {
    return PostSimple(waveOut, Command::Pause);
}

MMRESULT waveOutRestart(HWAVEOUT waveOut) {
    return PostSimple(waveOut, Command::Restart);
}

MMRESULT waveOutSetVolume(HWAVEOUT waveOut, DWORD volume) {
    Voice* v = Lookup(waveOut);
    if (!v) {
        return MMSYSERR_INVALHANDLE;
    }
    v->volume.store(volume, std::memory_order_relaxed);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT waveOut, LPDWORD volume) {
    Voice* v = Lookup(waveOut);
    if (!v) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!volume) {
        return MMSYSERR_INVALPARAM;
    }
    *volume = v->volume.load(std::memory_order_relaxed);
    return MMSYSERR_NOERROR;
}
