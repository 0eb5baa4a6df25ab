#include "touchui/ScrollPanel.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "graphics/Drawing.h"

namespace {

// How far a finger may wander, in 96-dpi units, before its movement counts as a drag.
constexpr int kTouchSlop = 8;

// The indicator: its width and its gap to the panel's right edge, its shortest length.
constexpr int kIndicatorWidth = 3;
constexpr int kIndicatorGap = 1;
constexpr int kIndicatorMinLength = 16;

}  // namespace

ScrollPanel::ScrollPanel(HINSTANCE instance_, HWND window_, int id_)
    : Control(instance_, window_, id_),
      indicatorTop(RGB(0xA5, 0xFB, 0x31)),
      indicatorBottom(RGB(0x33, 0x66, 0x00)) {}

ScrollPanel::~ScrollPanel() {
    ReleaseSurface();
}

void ScrollPanel::AddControl(Control* control, int x, int y, int w, int h) {
    if (!control)
        return;
    const Placement placement{x, y, w, h};
    auto it = std::find(controls.begin(), controls.end(), control);
    if (it != controls.end()) {
        placements[it - controls.begin()] = placement;
    } else {
        control->SetParent(this);
        controls.push_back(control);
        placements.push_back(placement);
    }
    PlaceControls();
}

std::vector<Control*> ScrollPanel::ReadingOrder() const {
    std::vector<size_t> order(controls.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        const Placement &p = placements[a], &q = placements[b];
        return p.y != q.y ? p.y < q.y : p.x < q.x;
    });
    std::vector<Control*> out;
    out.reserve(order.size());
    for (size_t i : order)
        out.push_back(controls[i]);
    return out;
}

int ScrollPanel::GetContentHeight() const {
    int bottom = 0;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i]->visible)
            bottom = std::max(bottom, placements[i].y + placements[i].h);
    }
    return bottom;
}

int ScrollPanel::GetMaxScroll() const {
    return std::max(0, GetContentHeight() - height);
}

bool ScrollPanel::ScrollTo(int pos) {
    pos = std::clamp(pos, 0, GetMaxScroll());
    const bool moved = pos != scrollPos;
    scrollPos = pos;
    PlaceControls();
    return moved;
}

bool ScrollPanel::ScrollBy(int dy) {
    return ScrollTo(scrollPos + dy);
}

bool ScrollPanel::EnsureVisible(const Control* control) {
    auto it = std::find(controls.begin(), controls.end(), control);
    if (it == controls.end())
        return false;
    const Placement& p = placements[it - controls.begin()];
    int pos = scrollPos;
    if (p.h > height || p.y < scrollPos)
        pos = p.y;
    else if (p.y + p.h > scrollPos + height)
        pos = p.y + p.h - height;
    return ScrollTo(pos);
}

void ScrollPanel::SetIndicatorColors(COLORREF top, COLORREF bottom) {
    indicatorTop = top;
    indicatorBottom = bottom;
}

void ScrollPanel::PlaceControls() {
    // Children hidden or a panel grown since may have left the view past the end.
    scrollPos = std::clamp(scrollPos, 0, GetMaxScroll());
    for (size_t i = 0; i < controls.size(); ++i) {
        const Placement& p = placements[i];
        controls[i]->SetBounds(left + p.x, top + p.y - scrollPos, p.w, p.h);
    }
}

// ---- Painting -----------------------------------------------------------------------------------

bool ScrollPanel::MakeSurface(HDC hdc) {
    const int w = left + width, h = top + height;
    if (surfaceDC && surfaceWidth >= w && surfaceHeight >= h)
        return true;
    ReleaseSurface();
    if (w <= 0 || h <= 0)
        return false;
    surfaceDC = CreateCompatibleDC(hdc);
    surfaceBitmap = CreateCompatibleBitmap(hdc, w, h);
    if (!surfaceDC || !surfaceBitmap) {
        ReleaseSurface();
        return false;
    }
    SelectObject(surfaceDC, surfaceBitmap);
    surfaceWidth = w;
    surfaceHeight = h;
    return true;
}

void ScrollPanel::ReleaseSurface() {
    // The context goes before its bitmap, which cannot be deleted while selected.
    if (surfaceDC)
        DeleteDC(surfaceDC);
    if (surfaceBitmap)
        DeleteObject(surfaceBitmap);
    surfaceDC = NULL;
    surfaceBitmap = NULL;
    surfaceWidth = surfaceHeight = 0;
}

