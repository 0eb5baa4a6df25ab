// Folders and files through the platform's calls: a folder listed as the kits page lists one, and
// every way making, renaming, copying or removing can fail named by its code and its words.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::wstring W(const std::string& s) {
    return platform::FromUtf8(s);
}

// The words FormatMessageW gives for the thread's last error.
std::string LastWords() {
    WCHAR words[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, words, 256, nullptr);
    return platform::ToUtf8(words);
}

struct Listed {
    std::string name;
    DWORD attributes;
    uint64_t size;
};

std::vector<Listed> List(const std::string& pattern, DWORD* error) {
    std::vector<Listed> out;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(W(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return out;
    }
    do {
        out.push_back({platform::ToUtf8(data.cFileName), data.dwFileAttributes,
                       (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
    } while (FindNextFileW(find, &data));
    *error = GetLastError();
    EXPECT_TRUE(FindClose(find));
    return out;
}

TEST(FileSystem, AFolderIsListedByItsWildcardsInNameOrder) {
    TempDir dir;
    WriteFile(dir / "b.flac", "12345");
    WriteFile(dir / "a.wav", "");
    WriteFile(dir / "L1.flac", "1");
    WriteFile(dir / ".hidden", "");
    WriteFile(dir / "Caf\xC3\xA9.flac", "12");
    fs::create_directory(dir / "sub");
    ASSERT_EQ(symlink("nothing", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

    constexpr DWORD kNormal = FILE_ATTRIBUTE_NORMAL, kFolder = FILE_ATTRIBUTE_DIRECTORY;
    struct Case {
        std::string pattern;
        std::vector<std::string> names;  // empty: the search fails with `error`
        DWORD error;
    };
    const Case cases[] = {
        {dir / "*",
         {".hidden", "Caf\xC3\xA9.flac", "L1.flac", "a.wav", "b.flac", "dangling", "pipe", "sub"},
         ERROR_NO_MORE_FILES},
        {dir / "*.*",
         {".hidden", "Caf\xC3\xA9.flac", "L1.flac", "a.wav", "b.flac", "dangling", "pipe", "sub"},
         ERROR_NO_MORE_FILES},
        {dir / "*.flac", {"Caf\xC3\xA9.flac", "L1.flac", "b.flac"}, ERROR_NO_MORE_FILES},
        {dir / "?1.*", {"L1.flac"}, ERROR_NO_MORE_FILES},
        {dir / "l1.flac", {}, ERROR_FILE_NOT_FOUND},  // names are case-sensitive
        {dir / "sub", {"sub"}, ERROR_NO_MORE_FILES},
        {dir / "sub/*", {}, ERROR_FILE_NOT_FOUND},
        {dir / "nothing*", {}, ERROR_FILE_NOT_FOUND},
        {dir / "missing/*", {}, ERROR_PATH_NOT_FOUND},
        {dir / "missing/L1.flac", {}, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        DWORD error = 0;
        const std::vector<Listed> listed = List(c.pattern, &error);
        std::vector<std::string> names;
        for (const Listed& l : listed) {
            names.push_back(l.name);
        }
        EXPECT_EQ(names, c.names) << c.pattern;
        EXPECT_EQ(error, c.error) << c.pattern;
    }

    DWORD error = 0;
    for (const Listed& l : List(dir / "*", &error)) {
        const std::pair<const char*, Listed> expected[] = {
            {".hidden", {"", FILE_ATTRIBUTE_HIDDEN, 0}},
            {"b.flac", {"", kNormal, 5}},
            {"Caf\xC3\xA9.flac", {"", kNormal, 2}},
            {"sub", {"", kFolder, 0}},
            {"dangling", {"", FILE_ATTRIBUTE_REPARSE_POINT, 0}},
            {"pipe", {"", FILE_ATTRIBUTE_SYSTEM, 0}},
        };
        for (const auto& [name, want] : expected) {
            if (l.name == name) {
                EXPECT_EQ(l.attributes, want.attributes) << name;
                EXPECT_EQ(l.size, want.size) << name;
            }
        }
    }

    // The time of the last write, in 100 ns ticks since 1601.
    const timespec times[2] = {{1577836800, 0}, {1577836800, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "a.wav").c_str(), times, 0), 0);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(W(dir / "a.wav").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    const uint64_t ticks =
        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(ticks, 116444736000000000ULL + 1577836800ULL * 10000000ULL + 5);
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(FileSystem, EachCallSaysWhyItFailedAndChangesNothing) {
    TempDir dir;
    fs::create_directories(dir / "kit/inner");
    fs::create_directory(dir / "empty");
    WriteFile(dir / "kit/L1.flac", "old");
    WriteFile(dir / "words.txt", "new");
    ASSERT_EQ(chmod((dir / "words.txt").c_str(), 0640), 0);
    const std::string other = "/dev/shm";  // another file system, where there is one
    struct stat st, shm;
    const bool twoDevices = stat(dir.Path().c_str(), &st) == 0 && stat(other.c_str(), &shm) == 0 &&
                            st.st_dev != shm.st_dev;

    struct Case {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;        // ERROR_SUCCESS: it succeeds
        const char* words;  // FormatMessageW's for the failure
    };
    const std::string d = dir.Path();
    const Case cases[] = {
        {"a new folder", [&] { return CreateDirectoryW(W(d + "/new").c_str(), nullptr); },
         ERROR_SUCCESS, ""},
        {"a folder that exists", [&] { return CreateDirectoryW(W(d + "/kit").c_str(), nullptr); },
         ERROR_ALREADY_EXISTS, "File exists"},
        {"a folder without its parent",
         [&] { return CreateDirectoryW(W(d + "/no/such").c_str(), nullptr); }, ERROR_PATH_NOT_FOUND,
         "No such file or directory"},
        {"removing a full folder", [&] { return RemoveDirectoryW(W(d + "/kit").c_str()); },
         ERROR_DIR_NOT_EMPTY, "Directory not empty"},
        {"removing a file as a folder",
         [&] { return RemoveDirectoryW(W(d + "/words.txt").c_str()); }, ERROR_DIRECTORY,
         "is not a folder"},
        {"removing an empty folder", [&] { return RemoveDirectoryW(W(d + "/empty").c_str()); },
         ERROR_SUCCESS, ""},
        {"renaming onto a name in use",
         [&] { return MoveFileW(W(d + "/words.txt").c_str(), W(d + "/kit/L1.flac").c_str()); },
         ERROR_ALREADY_EXISTS, "File exists"},
        {"renaming what is not there",
         [&] { return MoveFileW(W(d + "/gone").c_str(), W(d + "/here").c_str()); },
         ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {"renaming a folder",
         [&] { return MoveFileW(W(d + "/new").c_str(), W(d + "/My words").c_str()); },
         ERROR_SUCCESS, ""},
        {"copying over a file kept",
         [&] {
             return CopyFileW(W(d + "/words.txt").c_str(), W(d + "/kit/L1.flac").c_str(), TRUE);
         },
         ERROR_FILE_EXISTS, "File exists"},
        {"copying a folder",
         [&] { return CopyFileW(W(d + "/kit").c_str(), W(d + "/kit2").c_str(), FALSE); },
         ERROR_ACCESS_DENIED, "is a folder, not a file"},
        {"copying what is not there",
         [&] { return CopyFileW(W(d + "/gone").c_str(), W(d + "/here").c_str(), FALSE); },
         ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {"copying into a missing folder",
         [&] { return CopyFileW(W(d + "/words.txt").c_str(), W(d + "/no/such").c_str(), FALSE); },
         ERROR_PATH_NOT_FOUND, "No such file or directory"},
        {"copying a file",
         [&] { return CopyFileW(W(d + "/words.txt").c_str(), W(d + "/copy.txt").c_str(), TRUE); },
         ERROR_SUCCESS, ""},
        {"deleting a folder as a file", [&] { return DeleteFileW(W(d + "/kit").c_str()); },
         ERROR_ACCESS_DENIED, "is a folder, not a file"},
        {"deleting what is not there", [&] { return DeleteFileW(W(d + "/gone").c_str()); },
         ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {"no path at all", [&] { return DeleteFileW(nullptr); }, ERROR_INVALID_PARAMETER,
         "Invalid argument"},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        const BOOL done = c.call();
        EXPECT_EQ(done, c.error == ERROR_SUCCESS) << c.what;
        if (!done) {
            EXPECT_EQ(GetLastError(), c.error) << c.what;
            EXPECT_EQ(LastWords(), c.words) << c.what;
        }
    }
    // What the failures touched is as it was; what succeeded is there.
    EXPECT_EQ(ReadFile(dir / "kit/L1.flac"), "old");
    EXPECT_EQ(ReadFile(dir / "words.txt"), "new");
    EXPECT_TRUE(fs::is_directory(dir / "My words"));
    EXPECT_FALSE(fs::exists(dir / "new"));
    EXPECT_FALSE(fs::exists(dir / "empty"));
    EXPECT_EQ(ReadFile(dir / "copy.txt"), "new");
    ASSERT_EQ(stat((dir / "copy.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"My words", "copy.txt", "kit", "words.txt"}));

    // Copying over a file replaces it; so does a delete take it away.
    EXPECT_TRUE(CopyFileW(W(d + "/words.txt").c_str(), W(d + "/kit/L1.flac").c_str(), FALSE));
    EXPECT_EQ(ReadFile(dir / "kit/L1.flac"), "new");
    EXPECT_TRUE(DeleteFileW(W(d + "/copy.txt").c_str()));
    EXPECT_FALSE(fs::exists(dir / "copy.txt"));

    if (!twoDevices) {
        return;
    }
    // To another file system a file moves by a copy and a delete; a folder does not move.
    TempDir far;  // made in the system's temporary folder: only its path is borrowed
    const std::string away = other + "/" + fs::path(far.Path()).filename().string();
    ASSERT_TRUE(CreateDirectoryW(W(away).c_str(), nullptr));
    EXPECT_TRUE(MoveFileW(W(d + "/words.txt").c_str(), W(away + "/words.txt").c_str()));
    EXPECT_EQ(ReadFile(away + "/words.txt"), "new");
    EXPECT_FALSE(fs::exists(dir / "words.txt"));
    EXPECT_FALSE(MoveFileW(W(d + "/kit").c_str(), W(away + "/kit").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
    EXPECT_TRUE(fs::exists(dir / "kit/L1.flac"));
    fs::remove_all(away);
}

TEST(FileSystem, ErrorsHaveWordsAndTheLastCallsOwnWordsWin) {
    struct Case {
        DWORD code;
        const char* words;
    };
    const Case cases[] = {
        {ERROR_SUCCESS, "Success"},
        {ERROR_DISK_FULL, "No space left on device"},
        {ERROR_WRITE_PROTECT, "Read-only file system"},
        {ERROR_ACCESS_DENIED, "Permission denied"},
        {ERROR_NOT_SAME_DEVICE, "Invalid cross-device link"},
        {ERROR_NO_MORE_FILES, "There are no more files"},
        {9999, "Error 9999"},
    };
    for (const Case& c : cases) {
        WCHAR words[64];
        const DWORD n =
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, c.code, 0, words, 64, nullptr);
        EXPECT_EQ(platform::ToUtf8(words), c.words) << c.code;
        EXPECT_EQ(n, std::char_traits<wchar_t>::length(words)) << c.code;
    }
    // A call that knew more: its own words for its code, until the next error replaces them.
    TempDir dir;
    WriteFile(dir / "L1.flac", "");
    EXPECT_FALSE(RemoveDirectoryW(W(dir / "L1.flac").c_str()));
    EXPECT_EQ(LastWords(), "is not a folder");
    SetLastError(ERROR_DIRECTORY);
    EXPECT_EQ(LastWords(), "Not a directory");

    WCHAR small[4];
    EXPECT_EQ(
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_DISK_FULL, 0, small, 4, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                             ERROR_DISK_FULL, 0, small, 4, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FileSystem, WideTextBecomesUtf8) {
    struct Case {
        std::wstring text;
        int length;  // -1: up to and with the null
        DWORD flags;
        std::string bytes;  // empty with `error`
        DWORD error;
    };
    const Case cases[] = {
        {L"Caf\u00e9", -1, 0, std::string("Caf\xC3\xA9\0", 6), 0},
        {L"Caf\u00e9", 3, 0, "Caf", 0},
        {L"\U0001F600", 1, WC_ERR_INVALID_CHARS, "\xF0\x9F\x98\x80", 0},
        {std::wstring(1, wchar_t(0xD800)), 1, 0, "\xEF\xBF\xBD", 0},
        {std::wstring(1, wchar_t(0xD800)), 1, WC_ERR_INVALID_CHARS, "",
         ERROR_NO_UNICODE_TRANSLATION},
    };
    for (const Case& c : cases) {
        const std::string label = platform::ToUtf8(c.text);
        const int needed = WideCharToMultiByte(CP_UTF8, c.flags, c.text.c_str(), c.length, nullptr,
                                               0, nullptr, nullptr);
        EXPECT_EQ(needed, static_cast<int>(c.bytes.size())) << label;
        char out[16];
        const int written = WideCharToMultiByte(CP_UTF8, c.flags, c.text.c_str(), c.length, out,
                                                sizeof out, nullptr, nullptr);
        EXPECT_EQ(std::string(out, static_cast<size_t>(written)), c.bytes) << label;
        if (c.bytes.empty()) {
            EXPECT_EQ(GetLastError(), c.error) << label;
        }
    }
    char two[2];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, two, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"abc", 3, two, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
