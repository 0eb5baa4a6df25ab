#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

TEST(StringCch, CopyFitsOrTruncatesWithTerminator) {
    wchar_t buffer[6];
    EXPECT_EQ(StringCchCopyW(buffer, 6, L"Skin\\"), S_OK);
    EXPECT_STREQ(buffer, L"Skin\\");

    EXPECT_EQ(StringCchCopyW(buffer, 6, L"Sounds\\"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"Sound");

    EXPECT_EQ(StringCchCopyW(buffer, 6, L"Sounds"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"Sound");
}

TEST(StringCch, InvalidBuffersAreRefusedUntouched) {
    wchar_t buffer[4] = {L'x', L'y', L'z', L'\0'};
    EXPECT_EQ(StringCchCopyW(buffer, 0, L"a"), E_INVALIDARG);
    EXPECT_STREQ(buffer, L"xyz");
    EXPECT_EQ(StringCchCopyW(nullptr, 4, L"a"), E_INVALIDARG);
    EXPECT_EQ(StringCchCatW(buffer, 0, L"a"), E_INVALIDARG);
    EXPECT_STREQ(buffer, L"xyz");
}

TEST(StringCch, CatAppendsWithinTheBuffer) {
    wchar_t buffer[MAX_PATH] = L"/opt/pulsor/";
    EXPECT_EQ(StringCchCatW(buffer, MAX_PATH, L"Skin/"), S_OK);
    EXPECT_EQ(StringCchCatW(buffer, MAX_PATH, L"Skin.txt"), S_OK);
    EXPECT_STREQ(buffer, L"/opt/pulsor/Skin/Skin.txt");

    wchar_t small[8] = L"abc";
    EXPECT_EQ(StringCchCatW(small, 8, L"defghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small, L"abcdefg");
    // Full already: nothing more fits but the text stays terminated.
    EXPECT_EQ(StringCchCatW(small, 8, L"x"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small, L"abcdefg");

    wchar_t unterminated[3] = {L'a', L'b', L'c'};
    EXPECT_EQ(StringCchCatW(unterminated, 3, L"d"), E_INVALIDARG);
}

TEST(StringCch, PrintfUsesTheShellsWideConversions) {
    wchar_t buffer[64];
    EXPECT_EQ(StringCchPrintfW(buffer, 64, L"L%d.wav", 16), S_OK);
    EXPECT_STREQ(buffer, L"L16.wav");
    EXPECT_EQ(StringCchPrintfW(buffer, 64, L"%s|%ls|%ws|%c", L"w\u00e9", L"x", L"y", L'\u00fc'),
              S_OK);
    EXPECT_STREQ(buffer, L"w\u00e9|x|y|\u00fc");
    EXPECT_EQ(StringCchPrintfW(buffer, 64, L"%S|%hs|%C", "narrow", "hs", 'n'), S_OK);
    EXPECT_STREQ(buffer, L"narrow|hs|n");
    EXPECT_EQ(StringCchPrintfW(buffer, 64, L"%I64d %5.2f %%", static_cast<int64_t>(1) << 40, 2.5),
              S_OK);
    EXPECT_STREQ(buffer, L"1099511627776  2.50 %");
    int written = 0;
    EXPECT_EQ(StringCchPrintfW(buffer, 64, L"ab%n", &written), E_INVALIDARG);
    EXPECT_EQ(written, 0);
}

TEST(StringCch, PrintfTruncatesAtTheBuffer) {
    wchar_t buffer[5];
    EXPECT_EQ(StringCchPrintfW(buffer, 5, L"H%d.wav", 12), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"H12.");
    // Longer than the first guess of the formatting buffer.
    std::wstring longText(3000, L'q');
    wchar_t big[10];
    EXPECT_EQ(StringCchPrintfW(big, 10, L"%s!", longText.c_str()), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(big, L"qqqqqqqqq");
}

TEST(StringCch, LengthIsBounded) {
    size_t length = 99;
    EXPECT_EQ(StringCchLengthW(L"Pulsor", MAX_PATH, &length), S_OK);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(StringCchLengthW(L"Pulsor", 6, &length), E_INVALIDARG);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(StringCchLengthW(L"Pulsor", 7, &length), S_OK);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(StringCchLengthW(nullptr, 7, &length), E_INVALIDARG);
}

TEST(WideString, Utf8RoundTripAndReplacement) {
    const std::wstring text = L"Gr\u00fc\u00dfe \u4e16\U0001F600";
    EXPECT_EQ(platform::ToUtf8(text),
              "Gr\xc3\xbc\xc3\x9f"
              "e \xe4\xb8\x96\xf0\x9f\x98\x80");
    EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(text)), text);
    EXPECT_EQ(platform::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(platform::FromUtf8("a\xff"
                                 "b"),
              L"a\ufffd"
              L"b");

    std::wstring out = L"unchanged";
    EXPECT_FALSE(platform::FromUtf8Strict("\xc0\xaf", &out));      // overlong
    EXPECT_FALSE(platform::FromUtf8Strict("\xed\xa0\x80", &out));  // surrogate
    EXPECT_FALSE(platform::FromUtf8Strict("\xe4\xb8", &out));      // truncated
    EXPECT_FALSE(platform::FromUtf8Strict("\xf4\x90\x80\x80", &out));
    EXPECT_EQ(out, L"unchanged");
    EXPECT_TRUE(platform::FromUtf8Strict("\xe4\xb8\x96", &out));
    EXPECT_EQ(out, L"\u4e16");
}

// UTF-16 (the registry's hex(1) text) and code points (what shaping and fonts are given): a
// character beyond the basic plane is a surrogate pair, and what is no character becomes U+FFFD.
TEST(WideString, Utf16AndCodePoints) {
    struct Case {
        std::wstring wide;
        std::u16string utf16;
        std::wstring back;  // FromUtf16(utf16)
    };
    const auto bad = static_cast<wchar_t>(0xD800);
    const auto beyond = static_cast<wchar_t>(0x110000);
    const Case cases[] = {
        {L"", u"", L""},
        {L"Gr\u00fc\u00dfe \u4e16", u"Gr\u00fc\u00dfe \u4e16", L"Gr\u00fc\u00dfe \u4e16"},
        {L"\U0001F600!", u"\xD83D\xDE00!", L"\U0001F600!"},
        {std::wstring(1, bad) + L"x", u"\xFFFDx", L"\uFFFDx"},
        {std::wstring(1, beyond), u"\xFFFD", L"\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::ToUtf16(c.wide), c.utf16);
        EXPECT_EQ(platform::FromUtf16(c.utf16), c.back);
    }
    // Surrogates that do not pair up are no characters.
    EXPECT_EQ(platform::FromUtf16(u"a\xD83D"
                                  u"b"),
              L"a\uFFFDb");
    EXPECT_EQ(platform::FromUtf16(u"\xDE00\xD83D"), L"\uFFFD\uFFFD");

    EXPECT_EQ(platform::ToCodePoint(L'A'), U'A');
    EXPECT_EQ(platform::ToCodePoint(static_cast<wchar_t>(0x10FFFF)), char32_t(0x10FFFF));
    EXPECT_EQ(platform::ToCodePoint(bad), char32_t(0xFFFD));
    EXPECT_EQ(platform::ToCodePoint(beyond), char32_t(0xFFFD));
    EXPECT_EQ(platform::ToCodePoint(static_cast<wchar_t>(-1)), char32_t(0xFFFD));
}
