#include "app/CallOutput.h"

#include "app/Globals.h"
#include "settings/Settings.h"

namespace {

// SNDCALL_AS_STARTED until the user chooses on the settings page.
DWORD g_mode = SNDCALL_AS_STARTED;
SNDCALL g_call = {};

}  // namespace

void StartCallOutput() {
    g_mode = g_settings && g_settings->callOutput ? SNDCALL_ON : SNDCALL_AS_STARTED;
    ApplyCallOutput();
}

const SNDCALL& SetCallOutputOn(bool on) {
    if (g_settings) {
        g_settings->callOutput = on ? 1 : 0;
    }
    g_mode = on ? SNDCALL_ON : SNDCALL_OFF;
    return ApplyCallOutput();
}

const SNDCALL& ApplyCallOutput() {
    const Settings defaults;
    const Settings& settings = g_settings ? *g_settings : defaults;
    g_call = SNDCALL{};
    g_call.mode = g_mode;
    g_call.volume = settings.callVolume;
    g_call.withMicrophone = settings.callWithMicrophone != 0;
    SndSetCallOutput(&g_call);
    return g_call;
}
