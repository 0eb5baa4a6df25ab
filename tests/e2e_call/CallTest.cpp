// Into the call, on real sound servers: the program runs headless on the wall clock with a script,
// `parec` records the "Pulsor microphone" as a call app would, and `pactl` looks at what is left on
// the server. Each server is a private one of the test's own: PulseAudio, as the audio tests use
// it, and PipeWire with pipewire-pulse and WirePlumber where they are installed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "e2e_app/E2eSupport.h"
#include "e2e_soak/SoakSupport.h"
#include "platform/kernel/Clock.h"
#include "platform/wave/Audio.h"
#include "platform/win32.h"

using namespace e2e;

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

const char kSettings[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n";
const char kSource[] = "pulsor_microphone";
const char kSine[] = "pulsor_test_sine";
// The first cell of the 480x640 pad: the low voice's first word. On the wall clock a loaded
// machine (or a sanitizer build) may take longer than the splash's two seconds to load.
const char kTapScript[] = "wait 4000\ntap 70 170\nwait 1300\n";

std::string Which(const std::string& tool) {
    std::string path = Output("command -v " + tool + " 2>/dev/null");
    while (!path.empty() && path.back() == '\n') {
        path.pop_back();
    }
    return path;
}

bool Poll(const std::function<bool()>& ready, int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Mono samples in -1..1 of a raw 16-bit stereo recording.
std::vector<float> ReadRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> mono;
    auto sample = [&](size_t at) {
        return static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) |
                                    static_cast<uint8_t>(bytes[at + 1]) << 8);
    };
    for (size_t at = 0; at + 3 < bytes.size(); at += 4) {
        mono.push_back((sample(at) + sample(at + 2)) / 65536.0f);
    }
    return mono;
}

// Crossings of zero per second, upwards and downwards: twice the frequency of a sine.
double Crossings(const std::vector<float>& a, size_t from, size_t length) {
    int n = 0;
    for (size_t i = from + 1; i < from + length && i < a.size(); ++i) {
        n += (a[i - 1] < 0) != (a[i] < 0);
    }
    return n * 48000.0 / static_cast<double>(length);
}

// A private server. PulseAudio: started by the project's script in a runtime folder of its own.
// PipeWire: a session bus, pipewire, WirePlumber and pipewire-pulse in an XDG_RUNTIME_DIR of
// their own.
class Server {
public:
    enum Kind { PulseAudio, PipeWire };

    Server(Kind kind, const fs::path& dir) : kind_(kind), dir_(dir) {}
    ~Server() { Stop(); }

    // For this process and the children it starts.
    void Use() const {
        if (kind_ == PulseAudio) {
            unsetenv("PULSE_SERVER");
            setenv("PULSE_RUNTIME_PATH", dir_.c_str(), 1);
        } else {
            unsetenv("PULSE_RUNTIME_PATH");
            setenv("PULSE_SERVER", ("unix:" + (dir_ / "pulse/native").string()).c_str(), 1);
        }
    }

