// The pages as the loader builds them, through the window procedure: what each lists for
// keys and switches, which keys act where, what each answers, and notes on the pad.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/AppWindow.h"
#include "app/MainPage.h"
#include "app/MidiInput.h"
#include "audio/PadControl.h"
#include "support/ScopedEnvironment.h"
#include "touchui/CheckBox.h"

namespace {

using PagesTest = AppWindowTest;

TEST_F(PagesTest, EachPageListsWhatKeysAndSwitchesCanActOnInReadingOrder) {
    // No kits of the user's: the built-in words alone.
    ScopedEnvironment data("XDG_DATA_HOME", "/nonexistent");
    Load();
    const std::vector<std::vector<int>> expected = {
        {IDC_ABOUT, IDC_SETTINGS, IDC_CLOSE, IDC_PAD, IDC_PLAY_BEAT, IDC_VOICE},
        {IDC_DONATE, IDC_ABOUT_BACK},
        {IDC_VOLUME_BEAT, IDC_VOLUME_SOUNDS, IDC_XBUTTON, IDC_ANIMATIONS, IDC_VIBRATIONS, IDC_CALL,
         IDC_KIT, IDC_ACCESS, IDC_SETTINGS_BACK},
        {IDC_KIT_ROW, IDC_KIT_NEW, IDC_KIT_RENAME, IDC_KIT_DELETE, IDC_EDIT_WORDS, IDC_KITS_BACK},
        {IDC_WORD_CAPTION, IDC_WORD_TEXT, IDC_WORD_SAY, IDC_WORD_RECORD, IDC_WORD_PLAY_LOW,
         IDC_WORD_PLAY_HIGH, IDC_WORD_BUILT_IN, IDC_WORD_BACK},
        {IDC_METHOD_FIRST, IDC_METHOD_FIRST + 1, IDC_METHOD_FIRST + 2, IDC_METHOD_FIRST + 3,
         IDC_ACCESS_VALUE_FIRST, IDC_ACCESS_VALUE_FIRST + 1, IDC_ACCESS_VALUE_FIRST + 2,
         IDC_ACCESS_VALUE_FIRST + 3, IDC_ACCESS_VALUE_FIRST + 4, IDC_CUES_FIRST, IDC_CUES_FIRST + 1,
         IDC_CUES_FIRST + 2, IDC_ACCESS_VALUE_FIRST + 5, IDC_ACCESS_BACK},
    };
    const auto& pages = g_ui->GetPages();
    ASSERT_EQ(pages.size(), expected.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::vector<Control*> order = pages[i]->FocusOrder();
        std::vector<int> ids;
        const Control* before = nullptr;
        for (const Control* control : order) {
            ids.push_back(control->GetId());
            const std::vector<Control*> onScreen = ControlsOf(*pages[i]);
            EXPECT_NE(std::find(onScreen.begin(), onScreen.end(), control), onScreen.end())
                << control->GetId() << " is on its page";
            // A panel's rows read in their own order, before the bar under the panel, however
            // far down they reach while scrolled out of view.
            if (before && (dynamic_cast<ScrollPanel*>(control->GetParent()) != nullptr) ==
                              (dynamic_cast<ScrollPanel*>(before->GetParent()) != nullptr)) {
                const bool later = control->GetTop() > before->GetTop() ||
                                   (control->GetTop() == before->GetTop() &&
                                    control->GetLeft() > before->GetLeft());
                EXPECT_TRUE(later) << control->GetId() << " reads after " << before->GetId();
            }
            before = control;
        }
        EXPECT_EQ(ids, expected[i]) << "page " << pages[i]->GetId();
    }
}

TEST_F(PagesTest, KeysActOnThePageShownAsTheirTouchesDo) {
    struct Case {
        const char* what;
        int page;
        UINT virtualKey, scancode;
        bool repeat;
        int pageAfter;
        int playBeat, voice, highVoice;
        int keyCell;  // the cell the key holds on the pad
    };
    const UINT Q = 0x10;
    const Case cases[] = {
        {"Space plays the beat", IDC_SCREEN_MAIN, VK_SPACE, 0x39, false, IDC_SCREEN_MAIN, 1, 0, 0,
         -1},
        {"Tab is the voice switch", IDC_SCREEN_MAIN, VK_TAB, 0x0F, false, IDC_SCREEN_MAIN, 0, 1, 1,
         -1},
        {"Q is the second row's first cell", IDC_SCREEN_MAIN, 'Q', Q, false, IDC_SCREEN_MAIN, 0, 0,
         0, 4},
        {"a repeat does nothing", IDC_SCREEN_MAIN, 'Q', Q, true, IDC_SCREEN_MAIN, 0, 0, 0, -1},
        {"an extended key is no cell", IDC_SCREEN_MAIN, 'Q', Q | KF_EXTENDED, false,
         IDC_SCREEN_MAIN, 0, 0, 0, -1},
        {"Escape on the main page does nothing", IDC_SCREEN_MAIN, VK_ESCAPE, 0x01, false,
         IDC_SCREEN_MAIN, 0, 0, 0, -1},
        {"Escape leaves the about page", IDC_SCREEN_ABOUT, VK_ESCAPE, 0x01, false, IDC_SCREEN_MAIN,
         0, 0, 0, -1},
        {"Escape leaves the settings page", IDC_SCREEN_SETTINGS, VK_ESCAPE, 0x01, false,
         IDC_SCREEN_MAIN, 0, 0, 0, -1},
        {"Escape leaves the kits page for the settings", IDC_SCREEN_KITS, VK_ESCAPE, 0x01, false,
         IDC_SCREEN_SETTINGS, 0, 0, 0, -1},
        {"the pad's keys play nothing on another page", IDC_SCREEN_ABOUT, 'Q', Q, false,
         IDC_SCREEN_ABOUT, 0, 0, 0, -1},
        {"nor Space", IDC_SCREEN_SETTINGS, VK_SPACE, 0x39, false, IDC_SCREEN_SETTINGS, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        Load();
        g_ui->ShowPage(c.page);
        Key(WM_KEYDOWN, c.virtualKey, c.scancode, c.repeat);
        window_->Pump(400);  // the commands, and any transition to its end
        PadControl* pad = g_ui->GetMainPage()->GetPad();
        EXPECT_EQ(ShownPage(), c.pageAfter) << c.what;
        EXPECT_EQ(Find<CheckBox>(IDC_PLAY_BEAT)->IsChecked(), c.playBeat) << c.what;
        EXPECT_EQ(Find<CheckBox>(IDC_VOICE)->IsChecked(), c.voice) << c.what;
        EXPECT_EQ(pad->GetHighVoice(), c.highVoice) << c.what;
        EXPECT_EQ(pad->GetContactCell(PadControl::kKeyContacts + (c.scancode & 0xFF)), c.keyCell)
            << c.what;
        delete g_ui;
        g_ui = nullptr;
    }
}

TEST_F(PagesTest, AHeldKeyLetsItsCellGoOnAnyPageAndAllGoWithTheFocus) {
    Load();
    PadControl* pad = g_ui->GetMainPage()->GetPad();
    Key(WM_KEYDOWN, '1', 0x02);
    Key(WM_KEYDOWN, 'V', 0x2F);
    Key(WM_KEYDOWN, 'A', 0x1E);
    EXPECT_TRUE(pad->IsCellPressed(0));
    EXPECT_TRUE(pad->IsCellPressed(15));
    EXPECT_TRUE(pad->IsCellPressed(8));
    g_ui->ShowPage(IDC_SCREEN_ABOUT);
    Key(WM_KEYUP, '1', 0x02);
    EXPECT_FALSE(pad->IsCellPressed(0)) << "lifted after the page changed";
    SendMessage(Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(pad->IsCellPressed(15));
    EXPECT_FALSE(pad->IsCellPressed(8));
}

TEST_F(PagesTest, EachCommandIsAnsweredByItsPage) {
    struct Case {
        int page;
        int id, code;
        bool animations;
        int pageAfter;
    };
    const Case cases[] = {
        {IDC_SCREEN_MAIN, IDC_ABOUT, Clicked, true, IDC_SCREEN_ABOUT},
        {IDC_SCREEN_MAIN, IDC_SETTINGS, Clicked, false, IDC_SCREEN_SETTINGS},
        {IDC_SCREEN_MAIN, IDC_ABOUT, Released, false, IDC_SCREEN_MAIN},
        {IDC_SCREEN_ABOUT, IDC_ABOUT_BACK, Clicked, true, IDC_SCREEN_MAIN},
        {IDC_SCREEN_SETTINGS, IDC_SETTINGS_BACK, Clicked, false, IDC_SCREEN_MAIN},
        {IDC_SCREEN_SETTINGS, IDC_SETTINGS_BACK, Pressed, false, IDC_SCREEN_SETTINGS},
        {IDC_SCREEN_SETTINGS, IDC_ACCESS, Clicked, true, IDC_SCREEN_ACCESS},
        {IDC_SCREEN_ACCESS, IDC_ACCESS_BACK, Clicked, false, IDC_SCREEN_SETTINGS},
    };
    for (const Case& c : cases) {
        Load([&](Settings& settings) { settings.animationsOn = c.animations ? 1 : 0; });
        g_ui->ShowPage(c.page);
        SendMessage(Handle(), WM_COMMAND, MAKEWPARAM(c.id, c.code), 0);
        EXPECT_EQ(ShownPage(), c.pageAfter) << c.id << " code " << c.code;
        const bool running =
            g_ui->GetHost()->GetTransition() && g_ui->GetHost()->GetTransition()->running;
        EXPECT_EQ(running, c.animations && c.pageAfter != c.page) << c.id << " code " << c.code;
        delete g_ui;
        g_ui = nullptr;
    }
}

TEST_F(PagesTest, NotesHoldTheirCellsWhicheverPageIsShownAndNeverVibrate) {
    Load();
    PadControl* pad = g_ui->GetMainPage()->GetPad();
    g_ui->ShowPage(IDC_SCREEN_SETTINGS);
    SendMessage(Handle(), WM_MIDI_DATA, 0x7F2490, 0);  // note 36: bottom left
    EXPECT_EQ(pad->GetContactCell(PadControl::kMidiContacts + 36), 12);
    SendMessage(Handle(), WM_MIDI_DATA, 0x002480, 0);
    EXPECT_FALSE(pad->IsCellPressed(12));
    EXPECT_TRUE(window_->Device().Vibrations().empty());
}

TEST(MainPage, TheKeysUnderTheLeftHandAreTheCellsByPosition) {
    struct Case {
        UINT scancode;
        int cell;
    };
    const Case cases[] = {{0x02, 0},  {0x05, 3},  {0x10, 4},  {0x13, 7},  {0x1E, 8},
                          {0x21, 11}, {0x2C, 12}, {0x2F, 15}, {0x01, -1}, {0x06, -1},
                          {0x0F, -1}, {0x14, -1}, {0x30, -1}, {0x39, -1}, {0x110, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(MainPage::PadCellForScancode(c.scancode), c.cell) << std::hex << c.scancode;
    }
}

}  // namespace
