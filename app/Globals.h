// The program's long-lived objects, one global each. They start empty; every user tests for
// presence. The loader thread fills most of them while the UI thread shows the splash; the UI
// thread reads them only once the loading flag is clear.
#pragma once

#include <atomic>

#include "platform/win32.h"

class App;
class Button;
class CheckBox;
class ImageBox;
class Label;
class PadControl;
class Screen;
class ScreenHost;
class Settings;
class Skin;
class Slider;
class SoundBank;
class SplashScreen;
class WavePlayer;

// Control ids, also the WM_COMMAND ids of their notifications.
enum ControlId {
    IDC_HOST = 1,
    IDC_SCREEN_MAIN = 2,
    IDC_SCREEN_ABOUT = 3,
    IDC_SCREEN_SETTINGS = 4,
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
    IDC_BEAT_PLAYER = 256,
};

// Timers of the main window.
enum TimerId { IDT_TRANSITION = 1, IDT_BEAT_PROGRESS = 2, IDT_VIBRATION = 3 };

// Posted by the loader thread to the main window when it has finished.
#define WM_LOADER_DONE (WM_APP + 1)

extern HINSTANCE g_instance;
extern HWND g_mainWindow;
extern std::atomic<int> g_loading;
extern HANDLE g_loaderThread;
extern HDC g_backBufferDC;
extern HBITMAP g_backBufferBitmap;
extern App* g_app;
extern Skin* g_skin;
extern Settings* g_settings;
extern SplashScreen* g_splash;
extern ScreenHost* g_host;
extern SoundBank* g_soundBank;
extern WavePlayer* g_beatPlayer;
extern DWORD g_beatStartTime;
extern DWORD g_beatLength;
extern int g_savedOrientation;
extern bool g_closePending;

extern Screen* g_screenMain;
extern Screen* g_screenAbout;
extern Screen* g_screenSettings;
extern ImageBox* g_topBar;
extern ImageBox* g_bottomBar;
extern Button* g_closeButton;
extern Button* g_aboutButton;
extern Button* g_settingsButton;
extern PadControl* g_pad;
extern CheckBox* g_playBeat;
extern CheckBox* g_voice;
extern Slider* g_beatProgress;
extern Label* g_productLine;
extern Label* g_version;
extern ImageBox* g_makerLogo;
extern Label* g_webSite;
extern Label* g_email;
extern Button* g_donateButton;
extern Label* g_copyright;
extern Button* g_aboutBack;
extern Label* g_volumeBeatCaption;
extern Slider* g_volumeBeat;
extern Label* g_volumeSoundsCaption;
extern Slider* g_volumeSounds;
extern Label* g_xButtonCaption;
extern CheckBox* g_xButton;
extern Label* g_animationsCaption;
extern CheckBox* g_animations;
extern Label* g_vibrationsCaption;
extern CheckBox* g_vibrations;
extern Button* g_settingsBack;

// The window procedure and the pieces it calls.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI LoaderThreadProc(LPVOID parameter);
void ReportProgress(const wchar_t* text, unsigned int percent);
int BuildControlTree();
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
void StartBeat();
void StopBeat();
void CALLBACK BeatProgressTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
void OpenInDefaultBrowser(const wchar_t* address);
// Switches the vibrator on; a timer of the main window switches it off after `milliseconds`
// (a pulse during a pulse lasts until `milliseconds` after the later one).
void VibrationPulse(DWORD milliseconds);
void CALLBACK VibrationOffTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
void ApplyVibrationRule(int touchTaken);
void SaveSettingsOnClose();
void ShutDown();
// Keys and further fingers on the pad.
void OnKey(UINT message, WPARAM virtualKey, LPARAM lParam);
void OnTouch(WPARAM wParam, LPARAM lParam);
// Lets go of every cell a key holds (the focus has gone, and the keys' ups with it).
void ReleaseKeys();
// The cell 0..15 a key plays by its set-1 scancode (1234/QWER/ASDF/ZXCV), or -1.
int PadCellForScancode(UINT scancode);
// Full screen and display orientation.
void SetFullScreen(HWND window, bool on);
int GetDisplayOrientation();
bool SetDisplayOrientation(int orientation);