    // False with the reason when it cannot be had here.
    bool Start(std::string* why) {
        fs::create_directories(dir_);
        chmod(dir_.c_str(), 0700);
        Use();
        if (kind_ == PulseAudio) {
            const std::string script =
                std::string(PULSOR_SOURCE_DIR) + "/scripts/start-pulseaudio.sh";
            started_ = std::system((script + " pulsor_e2e_call >/dev/null 2>&1").c_str()) == 0;
            *why = "no PulseAudio server could be started";
            return started_;
        }
        const Env env = {{"XDG_RUNTIME_DIR", dir_.string()},
                         {"XDG_STATE_HOME", (dir_ / "state").string()},
                         {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir_ / "bus").string()}};
        for (const char* tool : {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse"}) {
            const std::string path = Which(tool);
            if (path.empty()) {
                *why = std::string(tool) +
                       " is not installed (Debian: pipewire, pipewire-pulse, "
                       "wireplumber)";
                return false;
            }
            std::vector<std::string> args;
            if (std::string(tool) == "dbus-daemon") {
                args = {"--session", "--nofork", "--address=unix:path=" + (dir_ / "bus").string()};
            }
            pids_.push_back(
                soak::Spawn(path, args, (dir_ / (std::string(tool) + ".log")).string(), "", env));
            if (pids_.size() == 1) {
                Poll([this] { return fs::exists(dir_ / "bus"); }, 3000);
            }
        }
        // WirePlumber is up once the server has a default sink (its dummy output, here).
        const bool up = Poll(
            [this] {
                const std::string info = Pactl("info");
                return info.find("on PipeWire") != std::string::npos &&
                       info.find("Default Sink: @") == std::string::npos;
            },
            8000);
        *why = "PipeWire with pipewire-pulse did not come up (see " + dir_.string() + ")";
        return up;
    }

    void Stop() {
        if (kind_ == PulseAudio && started_) {
            Use();
            std::system("pulseaudio --kill >/dev/null 2>&1");
            started_ = false;
        }
        for (auto it = pids_.rbegin(); it != pids_.rend(); ++it) {
            kill(*it, SIGTERM);
            waitpid(*it, nullptr, 0);
        }
        pids_.clear();
    }

    std::string Pactl(const std::string& args) const {
        return Output("pactl " + args + " 2>/dev/null");
    }

    // The lines of `pactl list short modules` that carry a Pulsor's mark.
    std::vector<std::string> PulsorModules() const {
        std::vector<std::string> found;
        std::istringstream lines(Pactl("list short modules"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find("pulsor.call=") != std::string::npos) {
                found.push_back(line);
            }
        }
        return found;
    }

    int SourcesNamed(const std::string& name) const {
        int n = 0;
        std::istringstream lines(Pactl("list short sources"));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string index, source;
            fields >> index >> source;
            n += source == name;
        }
        return n;
    }

    // A 440 Hz sine at about -24 dBFS as the default source: module-sine-source where the server
    // has it; otherwise (pipewire-pulse) a microphone made of a null sink's monitor, remapped,
    // with the sine played into the sink.
    bool MakeSineMicrophone() {
        if (!Pactl(std::string("load-module module-sine-source frequency=440 source_name=") + kSine)
                 .empty()) {
            Pactl(std::string("set-source-volume ") + kSine + " 50%");  // 0.125 of 0.5
        } else {
            const fs::path sine = dir_ / "sine.raw";
            std::vector<int16_t> samples(48000 * 20);
            for (size_t t = 0; t < samples.size(); ++t) {
                samples[t] = static_cast<int16_t>(2048 * std::sin(2 * M_PI * 440 * t / 48000.0));
            }
            std::ofstream(sine, std::ios::binary)
                .write(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
            if (Pactl("load-module module-null-sink sink_name=pulsor_test_feed").empty() ||
                Pactl(std::string("load-module module-remap-source source_name=") + kSine +
                      " master=pulsor_test_feed.monitor")
                    .empty()) {
                return false;
            }
            pids_.push_back(soak::Spawn(Which("pacat"),
                                        {"-d", "pulsor_test_feed", "--raw", "--format=s16le",
                                         "--rate=48000", "--channels=1", sine.string()},
                                        (dir_ / "pacat.log").string()));
        }
        Pactl(std::string("set-default-source ") + kSine);
        return Pactl("info").find(std::string("Default Source: ") + kSine) != std::string::npos;
    }

private:
    Kind kind_;
    fs::path dir_;
    bool started_ = false;
    std::vector<pid_t> pids_;  // stopped last to first
};

// 240x320 at 96 dpi: the settings page, its rows scrolled until the "Into calls" switch is at
// y 215 with its line under it, and a touch on the switch.
const std::string kToCallRow = "wait 4000\ntap 39 13\nwait 600\ndrag 60 250 60 168 400\nwait 300\n";
const std::string kCallRowScript = kToCallRow + "tap 170 215\nwait 300\n";

