// Touch routing and the notifications the controls post, checked as the WM_COMMAND messages the
// main window receives.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/touchui/Recording.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/Screen.h"
#include "touchui/Slider.h"

using touchui_test::Command;
using touchui_test::RecordingTest;

namespace {

class ControlTouch : public RecordingTest {
protected:
    int Down(Control& c, int x, int y) { return c.TouchDown(hwnd(), 0, x, y); }
    int Up(Control& c, int x, int y) { return c.TouchUp(hwnd(), 0, x, y); }
    int Move(Control& c, int x, int y) { return c.TouchMove(hwnd(), 0, x, y); }
};

// ---- Control base and buttons ------------------------------------------------------------------

TEST_F(ControlTouch, PressAndLiftInsideReportsPressedReleasedClicked) {
    Button b(NULL, hwnd(), 32);
    b.SetBounds(10, 10, 20, 20);
    EXPECT_EQ(Down(b, 15, 15), 1);
    EXPECT_EQ(b.state, 1);
    EXPECT_EQ(Up(b, 16, 16), 1);
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Commands(),
              (std::vector<Command>{{Pressed, 32, &b}, {Released, 32, &b}, {Clicked, 32, &b}}));
}

TEST_F(ControlTouch, SlidingOffLosesThePressForGood) {
    Button b(NULL, hwnd(), 33);
    b.SetBounds(0, 0, 26, 26);
    Down(b, 5, 5);
    EXPECT_EQ(Move(b, 40, 5), 1);  // still answers: the move ends its hold
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Move(b, 5, 5), 0);
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Up(b, 5, 5), 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 33, &b}, {Dragged, 33, &b}}));
}

TEST_F(ControlTouch, MovesInsideWhileHeldReportDragged) {
    Button b(NULL, hwnd(), 34);
    b.SetBounds(0, 0, 26, 26);
    Down(b, 5, 5);
    Move(b, 6, 6);
    Move(b, 7, 7);
    EXPECT_EQ(b.state, 1);
    Up(b, 7, 7);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 34, &b},
                                                {Dragged, 34, &b},
                                                {Dragged, 34, &b},
                                                {Released, 34, &b},
                                                {Clicked, 34, &b}}));
}

TEST_F(ControlTouch, LiftOutsideAfterPressReportsNothingMore) {
    Button b(NULL, hwnd(), 32);
    b.SetBounds(0, 0, 26, 26);
    Down(b, 5, 5);
    EXPECT_EQ(Up(b, 100, 5), 0);
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 32, &b}}));
}

TEST_F(ControlTouch, RightAndBottomEdgesAreOutside) {
    Button b(NULL, hwnd(), 32);
    b.SetBounds(10, 20, 30, 40);
    EXPECT_TRUE(b.HitTest(10, 20));
    EXPECT_TRUE(b.HitTest(39, 59));
    EXPECT_FALSE(b.HitTest(40, 30));
    EXPECT_FALSE(b.HitTest(20, 60));
    EXPECT_FALSE(b.HitTest(9, 30));
    EXPECT_EQ(Down(b, 40, 30), 0);
    EXPECT_EQ(Down(b, 20, 60), 0);
    EXPECT_EQ(b.state, 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ControlTouch, HiddenOrDisabledControlsTakeNoTouch) {
    Button b(NULL, hwnd(), 32);
    b.SetBounds(0, 0, 26, 26);
    b.SetVisible(0);
    EXPECT_FALSE(b.HitTest(5, 5));
    EXPECT_EQ(Down(b, 5, 5), 0);
    b.SetVisible(1);
    b.SetEnabled(0);
    EXPECT_TRUE(b.HitTest(5, 5));
    EXPECT_EQ(Down(b, 5, 5), 0);
    b.state = 1;  // even a held one is not reached
    EXPECT_EQ(Up(b, 5, 5), 0);
    EXPECT_EQ(Move(b, 5, 5), 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ControlTouch, OnlyTheLowWordOfTheIdTravels) {
    Button b(NULL, hwnd(), 0x12345);
    b.SetBounds(0, 0, 10, 10);
    Down(b, 1, 1);
    std::vector<Command> got = Commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, 0x2345);
    EXPECT_EQ(got[0].code, Pressed);
}

TEST_F(ControlTouch, NotificationsGoToTheWindowThatReceivedTheTouch) {
    Button b(NULL, NULL, 32);  // constructed without a window
    b.SetBounds(0, 0, 10, 10);
    Down(b, 1, 1);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 32, &b}}));
}

