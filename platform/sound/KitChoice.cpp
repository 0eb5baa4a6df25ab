#include "platform/sound/KitChoice.h"

#include <cstdlib>
#include <filesystem>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace platform::sound {

namespace fs = std::filesystem;

namespace {

// Where the program's Settings read their values.
const wchar_t kSettingsKey[] = L"Software\\Harrowmint\\Pulsor\\Settings";

}  // namespace

std::string KitsFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/") / ".local" / "share";
    }
    return (base / "pulsor" / "kits").string();
}

bool ChooseKit(const std::string& kit, std::string* error) {
    std::wstring value;
    if (kit != "default") {
        std::error_code ec;
        fs::path folder =
            kit.find('/') != std::string::npos ? fs::path(kit) : fs::path(KitsFolder()) / kit;
        folder = fs::absolute(folder, ec).lexically_normal();
        if (ec || !fs::is_directory(folder, ec)) {
            *error = "no kit folder " + folder.string();
            return false;
        }
        std::string text = folder.string();
        if (text.back() != '/') {
            text += '/';
        }
        if (text.size() >= MAX_PATH) {
            *error = "kit folder path too long: " + text;
            return false;
        }
        value = FromUtf8(text);
    }
    if (FAILED(RegistrySetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"Kit", value.c_str()))) {
        *error = "cannot keep the kit choice in the settings file";
        return false;
    }
    return true;
}

}  // namespace platform::sound
