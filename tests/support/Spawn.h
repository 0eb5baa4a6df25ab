// Programs a test starts beside itself (the executable, sound and X servers, recorders, probes):
// forked and executed, waited for with a bound, stopped politely and then not.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace spawn {

struct Options {
    std::string log;          // stdout and stderr into this file, made anew; empty: the test's own
    bool onlyStdout = false;  // with `log`: stderr stays the test's
    std::vector<std::pair<std::string, std::string>> env;  // set in its environment (the last wins)
    // Runs in the child just before exec. Without it the child is made with posix_spawn, so
    // nothing runs in a copy of a test's threads.
    std::function<void()> prepare;
};

// Its output thrown away (a benchmark's table must not mix with what the program prints).
inline Options Quiet() {
    Options options;
    options.log = "/dev/null";
    return options;
}

// Starts args[0], a path or a name looked up on the PATH; -1 when it could not be started (with
// `prepare`: when it could not be forked; a child that then cannot exec ends with status 127).
inline pid_t Start(const std::vector<std::string>& args, const Options& options = {}) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    if (!options.prepare) {
        // The environment as the parent builds it: a later setting of a name wins.
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('=') + 1);
            if (std::none_of(options.env.begin(), options.env.end(),
                             [&](const auto& s) { return s.first + "=" == name; })) {
                environment.push_back(entry);
            }
        }
        for (auto it = options.env.begin(); it != options.env.end(); ++it) {
            if (std::none_of(it + 1, options.env.end(),
                             [&](const auto& later) { return later.first == it->first; })) {
                environment.push_back(it->first + "=" + it->second);
            }
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!options.log.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.log.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (!options.onlyStdout) {
                posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
            }
        }
        pid_t pid = -1;
        const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return error == 0 ? pid : -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (!options.log.empty()) {
            const int out = open(options.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || dup2(out, STDOUT_FILENO) < 0 ||
                (!options.onlyStdout && dup2(out, STDERR_FILENO) < 0)) {
                _exit(127);
            }
            close(out);
        }
        for (const auto& [name, value] : options.env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        // What `prepare` changes in the environment is the child's.
        options.prepare();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct Outcome {
    int status = -1;  // its exit status; -1 when it died of a signal
    int signal = 0;   // the signal it died of (SIGKILL when Wait had to kill it)
};

// True once the child has ended, with how in *outcome; never waits.
inline bool Exited(pid_t pid, Outcome* outcome) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid) {
        return false;
    }
    outcome->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome->signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return true;
}

// Waits for the child to end, however long it takes.
inline Outcome Wait(pid_t pid) {
    Outcome outcome;
    int status = 0;
    if (pid <= 0) {
        return outcome;
    }
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return outcome;
        }
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

// Waits for the child to end; one still running after `seconds` is killed.
inline Outcome WaitAtMost(pid_t pid, int seconds) {
    Outcome outcome;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (Exited(pid, &outcome)) {
            return outcome;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    outcome.status = -1;
    outcome.signal = SIGKILL;
    return outcome;
}

// SIGTERM, then SIGKILL for one still running after `seconds`.
inline Outcome Stop(pid_t pid, int seconds = 5) {
    if (pid > 0) {
        kill(pid, SIGTERM);
    }
    return WaitAtMost(pid, seconds);
}

}  // namespace spawn
