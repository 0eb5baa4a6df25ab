// The process entry: the command line configures the device the program runs on (the program
// itself ignores its command line), then WinMain runs on this thread, the UI thread.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/ScriptedDevice.h"
#include "platform/device/headless/HeadlessDevice.h"
#include "platform/device/sdl/SdlDevice.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/OutputFolders.h"
#include "platform/midi/Midi.h"
#include "platform/registry/FolderLock.h"
#include "platform/registry/RegistryStore.h"
#include "platform/sound/KitChoice.h"
#include "platform/user/User.h"
#include "platform/wave/Audio.h"

namespace {

const char kUsage[] =
    "usage: pulsor [--screen WxH] [--dpi N|X,Y] [--fullscreen] [--headless] [--script FILE]\n"
    "              [--shots DIR] [--record FILE.wav] [--audio-buffer FRAMES] [--no-audio]\n"
    "              [--config-dir DIR] [--real-time] [--taskbar PX] [--kit DIR|NAME]\n"
    "              [--call] [--verbose] [--help] [--version]\n"
    "\n"
    "  --screen WxH          size of the emulated screen in pixels (default 480x640,\n"
    "                        at most 4096 on a side)\n"
    "  --dpi N|X,Y           its dots per inch (default 192)\n"
    "  --fullscreen          the whole display, showing a handheld screen fitted to it\n"
    "  --headless            an in-memory screen, no window; runs in virtual time\n"
    "  --script FILE         drive the finger from FILE; when it ends the window closes\n"
    "  --shots DIR           where the script's `shot NAME.png` pictures go\n"
    "  --record FILE.wav     write what the mixer plays (completed when the program ends)\n"
    "  --audio-buffer FRAMES audio period in frames (default 256)\n"
    "  --no-audio            no audio output\n"
    "  --config-dir DIR      keep the registry file in DIR\n"
    "  --real-time           headless on the wall clock instead of virtual time\n"
    "  --taskbar PX          headless: height of the emulated task bar (default 0)\n"
    "  --kit DIR|NAME        play the words of a kit folder (a NAME is looked up in\n"
    "                        $XDG_DATA_HOME/pulsor/kits/), kept for the next runs;\n"
    "                        --kit default goes back to the built-in words\n"
    "  --call                for this run, be the \"Pulsor microphone\" that call apps can pick\n"
    "                        (the mix and your microphone; the stored setting is kept)\n"
    "  --verbose             say on stderr which MIDI systems (ALSA sequencer, JACK) the\n"
    "                        \"Pulsor\" input port opened on and what it connected\n"
    "\n"
    "Headless without --script in virtual time closes the window as soon as the program has\n"
    "settled (nothing would ever happen); with --real-time it runs until closed or killed.\n";

constexpr int kMaxScreenSide = 4096;

struct ParsedCommandLine {
    platform::DeviceOptions options;
    bool help = false;
    bool version = false;
};

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

// Returns false with a one-line reason in *error.
bool ParseCommandLine(int argc, char** argv, ParsedCommandLine* parsed, std::string* error) {
    platform::DeviceOptions& o = parsed->options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto flag = [&](bool* target) {
            if (hasValue) {
                *error = arg + " takes no value";
                return false;
            }
            *target = true;
            return true;
        };
        auto take = [&]() {
            if (!hasValue) {
                if (i + 1 >= argc) {
                    *error = arg + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            if (value.empty()) {
                *error = arg + " needs a value";
                return false;
            }
            return true;
        };
        bool relaunched = true;  // passed on to a second instance started by `launch`
        const int first = i;
        if (arg == "--help") {
            if (!flag(&parsed->help))
                return false;
        } else if (arg == "--version") {
            if (!flag(&parsed->version))
                return false;
        } else if (arg == "--fullscreen") {
            if (!flag(&o.fullscreen))
                return false;
        } else if (arg == "--headless") {
            if (!flag(&o.headless))
                return false;
        } else if (arg == "--no-audio") {
            if (!flag(&o.noAudio))
                return false;
        } else if (arg == "--real-time") {
            if (!flag(&o.realTime))
                return false;
        } else if (arg == "--call") {
            if (!flag(&o.call))
                return false;
        } else if (arg == "--verbose") {
            if (!flag(&o.verbose))
                return false;
        } else if (arg == "--screen") {
            if (!take())
                return false;
            if (!ParsePair(value, 'x', 1, 999999999, &o.screenWidth, &o.screenHeight)) {
                *error = "--screen wants WIDTHxHEIGHT in pixels, not '" + value + "'";
                return false;
            }
            // Every picture is drawn in software: 16384x16384 took 43 s and 7.3 GB.
            if (o.screenWidth > kMaxScreenSide || o.screenHeight > kMaxScreenSide) {
                *error = "--screen is at most " + std::to_string(kMaxScreenSide) +
                         " pixels on a side, not '" + value + "'";
                return false;
            }
            o.screenGiven = true;
        } else if (arg == "--dpi") {
            if (!take())
                return false;
            if (value.find(',') != std::string::npos) {
                if (!ParsePair(value, ',', 1, 10000, &o.dpiX, &o.dpiY)) {
                    *error = "--dpi wants N or X,Y, not '" + value + "'";
                    return false;
                }
            } else if (!ParseNumber(value, 1, 10000, &o.dpiX)) {
                *error = "--dpi wants N or X,Y, not '" + value + "'";
                return false;
            } else {
                o.dpiY = o.dpiX;
            }
            o.dpiGiven = true;
        } else if (arg == "--audio-buffer") {
            if (!take())
                return false;
            if (!ParseNumber(value, 16, 65536, &o.audioBufferFrames)) {
                *error =
                    "--audio-buffer wants a number of frames from 16 to 65536, not '" + value + "'";
                return false;
            }
        } else if (arg == "--taskbar") {
            if (!take())
                return false;
            if (!ParseNumber(value, 0, 16384, &o.taskBarHeight)) {
                *error = "--taskbar wants a height in pixels, not '" + value + "'";
                return false;
            }
        } else if (arg == "--script" || arg == "--shots" || arg == "--record") {
            if (!take())
                return false;
            (arg == "--script"  ? o.scriptPath
             : arg == "--shots" ? o.shotsDir
                                : o.recordPath) = value;
            relaunched = false;
        } else if (arg == "--config-dir") {
            if (!take())
                return false;
            o.configDir = value;
        } else if (arg == "--kit") {
            if (!take())
                return false;
            o.kit = value;
            relaunched = false;  // the kit is chosen once; `launch` is a plain second start
        } else {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (relaunched) {
            o.relaunchArguments.insert(o.relaunchArguments.end(), argv + first, argv + i + 1);
        }
    }
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

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "pulsor: %s\n%s", reason.c_str(), kUsage);
    return 2;
}

std::string RunningElsewhere(const platform::registry::FolderLock& lock) {
    const std::string who = lock.holder
                                ? "another Pulsor (process " + std::to_string(lock.holder) + ")"
                                : std::string("another Pulsor");
    return who + " is running with the settings in " + lock.folder;
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit (ulimit -f) then fails the write that passes it, as a full disk does,
    // instead of killing the program before the take's header and the settings are written.
    std::signal(SIGXFSZ, SIG_IGN);
    ParsedCommandLine parsed;
    std::string error;
    if (!ParseCommandLine(argc, argv, &parsed, &error)) {
        return UsageError(error);
    }
    if (parsed.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed.version) {
        std::puts("pulsor " PULSOR_VERSION);
        return 0;
    }
    platform::DeviceOptions& options = parsed.options;

    // The whole script is checked before anything runs.
    platform::Script script;
    const bool scripted = !options.scriptPath.empty() || (options.headless && !options.realTime);
    if (!options.scriptPath.empty()) {
        if (!platform::LoadScript(options.scriptPath, options.screenWidth, options.screenHeight,
                                  &script, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        for (const platform::ScriptCommand& cmd : script) {
            if (cmd.kind == platform::ScriptCommand::Shot && options.shotsDir.empty()) {
                std::fprintf(stderr, "%s:%d: shot needs --shots DIR\n", options.scriptPath.c_str(),
                             cmd.line);
                return 2;
            }
        }
    }

    // Output folders are made now, or the run is refused before it starts; so is the take, a
    // file of its own that no other Pulsor records into meanwhile.
    if (!options.shotsDir.empty() && !platform::PrepareOutputFolder(options.shotsDir, &error)) {
        std::fprintf(stderr, "pulsor: --shots: cannot write into %s\n", error.c_str());
        return 2;
    }
    if (!options.recordPath.empty() && !platform::wave::ClaimTake(options.recordPath, &error)) {
        std::fprintf(stderr, "pulsor: --record: %s\n", error.c_str());
        return 2;
    }
    // Whichever way the run ends, the take is let go (a run refused from here on leaves no empty
    // take behind); after the program, StopAudio has done it already.
    struct TakeRelease {
        ~TakeRelease() { platform::wave::StopAudio(); }
    } releaseTake;

    if (!options.configDir.empty()) {
        platform::registry::SetConfigDir(options.configDir);
    }
    // One program per settings folder, decided before anything is written into it.
    using platform::registry::FolderLock;
    const FolderLock lock = platform::registry::LockFolder();
    platform::user::SetInstanceScope(lock.folder);
    if (lock.status == FolderLock::NoFolder && !options.configDir.empty()) {
        std::fprintf(stderr, "pulsor: --config-dir: %s\n", lock.reason.c_str());
        return 2;
    }
    if (lock.status == FolderLock::NoFolder || lock.status == FolderLock::Unguarded) {
        std::fprintf(stderr,
                     "pulsor: cannot lock the settings folder: %s; a second Pulsor would not be "
                     "kept from using it\n",
                     lock.reason.c_str());
    }
    if (lock.status == FolderLock::InUse) {
        // A run with work of its own cannot hand it to the other; a plain start raises it.
        if (!options.scriptPath.empty() || !options.recordPath.empty() || !options.kit.empty()) {
            std::fprintf(stderr, "pulsor: %s; not starting\n", RunningElsewhere(lock).c_str());
            return 1;
        }
        platform::user::YieldToRunningInstance(std::chrono::seconds(10));
    }
    // A kit that is not there fails now, before any window opens.
    if (!options.kit.empty() && !platform::sound::ChooseKit(options.kit, &error)) {
        std::fprintf(stderr, "pulsor: %s\n", error.c_str());
        return 2;
    }
    platform::midi::SetVerbose(options.verbose);
    // From here on, SIGTERM, SIGINT and SIGHUP close the window: the settings are saved.
    platform::user::CloseOnSignals();

    platform::Clock& clock = platform::Clock::Instance();
    clock.SetVirtual(options.headless && !options.realTime);
    clock.RegisterCurrentThread();

    std::unique_ptr<platform::Device> device;
    if (options.headless) {
        device = std::make_unique<platform::HeadlessDevice>(options);
    } else {
        device = platform::CreateSdlDevice(options);
    }
    platform::ScriptedDevice* scriptedDevice = nullptr;
    if (scripted) {
        auto wrapped =
            std::make_unique<platform::ScriptedDevice>(std::move(device), script, options);
        scriptedDevice = wrapped.get();
        device = std::move(wrapped);
    }
    if (!device->Open(platform::user::UserDeviceSink(), &error)) {
        // One line; the SDL device's reason already points to --headless.
        std::fprintf(stderr, "pulsor: %s\n", error.c_str());
        return 1;
    }
    platform::SetCurrentDevice(std::move(device));

    if (!options.noAudio && !platform::wave::StartAudio(options, &error)) {
        std::fprintf(stderr, "pulsor: no sound: %s\n", error.c_str());
    }

    static wchar_t commandLine[] = L"";
    int exitCode = WinMain(GetModuleHandle(nullptr), nullptr, commandLine, SW_SHOW);

    const bool takeWhole = platform::wave::StopAudio();
    // Whatever still waits on the clock (the script) may now run to its end.
    clock.UnregisterCurrentThread();
    std::vector<std::string> scriptErrors;
    if (scriptedDevice) {
        scriptedDevice->Join();
        scriptErrors = scriptedDevice->Errors();
    }
    if (platform::Device* current = platform::CurrentDevice()) {
        current->Close();
    }
    platform::SetCurrentDevice(nullptr);
    if (lock.status == FolderLock::InUse && !platform::user::RaisedRunningInstance()) {
        std::fprintf(stderr, "pulsor: %s, and its window did not answer\n",
                     RunningElsewhere(lock).c_str());
        return 1;
    }
    for (const std::string& scriptError : scriptErrors) {
        std::fprintf(stderr, "pulsor: %s\n", scriptError.c_str());
    }
    if (!scriptErrors.empty()) {
        return exitCode != 0 ? exitCode : 1;
    }
    // Scripts notice settings that could not be saved (the reason is already on stderr).
    if (exitCode == 0 && options.headless && platform::registry::SaveFailed()) {
        return 1;
    }
    // So does every run whose take is not whole (what it lacks is already on stderr).
    return exitCode == 0 && !takeWhole ? 1 : exitCode;
}
