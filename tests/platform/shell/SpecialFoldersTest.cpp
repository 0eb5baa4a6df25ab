// The user's data folder as the shell names it: where the kits and the home trash are.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

TEST(SpecialFolders, TheDataFolderFollowsXdgAndIsMadeWhenAsked) {
    TempDir dir;
    const std::string data = dir / "data/deep";
    struct Case {
        const char* xdg;  // XDG_DATA_HOME; HOME is the temporary folder
        std::string expected;
    };
    const Case cases[] = {
        {data.c_str(), data},
        {nullptr, dir / ".local/share"},
        {"relative/ignored", dir / ".local/share"},
        {"", dir / ".local/share"},
    };
    ScopedEnvironment home("HOME", dir.Path().c_str());
    for (const Case& c : cases) {
        ScopedEnvironment xdg("XDG_DATA_HOME", c.xdg);
        WCHAR path[MAX_PATH] = L"";
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, FALSE));
        EXPECT_EQ(platform::ToUtf8(path), c.expected);
        struct stat st;
        EXPECT_NE(stat(c.expected.c_str(), &st), 0) << "made without being asked";
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, TRUE));
        ASSERT_EQ(stat(c.expected.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        std::filesystem::remove_all(dir / "data");
        std::filesystem::remove_all(dir / ".local");
    }

    // A data folder that cannot be made says why; other folders are not known.
    WriteFile(dir / "file", "");
    ScopedEnvironment xdg("XDG_DATA_HOME", (dir / "file/data").c_str());
    WCHAR path[MAX_PATH];
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x0005, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
