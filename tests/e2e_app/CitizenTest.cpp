// The program as Linux ends and treats it: signals close it like its close button, settings that
// cannot be saved or read whole say so, output folders are made or refused before a run, a take
// that cannot be kept whole says so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "e2e_app/E2eSupport.h"
#include "platform/registry/RegistryFile.h"
#include "support/Spawn.h"
#include "support/WaveTestFiles.h"

using namespace e2e;

namespace {

const wchar_t kKey[] = L"HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings";
const char kHeader[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n";
// 240x320 at 96 dpi: the settings button, then the Animations switch. The first tap comes well
// after the splash: on the wall clock a busy machine keeps it up longer than its two seconds.
const char kFlipAnimations[] = "wait 4000\ntap 39 13\nwait 600\ntap 170 212\nwait 100\n";

using spawn::Exited;
using spawn::Outcome;

// The program as a child: `prepare` runs in the child just before exec, stderr goes to `errFd`.
pid_t Spawn(std::vector<std::string> args, int errFd, const std::function<void()>& prepare = {}) {
    args.insert(args.begin(), PULSOR_EXE);
    spawn::Options options;
    options.prepare = [&] {
        dup2(errFd, STDERR_FILENO);
        if (prepare) {
            prepare();
        }
    };
    return spawn::Start(args, options);
}

// Waits at most `seconds`; a child still running then is killed (and reported as SIGKILL).
Outcome Reap(pid_t pid, int seconds = 30) {
    return spawn::WaitAtMost(pid, seconds);
}

bool WaitForFile(const fs::path& path, int seconds = 30) {
    for (int i = 0; i < seconds * 100 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(path);
}

std::vector<std::string> Args(PulsorRun& run, const std::string& script, bool realTime) {
    const fs::path path = run.Dir() / "script.txt";
    std::ofstream(path) << script;
    std::vector<std::string> args = {"--headless",   "--no-audio",
                                     "--screen",     "240x320",
                                     "--dpi",        "96",
                                     "--script",     path.string(),
                                     "--shots",      (run.Dir() / "shots").string(),
                                     "--config-dir", (run.Dir() / "config").string()};
    if (realTime) {
        args.push_back("--real-time");
    }
    return args;
}

// The stored value, or -1 when the file or the value is missing or the file is damaged.
long long Stored(const fs::path& file, const wchar_t* name) {
    platform::registry::Contents contents;
    if (!contents.Parse(PulsorRun::ReadText(file))) {
        return -1;
    }
    const platform::registry::Value* value = contents.Find(kKey, name);
    return value && value->IsDword() ? static_cast<long long>(value->dword) : -1;
}

// Runs the program to its end with stderr into a pipe (no file: a file size limit would cut it).
Outcome RunCapturing(const std::vector<std::string>& args, std::string* errors,
                     const std::function<void()>& prepare = {}) {
    int pipes[2];
    if (pipe2(pipes, O_CLOEXEC) != 0) {
        return Outcome();
    }
    const pid_t pid = Spawn(args, pipes[1], prepare);
    close(pipes[1]);
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;) {
            errors->append(buffer, static_cast<size_t>(n));
        }
    });
    const Outcome outcome = Reap(pid);
    reader.join();
    close(pipes[0]);
    return outcome;
}

// The program's own lines of `errors`, without what the sanitizers add at exit.
std::string OwnLines(const std::string& errors) {
    std::string own;
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);) {
        own += line.rfind("pulsor: ", 0) == 0 ? line + "\n" : "";
    }
    return own;
}

