// Starts a program for a benchmark with its output thrown away: the whole-program benchmarks run
// the real executable, and what it prints must not mix with the benchmark's table.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

// The child's pid, or -1 when it could not be started.
inline pid_t SpawnQuiet(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}
