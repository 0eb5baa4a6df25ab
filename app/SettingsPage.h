// The settings page: the beat and sounds volumes, the three switches (close button closes,
// animations, touch vibrations) and the call output's switch with a line on its state, in rows
// that scroll between the bars where they do not fit; and the way back. Escape goes back too. The
// kit row names the kit playing and opens the kits page. The controls hold the running values; the
// settings get them when the window closes (the call output's choice is stored as it is made).
#pragma once

#include <memory>

#include "app/Page.h"

class Button;
class CheckBox;
class Label;
class ScrollPanel;
class Settings;
class Slider;

class SettingsPage : public Page {
public:
    explicit SettingsPage(UserInterface& ui);
    ~SettingsPage() override;

    bool CloseButtonCloses() const;
    bool AnimationsOn() const;
    bool VibrationsOn() const;
    // The five values as the controls hold them now.
    void StoreInto(Settings& settings) const;

    void OnShow() override;
    bool OnCommand(int id, int code, LPARAM control) override;
    std::vector<Control*> FocusOrder() const override;

private:
    void SetupCaption(Label* label, int y, int width, const wchar_t* text) const;
    void SetupVolume(Slider* slider, int y, DWORD value) const;
    void SetupSwitch(CheckBox* box, int y, DWORD checked) const;
    // The call switch and its line as the call output is now.
    void ShowCallState(const SNDCALL& call);

    std::unique_ptr<Label> volumeBeatCaption;
    std::unique_ptr<Slider> volumeBeat;
    std::unique_ptr<Label> volumeSoundsCaption;
    std::unique_ptr<Slider> volumeSounds;
    std::unique_ptr<Label> xButtonCaption;
    std::unique_ptr<CheckBox> xButton;
    std::unique_ptr<Label> animationsCaption;
    std::unique_ptr<CheckBox> animations;
    std::unique_ptr<Label> vibrationsCaption;
    std::unique_ptr<CheckBox> vibrations;
    std::unique_ptr<Label> callCaption;
    std::unique_ptr<CheckBox> call;
    std::unique_ptr<Label> callState;
    std::unique_ptr<Label> kitCaption;
    std::unique_ptr<Button> kit;  // names the kit playing; opens the kits page
    std::unique_ptr<ScrollPanel> rows;
};
