// A page of the program: one screen under the host, the controls it builds and owns, laid out
// for the screen's size, and its answers to what they report. A new page is a class of its own
// registered with the UserInterface.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/win32.h"

class Button;
class Control;
class ImageBox;
class Label;
class Screen;
class UserInterface;
struct StackRow;

class Page {
public:
    Page(UserInterface& ui, int screenId);
    virtual ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    Screen* GetScreen() const { return screen.get(); }
    int GetId() const;
    bool IsShown() const;

    // A WM_COMMAND from a control: true when it was one of this page's. The way back leads to
    // the main page.
    virtual bool OnCommand(int id, int code, LPARAM control);
    // A key going down (not a repeat) while the page is shown: true when the page used it.
    // Escape clicks the way back.
    virtual bool OnKeyDown(UINT virtualKey, UINT scancode);
    // Every page hears a key go up, and the focus going with every key, whichever is shown.
    virtual void OnKeyUp(UINT scancode);
    // A WM_CHAR while the page is shown (typed text reaches a page only while it asked for it
    // with SipShowIM): true when the page used it.
    virtual bool OnChar(UINT character);
    virtual void ReleaseKeys();
    // Fingers after the first (which is the pointer): one landing while the page is shown (1 when
    // the page took it); moves and lifts reach every page.
    virtual int OnFingerDown(UINT contact, int x, int y);
    virtual void OnFingerMove(UINT contact, int x, int y);
    virtual void OnFingerUp(UINT contact, int x, int y);
    // Just before the page is shown: what it shows brought up to date.
    virtual void OnShow() {}
    // The controls a key or a switch can act on, in reading order.
    virtual std::vector<Control*> FocusOrder() const = 0;

    // Transitions towards a page and back to the main one.
    static constexpr int kTransitionToPage = 11;
    static constexpr int kTransitionBack = 10;

    // The look every page shares. x and y in pixels (a sum converted term by term, the screen
    // size unconverted); width and height in 96-dpi units.
    static void Place(Control* control, int x, int y, int w, int h);
    static void SetMargins(Control* control, int l, int t, int r, int b);
    // Single pictures stretched to the bounds: normal (off) and active (pressed, on).
    template <class T>
    static void SetPictures(T* control, HBITMAP normal, HBITMAP active) {
        control->SetImageStyle(1);
        control->SetImagePlacement(2);
        control->SetImage(normal, 1);
        control->SetImage(active, 3);
    }
    static void SetPicture(ImageBox* box, HBITMAP image);
    static void SetupLabel(Label* label, HFONT font, UINT format, const wchar_t* text);
    // A button drawn as a key of the skin's colours with its text on it (no picture).
    static void SetupKey(Button* button, HFONT font, const wchar_t* text);

protected:
    // Text layouts: left, centred, and hung from the top on one line; the pad's words.
    static constexpr UINT kFormatLeft = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    static constexpr UINT kFormatCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    static constexpr UINT kFormatTop = DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    static constexpr UINT kFormatWords = DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS;
    static constexpr UINT kFormatLines = DT_WORDBREAK | DT_WORD_ELLIPSIS;
    static constexpr COLORREF kGradientTop = RGB(165, 251, 49);
    static constexpr COLORREF kGradientBottom = RGB(51, 102, 0);

    template <class T>
    std::unique_ptr<T> Make(int id) const {
        return std::make_unique<T>(instance, window, id);
    }
    // A control moved onto its row of a short screen (StackRows), keeping its left and width.
    static void Restack(Control* control, const StackRow& row);
    // The screen's controls in paint order, which is also the order touch is offered in.
    void Compose(std::initializer_list<Control*> controls);
    // The button in the middle of the bottom bar that leads back to the main page.
    Button* MakeWayBack(int id);
    Button* GetWayBack() const { return wayBack.get(); }

    UserInterface& ui;
    const HINSTANCE instance;
    const HWND window;
    const int screenWidth;  // pixels
    const int screenHeight;

private:
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Button> wayBack;
};
