// The "Pulsor" port on the ALSA sequencer. Hardware controllers are connected when the port
// opens and whenever a port of theirs starts later: a private port of ours hears the system's
// announcements (0:1), and PORT_START is acted on rather than CLIENT_START, as a device's ports
// may appear after its client. Numbers are looked up afresh every time, never remembered.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/midi/Midi.h"

namespace platform {
namespace midi {
namespace {

const char kSequencerDevice[] = "/dev/snd/seq";

class AlsaSeqInput : public Input {
public:
    bool Open() {
        // Checked first so that a machine without the sequencer hears nothing from libasound.
        struct stat info;
        if (stat(kSequencerDevice, &info) != 0) {
            Say("no ALSA sequencer (%s: %s)", kSequencerDevice, std::strerror(errno));
            return false;
        }
        if (int err = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
            err < 0) {
            seq_ = nullptr;
            Say("cannot open the ALSA sequencer: %s", snd_strerror(err));
            return false;
        }
        snd_seq_set_client_name(seq_, kPortName);
        self_ = snd_seq_client_id(seq_);
        port_ = snd_seq_create_simple_port(
            seq_, kPortName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        // Not offered to others: only the system's announcements reach it.
        announce_ = snd_seq_create_simple_port(seq_, "announcements",
                                               SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                               SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0 || announce_ < 0) {
            Say("cannot make the ALSA sequencer port");
            return false;
        }
        if (snd_seq_connect_from(seq_, announce_, SND_SEQ_CLIENT_SYSTEM,
                                 SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
            Say("no ALSA announcements: controllers plugged in later are not connected");
        }
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) {
            return false;
        }
        Say("ALSA sequencer port %s is %d:%d", kPortName, self_, port_);
        ConnectAllHardware();
        reader_ = std::thread([this] { Read(); });
        return true;
    }

    ~AlsaSeqInput() override {
        if (reader_.joinable()) {
            const uint64_t one = 1;
            (void)!write(wake_, &one, sizeof(one));
            reader_.join();
        }
        if (wake_ >= 0) {
            close(wake_);
        }
        if (seq_) {
            snd_seq_close(seq_);
        }
    }

private:
    // Controllers are the hardware ports others may read from; software clients (sequencers,
    // Midi Through) are the user's to connect.
    void ConnectIfHardware(int client, int port) {
        if (client == self_ || client == SND_SEQ_CLIENT_SYSTEM) {
            return;
        }
        snd_seq_port_info_t* info;
        snd_seq_port_info_alloca(&info);
        if (snd_seq_get_any_port_info(seq_, client, port, info) < 0) {
            return;
        }
        const unsigned caps = snd_seq_port_info_get_capability(info);
        const unsigned type = snd_seq_port_info_get_type(info);
        const unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
        if ((caps & readable) != readable || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) ||
            !(type & SND_SEQ_PORT_TYPE_HARDWARE)) {
            return;
        }
        const int err = snd_seq_connect_from(seq_, port_, client, port);
        if (err == 0 || err == -EBUSY) {
            Say("connected ALSA port '%s' (%d:%d)", snd_seq_port_info_get_name(info), client, port);
        } else {
            Say("cannot connect ALSA port '%s' (%d:%d): %s", snd_seq_port_info_get_name(info),
                client, port, snd_strerror(err));
        }
    }

    void ConnectAllHardware() {
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        std::vector<std::pair<int, int>> found;
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq_, client) >= 0) {
            const int id = snd_seq_client_info_get_client(client);
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq_, port) >= 0) {
                found.emplace_back(id, snd_seq_port_info_get_port(port));
            }
        }
        for (auto [c, p] : found) {
            ConnectIfHardware(c, p);
        }
    }

    void Handle(const snd_seq_event_t* ev) {
        if (ev->dest.port == announce_) {
            if (ev->type == SND_SEQ_EVENT_PORT_START) {
                ConnectIfHardware(ev->data.addr.client, ev->data.addr.port);
            }
            return;
        }
        const snd_seq_ev_note_t& n = ev->data.note;
        const snd_seq_ev_ctrl_t& c = ev->data.control;
        auto send = [](int status, int channel, int data1, int data2) {
            const unsigned char bytes[3] = {static_cast<unsigned char>(status | (channel & 0x0F)),
                                            static_cast<unsigned char>(data1 & 0x7F),
                                            static_cast<unsigned char>(data2 & 0x7F)};
            if (DWORD message = PackShortMessage(bytes, sizeof(bytes))) {
                Deliver(message);
            }
        };
        switch (ev->type) {
            case SND_SEQ_EVENT_NOTEON:
                send(0x90, n.channel, n.note, n.velocity);
                break;
            case SND_SEQ_EVENT_NOTEOFF:
                send(0x80, n.channel, n.note, n.velocity);
                break;
            case SND_SEQ_EVENT_KEYPRESS:
                send(0xA0, n.channel, n.note, n.velocity);
                break;
            case SND_SEQ_EVENT_CONTROLLER:
                send(0xB0, c.channel, static_cast<int>(c.param), c.value);
                break;
            case SND_SEQ_EVENT_PGMCHANGE:
                send(0xC0, c.channel, c.value, 0);
                break;
            case SND_SEQ_EVENT_CHANPRESS:
                send(0xD0, c.channel, c.value, 0);
                break;
            case SND_SEQ_EVENT_PITCHBEND:
                send(0xE0, c.channel, (c.value + 8192) & 0x7F, (c.value + 8192) >> 7);
                break;
            default:
                break;
        }
    }

    void Read() {
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
        fds[0] = pollfd{wake_, POLLIN, 0};
        snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
        for (;;) {
            if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
                return;
            }
            if (fds[0].revents) {
                return;
            }
            snd_seq_event_t* ev = nullptr;
            int err;
            while ((err = snd_seq_event_input(seq_, &ev)) >= 0 || err == -ENOSPC) {
                if (ev && err >= 0) {
                    Handle(ev);
                }
            }
        }
    }

    snd_seq_t* seq_ = nullptr;
    int self_ = -1;
    int port_ = -1;
    int announce_ = -1;
    int wake_ = -1;
    std::thread reader_;
};

}  // namespace

std::unique_ptr<Input> OpenAlsaSeqInput() {
    auto input = std::make_unique<AlsaSeqInput>();
    if (!input->Open()) {
        return nullptr;
    }
    return input;
}

}  // namespace midi
}  // namespace platform
