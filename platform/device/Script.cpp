#include "platform/device/Script.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "platform/device/Keys.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/WideString.h"

namespace platform {
namespace {

struct Syntax {
    const char* word;
    ScriptCommand::Kind kind;
    int argCount;
    bool coordinates;  // the arguments are X Y pairs (the drag's last one is a duration)
};

const Syntax kSyntax[] = {
    {"wait", ScriptCommand::Wait, 1, false},
    {"down", ScriptCommand::Down, 2, true},
    {"move", ScriptCommand::Move, 2, true},
    {"up", ScriptCommand::Up, 2, true},
    {"tap", ScriptCommand::Tap, 2, true},
    {"drag", ScriptCommand::Drag, 5, true},
    {"shot", ScriptCommand::Shot, 0, false},
    {"activate", ScriptCommand::Activate, 0, false},
    {"deactivate", ScriptCommand::Deactivate, 0, false},
    {"launch", ScriptCommand::Launch, 0, false},
    {"close", ScriptCommand::Close, 0, false},
    {"press", ScriptCommand::Press, 1, false},
    {"release", ScriptCommand::Release, 1, false},
    {"finger", ScriptCommand::Finger, 4, false},
    {"midi", ScriptCommand::Midi, 2, false},
    {"joy", ScriptCommand::Joy, 2, false},
};

bool ParseInt(const std::string& word, int* value) {
    if (word.empty() || word.size() > 10) {
        return false;
    }
    for (char c : word) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    long long v = std::strtoll(word.c_str(), nullptr, 10);
    if (v > INT_MAX) {
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

// Text for a terminal: control bytes, C1 controls and bytes that are not UTF-8 are written as
// \xNN, so that a damaged or hostile script cannot move the cursor or recolour the screen.
std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[i++];
            continue;
        }
        // A whole UTF-8 sequence passes, unless it encodes a C1 control (U+0080..U+009F).
        const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        std::wstring decoded;
        if (byte >= 0xC2 && FromUtf8Strict(std::string_view(text).substr(i, length), &decoded) &&
            decoded.size() == 1 && decoded[0] >= 0xA0) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
        ++i;
    }
    return out;
}

bool ValidShotName(const std::string& name) {
    const std::string ext = ".png";
    if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) {
        return false;
    }
    return name.find('/') == std::string::npos && name[0] != '.';
}

}  // namespace

bool ParseScript(const std::string& text, const std::string& fileName, int screenWidth,
                 int screenHeight, Script* script, std::string* error) {
    script->clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& reason) {
        *error = Printable(fileName + ":" + std::to_string(number) + ": " + reason);
        script->clear();
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (size_t hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream words(line);
        std::vector<std::string> parts;
        for (std::string w; words >> w;) {
            parts.push_back(w);
        }
        if (parts.empty()) {
            continue;
        }
        const Syntax* syntax = nullptr;
        for (const Syntax& s : kSyntax) {
            if (parts[0] == s.word) {
                syntax = &s;
            }
        }
        if (!syntax) {
            return fail("unknown command '" + parts[0] + "'");
        }
        ScriptCommand cmd;
        cmd.kind = syntax->kind;
        cmd.line = number;
        const size_t given = parts.size() - 1;
        if (cmd.kind == ScriptCommand::Shot) {
            if (given != 1) {
                return fail("shot takes one file name");
            }
            if (!ValidShotName(parts[1])) {
                return fail("shot needs a plain file name ending in .png, not '" + parts[1] + "'");
            }
            cmd.name = parts[1];
            script->push_back(cmd);
            continue;
        }
        if (cmd.kind == ScriptCommand::Press || cmd.kind == ScriptCommand::Release) {
            if (given != 1) {
                return fail(std::string(syntax->word) + " takes one key name");
            }
            const KeyInfo* key = KeyByName(parts[1]);
            if (!key) {
                return fail("unknown key '" + parts[1] + "'");
            }
            cmd.name = key->name;
            script->push_back(cmd);
            continue;
        }
        if (cmd.kind == ScriptCommand::Finger) {
            if (given != 4) {
                return fail("finger takes N down|move|up X Y");
            }
            const std::string& event = parts[2];
            if (!ParseInt(parts[1], &cmd.args[0]) || cmd.args[0] < 1 || cmd.args[0] > 10) {
                return fail("finger wants N from 1 to 10, not '" + parts[1] + "'");
            }
            if (event != "down" && event != "move" && event != "up") {
                return fail("finger wants down, move or up, not '" + event + "'");
            }
            cmd.args[1] = event == "down"   ? ScriptCommand::FingerDown
                          : event == "move" ? ScriptCommand::FingerMove
                                            : ScriptCommand::FingerUp;
            for (int i = 0; i < 2; ++i) {
                if (!ParseInt(parts[3 + i], &cmd.args[2 + i])) {
                    return fail("'" + parts[3 + i] + "' is not a whole number of 0 or more");
                }
            }
            if (cmd.args[2] >= screenWidth || cmd.args[3] >= screenHeight) {
                return fail("point " + std::to_string(cmd.args[2]) + " " +
                            std::to_string(cmd.args[3]) + " is off the " +
                            std::to_string(screenWidth) + "x" + std::to_string(screenHeight) +
                            " screen");
            }
            script->push_back(cmd);
            continue;
        }
        if (cmd.kind == ScriptCommand::Joy) {
            if (given != 2) {
                return fail("joy takes N down|up");
            }
            if (!ParseInt(parts[1], &cmd.args[0]) || cmd.args[0] < 1 || cmd.args[0] > 4) {
                return fail("joy wants a button from 1 to 4, not '" + parts[1] + "'");
            }
            if (parts[2] != "down" && parts[2] != "up") {
                return fail("joy wants down or up, not '" + parts[2] + "'");
            }
            cmd.args[1] = parts[2] == "down" ? 1 : 0;
            script->push_back(cmd);
            continue;
        }
        if (given != static_cast<size_t>(syntax->argCount)) {
            return fail(std::string(syntax->word) + " takes " + std::to_string(syntax->argCount) +
                        " number" + (syntax->argCount == 1 ? "" : "s") + ", got " +
                        std::to_string(given));
        }
        for (size_t i = 0; i < given; ++i) {
            if (!ParseInt(parts[i + 1], &cmd.args[i])) {
                return fail("'" + parts[i + 1] + "' is not a whole number of 0 or more");
            }
        }
        if (cmd.kind == ScriptCommand::Midi && (cmd.args[0] > 127 || cmd.args[1] > 127)) {
            return fail("midi takes a note and a velocity of 0 to 127");
        }
        if (syntax->coordinates) {
            for (int i = 0; i + 1 < 4 && i + 1 < syntax->argCount; i += 2) {
                if (cmd.args[i] >= screenWidth || cmd.args[i + 1] >= screenHeight) {
                    return fail("point " + std::to_string(cmd.args[i]) + " " +
                                std::to_string(cmd.args[i + 1]) + " is off the " +
                                std::to_string(screenWidth) + "x" + std::to_string(screenHeight) +
                                " screen");
                }
            }
        }
        script->push_back(cmd);
    }
    return true;
}

bool LoadScript(const std::string& path, int screenWidth, int screenHeight, Script* script,
                std::string* error) {
    std::string text;
    ReadableFile failure;
    if (!ReadWholeFile(path, kMaxScriptBytes, &text, &failure)) {
        *error = Printable(path + ": " + failure.reason);
        return false;
    }
    return ParseScript(text, path, screenWidth, screenHeight, script, error);
}

}  // namespace platform
