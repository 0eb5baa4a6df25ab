#include "platform/CommandLineOptions.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

// Every picture is drawn in software: 16384x16384 took 43 s and 7.3 GB.
constexpr int kMaxScreenSide = 4096;

enum class Kind {
    Flag,          // --name
    Text,          // --name VALUE
    Number,        // --name N
    Pair,          // --name AxB
    NumberOrPair,  // --name N (both the same) or A,B
};

// One option of the command line: adding an option is adding a row to kOptions.
struct Option {
    const char* name;
    const char* value;  // what follows the name in the usage; null for a flag
    Kind kind;
    bool CommandLine::*flag;
    std::string CommandLine::*text;
    int CommandLine::*first;   // a number, or the first of a pair
    int CommandLine::*second;  // the second of a pair
    bool CommandLine::*given;  // set too when the option is given; may be null
    char separator;            // between the two of a pair
    int min, max;              // a number outside is refused with `wants`
    int mostOnASide;           // a pair: said apart when either is larger; 0 for no such limit
    const char* wants;         // "--name wants WANTS, not 'VALUE'"
    bool relaunched;           // passed on to a second instance started by `launch`
    const char* help;          // the usage's lines for it, '\n' between; null: none
};

constexpr Option Flag(const char* name, bool CommandLine::*target, const char* help) {
    return {name, nullptr, Kind::Flag, target, nullptr, nullptr, nullptr, nullptr,
            0,    0,       0,          0,      nullptr, true,    help};
}

constexpr Option Text(const char* name, const char* value, std::string CommandLine::*target,
                      bool relaunched, const char* help) {
    return {name, value, Kind::Text, nullptr, target,  nullptr,    nullptr, nullptr,
            0,    0,     0,          0,       nullptr, relaunched, help};
}

constexpr Option Number(const char* name, const char* value, int CommandLine::*target, int min,
                        int max, const char* wants, const char* help) {
    return {name, value, Kind::Number, nullptr, nullptr, target, nullptr, nullptr,
            0,    min,   max,          0,       wants,   true,   help};
}

constexpr Option Pair(const char* name, const char* value, Kind kind, int CommandLine::*first,
                      int CommandLine::*second, bool CommandLine::*given, char separator, int min,
                      int max, int mostOnASide, const char* wants, const char* help) {
    return {name,      value, kind, nullptr,     nullptr, first, second, given,
            separator, min,   max,  mostOnASide, wants,   true,  help};
}

// clang-format off
const Option kOptions[] = {
    Pair("--screen", "WxH", Kind::Pair, &CommandLine::screenWidth, &CommandLine::screenHeight,
         &CommandLine::screenGiven, 'x', 1, 999999999, kMaxScreenSide, "WIDTHxHEIGHT in pixels",
         "size of the emulated screen in pixels (default 480x640,\n"
         "at most 4096 on a side)"),
    Pair("--dpi", "N|X,Y", Kind::NumberOrPair, &CommandLine::dpiX, &CommandLine::dpiY,
         &CommandLine::dpiGiven, ',', 1, 10000, 0, "N or X,Y", "its dots per inch (default 192)"),
    Flag("--fullscreen", &CommandLine::fullscreen,
         "the whole display, showing a handheld screen fitted to it"),
    Flag("--headless", &CommandLine::headless,
         "an in-memory screen, no window; runs in virtual time"),
    Text("--script", "FILE", &CommandLine::scriptPath, false,
         "drive the finger from FILE; when it ends the window closes"),
    Text("--shots", "DIR", &CommandLine::shotsDir, false,
         "where the script's `shot NAME.png` pictures go"),
    Text("--record", "FILE.wav", &CommandLine::recordPath, false,
         "write what the mixer plays (completed when the program ends)"),
    Text("--mic", "FILE", &CommandLine::micPath, false,
         "the microphone is this sound file (any libsndfile reads), played\n"
         "from its start whenever recording starts, then silence"),
    Number("--audio-buffer", "FRAMES", &CommandLine::audioBufferFrames, 16, 65536,
           "a number of frames from 16 to 65536", "audio period in frames (default 256)"),
    Flag("--no-audio", &CommandLine::noAudio, "no audio output"),
    Text("--config-dir", "DIR", &CommandLine::configDir, true, "keep the registry file in DIR"),
    Flag("--real-time", &CommandLine::realTime, "headless on the wall clock instead of virtual time"),
    Number("--taskbar", "PX", &CommandLine::taskBarHeight, 0, 16384, "a height in pixels",
           "headless: height of the emulated task bar (default 0)"),
    // The kit is chosen once; `launch` is a plain second start.
    Text("--kit", "DIR|NAME", &CommandLine::kit, false,
         "play the words of a kit folder (a NAME is looked up in\n"
         "$XDG_DATA_HOME/pulsor/kits/), kept for the next runs;\n"
         "--kit default goes back to the built-in words"),
    Flag("--call", &CommandLine::call,
         "for this run, be the \"Pulsor microphone\" that call apps can pick\n"
         "(the mix and your microphone; the stored setting is kept)"),
    Flag("--verbose", &CommandLine::verbose,
         "say on stderr which MIDI systems (ALSA sequencer, JACK) the\n"
         "\"Pulsor\" input port opened on and what it connected"),
    Flag("--help", &CommandLine::help, nullptr),
    Flag("--version", &CommandLine::version, nullptr),
};
// clang-format on

