// waveOut's buffers: preparing (and converting) them, writing, resetting, pausing and volume.
#include <algorithm>
#include <vector>

#include "platform/wave/Resampler.h"
#include "platform/wave/WaveVoice.h"

namespace platform::wave::waveout {
namespace {

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

}  // namespace
}  // namespace platform::wave::waveout

using namespace platform;
using namespace platform::wave;
using namespace platform::wave::waveout;

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
