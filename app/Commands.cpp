// What the controls' notifications mean: page changes, the beat, the voice, volumes, close, links.
#include "app/Globals.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "touchui/CheckBox.h"
#include "touchui/Control.h"
#include "touchui/ScreenHost.h"
#include "touchui/Slider.h"

namespace {

const int kTransitionToPage = 11;
const int kTransitionBack = 10;
const int kTransitionMs = 300;
const UINT kBeatProgressPeriodMs = 300;

const wchar_t kDefaultBrowserKey[] = L"Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER";
const wchar_t kDonationPage[] =
    L"https://www.paypal.com/cgi-bin/webscr?cmd=_donations&business=donate%40harrowmint.example"
    L"&lc=US&currency_code=EUR&bn=Harrowmint_Pulsor_Donate";

void ChangeScreen(int target, int kind) {
    if (!g_host || !g_animations) {
        return;
    }
    if (g_animations->IsChecked()) {
        g_host->ShowScreenAnimated(target, kind, kTransitionMs, g_backBufferDC);
    } else {
        g_host->ShowScreen(target);
    }
}

// Starting or stopping the beat puts the voice switch and the pad back to the low voice.
void ResetVoice() {
    if (g_voice) {
        g_voice->SetChecked(0);
        g_voice->Invalidate();
    }
    if (g_pad) {
        g_pad->SetHighVoice(0);
    }
}

}  // namespace

void StartBeat() {
    if (!g_beatPlayer) {
        return;
    }
    g_beatPlayer->Play();
    if (g_playBeat) {
        g_playBeat->SetText(L"Stop beat");
        g_playBeat->Invalidate();
    }
    ResetVoice();
    g_beatStartTime = GetTickCount();
    g_beatLength = g_beatPlayer->GetLengthSeconds();
    if (g_beatProgress) {
        g_beatProgress->SetPercent(0, 1);
    }
    SetTimer(g_mainWindow, IDT_BEAT_PROGRESS, kBeatProgressPeriodMs, BeatProgressTimerProc);
}

void StopBeat() {
    if (!g_beatPlayer) {
        return;
    }
    g_beatPlayer->Stop();
    if (g_playBeat) {
        g_playBeat->SetChecked(0);
        g_playBeat->SetText(L"Play beat");
        g_playBeat->Invalidate();
    }
    ResetVoice();
    KillTimer(g_mainWindow, IDT_BEAT_PROGRESS);
    if (g_beatProgress) {
        g_beatProgress->SetPercent(0, 1);
    }
}

void CALLBACK BeatProgressTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_beatProgress) {
        return;
    }
    const DWORD elapsed = GetTickCount() - g_beatStartTime;
    // A beat shorter than a second has no whole seconds to count: its bar stays at 0.
    if (elapsed == 0 || g_beatLength == 0) {
        return;
    }
    const DWORD percent = ((elapsed / 1000u) * 100u) / g_beatLength;
    if (percent <= 100) {
        g_beatProgress->SetPercent(static_cast<int>(percent), 1);
    }
}

void OpenInDefaultBrowser(const wchar_t* address) {
    wchar_t commandLine[MAX_PATH] = L"";
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kDefaultBrowserKey, L"1", commandLine,
                                 MAX_PATH))) {
        commandLine[0] = L'\0';
    }
    // The program is the first token up to a double quote: a quoted path without its quotes,
    // or an unquoted command line whole.
    wchar_t* program = commandLine;
    while (*program == L'"') {
        ++program;
    }
    wchar_t* end = program;
    while (*end && *end != L'"') {
        ++end;
    }
    *end = L'\0';
    if (*program == L'\0') {
        return;  // no browser known
    }
    wchar_t page[1024];
    if (FAILED(StringCchCopyW(page, 1024, address))) {
        return;
    }
    PROCESS_INFORMATION info = {};
    if (CreateProcess(program, page, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &info)) {
        if (info.hThread) {
            CloseHandle(info.hThread);
        }
        if (info.hProcess) {
            CloseHandle(info.hProcess);
        }
    }
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (g_loading.load()) {
        return 0;
    }
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case IDC_CLOSE:
            if (code == Clicked) {
                if (!g_xButton || g_xButton->IsChecked()) {
                    SendMessage(window, WM_CLOSE, 0, 0);
                } else {
                    ShowWindow(window, SW_MINIMIZE);
                }
            }
            break;
        case IDC_ABOUT:
            if (code == Clicked) {
                ChangeScreen(IDC_SCREEN_ABOUT, kTransitionToPage);
            }
            break;
        case IDC_SETTINGS:
            if (code == Clicked) {
                ChangeScreen(IDC_SCREEN_SETTINGS, kTransitionToPage);
            }
            break;
        case IDC_ABOUT_BACK:
        case IDC_SETTINGS_BACK:
            if (code == Clicked) {
                ChangeScreen(IDC_SCREEN_MAIN, kTransitionBack);
            }
            break;
        case IDC_PLAY_BEAT:
            if (code == Toggled && lParam) {
                if (reinterpret_cast<CheckBox*>(lParam)->IsChecked()) {
                    StartBeat();
                } else {
                    StopBeat();
                }
            }
            break;
        case IDC_VOICE:
            if (code == Toggled && lParam && g_pad) {
                g_pad->SetHighVoice(reinterpret_cast<CheckBox*>(lParam)->IsChecked() ? 1 : 0);
            }
            break;
        case IDC_VOLUME_BEAT:
            if (code == ValueChanged && lParam && g_beatPlayer) {
                g_beatPlayer->SetVolume(reinterpret_cast<Slider*>(lParam)->GetPercent());
            }
            break;
        case IDC_VOLUME_SOUNDS:
            if (code == Released && lParam && g_soundBank) {
                g_soundBank->SetVolume(reinterpret_cast<Slider*>(lParam)->GetPercent());
            }
            break;
        case IDC_DONATE:
            if (code == Clicked) {
                OpenInDefaultBrowser(kDonationPage);
            }
            break;
        case IDC_BEAT_PLAYER:
            if (code == MM_WOM_DONE) {
                StopBeat();
            }
            break;
        default:
            break;
    }
    return 0;
}
