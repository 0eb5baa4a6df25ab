#include "platform/registry/DefaultBrowser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/kernel/WideString.h"
#include "platform/registry/RegistryFile.h"

namespace platform::registry {

bool IsDefaultBrowserValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring fullName;
    return root == HKEY_LOCAL_MACHINE && name == L"1" && Contents::KeyName(root, key, &fullName) &&
           Contents::SameName(fullName,
                              L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER");
}

bool FindDefaultBrowser(std::wstring* out) {
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

}  // namespace platform::registry
