#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/CommandLine.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/TempDir.h"

namespace {

// A script (its name has a space) that writes $0 and its arguments, one a line, into "args".
std::string MakeRecorder(const TempDir& dir) {
    const std::string script = dir / "record args.sh";
    WriteFile(script, "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                          (dir / "args.tmp") + "\"\nmv \"" + (dir / "args.tmp") + "\" \"" +
                          (dir / "args") + "\"\n");
    chmod(script.c_str(), 0755);
    return script;
}

// Waits (bounded) until `path` exists; the child runs on its own.
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 2000; ++i) {
        if (std::filesystem::exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Children of this process that have exited but were not collected.
int ZombieChildren() {
    int zombies = 0;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        const std::string stat = ReadFile(std::string("/proc/") + entry->d_name + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
            ppid == getpid() && state == 'Z') {
            ++zombies;
        }
    }
    if (proc) {
        closedir(proc);
    }
    return zombies;
}

}  // namespace

TEST(CommandLine, WordsFollowTheRuntimesQuotingRules) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(platform::SplitCommandLine(L"  a  b\tc "), (V{L"a", L"b", L"c"}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"two words\" x\"y z\"w"), (V{L"two words", L"xy zw"}));
    EXPECT_EQ(platform::SplitCommandLine(L"a\\\\\"b c\" d"), (V{L"a\\b c", L"d"}));
    EXPECT_EQ(platform::SplitCommandLine(L"a\\\"b c\\d"), (V{L"a\"b", L"c\\d"}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"say \"\"hi\"\"\" \"\""), (V{L"say \"hi\"", L""}));
    EXPECT_EQ(platform::SplitCommandLine(L"\"unterminated quote"), (V{L"unterminated quote"}));
    EXPECT_TRUE(platform::SplitCommandLine(L"   ").empty());
    EXPECT_TRUE(platform::SplitCommandLine(nullptr).empty());
}

TEST(CreateProcess, StartsTheApplicationWithTheCommandLinesWordsAndLeavesNoZombie) {
    TempDir dir;
    const std::wstring script = platform::FromUtf8(MakeRecorder(dir));
    wchar_t commandLine[] = L"www.example.org/donate?cmd=x&lc=US \"two words\" caf\u00e9";
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcess(script.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, nullptr, &info));
    EXPECT_GT(info.dwProcessId, 0u);
    ASSERT_TRUE(WaitForFile(dir / "args"));
    EXPECT_EQ(ReadFile(dir / "args"), platform::ToUtf8(script) +
                                          "\nwww.example.org/donate?cmd=x&lc=US\ntwo words\n"
                                          "caf\xc3\xa9\n");
    int zombies = 1;
    for (int i = 0; i < 2000 && (zombies = ZombieChildren()) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(zombies, 0);
    // The waiter collected it: it is no longer a child of this process at all.
    for (int i = 0; i < 2000 && kill(static_cast<pid_t>(info.dwProcessId), 0) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_NE(kill(static_cast<pid_t>(info.dwProcessId), 0), 0);
}

TEST(CreateProcess, FailsForAProgramThatCannotStart) {
    TempDir dir;
    wchar_t commandLine[] = L"page";
    SetLastError(0);
    EXPECT_FALSE(CreateProcess(platform::FromUtf8(dir / "missing").c_str(), commandLine, nullptr,
                               nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    const std::string notExecutable = dir / "plain.txt";
    WriteFile(notExecutable, "text");
    EXPECT_FALSE(CreateProcess(platform::FromUtf8(notExecutable).c_str(), commandLine, nullptr,
                               nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(CreateProcess(L"", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, nullptr));
    EXPECT_FALSE(CreateProcess(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, nullptr));
    EXPECT_EQ(ZombieChildren(), 0);
}

// Open files and the signals this process blocks (it leaves SIGTERM and the like to one thread)
// stay here: the child starts as any program would.
TEST(CreateProcess, HandsTheChildNeitherOpenFilesNorBlockedSignals) {
    TempDir dir;
    const std::string script = dir / "fds.sh";
    // The mask is read first, by the shell itself: while it starts a command, the shell blocks
    // every signal for a moment.
    WriteFile(script,
              "#!/bin/sh\nwhile read -r key value; do [ \"$key\" = SigBlk: ] && "
              "echo \"blocked $value\"; done < /proc/$$/status > \"" +
                  (dir / "fds.tmp") + "\"\nls /proc/$$/fd >> \"" + (dir / "fds.tmp") + "\"\nmv \"" +
                  (dir / "fds.tmp") + "\" \"" + (dir / "fds") + "\"\n");
    chmod(script.c_str(), 0755);
    FILE* kept = std::fopen((dir / "open.txt").c_str(), "w");  // not close-on-exec
    ASSERT_NE(kept, nullptr);
    const int keptFd = fileno(kept);
    sigset_t blocked, before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    wchar_t commandLine[] = L"";
    const bool started = CreateProcess(platform::FromUtf8(script).c_str(), commandLine, nullptr,
                                       nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WaitForFile(dir / "fds"));
    std::fclose(kept);
    const std::string fds = ReadFile(dir / "fds");
    EXPECT_EQ(fds.find("\n" + std::to_string(keptFd) + "\n"), std::string::npos) << fds;
    EXPECT_EQ(fds.find("blocked 0000000000000000\n"), 0u) << fds;
}
