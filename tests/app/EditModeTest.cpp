// Edit mode on the main page and the word page it opens, through the window procedure: what
// opens it, what a touch and a key do in it, and how it ends.
#include <gtest/gtest.h>

#include "app/AppWindow.h"
#include "app/MainPage.h"
#include "app/WordPage.h"
#include "audio/PadControl.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/TextField.h"

namespace {

using EditModeTest = AppWindowTest;

const UINT kCtrl = 0x1D;
const UINT kE = 0x12;

TEST_F(EditModeTest, CtrlETogglesEditModeAndACellOpensItsWordPageWithoutPlaying) {
    struct Step {
        const char* what;
        std::function<void()> act;
        bool editing;
        int page;
        int wordCell;   // the word page's cell, -1: not checked
        bool cellHeld;  // a pad contact holds cell 4
    };
    const Step steps[] = {
        {"E alone plays its cell", [this] { Key(WM_KEYDOWN, 'E', kE); }, false, IDC_SCREEN_MAIN, -1,
         false},
        {"Ctrl+E enters edit mode",
         [this] {
             Key(WM_KEYUP, 'E', kE);
             Key(WM_KEYDOWN, VK_CONTROL, kCtrl);
             Key(WM_KEYDOWN, 'E', kE);
             Key(WM_KEYUP, 'E', kE);
             Key(WM_KEYUP, VK_CONTROL, kCtrl);
         },
         true, IDC_SCREEN_MAIN, -1, false},
        {"a tap on a cell opens its word page and plays nothing",
         [this] { Tap(6 + 57 * 0 + 28, 60 + 50 * 1 + 25); }, true, IDC_SCREEN_WORD, 4, false},
        {"back leads to the pad, still editing", [this] { Key(WM_KEYDOWN, VK_ESCAPE, 0x01); }, true,
         IDC_SCREEN_MAIN, -1, false},
        {"a cell's key opens its word page too", [this] { Key(WM_KEYDOWN, 'V', 0x2F); }, true,
         IDC_SCREEN_WORD, 15, false},
        {"Escape on the pad ends edit mode",
         [this] {
             Key(WM_KEYUP, 'V', 0x2F);
             Key(WM_KEYDOWN, VK_ESCAPE, 0x01);
             window_->Pump(400);
             Key(WM_KEYDOWN, VK_ESCAPE, 0x01);
         },
         false, IDC_SCREEN_MAIN, -1, false},
        {"out of edit mode a tap plays again",
         [this] {
             SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6 + 28, 110 + 25));
         },
         false, IDC_SCREEN_MAIN, -1, true},
    };
    Load([](Settings& settings) { settings.animationsOn = 0; });
    MainPage* main = g_ui->GetMainPage();
    for (const Step& step : steps) {
        step.act();
        window_->Pump(400);
        EXPECT_EQ(main->IsEditing(), step.editing) << step.what;
        EXPECT_EQ(ShownPage(), step.page) << step.what;
        if (step.wordCell >= 0) {
            EXPECT_EQ(g_ui->GetWordPage()->GetCell(), step.wordCell) << step.what;
        }
        EXPECT_EQ(main->GetPad()->IsCellPressed(4), step.cellHeld) << step.what;
        // The switches give their place to the line and Done while editing.
        EXPECT_EQ(Find(IDC_PLAY_BEAT)->GetVisible(), step.editing ? 0 : 1) << step.what;
        EXPECT_EQ(Find(IDC_EDIT_DONE)->GetVisible(), step.editing ? 1 : 0) << step.what;
    }
}

TEST_F(EditModeTest, DoneEndsEditModeAndANoticeFirst) {
    Load();
    MainPage* main = g_ui->GetMainPage();
    main->SetEditing(true);
    main->ShowNotice(L"Not used: /tmp/x.txt: not a sound");
    EXPECT_STREQ(Find(IDC_EDIT_LINE)->GetText(), L"Not used: /tmp/x.txt: not a sound");
    Find<Button>(IDC_EDIT_DONE)->Click();
    window_->Pump(50);
    EXPECT_TRUE(main->IsEditing()) << "the first Done dismissed the notice";
    EXPECT_STREQ(Find(IDC_EDIT_LINE)->GetText(), L"Touch a word to change it");
    Find<Button>(IDC_EDIT_DONE)->Click();
    window_->Pump(50);
    EXPECT_FALSE(main->IsEditing());
    EXPECT_EQ(Find(IDC_EDIT_LINE)->GetVisible(), 0);
}

TEST_F(EditModeTest, TheWordPageTypesIntoTheFieldWithTheFocusAndKeepsThePadsKeysOut) {
    Load([](Settings& settings) { settings.animationsOn = 0; });
    g_ui->OpenWordPage(2);
    window_->Pump(50);
    TextField* text = Find<TextField>(IDC_WORD_TEXT);
    TextField* caption = Find<TextField>(IDC_WORD_CAPTION);
    EXPECT_STREQ(caption->GetText(), PadLabel(2)) << "the pad's own caption to start from";
    text->RequestFocus();
    window_->Pump(50);
    EXPECT_TRUE(text->IsFocused());
    EXPECT_FALSE(caption->IsFocused());
    for (wchar_t c : std::wstring(L"hi")) {
        SendMessage(Handle(), WM_CHAR, c, 0);
    }
    EXPECT_STREQ(text->GetText(), L"hi");
    Key(WM_KEYDOWN, VK_ESCAPE, 0x01);
    SendMessage(Handle(), WM_CHAR, 0x1B, 0);
    window_->Pump(50);
    EXPECT_EQ(ShownPage(), IDC_SCREEN_WORD) << "the first Escape lets go of the field";
    EXPECT_FALSE(text->IsFocused());
    Key(WM_KEYDOWN, VK_ESCAPE, 0x01);
    window_->Pump(400);
    EXPECT_EQ(ShownPage(), IDC_SCREEN_MAIN);
}

}  // namespace
