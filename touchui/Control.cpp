#include "touchui/Control.h"

#include <atomic>
#include <mutex>

#include "graphics/Drawing.h"

namespace {

// The loader thread builds controls while the UI thread paints, so the first read may happen on
// either; the mutex makes it happen once, the atomics publish the result.
std::mutex dpiMutex;
std::atomic<bool> dpiKnown{false};
std::atomic<int> dpiX{0};
std::atomic<int> dpiY{0};

void EnsureDpi() {
    if (dpiKnown.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::mutex> lock(dpiMutex);
    if (dpiKnown.load(std::memory_order_relaxed))
        return;
    int x = -1;
    int y = -1;
    HDC screen = GetDC(NULL);
    if (screen) {
        x = GetDeviceCaps(screen, LOGPIXELSX);
        y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(NULL, screen);
    }
    dpiX.store(x, std::memory_order_relaxed);
    dpiY.store(y, std::memory_order_relaxed);
    dpiKnown.store(true, std::memory_order_release);
}

int Scale(int n, int dpi) {
    const long long units = n < 0 ? -static_cast<long long>(n) : n;
    const long long pixels = (units * dpi + 48) / 96;
    return static_cast<int>(n < 0 ? -pixels : pixels);
}

}  // namespace

int ScaleX(int n) {
    EnsureDpi();
    return Scale(n, dpiX.load(std::memory_order_relaxed));
}

int ScaleY(int n) {
    EnsureDpi();
    return Scale(n, dpiY.load(std::memory_order_relaxed));
}

void ResetScaleForTests() {
    std::lock_guard<std::mutex> lock(dpiMutex);
    dpiKnown.store(false, std::memory_order_release);
}

Control::Control(HINSTANCE instance_, HWND window_, int id_)
    : state(0),
      interactive(1),
      instance(instance_),
      window(window_),
      id(id_),
      text{},
      left(0),
      top(0),
      width(ScaleX(50)),
      height(ScaleY(20)),
      visible(1),
      enabled(1),
      font(NULL),
      textColor(0x00FFFFFF),
      activeTextColor(0x00000000),
      textFormat(DT_END_ELLIPSIS | DT_SINGLELINE | DT_VCENTER),
      marginLeft(ScaleX(2)),
      marginTop(ScaleY(1)),
      marginRight(ScaleX(2)),
      marginBottom(ScaleY(1)),
      parent(nullptr) {}

void Control::Paint(HDC) {}

int Control::OnTouchDown(HWND target, int, int x, int y) {
    state = HitTest(x, y) ? 1 : 0;
    if (!state)
        return 0;
    Notify(target, Pressed);
    Invalidate();
    return 1;
}

int Control::OnTouchUp(HWND target, int, int x, int y) {
    if (!state || !HitTest(x, y)) {
        state = 0;
        Invalidate();
        return 0;
    }
    CompletePress(target);
    return 1;
}

int Control::OnTouchMove(HWND target, int, int x, int y) {
    if (!state)
        return 0;
    state = HitTest(x, y) ? 1 : 0;
    Notify(target, Dragged);
    Invalidate();
    return 1;
}

void Control::CancelTouch(HWND target) {
    if (!state)
        return;
    state = 0;
    Invalidate();
    Notify(target, Cancelled);
}

void Control::PaintIfVisible(HDC hdc) {
    if (visible)
        Paint(hdc);
}

int Control::TouchDown(HWND target, int reserved, int x, int y) {
    if (!visible || !enabled || !interactive)
        return 0;
    return OnTouchDown(target, reserved, x, y);
}

int Control::TouchUp(HWND target, int reserved, int x, int y) {
    if (!visible || !enabled || !interactive)
        return 0;
    return OnTouchUp(target, reserved, x, y);
}

int Control::TouchMove(HWND target, int reserved, int x, int y) {
    if (!visible || !enabled || !interactive)
        return 0;
    return OnTouchMove(target, reserved, x, y);
}

bool Control::HitTest(int x, int y) const {
    if (!visible)
        return false;
    RECT rect;
    GetRect(&rect);
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

void Control::Invalidate() const {
    RECT rect;
    GetRect(&rect);
    InvalidateRect(window, &rect, TRUE);
}

void Control::GetRect(RECT* rect) const {
    rect->left = left;
    rect->top = top;
    rect->right = left + width;
    rect->bottom = top + height;
}

void Control::SetBounds(int x, int y, int w, int h) {
    left = x;
    top = y;
    width = w;
    height = h;
}

void Control::SetText(const wchar_t* string) {
    if (!string || !string[0])
        return;
    int i = 0;
    for (; i < TextCapacity - 1 && string[i]; ++i)
        text[i] = string[i];
    text[i] = 0;
}

void Control::SetTextMargins(int l, int t, int r, int b) {
    marginLeft = l;
    marginTop = t;
    marginRight = r;
    marginBottom = b;
}

void Control::Notify(HWND target, int code) {
    WPARAM wParam = (static_cast<WPARAM>(static_cast<unsigned>(code) & 0xFFFF) << 16) |
                    (static_cast<unsigned>(id) & 0xFFFF);
    PostMessage(target, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(this));
}

void Control::CompletePress(HWND target) {
    state = 0;
    Notify(target, Released);
    Invalidate();
    Notify(target, Clicked);
}

void Control::DrawImage(HDC hdc, const RECT& r, HBITMAP image, HBITMAP mask, int style,
                        int placement) {
    if (style == 1) {
        if (placement == 1)
            DrawBitmapCentred(hdc, r.left, r.top, r.right, r.bottom, image);
        else if (placement == 2)
            DrawBitmapStretched(hdc, r.left, r.top, r.right, r.bottom, image);
    } else if (style == 2) {
        if (placement == 1)
            DrawBitmapCentredMasked(hdc, r.left, r.top, r.right, r.bottom, image, mask);
        else if (placement == 2)
            DrawBitmapStretchedMasked(hdc, r.left, r.top, r.right, r.bottom, image, mask);
    }
}

bool StateImages::Set(HBITMAP image, int role) {
    switch (role) {
        case ImageNormal:
            normal = image;
            return true;
        case ImageNormalMask:
            normalMask = image;
            return true;
        case ImageActive:
            active = image;
            return true;
        case ImageActiveMask:
            activeMask = image;
            return true;
        case ImageDisabled:
            disabled = image;
            return true;
        case ImageDisabledMask:
            disabledMask = image;
            return true;
        default:
            return false;
    }
}

void StateImages::Draw(HDC hdc, const RECT& rect, int enabled, int isActive, int style,
                       int placement) const {
    if (!enabled)
        Control::DrawImage(hdc, rect, disabled, disabledMask, style, placement);
    else if (isActive)
        Control::DrawImage(hdc, rect, active, activeMask, style, placement);
    else
        Control::DrawImage(hdc, rect, normal, normalMask, style, placement);
}
