#include "platform/kernel/Module.h"

#include <unistd.h>

#include <vector>

#include "platform/kernel/Handles.h"
#include "platform/kernel/WideString.h"

namespace platform {
namespace {

struct ModuleObject : HandleObject {
    static constexpr HandleType kType = HandleType::Module;
    ModuleObject() : HandleObject(kType) { RegisterHandle(this); }
};

}  // namespace

HINSTANCE ProcessModule() {
    static ModuleObject* module = new ModuleObject();  // lives as long as the process
    return reinterpret_cast<HINSTANCE>(module);
}

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return std::string();
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform

DWORD GetModuleFileName(HMODULE module, LPWSTR fileName, DWORD size) {
    if (module && module != platform::ProcessModule()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string path = platform::ExecutablePath();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::wstring wide = platform::FromUtf8(path);
    if (wide.size() >= size) {
        // Truncated and terminated; the result is the buffer size, as the platform reports it.
        wide.copy(fileName, size - 1);
        fileName[size - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    wide.copy(fileName, wide.size());
    fileName[wide.size()] = L'\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(wide.size());
}

HMODULE GetModuleHandle(LPCWSTR moduleName) {
    if (moduleName) {
        SetLastError(ERROR_FILE_NOT_FOUND);  // no other modules are loaded by name
        return nullptr;
    }
    return platform::ProcessModule();
}
