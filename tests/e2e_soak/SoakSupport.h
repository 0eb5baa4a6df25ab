// The real executable run as a child process the test waits for or kills.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace soak {

struct Outcome {
    int status = -1;  // exit status, or -1 when it died of a signal
    int signal = 0;   // the signal it died of
};

// Starts `program` with `args`, its output into `log`; the donation button's browser is `true`.
// `asan` is added to the AddressSanitizer options of a sanitizer build; `env` to its environment.
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::string& log, const std::string& asan = "",
                   const std::vector<std::pair<std::string, std::string>>& env = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            close(out);
        }
        setenv("BROWSER", "true", 1);
        if (!asan.empty()) {
            const char* given = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", given ? (std::string(given) + ":" + asan).c_str() : asan.c_str(),
                   1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

inline Outcome Reap(pid_t pid) {
    Outcome outcome;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return outcome;
    }
    if (WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}

}  // namespace soak
