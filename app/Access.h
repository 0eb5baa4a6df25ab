// How a person who cannot tap plays: the method chosen in the settings, run between the window's
// input and the pages. It sees the switches and the pointer first and acts on a control through
// the calls a key makes (Button::Click, CheckBox::Toggle, Slider::StepUp, a pad contact), so no
// control knows about it.
//   Scanning (one switch, automatic; two switches, step): row-column over the shown page (Scanner)
//   on timer IDT_SCAN, each step drawn as a highlight over the page and cued (AccessCues).
//   Switch 1: Space, the left mouse button, a joystick's first button, the MIDI note below the
//   pad's base; switch 2: Return, the joystick's second button, the note two below. While a
//   scanning method is chosen, Space and Tab no longer flip the beat and voice switches, and the
//   pointer only switches.
//   Dwell: a pointer resting on a control (hover moves, no button) for the dwell time taps it,
//   with a ring filling round the pointer; it must leave that control before it taps it again.
//   For every method: a touch acts only once held for the hold time, and a cell does not speak
//   again within the repeat lockout.
// The values are read from the settings as they are now, so the access page's changes take hold
// at once.
#pragma once

#include <memory>
#include <vector>

#include "app/AccessCues.h"
#include "app/Scanner.h"
#include "audio/PadControl.h"
#include "platform/win32.h"

class Page;
class Settings;
class UserInterface;

class Access : private PadControl::PlayGate {
public:
    explicit Access(UserInterface& ui);
    ~Access();
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;

    // The settings changed: a scan or dwell of a method no longer chosen ends, the cues follow.
    void SettingsChanged();
    // Another kit's bank plays: the word cues speak its words from now on.
    void KitChanged();

    // Each returns true when the message was the access object's and goes no further.
    bool OnKey(UINT message, WPARAM virtualKey, LPARAM lParam);
    bool OnPointer(UINT message, WPARAM keys, int x, int y);
    bool OnMidiData(DWORD message);
    // A joystick or game controller button (MM_JOY1BUTTONDOWN/UP with its wParam).
    void OnJoyButton(UINT message, WPARAM buttons);
    bool OnTimer(UINT_PTR id);
    // The focus went: a touch waiting out its hold time is dropped.
    void ReleaseKeys();
    // Shut-down: the cues' streams close with the other sounds.
    void ReleaseSounds() { cues.reset(); }

    // Over the page, after it.
    void Paint(HDC dc);

private:
    bool MayPlay(int cell) override;
    DWORD Method() const;
    bool ScanMethod() const;
    void FollowCueSettings();

    // Scanning.
    void Switch(int which);
    void StartScan();
    void StopScan();
    void Stepped();
    void Act(const ScanTarget& target);
    std::vector<ScanGroup> GroupsOf(Page* page) const;
    std::vector<RECT> HighlightRects() const;

    // Dwell.
    void Hover(int x, int y);
    ScanTarget TargetAt(int x, int y) const;
    void StopDwell();

    // Hold.
    void CancelHold();

    UserInterface& ui;
    const Settings& settings;
    HWND window;
    std::unique_ptr<AccessCues> cues;
    DWORD lastMethod;

    Scanner scanner;
    Page* scanPage = nullptr;

    bool dwelling = false;
    ScanTarget dwellTarget;
    ScanTarget doneTarget;  // acted on; the pointer has not left it since
    bool doneValid = false;
    POINT dwellAnchor{};
    POINT pointer{};
    DWORD dwellStart = 0;

    bool holdPending = false;  // a touch down, waiting out the hold time
    POINT holdPoint{};

    // When each cell last spoke, for the repeat lockout.
    static constexpr int kCells = 16;
    DWORD lastPlay[kCells] = {};
    bool played[kCells] = {};
};
