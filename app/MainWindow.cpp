#include "app/MainWindow.h"

#include <cstdio>

#include "app/App.h"
#include "app/Globals.h"
#include "app/Ids.h"
#include "app/Loader.h"
#include "app/SplashScreen.h"
#include "app/UserInterface.h"
#include "graphics/Drawing.h"

MainWindow::MainWindow(HINSTANCE instance_) : instance(instance_) {}

MainWindow::~MainWindow() = default;

int MainWindow::Run(int showCommand) {
    WNDCLASS wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hIcon = g_app ? g_app->icon : nullptr;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClass(&wc)) {
        return 0;
    }

    HWND window = CreateWindow(kClassName, kTitle, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 0;
    }
    SetHandle(window);
    // Every finger, not only the first, which also arrives as the pointer.
    RegisterTouchWindow(window, 0);

    // Without a loader the window stays on the splash, as the loading flag is never cleared.
    loaderThread = CreateThread(nullptr, 0, LoaderThreadProc, this, 0, nullptr);

    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    // The close button's handler may still have been running in its page when the window went,
    // so the pages go only now.
    if (!g_loading.load()) {
        delete g_ui;
        g_ui = nullptr;
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK MainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_window) {
        return DefWindowProc(window, message, wParam, lParam);
    }
    return g_window->Handle(window, message, wParam, lParam);
}

UserInterface* MainWindow::Ready() {
    return g_loading.load() ? nullptr : g_ui;
}

LRESULT MainWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            ShutDown();
            return 0;
        case WM_SIZE:
            // During the first WM_SIZE, sent while the window is being created, the handle is
            // not stored yet and the display's context serves.
            backBuffer.Rebuild(handle);
            return 0;
        case WM_ACTIVATE:
            OnActivate(window, wParam);
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_CLOSE:
            return OnClose(window, wParam, lParam);
        case WM_LOADER_DONE:
            OnLoaderDone(window);
            return 0;
        case WM_MIDI_DATA:
            if (UserInterface* ui = Ready()) {
                ui->OnMidiData(static_cast<DWORD>(wParam));
            }
            return 0;
        case WM_ERASEBKGND:
        case WM_SETTINGCHANGE:
            return 0;
        case WM_COMMAND:
            if (UserInterface* ui = Ready()) {
                ui->OnCommand(wParam, lParam);
            }
            return 0;
        case WM_CHAR:
            if (UserInterface* ui = Ready()) {
                ui->OnChar(wParam);
            }
            return 0;
        case WM_DROPFILES:
            if (UserInterface* ui = Ready()) {
                ui->OnDropFiles(reinterpret_cast<HDROP>(wParam));
            } else {
                DragFinish(reinterpret_cast<HDROP>(wParam));
            }
            return 0;
        case WM_WORD_DONE:
            if (UserInterface* ui = Ready()) {
                ui->OnWordDone();
            }
            return 0;
        case MM_WIM_DATA:
            if (UserInterface* ui = Ready()) {
                ui->OnRecorded(reinterpret_cast<HWAVEIN>(wParam),
                               reinterpret_cast<WAVEHDR*>(lParam));
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (UserInterface* ui = Ready()) {
                ui->OnKey(message, wParam, lParam);
            }
            return 0;
        case WM_TOUCH:
            OnTouch(window, wParam, lParam);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            OnPointer(message, wParam, lParam);
            return 0;
        case WM_TIMER:
            if (UserInterface* ui = Ready()) {
                ui->OnTimer(wParam);
            }
            return 0;
        case MM_JOY1BUTTONDOWN:
        case MM_JOY1BUTTONUP:
            if (UserInterface* ui = Ready()) {
                ui->OnJoyButton(message, wParam);
            }
            return 0;
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}

void MainWindow::OnCreate() {
    g_loading.store(1);
    splash = std::make_unique<SplashScreen>();
    if (g_app) {
        splash->SetLogo(g_app->splashLogo);
    }
}

