#include "platform/registry/RegistryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/kernel/WideString.h"
#include "platform/registry/RegistryFile.h"

namespace platform::registry {
namespace {

constexpr const char* kFileName = "registry.reg";
constexpr const char* kTempPrefix = "registry.reg.tmp-";
const std::wstring kBrowserKey =
    L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER";

struct State {
    std::mutex mutex;
    std::string configDir;
    bool loaded = false;
    bool writable = true;  // false when the file exists but could not be read
    int readError = 0;     // why it could not be read
    Contents contents;
    std::set<HKEY> openKeys;  // while any is open, changes wait for its close or flush
    bool dirty = false;       // changes not yet on disk
    bool saveFailed = false;  // some save of this run did not reach the disk
};

// Keys opened by OpenKey: heap objects, so each handle is unique and never a predefined root.
struct OpenedKey {
    std::wstring name;
};

State& TheState() {
    static State* state = new State();  // used until the very end of the process
    return *state;
}

std::string DirectoryLocked(const State& state) {
    if (!state.configDir.empty()) {
        return state.configDir;
    }
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        return std::string(xdg) + "/pulsor";
    }
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] ? home : "";
    if (base.empty()) {
        if (const passwd* pw = getpwuid(getuid())) {
            base = pw->pw_dir ? pw->pw_dir : "";
        }
    }
    return base + "/.config/pulsor";
}

bool ReadAll(int fd, std::string* out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (out->size() + static_cast<size_t>(n) > kMaxFileSize) {
            out->append(buffer, static_cast<size_t>(n));  // too long: the parser refuses it
            return true;
        }
        out->append(buffer, static_cast<size_t>(n));
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool MakeDirectories(const std::string& dir) {
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/') {
            const std::string part = dir.substr(0, i);
            if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Temporary files of saves that were cut short (their process died) are removed.
void RemoveStaleTemps(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) {
        return;
    }
    const std::string prefix = kTempPrefix;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            unlink((dir + "/" + name).c_str());
        }
    }
    closedir(d);
}

void LoadLocked(State& state) {
    if (state.loaded) {
        return;
    }
    state.loaded = true;
    state.writable = true;
    state.readError = 0;
    state.dirty = false;
    state.contents = Contents();
    const std::string dir = DirectoryLocked(state);
    const std::string path = dir + "/" + kFileName;
    RemoveStaleTemps(dir);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.writable = errno == ENOENT || errno == ENOTDIR;  // no file there yet
        state.readError = errno;
        return;
    }
    std::string text;
    const bool read = ReadAll(fd, &text);
    state.readError = errno;
    close(fd);
    if (!read) {
        state.writable = false;
        return;
    }
    std::vector<Contents::Damage> damaged;
    state.contents.Parse(text, &damaged);
    if (damaged.empty()) {
        return;
    }
    // The file as it was is kept for the user; every line that parsed is used.
    const std::string bad = path + ".bad";
    const int out = open(bad.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool kept = out >= 0 && WriteAll(out, text);
    if (out >= 0) {
        close(out);
    }
    constexpr size_t kMaxReported = 10;
    for (size_t i = 0; i < damaged.size() && i < kMaxReported; ++i) {
        if (damaged[i].line > 0) {
            std::fprintf(stderr, "pulsor: %s:%d: line skipped: %s\n", path.c_str(), damaged[i].line,
                         damaged[i].reason.c_str());
        } else {
            std::fprintf(stderr, "pulsor: %s: not read: %s\n", path.c_str(),
                         damaged[i].reason.c_str());
        }
    }
    if (damaged.size() > kMaxReported) {
        std::fprintf(stderr, "pulsor: %s: %zu more damaged lines skipped\n", path.c_str(),
                     damaged.size() - kMaxReported);
    }
    if (kept) {
        std::fprintf(stderr, "pulsor: the file as it was is kept as %s\n", bad.c_str());
    }
}

// Writes the whole contents in one atomic replacement of the file. A failure says so on stderr,
// naming the file and the reason, and leaves the file as it was.
bool SaveLocked(State& state) {
    const std::string dir = DirectoryLocked(state);
    const std::string path = dir + "/" + kFileName;
    int error = 0;
    if (!state.writable) {
        error = state.readError;
    } else if (!MakeDirectories(dir)) {
        error = errno ? errno : ENOTDIR;
    } else {
        static std::atomic<unsigned> counter{0};
        const std::string temp = dir + "/" + kTempPrefix + std::to_string(getpid()) + "-" +
                                 std::to_string(counter.fetch_add(1));
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = errno;
        } else {
            bool ok = WriteAll(fd, state.contents.Serialize()) && fsync(fd) == 0;
            error = ok ? 0 : (errno ? errno : EIO);
            ok = close(fd) == 0 && ok;
            if (ok && rename(temp.c_str(), path.c_str()) != 0) {
                ok = false;
            }
            if (!ok) {
                error = error ? error : (errno ? errno : EIO);
                unlink(temp.c_str());
            }
        }
    }
    if (error) {
        if (!state.writable) {
            std::fprintf(stderr,
                         "pulsor: cannot save the settings to %s: it could not be read "
                         "(%s), so it is left as it is\n",
                         path.c_str(), std::strerror(error));
        } else {
            std::fprintf(stderr, "pulsor: cannot save the settings to %s: %s\n", path.c_str(),
                         std::strerror(error));
        }
        state.saveFailed = true;
        return false;
    }
    state.dirty = false;
    // The rename itself is durable only once the folder is.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

