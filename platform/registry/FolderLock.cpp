#include "platform/registry/FolderLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/registry/RegistryDisk.h"
#include "platform/registry/RegistryStore.h"

namespace platform::registry {
namespace {

constexpr const char* kLockName = "pulsor.lock";

// The holder writes its id just after it takes the lock: a start at the same moment may find the
// file still empty, so it looks again for a little while.
pid_t ReadHolder(int fd) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        char text[24];
        const ssize_t n = pread(fd, text, sizeof text - 1, 0);
        if (n > 0) {
            text[n] = '\0';
            char* end = nullptr;
            const long pid = std::strtol(text, &end, 10);
            if (pid > 0 && pid <= INT_MAX && *end == '\n' &&
                (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
                return static_cast<pid_t>(pid);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

}  // namespace

FolderLock LockFolder() {
    FolderLock lock;
    lock.folder = Directory();
    auto fail = [&lock](FolderLock::Status status, const std::string& path, const char* why) {
        lock.status = status;
        lock.reason = path + ": " + why;
        return lock;
    };
    if (const int error = MakeDirectories(lock.folder)) {
        return fail(FolderLock::NoFolder, lock.folder, std::strerror(error));
    }
    if (char* resolved = realpath(lock.folder.c_str(), nullptr)) {
        lock.folder = resolved;
        std::free(resolved);
    }
    const std::string path = lock.folder + "/" + kLockName;
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    const bool writable = fd >= 0;
    const int openError = errno;
    if (fd < 0 && (openError == EROFS || openError == EACCES || openError == EPERM)) {
        // A read-only folder can still be locked through a lock file an earlier run made.
        fd = open(path.c_str(), O_RDONLY | kFlags);
    }
    if (fd < 0) {
        return fail(FolderLock::Unguarded, path, std::strerror(openError));
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return fail(FolderLock::Unguarded, path, "not a regular file");
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int error = errno;
        if (error == EWOULDBLOCK) {
            lock.status = FolderLock::InUse;
            lock.holder = ReadHolder(fd);
            close(fd);
            return lock;
        }
        close(fd);
        return fail(FolderLock::Unguarded, path, std::strerror(error));
    }
    // Only a courtesy to the next start: a full disk does not stop this one.
    if (writable && ftruncate(fd, 0) == 0) {
        const std::string pid = std::to_string(getpid()) + "\n";
        const ssize_t ignored = pwrite(fd, pid.data(), pid.size(), 0);
        (void)ignored;
    }
    lock.status = FolderLock::Held;
    return lock;  // the descriptor stays open, and the folder locked, until the process ends
}

}  // namespace platform::registry
