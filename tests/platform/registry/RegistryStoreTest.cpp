#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "RegistryFixture.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace {
const wchar_t kSettings[] = L"Software\\Harrowmint\\Pulsor\\Settings";
const wchar_t kBrowserKey[] = L"Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER";

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        old_ = old ? old : "";
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    bool had_;
    std::string old_;
};
}  // namespace

TEST_F(RegistryTest, DwordsAndStringsSurviveARestart) {
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 30), S_OK);
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VibrationsOn", 0xFFFFFFFFu), S_OK);
    EXPECT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kSettings, L"Path",
                                L"C:\\dir \"quoted\" caf\u00e9 \U0001F600"),
              S_OK);
    EXPECT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kSettings, L"Two lines", L"one\r\ntwo"), S_OK);
    Restart();

    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value), S_OK);
    EXPECT_EQ(value, 30u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VibrationsOn", &value), S_OK);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    wchar_t text[MAX_PATH];
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Path", text, MAX_PATH), S_OK);
    EXPECT_STREQ(text, L"C:\\dir \"quoted\" caf\u00e9 \U0001F600");
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Two lines", text, MAX_PATH), S_OK);
    EXPECT_STREQ(text, L"one\r\ntwo");

    const std::string file = ReadFile(File());
    EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u) << file;
    EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n"),
              std::string::npos);
    EXPECT_NE(file.find("\"VolumeBeat\"=dword:0000001e\n"), std::string::npos);
    EXPECT_NE(file.find("\"Path\"=\"C:\\\\dir \\\"quoted\\\" caf\xc3\xa9 \xf0\x9f\x98\x80\"\n"),
              std::string::npos)
        << file;
}

TEST_F(RegistryTest, KeysAndNamesIgnoreCase) {
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"AnimationsOn", 1), S_OK);
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"SOFTWARE\\harrowmint\\PULSOR\\settings\\",
                               L"animationson", &value),
              S_OK);
    EXPECT_EQ(value, 1u);
    // A write through another spelling replaces the value and keeps its first spelling.
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"software\\HARROWMINT\\pulsor\\SETTINGS",
                               L"ANIMATIONSON", 0),
              S_OK);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"AnimationsOn", &value), S_OK);
    EXPECT_EQ(value, 0u);
    const std::string file = ReadFile(File());
    EXPECT_NE(file.find("\"AnimationsOn\"=dword:00000000"), std::string::npos) << file;
    EXPECT_EQ(file.find("ANIMATIONSON"), std::string::npos) << file;
    // Other roots are other keys.
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, kSettings, L"AnimationsOn", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, MissingValuesWrongTypesAndBadArgumentsFail) {
    DWORD value = 7;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(std::filesystem::exists(File()));  // reading writes nothing

    ASSERT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kSettings, L"Name", L"text"), S_OK);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Name", &value), E_FAIL);
    wchar_t text[4] = L"abc";
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Number", 3), S_OK);
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Number", text, 4), E_FAIL);
    EXPECT_STREQ(text, L"");
    // Values this run set are not the file's: nothing to name.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // One the file holds is named with its line, once, and the file is kept aside as it was.
    const std::string stored =
        "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n\"Name\"=\"text\"\n";
    WriteFile(File(), stored);
    Restart();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Name", &value), E_FAIL);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"name", &value), E_FAIL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pulsor: " + File() +
                  ":2: value skipped: \"Name\" is a string where a number (dword:XXXXXXXX) is "
                  "expected\npulsor: the file as it was is kept as " +
                  File() + ".bad\n");
    EXPECT_EQ(ReadFile(File() + ".bad"), stored);

    EXPECT_TRUE(FAILED(RegistryGetDWORD(reinterpret_cast<HKEY>(1), kSettings, L"Name", &value)));
    EXPECT_TRUE(FAILED(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"a\\\\b", L"Name", 1)));
    EXPECT_TRUE(FAILED(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"line\nbreak", 1)));
    EXPECT_TRUE(FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Number", nullptr)));
}

TEST_F(RegistryTest, StringReadsAreBoundedByTheBuffer) {
    ASSERT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kSettings, L"Name", L"12345"), S_OK);
    wchar_t text[6];
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Name", text, 6), S_OK);
    EXPECT_STREQ(text, L"12345");
    wchar_t small[8];
    wmemset(small, L'#', 8);
    EXPECT_TRUE(FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Name", small, 5)));
    EXPECT_STREQ(small, L"");
    EXPECT_EQ(small[5], L'#');
    EXPECT_TRUE(FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Name", small, 0)));
}

TEST_F(RegistryTest, ACorruptFileIsKeptAsideAndTheNextSaveIsGood) {
    const std::string corrupt =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor"
        "\\Settings]\n\"VolumeBeat\"=dword:00000032\n\"VolumeSounds\"=dword:zz\n";
    WriteFile(File(), corrupt);
    DWORD value = 0;
    testing::internal::CaptureStderr();
    // The damaged line alone is lost.
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value), S_OK);
    EXPECT_EQ(value, 50u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(File() + ":5: line skipped: "), std::string::npos) << said;
    EXPECT_EQ(ReadFile(File() + ".bad"), corrupt);

    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", 70), S_OK);
    Restart();
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", &value), S_OK);
    EXPECT_EQ(value, 70u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value), S_OK);
    EXPECT_EQ(value, 50u);
    EXPECT_EQ(ReadFile(File() + ".bad"), corrupt);
}

