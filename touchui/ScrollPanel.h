#pragma once

#include <vector>

#include "touchui/Control.h"

// A window onto content taller than itself: it holds controls placed on the content (rows of
// buttons, labels, check boxes, sliders, text fields), paints those it shows cut to its bounds,
// and scrolls the content by a vertical drag, never past either end. A touch that lands on a child
// goes to it; if the finger then moves vertically more than a few pixels before it moved as far
// sideways, the child's touch is cancelled (CancelTouch: a button does not click, a slider and a
// check box go back) and the drag scrolls, reporting Scrolled. Sideways first, the child keeps the
// touch to its lift (a slider drags). A thin indicator on the right shows where the view is while
// the content is taller. Children are placed on the screen when the panel paints, takes a touch
// or scrolls.
class ScrollPanel : public Control {
public:
    ScrollPanel(HINSTANCE instance, HWND window, int id);
    // Releases the surface the children are painted on; the children are not owned.
    ~ScrollPanel() override;
    ScrollPanel(const ScrollPanel&) = delete;
    ScrollPanel& operator=(const ScrollPanel&) = delete;

    // Places the control at (x, y) of the content, w x h pixels, adding it (its parent becomes
    // the panel) or moving it when it is already there. Ignored for null.
    void AddControl(Control* control, int x, int y, int w, int h);
    // In the order added, which is also paint order and the order a touch is offered in.
    const std::vector<Control*>& GetControls() const { return controls; }
    // The children as read: top to bottom, and left to right along a row.
    std::vector<Control*> ReadingOrder() const;

    // The bottom of the lowest visible child, in content pixels.
    int GetContentHeight() const;
    // How far the content is scrolled up: 0 .. GetMaxScroll().
    int GetScrollPos() const { return scrollPos; }
    int GetMaxScroll() const;
    // Scroll to `pos`, within the ends. True when the view moved; repaints nothing.
    bool ScrollTo(int pos);
    // Scroll just far enough for the child to be seen whole (its top when it is taller than the
    // panel). True when the view moved; repaints nothing. False for a control not in the panel.
    bool EnsureVisible(const Control* control);

    // The indicator's gradient, top to bottom.
    void SetIndicatorColors(COLORREF top, COLORREF bottom);

    void Paint(HDC hdc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;
    void CancelTouch(HWND window) override;

    COLORREF indicatorTop, indicatorBottom;

private:
    struct Placement {
        int x, y, w, h;  // in the content
    };
    enum class Gesture { Undecided, Child, Scrolling };

    void PlaceControls();
    bool ScrollBy(int dy);
    // The point as the pressed child should see it: off the panel, it is off the child too.
    POINT ForChild(const Control* child, int x, int y) const;
    bool MakeSurface(HDC hdc);
    void ReleaseSurface();
    void PaintIndicator(HDC hdc) const;

    std::vector<Control*> controls;  // not owned
    std::vector<Placement> placements;
    int scrollPos = 0;

    Control* pressed = nullptr;  // the child that took the present touch
    Gesture gesture = Gesture::Undecided;
    int downX = 0, downY = 0;
    int lastY = 0;

    // Window-sized (to the panel's right and bottom), so that children paint at their own
    // coordinates; only the panel's rectangle of it is ever copied out.
    HDC surfaceDC = NULL;
    HBITMAP surfaceBitmap = NULL;
    int surfaceWidth = 0, surfaceHeight = 0;
};
