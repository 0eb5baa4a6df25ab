#pragma once

#include "touchui/Control.h"

// A line of text that takes no touch; draws nothing but its text.
class Label : public Control {
public:
    Label(HINSTANCE instance, HWND window, int id);

    void Paint(HDC hdc) override;
};
