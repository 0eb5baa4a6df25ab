// The access page's controls and the settings they set: a choice keeps one switch on, a flip
// withdrawn by the scrolling rows goes back, and a slider's value is the setting's.
#include <gtest/gtest.h>

#include <string>

#include "app/AppWindow.h"
#include "touchui/CheckBox.h"
#include "touchui/Label.h"
#include "touchui/Slider.h"

namespace {

using AccessPageTest = AppWindowTest;

TEST_F(AccessPageTest, AChoiceKeepsOneSwitchOnAndAWithdrawnFlipGoesBack) {
    Load();
    g_ui->ShowPage(IDC_SCREEN_ACCESS);
    auto method = [&](int i) { return Find<CheckBox>(IDC_METHOD_FIRST + i); };
    auto on = [&] {
        std::string s;
        for (int i = 0; i < 4; ++i) {
            s += method(i)->IsChecked() ? '1' : '0';
        }
        return s;
    };
    struct Step {
        const char* what;
        int option;
        bool cancel;  // the flip withdrawn
        DWORD setting;
        const char* switches;
    };
    const Step steps[] = {
        {"dwell chosen", 1, false, AccessDwell, "0100"},
        {"the chosen one stays on", 1, false, AccessDwell, "0100"},
        {"two switches chosen", 3, false, AccessTwoSwitches, "0001"},
        {"one switch, withdrawn", 2, true, AccessTwoSwitches, "0001"},
        {"touch again", 0, false, AccessTouch, "1000"},
    };
    for (const Step& step : steps) {
        method(step.option)->Toggle();
        window_->Pump(10);
        if (step.cancel) {
            method(step.option)->state = 0;  // flipped back, as the withdrawn touch does
            SendMessage(Handle(), WM_COMMAND, MAKEWPARAM(IDC_METHOD_FIRST + step.option, Toggled),
                        0);
            SendMessage(Handle(), WM_COMMAND, MAKEWPARAM(IDC_METHOD_FIRST + step.option, Cancelled),
                        0);
        }
        EXPECT_EQ(g_ui->GetSettings().accessMethod, step.setting) << step.what;
        EXPECT_EQ(on(), step.switches) << step.what;
    }
}

TEST_F(AccessPageTest, SlidersShowAndSetTheValuesFromTheirMinimum) {
    Load([](Settings& settings) {
        settings.scanInterval = 1250;
        settings.holdTime = 0;
        settings.dwellTime = 300;
    });
    g_ui->ShowPage(IDC_SCREEN_ACCESS);
    auto text = [&](int i) {
        return std::wstring(Find<Label>(IDC_ACCESS_VALUE_TEXT_FIRST + i)->GetText());
    };
    EXPECT_EQ(text(0), L"1.25 s");
    EXPECT_EQ(text(2), L"300 ms");
    EXPECT_EQ(text(3), L"Off");
    EXPECT_EQ(text(5), L"40 %");
    EXPECT_EQ(Find<Slider>(IDC_ACCESS_VALUE_FIRST + 2)->GetValue(), 0);

    Find<Slider>(IDC_ACCESS_VALUE_FIRST)->StepUp();  // a tenth of 250..10000, on its steps
    Find<Slider>(IDC_ACCESS_VALUE_FIRST + 1)->StepUp();
    window_->Pump(10);
    EXPECT_EQ(g_ui->GetSettings().scanInterval, 2250u);
    EXPECT_EQ(text(0), L"2.25 s");
    EXPECT_EQ(g_ui->GetSettings().scanRounds, 3u);
    EXPECT_EQ(text(1), L"3");
}

}  // namespace
