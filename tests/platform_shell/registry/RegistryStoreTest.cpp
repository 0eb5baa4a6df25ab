#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Name", &value), E_FAIL);
    wchar_t text[4] = L"abc";
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Number", 3), S_OK);
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, kSettings, L"Number", text, 4), E_FAIL);
    EXPECT_STREQ(text, L"");

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
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadFile(File() + ".bad"), corrupt);
    EXPECT_FALSE(std::filesystem::exists(File()));

    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", 70), S_OK);
    Restart();
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeSounds", &value), S_OK);
    EXPECT_EQ(value, 70u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadFile(File() + ".bad"), corrupt);
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
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", 5), E_FAIL);
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"VolumeBeat", &value), S_OK);
    EXPECT_EQ(value, 5u);
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
