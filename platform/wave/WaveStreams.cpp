// waveOut's streams: the link to the running output, opening and closing streams, and what the
// other parts share to talk to the mixer.
#include <algorithm>
#include <new>

#include "platform/wave/WaveOut.h"
#include "platform/wave/WaveVoice.h"

namespace platform::wave {
namespace waveout {

State& S() {
    static State* state = new State();  // threads may still use it while the process exits
    return *state;
}

Voice* Lookup(HWAVEOUT h) {
    return static_cast<Voice*>(LookupHandle(h, HandleType::WaveOut));
}

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

namespace {

void PushNotice(const Notice& n) {
    n.voice->noticesInFlight.fetch_add(1, std::memory_order_relaxed);
    while (!S().notices->TryPush(n)) {
        Clock::Instance().SleepFor(S().pollNs.load());
    }
}

}  // namespace

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

namespace {

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
}  // namespace waveout

using namespace waveout;

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
using namespace platform::wave::waveout;

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