void MainWindow::ReportProgress(const wchar_t* text, unsigned int percent) {
    if (!splash) {
        return;
    }
    splash->SetStatusText(text);
    splash->SetPercent(percent);
    InvalidateRect(handle, nullptr, TRUE);
}

void MainWindow::OnActivate(HWND window, WPARAM state) {
    if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        display.Take(window);
    } else {
        if (UserInterface* ui = Ready()) {
            ui->ReleaseKeys();
        }
        display.GiveBack(window);
    }
}

void MainWindow::OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC buffer = backBuffer.GetDC();
    if (buffer) {
        FillSolidRect(buffer, client.left, client.top, client.right, client.bottom, RGB(0, 0, 0));
        if (g_loading.load()) {
            if (splash) {
                splash->Paint(buffer, client.left, client.top, client.right, client.bottom);
            }
        } else if (g_ui) {
            g_ui->Paint(buffer);
        }
        BitBlt(hdc, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), buffer, 0,
               0, SRCCOPY);
    }
    EndPaint(window, &ps);
}

LRESULT MainWindow::OnClose(HWND window, WPARAM wParam, LPARAM lParam) {
    // The loader is still creating objects that saving and shut-down use: close once it has
    // finished.
    if (g_loading.load()) {
        closePending = true;
        return 0;
    }
    if (g_ui) {
        g_ui->SaveSettings();
    }
    return DefWindowProc(window, WM_CLOSE, wParam, lParam);
}

void MainWindow::OnLoaderDone(HWND window) {
    if (closePending) {
        closePending = false;
        SendMessage(window, WM_CLOSE, 0, 0);
        return;
    }
    // Only now: a note or a button that came while the pad was still being built would be lost.
    midi.Open(window);
    DragAcceptFiles(window, TRUE);
    // Only the buttons' changes count, so no polling period is asked for.
    if (joySetCapture(window, JOYSTICKID1, 0, TRUE) != JOYERR_NOERROR) {
        std::fprintf(stderr, "pulsor: joystick: cannot take the buttons; they switch nothing\n");
    }
}

void MainWindow::OnTouch(HWND window, WPARAM wParam, LPARAM lParam) {
    HTOUCHINPUT input = reinterpret_cast<HTOUCHINPUT>(lParam);
    TOUCHINPUT inputs[10];
    const UINT count = LOWORD(wParam) < 10 ? LOWORD(wParam) : 10;
    const bool read =
        count != 0 && GetTouchInputInfo(input, count, inputs, sizeof(TOUCHINPUT)) != FALSE;
    CloseTouchInputHandle(input);
    UserInterface* ui = Ready();
    if (!read || !ui) {
        return;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    ui->OnFingers(inputs, count, rect);
}

void MainWindow::OnPointer(UINT message, WPARAM keys, LPARAM lParam) {
    // No touch reaches the pages while the loader is still building them. A mouse moving with no
    // button down (a hover) goes on too: it is the access object's, for dwell, and never drags.
    UserInterface* ui = Ready();
    if (!ui) {
        return;
    }
    ui->OnPointer(message, keys, LOWORD(lParam), HIWORD(lParam));
}

void MainWindow::ShutDown() {
    UserInterface* ui = Ready();
    // A pulse still running ends with the window, not never.
    if (ui) {
        ui->StopVibration();
    }
    if (loaderThread) {
        CloseHandle(loaderThread);
        loaderThread = nullptr;
    }
    // Before the pad goes: no note or button is on its way after this.
    midi.Close();
    joyReleaseCapture(JOYSTICKID1);
    // The players close their audio streams here, before anything they notify is gone.
    if (ui) {
        ui->ReleaseSounds();
        ui->ReleaseSkin();
    }
    delete g_app;
    g_app = nullptr;
    if (ui) {
        ui->ReleaseHost();
    }
    backBuffer.Release();
    PostQuitMessage(0);
}
