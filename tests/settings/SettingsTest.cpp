#include "settings/Settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/registry/RegistryStore.h"
#include "support/ContentTestSupport.h"

using content_test::TempFolder;

namespace {

const char kProbeVariable[] = "PULSOR_SETTINGS_PROBE";

// When this executable is started with PULSOR_SETTINGS_PROBE=FILE, it loads the settings as the
// program would, writes the five paths to FILE and exits before any test runs. The tests below
// start hard links of it placed in folders of their choosing.
const bool kProbeRan = [] {
    const char* out = std::getenv(kProbeVariable);
    if (out == nullptr) {
        return false;
    }
    platform::registry::SetConfigDir(std::string(out) + ".config");
    Settings settings;
    settings.Load();
    std::ofstream file(out);
    for (const WCHAR* path : {settings.appFolder, settings.programPath, settings.skinFolder,
                              settings.skinFile, settings.soundsFolder}) {
        file << platform::ToUtf8(path) << "\n";
    }
    file.close();
    _exit(0);
}();

struct ProbedPaths {
    bool ran = false;
    std::string appFolder, programPath, skinFolder, skinFile, soundsFolder;
};

// Runs a hard link (or copy) of this test executable at `program` and returns the paths it loaded.
ProbedPaths ProbeFrom(const std::filesystem::path& program, const std::filesystem::path& out) {
    ProbedPaths paths;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    std::error_code linked;
    std::filesystem::create_hard_link(self, program, linked);
    if (linked) {
        std::filesystem::copy_file(self, program);
    }
    const std::string command =
        "env " + std::string(kProbeVariable) + "='" + out.string() + "' '" + program.string() + "'";
    if (std::system(command.c_str()) != 0) {
        return paths;
    }
    std::ifstream file(out);
    paths.ran = static_cast<bool>(
        std::getline(file, paths.appFolder) && std::getline(file, paths.programPath) &&
        std::getline(file, paths.skinFolder) && std::getline(file, paths.skinFile) &&
        std::getline(file, paths.soundsFolder));
    return paths;
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : config_("settings-registry") {
        platform::registry::SetConfigDir(config_.Path().string());
    }
    ~SettingsTest() override { platform::registry::SetConfigDir(""); }

    static void Store(const wchar_t* name, DWORD value) {
        ASSERT_EQ(platform::registry::SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value),
                  platform::registry::Result::Ok);
    }
    // What the registry file now holds, read afresh from disk.
    static bool Stored(const wchar_t* name, DWORD* value) {
        platform::registry::Unload();
        return platform::registry::GetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value) ==
               platform::registry::Result::Ok;
    }

    TempFolder config_;
};

TEST_F(SettingsTest, FirstStartUsesTheDefaultsAndWritesNothing) {
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.volumeBeat, 100u);
    EXPECT_EQ(settings.volumeSounds, 100u);
    EXPECT_EQ(settings.xButtonClose, 1u);
    EXPECT_EQ(settings.animationsOn, 1u);
    EXPECT_EQ(settings.vibrationsOn, 1u);
    EXPECT_EQ(settings.callOutput, 0u);
    EXPECT_EQ(settings.callVolume, 100u);
    EXPECT_EQ(settings.callWithMicrophone, 1u);
    EXPECT_FALSE(std::filesystem::exists(platform::registry::FilePath()));
}

TEST_F(SettingsTest, VolumesAboveFullReadAsFullAndOthersAsStored) {
    Store(L"VolumeBeat", 250);
    Store(L"VolumeSounds", 0xFFFFFFFFu);
    Store(L"CallVolume", 101);
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.volumeBeat, 100u);
    EXPECT_EQ(settings.volumeSounds, 100u);
    EXPECT_EQ(settings.callVolume, 100u);

    Store(L"VolumeBeat", 0);
    Store(L"VolumeSounds", 37);
    settings.Load();
    EXPECT_EQ(settings.volumeBeat, 0u);
    EXPECT_EQ(settings.volumeSounds, 37u);
}

