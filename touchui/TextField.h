#pragma once

#include "touchui/Control.h"

// A line of typed text: a framed well showing the text (or a placeholder while it is empty) and,
// while the field has the focus, a steady caret at the text's end. The page gives it the focus
// (SetFocused) and the characters of WM_CHAR (OnChar). A tap on it reports FocusRequested; typing
// reports TextChanged, Enter reports Entered. A text too wide for the field shows its end, after
// an ellipsis. A right-to-left text lines up on the right, its end and the caret on the left.
class TextField : public Control {
public:
    TextField(HINSTANCE instance, HWND window, int id);

    // One WM_CHAR, while focused and enabled: a typable character is appended while the text is
    // shorter than the maximum length, backspace (0x08) removes the last cluster (a letter with its
    // marks, a whole emoji), Enter (0x0D) reports Entered; other control characters are ignored.
    // A UTF-16 surrogate pair may arrive as two calls. Repaints and returns 1 when it changed the
    // text or reported Enter, else 0.
    int OnChar(UINT character);
    // What backspace does; 1 when there was something to remove.
    int Backspace();
    // What a tap does, for a key or a switch: reports FocusRequested to the control's window.
    void RequestFocus() { Notify(window, FocusRequested); }

    // Empties the text (SetText keeps the text for an empty string).
    void Clear() { text[0] = 0; }
    // Characters (code points) typing may fill, 1 .. TextCapacity - 1. A longer text already in
    // the field stays; typing adds to it only once it is shorter.
    void SetMaxLength(int value);
    int GetMaxLength() const { return maxLength; }
    int GetLength() const;
    void SetPlaceholder(const wchar_t* string);
    const wchar_t* GetPlaceholder() const { return placeholder; }
    void SetFocused(int value) { focused = value; }
    int IsFocused() const { return focused; }
    // The well's gradient, top and bottom.
    void SetFillColors(COLORREF top, COLORREF bottom);
    // The frame without and with the focus; the caret takes the focused one.
    void SetFrameColors(COLORREF normal, COLORREF focusedColor);
    void SetPlaceholderColor(COLORREF value) { placeholderColor = value; }

    void Paint(HDC hdc) override;
    // A touch held on the field and lifted on it asks for the focus; sliding off drops it.
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;

    wchar_t placeholder[TextCapacity];
    int maxLength;
    int focused;
    COLORREF fillTop, fillBottom;
    COLORREF frameColor, focusedFrameColor;
    COLORREF placeholderColor;

private:
    int Append(char32_t c);
    // The line to draw in `out`: the text itself, or "..." and as much of its end as fits `width`.
    void FittingLine(HDC hdc, int width, wchar_t* out, int* outWidth) const;

    wchar_t highSurrogate = 0;  // the first half of a pair, until the second arrives
};
