// Into calls: the settings' call values handed to the platform, which makes the sound server's
// "Pulsor microphone" (the mix, and the user's own microphone with it) for call and streaming
// apps. The local output is not touched.
#pragma once

#include "platform/win32.h"

class Settings;

class CallOutput {
public:
    explicit CallOutput(Settings& settings) : settings(settings) {}

    // After the settings are loaded: on when "CallOutput" is set, or for this run when the device
    // was started with --call (the stored value stays as it is).
    void Start();
    // The settings row's switch: applies it and stores "CallOutput" as it turned out (an output
    // that cannot come on stays off, with the reason); from then on the switch alone decides,
    // --call or not.
    const SNDCALL& SetOn(bool on);
    // Applies the settings' "CallVolume" and "CallWithMicrophone" as they are now, the output on
    // or off as last decided. The answer says whether it is on, with the microphone, and otherwise
    // the reason to show.
    const SNDCALL& Apply();
    const SNDCALL& State() const { return call; }

private:
    Settings& settings;
    DWORD mode = SNDCALL_AS_STARTED;  // until the user chooses on the settings page
    SNDCALL call = {};
};
