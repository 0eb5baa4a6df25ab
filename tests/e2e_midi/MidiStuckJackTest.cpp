// A JACK client killed while it opens JACK's shared database leaves that database locked, and
// every later jack_client_open waits for it for good. Pulsor must start, play and close all the
// same: it asks libjack only when a server answers on its socket, never on its UI thread, and
// not for longer than a few seconds. Each case runs in a /dev/shm of its own (a private mount
// namespace), so the locked database and the servers are seen by nothing else on the machine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include "e2e_midi/MidiSupport.h"

using namespace e2e;

namespace {

// A mount namespace whose /dev/shm is an empty tmpfs, kept by a child waiting in it. Processes
// enter it through nsenter: setns would fail in a child of this process when a sanitizer's
// thread runs there too.
class PrivateShm {
public:
    PrivateShm() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            return;
        }
        holder_ = fork();
        if (holder_ == 0) {
            const char made =
                unshare(CLONE_NEWNS) == 0 &&
                mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0;
            (void)!write(ready[1], &made, 1);
            while (made) {
                pause();
            }
            _exit(1);
        }
        close(ready[1]);
        char made = 0;
        made_ = holder_ > 0 && read(ready[0], &made, 1) == 1 && made;
        close(ready[0]);
    }
    ~PrivateShm() {
        if (holder_ > 0) {
            kill(holder_, SIGKILL);
            waitpid(holder_, nullptr, 0);
        }
    }
    bool Made() const { return made_; }
    // `args` run in the namespace.
    std::vector<std::string> In(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {
            "nsenter", "--mount=/proc/" + std::to_string(holder_) + "/ns/mnt", "--"};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

private:
    pid_t holder_ = -1;
    bool made_ = false;
};

// For Spawn: `server` as the JACK server's name, and no audio device reservation asked of D-Bus.
std::function<void()> JackEnvironment(const std::string& server) {
    return [server] {
        if (server.empty()) {
            unsetenv("JACK_DEFAULT_SERVER");
        } else {
            setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        }
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    };
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

enum class Server { None, Killed, Running };

TEST(MidiStuckJack, ALockedJackDatabaseNeverHoldsUpStartPlayingOrClosing) {
    struct Case {
        const char* name;
        std::string server;  // JACK_DEFAULT_SERVER; empty: the default name
        Server state;        // Killed: SIGKILLed after the lock, its socket left behind
        bool realTime;       // on the wall clock, ended by SIGTERM; else by its script's end
        const char* said;    // the one --verbose line about JACK
    };
    const Case cases[] = {
        {"no-server", "", Server::None, true, "pulsor: MIDI: no JACK server"},
        {"dead-server", "pulsor-e2e", Server::Killed, true, "pulsor: MIDI: no JACK server"},
        {"server", "", Server::Running, true, "pulsor: MIDI: JACK has not answered"},
        {"server-virtual-time", "pulsor-e2e", Server::Running, false,
         "pulsor: MIDI: JACK has not answered"},
    };
    if (std::system("command -v jackd >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no jackd here (Debian's jackd2): the JACK path is not tested";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateShm shm;
        if (!shm.Made()) {
            GTEST_SKIP() << "a private /dev/shm needs the right to mount (root)";
        }
        const auto enter = JackEnvironment(c.server);
        PulsorRun run(std::string("midi-stuck-") + c.name);
        pid_t jackd = -1;
        if (c.state != Server::None) {
            jackd = Spawn(shm.In({"jackd", "-n", c.server.empty() ? "default" : c.server, "-d",
                                  "dummy", "-r", "48000", "-p", "256"}),
                          run.Dir() / "jackd.txt", enter);
            const pid_t waiter =
                Spawn(shm.In({MIDI_PROBE, "jack", "wait"}), run.Dir() / "wait.txt", enter);
            if (Finish(waiter, 20) != 0) {
                Finish(jackd, 0);
                GTEST_SKIP() << "jackd would not start here:\n"
                             << PulsorRun::ReadText(run.Dir() / "jackd.txt");
            }
        }
        const pid_t locker =
            Spawn(shm.In({MIDI_PROBE, "jack", "lock-db"}), run.Dir() / "lock.txt", enter);
        ASSERT_EQ(Finish(locker, 20), 0) << PulsorRun::ReadText(run.Dir() / "lock.txt");
        if (c.state == Server::Killed) {
            Finish(jackd, 0);
            jackd = -1;
        }

        // The bottom-left cell, then a picture once its word has played.
        const fs::path script = run.Dir() / "script.txt";
        std::ofstream(script) << "wait 4000\ntap 34 235\nwait 1500\nshot played.png\n"
                              << (c.realTime ? "wait 600000\n" : "");
        std::vector<std::string> args = {PULSOR_EXE,     "--headless",
                                         "--screen",     "240x320",
                                         "--dpi",        "96",
                                         "--config-dir", (run.Dir() / "config").string(),
                                         "--shots",      (run.Dir() / "shots").string(),
                                         "--script",     script.string(),
                                         "--record",     run.Recording().string(),
                                         "--verbose"};
        if (c.realTime) {
            args.push_back("--real-time");
        }
        const fs::path log = run.Dir() / "pulsor.txt";
        const pid_t pulsor = Spawn(shm.In(args), log, enter);
        if (c.realTime) {
            const bool played = WaitFor([&] { return fs::exists(run.Shot("played.png")); }, 30);
            EXPECT_TRUE(played) << "the script did not reach its shot\n"
                                << PulsorRun::ReadText(log);
            WaitFor([&] { return PulsorRun::ReadText(log).find(c.said) != std::string::npos; },
                    played ? 30 : 0);
            kill(pulsor, SIGTERM);
        }
        // Generous: only a program that hangs takes this long.
        const int status = Finish(pulsor, 40);
        if (jackd > 0) {
            Finish(jackd, 0);  // it cannot close politely: it waits for the database too
        }
        const std::string said = PulsorRun::ReadText(log);
        EXPECT_EQ(status, 0) << said;
        EXPECT_EQ(Count(said, c.said), 1u) << said;

        const Sound recording = ReadWav(run.Recording().string());
        const size_t first = Onset(recording.samples, 0);
        if (first == SIZE_MAX) {
            ADD_FAILURE() << "nothing was played\n" << said;
            continue;
        }
        EXPECT_GT(first, static_cast<size_t>(kMidiRate) * 2) << "a word before the tap";
        EXPECT_GT(MatchAt(recording.samples, first, WordOfCell(12)), 0.8)
            << "the tap plays the bottom-left cell's word";
    }
}

}  // namespace
