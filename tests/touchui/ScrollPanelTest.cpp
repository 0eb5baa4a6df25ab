// The scrolling panel: touches that reach its children, drags that scroll it instead, its ends,
// bringing a child into view, and painting cut to its bounds.
#include "touchui/ScrollPanel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/PixelSurface.h"
#include "tests/touchui/Recording.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Screen.h"
#include "touchui/Slider.h"

using pixels::PixelOf;
using touchui_test::Command;
using touchui_test::RecordingTest;

namespace {

// A panel at (0, 40), 240 x 200, on a 240 x 320 screen at 96 dpi (a drag counts past 8 pixels).
// Its rows are 40 pixels high every 50: a button, a slider, a check box, then seven buttons; the
// content is 490 high and scrolls up to 290.
class ScrollPanelTouch : public RecordingTest {
protected:
    enum { kPanel = 150, kFirstRow = 200 };

    void SetUp() override {
        RecordingTest::SetUp();
        panel_.reset(new ScrollPanel(NULL, hwnd(), kPanel));
        panel_->SetBounds(0, 40, 240, 200);
        for (int i = 0; i < 10; ++i) {
            std::unique_ptr<Control> row;
            if (i == 1)
                row.reset(new Slider(NULL, hwnd(), kFirstRow + i));
            else if (i == 2)
                row.reset(new CheckBox(NULL, hwnd(), kFirstRow + i));
            else
                row.reset(new Button(NULL, hwnd(), kFirstRow + i));
            panel_->AddControl(row.get(), 20, 50 * i, 200, 40);
            rows_.push_back(std::move(row));
        }
        Commands();
    }

    int Down(int x, int y) { return panel_->TouchDown(hwnd(), 0, x, y); }
    int Move(int x, int y) { return panel_->TouchMove(hwnd(), 0, x, y); }
    int Up(int x, int y) { return panel_->TouchUp(hwnd(), 0, x, y); }
    ScrollPanel& panel() { return *panel_; }
    Control& row(int i) { return *rows_[i]; }
    Slider& slider() { return static_cast<Slider&>(row(1)); }
    CheckBox& checkBox() { return static_cast<CheckBox&>(row(2)); }
    // The notifications as (code, id) pairs.
    std::vector<std::pair<int, int>> Reported() {
        std::vector<std::pair<int, int>> out;
        for (const Command& c : Commands())
            out.emplace_back(c.code, c.id);
        return out;
    }

