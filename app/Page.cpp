#include "app/Page.h"

#include "app/Ids.h"
#include "app/StackRows.h"
#include "app/UserInterface.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/Screen.h"

Page::Page(UserInterface& ui_, int screenId)
    : ui(ui_),
      instance(ui_.GetInstance()),
      window(ui_.GetWindow()),
      screenWidth(GetSystemMetrics(SM_CXSCREEN)),
      screenHeight(GetSystemMetrics(SM_CYSCREEN)),
      screen(std::make_unique<Screen>(instance, window, screenId)) {
    screen->SetBounds(0, 0, screenWidth, screenHeight);
}

Page::~Page() = default;

int Page::GetId() const {
    return screen->GetId();
}

bool Page::IsShown() const {
    return screen->GetVisible() != 0;
}

bool Page::OnCommand(int id, int code, LPARAM) {
    if (!wayBack || id != wayBack->GetId()) {
        return false;
    }
    if (code == Clicked) {
        ui.ChangePage(IDC_SCREEN_MAIN, kTransitionBack);
    }
    return true;
}

bool Page::OnKeyDown(UINT virtualKey, UINT) {
    if (!wayBack || virtualKey != VK_ESCAPE) {
        return false;
    }
    wayBack->Click();
    return true;
}

void Page::OnKeyUp(UINT) {}

bool Page::OnChar(UINT) {
    return false;
}

void Page::ReleaseKeys() {}

int Page::OnFingerDown(UINT, int, int) {
    return 0;
}

void Page::OnFingerMove(UINT, int, int) {}

void Page::OnFingerUp(UINT, int, int) {}

void Page::Place(Control* control, int x, int y, int w, int h) {
    control->SetBounds(x, y, ScaleX(w), ScaleY(h));
}

void Page::SetMargins(Control* control, int l, int t, int r, int b) {
    control->SetTextMargins(ScaleX(l), ScaleY(t), ScaleX(r), ScaleY(b));
}

void Page::SetPicture(ImageBox* box, HBITMAP image) {
    box->SetImageStyle(1);
    box->SetImagePlacement(2);
    box->SetImage(image, 1);
}

void Page::SetupLabel(Label* label, HFONT font, UINT format, const wchar_t* text) {
    label->SetFont(font);
    label->SetTextFormat(format);
    label->SetText(text);
}

void Page::SetupKey(Button* button, HFONT font, const wchar_t* text) {
    button->SetKeyColors(RGB(0x3A, 0x42, 0x48), RGB(0x2A, 0x30, 0x35), RGB(0x1B, 0x1F, 0x23),
                         kGradientTop, kGradientBottom);
    button->SetShowText(1);
    button->SetFont(font);
    button->SetTextFormat(kFormatCentred);
    button->SetText(text);
}

void Page::Restack(Control* control, const StackRow& row) {
    control->SetBounds(control->GetLeft(), row.y, control->GetWidth(), row.h);
}

void Page::Compose(std::initializer_list<Control*> controls) {
    for (Control* control : controls) {
        screen->AddControl(control);
    }
}

Button* Page::MakeWayBack(int id) {
    const Skin& skin = ui.GetSkin();
    wayBack = Make<Button>(id);
    Place(wayBack.get(), (screenWidth - ScaleX(60)) / 2, screenHeight - ScaleY(54), 60, 54);
    SetPictures(wayBack.get(), skin.GetImage(BtnBackUp), skin.GetImage(BtnBackDn));
    return wayBack.get();
}