// ---- Screens: order, overlap, labels ----------------------------------------------------------

TEST_F(ControlTouch, ALabelOverAButtonDoesNotStopIt) {
    Screen screen(NULL, hwnd(), 3);
    Label label(NULL, hwnd(), 83);
    Button button(NULL, hwnd(), 85);
    label.SetBounds(0, 0, 100, 40);
    button.SetBounds(10, 10, 20, 20);
    screen.AddControl(&label);
    screen.AddControl(&button);
    EXPECT_EQ(Down(label, 15, 15), 0);
    EXPECT_EQ(Down(screen, 15, 15), 1);
    EXPECT_EQ(Up(screen, 15, 15), 1);
    EXPECT_EQ(Commands(),
              (std::vector<Command>{
                  {Pressed, 85, &button}, {Released, 85, &button}, {Clicked, 85, &button}}));
}

TEST_F(ControlTouch, OfOverlappingControlsTheFirstAddedTakesTheTouch) {
    Screen screen(NULL, hwnd(), 2);
    Button first(NULL, hwnd(), 40), second(NULL, hwnd(), 41);
    first.SetBounds(0, 0, 20, 20);
    second.SetBounds(10, 10, 20, 20);
    screen.AddControl(&first);
    screen.AddControl(&second);
    EXPECT_EQ(Down(screen, 15, 15), 1);
    EXPECT_EQ(first.state, 1);
    EXPECT_EQ(second.state, 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 40, &first}}));
    EXPECT_EQ(first.GetParent(), &screen);
}

TEST_F(ControlTouch, ALiftThatAControlDoesNotHoldPassesOnAfterResettingIt) {
    Screen screen(NULL, hwnd(), 2);
    Button a(NULL, hwnd(), 40), b(NULL, hwnd(), 41);
    a.SetBounds(0, 0, 20, 20);
    b.SetBounds(30, 0, 20, 20);
    screen.AddControl(&a);
    screen.AddControl(&b);
    b.state = 1;  // b holds the touch
    a.state = 1;  // a believes it does too, but the lift is not on it
    EXPECT_EQ(Up(screen, 35, 5), 1);
    EXPECT_EQ(a.state, 0);
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Released, 41, &b}, {Clicked, 41, &b}}));
}

TEST_F(ControlTouch, HiddenScreensOfferNothingAndHiddenControlsAreSkipped) {
    Screen screen(NULL, hwnd(), 2);
    Button hidden(NULL, hwnd(), 40), shown(NULL, hwnd(), 41);
    hidden.SetBounds(0, 0, 20, 20);
    shown.SetBounds(0, 0, 20, 20);
    hidden.SetVisible(0);
    screen.AddControl(&hidden);
    screen.AddControl(&shown);
    screen.SetVisible(0);
    EXPECT_EQ(screen.OnTouchDown(hwnd(), 0, 5, 5), 0);
    screen.SetVisible(1);
    EXPECT_EQ(Down(screen, 5, 5), 1);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 41, &shown}}));
}

// ---- Check boxes --------------------------------------------------------------------------------

TEST_F(ControlTouch, CheckBoxFlipsOnEveryTouchDownInsideAndNeverOnLiftOrMove) {
    CheckBox c(NULL, hwnd(), 103);
    c.SetBounds(120, 197, 100, 30);
    EXPECT_EQ(Down(c, 130, 200), 1);
    EXPECT_EQ(c.IsChecked(), 1);
    EXPECT_EQ(Move(c, 131, 201), 0);
    EXPECT_EQ(Up(c, 131, 201), 0);
    EXPECT_EQ(c.IsChecked(), 1);
    EXPECT_EQ(Down(c, 219, 226), 1);
    EXPECT_EQ(c.IsChecked(), 0);
    EXPECT_EQ(Down(c, 220, 226), 0);  // outside
    EXPECT_EQ(c.IsChecked(), 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Toggled, 103, &c}, {Toggled, 103, &c}}));
}

TEST_F(ControlTouch, SetCheckedPostsNothing) {
    CheckBox c(NULL, hwnd(), 36);
    c.SetChecked(1);
    EXPECT_EQ(c.IsChecked(), 1);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ControlTouch, ACheckBoxLetsTheLiftReachTheControlsAfterIt) {
    Screen screen(NULL, hwnd(), 2);
    CheckBox c(NULL, hwnd(), 36);
    Button b(NULL, hwnd(), 32);
    c.SetBounds(0, 0, 50, 50);
    b.SetBounds(0, 0, 50, 50);
    screen.AddControl(&c);
    screen.AddControl(&b);
    b.state = 1;
    EXPECT_EQ(Up(screen, 5, 5), 1);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Released, 32, &b}, {Clicked, 32, &b}}));
}