TEST_F(SettingsTest, SwitchesAreKeptAsStored) {
    Store(L"XButtonClose", 5);
    Store(L"AnimationsOn", 0);
    Store(L"VibrationsOn", 0xFFFFFFFFu);
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.xButtonClose, 5u);
    EXPECT_EQ(settings.animationsOn, 0u);
    EXPECT_EQ(settings.vibrationsOn, 0xFFFFFFFFu);
}

TEST_F(SettingsTest, SaveCreatesTheKeyWithAllFiveValuesEvenWhenUnchanged) {
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.Save(), TRUE);

    std::ifstream file(platform::registry::FilePath());
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]"),
              std::string::npos)
        << text.str();
    for (const wchar_t* name :
         {L"VolumeBeat", L"VolumeSounds", L"XButtonClose", L"AnimationsOn", L"VibrationsOn"}) {
        DWORD value = 0;
        EXPECT_TRUE(Stored(name, &value)) << platform::ToUtf8(name);
        EXPECT_EQ(value, name[0] == L'V' && name[1] == L'o' ? 100u : 1u) << platform::ToUtf8(name);
    }
}

TEST_F(SettingsTest, SavedValuesComeBackOnTheNextStart) {
    Settings closing;
    closing.Load();
    closing.volumeBeat = 30;
    closing.volumeSounds = 70;
    closing.xButtonClose = 0;
    closing.animationsOn = 0;
    closing.vibrationsOn = 5;
    closing.callOutput = 1;
    closing.callVolume = 40;
    closing.callWithMicrophone = 0;
    closing.Save();

    platform::registry::Unload();
    Settings next;
    next.Load();
    EXPECT_EQ(next.volumeBeat, 30u);
    EXPECT_EQ(next.volumeSounds, 70u);
    EXPECT_EQ(next.xButtonClose, 0u);
    EXPECT_EQ(next.animationsOn, 0u);
    EXPECT_EQ(next.vibrationsOn, 5u);
    EXPECT_EQ(next.callOutput, 1u);
    EXPECT_EQ(next.callVolume, 40u);
    EXPECT_EQ(next.callWithMicrophone, 0u);
}

TEST_F(SettingsTest, FoldersLieBesideTheProgram) {
    Settings settings;
    settings.Load();
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::wstring folder = platform::FromUtf8(self.parent_path().string()) + L"/";
    EXPECT_EQ(std::wstring(settings.appFolder), folder);
    EXPECT_EQ(std::wstring(settings.programPath), platform::FromUtf8(self.string()));
    EXPECT_EQ(std::wstring(settings.skinFolder), folder + L"Skin/");
    EXPECT_EQ(std::wstring(settings.skinFile), folder + L"Skin/Skin.txt");
    EXPECT_EQ(std::wstring(settings.soundsFolder), folder + L"Sounds/");
}

TEST(SettingsPaths, ForAProgramInAGivenFolder) {
    TempFolder temp("settings-given");
    const std::filesystem::path folder = temp.Path() / "Talk box \xC3\xBC";
    std::filesystem::create_directories(folder);
    const ProbedPaths paths = ProbeFrom(folder / "pulsor", temp.Path() / "paths.txt");
    ASSERT_TRUE(paths.ran);
    const std::string f = folder.string() + "/";
    EXPECT_EQ(paths.appFolder, f);
    EXPECT_EQ(paths.programPath, f + "pulsor");
    EXPECT_EQ(paths.skinFolder, f + "Skin/");
    EXPECT_EQ(paths.skinFile, f + "Skin/Skin.txt");
    EXPECT_EQ(paths.soundsFolder, f + "Sounds/");
}

