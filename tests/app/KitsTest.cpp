// The kits as the kits page and the word editor use them: which names a kit may take, the list,
// and a kit to write words into that is never the built-in one.
#include "app/Kits.h"

#include <filesystem>
#include <fstream>

#include "app/AppWindow.h"
#include "support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;

class KitsTest : public AppWindowTest {
protected:
    void SetUp() override {
        AppWindowTest::SetUp();
        fs::create_directories(kitsFolder / "Taken");
        fs::create_directories(kitsFolder / ".hidden");
        std::ofstream(kitsFolder / "a file") << "not a kit";
        Load([this](Settings& settings) {
            StringCchCopyW(settings.soundsFolder, MAX_PATH, builtIn.c_str());
        });
    }

    TempDir data;
    ScopedEnvironment env{"XDG_DATA_HOME", data.Path().c_str()};
    const fs::path kitsFolder = fs::path(data.Path()) / "pulsor" / "kits";
    const std::wstring builtIn = platform::FromUtf8(PULSOR_SOURCE_DIR "/assets/Sounds/");
};

TEST_F(KitsTest, ANameIsRefusedWithAReasonWhenItCannotNameAFolderBesideTheOthers) {
    struct Case {
        std::wstring name;
        const wchar_t* reason;  // a part of the line said; null: the name is fine
    };
    const Case cases[] = {
        {L"", L"needs a name"},
        {L"a/b", L"\"/\""},
        {L".", L"cannot name"},
        {L"..", L"cannot name"},
        {L".hidden", L"dot"},
        {L"Taken", L"already"},
        {std::wstring(300, L'x'), L"too long"},
        {L"Fine", nullptr},
        {L"taken", nullptr},  // names differ by case
        {L"\u00C9t\u00E9 \U0001F600", nullptr},
    };
    Kits& kits = g_ui->GetKits();
    for (const Case& c : cases) {
        const std::wstring reason = kits.CheckName(c.name);
        if (c.reason) {
            EXPECT_NE(reason.find(c.reason), std::wstring::npos)
                << platform::ToUtf8(c.name) << ": " << platform::ToUtf8(reason);
        } else {
            EXPECT_EQ(reason, L"") << platform::ToUtf8(c.name);
        }
    }
}

TEST_F(KitsTest, TheBuiltInWordsAreNeverWrittenButGiveAKitThatIs) {
    Kits& kits = g_ui->GetKits();
    std::vector<Kits::Kit> list = kits.List();
    ASSERT_EQ(list.size(), 2u);  // no hidden folder, no file
    EXPECT_TRUE(list[0].IsBuiltIn());
    EXPECT_TRUE(kits.IsCurrent(list[0]));
    EXPECT_EQ(list[1].name, L"Taken");

    std::wstring error;
    Kits::Kit renamed;
    EXPECT_FALSE(kits.Rename(list[0], L"Mine", &renamed, &error));
    EXPECT_NE(error.find(L"built-in"), std::wstring::npos);
    EXPECT_FALSE(kits.Delete(list[0], &error));
    EXPECT_NE(error.find(L"built-in"), std::wstring::npos);

    // Words to be edited go to a new kit made from the built-in ones, which then plays.
    const std::wstring writable = kits.MakeWritable(&error);
    EXPECT_EQ(platform::ToUtf8(writable), (kitsFolder / "My words").string() + "/")
        << platform::ToUtf8(error);
    EXPECT_TRUE(fs::exists(kitsFolder / "My words" / "H16.wav"));
    EXPECT_EQ(kits.Current().name, L"My words");
    EXPECT_EQ(kits.MakeWritable(&error), writable);  // now it is the current kit itself

    // A rename of the kit playing keeps it playing, under its new name.
    ASSERT_TRUE(kits.Rename(kits.Current(), L"Mine", &renamed, &error)) << platform::ToUtf8(error);
    EXPECT_EQ(kits.Current().name, L"Mine");
    EXPECT_EQ(std::wstring(g_ui->GetSettings().kitFolder), renamed.folder);
    EXPECT_FALSE(kits.Rename(kits.Current(), L"Taken", &renamed, &error));
    EXPECT_TRUE(fs::exists(kitsFolder / "Mine" / "L1.wav"));
}

}  // namespace
