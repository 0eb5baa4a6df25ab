#pragma once

#include "platform/win32.h"

enum TransitionKind {
    NoTransition = 0,
    PushLeft = 1,
    PushRight = 2,
    PushUp = 3,
    PushDown = 4,
    CoverFromRight = 5,
    UncoverLeft = 6,
    CoverFromLeft = 7,
    UncoverRight = 8,
    CoverFromBottom = 9,
    UncoverUp = 10,
    CoverFromTop = 11,
    UncoverDown = 12,
    FadeIn = 13,
    FadeOut = 14,
    OpenFromCentre = 15,
    CloseToCentre = 16,
};

// One animated page change: a timer on `window` advances `progress` from 0.0 to 1.0 over
// `durationMs`, and DrawFrame composes the outgoing and incoming pictures for that progress.
class Transition {
public:
    Transition(HWND window, UINT timerId, UINT timerPeriod);
    // Stops the timer if still armed and clears currentTransition when it names this object.
    ~Transition();
    Transition(const Transition&) = delete;
    Transition& operator=(const Transition&) = delete;

    void SetKind(int value) { kind = value; }
    void SetDuration(int value) { durationMs = value; }

    void Start();
    void Step();
    void DrawFrame(HDC hdc, HDC oldSurface, HDC newSurface, const RECT& rect) const;

    static void CALLBACK TransitionTimerProc(HWND window, UINT message, UINT_PTR timerId,
                                             DWORD time);

    HWND window;
    UINT timerId;
    UINT timerPeriod;
    int kind;
    int durationMs;
    int running;
    DWORD startTick;
    double progress;
};

// The transition the timer callback advances (the callback carries no user data). Constructing a
// Transition clears it, Start sets it, destroying the transition it names clears it. UI thread
// only.
extern Transition* currentTransition;
