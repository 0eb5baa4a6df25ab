#include "app/KitsPage.h"

#include "app/Ids.h"
#include "app/UserInterface.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/ScrollPanel.h"
#include "touchui/TextField.h"

namespace {

// In 96-dpi units, on the 240-wide page.
const int kSide = 15;
const int kRowHeight = 30;
const int kGap = 6;
const int kStateHeight = 36;
const wchar_t kMark[] = L"\u2713 ";
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

}  // namespace

KitsPage::KitsPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_KITS),
      newKit(Make<Button>(IDC_KIT_NEW)),
      rename(Make<Button>(IDC_KIT_RENAME)),
      remove(Make<Button>(IDC_KIT_DELETE)),
      editWords(Make<Button>(IDC_EDIT_WORDS)),
      name(Make<TextField>(IDC_KIT_NAME)),
      state(Make<Label>(IDC_KIT_STATE)),
      panel(Make<ScrollPanel>(IDC_KITS_LIST)) {
    const Skin& skin = ui.GetSkin();
    SetupButton(newKit.get(), L"New");
    SetupButton(rename.get(), L"Rename");
    SetupButton(remove.get(), L"Delete");
    SetupButton(editWords.get(), L"Edit words");
    name->SetFont(skin.GetFont(Font12Medium));
    name->SetMaxLength(64);
    name->SetPlaceholder(L"The kit's name");
    name->SetFillColors(RGB(40, 44, 46), RGB(12, 14, 15));
    name->SetFrameColors(RGB(90, 96, 100), kGradientTop);
    name->SetTextColor(kWhite);
    name->SetVisible(0);
    SetupLabel(state.get(), skin.GetFont(Font12Medium), kFormatLines, L"");
    state->SetTextColor(kWhite);

    const int panelTop = ScaleY(54);
    panel->SetBounds(0, panelTop, screenWidth, screenHeight - ScaleY(54) - panelTop);
    panel->SetIndicatorColors(kGradientTop, kGradientBottom);
    Button* back = MakeWayBack(IDC_KITS_BACK);
    Refresh();

    Compose({panel.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

KitsPage::~KitsPage() = default;

void KitsPage::SetupButton(Button* button, const wchar_t* text) const {
    const Skin& skin = ui.GetSkin();
    SetPictures(button, skin.GetImage(SldSettingsBack), skin.GetImage(SldSettingsBack));
    button->SetShowText(1);
    button->SetShowOverlay(0);
    button->SetFont(skin.GetFont(Font12Medium));
    button->SetTextFormat(kFormatCentred);
    button->SetTextColor(kWhite);
    button->SetActiveTextColor(kGradientTop);
    button->SetText(text);
}

void KitsPage::Refresh() {
    list = ui.GetKits().List();
    const Skin& skin = ui.GetSkin();
    while (rows.size() < list.size()) {
        rows.push_back(Make<Button>(IDC_KIT_ROW));
        Button* row = rows.back().get();
        SetupButton(row, L"");
        row->SetTextFormat(kFormatLeft);
        SetMargins(row, 10, 1, 10, 1);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        Button* row = rows[i].get();
        row->SetVisible(i < list.size() ? 1 : 0);
        if (i >= list.size()) {
            continue;
        }
        const bool current = ui.GetKits().IsCurrent(list[i]);
        // The kit playing: marked, in the gradient's green and the heavier face.
        row->SetText(((current ? kMark : L"") + list[i].name).c_str());
        row->SetFont(skin.GetFont(current ? Font12Semibold : Font12Medium));
        row->SetTextColor(current ? kGradientTop : kWhite);
    }
    const Kits::Kit* selected = Selected();
    const bool own = selected && !selected->IsBuiltIn();
    rename->SetEnabled(own ? 1 : 0);
    remove->SetEnabled(own ? 1 : 0);
    rename->SetTextColor(own ? kWhite : RGB(110, 116, 120));
    remove->SetTextColor(own ? kWhite : RGB(110, 116, 120));
    Layout();
    panel->Invalidate();
}

void KitsPage::Layout() {
    // Rows of the content, in pixels; each term converted on its own.
    int y = ScaleY(kGap);
    for (size_t i = 0; i < rows.size(); ++i) {
        panel->AddControl(rows[i].get(), ScaleX(kSide), y, ScaleX(240 - 2 * kSide),
                          ScaleY(kRowHeight));
        if (i < list.size()) {
            y += ScaleY(kRowHeight) + ScaleY(kGap);
        }
    }
    y += ScaleY(kGap);
    const int third = (ScaleX(240 - 2 * kSide) - 2 * ScaleX(kGap)) / 3;
    Button* actions[] = {newKit.get(), rename.get(), remove.get()};
    for (int i = 0; i < 3; ++i) {
        panel->AddControl(actions[i], ScaleX(kSide) + i * (third + ScaleX(kGap)), y, third,
                          ScaleY(kRowHeight));
    }
    y += ScaleY(kRowHeight) + ScaleY(kGap);
    panel->AddControl(name.get(), ScaleX(kSide), y, ScaleX(240 - 2 * kSide), ScaleY(kRowHeight));
    if (renaming) {
        y += ScaleY(kRowHeight) + ScaleY(kGap);
    }
    panel->AddControl(editWords.get(), ScaleX(kSide), y, ScaleX(240 - 2 * kSide),
                      ScaleY(kRowHeight));
    y += ScaleY(kRowHeight) + ScaleY(kGap);
    SetMargins(state.get(), kSide, 1, kSide, 1);
    panel->AddControl(state.get(), 0, y, screenWidth, ScaleY(kStateHeight));
}

const Kits::Kit* KitsPage::Selected() const {
    for (const Kits::Kit& kit : list) {
        if (ui.GetKits().IsCurrent(kit)) {
            return &kit;
        }
    }
    return nullptr;
}

void KitsPage::Say(const std::wstring& line) {
    state->SetText(line.c_str());
    panel->EnsureVisible(state.get());
    panel->Invalidate();
}

void KitsPage::StartRename() {
    const Kits::Kit* kit = Selected();
    if (!kit || kit->IsBuiltIn()) {
        Say(L"The built-in words cannot be renamed.");
        return;
    }
    renaming = true;
    name->SetText(kit->name.c_str());
    name->SetVisible(1);
    name->SetFocused(1);
    SipShowIM(SIPF_ON);
    Layout();
    Say(L"Type the new name: Enter keeps it, Escape leaves it as it was.");
    panel->EnsureVisible(name.get());
}

void KitsPage::EndRename(bool keep) {
    if (!renaming) {
        return;
    }
    if (keep) {
        const Kits::Kit* kit = Selected();
        std::wstring error;
        Kits::Kit renamed;
        if (!kit || !ui.GetKits().Rename(*kit, name->GetText(), &renamed, &error)) {
            Say(error);  // the field stays, to mend the name
            return;
        }
        Say(L"Renamed to \"" + renamed.name + L"\".");
    } else {
        Say(L"");
    }
    renaming = false;
    name->SetFocused(0);
    name->SetVisible(0);
    SipShowIM(SIPF_OFF);
    Refresh();
}

void KitsPage::Disarm() {
    if (armed) {
        armed = false;
        remove->SetText(L"Delete");
        remove->Invalidate();
    }
}

bool KitsPage::OnCommand(int id, int code, LPARAM control) {
    switch (id) {
        case IDC_KIT_ROW:
            if (code == Clicked) {
                for (size_t i = 0; i < list.size(); ++i) {
                    if (reinterpret_cast<LPARAM>(rows[i].get()) == control) {
                        EndRename(false);
                        Disarm();
                        ui.GetKits().Choose(list[i]);
                        Say(L"");
                        Refresh();
                        break;
                    }
                }
            }
            return true;
        case IDC_KIT_NEW:
            if (code == Clicked) {
                EndRename(false);
                Disarm();
                Kits::Kit made;
                std::wstring error;
                if (ui.GetKits().New(&made, &error)) {
                    Refresh();
                    Say(L"\"" + made.name + L"\" holds a copy of the words; it plays now.");
                } else {
                    Say(error);
                }
            }
            return true;
        case IDC_KIT_RENAME:
            if (code == Clicked) {
                Disarm();
                renaming ? EndRename(true) : StartRename();
            }
            return true;
        case IDC_KIT_DELETE:
            if (code == Clicked) {
                EndRename(false);
                const Kits::Kit* kit = Selected();
                if (!kit || kit->IsBuiltIn()) {
                    Say(L"The built-in words cannot be deleted.");
                } else if (!armed) {
                    armed = true;
                    remove->SetText(L"Sure?");
                    remove->Invalidate();
                    Say(L"Touch \"Sure?\" to move \"" + kit->name + L"\" to the trash.");
                } else {
                    Disarm();
                    const std::wstring gone = kit->name;
                    std::wstring error;
                    if (ui.GetKits().Delete(*kit, &error)) {
                        Refresh();
                        Say(L"\"" + gone + L"\" is in the trash; the built-in words play.");
                    } else {
                        Say(error);
                    }
                }
            }
            return true;
        case IDC_KIT_NAME:
            if (code == FocusRequested && renaming) {
                name->SetFocused(1);
                SipShowIM(SIPF_ON);
                name->Invalidate();
            } else if (code == Entered) {
                EndRename(true);
            }
            return true;
        case IDC_KITS_LIST:
        case IDC_KIT_STATE:
            return true;
        case IDC_EDIT_WORDS:
            // Not this page's: the interface hands it on to the pad's edit mode.
            if (code == Clicked) {
                EndRename(false);
                Disarm();
            }
            return false;
        case IDC_KITS_BACK:
            // Back to the settings, where the page was opened.
            if (code == Clicked) {
                EndRename(false);
                Disarm();
                Say(L"");
                ui.ChangePage(IDC_SCREEN_SETTINGS, kTransitionBack);
            }
            return true;
        default:
            return Page::OnCommand(id, code, control);
    }
}

bool KitsPage::OnKeyDown(UINT virtualKey, UINT scancode) {
    if (virtualKey == VK_ESCAPE && (renaming || armed)) {
        EndRename(false);
        Disarm();
        Say(L"");
        return true;
    }
    return Page::OnKeyDown(virtualKey, scancode);
}

bool KitsPage::OnChar(UINT character) {
    if (!renaming) {
        return false;
    }
    if (character == 0x1B) {
        EndRename(false);
        return true;
    }
    name->OnChar(character);
    return true;
}

std::vector<Control*> KitsPage::FocusOrder() const {
    std::vector<Control*> order;
    for (size_t i = 0; i < list.size(); ++i) {
        order.push_back(rows[i].get());
    }
    for (Control* control :
         {static_cast<Control*>(newKit.get()), static_cast<Control*>(rename.get()),
          static_cast<Control*>(remove.get()), static_cast<Control*>(editWords.get())}) {
        order.push_back(control);
    }
    order.push_back(GetWayBack());
    return order;
}
