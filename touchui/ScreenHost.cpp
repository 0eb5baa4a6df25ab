#include "touchui/ScreenHost.h"

#include "graphics/Drawing.h"

ScreenHost::ScreenHost(HINSTANCE instance_, HWND window_, int id_, UINT timerId_, UINT timerPeriod_)
    : Control(instance_, window_, id_), timerId(timerId_), timerPeriod(timerPeriod_) {}

ScreenHost::~ScreenHost() {
    transition.reset();
    ReleaseSurfaces();
}

void ScreenHost::AddScreen(Screen* screen) {
    if (!screen)
        return;
    screen->SetParent(this);
    screen->SetVisible(0);
    screens.push_back(screen);
}

namespace {

void RemakeSurface(ScreenHost::Surface& surface, HDC windowDC, int w, int h) {
    if (surface.dc)
        DeleteDC(surface.dc);
    surface.dc = CreateCompatibleDC(windowDC);
    if (surface.bitmap)
        DeleteObject(surface.bitmap);
    surface.bitmap = CreateCompatibleBitmap(windowDC, w, h);
    if (surface.dc && surface.bitmap)
        SelectObject(surface.dc, surface.bitmap);
}

}  // namespace

void ScreenHost::CreateSurfaces() {
    HDC windowDC = GetDC(window);
    RemakeSurface(oldSurface, windowDC, width, height);
    RemakeSurface(newSurface, windowDC, width, height);
    if (windowDC)
        ReleaseDC(window, windowDC);
}

void ScreenHost::ReleaseSurfaces() {
    // Each context goes before its bitmap, which cannot be deleted while selected.
    for (Surface* surface : {&oldSurface, &newSurface}) {
        if (surface->dc)
            DeleteDC(surface->dc);
        surface->dc = NULL;
        if (surface->bitmap)
            DeleteObject(surface->bitmap);
        surface->bitmap = NULL;
    }
}

void ScreenHost::SetVisibleScreen(int screenId) {
    for (Screen* screen : screens) {
        if (!screen)
            continue;
        screen->SetVisible(0);
        if (screen->GetId() == screenId)
            screen->SetVisible(1);
    }
}

void ScreenHost::ShowScreen(int screenId) {
    if (screenId == 0 || !visible)
        return;
    SetVisibleScreen(screenId);
    Invalidate();
}

void ScreenHost::ShowScreenAnimated(int screenId, int kind, int durationMs, HDC sourceDC) {
    if (!visible || screenId == 0)
        return;
    // Without both surfaces the frames would show nothing of either page.
    if (kind == NoTransition || durationMs <= 0 || !sourceDC || !oldSurface.dc || !newSurface.dc) {
        ShowScreen(screenId);
        return;
    }
    SetVisibleScreen(screenId);

    // The new object clears currentTransition before the old one is freed, so the timer callback
    // never sees a dangling pointer; freeing the old one also stops its timer.
    std::unique_ptr<Transition> next(new Transition(window, timerId, timerPeriod));
    transition = std::move(next);
    transition->SetKind(kind);
    transition->SetDuration(durationMs);

    FillSolidRect(oldSurface.dc, 0, 0, width, height, 0x00000000);
    FillSolidRect(newSurface.dc, 0, 0, width, height, 0x00000000);
    BitBlt(oldSurface.dc, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
    PaintScreens(newSurface.dc);
    transition->Start();
}

void ScreenHost::PaintScreens(HDC hdc) {
    for (Screen* screen : screens) {
        if (screen && screen->visible)
            screen->PaintIfVisible(hdc);
    }
}

void ScreenHost::Paint(HDC hdc) {
    if (!visible)
        return;
    if (transition && transition->running) {
        RECT rect;
        GetRect(&rect);
        transition->DrawFrame(hdc, oldSurface.dc, newSurface.dc, rect);
    } else {
        PaintScreens(hdc);
    }
}

template <typename Offer>
int ScreenHost::OfferToScreens(Offer offer) {
    if (!visible)
        return 0;
    int result = 0;
    for (Screen* screen : screens) {
        if (screen && screen->visible && screen->enabled)
            result = offer(screen);
    }
    return result;
}

int ScreenHost::OnTouchDown(HWND target, int reserved, int x, int y) {
    return OfferToScreens([&](Screen* s) { return s->TouchDown(target, reserved, x, y); });
}

int ScreenHost::OnTouchUp(HWND target, int reserved, int x, int y) {
    return OfferToScreens([&](Screen* s) { return s->TouchUp(target, reserved, x, y); });
}

int ScreenHost::OnTouchMove(HWND target, int reserved, int x, int y) {
    return OfferToScreens([&](Screen* s) { return s->TouchMove(target, reserved, x, y); });
}
