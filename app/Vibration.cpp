#include "app/Vibration.h"

#include "app/Ids.h"

namespace {

const UINT kVibratorLed = 1;

}  // namespace

bool Vibration::SetVibrator(bool on) {
    NLED_SETTINGS_INFO info = {};
    info.LedNum = kVibratorLed;
    info.OffOnBlink = on ? 1 : 0;
    return NLedSetDevice(NLED_SETTINGS_INFO_ID, &info) != FALSE;
}

void Vibration::Pulse(DWORD milliseconds) {
    if (!SetVibrator(true)) {
        return;
    }
    if (!window || !SetTimer(window, IDT_VIBRATION, milliseconds, OffTimerProc)) {
        SetVibrator(false);  // nothing would ever switch it off
    }
}

void Vibration::Stop() {
    if (window && KillTimer(window, IDT_VIBRATION)) {
        SetVibrator(false);
    }
}

void CALLBACK Vibration::OffTimerProc(HWND window, UINT, UINT_PTR, DWORD) {
    KillTimer(window, IDT_VIBRATION);
    SetVibrator(false);
}
