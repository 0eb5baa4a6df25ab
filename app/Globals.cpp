#include "app/Globals.h"

App* g_app = nullptr;
MainWindow* g_window = nullptr;
UserInterface* g_ui = nullptr;
std::atomic<int> g_loading{0};
