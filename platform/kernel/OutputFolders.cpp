#include "platform/kernel/OutputFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

bool PrepareOutputFolder(const std::string& dir, std::string* error) {
    auto fail = [&](const std::string& path, int number) {
        *error = path + ": " + std::strerror(number);
        return false;
    };
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') {
            continue;
        }
        const std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return fail(part, errno);
        }
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        return fail(dir, errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return fail(dir, ENOTDIR);
    }
    // A file made and removed again: permissions, read-only mounts and kernel file systems
    // alike, whoever runs the program.
    const std::string probe = dir + "/.pulsor-write-test-" + std::to_string(getpid());
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return fail(dir, errno);
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string FolderOf(const std::string& file) {
    const size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace platform
