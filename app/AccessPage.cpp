#include "app/AccessPage.h"

#include <cwchar>

#include "app/Access.h"
#include "app/Ids.h"
#include "app/UserInterface.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/ScrollPanel.h"
#include "touchui/Slider.h"

namespace {

// Rows, in 96-dpi units.
const int kRow = 30;
const int kOptionGap = 4;
const int kSliderRow = 15;
const int kSliderGap = 10;

}  // namespace

AccessPage::AccessPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_ACCESS), rows(Make<ScrollPanel>(IDC_ACCESS_ROWS)) {
    Settings& settings = ui.GetSettings();
    values.resize(6);
    int y = 0;
    y = AddChoice(method, IDC_METHOD_CAPTION, IDC_METHOD_FIRST, IDC_METHOD_CAPTION_FIRST,
                  L"How you play:", {L"Touch", L"Dwell", L"One switch", L"Two switches"},
                  &settings.accessMethod, y);
    y = AddValue(values[0], 0, L"Scan step:", kScanIntervalRange, 250, Value::Milliseconds,
                 &settings.scanInterval, y);
    y = AddValue(values[1], 1, L"Scan rounds:", kScanRoundsRange, 1, Value::Count,
                 &settings.scanRounds, y);
    y = AddValue(values[2], 2, L"Dwell time:", kDwellTimeRange, 100, Value::Milliseconds,
                 &settings.dwellTime, y);
    y = AddValue(values[3], 3, L"Hold time:", kHoldTimeRange, 50, Value::MillisecondsOrOff,
                 &settings.holdTime, y);
    y = AddValue(values[4], 4, L"Repeat lockout:", kRepeatLockoutRange, 250,
                 Value::MillisecondsOrOff, &settings.repeatLockout, y);
    y = AddChoice(cues, IDC_CUES_CAPTION, IDC_CUES_FIRST, IDC_CUES_CAPTION_FIRST, L"Scan sounds:",
                  {L"None", L"Click", L"The word"}, &settings.accessCues, y);
    AddValue(values[5], 5, L"Sound volume:", kAccessCueVolumeRange, 5, Value::Percent,
             &settings.accessCueVolume, y);

    const int top = ScaleY(54);
    rows->SetBounds(0, top, screenWidth, screenHeight - ScaleY(54) - top);
    rows->SetIndicatorColors(kGradientTop, kGradientBottom);
    for (Control* control : inRows) {
        rows->AddControl(control, control->GetLeft(), control->GetTop(), control->GetWidth(),
                         control->GetHeight());
    }
    Button* back = MakeWayBack(IDC_ACCESS_BACK);
    Compose({rows.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

AccessPage::~AccessPage() = default;

int AccessPage::AddChoice(Choice& choice, int captionId, int firstId, int firstCaptionId,
                          const wchar_t* title, std::initializer_list<const wchar_t*> names,
                          DWORD* value, int y) {
    const Skin& skin = ui.GetSkin();
    choice.value = value;
    choice.caption = Make<Label>(captionId);
    Place(choice.caption.get(), 0, y, 240, kRow);
    SetupLabel(choice.caption.get(), skin.GetFont(Font12Semibold), kFormatLeft, title);
    SetMargins(choice.caption.get(), 15, 1, 2, 1);
    choice.caption->SetTextColor(kGradientTop);
    inRows.push_back(choice.caption.get());
    y += ScaleY(kRow);
    int i = 0;
    for (const wchar_t* name : names) {
        auto label = Make<Label>(firstCaptionId + i);
        Place(label.get(), 0, y, 120, kRow);
        SetupLabel(label.get(), skin.GetFont(Font12Medium), kFormatLeft, name);
        SetMargins(label.get(), 25, 1, 2, 1);
        auto option = Make<CheckBox>(firstId + i);
        Place(option.get(), ScaleX(120), y, 100, kRow);
        SetPictures(option.get(), skin.GetImage(ChkSettingsOff), skin.GetImage(ChkSettingsOn));
        option->SetChecked(static_cast<DWORD>(i) == *value ? 1 : 0);
        inRows.push_back(label.get());
        inRows.push_back(option.get());
        choice.labels.push_back(std::move(label));
        choice.options.push_back(std::move(option));
        y += ScaleY(kRow) + ScaleY(kOptionGap);
        ++i;
    }
    return y + ScaleY(kSliderGap);
}

int AccessPage::AddValue(Value& value, int index, const wchar_t* title, const AccessRange& range,
                         int step, Value::Unit unit, DWORD* setting, int y) {
    const Skin& skin = ui.GetSkin();
    value.range = &range;
    value.value = setting;
    value.unit = unit;
    value.caption = Make<Label>(IDC_ACCESS_VALUE_CAPTION_FIRST + index);
    Place(value.caption.get(), 0, y, 150, kRow);
    SetupLabel(value.caption.get(), skin.GetFont(Font12Medium), kFormatLeft, title);
    SetMargins(value.caption.get(), 15, 1, 2, 1);
    value.text = Make<Label>(IDC_ACCESS_VALUE_TEXT_FIRST + index);
    Place(value.text.get(), ScaleX(150), y, 70, kRow);
    SetupLabel(value.text.get(), skin.GetFont(Font12Medium), DT_RIGHT | kFormatLeft, L" ");
    value.text->SetTextColor(kGradientTop);
    y += ScaleY(kRow);

    value.slider = Make<Slider>(IDC_ACCESS_VALUE_FIRST + index);
    Slider* slider = value.slider.get();
    Place(slider, ScaleX(20), y, 200, kSliderRow);
    slider->SetBackImage(skin.GetImage(SldSettingsBack), 1, 0);
    slider->SetFrontImage(skin.GetImage(SldSettingsFront), 3, 0);
    slider->SetFillColors(kGradientTop, kGradientBottom, 0);
    slider->SetShowText(0, 0);
    slider->SetRange(0, static_cast<int>(range.maximum - range.minimum), step, 0);
    // As stored, even off the slider's steps: an untouched value is saved as it was read.
    slider->SetSnapToStep(0);
    slider->SetValue(static_cast<int>(*setting - range.minimum), 0);
    slider->SetSnapToStep(1);
    ShowValue(value);
    inRows.push_back(value.caption.get());
    inRows.push_back(value.text.get());
    inRows.push_back(slider);
    return y + ScaleY(kSliderRow) + ScaleY(kSliderGap);
}

void AccessPage::ShowValue(Value& value) {
    const DWORD v = *value.value;
    wchar_t text[32];
    switch (value.unit) {
        case Value::MillisecondsOrOff:
            if (v == 0) {
                std::swprintf(text, 32, L"Off");
                break;
            }
            [[fallthrough]];
        case Value::Milliseconds:
            if (v < 1000) {
                std::swprintf(text, 32, L"%u ms", static_cast<unsigned>(v));
            } else if (v % 100 == 0) {
                std::swprintf(text, 32, L"%u.%u s", static_cast<unsigned>(v / 1000),
                              static_cast<unsigned>(v % 1000 / 100));
            } else {
                std::swprintf(text, 32, L"%u.%02u s", static_cast<unsigned>(v / 1000),
                              static_cast<unsigned>(v % 1000 / 10));
            }
            break;
        case Value::Count:
            std::swprintf(text, 32, L"%u", static_cast<unsigned>(v));
            break;
        case Value::Percent:
            std::swprintf(text, 32, L"%u %%", static_cast<unsigned>(v));
            break;
    }
    value.text->SetText(text);
    value.text->Invalidate();
}

void AccessPage::Choose(Choice& choice, DWORD index) {
    *choice.value = index;
    for (size_t i = 0; i < choice.options.size(); ++i) {
        choice.options[i]->SetChecked(i == index ? 1 : 0);
        choice.options[i]->Invalidate();
    }
    Changed();
}

void AccessPage::Changed() {
    if (Access* access = ui.GetAccess()) {
        access->SettingsChanged();
    }
}

bool AccessPage::OnCommand(int id, int code, LPARAM control) {
    for (Choice* choice : {&method, &cues}) {
        const int first = choice->options.front()->GetId();
        const int index = id - first;
        if (index < 0 || index >= static_cast<int>(choice->options.size())) {
            continue;
        }
        if (code == Toggled && choice->options[index]->IsChecked()) {
            choice->before = *choice->value;
            Choose(*choice, static_cast<DWORD>(index));
        } else if (code == Toggled) {
            Choose(*choice, *choice->value);  // the chosen one stays on: one always is
        } else if (code == Cancelled) {
            Choose(*choice, choice->before);
        }
        return true;
    }
    for (Value& value : values) {
        if (id != value.slider->GetId()) {
            continue;
        }
        if (code == ValueChanged && control) {
            *value.value = value.range->minimum + static_cast<DWORD>(value.slider->GetValue());
            ShowValue(value);
            Changed();
        }
        return true;
    }
    if (id == IDC_ACCESS_BACK) {
        if (code == Clicked) {
            ui.ChangePage(IDC_SCREEN_SETTINGS, kTransitionBack);
        }
        return true;
    }
    return false;
}

std::vector<Control*> AccessPage::FocusOrder() const {
    std::vector<Control*> order;
    for (Control* c : rows->ReadingOrder()) {
        if (dynamic_cast<CheckBox*>(c) || dynamic_cast<Slider*>(c)) {
            order.push_back(c);
        }
    }
    order.push_back(GetWayBack());
    return order;
}