// ---- What keys and switches use
// ------------------------------------------------------------------

// A key acts on a control as a touch does: the same state, the same repaint, the same reports.
TEST_F(ControlTouch, ToggleAndClickDoWhatTheirTouchesDo) {
    CheckBox touched(NULL, hwnd(), 36);
    CheckBox keyed(NULL, hwnd(), 36);
    for (CheckBox* c : {&touched, &keyed}) {
        c->SetBounds(0, 270, 120, 50);
    }
    Down(touched, 5, 280);
    const std::vector<Command> byTouch = Commands();
    keyed.Toggle();
    window().Pump(10);
    EXPECT_GE(window().Count(WM_PAINT), 1) << "repainted";
    std::vector<Command> byKey = Commands();
    EXPECT_EQ(keyed.IsChecked(), touched.IsChecked());
    ASSERT_EQ(byKey.size(), 1u);
    EXPECT_EQ(byKey[0], (Command{Toggled, 36, &keyed}));
    EXPECT_EQ(byTouch, (std::vector<Command>{{Toggled, 36, &touched}}));

    Button b(NULL, hwnd(), 87);
    b.SetBounds(90, 266, 60, 54);
    Down(b, 100, 280);
    Up(b, 100, 280);
    EXPECT_EQ(Commands(),
              (std::vector<Command>{{Pressed, 87, &b}, {Released, 87, &b}, {Clicked, 87, &b}}));
    b.Click();
    EXPECT_EQ(b.state, 0);
    EXPECT_EQ(Commands(), (std::vector<Command>{{Released, 87, &b}, {Clicked, 87, &b}}))
        << "a completed press";
}

// ---- Sliders ------------------------------------------------------------------------------------

class SliderTouch : public ControlTouch {
protected:
    void SetUp() override {
        ControlTouch::SetUp();
        slider_.reset(new Slider(NULL, hwnd(), 97));
        slider_->SetBounds(20, 84, 200, 15);
    }
    Slider& s() { return *slider_; }
    std::unique_ptr<Slider> slider_;
};

TEST_F(SliderTouch, DragFollowsTheFingerAndTheLiftSetsTheLastValue) {
    EXPECT_EQ(Down(s(), 120, 90), 1);
    EXPECT_EQ(s().GetValue(), 50);
    EXPECT_EQ(Move(s(), 122, 200), 1);  // off the slider vertically: still its touch
    EXPECT_EQ(s().GetValue(), 60);
    EXPECT_EQ(Up(s(), 219, 0), 1);
    EXPECT_EQ(s().GetValue(), 100);
    EXPECT_EQ(std::wstring(s().GetText()), L"100 %");
    EXPECT_EQ(s().state, 0);
    Slider* p = slider_.get();
    EXPECT_EQ(Commands(), (std::vector<Command>{{Pressed, 97, p},
                                                {ValueChanged, 97, p},
                                                {Dragged, 97, p},
                                                {ValueChanged, 97, p},
                                                {Released, 97, p},
                                                {Clicked, 97, p}}));
}

TEST_F(SliderTouch, DraggingPastEitherEndKeepsTheLastValueInRange) {
    Down(s(), 120, 90);
    Move(s(), 0, 90);
    EXPECT_EQ(s().GetValue(), 50);
    Move(s(), 230, 90);  // 100 * 210 / 200 = 105, outside
    EXPECT_EQ(s().GetValue(), 50);
    Up(s(), 500, 90);
    EXPECT_EQ(s().GetValue(), 50);
    // ValueChanged follows every down and move, also when the position was ignored.
    int changed = 0;
    for (const Command& c : Commands())
        changed += c.code == ValueChanged;
    EXPECT_EQ(changed, 3);
}