constexpr char kUsageEnd[] =
    "Headless without --script in virtual time closes the window as soon as the program has\n"
    "settled (nothing would ever happen); with --real-time it runs until closed or killed.\n";
// The synopsis's lines are at most this long; each option's help starts at this column.
constexpr size_t kSynopsisWidth = 86;
constexpr size_t kHelpColumn = 24;

std::string MakeUsage() {
    const std::string start = "usage: pulsor";
    std::string usage = start;
    size_t lineStart = 0;
    for (const Option& o : kOptions) {
        std::string item =
            std::string(" [") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
        if (usage.size() - lineStart + item.size() > kSynopsisWidth) {
            usage += "\n";
            lineStart = usage.size();
            usage += std::string(start.size(), ' ');
        }
        usage += item;
    }
    usage += "\n\n";
    for (const Option& o : kOptions) {
        if (!o.help) {
            continue;
        }
        std::string left = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : "");
        left.resize(std::max(left.size() + 1, kHelpColumn), ' ');
        std::string help = o.help;
        for (size_t at = 0; (at = help.find('\n', at)) != std::string::npos;
             at += 1 + kHelpColumn) {
            help.insert(at + 1, std::string(kHelpColumn, ' '));
        }
        usage += left + help + "\n";
    }
    return usage + "\n" + kUsageEnd;
}

bool ParseNumber(const std::string& text, int min, int max, int* value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < min || v > max) {
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

bool ParsePair(const std::string& text, char separator, int min, int max, int* a, int* b) {
    size_t at = text.find(separator);
    return at != std::string::npos && ParseNumber(text.substr(0, at), min, max, a) &&
           ParseNumber(text.substr(at + 1), min, max, b);
}

// Stores the option's value; false with the reason in *error.
bool Store(const Option& o, const std::string& value, CommandLine* parsed, std::string* error) {
    const std::string refused =
        std::string(o.name) + " wants " + (o.wants ? o.wants : "") + ", not '" + value + "'";
    switch (o.kind) {
        case Kind::Flag:
            parsed->*o.flag = true;
            break;
        case Kind::Text:
            parsed->*o.text = value;
            break;
        case Kind::Number:
            if (!ParseNumber(value, o.min, o.max, &(parsed->*o.first))) {
                *error = refused;
                return false;
            }
            break;
        case Kind::Pair:
        case Kind::NumberOrPair: {
            int& a = parsed->*o.first;
            int& b = parsed->*o.second;
            if (o.kind == Kind::NumberOrPair && value.find(o.separator) == std::string::npos) {
                if (!ParseNumber(value, o.min, o.max, &a)) {
                    *error = refused;
                    return false;
                }
                b = a;
            } else if (!ParsePair(value, o.separator, o.min, o.max, &a, &b)) {
                *error = refused;
                return false;
            }
            if (o.mostOnASide > 0 && (a > o.mostOnASide || b > o.mostOnASide)) {
                *error = std::string(o.name) + " is at most " + std::to_string(o.mostOnASide) +
                         " pixels on a side, not '" + value + "'";
                return false;
            }
            break;
        }
    }
    if (o.given) {
        parsed->*o.given = true;
    }
    return true;
}

}  // namespace

const std::string& UsageText() {
    static const std::string usage = MakeUsage();
    return usage;
}

bool ParseCommandLine(int argc, char** argv, CommandLine* parsed, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const Option* option = nullptr;
        for (const Option& o : kOptions) {
            if (arg == o.name) {
                option = &o;
            }
        }
        if (!option) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        const int first = i;
        if (option->kind == Kind::Flag && hasValue) {
            *error = arg + " takes no value";
            return false;
        }
        if (option->kind != Kind::Flag && !hasValue) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (option->kind != Kind::Flag && value.empty()) {
            *error = arg + " needs a value";
            return false;
        }
        if (!Store(*option, value, parsed, error)) {
            return false;
        }
        if (option->relaunched) {
            parsed->relaunchArguments.insert(parsed->relaunchArguments.end(), argv + first,
                                             argv + i + 1);
        }
    }
    const CommandLine& o = *parsed;
    if (!o.recordPath.empty() && o.noAudio) {
        *error = "--record has nothing to record with --no-audio";
        return false;
    }
    if (o.call && o.noAudio) {
        *error = "--call has nothing to send with --no-audio";
        return false;
    }
    if (o.call && o.headless && !o.realTime) {
        *error = "--call needs the wall clock: add --real-time to --headless";
        return false;
    }
    if (o.taskBarHeight > o.screenHeight) {
        *error = "--taskbar is taller than the screen";
        return false;
    }
    return true;
}

}  // namespace platform
