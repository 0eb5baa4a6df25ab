// A delete that can be undone: what is deleted lands in the desktop's trash with the record a
// file manager restores it from, under a name of its own, and is never removed outright.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/MountNamespace.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// SHFileOperationW's delete of `paths`, with `flags`: its result and the operation.
int Delete(const std::vector<std::string>& paths, FILEOP_FLAGS flags, SHFILEOPSTRUCTW* op,
           UINT func = FO_DELETE) {
    static std::wstring list;
    list.clear();
    for (const std::string& path : paths) {
        list += platform::FromUtf8(path);
        list.push_back(L'\0');
    }
    list.push_back(L'\0');
    *op = SHFILEOPSTRUCTW{};
    op->wFunc = func;
    op->pFrom = list.c_str();
    op->fFlags = flags;
    return SHFileOperationW(op);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Words() {
    WCHAR words[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(), 0, words, 512, nullptr);
    return platform::ToUtf8(words);
}

// The record's path, checking the rest of it: the header and a deletion time of about now.
std::string RecordedPath(const std::string& trashinfo) {
    const std::string text = ReadFile(trashinfo);
    std::smatch m;
    const std::regex form(
        "\\[Trash "
        "Info\\]\nPath=([^\n]*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n");
    if (!std::regex_match(text, m, form)) {
        ADD_FAILURE() << trashinfo << " holds: " << text;
        return "";
    }
    tm when{};
    strptime(m[2].str().c_str(), "%Y-%m-%dT%H:%M:%S", &when);
    when.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::time(nullptr), std::mktime(&when))), 120) << m[2];
    return m[1];
}

TEST(Trash, WhatIsDeletedLandsInTheHomeTrashWithItsRecord) {
    TempDir dir;
    ScopedEnvironment data("XDG_DATA_HOME", (dir / "data").c_str());
    const std::string kits = dir / "data/pulsor/kits";
    const std::string trash = dir / "data/Trash";
    fs::create_directories(kits + "/My words/inner");
    WriteFile(kits + "/My words/L1.flac", "first");
    fs::create_directories(dir / "elsewhere/My words");
    fs::create_directories(dir / "third/My words");
    WriteFile(dir / "L1.flac", "loose");
    WriteFile(dir / "elsewhere/L1.flac", "loose too");
    fs::create_directories(dir / "odd %name \xC3\xA9");
    ASSERT_EQ(symlink("/nowhere", (dir / "link").c_str()), 0);

    struct Case {
        std::string path;
        std::string name;      // in the trash
        std::string recorded;  // its Path=
    };
    const std::string d = dir.Path();
    const Case cases[] = {
        {kits + "/My words", "My words", kits + "/My%20words"},
        {d + "/elsewhere/My words/", "My words.2", d + "/elsewhere/My%20words"},
        {d + "/third/./My words", "My words.3", d + "/third/My%20words"},
        {d + "/L1.flac", "L1.flac", d + "/L1.flac"},
        {d + "/elsewhere/L1.flac", "L1.2.flac", d + "/elsewhere/L1.flac"},
        {d + "/odd %name \xC3\xA9", "odd %name \xC3\xA9", d + "/odd%20%25name%20%C3%A9"},
        {d + "/link", "link", d + "/link"},  // the link, not what it names
    };
    for (const Case& c : cases) {
        SHFILEOPSTRUCTW op;
        ASSERT_EQ(Delete({c.path}, FOF_ALLOWUNDO | FOF_NOCONFIRMATION, &op), 0)
            << c.path << ": " << Words();
        EXPECT_FALSE(op.fAnyOperationsAborted);
        struct stat st;
        EXPECT_NE(lstat(c.path.c_str(), &st), 0) << c.path << " is still there";
        EXPECT_EQ(lstat((trash + "/files/" + c.name).c_str(), &st), 0) << c.name;
        EXPECT_EQ(RecordedPath(trash + "/info/" + c.name + ".trashinfo"), c.recorded) << c.name;
    }
    // Moved whole, not copied: the folder's content came along.
    EXPECT_EQ(ReadFile(trash + "/files/My words/L1.flac"), "first");
    EXPECT_TRUE(fs::is_directory(trash + "/files/My words/inner"));
    EXPECT_EQ(ReadFile(trash + "/files/L1.2.flac"), "loose too");
    struct stat st;
    ASSERT_EQ(stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(Names(trash), (std::vector<std::string>{"files", "info"}));
    EXPECT_EQ(Names(trash + "/files").size(), 7u);
    EXPECT_EQ(Names(trash + "/info").size(), 7u);
}

TEST(Trash, WhatCannotBeTrashedIsLeftAsItWasAndSaysWhy) {
    TempDir dir;
    ScopedEnvironment data("XDG_DATA_HOME", (dir / "data").c_str());
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "c");
    fs::create_directories(dir / "data/Trash/files");
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        FILEOP_FLAGS flags;
        UINT func;
        int result;
        std::string words;
        std::vector<std::string> trashed;  // what the trash holds after it
    };
    const Case cases[] = {
        {"a delete without undo",
         {dir / "a"},
         FOF_NOCONFIRMATION,
         FO_DELETE,
         ERROR_NOT_SUPPORTED,
         "only a delete into the trash is supported",
         {}},
        {"a copy",
         {dir / "a"},
         FOF_ALLOWUNDO,
         FO_COPY,
         ERROR_NOT_SUPPORTED,
         "only a delete into the trash is supported",
         {}},
        {"the trash itself",
         {dir / "data"},
         FOF_ALLOWUNDO,
         FO_DELETE,
         ERROR_ACCESS_DENIED,
         "holds the trash itself",
         {}},
        {"a list with a missing path",
         {dir / "a", dir / "b", dir / "c"},
         FOF_ALLOWUNDO,
         FO_DELETE,
         ERROR_FILE_NOT_FOUND,
         "No such file or directory",
         {"a"}},
        {"nothing at all",
         {},
         FOF_ALLOWUNDO,
         FO_DELETE,
         ERROR_INVALID_PARAMETER,
         "Invalid argument",
         {"a"}},
    };
    for (const Case& c : cases) {
        SHFILEOPSTRUCTW op;
        EXPECT_EQ(Delete(c.paths, c.flags, &op, c.func), c.result) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.result)) << c.what;
        EXPECT_EQ(Words(), c.words) << c.what;
        EXPECT_EQ(Names(dir / "data/Trash/files"), c.trashed) << c.what;
    }
    // The path after the failure was left alone.
    EXPECT_TRUE(fs::is_directory(dir / "c"));
    EXPECT_TRUE(fs::is_directory(dir / "data"));
    EXPECT_EQ(SHFileOperationW(nullptr), ERROR_INVALID_PARAMETER);
}

