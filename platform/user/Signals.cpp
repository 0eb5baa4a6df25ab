// The signals that end a program on Linux (log-out, `kill`, Ctrl+C, a closed terminal) close the
// window instead, so that the program saves and finishes what it writes. The handler only writes
// the signal's number into a pipe; a thread of its own reads it and asks for the close.
//
// Every other thread started from here on blocks these signals, so the kernel hands them to that
// thread, which does nothing but wait for them. Landing on a busy thread (a UI thread stuck in a
// write to a full stderr) would leave a second signal's immediate end to that thread's fortunes.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/user/User.h"

namespace platform::user {
namespace {

int gWriteEnd = -1;

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    (void)!write(gWriteEnd, &byte, 1);
    errno = saved;
}

void Watch(int readEnd, sigset_t handled) {
    pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
    bool closing = false;
    for (;;) {
        // Waiting in poll rather than in read: a sanitizer that holds handlers back until the
        // thread's next call into it (ThreadSanitizer does) runs them at once in a poll.
        pollfd readable = {readEnd, POLLIN, 0};
        if (poll(&readable, 1, -1) < 0 && errno != EINTR) {
            return;
        }
        unsigned char number = 0;
        const ssize_t n = read(readEnd, &number, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        if (closing) {
            // Asked twice: whatever the close still waits for is not waited for.
            signal(number, SIG_DFL);
            kill(getpid(), number);
            continue;
        }
        closing = true;
        RequestClose();
    }
}

}  // namespace

void CloseOnSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        fcntl(ends[1], F_SETFL, O_NONBLOCK);  // a full pipe already holds a close request
        gWriteEnd = ends[1];
        sigset_t handled;
        sigemptyset(&handled);
        for (int number : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction old = {};
            if (sigaction(number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
                continue;  // ignored by whoever started the program: stays ignored
            }
            struct sigaction action = {};
            action.sa_handler = OnSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            if (sigaction(number, &action, nullptr) == 0) {
                sigaddset(&handled, number);
            }
        }
        std::thread(Watch, ends[0], handled).detach();
        // The calling thread and the threads it starts later leave these to the watcher.
        pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    });
}

}  // namespace platform::user