TEST_F(SliderTouch, ADownOutsideIsNotTakenAndALiftWithoutHoldIsPassedOn) {
    EXPECT_EQ(Down(s(), 19, 90), 0);
    EXPECT_EQ(Down(s(), 120, 99), 0);
    EXPECT_EQ(Move(s(), 120, 90), 0);
    EXPECT_EQ(Up(s(), 120, 90), 0);
    EXPECT_EQ(s().GetValue(), 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(SliderTouch, AReadOnlySliderTakesNoTouchButFollowsSetPercent) {
    s().SetReadOnly(1);
    EXPECT_EQ(Down(s(), 120, 90), 0);
    EXPECT_EQ(Move(s(), 120, 90), 0);
    EXPECT_EQ(Up(s(), 120, 90), 0);
    EXPECT_EQ(s().GetValue(), 0);
    s().state = 1;  // not even a hold makes it answer
    EXPECT_EQ(Up(s(), 120, 90), 0);
    EXPECT_TRUE(Commands().empty());
    s().SetPercent(40, 1);
    EXPECT_EQ(s().GetPercent(), 40);
}

TEST_F(SliderTouch, AHeldSliderInAScreenGetsMovesAnywhere) {
    Screen screen(NULL, hwnd(), 4);
    Button before(NULL, hwnd(), 96);
    before.SetBounds(0, 0, 240, 80);
    screen.AddControl(&before);
    screen.AddControl(slider_.get());
    Down(screen, 120, 90);
    Commands();
    EXPECT_EQ(Move(screen, 140, 10), 1);  // over the button, which does not hold the touch
    EXPECT_EQ(s().GetValue(), 60);
    EXPECT_EQ(Up(screen, 140, 10), 1);
    Slider* p = slider_.get();
    EXPECT_EQ(Commands(),
              (std::vector<Command>{
                  {Dragged, 97, p}, {ValueChanged, 97, p}, {Released, 97, p}, {Clicked, 97, p}}));
}

// ---- Repainting -------------------------------------------------------------------------------

TEST_F(ControlTouch, SettersRepaintOnlyWhenAskedTo) {
    Slider s(NULL, hwnd(), 97);
    s.SetBounds(20, 84, 200, 15);
    Label l(NULL, hwnd(), 96);
    window().Pump(0);
    window().ClearMessages();

    s.SetPercent(40, 0);
    s.SetValue(70, 2);  // only 1 asks for a repaint
    s.SetRange(0, 50, 5, 0);
    s.SetShowText(0, 0);
    s.SetFillColors(0x0031FBA5, 0x00006633, 0);
    s.SetBackImage(NULL, 1, 0);
    s.SetFrontImage(NULL, 3, 0);
    l.SetText(L"Volume beat:");
    l.SetVisible(0);
    l.SetBounds(0, 0, 10, 10);
    window().Pump(0);
    EXPECT_EQ(window().Count(WM_PAINT), 0);

    s.SetPercent(40, 1);
    window().Pump(0);
    EXPECT_EQ(window().Count(WM_PAINT), 1);
}

TEST_F(ControlTouch, ImageBoxesAndLabelsNeverTakeTouch) {
    ImageBox box(NULL, hwnd(), 16);
    Label label(NULL, hwnd(), 80);
    box.SetBounds(0, 0, 240, 54);
    label.SetBounds(0, 0, 240, 54);
    EXPECT_EQ(box.interactive, 0);
    EXPECT_EQ(label.interactive, 0);
    EXPECT_EQ(Down(box, 5, 5), 0);
    EXPECT_EQ(Down(label, 5, 5), 0);
    EXPECT_EQ(box.state, 0);
    EXPECT_EQ(label.state, 0);
    EXPECT_TRUE(box.HitTest(5, 5));
    EXPECT_TRUE(Commands().empty());
}

// ---- Text and scaling ---------------------------------------------------------------------------

TEST(ControlText, EmptyOrAbsentTextKeepsThePreviousOne) {
    Label l(NULL, NULL, 80);
    EXPECT_EQ(std::wstring(l.GetText()), L"");
    l.SetText(L"for Pocket PC");
    l.SetText(L"");
    l.SetText(nullptr);
    EXPECT_EQ(std::wstring(l.GetText()), L"for Pocket PC");
}

TEST(ControlText, LongTextIsCutToTheBuffer) {
    Label l(NULL, NULL, 80);
    std::wstring longText(300, L'x');
    longText[258] = L'y';
    l.SetText(longText.c_str());
    std::wstring got = l.GetText();
    EXPECT_EQ(got.size(), 259u);
    EXPECT_EQ(got.back(), L'y');
    std::wstring exact(259, L'z');
    l.SetText(exact.c_str());
    EXPECT_EQ(std::wstring(l.GetText()), exact);
}

}  // namespace
