#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"
#include "support/TempDir.h"

TEST(GetModuleFileName, IsThisExecutablesFullPath) {
    char link[4096];
    const ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
    ASSERT_GT(n, 0);
    const std::wstring expected = platform::FromUtf8(std::string(link, static_cast<size_t>(n)));

    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileName(nullptr, path, MAX_PATH);
    ASSERT_LT(expected.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(std::wstring(path), expected);
    EXPECT_EQ(path[0], PLATFORM_PATH_SEPARATOR);
    EXPECT_EQ(GetModuleFileName(GetModuleHandle(nullptr), path, MAX_PATH), length);
}

TEST(GetModuleFileName, TruncatesToTheBufferAndSaysSo) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetModuleFileName(nullptr, full, MAX_PATH);
    ASSERT_GT(length, 4u);

    wchar_t small[5];
    wmemset(small, L'#', 5);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileName(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(small), std::wstring(full, 4));

    EXPECT_EQ(GetModuleFileName(nullptr, small, 0), 0u);
    EXPECT_EQ(GetModuleFileName(reinterpret_cast<HMODULE>(small), full, MAX_PATH), 0u);
}

TEST(GetModuleHandle, OnlyTheProcessItselfHasOne) {
    EXPECT_NE(GetModuleHandle(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandle(nullptr), GetModuleHandle(nullptr));
    EXPECT_EQ(GetModuleHandle(L"other.dll"), nullptr);
}

TEST(WideFopen, OpensUtf8NamesAndAcceptsTheShellsModes) {
    TempDir dir;
    const std::string name = dir / "W\xc3\xb6rter.wav";
    WriteFile(name, "RIFF");
    FILE* f = _wfopen(platform::FromUtf8(name).c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    char head[5] = {};
    EXPECT_EQ(std::fread(head, 1, 4, f), 4u);
    EXPECT_STREQ(head, "RIFF");
    std::fclose(f);

    FILE* w = _wfopen(platform::FromUtf8(dir / "out.txt").c_str(), L"wt, ccs=UTF-8");
    ASSERT_NE(w, nullptr);
    std::fputs("x", w);
    std::fclose(w);
    EXPECT_EQ(ReadFile(dir / "out.txt"), "x");

    EXPECT_EQ(_wfopen(platform::FromUtf8(dir / "missing").c_str(), L"rb"), nullptr);
    EXPECT_EQ(_wfopen(nullptr, L"rb"), nullptr);
}
