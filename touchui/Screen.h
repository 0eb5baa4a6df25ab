#pragma once

#include <vector>

#include "touchui/Control.h"

// One full-window page. It draws no background: its picture is its controls, painted and offered
// touch in the order they were added.
class Screen : public Control {
public:
    Screen(HINSTANCE instance, HWND window, int id);

    // The control may sit on several screens; its parent becomes the last one that added it.
    virtual void AddControl(Control* control);

    void Paint(HDC hdc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;

    std::vector<Control*> controls;  // not owned

private:
    template <typename Offer>
    int OfferToControls(Offer offer);
};
