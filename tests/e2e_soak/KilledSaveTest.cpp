// The program killed at random moments around its close, when it writes the settings: the file is
// always whole, each value the old or the new one, and the next start neither finds it damaged
// nor mistakes the dead process for a running one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "e2e_app/E2eSupport.h"
#include "e2e_soak/SoakSupport.h"
#include "platform/registry/RegistryFile.h"

using namespace e2e;

namespace {

const wchar_t kKey[] = L"HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings";
const wchar_t* const kNames[] = {L"VolumeBeat", L"VolumeSounds", L"XButtonClose", L"AnimationsOn",
                                 L"VibrationsOn"};

// The settings file's values, or false when it is not whole.
bool ReadSettings(const fs::path& file, std::vector<DWORD>* values) {
    platform::registry::Contents contents;
    if (!contents.Parse(PulsorRun::ReadText(file))) {
        return false;
    }
    values->clear();
    for (const wchar_t* name : kNames) {
        const platform::registry::Value* value = contents.Find(kKey, name);
        if (!value || !value->IsDword()) {
            return false;
        }
        values->push_back(value->dword);
    }
    return true;
}

}  // namespace

TEST(KilledSave, TheSettingsFileStaysWholeAndTheNextStartUsesIt) {
    PulsorRun run("killed-save");
    // Each run flips Animations and Vibrations on the settings page, then the script ends and the
    // window closes: a file with one flipped and not the other would be half of a save.
    const fs::path script = run.Dir() / "flip.txt";
    std::ofstream(script)
        << "wait 2100\ntap 39 13\nwait 600\ntap 170 212\nwait 100\ntap 170 250\nwait 100\n";
    const std::vector<std::string> args = {"--headless",   "--no-audio",
                                           "--screen",     "240x320",
                                           "--dpi",        "96",
                                           "--script",     script.string(),
                                           "--config-dir", (run.Dir() / "config").string()};
    const std::string log = (run.Dir() / "stderr.txt").string();
    std::vector<DWORD> before;
    std::vector<DWORD> after;

    // A whole run first: the file exists, and how long a run takes tells when to kill.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(soak::Reap(soak::Spawn(PULSOR_EXE, args, log)).status, 0) << run.Errors();
    const auto length = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(ReadSettings(run.Registry(), &before));
    ASSERT_EQ(before[3], 0u) << "the first run did not switch Animations off";
    ASSERT_EQ(before[4], 0u) << "the first run did not switch Vibrations off";

    std::mt19937 random(7);
    int flipped = 0;
    // PULSOR_KILLED_SAVES=300 for a long run; the suite's default keeps it to seconds.
    const char* given = std::getenv("PULSOR_KILLED_SAVES");
    const int trials = given && std::atoi(given) > 0 ? std::atoi(given) : 30;
    for (int trial = 0; trial < trials; ++trial) {
        const pid_t pid = soak::Spawn(PULSOR_EXE, args, log);
        // Anywhere from startup to a little after a whole run would have ended.
        std::this_thread::sleep_for(length * (30 + static_cast<int>(random() % 100)) / 100);
        kill(pid, SIGKILL);
        soak::Reap(pid);
        ASSERT_TRUE(ReadSettings(run.Registry(), &after)) << "trial " << trial << ":\n"
                                                          << PulsorRun::ReadText(run.Registry());
        ASSERT_FALSE(fs::exists(run.Registry().string() + ".bad")) << "trial " << trial;
        // Only the two switches change, together, each to its other state.
        EXPECT_EQ(after[3], after[4]) << "trial " << trial << ": half a save";
        for (size_t i = 0; i < before.size(); ++i) {
            if (i >= 3) {
                EXPECT_TRUE(after[i] == before[i] || after[i] == 1 - before[i]) << after[i];
            } else {
                EXPECT_EQ(after[i], before[i]) << "value " << i << ", trial " << trial;
            }
        }
        flipped += after[3] != before[3] ? 1 : 0;
        before = after;
    }
    RecordProperty("KilledAfterTheSave", flipped);

    // A run left alone reads what the killed ones left, flips it and cleans up after them.
    ASSERT_EQ(soak::Reap(soak::Spawn(PULSOR_EXE, args, log)).status, 0) << run.Errors();
    ASSERT_TRUE(ReadSettings(run.Registry(), &after));
    EXPECT_EQ(after[3], 1 - before[3]);
    EXPECT_EQ(after[4], 1 - before[4]);
    for (const auto& entry : fs::directory_iterator(run.Dir() / "config")) {
        const fs::path name = entry.path().filename();
        EXPECT_TRUE(name == "registry.reg" || name == "pulsor.lock") << name;
    }
}