// Paths that do not fit their 260-character buffers are refused, never cut to name another file.
TEST(SettingsPaths, PathsTooLongForTheirBuffersAreLeftEmpty) {
    TempFolder temp("settings-long");
    // A folder of 255 characters with its separator: the program path (one more letter) still
    // fits, "Skin/" and "Sounds/" do not.
    std::filesystem::path folder = temp.Path();
    // Stop early enough that the last piece has at least one letter, whatever the temporary
    // folder's own length (it holds the process id).
    while (folder.string().size() < 254 - 42) {
        folder /= std::string(40, 'd');
    }
    folder /= std::string(254 - folder.string().size() - 1, 'e');
    ASSERT_EQ(folder.string().size() + 1, 255u);
    std::filesystem::create_directories(folder);
    ProbedPaths paths = ProbeFrom(folder / "p", temp.Path() / "paths.txt");
    ASSERT_TRUE(paths.ran);
    EXPECT_EQ(paths.appFolder, folder.string() + "/");
    EXPECT_EQ(paths.programPath, folder.string() + "/p");
    EXPECT_EQ(paths.skinFolder, "");
    EXPECT_EQ(paths.skinFile, "");
    EXPECT_EQ(paths.soundsFolder, "");

    // A program path that does not fit at all leaves every folder empty rather than a cut one.
    const std::filesystem::path deeper = folder / std::string(20, 'f');
    std::filesystem::create_directories(deeper);
    paths = ProbeFrom(deeper / "p", temp.Path() / "paths2.txt");
    ASSERT_TRUE(paths.ran);
    EXPECT_EQ(paths.appFolder, "");
    EXPECT_EQ(paths.programPath, "");
    EXPECT_EQ(paths.skinFolder, "");
    EXPECT_EQ(paths.skinFile, "");
    EXPECT_EQ(paths.soundsFolder, "");
}

TEST(SettingsPaths, BuildPathRefusesWhatDoesNotFit) {
    WCHAR buffer[8];
    EXPECT_TRUE(BuildPath(buffer, 8, L"abc/", L"def"));
    EXPECT_STREQ(buffer, L"abc/def");
    EXPECT_FALSE(BuildPath(buffer, 8, L"abc/", L"defg"));
    EXPECT_STREQ(buffer, L"");
    EXPECT_FALSE(BuildPath(buffer, 8, L"abcdefghij/", L"x"));
    EXPECT_STREQ(buffer, L"");
    EXPECT_FALSE(BuildPath(buffer, 8, L"", L"x"));
    EXPECT_STREQ(buffer, L"");
    EXPECT_FALSE(BuildPath(buffer, 8, nullptr, L"x"));
    EXPECT_STREQ(buffer, L"");
}

}  // namespace

// Each access value: absent, inside its range, below it and above it, as loaded, and what a save
// writes back.
TEST_F(SettingsTest, AccessValuesTakeTheirDefaultsAndAreClampedToTheirRanges) {
    struct Case {
        const wchar_t* name;
        DWORD Settings::*field;
        DWORD fallback, inside, below, belowReads, above, aboveReads;
    };
    const Case cases[] = {
        {L"AccessMethod", &Settings::accessMethod, 0, 2, 0, 0, 4, 3},
        {L"ScanInterval", &Settings::scanInterval, 1500, 1000, 10, 250, 60000, 10000},
        {L"ScanRounds", &Settings::scanRounds, 2, 4, 0, 1, 9, 5},
        {L"DwellTime", &Settings::dwellTime, 1000, 700, 100, 300, 5001, 5000},
        {L"HoldTime", &Settings::holdTime, 0, 300, 0, 0, 0xFFFFFFFFu, 2000},
        {L"RepeatLockout", &Settings::repeatLockout, 0, 2000, 0, 0, 10001, 10000},
        {L"AccessCues", &Settings::accessCues, 1, 2, 0, 0, 3, 2},
        {L"AccessCueVolume", &Settings::accessCueVolume, 40, 75, 0, 0, 250, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.name));
        Settings absent;
        absent.Load();
        EXPECT_EQ(absent.*c.field, c.fallback);
        for (auto [stored, reads] : {std::pair<DWORD, DWORD>{c.inside, c.inside},
                                     {c.below, c.belowReads},
                                     {c.above, c.aboveReads}}) {
            Store(c.name, stored);
            Settings loaded;
            loaded.Load();
            EXPECT_EQ(loaded.*c.field, reads) << "stored " << stored;
            loaded.Save();
            DWORD written = 0;
            EXPECT_TRUE(Stored(c.name, &written));
            EXPECT_EQ(written, reads);
            platform::registry::Unload();
        }
        platform::registry::Unload();
        std::filesystem::remove(platform::registry::FilePath());
    }
}
