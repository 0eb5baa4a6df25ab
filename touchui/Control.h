#pragma once

#include "platform/win32.h"

// Notification codes carried in the high word of a control's WM_COMMAND wParam.
enum ControlNotify {
    Pressed = 1,
    Dragged = 2,
    Released = 3,
    Clicked = 4,
    Toggled = 5,
    ValueChanged = 8,
    Cancelled = 9,        // a touch the control took was withdrawn (a scrolling panel took it over)
    Scrolled = 10,        // a drag moved a panel's content
    TextChanged = 11,     // typing changed a text field
    Entered = 12,         // Enter in a text field
    FocusRequested = 13,  // a tap on a text field
};

// Image roles shared by buttons, check boxes and image boxes.
enum ImageRole {
    ImageNormal = 1,
    ImageNormalMask = 2,
    ImageActive = 3,
    ImageActiveMask = 4,
    ImageDisabled = 9,
    ImageDisabledMask = 10,
    ImageOverlay = 13,
    ImageOverlayMask = 14,
};

// The images of a control that looks different when active (a pressed button, a checked box)
// and when disabled, each with its mask: roles 1, 2 (normal), 3, 4 (active) and 9, 10 (disabled).
struct StateImages {
    HBITMAP normal = NULL;
    HBITMAP normalMask = NULL;
    HBITMAP active = NULL;
    HBITMAP activeMask = NULL;
    HBITMAP disabled = NULL;
    HBITMAP disabledMask = NULL;

    // False, and nothing stored, for a role other than those six.
    bool Set(HBITMAP image, int role);
    // The disabled pair when not enabled, else the active pair when active, else the normal one.
    void Draw(HDC hdc, const RECT& rect, int enabled, int isActive, int style, int placement) const;
};

// Layout numbers are 96-dpi units; these convert them to pixels of the screen (rounded, halves up;
// a negative n converts as the negated conversion of -n). The dpi is read once, on first use, from
// any thread.
int ScaleX(int n);
int ScaleY(int n);

// For tests only: forget the dpi read so far, so that the next ScaleX/ScaleY reads the current
// screen's again. Must not race with ScaleX/ScaleY callers.
void ResetScaleForTests();

// Base of every self-drawn widget. Touch arrives through TouchDown/TouchUp/TouchMove (the gate);
// notifications leave as WM_COMMAND posted to the window that received the touch.
class Control {
public:
    enum { TextCapacity = MAX_PATH };

    Control(HINSTANCE instance, HWND window, int id);
    virtual ~Control() = default;

    virtual void Paint(HDC hdc);
    virtual int OnTouchDown(HWND window, int reserved, int x, int y);
    virtual int OnTouchUp(HWND window, int reserved, int x, int y);
    virtual int OnTouchMove(HWND window, int reserved, int x, int y);
    // Withdraws the touch this control took at its last touch-down, before the lift: the control
    // is left as it was before that touch and reports Cancelled to `window`. Base behaviour: a
    // press is dropped without Released or Clicked. Nothing happens when the control holds none.
    virtual void CancelTouch(HWND window);

    // Draws image (with its mask for style 2) into rect. Style: 1 single image, 2 image with mask;
    // placement: 1 centred at natural size, 2 stretched. Any other style or placement draws
    // nothing.
    static void DrawImage(HDC hdc, const RECT& rect, HBITMAP image, HBITMAP mask, int style,
                          int placement);

    void PaintIfVisible(HDC hdc);
    int TouchDown(HWND window, int reserved, int x, int y);
    int TouchUp(HWND window, int reserved, int x, int y);
    int TouchMove(HWND window, int reserved, int x, int y);

    bool HitTest(int x, int y) const;
    void Invalidate() const;
    void GetRect(RECT* rect) const;
    void SetBounds(int x, int y, int w, int h);

    // Copies at most TextCapacity - 1 characters: a longer string is cut there. A null or empty
    // string leaves the text as it was.
    void SetText(const wchar_t* string);
    const wchar_t* GetText() const { return text; }

    void SetVisible(int value) { visible = value; }
    void SetEnabled(int value) { enabled = value; }
    void SetFont(HFONT value) { font = value; }
    void SetTextColor(COLORREF value) { textColor = value; }
    void SetActiveTextColor(COLORREF value) { activeTextColor = value; }
    void SetTextFormat(UINT value) { textFormat = value; }
    void SetTextMargins(int l, int t, int r, int b);
    void SetParent(Control* value) { parent = value; }

    int GetId() const { return id; }
    HWND GetWindow() const { return window; }
    int GetLeft() const { return left; }
    int GetTop() const { return top; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetVisible() const { return visible; }
    int GetEnabled() const { return enabled; }
    int GetState() const { return state; }
    HFONT GetFont() const { return font; }
    COLORREF GetTextColor() const { return textColor; }
    COLORREF GetActiveTextColor() const { return activeTextColor; }
    UINT GetTextFormat() const { return textFormat; }
    Control* GetParent() const { return parent; }

    int state;        // pressed, or checked for check boxes
    int interactive;  // takes touch at all
    HINSTANCE instance;
    HWND window;  // every invalidation goes here
    int id;
    wchar_t text[TextCapacity];
    int left, top;
    int width, height;
    int visible;
    int enabled;
    HFONT font;  // not owned
    COLORREF textColor;
    COLORREF activeTextColor;
    UINT textFormat;
    int marginLeft, marginTop, marginRight, marginBottom;
    Control* parent;

protected:
    // Posts WM_COMMAND with code and id to `target`, the control's address as lParam.
    void Notify(HWND target, int code);
    // A completed press: lets go, repaints, and reports Released then Clicked to `target`.
    void CompletePress(HWND target);
};
