#include "platform/kernel/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace platform {
namespace {

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "is a folder, not a file";
    }
    if (S_ISFIFO(mode)) {
        return "is a named pipe (FIFO), not a file";
    }
    if (S_ISCHR(mode)) {
        return "is a character device, not a file";
    }
    if (S_ISBLK(mode)) {
        return "is a block device, not a file";
    }
    if (S_ISSOCK(mode)) {
        return "is a socket, not a file";
    }
    return "is not a regular file";
}

// Not a regular file: why, with the errno a caller of open would understand.
int Refuse(mode_t mode, std::string* reason) {
    *reason = KindOf(mode);
    return S_ISDIR(mode) ? EISDIR : EINVAL;
}

ReadableFile Failed(std::string reason, int error, bool missing = false) {
    ReadableFile file;
    file.reason = std::move(reason);
    file.missing = missing;
    errno = error;
    return file;
}

}  // namespace

bool IsRegularFile(const std::string& path, std::string* reason, bool* missing) {
    if (missing) {
        *missing = false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        int error = errno;
        struct stat link;
        if (error == ENOENT && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            *reason = "is a link to a file that does not exist";
            error = EINVAL;
        } else if (error == ELOOP) {
            *reason = std::string("is a link in a loop (") + std::strerror(error) + ")";
        } else {
            *reason = std::strerror(error);
            if (missing) {
                *missing = error == ENOENT;
            }
        }
        errno = error;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = Refuse(st.st_mode, reason);
        return false;
    }
    return true;
}

ReadableFile OpenForReading(const std::string& path, uint64_t maxBytes) {
    std::string reason;
    bool missing = false;
    // Looked at before it is opened: opening a device can act on it.
    if (!IsRegularFile(path, &reason, &missing)) {
        return Failed(reason, errno, missing);
    }
    // Should it have become a named pipe since, O_NONBLOCK opens it at once and fstat tells.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Failed(std::strerror(error), error, error == ENOENT);
    }
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
        reason = std::strerror(error);
    } else if (!S_ISREG(st.st_mode)) {
        error = Refuse(st.st_mode, &reason);
    } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        reason = "is " + std::to_string(st.st_size) + " bytes (at most " +
                 std::to_string(maxBytes) + ")";
        error = EFBIG;
    }
    if (error != 0) {
        close(fd);
        return Failed(reason, error);
    }
    ReadableFile file;
    file.fd = fd;
    file.size = static_cast<uint64_t>(st.st_size);
    return file;
}

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string* content,
                   ReadableFile* failure) {
    ReadableFile file = OpenForReading(path, maxBytes);
    if (file.fd < 0) {
        *failure = file;
        return false;
    }
    // The file may grow while it is read: one byte past the bound tells.
    const uint64_t limit = maxBytes == kAnySize ? maxBytes : maxBytes + 1;
    content->clear();
    content->reserve(static_cast<size_t>(file.size < limit ? file.size : limit));
    char buffer[65536];
    int error = 0;
    while (content->size() < limit) {
        const uint64_t left = limit - content->size();
        const ssize_t n = read(file.fd, buffer, left < sizeof buffer ? left : sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        content->append(buffer, static_cast<size_t>(n));
    }
    close(file.fd);
    if (error != 0) {
        *failure = Failed(std::strerror(error), error);
        return false;
    }
    if (content->size() > maxBytes) {
        *failure =
            Failed("grew past " + std::to_string(maxBytes) + " bytes while it was read", EFBIG);
        content->clear();
        return false;
    }
    return true;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a check and a rename (moving a folder into itself still
    // fails there with EINVAL).
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int WriteAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    const std::string base = folder.empty() ? "./" : folder.back() == '/' ? folder : folder + "/";
    DIR* dir = opendir(base.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const long pid = std::strtol(entryName.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            unlink((base + entryName).c_str());
        }
    }
    closedir(dir);
}

bool WriteThroughTemporary(const std::string& path, const std::function<int(int fd)>& fill,
                           bool keepExisting, std::string* reason) {
    static std::atomic<unsigned> serial{0};
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden, so that nothing looking for the file by its name takes it for one; named after the
    // process, so that two writers never share one.
    const std::string temporary = folder + "." + name + ".tmp-" + std::to_string(getpid()) + "-" +
                                  std::to_string(serial.fetch_add(1));
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *reason = std::strerror(error);
        errno = error;
        return false;
    }
    int error = fill(fd);
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    // Some file systems only find out at the close that the data has no room.
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        error = keepExisting ? RenameNoReplace(temporary, path)
                             : (rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno);
    }
    if (error != 0) {
        unlink(temporary.c_str());
        *reason = std::strerror(error);
        errno = error;
        return false;
    }
    const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    RemoveStaleTemporaries(folder, "." + name + ".tmp-");
    return true;
}

int MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0) {
            const int error = errno;
            struct stat st;
            if (error != EEXIST || stat(part.c_str(), &st) != 0) {
                return error;
            }
            if (!S_ISDIR(st.st_mode)) {
                return ENOTDIR;
            }
        }
        if (slash == std::string::npos) {
            return 0;
        }
    }
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* reason) {
    return WriteThroughTemporary(
        path, [&](int fd) { return WriteAll(fd, data, size); }, false, reason);
}

}  // namespace platform

FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode) {
    if (!fileName || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    // The C library knows the binary flag but not the shell's text flag or its ",ccs=" suffix.
    std::string narrowMode;
    for (const wchar_t* m = mode; *m && *m != L','; ++m) {
        if (*m != L't') {
            narrowMode.push_back(static_cast<char>(*m < 0x80 ? *m : '?'));
        }
    }
    const std::string path = platform::ToUtf8(fileName);
    if (narrowMode.empty() || narrowMode[0] != 'r' || narrowMode.find('+') != std::string::npos) {
        return std::fopen(path.c_str(), narrowMode.c_str());
    }
    platform::ReadableFile file = platform::OpenForReading(path);
    if (file.fd < 0) {
        const int error = errno;
        // errno has no word for a named pipe or a device, so the file is named here; a missing
        // one is the caller's to mention.
        if (!file.missing) {
            std::fprintf(stderr, "pulsor: %s: %s\n", path.c_str(), file.reason.c_str());
        }
        errno = error;
        return nullptr;
    }
    FILE* stream = fdopen(file.fd, narrowMode.c_str());
    if (!stream) {
        const int error = errno;
        close(file.fd);
        errno = error;
    }
    return stream;
}
