// The entry point, the main window and its window procedure.
#include <new>

#include "app/App.h"
#include "app/Globals.h"
#include "app/MidiInput.h"
#include "app/SplashScreen.h"
#include "graphics/Drawing.h"
#include "touchui/ScreenHost.h"

namespace {

const wchar_t kWindowClass[] = L"PulsorClass";
const wchar_t kWindowTitle[] = L"Pulsor";

// Makes the screen-sized back buffer anew. During the first WM_SIZE, sent while the window is
// still being created, the main window is not stored yet and the display's context serves.
void RebuildBackBuffer() {
    HDC windowDC = GetDC(g_mainWindow);
    if (g_backBufferDC) {
        DeleteDC(g_backBufferDC);  // before the bitmap, so that it is no longer selected anywhere
        g_backBufferDC = nullptr;
    }
    g_backBufferDC = CreateCompatibleDC(windowDC);
    if (g_backBufferBitmap) {
        DeleteObject(g_backBufferBitmap);
        g_backBufferBitmap = nullptr;
    }
    g_backBufferBitmap = CreateCompatibleBitmap(windowDC, GetSystemMetrics(SM_CXSCREEN),
                                                GetSystemMetrics(SM_CYSCREEN));
    if (g_backBufferDC && g_backBufferBitmap) {
        SelectObject(g_backBufferDC, g_backBufferBitmap);
    }
    ReleaseDC(g_mainWindow, windowDC);
}

void OnActivate(HWND window, WPARAM state) {
    if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        SetFullScreen(window, true);
        ShowWindow(window, SW_SHOWNORMAL);
        g_savedOrientation = GetDisplayOrientation();
        SetDisplayOrientation(DMDO_0);
    } else {
        ReleaseKeys();
        SetFullScreen(window, false);
        // Nothing to give back when no orientation was ever read.
        if (g_savedOrientation >= 0) {
            SetDisplayOrientation(g_savedOrientation);
        }
    }
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    if (g_backBufferDC) {
        FillSolidRect(g_backBufferDC, client.left, client.top, client.right, client.bottom,
                      RGB(0, 0, 0));
        if (g_loading.load()) {
            if (g_splash) {
                g_splash->Paint(g_backBufferDC, client.left, client.top, client.right,
                                client.bottom);
            }
        } else if (g_host) {
            g_host->PaintIfVisible(g_backBufferDC);
        }
        BitBlt(hdc, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
               g_backBufferDC, 0, 0, SRCCOPY);
    }
    EndPaint(window, &ps);
}

}  // namespace

void SetFullScreen(HWND window, bool on) {
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

int GetDisplayOrientation() {
    DEVMODE mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    if (ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr) !=
        DISP_CHANGE_SUCCESSFUL) {
        return -1;
    }
    return static_cast<int>(mode.dmDisplayOrientation);
}

bool SetDisplayOrientation(int orientation) {
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
    int current = GetDisplayOrientation();
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

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            g_loading.store(1);
            g_splash = new (std::nothrow) SplashScreen();
            if (g_splash && g_app) {
                g_splash->SetLogo(g_app->splashLogo);
            }
            return 0;
        case WM_DESTROY:
            ShutDown();
            return 0;
        case WM_SIZE:
            RebuildBackBuffer();
            return 0;
        case WM_ACTIVATE:
            OnActivate(window, wParam);
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_CLOSE:
            // The loader is still creating objects that saving and shut-down use: close once it
            // has finished.
            if (g_loading.load()) {
                g_closePending = true;
                return 0;
            }
            SaveSettingsOnClose();
            return DefWindowProc(window, message, wParam, lParam);
        case WM_LOADER_DONE:
            if (g_closePending) {
                g_closePending = false;
                SendMessage(window, WM_CLOSE, 0, 0);
                return 0;
            }
            // Only now: a note that came while the pad was still being built would be lost.
            OpenMidiInput(window);
            return 0;
        case WM_MIDI_DATA:
            OnMidiData(static_cast<DWORD>(wParam));
            return 0;
        case WM_ERASEBKGND:
        case WM_SETTINGCHANGE:
            return 0;
        case WM_COMMAND:
            return OnCommand(window, wParam, lParam);
        case WM_KEYDOWN:
        case WM_KEYUP:
            OnKey(message, wParam, lParam);
            return 0;
        case WM_TOUCH:
            OnTouch(wParam, lParam);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP: {
            // No touch reaches the control tree while the loader is still building it.
            if (g_loading.load() || !g_host) {
                return 0;
            }
            const int x = LOWORD(lParam);
            const int y = HIWORD(lParam);
            if (message == WM_LBUTTONDOWN) {
                ApplyVibrationRule(g_host->TouchDown(window, 0, x, y));
            } else if (message == WM_LBUTTONUP) {
                g_host->TouchUp(window, 0, x, y);
            } else {
                g_host->TouchMove(window, 0, x, y);
            }
            return 0;
        }
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
    g_instance = instance;

    HWND running = FindWindow(kWindowClass, kWindowTitle);
    if (running) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(running) | 1));
        return 0;
    }

    g_app = new (std::nothrow) App(instance);
    if (g_app) {
        g_app->Load();
    }

    WNDCLASS wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = g_app ? g_app->icon : nullptr;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClass(&wc)) {
        return 0;
    }

    HWND window = CreateWindow(kWindowClass, kWindowTitle, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 0;
    }
    g_mainWindow = window;
    // Every finger, not only the first, which also arrives as the pointer.
    RegisterTouchWindow(window, 0);

    // Without a loader the window stays on the splash, as the loading flag is never cleared.
    g_loaderThread = CreateThread(nullptr, 0, LoaderThreadProc, nullptr, 0, nullptr);

    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return static_cast<int>(msg.wParam);
}
