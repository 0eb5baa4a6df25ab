// Changing the kit while playing: the load on its own thread, only the last kit asked for handed
// over, and a bank taken out of play kept until its words have ended.
#include "app/KitSwitch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/Ids.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "platform/kernel/WideString.h"
#include "platform/wave/Audio.h"
#include "support/ContentTestSupport.h"
#include "support/TestWindow.h"

namespace {

class KitSwitchTest : public testing::Test {
protected:
    void SetUp() override {
        platform::DeviceOptions options;
        options.headless = true;
        std::string error;
        ASSERT_TRUE(platform::wave::StartAudio(options, &error)) << error;
    }
    void TearDown() override {
        switcher.reset();
        platform::wave::StopAudio();
    }

    // A kit folder whose labels.txt captions word 1 with `caption`.
    std::wstring MakeKit(const std::string& name, const std::string& caption) {
        const std::string dir = folder.Path().string() + "/" + name;
        const std::string cmd =
            "mkdir -p '" + dir + "' && sox -n -r 22050 '" + dir + "/L1.flac' synth 0.3 sine 500";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::ofstream(dir + "/labels.txt") << caption << "\n";
        return platform::FromUtf8(dir + "/");
    }

    // The next announcement of a finished load (lParam), 0 when none comes.
    LPARAM NextLoad() {
        for (int i = 0; i < 500; ++i) {
            window.Pump(10);
            for (const TestWindow::Message& m : window.Messages(WM_COMMAND)) {
                if (LOWORD(m.wParam) == IDC_KIT_LOADED) {
                    window.ClearMessages();
                    return m.lParam;
                }
            }
        }
        return 0;
    }

    TestWindow window{240, 320, 96};
    content_test::TempFolder folder{"kit-switch"};
    const std::wstring builtIn = content_test::AssetFolder("Sounds");
    std::unique_ptr<KitSwitch> switcher =
        std::make_unique<KitSwitch>(window.Handle(), IDC_KIT_LOADED, builtIn.c_str());
};

TEST_F(KitSwitchTest, OnlyTheLastKitAskedForIsHandedOverWithItsFolder) {
    const std::wstring first = MakeKit("first", "One");
    const std::wstring second = MakeKit("second", "Two");
    ASSERT_TRUE(switcher->Start(first.c_str()));
    ASSERT_TRUE(switcher->Start(L""));  // asked while the first loads: replaced by the next
    ASSERT_TRUE(switcher->Start(second.c_str()));
    EXPECT_TRUE(switcher->IsLoading());

    WCHAR kit[MAX_PATH];
    const LPARAM firstLoad = NextLoad();
    ASSERT_NE(firstLoad, 0);
    EXPECT_EQ(switcher->Finish(firstLoad, kit).bank, nullptr);
    EXPECT_EQ(switcher->Finish(firstLoad, kit).bank, nullptr);  // a stale announcement

    KitSwitch::Sounds sounds = switcher->Finish(NextLoad(), kit);
    ASSERT_NE(sounds.bank, nullptr);
    EXPECT_EQ(std::wstring(kit), second);
    ASSERT_NE(sounds.bank->GetLabel(1), nullptr);
    EXPECT_EQ(std::wstring(sounds.bank->GetLabel(1)), L"Two");
    EXPECT_TRUE(sounds.bank->GetSample(1, false)->IsPlayable());
    EXPECT_NE(sounds.beat, nullptr);  // the built-in beat, which the kit lacks
    EXPECT_FALSE(switcher->IsLoading());

    // The built-in words: no captions of their own.
    ASSERT_TRUE(switcher->Start(L""));
    sounds = switcher->Finish(NextLoad(), kit);
    ASSERT_NE(sounds.bank, nullptr);
    EXPECT_EQ(kit[0], L'\0');
    EXPECT_EQ(sounds.bank->GetLabel(1), nullptr);
}

TEST_F(KitSwitchTest, ABankTakenOutLastsUntilItsWordsHaveEnded) {
    KitSwitch::Sounds quiet = KitSwitch::Load(L"", builtIn.c_str());
    KitSwitch::Sounds playing = KitSwitch::Load(L"", builtIn.c_str());
    WavePlayer* word = playing.bank->GetSample(2, true);
    ASSERT_TRUE(word->IsPlayable());
    playing.bank->Play(2, true);
    EXPECT_TRUE(playing.bank->IsSounding());

    switcher->Retire(std::move(quiet.bank), IDT_KIT_SWEEP);
    EXPECT_EQ(switcher->RetiredCount(), 0u);  // nothing of it sounded
    switcher->Retire(std::move(playing.bank), IDT_KIT_SWEEP);
    EXPECT_EQ(switcher->RetiredCount(), 1u);
    window.Pump(100);
    EXPECT_EQ(switcher->RetiredCount(), 1u);
    EXPECT_TRUE(word->IsSounding());  // still there, still playing
    window.Pump(2000);
    EXPECT_EQ(switcher->RetiredCount(), 0u);
}

}  // namespace
