// The program's one window: its procedure, the back buffer everything is painted through, the
// splash shown while the loader runs, the screen while it is active, and the MIDI input. It hands
// the pointer, keys, fingers, notes, joystick buttons and commands to the user interface once
// loading is done.
#pragma once

#include <memory>

#include "app/BackBuffer.h"
#include "app/Display.h"
#include "app/MidiInput.h"
#include "platform/win32.h"

class SplashScreen;
class UserInterface;

class MainWindow {
public:
    static constexpr const wchar_t* kClassName = L"PulsorClass";
    static constexpr const wchar_t* kTitle = L"Pulsor";

    explicit MainWindow(HINSTANCE instance);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Registers the class, creates the window (as g_window), starts the loader and runs the
    // message loop: the exit code, 0 when the window cannot be made.
    int Run(int showCommand);
    // The procedure of the window class: g_window's.
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The handle, once CreateWindow has returned it.
    void SetHandle(HWND value) { handle = value; }
    HWND GetHandle() const { return handle; }
    HINSTANCE GetInstance() const { return instance; }
    const BackBuffer& GetBackBuffer() const { return backBuffer; }
    // Loader thread: the splash's text and percent, then a repaint.
    void ReportProgress(const wchar_t* text, unsigned int percent);

private:
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnActivate(HWND window, WPARAM state);
    void OnPaint(HWND window);
    LRESULT OnClose(HWND window, WPARAM wParam, LPARAM lParam);
    void OnLoaderDone(HWND window);
    void OnTouch(HWND window, WPARAM wParam, LPARAM lParam);
    void OnPointer(UINT message, WPARAM keys, LPARAM lParam);
    // WM_DESTROY: what the window used released in order, then the loop is told to end.
    void ShutDown();
    // The interface, once the loader has handed it over; null before.
    static UserInterface* Ready();

    const HINSTANCE instance;
    HWND handle = nullptr;
    HANDLE loaderThread = nullptr;
    bool closePending = false;
    BackBuffer backBuffer;
    std::unique_ptr<SplashScreen> splash;
    Display display;
    MidiInput midi;
};
