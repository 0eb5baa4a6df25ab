// Start-up: everything slow runs once on the loader thread while the window shows the splash.
#include <new>

#include "app/CallOutput.h"
#include "app/Globals.h"
#include "app/SplashScreen.h"
#include "audio/KitLoader.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/ScreenHost.h"

namespace {

// The splash stays up at least this long, however quick the loading.
const DWORD kMinimumSplashMs = 2000;
const DWORD kStepPauseMs = 20;

wchar_t g_beatPath[MAX_PATH];

void LoadSounds() {
    g_soundBank = new (std::nothrow) SoundBank();
    if (!g_settings) {
        return;
    }
    // The user's kit, where one is chosen, with the built-in sounds for whatever it lacks.
    const bool kit = g_settings->kitFolder[0] != L'\0';
    const KitLoader kitLoader(g_settings->kitFolder, g_settings->soundsFolder);
    // A path cut short, or one without its folder, would name another file: then there is no beat.
    if (kit) {
        g_beatPlayer = kitLoader.CreateBeat();
    } else if (g_settings->soundsFolder[0] != L'\0' &&
               SUCCEEDED(StringCchCopyW(g_beatPath, MAX_PATH, g_settings->soundsFolder)) &&
               SUCCEEDED(StringCchCatW(g_beatPath, MAX_PATH, L"Pulsor.wav"))) {
        g_beatPlayer = new (std::nothrow) WavePlayer(g_beatPath);
    }
    if (g_beatPlayer) {
        g_beatPlayer->SetNotify(g_mainWindow, IDC_BEAT_PLAYER);
        g_beatPlayer->SetVolume(g_settings->volumeBeat);
    }
    if (g_soundBank) {
        if (kit) {
            kitLoader.LoadWords(g_soundBank);
        } else {
            g_soundBank->Load(g_settings->soundsFolder);
        }
        g_soundBank->SetVolume(g_settings->volumeSounds);
    }
}

}  // namespace

void ReportProgress(const wchar_t* text, unsigned int percent) {
    if (!g_splash) {
        return;
    }
    g_splash->SetStatusText(text);
    g_splash->SetPercent(percent);
    InvalidateRect(g_mainWindow, nullptr, TRUE);
}

DWORD WINAPI LoaderThreadProc(LPVOID) {
    const DWORD start = GetTickCount();

    Sleep(kStepPauseMs);
    ReportProgress(L"Loading...", 0);

    Sleep(kStepPauseMs);
    ReportProgress(L"Loading Settings...", 20);
    g_settings = new (std::nothrow) Settings();
    if (g_settings) {
        g_settings->Load();
    }
    StartCallOutput();

    Sleep(kStepPauseMs);
    ReportProgress(L"Loading Skin...", 40);
    g_skin = new (std::nothrow) Skin();
    if (g_skin && g_settings) {
        g_skin->Load(g_settings->skinFolder, g_settings->skinFile);
    }

    Sleep(kStepPauseMs);
    ReportProgress(L"Loading Sounds...", 60);
    LoadSounds();

    Sleep(kStepPauseMs);
    ReportProgress(L"Init TouchUI...", 80);
    BuildControlTree();
    if (g_pad && g_soundBank) {
        g_pad->SetSoundBank(g_soundBank);
    }

    Sleep(kStepPauseMs);
    ReportProgress(L"Init Screen...", 100);

    Sleep(kStepPauseMs);
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed < kMinimumSplashMs) {
        Sleep(kMinimumSplashMs - elapsed);
    }

    // The main screen is chosen while the flag still keeps the UI thread away from the tree;
    // clearing the flag then hands every object to the UI thread at once.
    if (g_host) {
        g_host->ShowScreen(IDC_SCREEN_MAIN);
    }
    g_loading.store(0);
    InvalidateRect(g_mainWindow, nullptr, TRUE);
    PostMessage(g_mainWindow, WM_LOADER_DONE, 0, 0);
    return 0;
}
