// Closing: the vibration after a taken touch, saving the options, and releasing everything.
#include "app/App.h"
#include "app/Globals.h"
#include "app/MidiInput.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/CheckBox.h"
#include "touchui/ScreenHost.h"
#include "touchui/Slider.h"

namespace {

const UINT kVibratorLed = 1;
const DWORD kTouchPulseMs = 25;

bool SetVibrator(bool on) {
    NLED_SETTINGS_INFO info = {};
    info.LedNum = kVibratorLed;
    info.OffOnBlink = on ? 1 : 0;
    return NLedSetDevice(NLED_SETTINGS_INFO_ID, &info) != FALSE;
}

}  // namespace

void VibrationPulse(DWORD milliseconds) {
    // The UI thread does not wait for the pulse to end: a touch during it is taken at once.
    if (!SetVibrator(true)) {
        return;
    }
    if (!g_mainWindow ||
        !SetTimer(g_mainWindow, IDT_VIBRATION, milliseconds, VibrationOffTimerProc)) {
        SetVibrator(false);  // nothing would ever switch it off
    }
}

void CALLBACK VibrationOffTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
    KillTimer(window, IDT_VIBRATION);
    SetVibrator(false);
}

void ApplyVibrationRule(int touchTaken) {
    if (g_vibrations && touchTaken && g_vibrations->IsChecked()) {
        VibrationPulse(kTouchPulseMs);
    }
}

void SaveSettingsOnClose() {
    if (!g_settings) {
        return;
    }
    if (g_volumeBeat) {
        g_settings->volumeBeat = static_cast<DWORD>(g_volumeBeat->GetPercent());
    }
    if (g_volumeSounds) {
        g_settings->volumeSounds = static_cast<DWORD>(g_volumeSounds->GetPercent());
    }
    if (g_xButton) {
        g_settings->xButtonClose = g_xButton->IsChecked();
    }
    if (g_animations) {
        g_settings->animationsOn = g_animations->IsChecked();
    }
    if (g_vibrations) {
        g_settings->vibrationsOn = g_vibrations->IsChecked();
    }
    g_settings->Save();
}

void ShutDown() {
    // A pulse still running ends with the window, not never.
    if (g_mainWindow && KillTimer(g_mainWindow, IDT_VIBRATION)) {
        SetVibrator(false);
    }
    if (g_loaderThread) {
        CloseHandle(g_loaderThread);
        g_loaderThread = nullptr;
    }
    // Before the pad goes: no note is on its way after this.
    CloseMidiInput();
    // The players close their audio streams here, before anything they notify is gone.
    delete g_soundBank;
    g_soundBank = nullptr;
    if (g_pad) {
        g_pad->SetSoundBank(nullptr);
    }
    delete g_beatPlayer;
    g_beatPlayer = nullptr;
    delete g_skin;
    g_skin = nullptr;
    delete g_app;
    g_app = nullptr;
    delete g_host;
    g_host = nullptr;
    if (g_backBufferDC) {
        DeleteDC(g_backBufferDC);
        g_backBufferDC = nullptr;
    }
    if (g_backBufferBitmap) {
        DeleteObject(g_backBufferBitmap);
        g_backBufferBitmap = nullptr;
    }
    PostQuitMessage(0);
}