// The browser the desktop opens pages with: $BROWSER's first command, else xdg-open, as a full
// path when it is found on the PATH.
bool DefaultBrowser(std::wstring* out) {
    std::string program;
    if (const char* browser = std::getenv("BROWSER"); browser && browser[0]) {
        program = browser;
        program = program.substr(0, program.find(':'));
        const size_t start = program.find_first_not_of(" \t");
        program = start == std::string::npos ? "" : program.substr(start);
        program = program.substr(0, program.find_first_of(" \t"));
    }
    const bool fromEnvironment = !program.empty();
    if (!fromEnvironment) {
        program = "xdg-open";
    }
    if (program.find('/') == std::string::npos) {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
        std::string found;
        size_t begin = 0;
        while (found.empty() && begin <= dirs.size()) {
            size_t end = dirs.find(':', begin);
            if (end == std::string::npos) {
                end = dirs.size();
            }
            const std::string dir = end > begin ? dirs.substr(begin, end - begin) : ".";
            const std::string candidate = dir + "/" + program;
            struct stat st;
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                access(candidate.c_str(), X_OK) == 0) {
                found = candidate;
            }
            begin = end + 1;
        }
        if (found.empty() && !fromEnvironment) {
            return false;
        }
        if (!found.empty()) {
            program = found;
        }
    }
    *out = FromUtf8(program);
    return true;
}

Result Get(HKEY root, const std::wstring& key, const std::wstring& name, Value* out) {
    std::wstring fullName;
    if (!Contents::KeyName(root, key, &fullName)) {
        return Result::Invalid;
    }
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    LoadLocked(state);
    if (const Value* value = state.contents.Find(fullName, name)) {
        *out = *value;
        return Result::Ok;
    }
    return Result::NotFound;
}

Result Set(HKEY root, const std::wstring& key, Value value) {
    std::wstring fullName;
    if (!Contents::KeyName(root, key, &fullName) || !Contents::ValidName(value.name)) {
        return Result::Invalid;
    }
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    LoadLocked(state);
    state.contents.Set(fullName, std::move(value));
    state.dirty = true;
    if (!state.openKeys.empty()) {
        return Result::Ok;  // saved when the key is closed or flushed
    }
    return SaveLocked(state) ? Result::Ok : Result::WriteFailed;
}

OpenedKey* Opened(State& state, HKEY key) {
    return state.openKeys.count(key) ? reinterpret_cast<OpenedKey*>(key) : nullptr;
}

}  // namespace

void SetConfigDir(const std::string& dir) {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.configDir = dir;
    while (state.configDir.size() > 1 && state.configDir.back() == '/') {
        state.configDir.pop_back();
    }
    state.loaded = false;
}

std::string FilePath() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return DirectoryLocked(state) + "/" + kFileName;
}

void Unload() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.loaded = false;
    state.contents = Contents();
    state.dirty = false;
    state.saveFailed = false;
}

Result OpenKey(HKEY root, const std::wstring& key, HKEY* opened, bool* created) {
    std::wstring fullName;
    if (!opened || !created || !Contents::KeyName(root, key, &fullName)) {
        return Result::Invalid;
    }
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    LoadLocked(state);
    *created = !state.contents.HasKey(fullName);
    if (*created) {
        state.contents.CreateKey(fullName);
        state.dirty = true;
    }
    auto* handle = new OpenedKey{fullName};
    *opened = reinterpret_cast<HKEY>(handle);
    state.openKeys.insert(*opened);
    return Result::Ok;
}

Result Flush(HKEY key) {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!Opened(state, key)) {
        return Result::Invalid;
    }
    if (!state.loaded || !state.dirty) {
        return Result::Ok;
    }
    return SaveLocked(state) ? Result::Ok : Result::WriteFailed;
}

Result CloseKey(HKEY key) {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    OpenedKey* opened = Opened(state, key);
    if (!opened) {
        return Result::Invalid;
    }
    state.openKeys.erase(key);
    delete opened;
    if (!state.openKeys.empty() || !state.loaded || !state.dirty) {
        return Result::Ok;
    }
    return SaveLocked(state) ? Result::Ok : Result::WriteFailed;
}

bool SaveFailed() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.saveFailed;
}

Result GetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* value) {
    Value v;
    const Result result = Get(root, key, name, &v);
    if (result != Result::Ok) {
        return result;
    }
    if (!v.IsDword()) {
        return Result::WrongType;
    }
    *value = v.dword;
    return Result::Ok;
}

Result GetString(HKEY root, const std::wstring& key, const std::wstring& name,
                 std::wstring* value) {
    Value v;
    Result result = Get(root, key, name, &v);
    if (result == Result::NotFound && root == HKEY_LOCAL_MACHINE && name == L"1") {
        std::wstring fullName;
        if (Contents::KeyName(root, key, &fullName) && Contents::SameName(fullName, kBrowserKey) &&
            DefaultBrowser(value)) {
            return Result::Ok;
        }
    }
    if (result != Result::Ok) {
        return result;
    }
    if (!v.IsString()) {
        return Result::WrongType;
    }
    *value = std::move(v.text);
    return Result::Ok;
}

Result SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    Value v;
    v.name = name;
    v.type = kTypeDword;
    v.dword = value;
    return Set(root, key, std::move(v));
}

Result SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& value) {
    Value v;
    v.name = name;
    v.type = kTypeString;
    v.text = value;
    return Set(root, key, std::move(v));
}

}  // namespace platform::registry
