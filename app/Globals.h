// What the window procedure reaches from anywhere: the application, the window's own state, the
// user interface, and the loading flag that says whose the interface is. The loader thread makes
// the interface while the UI thread shows the splash; the UI thread touches it only once the flag
// is clear.
#pragma once

#include <atomic>

class App;
class MainWindow;
class UserInterface;

extern App* g_app;            // made by WinMain; released at shut-down
extern MainWindow* g_window;  // WinMain's, for the life of its message loop
extern UserInterface* g_ui;   // the loader's until the flag clears; released at shut-down
extern std::atomic<int> g_loading;
