#include "app/Display.h"

void Display::Take(HWND window) {
    SetFullScreen(window, true);
    ShowWindow(window, SW_SHOWNORMAL);
    savedOrientation = GetOrientation();
    SetOrientation(DMDO_0);
}

void Display::GiveBack(HWND window) {
    SetFullScreen(window, false);
    // Nothing to give back when no orientation was ever read.
    if (savedOrientation >= 0) {
        SetOrientation(savedOrientation);
    }
}

void Display::SetFullScreen(HWND window, bool on) {
    if (on) {
        SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
        MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                   TRUE);
    } else {
        SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
        RECT work;
        if (SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0)) {
            MoveWindow(window, work.left, work.top, work.right - work.left, work.bottom - work.top,
                       TRUE);
        }
    }
}

int Display::GetOrientation() {
    DEVMODE mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    if (ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr) !=
        DISP_CHANGE_SUCCESSFUL) {
        return -1;
    }
    return static_cast<int>(mode.dmDisplayOrientation);
}

bool Display::SetOrientation(int orientation) {
    DEVMODE query = {};
    query.dmSize = sizeof(query);
    query.dmFields = DM_DISPLAYQUERYORIENTATION;
    if (ChangeDisplaySettingsEx(nullptr, &query, nullptr, CDS_TEST, nullptr) !=
        DISP_CHANGE_SUCCESSFUL) {
        return false;
    }
    if (static_cast<LONG>(query.dmDisplayOrientation) < 0) {
        return false;
    }
    int current = GetOrientation();
    if (current == -1 || current == orientation) {
        return false;
    }
    DEVMODE mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = static_cast<DWORD>(orientation);
    return ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr) ==
           DISP_CHANGE_SUCCESSFUL;
}
