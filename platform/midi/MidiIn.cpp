// midiIn*: the handles, and the back-ends shared by them while any is open.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

#include "platform/kernel/Clock.h"
#include "platform/midi/Midi.h"

struct HMIDIIN__ {
    LPMIDICALLBACK callback = nullptr;
    DWORD_PTR instance = 0;
    bool started = false;
    uint32_t startMs = 0;
};

namespace platform {
namespace midi {

const char kPortName[] = "Pulsor";

namespace {

std::atomic<bool> g_verbose{false};

struct State {
    // Held while a callback runs, so that stop and close can promise none is under way.
    std::mutex mutex;
    std::vector<HMIDIIN> handles;
    std::vector<std::unique_ptr<Input>> inputs;
};

State& TheState() {
    static State* state = new State();  // outlives static destructors that might still close
    return *state;
}

bool IsOpen(const State& s, HMIDIIN handle) {
    for (HMIDIIN h : s.handles) {
        if (h == handle) {
            return true;
        }
    }
    return false;
}

}  // namespace

void SetVerbose(bool verbose) {
    g_verbose = verbose;
}

bool Verbose() {
    return g_verbose;
}

void Say(const char* format, ...) {
    if (!g_verbose) {
        return;
    }
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::fprintf(stderr, "pulsor: MIDI: %s\n", line);
}

DWORD PackShortMessage(const unsigned char* bytes, size_t size) {
    if (size == 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0) {
        return 0;
    }
    // Program change and channel pressure carry one data byte, the others two.
    const size_t length = (bytes[0] & 0xE0) == 0xC0 ? 2 : 3;
    if (size < length || bytes[1] >= 0x80 || (length == 3 && bytes[2] >= 0x80)) {
        return 0;
    }
    return bytes[0] | static_cast<DWORD>(bytes[1]) << 8 |
           (length == 3 ? static_cast<DWORD>(bytes[2]) << 16 : 0);
}

void Deliver(DWORD message) {
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const uint32_t now = Clock::Instance().TickCountMs();
    for (HMIDIIN h : s.handles) {
        if (h->started && h->callback) {
            h->callback(h, MIM_DATA, h->instance, message, now - h->startMs);
        }
    }
}

void Inject(DWORD message) {
    Deliver(message);
}

}  // namespace midi
}  // namespace platform

using namespace platform::midi;

UINT midiInGetNumDevs(void) {
    return 1;
}

MMRESULT midiInOpen(LPHMIDIIN midiIn, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags) {
    if (!midiIn) {
        return MMSYSERR_INVALPARAM;
    }
    *midiIn = nullptr;
    if (deviceId != 0) {
        return MMSYSERR_BADDEVICEID;
    }
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if ((type != CALLBACK_NULL && type != CALLBACK_FUNCTION) || (flags & ~CALLBACK_TYPEMASK)) {
        return MMSYSERR_INVALFLAG;
    }
    auto* handle = new (std::nothrow) HMIDIIN__();
    if (!handle) {
        return MMSYSERR_NOMEM;
    }
    handle->callback =
        type == CALLBACK_FUNCTION ? reinterpret_cast<LPMIDICALLBACK>(callback) : nullptr;
    handle->instance = instance;
    State& s = TheState();
    bool first;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        first = s.handles.empty() && s.inputs.empty();
    }
    // Opened outside the lock: a back-end's thread may already deliver while the other opens.
    // Handles are opened and closed by the program's one UI thread, so two never race here.
    std::vector<std::unique_ptr<Input>> inputs;
    if (first) {
        if (auto alsa = OpenAlsaSeqInput()) {
            inputs.push_back(std::move(alsa));
        }
        if (auto jack = OpenJackInput()) {
            inputs.push_back(std::move(jack));
        }
        if (inputs.empty()) {
            Say("no ALSA sequencer and no JACK server: only the script's notes are heard");
        }
    }
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (auto& input : inputs) {
            s.inputs.push_back(std::move(input));
        }
        s.handles.push_back(handle);
    }
    *midiIn = handle;
    if (handle->callback) {
        handle->callback(handle, MIM_OPEN, instance, 0, 0);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStart(HMIDIIN midiIn) {
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!IsOpen(s, midiIn)) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!midiIn->started) {
        midiIn->started = true;
        midiIn->startMs = platform::Clock::Instance().TickCountMs();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStop(HMIDIIN midiIn) {
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!IsOpen(s, midiIn)) {
        return MMSYSERR_INVALHANDLE;
    }
    midiIn->started = false;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN midiIn) {
    State& s = TheState();
    std::vector<std::unique_ptr<Input>> last;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!IsOpen(s, midiIn)) {
            return MMSYSERR_INVALHANDLE;
        }
        for (auto it = s.handles.begin(); it != s.handles.end(); ++it) {
            if (*it == midiIn) {
                s.handles.erase(it);
                break;
            }
        }
        if (s.handles.empty()) {
            last.swap(s.inputs);
        }
    }
    // Stopped outside the lock: their threads may be waiting for it in Deliver.
    last.clear();
    if (midiIn->callback) {
        midiIn->callback(midiIn, MIM_CLOSE, midiIn->instance, 0, 0);
    }
    delete midiIn;
    return MMSYSERR_NOERROR;
}
