// The access page, reached from the settings page: how to play (touch, dwell, one switch, two
// switches) and the cues of a scan as choices of switches, one on at a time; the scan's step and
// rounds, the dwell, hold and repeat-lockout times and the cue volume as sliders with their values
// beside their captions; all in rows that scroll between the bars. A change goes into the
// settings at once and takes hold at once (the access object reads them there); they are saved
// with the others when the window closes. The way back, and Escape, lead to the settings page.
#pragma once

#include <memory>
#include <vector>

#include "app/Page.h"
#include "platform/win32.h"

class CheckBox;
class Label;
class ScrollPanel;
class Slider;
struct AccessRange;

class AccessPage : public Page {
public:
    explicit AccessPage(UserInterface& ui);
    ~AccessPage() override;

    bool OnCommand(int id, int code, LPARAM control) override;
    std::vector<Control*> FocusOrder() const override;

private:
    // Switches of which one is on: the choice is their index.
    struct Choice {
        std::unique_ptr<Label> caption;
        std::vector<std::unique_ptr<Label>> labels;
        std::vector<std::unique_ptr<CheckBox>> options;
        DWORD* value;      // in the settings
        DWORD before = 0;  // the choice before the last flip, for a flip withdrawn
    };
    // A slider over the range, 0-based (its own value is the setting less the minimum).
    struct Value {
        std::unique_ptr<Label> caption;
        std::unique_ptr<Label> text;
        std::unique_ptr<Slider> slider;
        const AccessRange* range;
        DWORD* value;  // in the settings
        enum Unit { Milliseconds, MillisecondsOrOff, Count, Percent } unit;
    };

    int AddChoice(Choice& choice, int captionId, int firstId, int firstCaptionId,
                  const wchar_t* title, std::initializer_list<const wchar_t*> names, DWORD* value,
                  int y);
    int AddValue(Value& value, int index, const wchar_t* title, const AccessRange& range, int step,
                 Value::Unit unit, DWORD* setting, int y);
    void Choose(Choice& choice, DWORD index);
    void ShowValue(Value& value);
    void Changed();

    Choice method;
    Choice cues;
    std::vector<Value> values;
    std::vector<Control*> inRows;
    std::unique_ptr<ScrollPanel> rows;
};
