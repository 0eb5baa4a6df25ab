// Parses arbitrary text as a finger script on a screen whose size comes from the first bytes.
// A script that parses holds only commands with their line numbers and coordinates on that
// screen; a refused one names the file and the line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/device/Script.h"

namespace {

bool OnScreen(int x, int y, int width, int height) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const int width = 1 + data[0] * 8;
    const int height = 1 + data[1] * 8;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    int lines = 1;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    platform::Script script;
    std::string error;
    if (!platform::ParseScript(text, "fuzz.txt", width, height, &script, &error)) {
        if (error.rfind("fuzz.txt:", 0) != 0) {
            std::abort();
        }
        return 0;
    }
    for (const platform::ScriptCommand& command : script) {
        if (command.line < 1 || command.line > lines) {
            std::abort();
        }
        const int* a = command.args;
        switch (command.kind) {
            case platform::ScriptCommand::Wait:
                if (a[0] < 0) {
                    std::abort();
                }
                break;
            case platform::ScriptCommand::Down:
            case platform::ScriptCommand::Move:
            case platform::ScriptCommand::Up:
            case platform::ScriptCommand::Tap:
                if (!OnScreen(a[0], a[1], width, height)) {
                    std::abort();
                }
                break;
            case platform::ScriptCommand::Drag:
                if (!OnScreen(a[0], a[1], width, height) || !OnScreen(a[2], a[3], width, height) ||
                    a[4] < 0) {
                    std::abort();
                }
                break;
            case platform::ScriptCommand::Shot:
                if (command.name.empty() || command.name.find('/') != std::string::npos) {
                    std::abort();
                }
                break;
            default:
                break;
        }
    }
    return 0;
}
