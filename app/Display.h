// The screen while the window is active: full screen without the task bar and the input button,
// and the display in its natural (portrait) orientation; both given back on deactivation.
#pragma once

#include "platform/win32.h"

class Display {
public:
    // Activation: the window covers the screen and is shown; the orientation found is kept.
    void Take(HWND window);
    // Deactivation: the window moves onto the work area and the kept orientation comes back.
    void GiveBack(HWND window);

    static void SetFullScreen(HWND window, bool on);
    // The display's orientation (DMDO_*), or -1 when it cannot be read.
    static int GetOrientation();
    // False when the orientations cannot be queried, the current one cannot be read or already is
    // `orientation`, or the change fails.
    static bool SetOrientation(int orientation);

private:
    int savedOrientation = -1;  // none read yet
};
