#include "app/App.h"

int GetResolutionClass(int w, int h) {
    if (w < 240 || w > 800 || h < 240 || h > 800) {
        return 0;
    }
    auto is = [w, h](int a, int b) { return (w == a && h == b) || (w == b && h == a); };
    if (is(240, 320))
        return 1;
    if (is(240, 240))
        return 2;
    if (is(240, 400))
        return 3;
    if (is(480, 640))
        return 4;
    if (is(480, 480))
        return 5;
    if (is(480, 800))
        return 6;
    return 0;
}

App::App(HINSTANCE inst) : instance(inst) {}

App::~App() {
    // The icon stays: it belongs to the window class for the life of the process.
    HBITMAP* bitmaps[] = {&splashLogo, &makerLogo, &donateButton, &donateButtonPressed};
    for (HBITMAP* b : bitmaps) {
        if (*b) {
            DeleteObject(*b);
            *b = nullptr;
        }
    }
    icon = nullptr;
    instance = nullptr;
}

void App::Load() {
    icon = LoadIcon(instance, MAKEINTRESOURCE(IDI_PULSOR));
    int cls = GetResolutionClass(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (cls == 0) {
        return;
    }
    const bool small = cls <= 3;
    splashLogo = LoadBitmap(instance, MAKEINTRESOURCE(small ? IDB_SPLASH_SMALL : IDB_SPLASH_LARGE));
    makerLogo = LoadBitmap(instance, MAKEINTRESOURCE(small ? IDB_MAKER_SMALL : IDB_MAKER_LARGE));
    donateButton =
        LoadBitmap(instance, MAKEINTRESOURCE(small ? IDB_DONATE_SMALL : IDB_DONATE_LARGE));
    donateButtonPressed = LoadBitmap(
        instance, MAKEINTRESOURCE(small ? IDB_DONATE_PRESSED_SMALL : IDB_DONATE_PRESSED_LARGE));
}
