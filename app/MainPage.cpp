#include "app/MainPage.h"

#include "app/Ids.h"
#include "app/UserInterface.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/Slider.h"

namespace {

// Set-1 scancodes of 1 2 3 4 / Q W E R / A S D F / Z X C V: each row's four keys are
// consecutive, whatever the layout prints on them.
const UINT kRowStarts[] = {0x02, 0x10, 0x1E, 0x2C};
const wchar_t kEditLine[] = L"Touch a word to change it";

UINT KeyContact(UINT scancode) {
    return PadControl::kKeyContacts + (scancode & 0xFF);
}

}  // namespace

MainPage::MainPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_MAIN),
      close(Make<Button>(IDC_CLOSE)),
      about(Make<Button>(IDC_ABOUT)),
      settings(Make<Button>(IDC_SETTINGS)),
      pad(Make<PadControl>(IDC_PAD)),
      playBeat(Make<CheckBox>(IDC_PLAY_BEAT)),
      voice(Make<CheckBox>(IDC_VOICE)),
      beatProgress(Make<Slider>(IDC_BEAT_PROGRESS)),
      editBar(Make<ImageBox>(IDC_EDIT_BAR)),
      editLine(Make<Label>(IDC_EDIT_LINE)),
      done(Make<Button>(IDC_EDIT_DONE)) {
    const Skin& skin = ui.GetSkin();
    const int S = screenWidth;
    const int H = screenHeight;
    HFONT font = skin.GetFont(Font12Medium);

    Place(close.get(), S - ScaleX(26), 0, 26, 26);
    SetPictures(close.get(), skin.GetImage(BtnCloseUp), skin.GetImage(BtnCloseDn));
    Place(about.get(), 0, 0, 26, 26);
    SetPictures(about.get(), skin.GetImage(BtnAboutUp), skin.GetImage(BtnAboutDn));
    Place(settings.get(), ScaleX(26), 0, 26, 26);
    SetPictures(settings.get(), skin.GetImage(BtnSettingsUp), skin.GetImage(BtnSettingsDn));

    Place(pad.get(), 0, ScaleY(54), 240, 212);
    pad->SetInset(-ScaleX(6), -ScaleY(6));
    pad->SetBackImage(skin.GetImage(PadBack));
    pad->SetPressedImage(skin.GetImage(PadPressed));
    pad->SetFont(font);
    pad->SetTextFormat(kFormatWords);
    SetMargins(pad.get(), 5, 15, 5, 5);
    pad->SetHighVoice(0);
    // Between the bars of a short screen the pad takes the room there is; its words keep clear
    // of the cells' lights, which shrink with the cells, and may use the bottom margin.
    const int room = H - ScaleY(54) - ScaleY(54);
    if (room < ScaleY(212) && room > 0) {
        pad->SetBounds(0, ScaleY(54), ScaleX(240), room);
        pad->SetInset(-ScaleX(6), -ScaleY(6));
        pad->SetTextMargins(ScaleX(5), ScaleY(12) * room / ScaleY(212), ScaleX(5), 0);
    }
    pad->SetSoundBank(ui.GetSoundBank());

    Place(playBeat.get(), 0, H - ScaleY(54), 120, 54);
    SetPictures(playBeat.get(), skin.GetImage(ChkPlayBeatOff), skin.GetImage(ChkPlayBeatOn));
    playBeat->SetShowText(1);
    playBeat->SetFont(font);
    playBeat->SetTextFormat(kFormatLeft);
    SetMargins(playBeat.get(), 45, 1, 2, 1);
    playBeat->SetText(L"Play beat");
    playBeat->SetChecked(0);

    Place(voice.get(), S - ScaleX(120), H - ScaleY(54), 120, 54);
    SetPictures(voice.get(), skin.GetImage(ChkLowHighOff), skin.GetImage(ChkLowHighOn));
    voice->SetShowText(1);
    voice->SetFont(font);
    voice->SetTextFormat(kFormatCentred);
    SetMargins(voice.get(), 20, 1, 20, 1);
    voice->SetText(L"Low    High");
    voice->SetChecked(0);

    Place(beatProgress.get(), 0, H - ScaleY(6), 240, 6);
    beatProgress->SetBackImage(skin.GetImage(SldProgressBack), 1, 0);
    beatProgress->SetFillColors(kGradientTop, kGradientBottom, 0);
    beatProgress->SetShowText(0, 0);
    beatProgress->SetRange(0, 100, 1, 0);
    beatProgress->SetSnapToStep(0);
    beatProgress->SetReadOnly(1);
    beatProgress->SetPercent(0, 0);

    // Edit mode's line and button take the switches' place on a bottom bar of their own.
    Place(editBar.get(), 0, H - ScaleY(54), 240, 54);
    SetPicture(editBar.get(), skin.GetImage(PicBotBar));
    editBar->SetVisible(0);
    Place(editLine.get(), 0, H - ScaleY(54), 170, 54);
    SetupLabel(editLine.get(), font, kFormatLines, kEditLine);
    SetMargins(editLine.get(), 10, 8, 4, 2);
    editLine->SetVisible(0);
    Place(done.get(), S - ScaleX(66), H - ScaleY(54) + ScaleY(12), 56, 30);
    SetupKey(done.get(), font, L"Done");
    done->SetVisible(0);

    // The pad has the first claim on a touch; the switches come before the bar over their edge.
    Compose({pad.get(), playBeat.get(), voice.get(), beatProgress.get(), editBar.get(),
             editLine.get(), done.get(), ui.GetTopBar(), close.get(), settings.get(), about.get()});

    if (Beat* beat = ui.GetBeat()) {
        beat->SetListener(this);
    }
}

