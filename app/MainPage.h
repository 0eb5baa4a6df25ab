// The main page: the word pad between the bars, the about, settings and close buttons above it,
// the beat and voice switches below it with the beat's bar along the bottom edge. Keys play the
// pad too: the 4 x 4 block under the left hand, Space the beat, Tab the voice. In edit mode
// (Ctrl+E) a touch or a key on a cell opens its word page instead of playing, and the bottom bar
// says so with a Done button; the same bar shows a notice (a dropped file refused).
#pragma once

#include <memory>

#include "app/Beat.h"
#include "app/Page.h"

class Button;
class CheckBox;
class ImageBox;
class Label;
class PadControl;
class Slider;

class MainPage : public Page, private Beat::Listener {
public:
    explicit MainPage(UserInterface& ui);
    ~MainPage() override;

    // The cell 0..15 a key plays by its set-1 scancode (1234/QWER/ASDF/ZXCV, wherever the layout
    // prints them), or -1.
    static int PadCellForScancode(UINT scancode);

    PadControl* GetPad() const { return pad.get(); }
    void SetEditing(bool on);
    bool IsEditing() const { return editing; }
    // A line over the bottom bar until Done (or OK) is touched; empty puts the bar back.
    void ShowNotice(const wchar_t* text);

    bool OnCommand(int id, int code, LPARAM control) override;
    bool OnKeyDown(UINT virtualKey, UINT scancode) override;
    void OnKeyUp(UINT scancode) override;
    void ReleaseKeys() override;
    int OnFingerDown(UINT contact, int x, int y) override;
    void OnFingerMove(UINT contact, int x, int y) override;
    void OnFingerUp(UINT contact, int x, int y) override;
    std::vector<Control*> FocusOrder() const override;

private:
    void OnBeatStarted() override;
    void OnBeatStopped() override;
    void OnBeatProgress(int percent) override;
    // Starting or stopping the beat puts the voice switch and the pad back to the low voice.
    void ResetVoice();
    // The bottom bar: the switches, or the line and its button.
    void ShowBar();

    std::unique_ptr<Button> close;
    std::unique_ptr<Button> about;
    std::unique_ptr<Button> settings;
    std::unique_ptr<PadControl> pad;
    std::unique_ptr<CheckBox> playBeat;
    std::unique_ptr<CheckBox> voice;
    std::unique_ptr<Slider> beatProgress;
    std::unique_ptr<ImageBox> editBar;
    std::unique_ptr<Label> editLine;
    std::unique_ptr<Button> done;
    bool editing = false;
    bool noticeShown = false;
};
