#include "app/WordPage.h"

#include <cmath>
#include <cstdio>

#include "app/Ids.h"
#include "app/MainPage.h"
#include "app/UserInterface.h"
#include "audio/KitLoader.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/LevelMeter.h"
#include "touchui/ScrollPanel.h"
#include "touchui/TextField.h"

namespace {

const wchar_t kHoldToRecord[] = L"Hold to record";

}  // namespace

WordPage::WordPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_WORD),
      rows(Make<ScrollPanel>(IDC_WORD_ROWS)),
      title(Make<Label>(IDC_WORD_TITLE)),
      captionLabel(Make<Label>(IDC_WORD_CAPTION_LABEL)),
      caption(Make<TextField>(IDC_WORD_CAPTION)),
      text(Make<TextField>(IDC_WORD_TEXT)),
      say(Make<Button>(IDC_WORD_SAY)),
      record(Make<Button>(IDC_WORD_RECORD)),
      level(Make<LevelMeter>(IDC_WORD_LEVEL)),
      state(Make<Label>(IDC_WORD_STATE)),
      playLow(Make<Button>(IDC_WORD_PLAY_LOW)),
      playHigh(Make<Button>(IDC_WORD_PLAY_HIGH)),
      builtIn(Make<Button>(IDC_WORD_BUILT_IN)) {
    SetupRows();
    Button* back = MakeWayBack(IDC_WORD_BACK);
    Compose({rows.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

WordPage::~WordPage() = default;

void WordPage::SetupRows() {
    const Skin& skin = ui.GetSkin();
    HFONT font = skin.GetFont(Font12Medium);
    SetupLabel(title.get(), skin.GetFont(Font12Semibold), kFormatCentred, L"Word");
    SetupLabel(captionLabel.get(), font, kFormatLeft, L"Caption:");
    for (TextField* field : {caption.get(), text.get()}) {
        field->SetFont(font);
        field->SetMaxLength(KitLoader::kMaxLabelLength);
    }
    text->SetPlaceholder(L"A word to say");
    SetupKey(say.get(), font, L"Say it");
    SetupKey(record.get(), font, kHoldToRecord);
    level->SetBackImage(skin.GetImage(SldSettingsBack));
    level->SetFillColors(kGradientTop, kGradientBottom);
    SetupLabel(state.get(), font, kFormatLines, L"");
    SetupKey(playLow.get(), font, L"Low \u25B6");
    SetupKey(playHigh.get(), font, L"High \u25B6");
    SetupKey(builtIn.get(), font, L"Built-in");

    // The rows as drawn for 240 x 212 between the bars; a shorter screen scrolls them.
    struct Place {
        Control* control;
        int x, y, w, h;
    };
    const Place places[] = {
        {title.get(), 0, 4, 240, 20},      {captionLabel.get(), 15, 28, 65, 26},
        {caption.get(), 80, 28, 145, 26},  {text.get(), 15, 60, 145, 26},
        {say.get(), 165, 60, 60, 26},      {record.get(), 15, 92, 210, 30},
        {level.get(), 15, 126, 210, 8},    {state.get(), 15, 138, 210, 32},
        {playLow.get(), 15, 174, 65, 30},  {playHigh.get(), 87, 174, 66, 30},
        {builtIn.get(), 160, 174, 65, 30},
    };
    const int top = ScaleY(54);
    rows->SetBounds(0, top, screenWidth, screenHeight - ScaleY(54) - top);
    rows->SetIndicatorColors(kGradientTop, kGradientBottom);
    for (const Place& p : places) {
        rows->AddControl(p.control, ScaleX(p.x), ScaleY(p.y), ScaleX(p.w), ScaleY(p.h));
    }
}

void WordPage::Open(int cellToShow) {
    cell = cellToShow;
    captionShown = ShownCaption();
    caption->Clear();
    caption->SetText(captionShown.c_str());
    text->Clear();
    Focus(nullptr);
    const std::wstring heading = L"Word " + std::to_wstring(cell + 1);
    title->SetText(heading.c_str());
    ShowState(L"");
    level->SetLevel(0);
    level->ResetPeak();
    rows->ScrollTo(0);
}

std::wstring WordPage::ShownCaption() const {
    const SoundBank* bank = ui.GetSoundBank();
    const wchar_t* label = bank ? bank->GetLabel(cell + 1) : nullptr;
    return label ? label : PadLabel(cell);
}

const wchar_t* WordPage::GetStateLine() const {
    return state->GetText();
}

void WordPage::ShowState(const std::wstring& line) {
    // SetText keeps the text for an empty string.
    state->text[0] = 0;
    state->SetText(line.c_str());
    state->Invalidate();
}

void WordPage::Focus(TextField* field) {
    for (TextField* f : {caption.get(), text.get()}) {
        f->SetFocused(f == field ? 1 : 0);
        f->Invalidate();
    }
    SipShowIM(field ? SIPF_ON : SIPF_OFF);
    if (field && rows->EnsureVisible(field)) {
        rows->Invalidate();
    }
}

bool WordPage::OnCommand(int id, int code, LPARAM control) {
    switch (id) {
        case IDC_WORD_CAPTION:
        case IDC_WORD_TEXT:
            if (code == FocusRequested) {
                Focus(id == IDC_WORD_CAPTION ? caption.get() : text.get());
            }
            return true;
        case IDC_WORD_PLAY_LOW:
        case IDC_WORD_PLAY_HIGH:
            if (code == Clicked && ui.GetSoundBank()) {
                ui.GetSoundBank()->Play(cell + 1, id == IDC_WORD_PLAY_HIGH);
            }
            return true;
        case IDC_WORD_BACK:
            if (code == Clicked) {
                Focus(nullptr);
            }
            return Page::OnCommand(id, code, control);
        default:
            return false;
    }
}

bool WordPage::OnKeyDown(UINT virtualKey, UINT scancode) {
    // While a field has the focus the keys type (WM_CHAR), Escape included.
    if (caption->IsFocused() || text->IsFocused()) {
        return true;
    }
    return Page::OnKeyDown(virtualKey, scancode);
}

bool WordPage::OnChar(UINT character) {
    TextField* field = caption->IsFocused() ? caption.get()
                       : text->IsFocused()  ? text.get()
                                            : nullptr;
    if (!field) {
        return false;
    }
    if (character == 0x1B) {
        Focus(nullptr);  // Escape lets go of the field; a second one goes back
        return true;
    }
    field->OnChar(character);
    return true;
}

std::vector<Control*> WordPage::FocusOrder() const {
    return {caption.get(), text.get(),     say.get(),     record.get(),
            playLow.get(), playHigh.get(), builtIn.get(), GetWayBack()};
}
