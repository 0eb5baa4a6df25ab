// The entry point: one instance per user and settings folder, then the window.
#include "app/App.h"
#include "app/Globals.h"
#include "app/MainWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
    HWND running = FindWindow(MainWindow::kClassName, MainWindow::kTitle);
    if (running) {
        // The low bit asks for the window's own windows to come forward too.
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(running) | 1));
        return 0;
    }

    g_app = new App(instance);
    g_app->Load();

    MainWindow window(instance);
    g_window = &window;
    const int exitCode = window.Run(showCommand);
    g_window = nullptr;
    return exitCode;
}
