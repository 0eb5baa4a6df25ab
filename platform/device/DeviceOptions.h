// The device options of the command line (see `pulsor --help`).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct DeviceOptions {
    int screenWidth = 480;
    int screenHeight = 640;
    int dpiX = 192;
    int dpiY = 192;
    bool screenGiven = false;  // --screen was passed
    bool dpiGiven = false;     // --dpi was passed
    bool fullscreen = false;
    bool headless = false;
    std::string scriptPath;  // --script FILE
    std::string shotsDir;    // --shots DIR
    std::string recordPath;  // --record FILE.wav
    std::string micPath;     // --mic FILE: the microphone plays this file
    int audioBufferFrames = 256;
    bool noAudio = false;
    bool call = false;      // --call: the call output on for this run
    std::string configDir;  // --config-dir DIR
    bool realTime = false;  // headless on the wall clock
    int taskBarHeight = 0;  // headless: height of the emulated task bar (--taskbar PX)
    std::string kit;        // --kit DIR|NAME|default, kept for the next runs
    bool verbose = false;   // --verbose: say what the MIDI input found and connected
    // The command line a second instance is started with (`launch`): this one's options without
    // --script, --shots and --record.
    std::vector<std::string> relaunchArguments;
};

}  // namespace platform
