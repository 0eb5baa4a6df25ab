#include "platform/registry/RegistryStore.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/kernel/HomeFolder.h"
#include "platform/kernel/WideString.h"
#include "platform/registry/DefaultBrowser.h"
#include "platform/registry/RegistryDisk.h"
#include "platform/registry/RegistryFile.h"

namespace platform::registry {
namespace {

constexpr const char* kFileName = "registry.reg";

struct State {
    std::mutex mutex;
    std::string configDir;
    bool loaded = false;
    // Why the file on disk must be left as it is (it could not be read, is no regular file, or
    // could not be kept aside); empty when a save may replace it.
    std::string leaveAsIs;
    // The file as loaded, open until the next load: whatever replaces it on disk, it can still be
    // kept aside whole when a value of it turns out unusable.
    int sourceFd = -1;
    bool keptAside = false;        // this load's file is in .bad already
    std::set<int> wrongTypeLines;  // the lines of values already named as unusable
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
    std::string home = HomeFolder();
    if (home.back() == '/') {
        home.pop_back();
    }
    return home + "/.config/pulsor";
}

std::string PathLocked(const State& state) {
    return DirectoryLocked(state) + "/" + kFileName;
}

void ForgetLocked(State& state) {
    state.loaded = false;
    state.contents = Contents();
    state.dirty = false;
    if (state.sourceFd >= 0) {
        close(state.sourceFd);
        state.sourceFd = -1;
    }
}

// The file as it was is copied aside whole before anything replaces it. When that fails, nothing
// may replace it: its unread part would be lost.
void KeepAsideLocked(State& state) {
    if (state.keptAside || state.sourceFd < 0) {
        return;
    }
    state.keptAside = true;
    const std::string path = PathLocked(state);
    const std::string bad = path + ".bad";
    if (const int error = CopyWhole(state.sourceFd, DirectoryLocked(state), bad)) {
        state.leaveAsIs =
            "it could not be kept aside as " + bad + " (" + std::strerror(error) + ")";
        std::fprintf(stderr, "pulsor: cannot keep %s as %s: %s; the settings will not be saved\n",
                     path.c_str(), bad.c_str(), std::strerror(error));
        return;
    }
    std::fprintf(stderr, "pulsor: the file as it was is kept as %s\n", bad.c_str());
}

void ReportDamage(const std::string& path, const std::vector<Contents::Damage>& damaged) {
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
}

void LoadLocked(State& state) {
    if (state.loaded) {
        return;
    }
    ForgetLocked(state);
    state.loaded = true;
    state.leaveAsIs.clear();
    state.keptAside = false;
    state.wrongTypeLines.clear();
    const std::string path = PathLocked(state);
    RemoveStaleTemps(DirectoryLocked(state));
    int error = 0;
    const char* kind = nullptr;
    const int fd = OpenRegularFile(path, &error, &kind);
    if (kind) {
        // Replacing it would surprise whoever made it; reading it could wait for ever.
        state.leaveAsIs = std::string("it is ") + kind + ", not a regular file";
        std::fprintf(stderr, "pulsor: %s: not read: %s\n", path.c_str(), state.leaveAsIs.c_str());
        return;
    }
    if (fd < 0) {
        if (error != ENOENT && error != ENOTDIR) {  // else there is no file yet
            state.leaveAsIs = std::string("it could not be read (") + std::strerror(error) + ")";
        }
        return;
    }
    state.sourceFd = fd;
    // Read no further than the parser accepts: a file beyond that is refused as a whole.
    std::string text;
    if ((error = ReadAll(fd, kMaxFileSize, &text)) != 0) {
        state.leaveAsIs = std::string("it could not be read (") + std::strerror(error) + ")";
        return;
    }
    std::vector<Contents::Damage> damaged;
    state.contents.Parse(text, &damaged);
    if (!damaged.empty()) {
        // Every line that parsed is used; the file as it was is kept for the user.
        ReportDamage(path, damaged);
        KeepAsideLocked(state);
    }
}

// A value of the file that a reader cannot use is named like a damaged line, and the file is kept
// aside, since saving this run's own value in its place would lose it.
void ReportWrongTypeLocked(State& state, const Value& value, const char* wanted) {
    if (value.line == 0 || !state.wrongTypeLines.insert(value.line).second) {
        return;
    }
    std::fprintf(stderr, "pulsor: %s:%d: value skipped: \"%s\" is %s where %s is expected\n",
                 PathLocked(state).c_str(), value.line, ToUtf8(value.name).c_str(),
                 value.Describe().c_str(), wanted);
    KeepAsideLocked(state);
}

// Writes the whole contents in one atomic replacement of the file. A failure says so on stderr,
// naming the file and the reason, and leaves the file as it was.
bool SaveLocked(State& state) {
    const std::string path = PathLocked(state);
    if (!state.leaveAsIs.empty()) {
        std::fprintf(stderr, "pulsor: cannot save the settings to %s: %s, so it is left as it is\n",
                     path.c_str(), state.leaveAsIs.c_str());
        state.saveFailed = true;
        return false;
    }
    if (const int error = ReplaceFile(DirectoryLocked(state), path, state.contents.Serialize())) {
        std::fprintf(stderr, "pulsor: cannot save the settings to %s: %s\n", path.c_str(),
                     std::strerror(error));
        state.saveFailed = true;
        return false;
    }
    state.dirty = false;
    return true;
}

// The value when it is of the `wanted` type (kTypeDword or kTypeString).
Result Get(HKEY root, const std::wstring& key, const std::wstring& name, uint32_t wanted,
           Value* out) {
    std::wstring fullName;
    if (!Contents::KeyName(root, key, &fullName)) {
        return Result::Invalid;
    }
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    LoadLocked(state);
    const Value* value = state.contents.Find(fullName, name);
    if (!value) {
        return Result::NotFound;
    }
    if (wanted == kTypeDword ? !value->IsDword() : !value->IsString()) {
        ReportWrongTypeLocked(
            state, *value,
            wanted == kTypeDword ? "a number (dword:XXXXXXXX)" : "a string (\"text\")");
        return Result::WrongType;
    }
    *out = *value;
    return Result::Ok;
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
    ForgetLocked(state);
}

std::string Directory() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return DirectoryLocked(state);
}

std::string FilePath() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return PathLocked(state);
}

void Unload() {
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    ForgetLocked(state);
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
    const Result result = Get(root, key, name, kTypeDword, &v);
    if (result != Result::Ok) {
        return result;
    }
    *value = v.dword;
    return Result::Ok;
}

Result GetString(HKEY root, const std::wstring& key, const std::wstring& name,
                 std::wstring* value) {
    Value v;
    const Result result = Get(root, key, name, kTypeString, &v);
    if (result == Result::NotFound && IsDefaultBrowserValue(root, key, name) &&
        FindDefaultBrowser(value)) {
        return Result::Ok;
    }
    if (result != Result::Ok) {
        return result;
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
