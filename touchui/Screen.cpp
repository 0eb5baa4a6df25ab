#include "touchui/Screen.h"

Screen::Screen(HINSTANCE instance_, HWND window_, int id_) : Control(instance_, window_, id_) {}

void Screen::AddControl(Control* control) {
    if (!control)
        return;
    control->SetParent(this);
    controls.push_back(control);
}

void Screen::Paint(HDC hdc) {
    if (!visible)
        return;
    for (Control* control : controls) {
        if (control && control->visible)
            control->PaintIfVisible(hdc);
    }
}

template <typename Offer>
int Screen::OfferToControls(Offer offer) {
    if (!visible)
        return 0;
    for (Control* control : controls) {
        if (control && control->visible && control->enabled && offer(control))
            return 1;
    }
    return 0;
}

int Screen::OnTouchDown(HWND target, int reserved, int x, int y) {
    return OfferToControls([&](Control* c) { return c->TouchDown(target, reserved, x, y); });
}

int Screen::OnTouchUp(HWND target, int reserved, int x, int y) {
    return OfferToControls([&](Control* c) { return c->TouchUp(target, reserved, x, y); });
}

int Screen::OnTouchMove(HWND target, int reserved, int x, int y) {
    return OfferToControls([&](Control* c) { return c->TouchMove(target, reserved, x, y); });
}