TEST(Trash, AnotherDeviceHasItsTrashAtItsTop) {
    if (!CanMountPrivately()) {
        GTEST_SKIP() << "another device is mounted in a mount namespace of our own (root)";
    }
    TempDir dir;
    const std::string top = dir / "stick", out = dir / "out", uid = std::to_string(getuid());
    fs::create_directories(top);
    fs::create_directories(out);
    struct Case {
        const char* what;
        std::string before;  // shell run on the device first
        std::string said;    // the probe's code and words
        std::string trash;   // the trash it used, under the device's top
    };
    const Case cases[] = {
        {"the user's own trash", "", "0\n\n", ".Trash-" + uid},
        {"the administrator's trash", "mkdir -m 1777 " + top + "/.Trash", "0\n\n", ".Trash/" + uid},
        {"an administrator's trash that is a link",
         "mkdir " + top + "/real && chmod 1777 " + top + "/real && ln -s real " + top + "/.Trash",
         "0\n\n", ".Trash-" + uid},
        {"a read-only device", "mount -o remount,ro " + top,
         "17\nthere is no trash on the device of " + top + "/kits/My words (" + top +
             "): cannot make " + top + "/.Trash-" + uid + ": Read-only file system\n",
         ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(out);
        fs::create_directories(out);
        // The kit is made, the probe deletes it, and what the device holds is copied out before
        // it goes with its namespace.
        const std::string said = InMountNamespace(
            "mount -t tmpfs -o size=1m tmpfs " + top + " && mkdir -p \"" + top +
            "/kits/My words\" && echo word > \"" + top + "/kits/My words/L1.flac\" && " +
            (c.before.empty() ? "" : c.before + " && ") + FILES_PROBE + " trash \"" + top +
            "/kits/My words\"; cp -a " + top + "/. " + out);
        EXPECT_EQ(said, c.said) << c.what;
        if (c.trash.empty()) {
            EXPECT_EQ(ReadFile(out + "/kits/My words/L1.flac"), "word\n") << c.what;
            EXPECT_EQ(Names(out), (std::vector<std::string>{"kits"})) << c.what;
            continue;
        }
        const std::string trash = out + "/" + c.trash;
        EXPECT_EQ(ReadFile(trash + "/files/My words/L1.flac"), "word\n") << c.what;
        // Recorded relative to the device's top, so the record holds wherever it is mounted.
        EXPECT_EQ(RecordedPath(trash + "/info/My words.trashinfo"), "kits/My%20words") << c.what;
        EXPECT_EQ(Names(out + "/kits"), std::vector<std::string>{}) << c.what;
    }
}

}  // namespace
