#include <gtest/gtest.h>

#include <string>

#include "platform/registry/RegistryFile.h"

using platform::registry::Contents;
using platform::registry::Value;

namespace {

const std::wstring kKey = L"HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings";

std::string WithValue(const std::string& line) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n" +
           line + "\n";
}

DWORD DwordOf(const Contents& c, const std::wstring& name) {
    const Value* v = c.Find(kKey, name);
    return v && v->IsDword() ? v->dword : 0xDEADBEEF;
}

}  // namespace

TEST(RegistryFile, ReadsWhatRegistryEditorsWrite) {
    Contents c;
    ASSERT_TRUE(
        c.Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                "; a comment\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\r\n"
                "\"VolumeBeat\"=dword:00000064\r\n"
                "\"Short\"=dword:7\r\n"
                "  \"Spaced\" = \"a \\\"b\\\" c:\\\\\"  \r\n"
                "@=\"default\"\r\n"
                "\"Blob\"=hex:01,02,\\\r\n"
                "  ff\r\n"
                "\"Wide\"=hex(1):48,00,69,00,00,00\r\n"
                "\"Expand\"=hex(2):41,00,00,00\r\n"
                "\"Four\"=hex(4):2a,00,00,00\r\n"
                "\"Short dword\"=hex(4):\r\n"
                "\"Gone\"=dword:1\r\n"
                "\"Gone\"=-\r\n"
                "[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n"
                "\"ignored\"=dword:1"));
    EXPECT_EQ(DwordOf(c, L"VolumeBeat"), 100u);
    EXPECT_EQ(DwordOf(c, L"short"), 7u);
    EXPECT_EQ(c.Find(kKey, L"Spaced")->text, L"a \"b\" c:\\");
    EXPECT_EQ(c.Find(kKey, L"")->text, L"default");
    EXPECT_EQ(c.Find(kKey, L"Blob")->bytes, (std::vector<uint8_t>{1, 2, 0xff}));
    EXPECT_TRUE(c.Find(kKey, L"Wide")->IsString());
    EXPECT_EQ(c.Find(kKey, L"Wide")->text, L"Hi");
    EXPECT_EQ(c.Find(kKey, L"Expand")->type, 2u);
    EXPECT_EQ(c.Find(kKey, L"Gone"), nullptr);
    EXPECT_EQ(DwordOf(c, L"Four"), 42u);
    EXPECT_FALSE(c.Find(kKey, L"Short dword")->IsDword());

    // Writing and reading again gives the same contents, other types included.
    Contents again;
    ASSERT_TRUE(again.Parse(c.Serialize())) << c.Serialize();
    EXPECT_TRUE(again == c);
    EXPECT_EQ(again.Serialize(), c.Serialize());
}

TEST(RegistryFile, AcceptsMissingHeaderAndFinalNewline) {
    Contents c;
    ASSERT_TRUE(
        c.Parse("[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n"
                "\"VolumeBeat\"=dword:0000000a"));
    EXPECT_EQ(DwordOf(c, L"VolumeBeat"), 10u);
    EXPECT_TRUE(c.Parse(""));
    EXPECT_TRUE(c.Empty());
    EXPECT_TRUE(c.Parse("Windows Registry Editor Version 5.00"));
}

TEST(RegistryFile, RefusesMalformedData) {
    const char* bad[] = {
        "\"V\"=dword:",
        "\"V\"=dword:123456789",
        "\"V\"=dword:12g4",
        "\"V\"=dword:-1",
        "\"V\"=dword:00000001 junk",
        "\"V\"=\"text\" junk",
        "\"V\"=\"unterminated",
        "\"V\"=\"bad \\n escape\"",
        "\"V\"=hex:1,2,345",
        "\"V\"=hex(zz):01",
        "\"V\"=hex(1:01",
        "\"V\"=word:1",
        "\"V\"",
        "\"V\"=",
        "V=dword:1",
        "\"V\xff\"=dword:1",
    };
    for (const char* line : bad) {
        Contents c;
        EXPECT_FALSE(c.Parse(WithValue(line))) << line;
        EXPECT_TRUE(c.Empty()) << line;
    }
    const char* badFiles[] = {
        "\"V\"=dword:1\n",  // a value outside any key
        "[HKEY_NOWHERE\\Software]\n",
        "[HKEY_LOCAL_MACHINE\\Software\n",
        "[HKEY_LOCAL_MACHINE\\a\\\\b]\n",
        "[]\n",
        "just some text\n",
    };
    for (const char* file : badFiles) {
        Contents c;
        EXPECT_FALSE(c.Parse(file)) << file;
    }
    Contents c;
    EXPECT_FALSE(c.Parse(std::string("[HKEY_LOCAL_MACHINE\\x]\n\"V\"=dword:1\n\0", 33)));
}

TEST(RegistryFile, RefusesHugeLinesAndFiles) {
    Contents c;
    EXPECT_FALSE(c.Parse(WithValue("\"V\"=\"" + std::string(2u << 20, 'a') + "\"")));
    std::string many = "[HKEY_LOCAL_MACHINE\\x]\n";
    while (many.size() <= platform::registry::kMaxFileSize) {
        many += "; " + std::string(1000, 'c') + "\n";
    }
    EXPECT_FALSE(c.Parse(many));
    // Continuation lines cannot add up to a huge line either.
    std::string joined = WithValue("\"V\"=hex:00,\\");
    for (int i = 0; i < 400000; ++i) {
        joined += "00,\\\n";
    }
    EXPECT_FALSE(c.Parse(joined));
}

TEST(RegistryFile, KeyNamesAreNormalised) {
    std::wstring name;
    ASSERT_TRUE(Contents::KeyName(HKEY_LOCAL_MACHINE, L"\\Software\\X\\", &name));
    EXPECT_EQ(name, L"HKEY_LOCAL_MACHINE\\Software\\X");
    ASSERT_TRUE(Contents::KeyName(HKEY_USERS, L"", &name));
    EXPECT_EQ(name, L"HKEY_USERS");
    EXPECT_FALSE(Contents::KeyName(HKEY_USERS, L"a\\\\b", &name));
    EXPECT_FALSE(Contents::KeyName(HKEY_USERS, L"a\nb", &name));
    EXPECT_FALSE(Contents::KeyName(nullptr, L"a", &name));
    EXPECT_TRUE(Contents::SameName(L"Stra\u00dfe \u00c4", L"STRA\u00dfE \u00e4"));
}