// Each damaged line is skipped with its number and a reason; every other line is read.
TEST_F(RegistryTest, DamagedLinesCostThoseLinesOnly) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<int> skipped;  // line numbers reported
        DWORD beat;                // VolumeBeat as read, 0 when missing
        DWORD sounds;              // VolumeSounds as read, 0 when missing
    };
    const Case cases[] = {
        {"bad data between good values",
         header + key +
             "\"VolumeBeat\"=dword:00000010\n\"XButtonClose\"=dword:5x\n"
             "\"VolumeSounds\"=dword:00000020\n",
         {4},
         16,
         32},
        {"a missing quote and a missing '='",
         header + key +
             "\"VolumeBeat=dword:00000010\n\"VolumeSounds\" dword:00000020\n"
             "\"AnimationsOn\"=dword:00000000\n",
         {3, 4},
         0,
         0},
        {"a damaged key takes its own values along",
         header + "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\n\"VolumeBeat\"=dword:00000010\n" +
             key + "\"VolumeSounds\"=dword:00000020\n",
         {2, 3},
         0,
         32},
        {"a value before any key, an unknown root",
         header + "\"VolumeBeat\"=dword:00000001\n" + "[HKEY_NOWHERE\\x]\n" + key +
             "\"VolumeBeat\"=dword:00000011\n",
         {2, 3},
         17,
         0},
        {"a NUL byte and an unterminated string",
         header + key + std::string("\"VolumeBeat\"=dword:0000") + '\0' + "0010\n" +
             "\"Name\"=\"open\n\"VolumeSounds\"=dword:00000021\n",
         {3, 4},
         0,
         33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Restart();
        std::filesystem::remove(File() + ".bad");
        WriteFile(File(), c.text);
        testing::internal::CaptureStderr();
        DWORD beat = 0;
        DWORD sounds = 0;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &beat);
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", &sounds);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(beat, c.beat);
        EXPECT_EQ(sounds, c.sounds);
        size_t lines = 0;
        for (int line : c.skipped) {
            EXPECT_NE(said.find(File() + ":" + std::to_string(line) + ": line skipped: "),
                      std::string::npos)
                << said;
        }
        for (size_t at = said.find("line skipped"); at != std::string::npos;
             at = said.find("line skipped", at + 1)) {
            ++lines;
        }
        EXPECT_EQ(lines, c.skipped.size()) << said;
        EXPECT_EQ(ReadFile(File() + ".bad"), c.text);
    }
}

// Values set while a key is open reach the file together, when it is flushed or closed.
TEST_F(RegistryTest, AnOpenKeyHoldsItsChangesForOneSave) {
    HKEY outer = nullptr;
    HKEY inner = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &outer, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &inner, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_NE(outer, inner);
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 1), S_OK);
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", 2), S_OK);
    EXPECT_FALSE(std::filesystem::exists(File()));

    EXPECT_EQ(RegFlushKey(inner), ERROR_SUCCESS);
    const std::string flushed = ReadFile(File());
    EXPECT_NE(flushed.find("\"VolumeSounds\"=dword:00000002"), std::string::npos) << flushed;

    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", 3), S_OK);
    EXPECT_EQ(RegCloseKey(inner), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(File()), flushed) << "saved while a key is still open";
    EXPECT_EQ(RegCloseKey(outer), ERROR_SUCCESS);
    EXPECT_NE(ReadFile(File()).find("\"VolumeSounds\"=dword:00000003"), std::string::npos);

    // Handles closed or never opened are refused, and a root is no open key.
    EXPECT_EQ(RegCloseKey(outer), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    // Without an open key each value is its own save, as before.
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 9), S_OK);
    EXPECT_NE(ReadFile(File()).find("\"VolumeBeat\"=dword:00000009"), std::string::npos);
}