void ScrollPanel::Paint(HDC hdc) {
    if (width <= 0 || height <= 0)
        return;
    PlaceControls();
    RECT view;
    GetRect(&view);
    // The platform draws without clip regions: the children are painted over a copy of what lies
    // under the panel, and only the panel's rectangle is copied back.
    if (!MakeSurface(hdc))
        return;
    BitBlt(surfaceDC, left, top, width, height, hdc, left, top, SRCCOPY);
    for (Control* control : controls) {
        RECT rect, shown;
        control->GetRect(&rect);
        if (control->visible && IntersectRect(&shown, &rect, &view))
            control->PaintIfVisible(surfaceDC);
    }
    BitBlt(hdc, left, top, width, height, surfaceDC, left, top, SRCCOPY);
    PaintIndicator(hdc);
}

void ScrollPanel::PaintIndicator(HDC hdc) const {
    const int content = GetContentHeight();
    const int maxScroll = content - height;
    if (maxScroll <= 0)
        return;
    const int length =
        std::clamp(static_cast<int>(static_cast<long long>(height) * height / content),
                   std::min(ScaleY(kIndicatorMinLength), height), height);
    const int y =
        top + static_cast<int>(static_cast<long long>(height - length) * scrollPos / maxScroll);
    const int right = left + width - std::max(1, ScaleX(kIndicatorGap));
    const int x = right - std::max(1, ScaleX(kIndicatorWidth));
    FillGradient(hdc, x, y, right, y + length, indicatorTop, indicatorBottom, GRADIENT_FILL_RECT_V);
}

// ---- Touch --------------------------------------------------------------------------------------

POINT ScrollPanel::ForChild(const Control* child, int x, int y) const {
    POINT p{x, y};
    if (!HitTest(x, y) && child->HitTest(x, y))
        p.y = child->top - 1;  // the part of the child out of view is not there to touch
    return p;
}

int ScrollPanel::OnTouchDown(HWND target, int reserved, int x, int y) {
    state = 0;
    pressed = nullptr;
    if (!HitTest(x, y))
        return 0;
    PlaceControls();
    for (Control* control : controls) {
        if (control->visible && control->enabled && control->TouchDown(target, reserved, x, y)) {
            pressed = control;
            break;
        }
    }
    const bool scrolls = GetMaxScroll() > 0;
    if (!pressed && !scrolls)
        return 0;
    state = 1;
    gesture = scrolls ? Gesture::Undecided : Gesture::Child;
    downX = x;
    downY = y;
    lastY = y;
    return 1;
}

int ScrollPanel::OnTouchMove(HWND target, int reserved, int x, int y) {
    if (!state)
        return 0;
    if (gesture == Gesture::Undecided) {
        const int dx = std::abs(x - downX), dy = std::abs(y - downY);
        if (dy > ScaleY(kTouchSlop) && dy >= dx) {
            gesture = Gesture::Scrolling;
            if (pressed)
                pressed->CancelTouch(target);
            pressed = nullptr;
            // The content follows the finger from here, not from where it landed.
            lastY = y;
            return 1;
        }
        if (dx > ScaleX(kTouchSlop))
            gesture = Gesture::Child;
    }
    if (gesture == Gesture::Scrolling) {
        // Against the finger's movement, from its last place: turning back moves the content at
        // once, even after it stopped at an end.
        const bool moved = ScrollBy(lastY - y);
        lastY = y;
        if (moved) {
            Invalidate();
            Notify(target, Scrolled);
        }
        return 1;
    }
    if (pressed) {
        const POINT p = ForChild(pressed, x, y);
        pressed->TouchMove(target, reserved, p.x, p.y);
    }
    return 1;
}

int ScrollPanel::OnTouchUp(HWND target, int reserved, int x, int y) {
    if (!state)
        return 0;
    state = 0;
    if (pressed && gesture != Gesture::Scrolling) {
        const POINT p = ForChild(pressed, x, y);
        pressed->TouchUp(target, reserved, p.x, p.y);
    }
    pressed = nullptr;
    return 1;
}

void ScrollPanel::CancelTouch(HWND target) {
    if (!state)
        return;
    state = 0;
    if (pressed)
        pressed->CancelTouch(target);
    pressed = nullptr;
}
