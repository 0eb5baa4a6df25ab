#include "app/CallOutput.h"

#include "settings/Settings.h"

void CallOutput::Start() {
    mode = settings.callOutput ? SNDCALL_ON : SNDCALL_AS_STARTED;
    Apply();
}

const SNDCALL& CallOutput::SetOn(bool on) {
    settings.callOutput = on ? 1 : 0;
    mode = on ? SNDCALL_ON : SNDCALL_OFF;
    return Apply();
}

const SNDCALL& CallOutput::Apply() {
    call = SNDCALL{};
    call.mode = mode;
    call.volume = settings.callVolume;
    call.withMicrophone = settings.callWithMicrophone != 0;
    SndSetCallOutput(&call);
    return call;
}