TEST_F(RegistryTest, SavingCreatesMissingFoldersAndLeavesNoTemporaryFiles) {
    const std::string nested = dir / "a/b/c";
    platform::registry::SetConfigDir(nested + "/");
    EXPECT_EQ(platform::registry::FilePath(), nested + "/registry.reg");
    for (DWORD i = 0; i < 20; ++i) {
        ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", i), S_OK);
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(nested)) {
        EXPECT_EQ(entry.path().filename(), "registry.reg");
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(RegistryTest, AFailedSaveIsReportedAndTheValueKeptForThisRun) {
    const std::string notAFolder = dir / "file";
    WriteFile(notAFolder, "");
    platform::registry::SetConfigDir(notAFolder + "/sub");
    testing::internal::CaptureStderr();
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 5), E_FAIL);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "pulsor: cannot save the settings to " + notAFolder +
                        "/sub/registry.reg: Not a directory\n");
    EXPECT_TRUE(platform::registry::SaveFailed());
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value), S_OK);
    EXPECT_EQ(value, 5u);
}

// A disk that fills up during the save (here a file size limit, which holds for root too): the
// reason is said, the file on disk stays as it was and no temporary is left behind.
TEST_F(RegistryTest, ASaveCutShortLeavesTheOldFile) {
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 5), S_OK);
    const std::string before = ReadFile(File());
    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipes[0]);
        dup2(pipes[1], 2);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        HKEY key = nullptr;
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                       nullptr);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 6);
        const LONG closed = RegCloseKey(key);
        _exit(closed == ERROR_WRITE_FAULT && platform::registry::SaveFailed() ? 0 : 1);
    }
    close(pipes[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = read(pipes[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<size_t>(n));
    }
    close(pipes[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(said, "pulsor: cannot save the settings to " + File() + ": File too large\n");
    EXPECT_EQ(ReadFile(File()), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename(), "registry.reg");
    }
}

TEST_F(RegistryTest, AnUnreadableFileIsNeitherReplacedNorKeptAside) {
    ASSERT_EQ(mkdir(File().c_str(), 0700), 0);  // reading a folder fails
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 5), E_FAIL);
    EXPECT_TRUE(std::filesystem::is_directory(File()));
    EXPECT_FALSE(std::filesystem::exists(File() + ".bad"));
}

TEST_F(RegistryTest, TheDefaultLocationFollowsXdgConfigHome) {
    platform::registry::SetConfigDir("");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
        EXPECT_EQ(platform::registry::FilePath(), dir / "pulsor/registry.reg");
        platform::registry::Unload();
        ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"XButtonClose", 0), S_OK);
        EXPECT_TRUE(std::filesystem::exists(dir / "pulsor/registry.reg"));
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", dir.Path().c_str());
        EXPECT_EQ(platform::registry::FilePath(), dir / ".config/pulsor/registry.reg");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
        ScopedEnv home("HOME", dir.Path().c_str());
        EXPECT_EQ(platform::registry::FilePath(), dir / ".config/pulsor/registry.reg");
    }
    // Without a usable HOME (a service, cron), the account's home from the password database.
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string accountHome = account->pw_dir;
    for (const char* home : {static_cast<const char*>(nullptr), "", "relative"}) {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv unset("HOME", home);
        EXPECT_EQ(platform::registry::FilePath(),
                  (accountHome == "/" ? "" : accountHome) + "/.config/pulsor/registry.reg");
    }
    platform::registry::Unload();
}

TEST_F(RegistryTest, TheDefaultBrowserIsXdgOpenOrBrowserUnlessStored) {
    const std::string bin = dir / "bin";
    std::filesystem::create_directories(bin);
    WriteFile(bin + "/xdg-open", "#!/bin/sh\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    WriteFile(bin + "/surfer", "#!/bin/sh\n");
    chmod((bin + "/surfer").c_str(), 0755);
    ScopedEnv path("PATH", ("/nonexistent:" + bin).c_str());
    wchar_t text[MAX_PATH];
    {
        ScopedEnv browser("BROWSER", nullptr);
        EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kBrowserKey, L"1", text, MAX_PATH), S_OK);
        EXPECT_EQ(platform::ToUtf8(text), bin + "/xdg-open");
        // Only that value of that key.
        EXPECT_TRUE(
            FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kBrowserKey, L"2", text, MAX_PATH)));
        EXPECT_TRUE(
            FAILED(RegistryGetString(HKEY_CURRENT_USER, kBrowserKey, L"1", text, MAX_PATH)));
    }
    {
        ScopedEnv browser("BROWSER", "surfer %s:xdg-open");
        EXPECT_EQ(
            RegistryGetString(HKEY_LOCAL_MACHINE, L"software\\microsoft\\shell\\rai\\:defbrowser",
                              L"1", text, MAX_PATH),
            S_OK);
        EXPECT_EQ(platform::ToUtf8(text), bin + "/surfer");
    }
    {
        ScopedEnv browser("BROWSER", nullptr);
        ScopedEnv emptyPath("PATH", "/nonexistent");
        EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kBrowserKey, L"1", text, MAX_PATH),
                  HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        ASSERT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kBrowserKey, L"1", L"\"/opt/b\" %1"), S_OK);
        EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kBrowserKey, L"1", text, MAX_PATH), S_OK);
        EXPECT_STREQ(text, L"\"/opt/b\" %1");
    }
}
