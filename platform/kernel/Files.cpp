#include <cerrno>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

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
    return std::fopen(platform::ToUtf8(fileName).c_str(), narrowMode.c_str());
}