struct Take {
    soak::Outcome outcome;
    std::vector<float> call;  // what the Pulsor microphone gave a recorder
    std::string defaults;     // the server's default sink and source just before the signal
};

class Call : public ::testing::TestWithParam<Server::Kind> {
protected:
    void SetUp() override {
        saved_ = {{"PULSE_SERVER", ""}, {"PULSE_RUNTIME_PATH", ""}};
        for (auto& [name, value] : saved_) {
            const char* v = std::getenv(name.c_str());
            value = v ? v : "";
        }
        server_ = std::make_unique<Server>(GetParam(), run_.Dir() / "server");
        std::string why;
        if (!server_->Start(&why)) {
            GTEST_SKIP() << why;
        }
    }
    void TearDown() override {
        server_.reset();
        for (const auto& [name, value] : saved_) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
    }

    void Store(const std::string& values) { std::ofstream(run_.Registry()) << kSettings << values; }

    // Starts the program with `script`, records the Pulsor microphone from its appearance on,
    // and ends the program with `signal` `endAfterMs` after the source appeared (it appears as the
    // loader reads the settings, about 3 s before the script's first tap); without a signal the
    // script ends it.
    Take Perform(const std::string& script, const std::vector<std::string>& options, int signal = 0,
                 int endAfterMs = 0) {
        std::ofstream(run_.Dir() / "script.txt") << script;
        std::vector<std::string> args = {"--headless",   "--real-time",
                                         "--script",     (run_.Dir() / "script.txt").string(),
                                         "--config-dir", (run_.Dir() / "config").string()};
        args.insert(args.end(), options.begin(), options.end());
        Take take;
        const pid_t pulsor = soak::Spawn(PULSOR_EXE, args, (run_.Dir() / "stderr.txt").string());
        const bool appeared = Poll([&] { return server_->SourcesNamed(kSource) > 0; }, 8000);
        const auto appearedAt = std::chrono::steady_clock::now();
        const fs::path raw = run_.Dir() / "call.raw";
        const pid_t recorder =
            appeared ? soak::Spawn(Which("parec"),
                                   {"-d", kSource, "--raw", "--format=s16le", "--rate=48000",
                                    "--channels=2", "--latency-msec=20", raw.string()},
                                   (run_.Dir() / "parec.txt").string())
                     : -1;
        if (signal) {
            std::this_thread::sleep_until(appearedAt + std::chrono::milliseconds(endAfterMs));
            std::istringstream info(server_->Pactl("info"));
            for (std::string line; std::getline(info, line);) {
                if (line.rfind("Default S", 0) == 0) {
                    take.defaults += line + "\n";
                }
            }
            kill(pulsor, signal);
        }
        take.outcome = soak::Reap(pulsor);
        if (recorder > 0) {
            // The recorder ends with the source; one left by a killed program is stopped here.
            if (!Poll([&] { return waitpid(recorder, nullptr, WNOHANG) == recorder; }, 1000)) {
                kill(recorder, SIGTERM);
                waitpid(recorder, nullptr, 0);
            }
        }
        take.call = ReadRaw(raw);
        EXPECT_TRUE(appeared) << "no " << kSource << " on the server:\n" << run_.Errors();
        return take;
    }

    DWORD Stored(const wchar_t* name) {
        std::ifstream in(run_.Registry());
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const std::string key = "\"" + std::string(name, name + std::wcslen(name)) + "\"=dword:";
        const size_t at = text.find(key);
        return at == std::string::npos ? 0xDEADu
                                       : std::stoul(text.substr(at + key.size(), 8), nullptr, 16);
    }

    PulsorRun run_{"call"};
    std::unique_ptr<Server> server_;
    Env saved_;
};

