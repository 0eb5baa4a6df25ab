// The finger scripts that drive a device: one command a line, `#` starts a comment.
//
//   wait MS | down X Y | move X Y | up X Y | tap X Y | drag X1 Y1 X2 Y2 MS
//   shot NAME.png | activate | deactivate | launch | close
//   press KEY | release KEY (SDL's scancode names) | finger N down|move|up X Y (N = 1..10)
//   midi NOTE VELOCITY (a note-on from a controller; velocity 0 is its note-off)
//   type TEXT (the rest of the line, `#` included, as typed) | drop FILE X Y (a file dropped at a
//   point; a relative path is taken from the current directory; the rest of the line is the file)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ScriptCommand {
    enum Kind {
        Wait,
        Down,
        Move,
        Up,
        Tap,
        Drag,
        Shot,
        Activate,
        Deactivate,
        Launch,
        Close,
        Press,    // name: the key
        Release,  // name: the key
        Finger,   // args: N (1..10), FingerDown/FingerMove/FingerUp, X, Y
        Midi,     // args: note, velocity
        Type,     // name: the text, UTF-8
        Drop,     // name: the file's absolute path; args: X, Y
    };
    enum FingerEvent { FingerDown, FingerMove, FingerUp };
    Kind kind;
    int args[5] = {0, 0, 0, 0, 0};
    std::string name;  // shot file name, key name, typed text, dropped file
    int line = 0;
};

using Script = std::vector<ScriptCommand>;

// Parses a whole script. Coordinates must lie on a screen of the given size. On the first bad
// line returns false with "FILE:LINE: reason" in *error, control bytes written as \xNN.
bool ParseScript(const std::string& text, const std::string& fileName, int screenWidth,
                 int screenHeight, Script* script, std::string* error);
// A script is a regular file of at most this many bytes (a named pipe or /dev/zero is refused).
constexpr uint64_t kMaxScriptBytes = 16u << 20;

// Reads and parses the file at `path`; false with "PATH: reason" when it cannot be read.
bool LoadScript(const std::string& path, int screenWidth, int screenHeight, Script* script,
                std::string* error);

}  // namespace platform
