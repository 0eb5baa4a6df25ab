#include "app/MidiInput.h"

#include "app/Globals.h"
#include "audio/PadControl.h"
#include "settings/Settings.h"

namespace {

const int kPadSide = 4;
const DWORD kPadNotes = 16;

HMIDIIN g_midiIn = nullptr;

// The MIDI thread only posts: the pad belongs to the UI thread.
void CALLBACK MidiInProc(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (message == MIM_DATA) {
        PostMessage(reinterpret_cast<HWND>(instance), WM_MIDI_DATA, static_cast<WPARAM>(param1), 0);
    }
}

}  // namespace

bool DecodeMidiPadMessage(DWORD message, DWORD baseNote, DWORD channel, MidiPadEvent* event) {
    const DWORD status = message & 0xF0;
    const DWORD note = (message >> 8) & 0x7F;
    const DWORD velocity = (message >> 16) & 0x7F;
    if (status != 0x90 && status != 0x80) {
        return false;
    }
    if (channel != 0 && (message & 0x0F) + 1 != channel) {
        return false;
    }
    if (note < baseNote || note >= baseNote + kPadNotes) {
        return false;
    }
    const int index = static_cast<int>(note - baseNote);
    event->down = status == 0x90 && velocity > 0;
    event->contact = kMidiContactBase + note;
    event->cell = (kPadSide - 1 - index / kPadSide) * kPadSide + index % kPadSide;
    event->level = event->down ? velocity : 0;
    return true;
}

void OpenMidiInput(HWND window) {
    HMIDIIN midiIn = nullptr;
    if (midiInOpen(&midiIn, 0, reinterpret_cast<DWORD_PTR>(MidiInProc),
                   reinterpret_cast<DWORD_PTR>(window), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        return;
    }
    midiInStart(midiIn);
    g_midiIn = midiIn;
}

void CloseMidiInput() {
    if (g_midiIn) {
        midiInStop(g_midiIn);
        midiInClose(g_midiIn);
        g_midiIn = nullptr;
    }
}

void OnMidiData(DWORD message) {
    if (g_loading.load() || !g_pad || !g_settings) {
        return;
    }
    MidiPadEvent event;
    if (!DecodeMidiPadMessage(message, g_settings->midiBaseNote, g_settings->midiChannel, &event)) {
        return;
    }
    // Not a touch of the device: no vibration.
    if (event.down) {
        g_pad->ContactDown(event.contact, event.cell, event.level);
    } else {
        g_pad->ContactUp(event.contact);
    }
}
