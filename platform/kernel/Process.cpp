#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/kernel/CommandLine.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

extern char** environ;

namespace platform {

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    if (!commandLine) {
        return words;
    }
    const wchar_t* p = commandLine;
    for (;;) {
        while (*p == L' ' || *p == L'\t') {
            ++p;
        }
        if (!*p) {
            return words;
        }
        std::wstring word;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'\\') {
                size_t slashes = 0;
                while (*p == L'\\') {
                    ++slashes;
                    ++p;
                }
                if (*p == L'"') {
                    word.append(slashes / 2, L'\\');
                    if (slashes % 2) {
                        word.push_back(L'"');
                        ++p;
                    }
                } else {
                    word.append(slashes, L'\\');
                }
            } else if (*p == L'"') {
                if (quoted && p[1] == L'"') {
                    word.push_back(L'"');
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                word.push_back(*p++);
            }
        }
        words.push_back(std::move(word));
    }
}

}  // namespace platform

namespace {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return 5;  // ERROR_ACCESS_DENIED, as the platform reports a program it cannot run
    }
}

}  // namespace

BOOL CreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                   LPSECURITY_ATTRIBUTES, BOOL inheritHandles, DWORD creationFlags,
                   LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFO,
                   LPPROCESS_INFORMATION processInformation) {
    std::vector<std::wstring> words = platform::SplitCommandLine(commandLine);
    std::string program;
    bool searchPath = false;
    if (application && *application) {
        program = platform::ToUtf8(application);
        words.insert(words.begin(), application);
    } else if (!words.empty()) {
        // Without an application name the first word is the program, looked up on the path.
        program = platform::ToUtf8(words.front());
        searchPath = true;
    }
    if (program.empty() || environment || (creationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    std::vector<std::string> args;
    args.reserve(words.size());
    for (const std::wstring& word : words) {
        args.push_back(platform::ToUtf8(word));
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!inheritHandles) {
        // Handles are not inherited unless asked: the child must not keep this process's
        // sockets (the single-instance binding) or files open after it exits.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    }
    std::string directory;
    if (currentDirectory && *currentDirectory) {
        directory = platform::ToUtf8(currentDirectory);
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    }
    // The signals this process leaves to its watcher thread are blocked here; the child gets
    // the mask a program expects to start with.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int error =
        searchPath
            ? posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
            : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        SetLastError(ErrorFromErrno(error));
        return FALSE;
    }

    // Not waited for by the caller; a detached waiter collects the exit status so that no
    // zombie stays behind.
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child runs all the same and is collected when this process ends.
    }

    if (processInformation) {
        // Process handles are not provided: nothing in the program waits for a child.
        processInformation->hProcess = nullptr;
        processInformation->hThread = nullptr;
        processInformation->dwProcessId = static_cast<DWORD>(pid);
        processInformation->dwThreadId = static_cast<DWORD>(pid);
    }
    return TRUE;
}