// --call with the stored level at 50 and the microphone left out: the word reaches the call 6 dB
// below the local mix, the sine of the default source does not, and the stored values stay.
TEST_P(Call, WordsReachTheMicrophoneAtTheCallLevelWithoutTheSine) {
    ASSERT_TRUE(server_->MakeSineMicrophone());
    Store("\"CallVolume\"=dword:00000032\n\"CallWithMicrophone\"=dword:00000000\n");
    const Take take = Perform(kTapScript, {"--call", "--record", run_.Recording().string()});
    ASSERT_EQ(take.outcome.status, 0) << run_.Errors();
    const Sound local = ReadWav(run_.Recording().string());
    const size_t localOnset = Onset(local.samples, 2000 * 48);
    const size_t callOnset = Onset(take.call, 0, 0.01f);
    ASSERT_NE(localOnset, SIZE_MAX);
    ASSERT_NE(callOnset, SIZE_MAX)
        << "the word is not in the call (" << take.call.size() << " frames recorded)";
    const double local_rms = Rms(local.samples, localOnset, 24000);
    const double call_rms = Rms(take.call, callOnset, 24000);
    EXPECT_NEAR(20 * std::log10(call_rms / local_rms), -6.02, 1.0);
    ASSERT_GT(callOnset, 9600u) << "the source appeared too late to hear the pause";
    EXPECT_LT(Rms(take.call, 0, callOnset - 4800), 0.002) << "the sine is in the call";
    EXPECT_TRUE(server_->PulsorModules().empty()) << server_->PulsorModules()[0];
    EXPECT_EQ(Stored(L"CallOutput"), 0u) << "--call changed the stored value";
    EXPECT_EQ(Stored(L"CallVolume"), 50u);
    EXPECT_EQ(Stored(L"CallWithMicrophone"), 0u);
}

// Stored on, with the microphone (the default): the sine is in the call before the word and the
// word comes over it; SIGTERM ends the program as its close button does, and nothing is left.
TEST_P(Call, TheMicrophoneIsMixedInAndSigtermLeavesNothing) {
    ASSERT_TRUE(server_->MakeSineMicrophone());
    Store("\"CallOutput\"=dword:00000001\n");
    // The tap waits 6 s: under ThreadSanitizer, beside PipeWire starting, loading can take 4.
    const Take take = Perform("wait 6000\ntap 70 170\nwait 60000\n", {}, SIGTERM, 7200);
    EXPECT_EQ(take.outcome.status, 0) << run_.Errors();
    // The word rises far above the sine (-24 dBFS); before it, the sine alone.
    const size_t word = Onset(take.call, 0, 0.2f);
    ASSERT_NE(word, SIZE_MAX) << "the word is not in the call";
    ASSERT_GT(word, 9600u) << "the source appeared too late to hear the sine alone";
    EXPECT_NEAR(Rms(take.call, word - 9600, 4800), 0.044, 0.015) << "the sine is not in the call";
    EXPECT_NEAR(Crossings(take.call, word - 9600, 4800), 880, 60);
    EXPECT_TRUE(server_->PulsorModules().empty()) << server_->PulsorModules()[0];
    EXPECT_EQ(server_->SourcesNamed(kSource), 0);
    // The user's own devices stay the defaults while the call's exist.
    EXPECT_NE(take.defaults.find(std::string("Default Source: ") + kSine), std::string::npos)
        << take.defaults;
    EXPECT_EQ(take.defaults.find("Default Sink: pulsor_call"), std::string::npos) << take.defaults;
}

