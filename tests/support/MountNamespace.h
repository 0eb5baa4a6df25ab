// Shell commands run in a mount namespace of their own, so that a test can mount a file system of
// its own (a small, read-only or other device) or hide a file, without touching the machine's.
// Only root may; the tests that need it skip otherwise.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline bool CanMountPrivately() {
    return geteuid() == 0 && std::system("unshare -m true 2>/dev/null") == 0;
}

// Runs `shell` (no single quotes in it), in a mount namespace of its own unless `privately` is
// false; its output and errors.
inline std::string InMountNamespace(const std::string& shell, bool privately = true) {
    std::string out;
    const std::string command =
        (privately ? "unshare -m " : "") + std::string("sh -c '") + shell + "' 2>&1";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}