int OpenLog(PulsorRun& run) {
    return open((run.Dir() / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

// Each signal a desktop, systemd or a terminal ends programs with saves the changed setting and
// ends with status 0; SIGINT ignored by whoever started the program (a script's background job)
// stays ignored.
TEST(Citizen, SignalsCloseTheProgramAsItsCloseButtonDoes) {
    struct Case {
        const char* name;
        int signal;
        bool ignoredAtStart;
    };
    const Case cases[] = {{"term", SIGTERM, false},
                          {"int", SIGINT, false},
                          {"hup", SIGHUP, false},
                          {"int-ignored", SIGINT, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("signal-") + c.name);
        const std::string script = std::string(kFlipAnimations) +
                                   "shot changed.png\nwait 1000\nshot later.png\nwait 600000\n";
        const int log = OpenLog(run);
        const pid_t pid = Spawn(Args(run, script, true), log, [&] {
            if (c.ignoredAtStart) {
                signal(c.signal, SIG_IGN);
            }
        });
        close(log);
        ASSERT_TRUE(WaitForFile(run.Shot("changed.png"))) << run.Errors();
        kill(pid, c.signal);
        if (c.ignoredAtStart) {
            // Still running: the script goes on to its next shot; then it is ended for real.
            EXPECT_TRUE(WaitForFile(run.Shot("later.png"))) << run.Errors();
            kill(pid, SIGTERM);
        }
        const Outcome outcome = Reap(pid);
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_EQ(outcome.status, 0) << run.Errors();
        EXPECT_EQ(Stored(run.Registry(), L"AnimationsOn"), 0) << run.Errors();
        EXPECT_EQ(Stored(run.Registry(), L"VolumeBeat"), 100);
    }
}

// A close that cannot finish (here its report of a failed save is stuck on a full stderr pipe)
// is ended by a second signal, as the signal ends a program.
TEST(Citizen, ASecondSignalWhileClosingEndsItAtOnce) {
    PulsorRun run("signal-twice");
    fs::create_directories(run.Registry());  // the settings cannot be saved there
    std::vector<std::string> args =
        Args(run, std::string(kFlipAnimations) + "shot changed.png\nwait 600000\n", true);
    int pipes[2];
    ASSERT_EQ(pipe2(pipes, O_CLOEXEC), 0);
    const pid_t pid = Spawn(args, pipes[1]);
    ASSERT_TRUE(WaitForFile(run.Shot("changed.png")));
    // Fill the pipe, so the program's next line to stderr blocks.
    fcntl(pipes[1], F_SETFL, O_NONBLOCK);
    const std::string filler(4096, '.');
    while (write(pipes[1], filler.data(), filler.size()) > 0) {
    }
    fcntl(pipes[1], F_SETFL, 0);  // the flag is shared with the program's end
    kill(pid, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Outcome outcome;
    EXPECT_FALSE(Exited(pid, &outcome)) << "the close did not wait for its stderr line";
    kill(pid, SIGTERM);
    outcome = Reap(pid, 10);
    EXPECT_EQ(outcome.signal, SIGTERM);
    close(pipes[0]);
    close(pipes[1]);
}

// Settings files that cannot be used as they are: damaged lines, a file too large to read, values
// of the wrong type, a FIFO or a device in the file's place, a copy aside that cannot be made, a
// disk that fills up while saving. Each is named with the reason; nothing on disk is lost.
TEST(Citizen, SettingsFilesThatAreDamagedOrCannotBeWritten) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& registry)> make;  // the file before the run
        bool fileSizeLimit;                                  // writes fail as on a full disk
        int status;
        std::vector<std::string> said;  // each in stderr, after "registry.reg"
        long long animations;           // AnimationsOn afterwards (-1 missing)
        long long beat;                 // VolumeBeat afterwards
        bool keptAside;                 // registry.reg.bad is the file as it was, byte for byte
    };
    auto text = [](std::string contents) {
        return [contents](const fs::path& registry) { std::ofstream(registry) << contents; };
    };
    const std::string damaged = std::string(kHeader) +
                                "\"VolumeBeat\"=dword:0000001e\n"
                                "\"VolumeSounds\"=dword:00000zz0\n"
                                "\"XButtonClose\"=dword:00000000\n";
    std::string huge = std::string(kHeader) + "\"VolumeBeat\"=dword:0000001e\n";
    while (huge.size() <= (17u << 20)) {
        huge += "; a comment line to make the file larger than any settings file\n";
    }
    const Case cases[] = {
        {"damaged", text(damaged), false, 0, {":5: line skipped: "}, 0, 30, true},
        {"huge",
         text(huge),
         false,
         0,
         {": not read: the file is larger than 16 MiB"},
         0,
         100,
         true},
        {"wrong-types",
         text(std::string(kHeader) + "\"VolumeBeat\"=\"50\"\n\"VolumeSounds\"=hex:32,00,00,00\n"),
         false,
         0,
         {":4: value skipped: \"VolumeBeat\" is a string where a number (dword:XXXXXXXX) is "
          "expected\n",
          ":5: value skipped: \"VolumeSounds\" is binary data (hex:) where a number "
          "(dword:XXXXXXXX) is expected\n"},
         0,
         100,
         true},
        {"fifo",
         [](const fs::path& registry) { ASSERT_EQ(mkfifo(registry.c_str(), 0600), 0); },
         false,
         1,
         {": not read: it is a FIFO, not a regular file\n",
          ": it is a FIFO, not a regular file, so it is left as it is\n"},
         -1,
         -1,
         false},
        {"device",
         [](const fs::path& registry) { fs::create_symlink("/dev/zero", registry); },
         false,
         1,
         {": not read: it is a character device, not a regular file\n"},
         -1,
         -1,
         false},
        {"no-room-aside",
         [&](const fs::path& registry) {
             std::ofstream(registry) << damaged;
             fs::create_directories(registry.string() + ".bad/taken");
         },
         false,
         1,
         {".bad: Is a directory; the settings will not be saved\n"},
         -1,
         -1,
         false},
        {"disk-full",
         text(std::string(kHeader) + "\"VolumeBeat\"=dword:0000001e\n"),
         true,
         1,
         {": File too large\n"},
         -1,
         30,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
#if defined(__SANITIZE_THREAD__)
        // ThreadSanitizer's runtime writes half a megabyte to a file of its own before main, so
        // a file size limit kills the program before it could ignore SIGXFSZ.
        if (c.fileSizeLimit) {
            continue;
        }
#endif
        PulsorRun run(std::string("settings-") + c.name);
        const fs::path registry = run.Registry();
        c.make(registry);
        const std::string before =
            fs::is_regular_file(registry) ? PulsorRun::ReadText(registry) : "";
        const fs::file_type type = fs::symlink_status(registry).type();
        std::string errors;
        // A file that blocks the program is found by the time limit of RunCapturing.
        const Outcome outcome = RunCapturing(Args(run, kFlipAnimations, false), &errors, [&] {
            if (c.fileSizeLimit) {
                const rlimit limit = {0, 0};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
        });
        EXPECT_EQ(outcome.signal, 0) << "it hung: " << errors;
        EXPECT_EQ(outcome.status, c.status) << errors;
        for (const std::string& said : c.said) {
            EXPECT_NE(errors.find(registry.string() + said), std::string::npos) << errors;
        }
        if (c.status != 0) {
            // Nothing replaced what was there.
            EXPECT_NE(errors.find("cannot save the settings to " + registry.string()),
                      std::string::npos)
                << errors;
            EXPECT_EQ(fs::symlink_status(registry).type(), type);
            if (type == fs::file_type::regular) {
                EXPECT_EQ(PulsorRun::ReadText(registry), before) << "the old file was touched";
            }
        } else {
            EXPECT_EQ(Stored(registry, L"AnimationsOn"), c.animations) << errors;
        }
        if (type == fs::file_type::regular) {
            EXPECT_EQ(Stored(registry, L"VolumeBeat"), c.beat) << errors;
        }
        if (c.keptAside) {
            EXPECT_TRUE(PulsorRun::ReadText(registry.string() + ".bad") == before)
                << "the copy aside is not the file as it was";
        } else if (type != fs::file_type::regular) {
            EXPECT_FALSE(fs::exists(registry.string() + ".bad"));
        }
    }
}

// One program per settings folder. A second start while one runs, or at the same moment, never
// runs beside it: with a script it says which process holds the folder and ends with status 1; a
// plain start raises the running one and ends quietly. Only the one that ran saves.
fs::path Take(const PulsorRun& run, int instance) {
    return run.Dir() / ("take" + std::to_string(instance) + ".wav");
}

TEST(Citizen, TwoProgramsNeverShareASettingsFolder) {
    struct Case {
        const char* name;
        bool atOnce;          // both started at the same moment, else the second once one runs
        bool secondScripted;  // else a plain start of the window
    };
    const Case cases[] = {{"scripted-after", false, true},
                          {"plain-after", false, false},
                          {"scripted-at-once", true, true},
                          {"plain-at-once", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("instances-") + c.name);
        const fs::path folder = run.Registry().parent_path();
        const bool scripted[2] = {true, c.secondScripted};
        const std::string script = std::string(kFlipAnimations) + "shot changed.png\nwait 600000\n";
        pid_t pids[2] = {0, 0};
        int go[2] = {-1, -1};
        for (int i = 0; i < 2; ++i) {
            if (i == 0 || !c.atOnce) {
                ASSERT_EQ(pipe2(go, O_CLOEXEC), 0);
            }
            const int log = open((run.Dir() / ("stderr" + std::to_string(i))).c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            std::vector<std::string> args = Args(run, script, true);
            // A refused run leaves no empty take behind.
            args.erase(std::find(args.begin(), args.end(), "--no-audio"));
            args.insert(args.end(), {"--record", Take(run, i).string()});
            pids[i] = Spawn(
                scripted[i] ? args
                            : std::vector<std::string>{"--headless", "--real-time", "--no-audio",
                                                       "--config-dir", folder.string()},
                log, [&] {
                    close(go[1]);
                    char byte;
                    const ssize_t ignored = read(go[0], &byte, 1);  // the start signal
                    (void)ignored;
                });
            close(log);
            if (i == 1 || !c.atOnce) {
                close(go[0]);
                close(go[1]);
            }
            if (i == 0 && !c.atOnce) {
                EXPECT_TRUE(WaitForFile(run.Shot("changed.png")));
            }
        }
        // One of them ends soon; the other runs on until it is asked to close.
        Outcome outcome;
        int loser = -1;
        for (int t = 0; t < 3000 && loser < 0; ++t) {
            for (int i = 0; i < 2 && loser < 0; ++i) {
                loser = Exited(pids[i], &outcome) ? i : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const int winner = loser < 0 ? 0 : 1 - loser;
        EXPECT_TRUE(loser == 1 || (c.atOnce && loser == 0)) << "loser " << loser;
        Outcome ended;
        EXPECT_FALSE(Exited(pids[winner], &ended)) << "both ended";
        if (loser >= 0) {
            const std::string said =
                OwnLines(PulsorRun::ReadText(run.Dir() / ("stderr" + std::to_string(loser))));
            EXPECT_EQ(outcome.status, scripted[loser] ? 1 : 0);
            EXPECT_EQ(said, scripted[loser] ? "pulsor: another Pulsor (process " +
                                                  std::to_string(pids[winner]) +
                                                  ") is running with the settings in " +
                                                  folder.string() + "; not starting\n"
                                            : "");
            EXPECT_FALSE(fs::exists(run.Registry())) << "saved by the one that did not run";
            EXPECT_FALSE(fs::exists(Take(run, loser))) << "a take left by the one that did not run";
        }
        if (scripted[winner]) {
            EXPECT_TRUE(WaitForFile(run.Shot("changed.png")));
        }
        for (int i = 0; i < 2; ++i) {
            if (i != loser) {
                kill(pids[i], SIGTERM);
                EXPECT_EQ(Reap(pids[i]).status, 0);
            }
        }
        if (scripted[winner]) {
            EXPECT_EQ(Stored(run.Registry(), L"AnimationsOn"), 0);
        } else {
            EXPECT_TRUE(fs::exists(run.Registry()));
        }
    }
}

// A settings folder given with --config-dir that cannot be one is refused before anything runs;
// one that can be used but not locked (read-only, a lock file that is no file) runs with a warning.
TEST(Citizen, SettingsFoldersThatCannotBeUsedOrLocked) {
    struct Case {
        const char* name;
        std::string folder;  // --config-dir, below the run's folder
        std::function<void(const fs::path& folder)> make;
        bool readOnly;  // the folder mounted read-only
        int status;
        std::string said;  // the first line of stderr, after "pulsor: "
    };
    const std::string once = "; a second Pulsor would not be kept from using it\n";
    const Case cases[] = {
        {"a-file", "file", {}, false, 2, "--config-dir: DIR: Not a directory\n"},
        {"under-a-file", "file/config", {}, false, 2, "--config-dir: DIR: Not a directory\n"},
        {"missing", "new/config", {}, false, 0, ""},
        {"lock-no-file", "config",
         [](const fs::path& folder) { fs::create_directories(folder / "pulsor.lock"); }, false, 0,
         "cannot lock the settings folder: DIR/pulsor.lock: Is a directory" + once},
        {"read-only",
         "config",
         {},
         true,
         1,
         "cannot lock the settings folder: DIR/pulsor.lock: Read-only file system" + once},
        {"read-only-locked-before", "config",
         [](const fs::path& folder) { std::ofstream(folder / "pulsor.lock") << ""; }, true, 1,
         "cannot save the settings to DIR/registry.reg: Read-only file system\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("folders-") + c.name);
        std::ofstream(run.Dir() / "file") << "kept";
        const fs::path folder = run.Dir() / c.folder;
        const std::string before = std::string(kHeader) + "\"VolumeBeat\"=dword:0000001e\n";
        std::ofstream(run.Registry()) << before;
        if (c.make) {
            c.make(folder);
        }
        if (c.readOnly && (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                           mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                                 nullptr) != 0)) {
            umount(folder.c_str());
            std::printf("[ SKIPPED  ] %s: cannot mount a read-only folder here\n", c.name);
            continue;
        }
        std::vector<std::string> args = Args(run, kFlipAnimations, false);
        args.back() = folder.string();
        std::string errors;
        const Outcome outcome = RunCapturing(args, &errors);
        if (c.readOnly) {
            umount(folder.c_str());
        }
        EXPECT_EQ(outcome.status, c.status) << errors;
        std::string said = c.said;
        for (size_t at; (at = said.find("DIR")) != std::string::npos;) {
            said.replace(at, 3, folder.string());
        }
        const std::string own = OwnLines(errors);
        EXPECT_EQ(own.substr(0, own.find('\n') + 1), said.empty() ? "" : "pulsor: " + said);
        EXPECT_EQ(PulsorRun::ReadText(run.Dir() / "file"), "kept");
        if (c.status == 0) {
            EXPECT_EQ(Stored(folder / "registry.reg", L"AnimationsOn"), 0) << errors;
        } else {
            EXPECT_EQ(PulsorRun::ReadText(run.Registry()), before);
        }
    }
}

// --shots and --record into missing folders make them; into folders that cannot be made or
// written the run is refused before the script starts, naming the path and the reason.
TEST(Citizen, OutputFoldersAreMadeOrRefusedBeforeTheRun) {
    struct Case {
        const char* name;
        const char* option;
        std::string path;  // below the run's folder unless absolute
        int status;
        std::string said;
    };
    const Case cases[] = {
        {"shots-missing", "--shots", "new/shots/here", 0, ""},
        {"record-missing", "--record", "new/sound/out.wav", 0, ""},
        {"shots-under-a-file", "--shots", "file/shots", 2, "file/shots: Not a directory"},
        {"record-under-a-file", "--record", "file/sound/out.wav", 2, "file/sound: Not a directory"},
        {"shots-in-proc", "--shots", "/proc/self", 2, "--shots: cannot write into /proc/self: "},
        {"record-in-proc", "--record", "/proc/pulsor/out.wav", 2,
         "--record: cannot write into /proc/pulsor: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("folders-") + c.name);
        std::ofstream(run.Dir() / "file") << "";
        const fs::path target = c.path[0] == '/' ? fs::path(c.path) : run.Dir() / c.path;
        const bool shots = c.option == std::string("--shots");
        const std::string script = std::string("wait 2100\n") + (shots ? "shot a.png\n" : "");
        std::vector<std::string> args = Args(run, script, false);
        if (shots) {
            args[9] = target.string();
        } else {
            args.push_back("--record");
            args.push_back(target.string());
            args.erase(args.begin() + 1);  // with sound
        }
        const int log = OpenLog(run);
        const Outcome outcome = Reap(Spawn(args, log));
        close(log);
        EXPECT_EQ(outcome.status, c.status) << run.Errors();
        if (c.status == 0) {
            EXPECT_TRUE(fs::exists(shots ? target / "a.png" : target)) << run.Errors();
            continue;
        }
        const std::string errors = run.Errors();
        EXPECT_NE(errors.find(c.said), std::string::npos) << errors;
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;
        EXPECT_FALSE(fs::exists(run.Registry())) << "the script ran";
    }
}

// A take that cannot be kept whole. A file that cannot hold one, or that another Pulsor records
// into, is refused before the run with the reason (status 2). Writes that fail on the way end the
// take where they failed: stderr names the file, the reason and what was kept, the header counts
// just that, and the status is 1. A take over an earlier one replaces it.
TEST(Citizen, ATakeIsWholeOrTheRunSaysItIsNot) {
    enum Situation { Plain, SecondWriter, FullDisk, SizeLimit };
    struct Case {
        const char* name;
        std::string take;  // below the run's folder unless absolute
        Situation situation;
        int status;
        std::string reason;
    };
    const Case cases[] = {
        {"over-an-earlier-take", "take.wav", Plain, 0, ""},
        {"device", "/dev/full", Plain, 2, "a device, not a regular file"},
        {"directory", "folder", Plain, 2, "Is a directory"},
        {"kernel-file", "/proc/version", Plain, 2,
         "a file of the kernel's proc file system, not of a disk"},
        {"second-writer", "take.wav", SecondWriter, 2, "another program is recording into it"},
        {"disk-full", "full/take.wav", FullDisk, 1, "No space left on device"},
        {"size-limit", "take.wav", SizeLimit, 1, "File too large"},
    };
    const std::string script = "wait 2100\ntap 60 80\nwait 300\ntap 120 130\nwait 1600\n";
    auto recording = [](PulsorRun& run, const std::string& take, const std::string& text) {
        std::vector<std::string> args = Args(run, text, false);
        args.erase(args.begin() + 1);  // with sound
        args.push_back("--record");
        args.push_back(take);
        return args;
    };
    PulsorRun wholeRun("take-whole");
    const fs::path whole = wholeRun.Dir() / "take.wav";
    std::string errors;
    ASSERT_EQ(RunCapturing(recording(wholeRun, whole.string(), script), &errors).status, 0)
        << errors;
    const std::vector<uint8_t> reference = wavetest::ReadFile(whole.string());
    ASSERT_GT(reference.size(), 44u + 4 * 48000 * 4);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulsorRun run(std::string("take-") + c.name);
        const fs::path take = c.take[0] == '/' ? fs::path(c.take) : run.Dir() / c.take;
        fs::create_directories(run.Dir() / "folder");
        fs::create_directories(run.Dir() / "full");
        if (c.situation == Plain && c.status == 0) {
            wavetest::WriteFile(take.string(), std::vector<uint8_t>(3 * reference.size(), 7));
        }
        const std::vector<std::string> args = recording(run, take.string(), script);
        std::string said = "pulsor: --record: cannot write " + take.string() + ": " + c.reason;
        if (c.status == 1) {
            said = "pulsor: cannot write " + take.string() + ": " + c.reason +
                   "; the take keeps its first ";
        }
        errors.clear();
        Outcome outcome;
        fs::path kept = take;
        if (c.situation == FullDisk) {
            // A small file system of its own, seen only by the run; what it kept is copied out.
            kept = run.Dir() / "kept.wav";
            std::string command =
                "unshare -m sh -c 'mount -t tmpfs -o size=512k tmpfs \"$0\" || "
                "exit 97; \"$@\"; s=$?; cp \"$0/take.wav\" " +
                kept.string() + "; exit $s' " + (run.Dir() / "full").string() + " " + PULSOR_EXE;
            for (const std::string& arg : args) {
                command += " " + arg;  // the run's paths hold no spaces
            }
            command += " 2>" + (run.Dir() / "stderr.txt").string();
            const int raw = std::system(command.c_str());
            outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            errors = run.Errors();
            if (outcome.status == 97 || outcome.status == 127) {
                std::printf("disk-full case skipped: no tmpfs can be mounted here: %s\n",
                            errors.c_str());
                continue;
            }
        } else if (c.situation == SecondWriter) {
            PulsorRun firstRun("take-first");
            std::vector<std::string> firstArgs =
                recording(firstRun, take.string(), "wait 2100\nshot ready.png\nwait 600000\n");
            firstArgs.push_back("--real-time");
            const int log = OpenLog(firstRun);
            const pid_t first = Spawn(firstArgs, log);
            close(log);
            ASSERT_TRUE(WaitForFile(firstRun.Shot("ready.png"))) << firstRun.Errors();
            outcome = RunCapturing(args, &errors);
            said += " (process " + std::to_string(first) + ")\n";
            kill(first, SIGTERM);
            const Outcome firstOutcome = Reap(first);
            EXPECT_EQ(firstOutcome.status, 0) << firstRun.Errors();
            const wavetest::Take firstTake = wavetest::ReadTake(take.string());
            EXPECT_EQ(firstTake.container, SF_FORMAT_WAV) << "the first writer's take is damaged";
            EXPECT_GT(firstTake.samples.size(), 2u * 48000 * 2);
        } else {
            outcome = RunCapturing(args, &errors, [&] {
                if (c.situation == SizeLimit) {
                    const rlimit limit = {700000, 700000};
                    setrlimit(RLIMIT_FSIZE, &limit);
                }
            });
        }
        EXPECT_EQ(outcome.status, c.status) << errors;
        if (c.status == 0) {
            EXPECT_TRUE(wavetest::ReadFile(take.string()) == reference) << errors;
            continue;
        }
        EXPECT_NE(errors.find(said), std::string::npos) << errors;
        if (c.status == 2) {
            EXPECT_FALSE(fs::exists(run.Registry())) << "the script ran";
            continue;
        }
        // Kept: the start of the whole take, to the byte, and a header that counts just that.
        const std::vector<uint8_t> file = wavetest::ReadFile(kept.string());
        ASSERT_GT(file.size(), 44u);
        ASSERT_LT(file.size(), reference.size());
        auto u32 = [&](size_t at) {
            return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                   static_cast<uint32_t>(file[at + 3]) << 24;
        };
        EXPECT_EQ(u32(4), file.size() - 8);
        EXPECT_EQ(u32(40), file.size() - 44);
        EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + 36, reference.begin() + 8));
        EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), reference.begin() + 44));
        const size_t frames = (file.size() - 44) / 4;
        EXPECT_EQ(wavetest::ReadTake(kept.string()).samples.size(), 2 * frames);
        const size_t at = errors.find(said);
        if (at != std::string::npos) {
            const double seconds = std::stod(errors.substr(at + said.size()));
            EXPECT_NEAR(seconds, frames / 48000.0, 0.006);
            EXPECT_GT(seconds, 2.5) << "a word played after 2.1 s is in what was kept";
        }
    }
}

// Stored switch values other than 0 and 1 stay as stored when untouched, and count as on.
TEST(Citizen, SwitchValuesAreKeptAsRead) {
    const std::string script = "wait 2100\ntap 39 13\nwait 600\nshot settings.png\n";
    Picture pictures[2];
    for (int odd = 0; odd < 2; ++odd) {
        PulsorRun run(odd ? "switches-odd" : "switches-one");
        std::ofstream(run.Registry())
            << kHeader
            << (odd ? "\"XButtonClose\"=dword:00000005\n\"AnimationsOn\"=dword:00000007\n"
                      "\"VibrationsOn\"=dword:00000002\n"
                    : "\"XButtonClose\"=dword:00000001\n\"AnimationsOn\"=dword:00000001\n"
                      "\"VibrationsOn\"=dword:00000001\n");
        const int log = OpenLog(run);
        const Outcome outcome = Reap(Spawn(Args(run, script, false), log));
        close(log);
        ASSERT_EQ(outcome.status, 0) << run.Errors();
        EXPECT_EQ(Stored(run.Registry(), L"XButtonClose"), odd ? 5 : 1);
        EXPECT_EQ(Stored(run.Registry(), L"AnimationsOn"), odd ? 7 : 1);
        EXPECT_EQ(Stored(run.Registry(), L"VibrationsOn"), odd ? 2 : 1);
        pictures[odd] = run.Load("settings.png");
    }
    ASSERT_GT(pictures[0].width, 0);
    EXPECT_TRUE(pictures[0] == pictures[1]) << "the switches do not all show as on";
}