// A Pulsor killed outright leaves its modules; the next start clears them and makes one source.
TEST_P(Call, AKilledPulsorsModulesAreClearedByTheNextStart) {
    Perform("wait 60000\n", {"--call"}, SIGKILL, 0);
    const std::vector<std::string> stale = server_->PulsorModules();
    ASSERT_GE(stale.size(), 2u) << "the killed program left nothing to clear";

    // Runs until the test has seen its modules, however slow the start on a loaded machine.
    std::ofstream(run_.Dir() / "script.txt") << "wait 60000\n";
    const pid_t next = soak::Spawn(
        PULSOR_EXE,
        {"--headless", "--real-time", "--call", "--script", (run_.Dir() / "script.txt").string(),
         "--config-dir", (run_.Dir() / "config").string()},
        (run_.Dir() / "stderr.txt").string());
    std::vector<std::string> modules;
    EXPECT_TRUE(Poll(
        [&] {
            modules = server_->PulsorModules();
            return server_->SourcesNamed(kSource) == 1 && modules.size() >= 2 &&
                   std::find(modules.begin(), modules.end(), stale[0]) == modules.end();
        },
        8000));
    EXPECT_EQ(server_->SourcesNamed(kSource), 1);
    for (const std::string& line : modules) {
        EXPECT_EQ(std::find(stale.begin(), stale.end(), line), stale.end()) << line;
    }
    kill(next, SIGTERM);
    EXPECT_EQ(soak::Reap(next).status, 0) << run_.Errors();
    EXPECT_TRUE(server_->PulsorModules().empty());
}

// The settings row's path, in this process: the call output follows each SndSetCallOutput at once
// (the microphone added and taken away while on), says why when it cannot, and leaves nothing.
TEST_P(Call, SwitchingFollowsEachCall) {
    ASSERT_TRUE(server_->MakeSineMicrophone());
    platform::Clock::Instance().SetVirtual(false);
    platform::DeviceOptions options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::wave::StartAudio(options, &error)) << error;
    auto set = [](DWORD mode, BOOL microphone) {
        SNDCALL call{};
        call.mode = mode;
        call.volume = 80;
        call.withMicrophone = microphone;
        SndSetCallOutput(&call);
        return call;
    };
    auto loopbacks = [this] {
        const std::vector<std::string> modules = server_->PulsorModules();
        return std::count_if(modules.begin(), modules.end(), [](const std::string& line) {
            return line.find("module-loopback") != std::string::npos;
        });
    };
    EXPECT_FALSE(set(SNDCALL_AS_STARTED, TRUE).on) << "on without --call";
    EXPECT_TRUE(server_->PulsorModules().empty());
    SNDCALL call = set(SNDCALL_ON, FALSE);
    EXPECT_TRUE(call.on && !call.microphoneMixed && call.reason[0] == L'\0');
    EXPECT_EQ(server_->SourcesNamed(kSource), 1);
    EXPECT_EQ(loopbacks(), 0);
    call = set(SNDCALL_ON, TRUE);
    EXPECT_TRUE(call.on && call.microphoneMixed);
    EXPECT_EQ(loopbacks(), 1);
    call = set(SNDCALL_ON, FALSE);
    EXPECT_EQ(loopbacks(), 0);
    EXPECT_TRUE(call.on);
    call = set(SNDCALL_OFF, TRUE);
    EXPECT_FALSE(call.on);
    EXPECT_TRUE(server_->PulsorModules().empty());
    EXPECT_TRUE(set(SNDCALL_ON, TRUE).on);
    EXPECT_EQ(server_->SourcesNamed(kSource), 1);
    platform::wave::StopAudio();  // as the program ends
    EXPECT_TRUE(server_->PulsorModules().empty());
    call = set(SNDCALL_ON, TRUE);
    EXPECT_FALSE(call.on);
    EXPECT_STREQ(call.reason, L"the sound output has stopped");
}

