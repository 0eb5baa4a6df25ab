#include "app/SettingsPage.h"

#include <string>

#include "app/Beat.h"
#include "app/CallOutput.h"
#include "app/Ids.h"
#include "app/Kits.h"
#include "app/StackRows.h"
#include "app/UserInterface.h"
#include "audio/SoundBank.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/ScrollPanel.h"
#include "touchui/Slider.h"

SettingsPage::SettingsPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_SETTINGS),
      volumeBeatCaption(Make<Label>(IDC_VOLUME_BEAT_CAPTION)),
      volumeBeat(Make<Slider>(IDC_VOLUME_BEAT)),
      volumeSoundsCaption(Make<Label>(IDC_VOLUME_SOUNDS_CAPTION)),
      volumeSounds(Make<Slider>(IDC_VOLUME_SOUNDS)),
      xButtonCaption(Make<Label>(IDC_XBUTTON_CAPTION)),
      xButton(Make<CheckBox>(IDC_XBUTTON)),
      animationsCaption(Make<Label>(IDC_ANIMATIONS_CAPTION)),
      animations(Make<CheckBox>(IDC_ANIMATIONS)),
      vibrationsCaption(Make<Label>(IDC_VIBRATIONS_CAPTION)),
      vibrations(Make<CheckBox>(IDC_VIBRATIONS)),
      callCaption(Make<Label>(IDC_CALL_CAPTION)),
      call(Make<CheckBox>(IDC_CALL)),
      callState(Make<Label>(IDC_CALL_STATE)),
      kitCaption(Make<Label>(IDC_KIT_CAPTION)),
      kit(Make<Button>(IDC_KIT)),
      accessCaption(Make<Label>(IDC_ACCESS_CAPTION)),
      access(Make<Button>(IDC_ACCESS)),
      rows(Make<ScrollPanel>(IDC_SETTINGS_ROWS)) {
    const Settings& settings = ui.GetSettings();
    const int H = screenHeight;

    // The rows stack: each term of a sum is converted on its own.
    const int yVolumeBeat = ScaleY(54) + ScaleY(30);
    const int yVolumeSoundsCaption = yVolumeBeat + ScaleY(15);
    const int yVolumeSounds = yVolumeSoundsCaption + ScaleY(30);
    const int yXButton = yVolumeSounds + ScaleY(15) + ScaleY(15);
    const int yAnimations = yXButton + ScaleY(30) + ScaleY(8);
    const int yVibrations = yAnimations + ScaleY(30) + ScaleY(8);
    SetupCaption(volumeBeatCaption.get(), ScaleY(54), 240, L"Volume beat:");
    SetupVolume(volumeBeat.get(), yVolumeBeat, settings.volumeBeat);
    SetupCaption(volumeSoundsCaption.get(), yVolumeSoundsCaption, 240, L"Volume sounds:");
    SetupVolume(volumeSounds.get(), yVolumeSounds, settings.volumeSounds);
    SetupCaption(xButtonCaption.get(), yXButton, 120, L"XButton (close):");
    SetupSwitch(xButton.get(), yXButton, settings.xButtonClose);
    SetupCaption(animationsCaption.get(), yAnimations, 120, L"Animations:");
    SetupSwitch(animations.get(), yAnimations, settings.animationsOn);
    SetupCaption(vibrationsCaption.get(), yVibrations, 120, L"Touch vibrations:");
    SetupSwitch(vibrations.get(), yVibrations, settings.vibrationsOn);
    if (yVibrations + ScaleY(30) > H - ScaleY(54)) {
        std::vector<StackRow> rows = {{0, ScaleY(30), true},          {0, ScaleY(15), false},
                                      {0, ScaleY(30), true},          {0, ScaleY(15), false},
                                      {ScaleY(15), ScaleY(30), true}, {ScaleY(8), ScaleY(30), true},
                                      {ScaleY(8), ScaleY(30), true}};
        StackRows(rows, ScaleY(54), H - ScaleY(54));
        Control* placed[] = {volumeBeatCaption.get(), volumeBeat.get(), volumeSoundsCaption.get(),
                             volumeSounds.get()};
        for (int i = 0; i < 4; ++i) {
            Restack(placed[i], rows[i]);
        }
        Control* captions[] = {xButtonCaption.get(), animationsCaption.get(),
                               vibrationsCaption.get()};
        CheckBox* switches[] = {xButton.get(), animations.get(), vibrations.get()};
        for (int i = 0; i < 3; ++i) {
            const StackRow& row = rows[4 + i];
            Restack(captions[i], row);
            // A shorter switch keeps its picture's shape and its right edge.
            const int w = ScaleX(100) * row.h / ScaleY(30);
            switches[i]->SetBounds(ScaleX(120) + ScaleX(100) - w, row.y, w, row.h);
        }
    }
    // Into calls, below the rows above as they are spaced (stacked on a short screen): it scrolls
    // into view where the screen ends first.
    const int rowGap = vibrations->GetTop() - animations->GetTop() - animations->GetHeight();
    const int yCall = vibrations->GetTop() + vibrations->GetHeight() + rowGap;
    SetupCaption(callCaption.get(), yCall, 120, L"Into calls:");
    SetupSwitch(call.get(), yCall, 0);
    callCaption->SetBounds(callCaption->GetLeft(), yCall, callCaption->GetWidth(),
                           vibrationsCaption->GetHeight());
    call->SetBounds(vibrations->GetLeft(), yCall, vibrations->GetWidth(), vibrations->GetHeight());
    Place(callState.get(), 0, yCall + call->GetHeight(), 240, 36);
    SetupLabel(callState.get(), ui.GetSkin().GetFont(Font12Medium), kFormatLines, L"");
    SetMargins(callState.get(), 15, 1, 15, 1);
    ShowCallState(ui.GetCallOutput().State());
    // The kit, after the call's line, sized as the switches.
    const int yKit = callState->GetTop() + callState->GetHeight();
    SetupCaption(kitCaption.get(), yKit, 120, L"Kit:");
    kitCaption->SetBounds(kitCaption->GetLeft(), yKit, kitCaption->GetWidth(),
                          vibrationsCaption->GetHeight());
    const Skin& skin = ui.GetSkin();
    SetPictures(kit.get(), skin.GetImage(SldSettingsBack), skin.GetImage(SldSettingsBack));
    kit->SetBounds(vibrations->GetLeft(), yKit, vibrations->GetWidth(), vibrations->GetHeight());
    kit->SetShowText(1);
    kit->SetShowOverlay(0);
    kit->SetFont(skin.GetFont(Font12Semibold));
    kit->SetTextFormat(kFormatCentred);
    kit->SetTextColor(kGradientTop);
    kit->SetActiveTextColor(RGB(255, 255, 255));
    SetMargins(kit.get(), 6, 1, 6, 1);
    OnShow();

    // Access, under the kit, as the switches are spaced.
    const int yAccess = kit->GetTop() + kit->GetHeight() + rowGap;
    SetupCaption(accessCaption.get(), yAccess, 120, L"Access:");
    accessCaption->SetBounds(accessCaption->GetLeft(), yAccess, accessCaption->GetWidth(),
                             call->GetHeight());
    access->SetBounds(call->GetLeft(), yAccess, call->GetWidth(), call->GetHeight());
    SetPictures(access.get(), ui.GetSkin().GetImage(SldSettingsBack),
                ui.GetSkin().GetImage(SldSettingsBack));
    access->SetShowText(1);
    access->SetFont(ui.GetSkin().GetFont(Font12Semibold));
    access->SetTextFormat(kFormatCentred);
    access->SetTextColor(kGradientTop);
    access->SetActiveTextColor(RGB(255, 255, 255));
    access->SetText(L"Open  >");

    // The rows between the bars; each keeps the place it was given on the screen.
    const int panelTop = ScaleY(54);
    rows->SetBounds(0, panelTop, screenWidth, H - ScaleY(54) - panelTop);
    rows->SetIndicatorColors(kGradientTop, kGradientBottom);
    Control* const inRows[] = {
        volumeBeatCaption.get(), volumeBeat.get(),     volumeSoundsCaption.get(),
        volumeSounds.get(),      xButtonCaption.get(), xButton.get(),
        animationsCaption.get(), animations.get(),     vibrationsCaption.get(),
        vibrations.get(),        callCaption.get(),    call.get(),
        callState.get(),         kitCaption.get(),     kit.get(),
        accessCaption.get(),     access.get()};
    for (Control* control : inRows) {
        rows->AddControl(control, control->GetLeft(), control->GetTop() - panelTop,
                         control->GetWidth(), control->GetHeight());
    }
    Button* back = MakeWayBack(IDC_SETTINGS_BACK);

    Compose({rows.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::SetupCaption(Label* label, int y, int width, const wchar_t* text) const {
    Place(label, 0, y, width, 30);
    SetupLabel(label, ui.GetSkin().GetFont(Font12Medium), kFormatLeft, text);
    SetMargins(label, 15, 1, 2, 1);
}

void SettingsPage::SetupVolume(Slider* slider, int y, DWORD value) const {
    const Skin& skin = ui.GetSkin();
    Place(slider, ScaleX(20), y, 200, 15);
    slider->SetBackImage(skin.GetImage(SldSettingsBack), 1, 0);
    slider->SetFrontImage(skin.GetImage(SldSettingsFront), 3, 0);
    slider->SetFont(skin.GetFont(Font12Medium));
    slider->SetTextFormat(kFormatCentred);
    slider->SetText(L"0 %");
    slider->SetShowText(1, 0);
    slider->SetFillColors(kGradientTop, kGradientBottom, 0);
    slider->SetPercent(static_cast<int>(value), 0);
}

void SettingsPage::SetupSwitch(CheckBox* box, int y, DWORD checked) const {
    const Skin& skin = ui.GetSkin();
    Place(box, ScaleX(120), y, 100, 30);
    SetPictures(box, skin.GetImage(ChkSettingsOff), skin.GetImage(ChkSettingsOn));
    box->SetChecked(static_cast<int>(checked));  // as stored: a 5 stays 5, and counts as on
}

void SettingsPage::ShowCallState(const SNDCALL& state) {
    call->SetChecked(state.on ? 1 : 0);
    std::wstring line = state.reason;
    if (state.on && line.empty()) {
        line = state.microphoneMixed ? L"Pick \"Pulsor microphone\" in the call app: it hears you "
                                       L"and Pulsor."
                                     : L"Pick \"Pulsor microphone\" in the call app.";
    }
    callState->SetText(line.c_str());
    call->Invalidate();
    callState->Invalidate();
}

void SettingsPage::OnShow() {
    kit->SetText(ui.GetKits().Current().name.c_str());
    kit->Invalidate();
}

bool SettingsPage::CloseButtonCloses() const {
    return xButton->IsChecked() != 0;
}

bool SettingsPage::AnimationsOn() const {
    return animations->IsChecked() != 0;
}

bool SettingsPage::VibrationsOn() const {
    return vibrations->IsChecked() != 0;
}

void SettingsPage::StoreInto(Settings& settings) const {
    settings.volumeBeat = static_cast<DWORD>(volumeBeat->GetPercent());
    settings.volumeSounds = static_cast<DWORD>(volumeSounds->GetPercent());
    settings.xButtonClose = xButton->IsChecked();
    settings.animationsOn = animations->IsChecked();
    settings.vibrationsOn = vibrations->IsChecked();
}

bool SettingsPage::OnCommand(int id, int code, LPARAM control) {
    switch (id) {
        case IDC_VOLUME_BEAT:
            if (code == ValueChanged && control && ui.GetBeat()) {
                ui.GetBeat()->SetVolume(reinterpret_cast<Slider*>(control)->GetPercent());
            }
            return true;
        case IDC_VOLUME_SOUNDS:
            if (code == Released && control && ui.GetSoundBank()) {
                ui.GetSoundBank()->SetVolume(reinterpret_cast<Slider*>(control)->GetPercent());
            }
            return true;
        case IDC_KIT:
            if (code == Clicked) {
                ui.ChangePage(IDC_SCREEN_KITS, kTransitionToPage);
            }
            return true;
        case IDC_ACCESS:
            if (code == Clicked) {
                ui.ChangePage(IDC_SCREEN_ACCESS, kTransitionToPage);
            }
            return true;
        case IDC_CALL:
            // Each flip, a cancelled one too, is the user's choice of the moment.
            if (code == Toggled) {
                ShowCallState(ui.GetCallOutput().SetOn(call->IsChecked() != 0));
            }
            return true;
        default:
            return Page::OnCommand(id, code, control);
    }
}

std::vector<Control*> SettingsPage::FocusOrder() const {
    return {volumeBeat.get(), volumeSounds.get(), xButton.get(), animations.get(), vibrations.get(),
            call.get(),       kit.get(),          access.get(),  GetWayBack()};
}
