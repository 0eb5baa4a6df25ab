// The user's options (the five of the settings page and the three of calls), the MIDI pad values,
// and the folders the skin and sounds are read from.
#pragma once

#include "platform/win32.h"

class Settings {
public:
    Settings();

    // Fills the folders from the program's own path and reads the options; always returns 1.
    BOOL Load();
    // Writes the options, creating the key when needed; always returns 1.
    BOOL Save();
    // Writes kitFolder as the "Kit" value at once (empty: the built-in words); 0 when it cannot.
    BOOL SaveKit();

    // Folders end in the platform's path separator, so a file name is simply appended. A path
    // that would not fit its buffer is left empty, and so is everything when the program's own
    // path cannot be read.
    WCHAR appFolder[MAX_PATH];
    WCHAR programPath[MAX_PATH];
    WCHAR skinFolder[MAX_PATH];
    WCHAR skinFile[MAX_PATH];
    WCHAR soundsFolder[MAX_PATH];
    // The user's kit (the string value "Kit", a folder), ending in a separator; empty for the
    // built-in sounds. Chosen with the device's --kit option or on the kits page, each stored as
    // it is made (SaveKit), so Save leaves it alone.
    WCHAR kitFolder[MAX_PATH];

    DWORD volumeBeat;    // 0..100
    DWORD volumeSounds;  // 0..100
    DWORD xButtonClose;  // non-zero: the close button ends the program, 0: minimises it
    DWORD animationsOn;
    DWORD vibrationsOn;

    // Into calls: the mix as the sound server's "Pulsor microphone" (app/CallOutput.h).
    DWORD callOutput;          // non-zero: on (--call turns it on for one run, leaving this as is)
    DWORD callVolume;          // 0..100: the call's level of the mix
    DWORD callWithMicrophone;  // non-zero: the user's default microphone mixed in

    // MIDI pads, set by editing the settings file: read at start, never written back, so a stored
    // file keeps only what the user put there.
    DWORD midiBaseNote;  // 0..112: the note of the bottom-left cell, the next 15 rising from it
    DWORD midiChannel;   // 1..16, or 0: notes on every channel play
};

// Where the options live in the registry, under HKEY_LOCAL_MACHINE.
extern const WCHAR kSettingsKey[];

// dest = folder followed by name, bounded by destSize. A result that would not fit, or an empty
// folder, is refused: dest is left empty and the result is false, never a cut or relative path
// naming some other file.
bool BuildPath(WCHAR* dest, size_t destSize, LPCWSTR folder, LPCWSTR name);
