#include "platform/registry/RegistryDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/kernel/Files.h"

namespace platform::registry {
namespace {

constexpr const char* kTempPrefix = "registry.reg.tmp-";

int Errno(int fallback = EIO) {
    return errno ? errno : fallback;
}

// Named after the process, so that a later run can tell whose temporary it finds.
std::string TempName(const std::string& dir) {
    static std::atomic<unsigned> counter{0};
    return dir + "/" + kTempPrefix + std::to_string(getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

const char* KindOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        case S_IFDIR:
            return "a directory";
        case S_IFSOCK:
            return "a socket";
    }
    return "something other than a file";
}

// Writes a new file through `fill` and renames it to `path` once it is whole and on the disk.
template <typename Fill>
int WriteAndRename(const std::string& dir, const std::string& path, Fill fill) {
    const std::string temp = TempName(dir);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Errno();
    }
    int error = fill(fd);
    if (!error && fsync(fd) != 0) {
        error = Errno();
    }
    if (close(fd) != 0 && !error) {
        error = Errno();
    }
    if (!error && rename(temp.c_str(), path.c_str()) != 0) {
        error = Errno();
    }
    if (error) {
        unlink(temp.c_str());
        return error;
    }
    // The rename itself is durable only once the folder is.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return 0;
}

}  // namespace

int OpenRegularFile(const std::string& path, int* error, const char** kind) {
    *error = 0;
    *kind = nullptr;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *error = Errno();
        close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *kind = KindOf(st.st_mode);
        close(fd);
        return -1;
    }
    return fd;
}

int ReadAll(int fd, size_t limit, std::string* out) {
    char buffer[65536];
    while (out->size() <= limit) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Errno();
        }
        if (n == 0) {
            break;
        }
        out->append(buffer, static_cast<size_t>(n));
    }
    return 0;
}

int CopyWhole(int fd, const std::string& dir, const std::string& copy) {
    return WriteAndRename(dir, copy, [fd](int out) {
        char buffer[65536];
        for (off_t at = 0;;) {
            const ssize_t n = pread(fd, buffer, sizeof buffer, at);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return Errno();
            }
            if (n == 0) {
                return 0;
            }
            if (const int error = WriteAll(out, buffer, static_cast<size_t>(n))) {
                return error;
            }
            at += n;
        }
    });
}

int ReplaceFile(const std::string& dir, const std::string& path, const std::string& text) {
    if (const int error = MakeDirectories(dir)) {
        return error;
    }
    return WriteAndRename(dir, path,
                          [&text](int out) { return WriteAll(out, text.data(), text.size()); });
}

int MakeDirectories(const std::string& dir) {
    return MakeFolders(dir);
}

void RemoveStaleTemps(const std::string& dir) {
    RemoveStaleTemporaries(dir, kTempPrefix);
}

}  // namespace platform::registry
