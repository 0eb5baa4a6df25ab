#pragma once

#include <memory>
#include <vector>

#include "touchui/Control.h"
#include "touchui/Screen.h"
#include "touchui/Transition.h"

// The root of the control tree: covers the whole window, shows one Screen at a time and animates
// page changes between two host-sized off-screen surfaces.
class ScreenHost : public Control {
public:
    // A memory context with a host-sized bitmap selected into it.
    struct Surface {
        HDC dc = NULL;
        HBITMAP bitmap = NULL;
    };

    ScreenHost(HINSTANCE instance, HWND window, int id, UINT timerId, UINT timerPeriod);
    // Releases the surfaces and the last transition (stopping its timer); screens and controls are
    // not owned.
    virtual ~ScreenHost();
    ScreenHost(const ScreenHost&) = delete;
    ScreenHost& operator=(const ScreenHost&) = delete;

    void AddScreen(Screen* screen);
    void CreateSurfaces();
    void ReleaseSurfaces();

    void ShowScreen(int screenId);
    // sourceDC holds the picture now on screen (the outgoing page).
    void ShowScreenAnimated(int screenId, int kind, int durationMs, HDC sourceDC);
    void PaintScreens(HDC hdc);

    void Paint(HDC hdc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;

    Transition* GetTransition() const { return transition.get(); }

    std::vector<Screen*> screens;  // not owned
    std::unique_ptr<Transition> transition;
    UINT timerId;
    UINT timerPeriod;
    Surface oldSurface;
    Surface newSurface;

private:
    void SetVisibleScreen(int screenId);
    template <typename Offer>
    int OfferToScreens(Offer offer);
};
