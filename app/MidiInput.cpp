#include "app/MidiInput.h"

#include "audio/PadControl.h"

namespace {

const int kPadSide = 4;
const DWORD kPadNotes = 16;

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
    event->contact = PadControl::kMidiContacts + note;
    event->cell = (kPadSide - 1 - index / kPadSide) * kPadSide + index % kPadSide;
    event->level = event->down ? velocity : 0;
    return true;
}

void MidiInput::Open(HWND window) {
    HMIDIIN midiIn = nullptr;
    if (midiInOpen(&midiIn, 0, reinterpret_cast<DWORD_PTR>(MidiInProc),
                   reinterpret_cast<DWORD_PTR>(window), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        return;
    }
    midiInStart(midiIn);
    handle = midiIn;
}

void MidiInput::Close() {
    if (handle) {
        midiInStop(handle);
        midiInClose(handle);
        handle = nullptr;
    }
}