MainPage::~MainPage() {
    if (Beat* beat = ui.GetBeat()) {
        beat->SetListener(nullptr);
    }
}

int MainPage::PadCellForScancode(UINT scancode) {
    if (scancode & KF_EXTENDED) {
        return -1;
    }
    for (int row = 0; row < 4; ++row) {
        if (scancode >= kRowStarts[row] && scancode < kRowStarts[row] + 4) {
            return row * 4 + static_cast<int>(scancode - kRowStarts[row]);
        }
    }
    return -1;
}

void MainPage::SetEditing(bool on) {
    editing = on;
    pad->SetSelecting(on ? 1 : 0);
    if (on) {
        ReleaseKeys();  // a cell held by a key would sound on after its key went to the editor
    }
    ShowBar();
}

void MainPage::ShowNotice(const wchar_t* text) {
    noticeShown = text && *text;
    ShowBar();
    if (noticeShown) {
        editLine->SetText(text);
    }
}

void MainPage::ShowBar() {
    const bool line = editing || noticeShown;
    editLine->SetText(kEditLine);
    done->SetText(noticeShown && !editing ? L"OK" : L"Done");
    editBar->SetVisible(line ? 1 : 0);
    editLine->SetVisible(line ? 1 : 0);
    done->SetVisible(line ? 1 : 0);
    playBeat->SetVisible(line ? 0 : 1);
    voice->SetVisible(line ? 0 : 1);
    beatProgress->SetVisible(line ? 0 : 1);
    RECT bar = {0, screenHeight - ScaleY(54), screenWidth, screenHeight};
    InvalidateRect(window, &bar, FALSE);
    pad->Invalidate();
}

