#include "touchui/TextField.h"

#include <algorithm>
#include <cwchar>

#include "graphics/Drawing.h"
#include "touchui/UnicodeText.h"

namespace {

constexpr wchar_t kEllipsis[] = L"...";
constexpr int kEllipsisLength = 3;

// Frame lines and the caret are at least a pixel wide, whatever the dpi.
int Thin(int scaled) {
    return std::max(1, scaled);
}

int Measure(HDC hdc, const wchar_t* text, int length) {
    SIZE size = {};
    return GetTextExtentPoint32(hdc, text, length, &size) ? size.cx : 0;
}

}  // namespace

TextField::TextField(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      placeholder{},
      maxLength(TextCapacity - 1),
      focused(0),
      fillTop(RGB(0x07, 0x08, 0x0A)),
      fillBottom(RGB(0x15, 0x19, 0x1C)),
      frameColor(RGB(0x3A, 0x42, 0x48)),
      focusedFrameColor(RGB(0xA5, 0xFB, 0x31)),
      placeholderColor(RGB(0x73, 0x7B, 0x82)) {
    marginLeft = ScaleX(6);
    marginRight = ScaleX(6);
}

void TextField::SetMaxLength(int value) {
    maxLength = std::clamp(value, 1, static_cast<int>(TextCapacity) - 1);
}

int TextField::GetLength() const {
    return static_cast<int>(std::wcslen(text));
}

void TextField::SetPlaceholder(const wchar_t* string) {
    if (!string)
        string = L"";
    std::wcsncpy(placeholder, string, TextCapacity - 1);
    placeholder[TextCapacity - 1] = 0;
}

void TextField::SetFillColors(COLORREF top, COLORREF bottom) {
    fillTop = top;
    fillBottom = bottom;
}

void TextField::SetFrameColors(COLORREF normal, COLORREF focusedColor) {
    frameColor = normal;
    focusedFrameColor = focusedColor;
}

int TextField::OnChar(UINT character) {
    if (!visible || !enabled || !focused)
        return 0;
    char32_t c = character;
    if (c >= 0xD800 && c <= 0xDBFF) {
        highSurrogate = static_cast<wchar_t>(c);
        return 0;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        if (!highSurrogate)
            return 0;
        c = 0x10000 + ((static_cast<char32_t>(highSurrogate) - 0xD800) << 10) + (c - 0xDC00);
    }
    highSurrogate = 0;
    if (c == 0x08)
        return Backspace();
    if (c == 0x0D) {
        Notify(window, Entered);
        return 1;
    }
    return IsTypable(c) ? Append(c) : 0;
}

int TextField::Append(char32_t c) {
    const int length = GetLength();
    if (length >= maxLength)
        return 0;
    text[length] = static_cast<wchar_t>(c);
    text[length + 1] = 0;
    Invalidate();
    Notify(window, TextChanged);
    return 1;
}

int TextField::Backspace() {
    const size_t length = std::wcslen(text);
    if (length == 0)
        return 0;
    text[LastGraphemeStart(text, length)] = 0;
    Invalidate();
    Notify(window, TextChanged);
    return 1;
}

void TextField::FittingLine(HDC hdc, int width, wchar_t* out, int* outWidth) const {
    const int length = GetLength();
    std::wmemcpy(out, text, length + 1);
    *outWidth = Measure(hdc, out, length);
    if (*outWidth <= width)
        return;
    // The first place from which "..." and the rest fit; the width shrinks as the start moves on.
    auto compose = [&](int from) {
        std::wmemcpy(out, kEllipsis, kEllipsisLength);
        std::wmemcpy(out + kEllipsisLength, text + from, length - from + 1);
        return Measure(hdc, out, kEllipsisLength + length - from);
    };
    int low = 1, high = length;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (compose(middle) <= width)
            high = middle;
        else
            low = middle + 1;
    }
    while (low < length && !IsGraphemeBoundary(text, length, low))
        ++low;
    *outWidth = compose(low);
}

void TextField::Paint(HDC hdc) {
    RECT r;
    GetRect(&r);
    const bool showCaret = focused && enabled;
    const int frameX = Thin(ScaleX(1)), frameY = Thin(ScaleY(1));
    FillSolidRect(hdc, r.left, r.top, r.right, r.bottom,
                  showCaret ? focusedFrameColor : frameColor);
    FillGradient(hdc, r.left + frameX, r.top + frameY, r.right - frameX, r.bottom - frameY, fillTop,
                 fillBottom, GRADIENT_FILL_RECT_V);

    RECT inner = r;
    DeflateRectBy(inner, marginLeft, marginTop, marginRight, marginBottom);
    const bool empty = text[0] == 0;
    const bool rtl = IsRightToLeftText(empty ? placeholder : text);
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (rtl ? DT_RIGHT : DT_LEFT);
    // The caret's room is kept whether it shows or not, so that nothing moves with the focus: at
    // the end of a text, before a placeholder (ends and starts swap sides in right-to-left).
    const int caretWidth = Thin(ScaleX(1));
    RECT line = inner;
    if (empty == rtl)
        line.right -= caretWidth;
    else
        line.left += caretWidth;

    HGDIOBJ previousFont = font ? SelectObject(hdc, font) : nullptr;
    int lineWidth = 0;
    if (empty) {
        DrawTextInRect(hdc, placeholder, line, format | DT_END_ELLIPSIS, placeholderColor, font);
    } else {
        wchar_t shown[TextCapacity + kEllipsisLength];
        FittingLine(hdc, std::max(0, static_cast<int>(line.right - line.left)), shown, &lineWidth);
        DrawTextInRect(hdc, shown, line, format, textColor, font);
    }
    if (showCaret) {
        TEXTMETRIC metrics = {};
        const int lineHeight = GetTextMetrics(hdc, &metrics) ? metrics.tmHeight : 0;
        const int top =
            std::max<int>(inner.top + (inner.bottom - inner.top - lineHeight) / 2, r.top + frameY);
        const int bottom = std::min<int>(top + lineHeight, r.bottom - frameY);
        const int x = rtl ? inner.right - lineWidth - caretWidth : inner.left + lineWidth;
        FillSolidRect(hdc, x, top, x + caretWidth, bottom, focusedFrameColor);
    }
    if (previousFont)
        SelectObject(hdc, previousFont);
}

int TextField::OnTouchDown(HWND, int, int x, int y) {
    state = HitTest(x, y) ? 1 : 0;
    return state;
}

int TextField::OnTouchMove(HWND, int, int x, int y) {
    if (!state)
        return 0;
    state = HitTest(x, y) ? 1 : 0;
    return 1;
}

int TextField::OnTouchUp(HWND target, int, int x, int y) {
    if (!state || !HitTest(x, y)) {
        state = 0;
        return 0;
    }
    state = 0;
    Notify(target, FocusRequested);
    return 1;
}
