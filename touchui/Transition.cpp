#include "touchui/Transition.h"

#include "graphics/Drawing.h"

Transition* currentTransition = nullptr;

Transition::Transition(HWND window_, UINT timerId_, UINT timerPeriod_)
    : window(window_),
      timerId(timerId_),
      timerPeriod(timerPeriod_),
      kind(NoTransition),
      durationMs(0),
      running(0),
      startTick(0),
      progress(0.0) {
    currentTransition = nullptr;
}

Transition::~Transition() {
    if (running)
        KillTimer(window, timerId);
    if (currentTransition == this)
        currentTransition = nullptr;
}

void Transition::Start() {
    if (kind == NoTransition || durationMs < 1)
        return;
    if (running)
        KillTimer(window, timerId);
    running = 1;
    progress = 0.0;
    startTick = GetTickCount();
    currentTransition = this;
    SetTimer(window, timerId, timerPeriod, TransitionTimerProc);
}

void Transition::Step() {
    if (progress >= 1.0) {
        running = 0;
        KillTimer(window, timerId);
        return;
    }
    // Unsigned difference: right across the wrap of the tick counter.
    DWORD elapsed = GetTickCount() - startTick;
    progress = static_cast<double>(elapsed) / static_cast<double>(durationMs);
    if (progress > 1.0)
        progress = 1.0;
}

void CALLBACK Transition::TransitionTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD) {
    if (currentTransition)
        currentTransition->Step();
    else
        KillTimer(window, timerId);  // nobody left to step: the timer would only repaint forever
    // Also on the stopping tick, so the page is then drawn by ordinary painting.
    InvalidateRect(window, NULL, TRUE);
}

void Transition::DrawFrame(HDC hdc, HDC oldSurface, HDC newSurface, const RECT& rect) const {
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return;
    const double p = progress < 0.0 ? 0.0 : (progress > 1.0 ? 1.0 : progress);
    const int dx = static_cast<int>(w * p);
    const int dy = static_cast<int>(h * p);
    const int ox = rect.left;
    const int oy = rect.top;
    auto copy = [&](int x, int y, int cw, int ch, HDC source, int sx, int sy) {
        BitBlt(hdc, ox + x, oy + y, cw, ch, source, sx, sy, SRCCOPY);
    };
    auto full = [&](HDC source) { copy(0, 0, w, h, source, 0, 0); };

    switch (kind) {
        case PushLeft:
            copy(0, 0, w - dx, h, oldSurface, dx, 0);
            copy(w - dx, 0, dx, h, newSurface, 0, 0);
            break;
        case PushRight:
            copy(0, 0, dx, h, newSurface, w - dx, 0);
            copy(dx, 0, w - dx, h, oldSurface, 0, 0);
            break;
        case PushUp:
            copy(0, 0, w, h - dy, oldSurface, 0, dy);
            copy(0, h - dy, w, dy, newSurface, 0, 0);
            break;
        case PushDown:
            copy(0, 0, w, dy, newSurface, 0, h - dy);
            copy(0, dy, w, h - dy, oldSurface, 0, 0);
            break;
        case CoverFromRight:
            full(oldSurface);
            copy(w - dx, 0, dx, h, newSurface, 0, 0);
            break;
        case UncoverLeft:
            full(newSurface);
            copy(0, 0, w - dx, h, oldSurface, dx, 0);
            break;
        case CoverFromLeft:
            full(oldSurface);
            copy(0, 0, dx, h, newSurface, w - dx, 0);
            break;
        case UncoverRight:
            full(newSurface);
            copy(dx, 0, w - dx, h, oldSurface, 0, 0);
            break;
        case CoverFromBottom:
            full(oldSurface);
            copy(0, h - dy, w, dy, newSurface, 0, 0);
            break;
        case UncoverUp:
            full(newSurface);
            copy(0, 0, w, h - dy, oldSurface, 0, dy);
            break;
        case CoverFromTop:
            full(oldSurface);
            copy(0, 0, w, dy, newSurface, 0, h - dy);
            break;
        case UncoverDown:
            full(newSurface);
            copy(0, dy, w, h - dy, oldSurface, 0, 0);
            break;
        case FadeIn:
            full(oldSurface);
            BlendSurface(hdc, ox, oy, w, h, newSurface, 0, 0, w, h,
                         static_cast<BYTE>(static_cast<int>(p * 255.0)));
            break;
        case FadeOut:
            full(newSurface);
            BlendSurface(hdc, ox, oy, w, h, oldSurface, 0, 0, w, h,
                         static_cast<BYTE>(static_cast<int>(255.0 - p * 255.0)));
            break;
        case OpenFromCentre: {
            full(oldSurface);
            const int x = (w - dx) / 2;
            const int y = (h - dy) / 2;
            copy(x, y, dx, dy, newSurface, x, y);
            break;
        }
        case CloseToCentre: {
            full(newSurface);
            const int ex = static_cast<int>(w - w * p);
            const int ey = static_cast<int>(h - h * p);
            const int x = (w - ex) / 2;
            const int y = (h - ey) / 2;
            copy(x, y, ex, ey, oldSurface, x, y);
            break;
        }
        default:
            break;
    }
}
