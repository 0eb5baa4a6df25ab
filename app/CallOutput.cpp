#include "app/CallOutput.h"

#include "settings/Settings.h"

void CallOutput::Start() {
    mode = settings.callOutput ? SNDCALL_ON : SNDCALL_AS_STARTED;
    Apply();
}

const SNDCALL& CallOutput::SetOn(bool on) {
    mode = on ? SNDCALL_ON : SNDCALL_OFF;
    Apply();
    // What the switch then shows is what is kept: one that could not come on stays off.
    if (!call.on) {
        mode = SNDCALL_OFF;
    }
    settings.callOutput = call.on ? 1 : 0;
    return call;
}

const SNDCALL& CallOutput::Apply() {
    call = SNDCALL{};
    call.mode = mode;
    call.volume = settings.callVolume;
    call.withMicrophone = settings.callWithMicrophone != 0;
    SndSetCallOutput(&call);
    return call;
}
