// The short pulse of the vibrator after a taken touch. The UI thread never waits for it: a timer
// of the window switches it off, so a touch during a pulse is taken at once.
#pragma once

#include "platform/win32.h"

class Vibration {
public:
    static constexpr DWORD kTouchPulseMs = 25;

    // `window` carries the timer that ends a pulse; without one a pulse ends at once.
    void SetWindow(HWND value) { window = value; }
    // Switches the vibrator on until `milliseconds` from now (a pulse during a pulse lasts until
    // `milliseconds` after the later one).
    void Pulse(DWORD milliseconds);
    // A pulse still running ends now, not never.
    void Stop();

private:
    static bool SetVibrator(bool on);
    static void CALLBACK OffTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    HWND window = nullptr;
};
