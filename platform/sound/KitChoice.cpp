#include "platform/sound/KitChoice.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/kernel/HomeFolder.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace platform::sound {

namespace fs = std::filesystem;

namespace {

// Where the program's Settings read their values.
const wchar_t kSettingsKey[] = L"Software\\Harrowmint\\Pulsor\\Settings";

}  // namespace

std::string KitsFolder() {
    return (fs::path(DataHome()) / "pulsor" / "kits").string();
}

size_t LongestKitFileName() {
    size_t longest = std::strlen("labels.txt");
    int formats = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &formats, sizeof formats);
    for (int i = 0; i < formats; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension) {
            longest = std::max(longest, std::strlen("Pulsor.") + std::strlen(info.extension));
        }
    }
    return longest;
}

bool ChooseKit(const std::string& kit, std::string* error) {
    std::wstring value;
    if (kit != "default") {
        const bool isPath = kit.find('/') != std::string::npos;
        if (!isPath && (kit == "." || kit == "..")) {
            *error = "'" + kit + "' is not a kit name (a folder in " + KitsFolder() +
                     "); a folder is given by its path, such as ./" + kit;
            return false;
        }
        std::error_code ec;
        fs::path folder = isPath ? fs::path(kit) : fs::path(KitsFolder()) / kit;
        folder = fs::absolute(folder, ec).lexically_normal();
        if (ec || !fs::is_directory(folder, ec)) {
            *error = "no kit folder " + folder.string();
            return false;
        }
        std::string text = folder.string();
        if (text.back() != '/') {
            text += '/';
        }
        // The program's paths hold MAX_PATH characters with the terminating null: the folder
        // must leave room for the longest name it reads there.
        value = FromUtf8(text);
        const size_t room = MAX_PATH - 1 - LongestKitFileName();
        if (value.size() > room) {
            *error = "kit folder path too long: " + text + " has " + std::to_string(value.size()) +
                     " characters; at most " + std::to_string(room) +
                     " leave room for the names of its files";
            return false;
        }
    }
    if (FAILED(RegistrySetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"Kit", value.c_str()))) {
        *error = "cannot keep the kit choice in the settings file";
        return false;
    }
    return true;
}

}  // namespace platform::sound
