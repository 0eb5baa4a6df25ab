// Into the call: while it is on, the user's sound server has a source described as "Pulsor
// microphone", the kind of input call and streaming apps list, carrying the mix at the call's own
// level and, when asked, the user's default microphone as well. The local output is not touched.
//
// On the server it is three modules, each carrying this process's mark in its arguments: a null
// sink for the call mix, a remap source on its monitor (the microphone), and a loopback from the
// default source into the sink. The mixer hands every period it renders to a lock-free ring; a
// writer thread plays the ring into the sink.
#pragma once

#include <string>

#include "platform/wave/Mixer.h"

namespace platform::wave {

struct CallRequest {
    enum Mode { Off, On, AsStarted };  // AsStarted: on when the device was started with --call
    Mode mode = Off;
    int volume = 100;  // the call's level of the mix, 0..100
    bool microphone = true;
};

struct CallStatus {
    bool on = false;
    bool microphone = false;
    std::string reason;  // why not, when it or the microphone was asked for; else empty
};

// Names the modules have on the server.
extern const char kCallSinkName[];
extern const char kCallSourceName[];
// The property each module carries in its arguments, with the owning process's token.
extern const char kCallMark[];

// StartAudio, once the mixer renders: the call output may be turned on from now on and is fed from
// `mixer`, whose periods are `periodFrames` long. `onWhenAsStarted`: --call.
void AttachCallOutput(Mixer* mixer, int periodFrames, bool onWhenAsStarted);
// StopAudio, before the mixer goes: turned off, nothing of it left on the server.
void DetachCallOutput();
// While no call output is attached, why it cannot be turned on.
void SetCallOutputUnavailable(const std::string& reason);

// Any thread. Turns the output on or off and sets its level and microphone; a failure or a change
// of reason is said on stderr in one line.
CallStatus SetCallOutput(const CallRequest& request);

}  // namespace platform::wave
