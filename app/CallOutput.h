// Into calls: the settings' call values handed to the platform, which makes the sound server's
// "Pulsor microphone" (the mix, and the user's own microphone with it) for call and streaming
// apps. The local output is not touched.
#pragma once

#include "platform/win32.h"

// After the settings are loaded: on when "CallOutput" is set, or for this run when the device was
// started with --call (the stored value stays as it is).
void StartCallOutput();

// The settings row's switch: stores "CallOutput" and applies it; from then on the switch alone
// decides, --call or not.
const SNDCALL& SetCallOutputOn(bool on);

// Applies the settings' "CallVolume" and "CallWithMicrophone" as they are now, the output on or
// off as last decided. The answer says whether it is on, with the microphone, and otherwise the
// reason to show.
const SNDCALL& ApplyCallOutput();