bool MainPage::OnCommand(int id, int code, LPARAM control) {
    switch (id) {
        case IDC_PAD:
            if (code == Clicked && editing) {
                ui.OpenWordPage(pad->GetSelectedCell());
            }
            return true;
        case IDC_EDIT_DONE:
            if (code == Clicked) {
                // A notice goes first; edit mode ends with its own Done.
                if (noticeShown) {
                    noticeShown = false;
                    ShowBar();
                } else {
                    SetEditing(false);
                }
            }
            return true;
        case IDC_CLOSE:
            if (code == Clicked) {
                if (ui.CloseButtonCloses()) {
                    SendMessage(window, WM_CLOSE, 0, 0);
                } else {
                    ShowWindow(window, SW_MINIMIZE);
                }
            }
            return true;
        case IDC_ABOUT:
            if (code == Clicked) {
                ui.ChangePage(IDC_SCREEN_ABOUT, kTransitionToPage);
            }
            return true;
        case IDC_SETTINGS:
            if (code == Clicked) {
                ui.ChangePage(IDC_SCREEN_SETTINGS, kTransitionToPage);
            }
            return true;
        case IDC_PLAY_BEAT:
            if (code == Toggled && control && ui.GetBeat()) {
                if (reinterpret_cast<CheckBox*>(control)->IsChecked()) {
                    ui.GetBeat()->Start();
                } else {
                    ui.GetBeat()->Stop();
                }
            }
            return true;
        case IDC_VOICE:
            if (code == Toggled && control) {
                pad->SetHighVoice(reinterpret_cast<CheckBox*>(control)->IsChecked() ? 1 : 0);
            }
            return true;
        default:
            return false;
    }
}

bool MainPage::OnKeyDown(UINT virtualKey, UINT scancode) {
    if (virtualKey == 'E' && ui.IsControlDown()) {
        SetEditing(!editing);
        return true;
    }
    const int cell = PadCellForScancode(scancode);
    if (cell >= 0 && editing) {
        ui.OpenWordPage(cell);
        return true;
    }
    if (virtualKey == VK_ESCAPE && (editing || noticeShown)) {
        done->Click();
        return true;
    }
    if (cell >= 0) {
        pad->ContactDown(KeyContact(scancode), cell, SoundBank::kFullLevel);
        return true;
    }
    if (editing || noticeShown) {
        return false;  // the switches are hidden
    }
    switch (virtualKey) {
        case VK_SPACE:
            playBeat->Toggle();
            return true;
        case VK_TAB:
            voice->Toggle();
            return true;
        default:
            return false;
    }
}

void MainPage::OnKeyUp(UINT scancode) {
    // A key lifted after the page changed still lets its cell go.
    if (PadCellForScancode(scancode) >= 0) {
        pad->ContactUp(KeyContact(scancode));
    }
}

void MainPage::ReleaseKeys() {
    for (UINT start : kRowStarts) {
        for (UINT scancode = start; scancode < start + 4; ++scancode) {
            pad->ContactUp(KeyContact(scancode));
        }
    }
}

int MainPage::OnFingerDown(UINT contact, int x, int y) {
    // Other controls answer the first finger only; in edit mode the first finger chooses.
    return editing ? 0 : pad->StrokeDown(contact, x, y);
}

void MainPage::OnFingerMove(UINT contact, int x, int y) {
    pad->StrokeMove(contact, x, y);
}

void MainPage::OnFingerUp(UINT contact, int x, int y) {
    pad->StrokeUp(contact, x, y);
}

std::vector<Control*> MainPage::FocusOrder() const {
    if (editing || noticeShown) {
        return {about.get(), settings.get(), close.get(), pad.get(), done.get()};
    }
    return {about.get(), settings.get(), close.get(), pad.get(), playBeat.get(), voice.get()};
}

void MainPage::OnBeatStarted() {
    playBeat->SetText(L"Stop beat");
    playBeat->Invalidate();
    ResetVoice();
}

void MainPage::OnBeatStopped() {
    playBeat->SetChecked(0);
    playBeat->SetText(L"Play beat");
    playBeat->Invalidate();
    ResetVoice();
}

void MainPage::OnBeatProgress(int percent) {
    beatProgress->SetPercent(percent, 1);
}

void MainPage::ResetVoice() {
    voice->SetChecked(0);
    voice->Invalidate();
    pad->SetHighVoice(0);
}
