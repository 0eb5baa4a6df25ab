// A MIDI controller for the tests: sends notes to Pulsor's "Pulsor" input through a JACK server
// or the ALSA sequencer.
//
//   pulsor_midi_probe jack wait              exit 0 once a JACK server answers (10 s at most)
//   pulsor_midi_probe jack|alsa connect      connect our output to the Pulsor port, then play
//   pulsor_midi_probe jack|alsa plug         appear as a hardware port once the Pulsor port is
//                                            there, wait for Pulsor to connect it, then play
//   pulsor_midi_probe jack early             the same, the hardware port there before Pulsor
//   pulsor_midi_probe jack lock-db           a JACK client killed while it opens JACK's shared
//                                            database in /dev/shm, which stays locked for every
//                                            later client; exit 0 once it is so
//
// Playing is: note 36 at velocity 127 for 50 ms, a second later note 51 for 50 ms. Every wait is
// bounded; on a timeout the probe says so on stderr and exits 1.
#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& done, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Plays the notes through `send` (status, note, velocity).
void Play(const std::function<void(int, int, int)>& send) {
    send(0x90, 36, 127);
    Sleep(50);
    send(0x80, 36, 0);
    Sleep(950);
    send(0x90, 51, 127);
    Sleep(50);
    send(0x90, 51, 0);
    Sleep(300);
}

// --- JACK ---------------------------------------------------------------------------------------

std::atomic<jack_port_t*> g_out{nullptr};  // set while the process thread runs
std::atomic<uint32_t> g_pending{0};        // one message for the next period, 0: none

int Process(jack_nframes_t frames, void*) {
    jack_port_t* out = g_out;
    if (!out) {
        return 0;
    }
    void* buffer = jack_port_get_buffer(out, frames);
    jack_midi_clear_buffer(buffer);
    if (uint32_t m = g_pending.exchange(0)) {
        const unsigned char bytes[3] = {static_cast<unsigned char>(m),
                                        static_cast<unsigned char>(m >> 8),
                                        static_cast<unsigned char>(m >> 16)};
        jack_midi_event_write(buffer, 0, bytes, 3);
    }
    return 0;
}

void Quiet(const char*) {}

int Jack(const std::string& mode) {
    jack_set_error_function(Quiet);
    jack_set_info_function(Quiet);
    jack_client_t* client = nullptr;
    auto open = [&] {
        client = jack_client_open("pulsor-probe", JackNoStartServer, nullptr);
        return client != nullptr;
    };
    if (!WaitFor(open, 10)) {
        std::fprintf(stderr, "probe: no JACK server\n");
        return 1;
    }
    if (mode == "wait") {
        jack_client_close(client);
        return 0;
    }
    jack_set_process_callback(client, Process, nullptr);
    if (jack_activate(client) != 0) {
        std::fprintf(stderr, "probe: cannot activate\n");
        return 1;
    }
    const char* target = "Pulsor:Pulsor";
    auto registerOut = [&] {
        const unsigned long flags = JackPortIsOutput | (mode == "connect" ? 0 : JackPortIsPhysical);
        g_out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, flags, 0);
        return g_out.load() != nullptr;
    };
    if (mode == "early" && !registerOut()) {
        std::fprintf(stderr, "probe: cannot register the port\n");
        return 1;
    }
    if (!WaitFor([&] { return jack_port_by_name(client, target) != nullptr; }, 30)) {
        std::fprintf(stderr, "probe: no %s port\n", target);
        return 1;
    }
    if (mode != "early" && !registerOut()) {
        std::fprintf(stderr, "probe: cannot register the port\n");
        return 1;
    }
    // As a user's patchbay does: until the port's client is active, a connection is refused.
    if (mode == "connect" &&
        !WaitFor([&] { return jack_connect(client, jack_port_name(g_out), target) == 0; }, 10)) {
        std::fprintf(stderr, "probe: cannot connect to %s\n", target);
        return 1;
    }
    if (!WaitFor([&] { return jack_port_connected_to(g_out, target) != 0; }, 10)) {
        std::fprintf(stderr, "probe: Pulsor did not connect the port\n");
        return 1;
    }
    Play([](int status, int note, int velocity) {
        g_pending = static_cast<uint32_t>(status | note << 8 | velocity << 16);
        WaitFor([] { return g_pending.load() == 0; }, 5);
    });
    jack_client_close(client);
    return 0;
}

// The string at `address` in the stopped child's memory, up to 4 KiB.
std::string PeekString(pid_t child, unsigned long address) {
    std::string text;
    while (text.size() < 4096) {
        errno = 0;
        const long word = ptrace(PTRACE_PEEKDATA, child, address + text.size(), nullptr);
        if (errno != 0) {
            break;
        }
        const char* bytes = reinterpret_cast<const char*>(&word);
        for (size_t i = 0; i < sizeof(word); ++i) {
            if (bytes[i] == '\0') {
                return text;
            }
            text += bytes[i];
        }
    }
    return text;
}