    std::unique_ptr<ScrollPanel> panel_;
    std::vector<std::unique_ptr<Control>> rows_;
};

using Reports = std::vector<std::pair<int, int>>;

TEST_F(ScrollPanelTouch, ATapOnAChildButtonClicksIt) {
    EXPECT_EQ(Down(120, 60), 1);
    EXPECT_EQ(Move(122, 63), 1);  // a wobble within the slop
    EXPECT_EQ(Up(122, 63), 1);
    EXPECT_EQ(Reported(),
              (Reports{{Pressed, 200}, {Dragged, 200}, {Released, 200}, {Clicked, 200}}));
    EXPECT_EQ(panel().GetScrollPos(), 0);
    EXPECT_EQ(row(0).GetParent(), &panel());
}

// A vertical drag that lands on a child scrolls, and leaves the child as it was before the touch.
TEST_F(ScrollPanelTouch, AVerticalDragScrollsAndWithdrawsTheChildsTouch) {
    struct Case {
        const char* what;
        int row;
        Reports reported;
    };
    const Case cases[] = {
        {"a button does not click", 0, {{Pressed, 200}, {Cancelled, 200}}},
        {"a slider goes back",
         1,
         {{Pressed, 201}, {ValueChanged, 201}, {ValueChanged, 201}, {Cancelled, 201}}},
        {"a check box flips back", 2, {{Toggled, 202}, {Toggled, 202}, {Cancelled, 202}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panel().ScrollTo(0);
        slider().SetPercent(30, 0);
        checkBox().SetChecked(0);
        const int y = 60 + 50 * c.row;
        EXPECT_EQ(Down(120, y), 1);
        EXPECT_EQ(Move(120, y - 9), 1);  // past the slop: the drag begins here
        EXPECT_EQ(panel().GetScrollPos(), 0);
        EXPECT_EQ(Move(120, y - 39), 1);
        EXPECT_EQ(Up(120, y - 39), 1);
        EXPECT_EQ(panel().GetScrollPos(), 30);
        EXPECT_EQ(row(c.row).GetTop(), 40 + 50 * c.row - 30);
        EXPECT_EQ(row(0).state, 0);
        EXPECT_EQ(slider().state, 0) << "not held";
        EXPECT_EQ(slider().GetValue(), 30);
        EXPECT_EQ(std::wstring(slider().GetText()), L"30 %");
        EXPECT_EQ(checkBox().IsChecked(), 0);
        Reports expected = c.reported;
        expected.emplace_back(Scrolled, kPanel);
        EXPECT_EQ(Reported(), expected);
    }
}

TEST_F(ScrollPanelTouch, ASliderDraggedSidewaysFirstKeepsTheTouch) {
    EXPECT_EQ(Down(120, 100), 1);
    EXPECT_EQ(slider().GetValue(), 50);
    EXPECT_EQ(Move(150, 102), 1);  // sideways past the slop: the slider's drag
    EXPECT_EQ(Move(170, 180), 1);  // then up and down freely, without scrolling
    EXPECT_EQ(slider().GetValue(), 80);
    EXPECT_EQ(Up(170, 180), 1);
    EXPECT_EQ(panel().GetScrollPos(), 0);
    EXPECT_EQ(Reported(), (Reports{{Pressed, 201},
                                   {ValueChanged, 201},
                                   {Dragged, 201},
                                   {ValueChanged, 201},
                                   {Dragged, 201},
                                   {ValueChanged, 201},
                                   {Released, 201},
                                   {Clicked, 201}}));
}

TEST_F(ScrollPanelTouch, TheContentStopsAtBothEndsAndFollowsAFingerThatTurnsBack) {
    EXPECT_EQ(panel().GetContentHeight(), 490);
    EXPECT_EQ(panel().GetMaxScroll(), 290);
    Down(120, 45);
    Move(120, 60);
    Move(120, 200);  // pulling the top further down
    EXPECT_EQ(panel().GetScrollPos(), 0);
    EXPECT_EQ(Reported(), (Reports{{Pressed, 200}, {Cancelled, 200}}));
    Move(120, -800);  // far past the other end
    EXPECT_EQ(panel().GetScrollPos(), 290);
    EXPECT_EQ(row(9).GetTop() + row(9).GetHeight(), 240) << "the last row at the bottom edge";
    Move(120, -790);
    EXPECT_EQ(panel().GetScrollPos(), 280) << "turning back moves at once";
    Up(120, -790);
    EXPECT_EQ(Reported(), (Reports{{Scrolled, kPanel}, {Scrolled, kPanel}}));

    EXPECT_FALSE(panel().ScrollTo(280));
    EXPECT_TRUE(panel().ScrollTo(-5));
    EXPECT_EQ(panel().GetScrollPos(), 0);
    EXPECT_TRUE(panel().ScrollTo(1000));
    EXPECT_EQ(panel().GetScrollPos(), 290);
    row(9).SetVisible(0);  // the content shrinks: the view stays within it
    panel().ScrollTo(panel().GetScrollPos());
    EXPECT_EQ(panel().GetScrollPos(), 240);
    EXPECT_TRUE(Reported().empty()) << "setters report nothing";
}

TEST_F(ScrollPanelTouch, EnsureVisibleScrollsJustEnough) {
    Button tall(NULL, hwnd(), 300), stranger(NULL, hwnd(), 301);
    panel().AddControl(&tall, 20, 490, 200, 260);
    struct Case {
        int from;
        const Control* control;
        int to;
        bool moved;
    };
    const Case cases[] = {
        {0, &row(9), 290, true},     // below: its bottom at the panel's
        {290, &row(0), 0, true},     // above: its top at the panel's
        {100, &row(3), 100, false},  // already whole in view
        {100, &row(6), 140, true},   // partly below
        {0, &tall, 490, true},       // taller than the panel: its top
        {0, &stranger, 0, false},    // not in the panel
    };
    for (const Case& c : cases) {
        panel().ScrollTo(c.from);
        EXPECT_EQ(panel().EnsureVisible(c.control), c.moved) << c.from << " to " << c.to;
        EXPECT_EQ(panel().GetScrollPos(), c.to);
    }
    window().Pump(0);
    window().ClearMessages();
    panel().EnsureVisible(&row(0));
    window().Pump(0);
    EXPECT_EQ(window().Count(WM_PAINT), 0) << "nothing repaints from a setter";
}

// Parts of children scrolled out of view are not there to touch.
TEST_F(ScrollPanelTouch, OnlyTheShownPartOfAChildTakesATouch) {
    panel().ScrollTo(30);  // row 0 spans 10..50 on the screen; 40..50 shows
    EXPECT_EQ(Down(120, 20), 0);
    EXPECT_EQ(row(0).state, 0);
    EXPECT_EQ(Down(120, 240), 0) << "below the panel";
    EXPECT_TRUE(Reported().empty());

    // Held, slid sideways and then off the panel onto the button's hidden part: no click.
    Down(120, 45);
    Move(140, 45);
    Move(140, 20);
    EXPECT_EQ(row(0).state, 0);
    Up(140, 20);
    EXPECT_EQ(Reported(), (Reports{{Pressed, 200}, {Dragged, 200}, {Dragged, 200}}));
}

TEST_F(ScrollPanelTouch, ContentThatFitsDoesNotScroll) {
    ScrollPanel small(NULL, hwnd(), 151);
    Button a(NULL, hwnd(), 210), b(NULL, hwnd(), 211);
    small.SetBounds(0, 40, 240, 200);
    small.AddControl(&a, 0, 0, 240, 40);
    small.AddControl(&b, 0, 100, 240, 40);
    EXPECT_EQ(small.GetMaxScroll(), 0);
    EXPECT_EQ(small.TouchDown(hwnd(), 0, 120, 100), 0) << "nothing there";
    EXPECT_EQ(small.TouchDown(hwnd(), 0, 120, 60), 1);
    EXPECT_EQ(small.TouchMove(hwnd(), 0, 120, 70), 1);  // a button's own drag
    EXPECT_EQ(small.TouchUp(hwnd(), 0, 120, 70), 1);
    EXPECT_EQ(Reported(),
              (Reports{{Pressed, 210}, {Dragged, 210}, {Released, 210}, {Clicked, 210}}));
    EXPECT_EQ(small.GetScrollPos(), 0);
}

TEST_F(ScrollPanelTouch, InAScreenThePanelHoldsItsTouchAndLetsOthersBe) {
    Screen screen(NULL, hwnd(), 4);
    Button topBar(NULL, hwnd(), 16);
    topBar.SetBounds(0, 0, 240, 40);
    screen.AddControl(panel_.get());
    screen.AddControl(&topBar);
    EXPECT_EQ(screen.TouchDown(hwnd(), 0, 120, 20), 1);
    EXPECT_EQ(screen.TouchUp(hwnd(), 0, 120, 20), 1);
    EXPECT_EQ(Reported(), (Reports{{Pressed, 16}, {Released, 16}, {Clicked, 16}}));
    screen.TouchDown(hwnd(), 0, 120, 200);
    screen.TouchMove(hwnd(), 0, 120, 190);
    screen.TouchMove(hwnd(), 0, 120, 20);  // over the bar, still the panel's drag
    EXPECT_EQ(topBar.state, 0);
    screen.TouchUp(hwnd(), 0, 120, 20);
    EXPECT_GT(panel().GetScrollPos(), 0);
    for (const auto& r : Reported())
        EXPECT_NE(r.second, 16);
}

TEST_F(ScrollPanelTouch, ChildrenAreReadTopToBottomAndLeftToRight) {
    ScrollPanel grid(NULL, hwnd(), 152);
    Button a(NULL, hwnd(), 1), b(NULL, hwnd(), 2), c(NULL, hwnd(), 3), d(NULL, hwnd(), 4);
    grid.AddControl(&d, 120, 50, 100, 40);
    grid.AddControl(&b, 120, 0, 100, 40);
    grid.AddControl(&c, 0, 50, 100, 40);
    grid.AddControl(&a, 0, 0, 100, 40);
    EXPECT_EQ(grid.ReadingOrder(), (std::vector<Control*>{&a, &b, &c, &d}));
    EXPECT_EQ(grid.GetControls(), (std::vector<Control*>{&d, &b, &c, &a}));
    grid.AddControl(&a, 0, 100, 100, 40);  // moved, not added twice
    EXPECT_EQ(grid.ReadingOrder(), (std::vector<Control*>{&b, &c, &d, &a}));
}

// ---- Painting -----------------------------------------------------------------------------------

const uint32_t kCanary = 0x00FF00FF;
const uint32_t kColours[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00, 0x0000FFFF};

// Five solid rows, 50 high every 60 (content 290), in a 200 x 200 panel at (20, 40).
class ScrollPanelPaint : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        panel_.SetBounds(20, 40, 200, 200);
        for (int i = 0; i < 5; ++i) {
            images_.emplace_back(new pixels::Surface(1, 1, pixels::Surface::NoDc));
            images_.back()->Fill(kColours[i]);
            boxes_.emplace_back(new ImageBox(NULL, hwnd(), 90 + i));
            boxes_.back()->SetImage(images_.back()->bitmap, ImageNormal);
            boxes_.back()->SetImagePlacement(2);
            panel_.AddControl(boxes_.back().get(), 0, 60 * i, 180, 50);
        }
    }
    void Paint() {
        screen_.Fill(kCanary);
        panel_.Paint(screen_.dc);
    }
    // What a column inside the panel should show at a screen row, the indicator aside.
    uint32_t Expected(int y) const {
        const int content = y - 40 + panel_.GetScrollPos();
        return content % 60 < 50 ? kColours[content / 60] : kCanary;
    }

    ScrollPanel panel_{NULL, NULL, 150};
    std::vector<std::unique_ptr<pixels::Surface>> images_;
    std::vector<std::unique_ptr<ImageBox>> boxes_;
    pixels::Surface screen_{240, 320, pixels::Surface::WindowDc};
};

TEST_F(ScrollPanelPaint, ChildrenAreCutToThePanelAndNothingOutsideIsTouched) {
    for (int pos : {0, 35, 90}) {
        SCOPED_TRACE(pos);
        panel_.ScrollTo(pos);
        Paint();
        for (int y = 0; y < 320; ++y) {
            for (int x = 0; x < 240; ++x) {
                const bool inside = x >= 20 && x < 220 && y >= 40 && y < 240;
                if (!inside) {
                    ASSERT_EQ(screen_.At(x, y), kCanary) << x << "," << y;
                } else if (x < 200) {
                    ASSERT_EQ(screen_.At(x, y), Expected(y)) << x << "," << y;
                } else if (x < 216) {
                    ASSERT_EQ(screen_.At(x, y), kCanary) << "right of the rows " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(ScrollPanelPaint, TheIndicatorShowsWhereTheViewIs) {
    // 200 of 290 shown: a thumb 137 long, 3 wide, one pixel in from the right edge.
    struct Case {
        int pos;
        int top;
    };
    const uint32_t thumbTop = PixelOf(panel_.indicatorTop);
    for (const Case& c : {Case{0, 40}, Case{35, 64}, Case{90, 103}}) {
        SCOPED_TRACE(c.pos);
        panel_.ScrollTo(c.pos);
        Paint();
        for (int x = 216; x < 219; ++x) {
            EXPECT_EQ(screen_.At(x, c.top), thumbTop);
            EXPECT_NE(screen_.At(x, c.top + 136), kCanary);
            EXPECT_EQ(screen_.At(x, c.top + 137), kCanary);
        }
        EXPECT_EQ(screen_.At(215, c.top), kCanary);
        EXPECT_EQ(screen_.At(219, c.top), kCanary);
        if (c.top > 40) {
            EXPECT_EQ(screen_.At(217, c.top - 1), kCanary);
        }
    }
    boxes_[4]->SetVisible(0);
    boxes_[3]->SetVisible(0);  // 170 high now: it fits
    Paint();
    for (int y = 40; y < 240; ++y)
        ASSERT_EQ(screen_.At(217, y), kCanary) << y;
}

}  // namespace
