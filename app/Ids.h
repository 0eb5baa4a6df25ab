// The numbers the program's window sees: control ids (also the WM_COMMAND ids of their
// notifications), its timers and its own messages.
#pragma once

#include "platform/win32.h"

enum ControlId {
    IDC_HOST = 1,
    IDC_SCREEN_MAIN = 2,
    IDC_SCREEN_ABOUT = 3,
    IDC_SCREEN_SETTINGS = 4,
    IDC_SCREEN_KITS = 5,
    IDC_SCREEN_WORD = 6,
    IDC_SCREEN_ACCESS = 7,
    IDC_TOP_BAR = 16,
    IDC_BOTTOM_BAR = 17,
    IDC_CLOSE = 32,
    IDC_ABOUT = 33,
    IDC_SETTINGS = 34,
    IDC_PAD = 35,
    IDC_PLAY_BEAT = 36,
    IDC_VOICE = 37,
    IDC_BEAT_PROGRESS = 38,
    IDC_PRODUCT_LINE = 80,
    IDC_VERSION = 81,
    IDC_MAKER_LOGO = 82,
    IDC_WEB_SITE = 83,
    IDC_EMAIL = 84,
    IDC_DONATE = 85,
    IDC_COPYRIGHT = 86,
    IDC_ABOUT_BACK = 87,
    IDC_VOLUME_BEAT_CAPTION = 96,
    IDC_VOLUME_BEAT = 97,
    IDC_VOLUME_SOUNDS_CAPTION = 98,
    IDC_VOLUME_SOUNDS = 99,
    IDC_XBUTTON_CAPTION = 100,
    IDC_XBUTTON = 101,
    IDC_ANIMATIONS_CAPTION = 102,
    IDC_ANIMATIONS = 103,
    IDC_VIBRATIONS_CAPTION = 104,
    IDC_VIBRATIONS = 105,
    IDC_SETTINGS_BACK = 112,
    IDC_SETTINGS_ROWS = 113,
    IDC_CALL_CAPTION = 114,
    IDC_CALL = 115,
    IDC_CALL_STATE = 116,
    IDC_WORD_ROWS = 160,
    IDC_WORD_TITLE = 161,
    IDC_WORD_CAPTION = 162,
    IDC_WORD_TEXT = 163,
    IDC_WORD_SAY = 164,
    IDC_WORD_RECORD = 165,
    IDC_WORD_LEVEL = 166,
    IDC_WORD_STATE = 167,
    IDC_WORD_PLAY_LOW = 168,
    IDC_WORD_PLAY_HIGH = 169,
    IDC_WORD_BUILT_IN = 170,
    IDC_WORD_BACK = 171,
    IDC_EDIT_LINE = 172,
    IDC_EDIT_DONE = 173,
    IDC_WORD_CAPTION_LABEL = 174,
    IDC_EDIT_BAR = 175,
    IDC_KIT_CAPTION = 117,  // the settings page's kit row
    IDC_KIT = 118,
    IDC_KIT_LOADED = 119,  // a kit's sounds are ready to swap in (from KitSwitch's thread)
    IDC_KITS_LIST = 120,
    IDC_KIT_ROW = 121,  // every row of the list: lParam tells which
    IDC_KIT_NEW = 122,
    IDC_KIT_RENAME = 123,
    IDC_KIT_DELETE = 124,
    IDC_KIT_NAME = 125,
    IDC_KIT_STATE = 126,
    IDC_KITS_BACK = 127,
    // The kits page's "Edit words" (Clicked): the interface offers it to every page, and the one
    // that edits the pad's words answers it.
    IDC_EDIT_WORDS = 128,
    IDC_ACCESS_CAPTION = 200,
    IDC_ACCESS = 201,
    IDC_ACCESS_ROWS = 202,
    IDC_ACCESS_BACK = 203,
    IDC_METHOD_CAPTION = 204,
    IDC_METHOD_FIRST = 205,  // the four methods' switches, 205..208, their captions 209..212
    IDC_METHOD_CAPTION_FIRST = 209,
    IDC_CUES_CAPTION = 213,
    IDC_CUES_FIRST = 214,  // the three cues' switches, 214..216, their captions 217..219
    IDC_CUES_CAPTION_FIRST = 217,
    IDC_ACCESS_VALUE_FIRST = 220,  // six sliders 220..225, captions 226..231, values 232..237
    IDC_ACCESS_VALUE_CAPTION_FIRST = 226,
    IDC_ACCESS_VALUE_TEXT_FIRST = 232,
    IDC_BEAT_PLAYER = 256,
};

// Timers of the main window.
enum TimerId {
    IDT_TRANSITION = 1,
    IDT_BEAT_PROGRESS = 2,
    IDT_VIBRATION = 3,
    IDT_KIT_SWEEP = 4,    // an old kit's words are let go once none sounds
    IDT_SCAN = 8,         // a one-switch scan's step
    IDT_DWELL = 9,        // a resting pointer's tap
    IDT_DWELL_RING = 10,  // the dwell ring's filling
    IDT_HOLD = 11,        // a touch held long enough
};

// Posted by the loader thread to the main window when it has finished.
#define WM_LOADER_DONE (WM_APP + 1)
// Posted by the word maker's thread when a word is made, saved and loaded (lParam: the result).
#define WM_WORD_DONE (WM_APP + 2)
