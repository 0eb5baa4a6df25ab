#include "settings/Settings.h"

#include <cstring>
#include <cwchar>

const WCHAR kSettingsKey[] = L"Software\\Harrowmint\\Pulsor\\Settings";

namespace {

const DWORD kMaxVolume = 100;
// The call hears the words as loud as the room does: the mix is limited below full scale, and call
// apps level their input themselves.
const DWORD kDefaultCallVolume = kMaxVolume;
const DWORD kDefaultMidiBaseNote = 36;  // the 4x4 pad controllers' own: 36..51
const DWORD kMaxMidiBaseNote = 127 - 15;
const DWORD kMaxMidiChannel = 16;

DWORD ReadDword(LPCWSTR name, DWORD fallback) {
    DWORD value = 0;
    if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, name, &value))) {
        return fallback;
    }
    return value;
}

// Splits the program's own path into its folder (separator included) and its file name. Both stay
// empty when the path cannot be read whole: a cut path would name some other folder.
void ReadModulePath(WCHAR (&folder)[MAX_PATH], WCHAR (&name)[MAX_PATH]) {
    folder[0] = name[0] = L'\0';
    WCHAR path[MAX_PATH];
    std::memset(path, 0, sizeof(path));
    const DWORD length = GetModuleFileName(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || path[MAX_PATH - 1] != L'\0') {
        return;
    }
    WCHAR* last = std::wcsrchr(path, PLATFORM_PATH_SEPARATOR);
    StringCchCopy(name, MAX_PATH, last ? last + 1 : L"");
    if (last) {
        last[1] = L'\0';
    }
    StringCchCopy(folder, MAX_PATH, path);
}

// The "Kit" value as a folder ending in a separator; empty when unset, not absolute or too long.
void ReadKitFolder(WCHAR (&folder)[MAX_PATH]) {
    folder[0] = L'\0';
    WCHAR value[MAX_PATH];
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"Kit", value, MAX_PATH)) ||
        value[0] != PLATFORM_PATH_SEPARATOR) {
        return;
    }
    const size_t length = std::wcslen(value);
    if (value[length - 1] != PLATFORM_PATH_SEPARATOR &&
        FAILED(StringCchCat(value, MAX_PATH, PLATFORM_PATH_SEPARATOR_STRING))) {
        return;
    }
    StringCchCopy(folder, MAX_PATH, value);
}

}  // namespace

bool BuildPath(WCHAR* dest, size_t destSize, LPCWSTR folder, LPCWSTR name) {
    if (dest == nullptr || destSize == 0) {
        return false;
    }
    // An empty folder would make a path relative to the working folder, naming some other file.
    if (folder == nullptr || folder[0] == L'\0' || name == nullptr ||
        FAILED(StringCchCopy(dest, destSize, folder)) ||
        FAILED(StringCchCat(dest, destSize, name))) {
        dest[0] = L'\0';
        return false;
    }
    return true;
}

Settings::Settings()
    : volumeBeat(kMaxVolume),
      volumeSounds(kMaxVolume),
      xButtonClose(1),
      animationsOn(1),
      vibrationsOn(1),
      callOutput(0),
      callVolume(kDefaultCallVolume),
      callWithMicrophone(1),
      midiBaseNote(kDefaultMidiBaseNote),
      midiChannel(0) {
    appFolder[0] = programPath[0] = skinFolder[0] = skinFile[0] = soundsFolder[0] = L'\0';
    kitFolder[0] = L'\0';
}

BOOL Settings::Load() {
    WCHAR programName[MAX_PATH];
    ReadModulePath(appFolder, programName);
    BuildPath(programPath, MAX_PATH, appFolder, programName);
    BuildPath(skinFolder, MAX_PATH, appFolder, L"Skin" PLATFORM_PATH_SEPARATOR_STRING);
    BuildPath(skinFile, MAX_PATH, skinFolder, L"Skin.txt");
    BuildPath(soundsFolder, MAX_PATH, appFolder, L"Sounds" PLATFORM_PATH_SEPARATOR_STRING);

    volumeBeat = ReadDword(L"VolumeBeat", kMaxVolume);
    if (volumeBeat > kMaxVolume) {
        volumeBeat = kMaxVolume;
    }
    volumeSounds = ReadDword(L"VolumeSounds", kMaxVolume);
    if (volumeSounds > kMaxVolume) {
        volumeSounds = kMaxVolume;
    }
    xButtonClose = ReadDword(L"XButtonClose", 1);
    animationsOn = ReadDword(L"AnimationsOn", 1);
    vibrationsOn = ReadDword(L"VibrationsOn", 1);
    ReadKitFolder(kitFolder);

    callOutput = ReadDword(L"CallOutput", 0);
    callVolume = ReadDword(L"CallVolume", kDefaultCallVolume);
    if (callVolume > kMaxVolume) {
        callVolume = kMaxVolume;
    }
    callWithMicrophone = ReadDword(L"CallWithMicrophone", 1);

    // Out of range, a value would leave cells without notes or hear no channel: the default.
    midiBaseNote = ReadDword(L"MidiBaseNote", kDefaultMidiBaseNote);
    if (midiBaseNote > kMaxMidiBaseNote) {
        midiBaseNote = kDefaultMidiBaseNote;
    }
    midiChannel = ReadDword(L"MidiChannel", 0);
    if (midiChannel > kMaxMidiChannel) {
        midiChannel = 0;
    }
    return TRUE;
}

BOOL Settings::Save() {
    // The key held open makes the values one save: a file with all of them old or all new.
    HKEY key = nullptr;
    RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                   KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"VolumeBeat", volumeBeat);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"VolumeSounds", volumeSounds);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"XButtonClose", xButtonClose);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"AnimationsOn", animationsOn);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"VibrationsOn", vibrationsOn);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"CallOutput", callOutput);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"CallVolume", callVolume);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, L"CallWithMicrophone", callWithMicrophone);
    if (key) {
        RegCloseKey(key);
    }
    return TRUE;
}

BOOL Settings::SaveKit() {
    return SUCCEEDED(RegistrySetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"Kit", kitFolder));
}
