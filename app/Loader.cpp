#include "app/Loader.h"

#include <memory>

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/UserInterface.h"

namespace {

// The splash stays up at least this long, however quick the loading.
const DWORD kMinimumSplashMs = 2000;
const DWORD kStepPauseMs = 20;

}  // namespace

DWORD WINAPI LoaderThreadProc(LPVOID parameter) {
    MainWindow* window = static_cast<MainWindow*>(parameter);
    const DWORD start = GetTickCount();

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Loading...", 0);
    auto ui = std::make_unique<UserInterface>(window->GetInstance(), window->GetHandle(), g_app,
                                              &window->GetBackBuffer());

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Loading Settings...", 20);
    ui->LoadSettings();

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Loading Skin...", 40);
    ui->LoadSkin();

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Loading Sounds...", 60);
    ui->LoadSounds();

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Init TouchUI...", 80);
    ui->BuildPages();

    Sleep(kStepPauseMs);
    window->ReportProgress(L"Init Screen...", 100);

    Sleep(kStepPauseMs);
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed < kMinimumSplashMs) {
        Sleep(kMinimumSplashMs - elapsed);
    }

    // The main page is chosen while the flag still keeps the UI thread away from the interface;
    // clearing the flag then hands all of it to the UI thread at once.
    ui->ShowPage(IDC_SCREEN_MAIN);
    g_ui = ui.release();
    g_loading.store(0);
    InvalidateRect(window->GetHandle(), nullptr, TRUE);
    PostMessage(window->GetHandle(), WM_LOADER_DONE, 0, 0);
    return 0;
}
