// Files are read only when they are regular files, without ever waiting on one, and written
// whole or not at all.
#include "platform/kernel/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(Files, OnlyRegularFilesAreReadAndNothingWaitsOnOne) {
    TempDir dir;
    WriteFile(dir / "words.txt", "Hello\n");
    WriteFile(dir / "empty.txt", "");
    WriteFile(dir / "big.txt", "");
    ASSERT_EQ(truncate((dir / "big.txt").c_str(), 65), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero").c_str()), 0);
    ASSERT_EQ(symlink("nothing", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop", (dir / "loop").c_str()), 0);
    ASSERT_EQ(symlink("words.txt", (dir / "link.txt").c_str()), 0);

    struct Case {
        const char* name;
        const char* content;  // null: refused
        const char* reason;
        int error;
        bool named;  // _wfopen names it on stderr
    };
    const Case cases[] = {
        {"words.txt", "Hello\n", "", 0, false},
        {"link.txt", "Hello\n", "", 0, false},
        {"empty.txt", "", "", 0, false},
        {"big.txt", nullptr, "is 65 bytes (at most 64)", EFBIG, false},
        {"fifo", nullptr, "is a named pipe (FIFO), not a file", EINVAL, true},
        {"folder", nullptr, "is a folder, not a file", EISDIR, true},
        {"zero", nullptr, "is a character device, not a file", EINVAL, true},
        {"dangling", nullptr, "is a link to a file that does not exist", EINVAL, true},
        {"loop", nullptr, "is a link in a loop (Too many levels of symbolic links)", ELOOP, true},
        {"missing", nullptr, "No such file or directory", ENOENT, false},
    };
    // A read that waits on the pipe ends this test instead of hanging the suite.
    alarm(10);
    for (const Case& c : cases) {
        const std::string path = dir / c.name;
        std::string content;
        platform::ReadableFile failure;
        const bool read = platform::ReadWholeFile(path, 64, &content, &failure);
        EXPECT_EQ(read, c.content != nullptr) << c.name;
        if (c.content) {
            EXPECT_EQ(content, c.content) << c.name;
            continue;
        }
        EXPECT_EQ(failure.reason, c.reason) << c.name;
        EXPECT_EQ(failure.missing, c.error == ENOENT) << c.name;
        const int fd = platform::OpenForReading(path, 64).fd;
        const int error = errno;
        EXPECT_EQ(fd, -1) << c.name;
        EXPECT_EQ(error, c.error) << c.name;

        // The C library's entry point, which has no reason to give back, names the file itself;
        // a missing file is the caller's business.
        testing::internal::CaptureStderr();
        FILE* file = _wfopen(platform::FromUtf8(path).c_str(), L"rb");
        const std::string said = testing::internal::GetCapturedStderr();
        if (file) {
            std::fclose(file);
        }
        if (c.error == EFBIG) {
            EXPECT_NE(file, nullptr) << c.name;  // no bound there
        } else {
            EXPECT_EQ(file, nullptr) << c.name;
            EXPECT_EQ(said, c.named ? "pulsor: " + path + ": " + c.reason + "\n" : "") << c.name;
        }
    }
    alarm(0);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

TEST(Files, AFileIsWrittenWholeOrNotAtAll) {
    TempDir dir;
    WriteFile(dir / "old.png", "old picture");
    ASSERT_EQ(mkdir((dir / "taken.png").c_str(), 0755), 0);
    struct Case {
        std::string path;
        bool written;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "new.png", true, ""},
        {dir / "old.png", true, ""},
        {dir / "taken.png", false, "Is a directory"},
        {dir / "no-such-folder/new.png", false, "No such file or directory"},
    };
    const std::string data(100000, 'p');
    for (const Case& c : cases) {
        std::string reason;
        EXPECT_EQ(platform::WriteWholeFile(c.path, data.data(), data.size(), &reason), c.written)
            << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
        if (c.written) {
            EXPECT_EQ(ReadFile(c.path), data) << c.path;
        }
    }
    EXPECT_TRUE(fs::is_directory(dir / "taken.png"));
    // Only the files asked for: no temporary stays behind.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

}  // namespace
