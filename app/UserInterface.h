// Everything the user sees and plays once loading is done: the settings, the skin, the sounds and
// the beat, the screen host with its pages, and the bars they share. The loader thread makes it
// step by step while the window shows the splash, then hands it to the UI thread (g_ui) before it
// clears the loading flag; from then on only the UI thread uses it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Vibration.h"
#include "platform/win32.h"

class Access;
class App;
class AboutPage;
class BackBuffer;
class Beat;
class CallOutput;
class ImageBox;
class Kits;
class KitSwitch;
class MainPage;
class Page;
class ScreenHost;
class Settings;
class SettingsPage;
class Skin;
class SoundBank;
class WordPage;

class UserInterface {
public:
    // `app` (its pictures) may be null; `backBuffer` holds the picture on screen when a page
    // changes with a transition.
    UserInterface(HINSTANCE instance, HWND window, const App* app, const BackBuffer* backBuffer);
    ~UserInterface();
    UserInterface(const UserInterface&) = delete;
    UserInterface& operator=(const UserInterface&) = delete;

    // Loading, in this order: each step uses what the ones before made.
    void LoadSettings();
    void LoadSkin();
    void LoadSounds();
    void BuildPages();
    // At once, without a transition.
    void ShowPage(int screenId);
    // Plays the kit in `kitFolder` (empty: the built-in words) from when it has loaded, and keeps
    // the choice for later runs; the beat and a word that sounds play on to their ends.
    void ChooseKit(LPCWSTR kitFolder);
    // The kit chosen last (empty: the built-in words); it plays as soon as it has loaded.
    LPCWSTR GetKitFolder() const;
    // Keeps `kitFolder` as the kit chosen, without loading it (the kit playing was renamed).
    void KeepKitFolder(LPCWSTR kitFolder);

    void Paint(HDC dc);
    // The pointer, to the host. A touch that a control takes, and a finger that lands on a page,
    // vibrates when "Touch vibrations" is on.
    void TouchDown(int x, int y);
    void TouchUp(int x, int y);
    void TouchMove(int x, int y);
    // A pointer message of the window (keys: its wParam): the access object's first, then a touch.
    void OnPointer(UINT message, WPARAM keys, int x, int y);
    // A WM_TIMER of a timer without a procedure.
    void OnTimer(UINT_PTR id);
    // The fingers of one WM_TOUCH, at window coordinates from `windowRect`'s corner. The primary
    // finger is the pointer and is left to it.
    void OnFingers(const TOUCHINPUT* inputs, UINT count, const RECT& windowRect);
    void OnKey(UINT message, WPARAM virtualKey, LPARAM lParam);
    // WM_CHAR: to the page shown.
    void OnChar(WPARAM character);
    // A file dropped on the window: on a cell of the main page it becomes that cell's word.
    void OnDropFiles(HDROP drop);
    void OnWordDone();
    void OnRecorded(HWAVEIN device, WAVEHDR* header);
    // The focus has gone, and the keys' ups with it: every key lets go.
    void ReleaseKeys();
    void OnMidiData(DWORD message);
    // MM_JOY1BUTTONDOWN or MM_JOY1BUTTONUP (buttons: its wParam): the access object's switches.
    void OnJoyButton(UINT message, WPARAM buttons);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_CLOSE: the controls' values into the settings, then saved.
    void SaveSettings();
    // Shut-down, in this order: a pulse still running ends; the sound bank, then the beat
    // (closing their streams); the skin; the host. The pages go with the interface, once the
    // message loop has ended and nothing can be running in them.
    void StopVibration() { vibration.Stop(); }
    void ReleaseSounds();
    void ReleaseSkin();
    void ReleaseHost();

    // For the pages.
    void ChangePage(int screenId, int transitionKind);
    // The main page in edit mode, shown.
    void EditWords();
    // The word page for cell 0..15.
    void OpenWordPage(int cell);
    // The current kit's folder (ending in a separator) to write words into, made from the
    // built-in words when those play; false with the reason when there is none.
    bool WritableKit(std::wstring* folder, std::wstring* why);
    // Ctrl is held.
    bool IsControlDown() const { return controlDown; }
    bool CloseButtonCloses() const;
    bool AnimationsOn() const;
    bool VibrationsOn() const;
    HINSTANCE GetInstance() const { return instance; }
    HWND GetWindow() const { return window; }
    const App* GetApp() const { return app; }
    const Skin& GetSkin() const { return *skin; }
    const Settings& GetSettings() const { return *settings; }
    Settings& GetSettings() { return *settings; }
    SoundBank* GetSoundBank() const { return soundBank.get(); }
    Beat* GetBeat() const { return beat.get(); }
    Kits& GetKits() const { return *kits; }
    CallOutput& GetCallOutput() const { return *callOutput; }
    ImageBox* GetTopBar() const { return topBar.get(); }
    ImageBox* GetBottomBar() const { return bottomBar.get(); }

    ScreenHost* GetHost() const { return host.get(); }
    // In the order they were registered.
    const std::vector<std::unique_ptr<Page>>& GetPages() const { return pages; }
    Page* GetShownPage() const;
    MainPage* GetMainPage() const { return mainPage; }
    Access* GetAccess() const { return access.get(); }
    WordPage* GetWordPage() const { return wordPage; }

private:
    template <class T>
    T* AddPage();
    void Felt(int taken);
    void SwapInKit(LPARAM load);
    void OnShow(int screenId);

    const HINSTANCE instance;
    const HWND window;
    const App* const app;
    const BackBuffer* const backBuffer;
    Vibration vibration;

    std::unique_ptr<Settings> settings;
    std::unique_ptr<CallOutput> callOutput;
    std::unique_ptr<Skin> skin;
    std::unique_ptr<SoundBank> soundBank;
    std::unique_ptr<Beat> beat;
    std::unique_ptr<KitSwitch> kitSwitch;
    std::unique_ptr<Kits> kits;
    std::unique_ptr<ScreenHost> host;
    std::unique_ptr<ImageBox> topBar;
    std::unique_ptr<ImageBox> bottomBar;
    std::vector<std::unique_ptr<Page>> pages;
    std::unique_ptr<Access> access;  // after the pages: it acts on them
    MainPage* mainPage = nullptr;
    SettingsPage* settingsPage = nullptr;
    WordPage* wordPage = nullptr;
    bool controlDown = false;
};
