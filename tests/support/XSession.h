// A private X server (Xvfb) for the window tests, and the child programs they run on it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/Spawn.h"

namespace sdltest {

// Generous bounds on how long a step may take before the test gives up on it; never an assertion
// about speed.
constexpr auto kPatience = std::chrono::seconds(20);

inline bool FindProgram(const char* name) {
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A child process with its stdout on a pipe.
class Child {
public:
    // An empty display runs the child with none. With `withStderr` its errors come on the pipe too.
    Child(const std::vector<std::string>& argv, const std::string& display,
          bool withStderr = false) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        spawn::Options options;
        options.prepare = [&] {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // not outliving a test that dies
            dup2(fds[1], STDOUT_FILENO);
            if (withStderr)
                dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            if (display.empty()) {
                unsetenv("DISPLAY");
            } else {
                setenv("DISPLAY", display.c_str(), 1);
            }
            unsetenv("WAYLAND_DISPLAY");
            // The X and D-Bus client libraries SDL loads keep some memory until exit; the leak
            // checker would turn that into a failing exit status under the sanitizer build.
            std::string asan = "detect_leaks=0";
            if (const char* given = getenv("ASAN_OPTIONS"))
                asan = std::string(given) + ":" + asan;
            setenv("ASAN_OPTIONS", asan.c_str(), 1);
        };
        pid_ = spawn::Start(argv, options);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }

    // The next line of output starting with `prefix` (earlier lines are kept in Seen()); empty when
    // the child ends or patience runs out first.
    std::string WaitForLine(const std::string& prefix) {
        auto until = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            size_t newline;
            while ((newline = buffer_.find('\n')) != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                seen_.push_back(line);
                if (line.compare(0, prefix.size(), prefix) == 0)
                    return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || out_ < 0)
                return {};
            pollfd pfd{out_, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                return {};
            char chunk[4096];
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return {};
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    const std::vector<std::string>& Seen() const { return seen_; }

    // Takes in whatever output is waiting, without blocking, into Seen().
    void Drain() {
        char chunk[4096];
        pollfd pfd{out_, POLLIN, 0};
        while (out_ >= 0 && poll(&pfd, 1, 0) > 0) {
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                break;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
        size_t newline;
        while ((newline = buffer_.find('\n')) != std::string::npos) {
            seen_.push_back(buffer_.substr(0, newline));
            buffer_.erase(0, newline + 1);
        }
    }

    // The exit status, or -1 if the child has not ended within patience (or died of a signal).
    int WaitForExit() {
        auto until = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    std::string buffer_;
    std::vector<std::string> seen_;
};

// An Xvfb of its own, on a display number it picks itself, so tests can run side by side.
class XServer {
public:
    // `screen` is Xvfb's WIDTHxHEIGHTxDEPTH.
    explicit XServer(const std::string& screen = "1024x768x24") {
        if (!FindProgram("Xvfb"))
            return;
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        spawn::Options options;
        options.prepare = [&] {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // not outliving a test that dies
            close(fds[0]);
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, STDERR_FILENO);
        };
        pid_ = spawn::Start(
            {"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
            options);
        close(fds[1]);
        std::string number;
        pollfd pfd{fds[0], POLLIN, 0};
        char c;
        while (poll(&pfd, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~XServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Running() const { return !display_.empty(); }
    const std::string& Display() const { return display_; }

    // Runs a shell command against this display; returns its output.
    std::string Run(const std::string& command) const {
        std::string full = "DISPLAY=" + display_ + " " + command + " 2>/dev/null";
        std::string out;
        if (FILE* pipe = popen(full.c_str(), "r")) {
            char chunk[512];
            size_t n;
            while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
                out.append(chunk, n);
            pclose(pipe);
        }
        return out;
    }

    // The id of the visible window titled exactly `title`, waiting for it to appear; 0 if none.
    unsigned long FindWindow(const std::string& title) const {
        std::string out = Run("timeout 20 xdotool search --sync --onlyvisible --name '^" + title +
                              "$' | head -n 1");
        return std::strtoul(out.c_str(), nullptr, 10);
    }

    // Ends the server, as when the X session goes away under its clients.
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    // Another client destroying a window (what a broken window manager or `xkill`-like tools do).
    bool DestroyWindow(unsigned long window) const;
    // What a window manager sends when the user clicks a window's close button.
    bool SendDeleteWindow(unsigned long window) const;
    // The size of the first image in a window's _NET_WM_ICON; false when it has none.
    bool IconSize(unsigned long window, long* width, long* height) const;
    // A pixel of a window as the X server holds it (0xRRGGBB), or -1.
    long PixelAt(unsigned long window, int x, int y) const;
    // Every pixel of a window (0: the root window) as the X server holds it (0xRRGGBB, rows
    // top-down); false when it cannot be read.
    bool Grab(unsigned long window, int* width, int* height, std::vector<uint32_t>* pixels) const;
    // Top-level windows from the bottom of the stack to the top.
    std::vector<unsigned long> StackingOrder() const;

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace sdltest
