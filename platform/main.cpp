// The process entry: the command line configures the device the program runs on (the program
// itself ignores its command line), then WinMain runs on this thread, the UI thread.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/CommandLineOptions.h"
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
#include "platform/wave/Microphone.h"

namespace {

int UsageError(const std::string& reason) {
    std::fprintf(stderr, "pulsor: %s\n%s", reason.c_str(), platform::UsageText().c_str());
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
    platform::CommandLine parsed;
    std::string error;
    if (!platform::ParseCommandLine(argc, argv, &parsed, &error)) {
        return UsageError(error);
    }
    if (parsed.help) {
        std::fputs(platform::UsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::puts("pulsor " PULSOR_VERSION);
        return 0;
    }
    const platform::DeviceOptions& options = parsed;

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
    // The microphone: a file given is read now, so one that cannot be is said before anything
    // opens; headless has none otherwise.
    if (!options.micPath.empty()) {
        if (!platform::wave::UseMicrophoneFile(options.micPath, &error)) {
            std::fprintf(stderr, "pulsor: --mic %s\n", error.c_str());
            return 2;
        }
    } else if (!options.headless) {
        platform::wave::UseSdlMicrophone();
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
