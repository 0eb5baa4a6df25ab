// The "Pulsor" MIDI input port on a running JACK server. The server is never started for us
// (JackNoStartServer), nor is libjack called at all unless a server answers on its socket:
// jack_client_open opens JACK's shared database in /dev/shm before it looks for a server, and a
// client killed in the middle of that leaves the database locked for every later one. libjack's
// own messages stay quiet unless --verbose. Physical MIDI outputs (hardware, or ALSA's bridged
// through a2jmidid) are connected when the port opens and whenever one registers later;
// connections are made by name from a thread of our own, as JACK's notification callbacks may
// not call back into the server.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/midi/Midi.h"

namespace platform {
namespace midi {
namespace {

void JackError(const char* text) {
    if (Verbose()) {
        std::fprintf(stderr, "pulsor: JACK: %s\n", text);
    }
}

// The socket a server listens on, as libjack names it: /dev/shm/jack_NAME_UID_0, NAME from
// JACK_DEFAULT_SERVER ("default" without it) with its slashes made underscores, and no UID for a
// server all users share (JACK_PROMISCUOUS_SERVER).
std::string ServerSocket() {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    std::string name = server ? server : "default";
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    std::string path = "/dev/shm/jack_" + name;
    if (!std::getenv("JACK_PROMISCUOUS_SERVER")) {
        path += "_" + std::to_string(geteuid());
    }
    return path + "_0";
}

// Whether a server accepts connections on `path`; a socket left by a server that died does not.
bool ServerAnswers(const std::string& path, std::string* why) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        *why = std::strerror(ENAMETOOLONG);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = std::strerror(errno);
        return false;
    }
    // EAGAIN: a server whose queue of new clients is full, busy but there.
    const bool answers =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
        errno == EAGAIN;
    if (!answers) {
        *why = std::strerror(errno);
    }
    close(fd);
    return answers;
}

class JackInput : public Input {
public:
    bool Open() {
        const std::string socket = ServerSocket();
        std::string why;
        if (!ServerAnswers(socket, &why)) {
            Say("no JACK server (%s: %s)", socket.c_str(), why.c_str());
            return false;
        }
        jack_set_error_function(JackError);
        jack_set_info_function(JackError);
        jack_status_t status{};
        client_ = jack_client_open(kPortName, JackNoStartServer, &status);
        if (!client_) {
            Say("the JACK server at %s refused the client (status 0x%x)", socket.c_str(),
                static_cast<unsigned>(status));
            return false;
        }
        // Our port's full name, for Process until jack_port_register has returned its handle.
        expectedName_ = std::string(jack_get_client_name(client_)) + ":" + kPortName;
        expected_ = expectedName_.c_str();
        if (jack_set_process_callback(client_, Process, this) != 0 ||
            jack_set_port_registration_callback(client_, Registered, this) != 0 ||
            jack_activate(client_) != 0) {
            Say("JACK: cannot activate the client");
            return false;
        }
        active_ = true;
        // Registered once active, so that the port can be connected as soon as anyone sees it.
        jack_port_t* port =
            jack_port_register(client_, kPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!port) {
            Say("JACK: cannot make the input port");
            return false;
        }
        portName_ = jack_port_name(port);
        port_ = port;
        connector_ = std::thread([this] { Connect(); });
        Say("JACK port %s", portName_.c_str());
        // The outputs there already; those registered from now on come through Registered.
        if (const char** names =
                jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const char** n = names; *n; ++n) {
                pending_.push_back(*n);
            }
            jack_free(names);
        }
        wake_.notify_one();
        return true;
    }

    ~JackInput() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        if (connector_.joinable()) {
            connector_.join();
        }
        if (client_) {
            if (active_) {
                jack_deactivate(client_);
            }
            jack_client_close(client_);
        }
    }

private:
    // JACK's process thread. Every event of the period is delivered at once: the mixer's next
    // period is the earliest any of them can be heard.
    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackInput*>(arg);
        jack_port_t* port = self->port_;
        if (!port) {
            // Others may see the port, connect and play into it before jack_port_register has
            // returned its handle to us: it is looked up (in shared memory, without the server).
            port = jack_port_by_name(self->client_, self->expected_);
            if (!port) {
                return 0;  // not registered yet
            }
        }
        void* buffer = jack_port_get_buffer(port, frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0) {
                if (DWORD message = PackShortMessage(event.buffer, event.size)) {
                    Deliver(message);
                }
            }
        }
        return 0;
    }

    static void Registered(jack_port_id_t id, int registered, void* arg) {
        auto* self = static_cast<JackInput*>(arg);
        if (!registered) {
            return;  // an unplugged port takes its connections with it
        }
        jack_port_t* port = jack_port_by_id(self->client_, id);
        if (!port) {
            return;
        }
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->pending_.push_back(jack_port_name(port));
        self->wake_.notify_one();
    }

    void Connect() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
            if (stop_) {
                return;
            }
            const std::string name = pending_.front();
            pending_.pop_front();
            lock.unlock();
            jack_port_t* port = jack_port_by_name(client_, name.c_str());
            const int flags = port ? jack_port_flags(port) : 0;
            const bool physicalMidiOut =
                port && (flags & JackPortIsOutput) && (flags & JackPortIsPhysical) &&
                std::string(jack_port_type(port)) == JACK_DEFAULT_MIDI_TYPE;
            if (physicalMidiOut) {
                const int result = jack_connect(client_, name.c_str(), portName_.c_str());
                if (result == 0 || result == EEXIST) {
                    Say("connected JACK port %s", name.c_str());
                } else {
                    Say("cannot connect JACK port %s (%d)", name.c_str(), result);
                }
            }
            lock.lock();
        }
    }

    // Set before activation; atomic as libjack's threads read them and libjack's own
    // synchronisation is not seen by the race detector.
    std::atomic<jack_client_t*> client_{nullptr};
    std::atomic<jack_port_t*> port_{nullptr};
    std::string portName_;
    std::string expectedName_;
    std::atomic<const char*> expected_{nullptr};  // expectedName_, once it is set
    bool active_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> pending_;  // output ports to look at, by name
    bool stop_ = false;
    std::thread connector_;
};

}  // namespace

std::unique_ptr<Input> OpenJackInput() {
    auto input = std::make_unique<JackInput>();
    if (!input->Open()) {
        return nullptr;
    }
    return input;
}

}  // namespace midi
}  // namespace platform
