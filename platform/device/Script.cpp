#include "platform/device/Script.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include <unistd.h>

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
    {"type", ScriptCommand::Type, 0, false},
    {"drop", ScriptCommand::Drop, 2, true},
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

// What follows the command word, from its first non-blank character, without a carriage return
// that ended the line.
std::string RestOfLine(const std::string& line, const std::string& word) {
    const size_t start = line.find_first_not_of(" \t", line.find(word) + word.size());
    std::string rest = start == std::string::npos ? std::string() : line.substr(start);
    if (!rest.empty() && rest.back() == '\r') {
        rest.pop_back();
    }
    return rest;
}

// Takes the last blank-separated word off the end of *text, and the blanks before it.
std::string SplitLastWord(std::string* text) {
    const size_t end = text->find_last_not_of(" \t");
    if (end == std::string::npos) {
        text->clear();
        return {};
    }
    const size_t blank = text->find_last_of(" \t", end);
    const size_t begin = blank == std::string::npos ? 0 : blank + 1;
    std::string word = text->substr(begin, end + 1 - begin);
    const size_t keep = begin == 0 ? std::string::npos : text->find_last_not_of(" \t", begin - 1);
    text->erase(keep == std::string::npos ? 0 : keep + 1);
    return word;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::string directory(4096, '\0');
    if (!getcwd(directory.data(), directory.size())) {
        return path;
    }
    directory.resize(directory.find('\0'));
    return directory + (directory == "/" ? "" : "/") + path;
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
        const std::string whole = line;  // typed text and file names may hold a '#'
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
        size_t given = parts.size() - 1;
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
        if (cmd.kind == ScriptCommand::Type) {
            cmd.name = RestOfLine(whole, parts[0]);
            std::wstring decoded;
            if (cmd.name.empty() || !FromUtf8Strict(cmd.name, &decoded)) {
                return fail("type takes the text to type, in UTF-8");
            }
            script->push_back(cmd);
            continue;
        }
        if (cmd.kind == ScriptCommand::Drop) {
            // The point is the last two words; the file is everything before them.
            std::string file = RestOfLine(whole, parts[0]);
            const std::string y = SplitLastWord(&file);
            const std::string x = SplitLastWord(&file);
            if (file.empty() || x.empty()) {
                return fail("drop takes a file and a point: drop FILE X Y");
            }
            cmd.name = Absolute(file);
            parts = {parts[0], x, y};
            given = 2;
        }
        if (cmd.kind == ScriptCommand::Press || cmd.kind == ScriptCommand::Release) {
            // A key's name may have two words ("Left Ctrl").
            std::string keyName = RestOfLine(line, parts[0]);
            keyName.erase(keyName.find_last_not_of(" \t") + 1);
            if (given < 1 || given > 2) {
                return fail(std::string(syntax->word) + " takes one key name");
            }
            const KeyInfo* key = KeyByName(keyName);
            if (!key) {
                return fail("unknown key '" + keyName + "'");
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
