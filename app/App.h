// The application object: the images built into the program, chosen by the screen's size.
#pragma once

#include "platform/win32.h"

// Resource ids of the built-in images.
enum AppResource {
    IDI_PULSOR = 101,
    IDB_SPLASH_LARGE = 102,
    IDB_SPLASH_SMALL = 103,
    IDB_MAKER_LARGE = 104,
    IDB_MAKER_SMALL = 105,
    IDB_DONATE_LARGE = 106,
    IDB_DONATE_SMALL = 107,
    IDB_DONATE_PRESSED_LARGE = 108,
    IDB_DONATE_PRESSED_SMALL = 109,
};

// 1..6 for the handheld screen sizes the program is drawn for, 0 for any other.
int GetResolutionClass(int screenWidth, int screenHeight);

class App {
public:
    explicit App(HINSTANCE instance);
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Loads the icon, and the small or large set of bitmaps for the screen's resolution class.
    void Load();

    HICON icon = nullptr;
    HBITMAP splashLogo = nullptr;
    HBITMAP makerLogo = nullptr;
    HBITMAP donateButton = nullptr;
    HBITMAP donateButtonPressed = nullptr;
    HINSTANCE instance = nullptr;
};
