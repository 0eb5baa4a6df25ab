// SHFileOperation's delete that can be undone: the freedesktop.org trash, which file managers
// list, restore from and empty.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/Errors.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/HomeFolder.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace {

// A trash: its folder (holding files/ and info/), and the top of the device it serves, to which
// the paths it records are relative (empty for the home trash: absolute paths).
struct Trash {
    std::string folder;
    std::string top;
};

// Why a delete failed: a Win32 code and the words for it.
struct Failure {
    DWORD code = ERROR_SUCCESS;
    std::string reason;
};

Failure FromErrno(int error, const std::string& what) {
    return {platform::Win32Error(error), what + std::strerror(error)};
}

// A folder of the trash, made (0700) when missing; an existing one must be a real folder.
int MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) {
        return 0;
    }
    const int error = errno;
    struct stat st;
    if (error == EEXIST && lstat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    return error;
}

int MakeTrash(const std::string& folder, bool withParents) {
    if (const int error = withParents ? platform::MakeFolders(folder) : MakeFolder(folder)) {
        return error;
    }
    if (const int error = MakeFolder(folder + "/files")) {
        return error;
    }
    return MakeFolder(folder + "/info");
}

// The device's own top: the highest folder above `path` still on `device`.
std::string TopOf(const std::string& path, dev_t device) {
    std::string top = path;
    while (top != "/") {
        const size_t slash = top.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : top.substr(0, slash);
        struct stat st;
        if (stat(parent.c_str(), &st) != 0 || st.st_dev != device) {
            break;
        }
        top = parent;
    }
    return top;
}

// The nearest folder at or above `path` that exists.
std::string Existing(std::string path) {
    struct stat st;
    while (path != "/" && stat(path.c_str(), &st) != 0) {
        const size_t slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return path;
}

// The trash that takes an entry on `device` at `path`: the home trash on its own device,
// otherwise the device's: an administrator's $top/.Trash (a real folder with the sticky bit)
// holding one per user, or the user's own $top/.Trash-$uid.
bool FindTrash(const std::string& path, dev_t device, Trash* trash, Failure* failure) {
    const std::string home = platform::DataHome() + "/Trash";
    struct stat st;
    if (stat(Existing(home).c_str(), &st) == 0 && st.st_dev == device) {
        trash->folder = home;
        trash->top.clear();
        if (const int error = MakeTrash(home, true)) {
            *failure = FromErrno(error, "the trash " + home + " cannot be made: ");
            return false;
        }
        return true;
    }
    const size_t slash = path.find_last_of('/');
    trash->top = TopOf(slash == 0 ? "/" : path.substr(0, slash), device);
    const std::string base = trash->top == "/" ? "" : trash->top;
    const std::string uid = std::to_string(getuid());
    const std::string shared = base + "/.Trash";
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        MakeTrash(shared + "/" + uid, false) == 0) {
        trash->folder = shared + "/" + uid;
    } else {
        trash->folder = base + "/.Trash-" + uid;
        const int error = MakeTrash(trash->folder, false);
        // One made by someone else, or a link to elsewhere, is not ours to fill.
        const bool ours = error == 0 && lstat(trash->folder.c_str(), &st) == 0 &&
                          S_ISDIR(st.st_mode) && st.st_uid == getuid();
        if (!ours) {
            failure->code = ERROR_NOT_SAME_DEVICE;
            failure->reason = "there is no trash on the device of " + path + " (" + trash->top +
                              "): " +
                              (error ? "cannot make " + trash->folder + ": " + std::strerror(error)
                                     : trash->folder + " is not the user's own folder");
            return false;
        }
    }
    if (stat(trash->folder.c_str(), &st) != 0 || st.st_dev != device) {
        failure->code = ERROR_NOT_SAME_DEVICE;
        failure->reason = "the trash " + trash->folder + " is on another device than " + path;
        return false;
    }
    return true;
}

// A path as a URI path: every byte but the unreserved ones and '/' percent-escaped.
std::string Escape(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string DeletionDate() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The n-th name for `base` in a trash: itself, then "base.2", "name.2.ext"...
std::string Candidate(const std::string& base, int n) {
    if (n == 1) {
        return base;
    }
    const size_t dot = base.find('.', 1);
    const std::string number = "." + std::to_string(n);
    return dot == std::string::npos ? base + number
                                    : base.substr(0, dot) + number + base.substr(dot);
}

Failure MoveToTrash(const std::wstring& item) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string path =
        fs::absolute(fs::path(platform::ToUtf8(item)), ec).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    struct stat st;
    if (ec || path == "/" || lstat(path.c_str(), &st) != 0) {
        const int error = ec ? ec.value() : path == "/" ? EBUSY : errno;
        return {platform::Win32Error(error, path), std::strerror(error)};
    }
    const std::string home = platform::DataHome() + "/Trash";
    if (home == path || home.compare(0, path.size() + 1, path + "/") == 0) {
        return {ERROR_ACCESS_DENIED, "holds the trash itself"};
    }
    Trash trash;
    Failure failure;
    if (!FindTrash(path, st.st_dev, &trash, &failure)) {
        return failure;
    }
    const std::string recorded =
        trash.top.empty() ? path : path.substr(trash.top == "/" ? 1 : trash.top.size() + 1);
    const std::string info =
        "[Trash Info]\nPath=" + Escape(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
    const std::string base = path.substr(path.find_last_of('/') + 1);
    // The info file is made first, exclusively: it claims the name.
    for (int n = 1; n < 100000; ++n) {
        const std::string name = Candidate(base, n);
        const std::string infoPath = trash.folder + "/info/" + name + ".trashinfo";
        const std::string filePath = trash.folder + "/files/" + name;
        const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return FromErrno(errno, "cannot record it in the trash " + trash.folder + ": ");
        }
        int error = platform::WriteAll(fd, info.data(), info.size());
        if (error == 0 && fsync(fd) != 0) {
            error = errno;
        }
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        struct stat taken;
        if (error == 0 && lstat(filePath.c_str(), &taken) == 0) {
            unlink(infoPath.c_str());  // a file left without its record: a name still taken
            continue;
        }
        if (error == 0 && rename(path.c_str(), filePath.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            unlink(infoPath.c_str());
            return FromErrno(error, "cannot be moved to the trash " + trash.folder + ": ");
        }
        return failure;
    }
    return {ERROR_FILE_EXISTS, "the trash " + trash.folder + " holds too many of that name"};
}

}  // namespace

int SHFileOperationW(LPSHFILEOPSTRUCTW fileOp) {
    if (!fileOp || !fileOp->pFrom || !*fileOp->pFrom) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR_INVALID_PARAMETER;
    }
    fileOp->fAnyOperationsAborted = FALSE;
    if (fileOp->wFunc != FO_DELETE || !(fileOp->fFlags & FOF_ALLOWUNDO)) {
        platform::SetLastErrorWithReason(ERROR_NOT_SUPPORTED,
                                         "only a delete into the trash is supported");
        return ERROR_NOT_SUPPORTED;
    }
    for (LPCWSTR item = fileOp->pFrom; *item; item += std::wcslen(item) + 1) {
        const Failure failure = MoveToTrash(item);
        if (failure.code != ERROR_SUCCESS) {
            fileOp->fAnyOperationsAborted = TRUE;
            platform::SetLastErrorWithReason(failure.code, failure.reason);
            return static_cast<int>(failure.code);
        }
    }
    SetLastError(ERROR_SUCCESS);
    return 0;
}
