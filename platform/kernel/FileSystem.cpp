// Folders and files by the platform's calls: listing, making, renaming, copying and removing.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/Errors.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Handles.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace {

struct FindSearch : platform::HandleObject {
    static constexpr platform::HandleType kType = platform::HandleType::FindFile;
    FindSearch() : HandleObject(kType) {}
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

// Win32's wildcards: `*` any run of characters, `?` any one; nothing else is special.
bool Matches(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

FILETIME ToFileTime(const timespec& t) {
    // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
    constexpr int64_t kUnixEpoch = 116444736000000000LL;
    const uint64_t ticks = static_cast<uint64_t>(
        kUnixEpoch + static_cast<int64_t>(t.tv_sec) * 10000000LL + t.tv_nsec / 100);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool Describe(const std::string& path, const std::string& name, WIN32_FIND_DATAW* data) {
    struct stat st;
    DWORD attributes = 0;
    if (stat(path.c_str(), &st) != 0) {
        if (lstat(path.c_str(), &st) != 0) {
            return false;  // gone since it was listed
        }
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    } else if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (!S_ISREG(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    if (name[0] == '.') {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    data->ftCreationTime = data->ftLastWriteTime;
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    const std::wstring wide = platform::FromUtf8(name);
    // A Linux name has at most 255 bytes, so it always fits.
    StringCchCopyW(data->cFileName, MAX_PATH, wide.c_str());
    return true;
}

// Fails the call with the errno's code and words; always FALSE.
BOOL Fail(int error, const std::string& path) {
    platform::SetLastErrorFromErrno(error, path);
    return FALSE;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    if (!fileName || !findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = platform::ToUtf8(fileName);
    const size_t slash = path.find_last_of('/');
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern == "*.*") {
        pattern = "*";  // as on Win32, names without a dot too
    }
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names;
    if (pattern.find_first_of("*?") == std::string::npos) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            Fail(errno, path);
            return INVALID_HANDLE_VALUE;
        }
        names.push_back(pattern);
    } else {
        DIR* dir = opendir(folder.c_str());
        if (!dir) {
            const int error = errno;
            SetLastError(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                             : platform::Win32Error(error));
            return INVALID_HANDLE_VALUE;
        }
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && Matches(pattern.c_str(), name.c_str())) {
                names.push_back(name);
            }
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
    }
    auto search = std::make_unique<FindSearch>();
    for (const std::string& name : names) {
        WIN32_FIND_DATAW data;
        if (Describe(prefix + name, name, &data)) {
            search->entries.push_back(data);
        }
    }
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findData = search->entries[0];
    search->next = 1;
    FindSearch* handle = search.release();
    platform::RegisterHandle(handle);
    return handle;
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData) {
    FindSearch* search = platform::LookupAs<FindSearch>(findFile);
    if (!search || !findData) {
        SetLastError(search ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findData = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    FindSearch* search = platform::LookupAs<FindSearch>(findFile);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    platform::UnregisterHandle(search);
    delete search;
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    if (!pathName) {
        return Fail(EINVAL, "");
    }
    const std::string path = platform::ToUtf8(pathName);
    if (mkdir(path.c_str(), 0777) != 0) {
        return Fail(errno, path);
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
    if (!pathName) {
        return Fail(EINVAL, "");
    }
    const std::string path = platform::ToUtf8(pathName);
    if (rmdir(path.c_str()) != 0) {
        const int error = errno == EEXIST ? ENOTEMPTY : errno;
        if (error == ENOTDIR) {
            platform::SetLastErrorWithReason(ERROR_DIRECTORY, "is not a folder");
            return FALSE;
        }
        return Fail(error, path);
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName) {
    if (!fileName) {
        return Fail(EINVAL, "");
    }
    const std::string path = platform::ToUtf8(fileName);
    if (IsFolder(path)) {
        platform::SetLastErrorWithReason(ERROR_ACCESS_DENIED, "is a folder, not a file");
        return FALSE;
    }
    if (unlink(path.c_str()) != 0) {
        return Fail(errno, path);
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
    if (!existingName || !newName) {
        return Fail(EINVAL, "");
    }
    const std::string from = platform::ToUtf8(existingName), to = platform::ToUtf8(newName);
    if (IsFolder(from)) {
        platform::SetLastErrorWithReason(ERROR_ACCESS_DENIED, "is a folder, not a file");
        return FALSE;
    }
    const platform::ReadableFile source = platform::OpenForReading(from);
    if (source.fd < 0) {
        const int error = errno;
        platform::SetLastErrorWithReason(platform::Win32Error(error, from), source.reason);
        return FALSE;
    }
    struct stat st;
    fstat(source.fd, &st);
    std::string reason;
    const bool copied = platform::WriteThroughTemporary(
        to,
        [&](int fd) {
            char buffer[65536];
            for (;;) {
                const ssize_t n = read(source.fd, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    if (n < 0) {
                        return errno;
                    }
                    break;
                }
                if (const int error = platform::WriteAll(fd, buffer, static_cast<size_t>(n))) {
                    return error;
                }
            }
            const timespec times[2] = {st.st_atim, st.st_mtim};
            fchmod(fd, st.st_mode & 07777);
            futimens(fd, times);
            return 0;
        },
        failIfExists, &reason);
    const int error = errno;
    close(source.fd);
    if (!copied) {
        platform::SetLastErrorWithReason(
            error == EEXIST ? ERROR_FILE_EXISTS : platform::Win32Error(error, to), reason);
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
    if (!existingName || !newName) {
        return Fail(EINVAL, "");
    }
    const std::string from = platform::ToUtf8(existingName), to = platform::ToUtf8(newName);
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) {
        return Fail(errno, from);
    }
    const int error = platform::RenameNoReplace(from, to);
    if (error == EXDEV && S_ISREG(st.st_mode)) {
        if (!CopyFileW(existingName, newName, TRUE)) {
            return FALSE;
        }
        if (unlink(from.c_str()) != 0) {
            return Fail(errno, from);
        }
        return TRUE;
    }
    if (error != 0) {
        return Fail(error, error == ENOENT ? to : from);
    }
    return TRUE;
}
