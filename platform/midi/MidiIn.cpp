// midiIn*: the handles, and the back-ends shared by them while any is open. The back-ends are
// opened and closed on threads of their own, never on the caller's (the UI thread), and no one
// waits for one longer than kBoundSeconds: libjack can block for good (a client killed while it
// opens JACK's shared database leaves that locked for every later client; a stopped server never
// answers). A thread past its bound is left to itself, detached, and never joined.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
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

using SteadyClock = std::chrono::steady_clock;

// How long anyone waits for a back-end's call, on the wall clock (also headless in virtual time:
// these threads are no clock participants).
constexpr int kBoundSeconds = 5;

struct Backend {
    const char* name;
    std::unique_ptr<Input> (*open)();
    const char* hint;  // what may be holding up its opening, for the line said then
};

const Backend kBackends[] = {
    {"the ALSA sequencer", OpenAlsaSeqInput, ""},
    {"JACK", OpenJackInput,
     " (a JACK client that died while opening may have left its database in /dev/shm locked)"},
};
constexpr size_t kBackendCount = sizeof(kBackends) / sizeof(kBackends[0]);

// A back-end opening or closing on its own thread.
struct Call {
    size_t backend;
    bool opening;
    SteadyClock::time_point deadline;
    bool done;
};

struct Opened {
    size_t backend;
    std::unique_ptr<Input> input;
};

std::atomic<bool> g_verbose{false};

struct State {
    // Held while a callback runs, so that stop and close can promise none is under way.
    std::mutex mutex;
    std::condition_variable changed;  // a call is done
    std::vector<HMIDIIN> handles;
    std::vector<Opened> inputs;
    std::vector<std::shared_ptr<Call>> calls;  // under way and within their bound
    bool asked = false;              // a handle has started: the back-ends are opening or open
    bool stuck[kBackendCount] = {};  // a call of that back-end is past its bound
    std::thread watcher;             // says what is late, and when no port opened
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

// Drops the calls that are done, and those past their deadline, whose back-ends are then stuck
// until they return; the lines to say about the late ones go to `late`. Returns the next deadline.
SteadyClock::time_point Settle(State& s, std::vector<std::string>* late) {
    const SteadyClock::time_point now = SteadyClock::now();
    SteadyClock::time_point next = SteadyClock::time_point::max();
    for (auto it = s.calls.begin(); it != s.calls.end();) {
        const Call& call = **it;
        if (!call.done && call.deadline > now) {
            next = std::min(next, call.deadline);
            ++it;
            continue;
        }
        if (!call.done) {
            const Backend& b = kBackends[call.backend];
            s.stuck[call.backend] = true;
            char line[256];
            if (call.opening) {
                std::snprintf(line, sizeof(line),
                              "%s has not answered in %d s: going on without it until it does%s",
                              b.name, kBoundSeconds, b.hint);
            } else {
                std::snprintf(line, sizeof(line), "%s has not closed in %d s: left behind", b.name,
                              kBoundSeconds);
            }
            late->push_back(line);
        }
        it = s.calls.erase(it);
    }
    return next;
}

// Waits until every call is done or past its deadline; the lines are said outside the lock.
void WaitForCalls(State& s, std::unique_lock<std::mutex>& lock) {
    for (;;) {
        std::vector<std::string> late;
        const SteadyClock::time_point next = Settle(s, &late);
        if (!late.empty()) {
            lock.unlock();
            for (const std::string& line : late) {
                Say("%s", line.c_str());
            }
            lock.lock();
            continue;
        }
        if (s.calls.empty()) {
            return;
        }
        s.changed.wait_until(lock, next);
    }
}

// Runs `work` for back-end `backend` on a thread of its own, bounded by kBoundSeconds; with the
// lock held. False when no thread could be made.
template <typename Work>
bool StartCall(State& s, size_t backend, bool opening, Work work) {
    auto call = std::make_shared<Call>(
        Call{backend, opening, SteadyClock::now() + std::chrono::seconds(kBoundSeconds), false});
    try {
        std::thread([call, work = std::move(work)]() mutable {
            work();
            State& s = TheState();
            std::lock_guard<std::mutex> lock(s.mutex);
            call->done = true;
            s.stuck[call->backend] = false;
            s.changed.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        Say("cannot start a thread for %s: %s", kBackends[backend].name, e.what());
        return false;
    }
    s.calls.push_back(call);
    return true;
}

// Opens back-end `backend`. What opens is kept while handles are open, even past the bound (a
// slow server is still welcome); otherwise it is closed again on the same thread.
void OpenBackend(size_t backend) {
    std::unique_ptr<Input> input = kBackends[backend].open();
    State& s = TheState();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (input && s.asked) {
            s.inputs.push_back(Opened{backend, std::move(input)});
        }
    }
    input.reset();  // outside the lock: its threads may be waiting for it in Deliver
}

// The first start's companion: says what is late as soon as it is, and when no port opened.
void Watch() {
    State& s = TheState();
    std::unique_lock<std::mutex> lock(s.mutex);
    WaitForCalls(s, lock);
    bool stuck = false;
    for (bool b : s.stuck) {
        stuck = stuck || b;
    }
    const bool none = !s.handles.empty() && s.inputs.empty() && !stuck;
    lock.unlock();
    if (none) {
        Say("no ALSA sequencer and no JACK server: only the script's notes are heard");
    }
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
    {
        std::lock_guard<std::mutex> lock(s.mutex);
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
    std::vector<const char*> stuck;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!IsOpen(s, midiIn)) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!midiIn->started) {
            midiIn->started = true;
            midiIn->startMs = platform::Clock::Instance().TickCountMs();
        }
        // The first start opens the back-ends, in the background: a port appears only once a
        // handle hears what comes through it, so a controller's first note is never lost.
        if (!s.asked) {
            s.asked = true;
            for (size_t b = 0; b < kBackendCount; ++b) {
                if (s.stuck[b]) {
                    stuck.push_back(kBackends[b].name);
                } else {
                    StartCall(s, b, true, [b] { OpenBackend(b); });
                }
            }
            try {
                s.watcher = std::thread(Watch);
            } catch (const std::system_error&) {
                // Only the lines about late back-ends are lost.
            }
        }
    }
    for (const char* name : stuck) {
        Say("%s has still not answered: going on without it", name);
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
    std::thread watcher;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        if (!IsOpen(s, midiIn)) {
            return MMSYSERR_INVALHANDLE;
        }
        s.handles.erase(std::find(s.handles.begin(), s.handles.end(), midiIn));
        if (s.handles.empty()) {
            s.asked = false;
            // Openings under way close what they open themselves once no handle is left.
            WaitForCalls(s, lock);
            for (Opened& opened : s.inputs) {
                auto input = std::make_shared<std::unique_ptr<Input>>(std::move(opened.input));
                if (!StartCall(s, opened.backend, false, [input] { input->reset(); })) {
                    lock.unlock();
                    input->reset();
                    lock.lock();
                }
            }
            s.inputs.clear();
            WaitForCalls(s, lock);
            watcher.swap(s.watcher);
        }
    }
    // It waits for nothing the calls above have not settled.
    if (watcher.joinable()) {
        watcher.join();
    }
    if (midiIn->callback) {
        midiIn->callback(midiIn, MIM_CLOSE, midiIn->instance, 0, 0);
    }
    delete midiIn;
    return MMSYSERR_NOERROR;
}