// The settings page's row: below the other switches, scrolled into view; a touch makes the
// microphone at once, and the choice is kept for the next start.
TEST_P(Call, TheSettingsRowTurnsItOnAndTheChoiceIsKept) {
    const Take take = Perform(kCallRowScript + "wait 60000\n",
                              {"--screen", "240x320", "--dpi", "96"}, SIGTERM, 1500);
    EXPECT_EQ(take.outcome.status, 0) << run_.Errors();
    EXPECT_EQ(Stored(L"CallOutput"), 1u);
    EXPECT_TRUE(server_->PulsorModules().empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, Call, ::testing::Values(Server::PulseAudio, Server::PipeWire),
                         [](const auto& info) {
                             return info.param == Server::PulseAudio ? "PulseAudio" : "PipeWire";
                         });

// Without a server, or where the call output cannot run, one line says why and the run is as it
// would be without it; options that cannot go together are refused before anything runs.
TEST(CallRefused, OneLineAndNothingElseChanges) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* stored;  // registry values
        int status;
        const char* said;
    } cases[] = {
        {"no-server",
         {"--real-time", "--call"},
         "",
         0,
         "pulsor: no call output: no sound server: Connection refused\n"},
        {"virtual-time-stored",
         {},
         "\"CallOutput\"=dword:00000001\n",
         0,
         "pulsor: no call output: the call output runs on the wall clock, which a headless run "
         "keeps only with --real-time\n"},
        {"virtual-time-option", {"--call"}, "", 2, "pulsor: --call needs the wall clock"},
        {"no-audio", {"--call", "--no-audio"}, "", 2, "pulsor: --call has nothing to send"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("call-refused-") + c.name);
        std::ofstream(run.Registry()) << kSettings << c.stored;
        std::string options = "--screen 480x640";
        if (c.status == 0) {
            options += " --record " + run.Recording().string();
        }
        for (const std::string& option : c.options) {
            options += " " + option;
        }
        setenv("PULSE_SERVER", "unix:/nonexistent/pulsor-test/native", 1);
        const int status = run.Start("wait 4000\ntap 70 170\nwait 500\n", options);
        unsetenv("PULSE_SERVER");
        EXPECT_EQ(status, c.status) << run.Errors();
        const std::string errors = run.Errors();
        EXPECT_EQ(errors.rfind(c.said, 0), 0u) << errors;
        if (c.status == 0) {
            // The one line, then at most the sanitizer's closing report.
            const std::string rest = errors.substr(std::strlen(c.said));
            EXPECT_EQ(rest.find("pulsor:"), std::string::npos) << errors;
            const Sound sound = ReadWav(run.Recording().string());
            EXPECT_GT(Rms(sound.samples, 4000 * 48, 24000), 0.01) << "the tap was not heard";
        }
    }
}

// Where it cannot come on, the row's switch goes back off and the line under it says why, as
// stderr does; what is kept is off.
TEST(CallRefused, TheSettingsRowSaysWhyAndStaysOff) {
    PulsorRun run("call-row-refused");
    ASSERT_EQ(run.Start(kToCallRow + "shot before.png\ntap 170 215\nwait 300\nshot after.png\n",
                        "--no-audio --screen 240x320 --dpi 96"),
              0)
        << run.Errors();
    EXPECT_EQ(
        run.Errors().rfind("pulsor: no call output: Pulsor runs without sound (--no-audio)\n", 0),
        0u)
        << run.Errors();
    const std::string stored = PulsorRun::ReadText(run.Registry());
    EXPECT_NE(stored.find("\"CallOutput\"=dword:00000000"), std::string::npos) << stored;
    // The switch as it was (off); text on the line below it.
    const Picture before = run.Load("before.png");
    const Picture after = run.Load("after.png");
    ASSERT_GT(after.width, 0);
    int switchChanged = 0;
    int lineChanged = 0;
    for (int y = 200; y < 266; ++y) {
        for (int x = 120; x < 220; ++x) {
            (y < 230 ? switchChanged : lineChanged) += before.At(x, y) != after.At(x, y);
        }
    }
    EXPECT_EQ(switchChanged, 0);
    EXPECT_GT(lineChanged, 50);
}

}  // namespace
