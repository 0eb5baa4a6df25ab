// MIDI pads playing the pad: notes base..base+15 are its cells as a 4x4 pad controller lays them
// out (base at the bottom left, rising to the right, then row by row upwards), each note a finger
// of its own whose velocity sets the word's level.
#pragma once

#include "platform/win32.h"

// Posted by the MIDI input's thread to the main window: wParam is the short message.
#define WM_MIDI_DATA (WM_APP + 15)

struct MidiPadEvent {
    bool down;  // note-on; false: its note-off
    UINT contact;
    int cell;    // 0..15, row by row from the top
    UINT level;  // 1..127 for a note-on
};

// What a short message does to the pad: false when it is not a note of the pad's sixteen on the
// channel listened to (1..16, 0 for all). A note-on of velocity 0 is a note-off.
bool DecodeMidiPadMessage(DWORD message, DWORD baseNote, DWORD channel, MidiPadEvent* event);

// The "Pulsor" input. Its thread only posts WM_MIDI_DATA: the pad belongs to the UI thread.
class MidiInput {
public:
    MidiInput() = default;
    ~MidiInput() { Close(); }
    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    // UI thread, once the loader is done: opens and starts the input, its notes posted to
    // `window`.
    void Open(HWND window);
    // UI thread: no note arrives after it returns.
    void Close();

private:
    HMIDIIN handle = nullptr;
};
