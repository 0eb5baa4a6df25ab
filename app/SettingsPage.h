// The settings page: the beat and sounds volumes and the three switches (close button closes,
// animations, touch vibrations) between the bars, and the way back. Escape goes back too. The
// controls hold the running values; the settings get them when the window closes.
#pragma once

#include <memory>

#include "app/Page.h"

class Button;
class CheckBox;
class Label;
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

    bool OnCommand(int id, int code, LPARAM control) override;
    std::vector<Control*> FocusOrder() const override;

private:
    void SetupCaption(Label* label, int y, int width, const wchar_t* text) const;
    void SetupVolume(Slider* slider, int y, DWORD value) const;
    void SetupSwitch(CheckBox* box, int y, DWORD checked) const;

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
};
