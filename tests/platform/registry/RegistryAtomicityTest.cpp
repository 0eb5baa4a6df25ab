#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "RegistryFixture.h"
#include "platform/registry/RegistryFile.h"
#include "platform/win32.h"

namespace {
const wchar_t kSettings[] = L"Software\\Harrowmint\\Pulsor\\Settings";
}

// A process killed at any moment of a save leaves either the old or the new file, never a mix.
TEST_F(RegistryTest, AKilledSaveLeavesTheOldOrTheNewFile) {
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Counter", 0), S_OK);
    // Enough text that a save takes more than one write.
    ASSERT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, kSettings, L"Padding",
                                std::wstring(200000, L'p').c_str()),
              S_OK);
    std::mt19937 random(12345);
    DWORD lastSeen = 0;
    for (int trial = 0; trial < 60; ++trial) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            platform::registry::Unload();
            DWORD counter = 0;
            RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Counter", &counter);
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Counter", ++counter);
            // The parent kills this process at some moment of the saves that follow.
            (void)!write(ready[1], "x", 1);
            for (;;) {
                RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Counter", ++counter);
            }
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        platform::registry::Contents contents;
        ASSERT_TRUE(contents.Parse(ReadFile(File()))) << "trial " << trial;
        const std::wstring key = L"HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings";
        const platform::registry::Value* counter = contents.Find(key, L"Counter");
        ASSERT_NE(counter, nullptr);
        EXPECT_GT(counter->dword, lastSeen);  // at least the save before the signal
        lastSeen = counter->dword;
        ASSERT_NE(contents.Find(key, L"Padding"), nullptr);
        EXPECT_EQ(contents.Find(key, L"Padding")->text.size(), 200000u);
    }

    // The next save clears away what the killed processes left half-written.
    Restart();
    ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"Counter", 0), S_OK);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename(), "registry.reg");
    }
}

// Hundreds of grouped saves (an open key, five values, its close) killed at random moments: the
// five values on disk always come from one save.
TEST_F(RegistryTest, AKilledGroupedSaveLeavesAllValuesOldOrAllNew) {
    const wchar_t* const names[] = {L"A", L"B", L"C", L"D", L"E"};
    std::mt19937 random(4321);
    int saves = 0;
    for (int trial = 0; trial < 80; ++trial) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            platform::registry::Unload();
            DWORD counter = 0;
            RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettings, L"A", &counter);
            for (bool first = true;; first = false) {
                ++counter;
                HKEY key = nullptr;
                RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &key, nullptr);
                for (const wchar_t* name : names) {
                    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettings, name, counter);
                }
                RegCloseKey(key);
                if (first) {
                    (void)!write(ready[1], "x", 1);  // at least one save per trial
                }
            }
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const std::string text = ReadFile(File());
        platform::registry::Contents contents;
        ASSERT_TRUE(contents.Parse(text)) << "trial " << trial << ":\n" << text;
        const std::wstring key = L"HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings";
        const platform::registry::Value* first = contents.Find(key, L"A");
        ASSERT_NE(first, nullptr) << text;
        for (const wchar_t* name : names) {
            const platform::registry::Value* value = contents.Find(key, name);
            ASSERT_NE(value, nullptr) << text;
            EXPECT_EQ(value->dword, first->dword) << "trial " << trial << ":\n" << text;
        }
        saves = static_cast<int>(first->dword);
    }
    RecordProperty("Saves", saves);
    EXPECT_GE(saves, 80);
}