// libjack opens its metadata database (Berkeley DB, in /dev/shm/jack_db-UID) in every
// jack_client_open, server or not, and holds a lock on it while it does. A client killed there
// never releases it: every later jack_client_open waits for it for good. The client here is a
// child traced system call by system call, killed as it opens the database file.
int LockDatabase() {
    const pid_t child = fork();
    if (child == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        raise(SIGSTOP);
        jack_set_error_function(Quiet);
        jack_set_info_function(Quiet);
        jack_client_open("pulsor-probe-killed", JackNoStartServer, nullptr);
        _exit(3);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
        std::fprintf(stderr, "probe: the client did not stop to be traced\n");
        return 1;
    }
    ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int signal = 0;
    for (;;) {
        ptrace(PTRACE_SYSCALL, child, nullptr, signal);
        signal = 0;
        if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
            std::fprintf(stderr, "probe: the client ended before it opened the database\n");
            return 1;
        }
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);  // its own, passed on
            continue;
        }
        __ptrace_syscall_info info{};
        if (ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof(info), &info) <= 0 ||
            info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr != SYS_openat) {
            continue;
        }
        const std::string path = PeekString(child, info.entry.args[1]);
        const std::string name = "/metadata.db";  // not the __db.metadata.db it is made as
        if (path.size() >= name.size() &&
            path.compare(path.size() - name.size(), name.size(), name) == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return 0;
        }
    }
}

// --- ALSA sequencer -----------------------------------------------------------------------------

// The client:port of the port named "Pulsor", or false.
bool FindPulsor(snd_seq_t* seq, int* client, int* port) {
    snd_seq_client_info_t* c;
    snd_seq_port_info_t* p;
    snd_seq_client_info_alloca(&c);
    snd_seq_port_info_alloca(&p);
    snd_seq_client_info_set_client(c, -1);
    while (snd_seq_query_next_client(seq, c) >= 0) {
        snd_seq_port_info_set_client(p, snd_seq_client_info_get_client(c));
        snd_seq_port_info_set_port(p, -1);
        while (snd_seq_query_next_port(seq, p) >= 0) {
            if (std::strcmp(snd_seq_port_info_get_name(p), "Pulsor") == 0) {
                *client = snd_seq_port_info_get_client(p);
                *port = snd_seq_port_info_get_port(p);
                return true;
            }
        }
    }
    return false;
}

int Alsa(const std::string& mode) {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
        std::fprintf(stderr, "probe: no ALSA sequencer\n");
        return 1;
    }
    snd_seq_set_client_name(seq, "pulsor-probe");
    int client = -1, port = -1;
    if (!WaitFor([&] { return FindPulsor(seq, &client, &port); }, 30)) {
        std::fprintf(stderr, "probe: no Pulsor port\n");
        return 1;
    }
    const unsigned type =
        SND_SEQ_PORT_TYPE_MIDI_GENERIC |
        (mode == "plug" ? SND_SEQ_PORT_TYPE_HARDWARE : SND_SEQ_PORT_TYPE_APPLICATION);
    const int out = snd_seq_create_simple_port(
        seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, type);
    if (out < 0) {
        std::fprintf(stderr, "probe: cannot create the port\n");
        return 1;
    }
    if (mode == "connect" && snd_seq_connect_to(seq, out, client, port) < 0) {
        std::fprintf(stderr, "probe: cannot connect to %d:%d\n", client, port);
        return 1;
    }
    auto connected = [&] {
        snd_seq_port_subscribe_t* s;
        snd_seq_port_subscribe_alloca(&s);
        snd_seq_addr_t sender{static_cast<unsigned char>(snd_seq_client_id(seq)),
                              static_cast<unsigned char>(out)};
        snd_seq_addr_t dest{static_cast<unsigned char>(client), static_cast<unsigned char>(port)};
        snd_seq_port_subscribe_set_sender(s, &sender);
        snd_seq_port_subscribe_set_dest(s, &dest);
        return snd_seq_get_port_subscription(seq, s) == 0;
    };
    if (!WaitFor(connected, 10)) {
        std::fprintf(stderr, "probe: Pulsor did not connect the port\n");
        return 1;
    }
    Play([&](int status, int note, int velocity) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, out);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        if ((status & 0xF0) == 0x90) {
            snd_seq_ev_set_noteon(&ev, status & 0x0F, note, velocity);
        } else {
            snd_seq_ev_set_noteoff(&ev, status & 0x0F, note, velocity);
        }
        snd_seq_event_output_direct(seq, &ev);
    });
    snd_seq_close(seq);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: pulsor_midi_probe jack|alsa wait|connect|plug|early|lock-db\n");
        return 2;
    }
    const std::string system = argv[1];
    const std::string mode = argv[2];
    if (mode != "wait" && mode != "connect" && mode != "plug" && mode != "early" &&
        mode != "lock-db") {
        return 2;
    }
    if (system == "jack" && mode == "lock-db") {
        return LockDatabase();
    }
    if (system == "jack") {
        return Jack(mode);
    }
    if (system == "alsa" && mode != "wait" && mode != "early") {
        return Alsa(mode);
    }
    return 2;
}
