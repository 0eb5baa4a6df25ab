// The platform's MIDI input behind midiIn*: back-ends that own a port named "Pulsor" (the ALSA
// sequencer, a JACK server) feed short messages into Deliver; the device injects script notes.
#pragma once

#include <memory>

#include "platform/win32.h"

namespace platform {
namespace midi {

// The name of the program's port, and of its client where the back-end has clients.
extern const char kPortName[];

// --verbose: the back-ends say what they found and connected, and libjack may speak.
void SetVerbose(bool verbose);
bool Verbose();
// One line on stderr, prefixed "pulsor: MIDI: ", only when verbose.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A short message (status | data1 << 8 | data2 << 16) as if a controller had sent it, delivered
// on the calling thread to every started handle.
void Inject(DWORD message);
// The back-ends' entry: the same, from their own threads.
void Deliver(DWORD message);

// A running back-end; destroying it removes its port and stops its threads (no Deliver after).
class Input {
public:
    virtual ~Input() = default;
};

// Each returns null, saying why when verbose, when its system is not there.
std::unique_ptr<Input> OpenAlsaSeqInput();
std::unique_ptr<Input> OpenJackInput();

// Packs the bytes of one complete channel message; 0 for anything else (system messages,
// sysex, a message cut short).
DWORD PackShortMessage(const unsigned char* bytes, size_t size);

}  // namespace midi
}  // namespace platform
