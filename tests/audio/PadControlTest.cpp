#include "audio/PadControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/Drawing.h"
#include "platform/kernel/WideString.h"
#include "skin/Skin.h"
#include "support/ContentTestSupport.h"
#include "support/GoldenImage.h"
#include "support/PixelSurface.h"
#include "tests/audio/SoundStage.h"
#include "touchui/Control.h"

using content_test::AssetFolder;
using content_test::SoundStage;
using Plays = std::vector<int>;

namespace {

const DWORD kWordTime = 1500;

// The pad as the main screen places it: 240 x 212 design units at (0, 54), its grid 6 units in.
void Place(PadControl& pad) {
    ResetScaleForTests();
    pad.SetBounds(0, ScaleY(54), ScaleX(240), ScaleY(212));
    pad.SetInset(-ScaleX(6), -ScaleY(6));
    pad.SetTextFormat(DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS);
    pad.SetTextMargins(ScaleX(5), ScaleY(15), ScaleX(5), ScaleY(5));
}

// A pad on a headless screen with the real sounds attached.
class PadStage {
public:
    PadStage(int width, int height, int dpi)
        : stage(AssetFolder("Sounds"), width, height, dpi),
          pad(nullptr, stage.Window().Handle(), 35) {
        Place(pad);
        pad.SetSoundBank(&stage.Bank());
    }
    int Down(int x, int y) { return pad.TouchDown(stage.Window().Handle(), 0, x, y); }
    int Move(int x, int y) { return pad.TouchMove(stage.Window().Handle(), 0, x, y); }
    int Up(int x, int y) { return pad.TouchUp(stage.Window().Handle(), 0, x, y); }
    Plays PlaysAfter(DWORD ms = kWordTime) { return stage.PlaysAfter(ms); }

    SoundStage stage;
    PadControl pad;
};

TEST(PadControl, StartsIdleWithNoGrid) {
    PadControl pad(nullptr, nullptr, 35);
    EXPECT_EQ(pad.GetPressedCell(), -1);
    EXPECT_EQ(pad.GetCellWidth(), 0);
    EXPECT_EQ(pad.GetCellHeight(), 0);
    EXPECT_EQ(pad.GetHighVoice(), 0);
    EXPECT_EQ(pad.GetTextColor(), 0x00FFFFFFu);
    EXPECT_EQ(pad.GetActiveTextColor(), 0x00000000u);
}

TEST(PadControl, GridAt96And192Dpi) {
    {
        PadStage s(240, 320, 96);
        EXPECT_EQ(s.pad.GetFrameRect().top, 54);
        EXPECT_EQ(s.pad.GetFrameRect().bottom, 266);
        const RECT grid = s.pad.GetGridRect();
        EXPECT_EQ(grid.left, 6);
        EXPECT_EQ(grid.top, 60);
        EXPECT_EQ(grid.right, 234);
        EXPECT_EQ(grid.bottom, 260);
        EXPECT_EQ(s.pad.GetCellWidth(), 57);
        EXPECT_EQ(s.pad.GetCellHeight(), 50);
        const POINT p = s.pad.ToGridPoint(6, 60);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
    }
    {
        PadStage s(480, 640, 192);
        const RECT grid = s.pad.GetGridRect();
        EXPECT_EQ(grid.left, 12);
        EXPECT_EQ(grid.top, 120);
        EXPECT_EQ(grid.right, 468);
        EXPECT_EQ(grid.bottom, 520);
        EXPECT_EQ(s.pad.GetCellWidth(), 114);
        EXPECT_EQ(s.pad.GetCellHeight(), 100);
    }
}

struct Touch {
    int x, y;
    int taken;  // OnTouchDown's result
    int cell;   // pressedCell after it
    Plays plays;
};

void ExpectTouchMap(int width, int height, int dpi, const std::vector<Touch>& touches) {
    PadStage s(width, height, dpi);
    for (const Touch& t : touches) {
        SCOPED_TRACE(::testing::Message() << dpi << " dpi, touch at " << t.x << ", " << t.y);
        EXPECT_EQ(s.Down(t.x, t.y), t.taken);
        EXPECT_EQ(s.pad.GetPressedCell(), t.cell);
        EXPECT_EQ(s.PlaysAfter(), t.plays);
        s.Up(t.x, t.y);
    }
}

TEST(PadControl, TouchMapAt96Dpi) {
    ExpectTouchMap(240, 320, 96,
                   {
                       {6, 60, 1, 0, {1}},       // first pixel of the grid
                       {62, 60, 1, 0, {1}},      // last column of cell 0
                       {63, 60, 1, 1, {2}},      // first of cell 1
                       {233, 259, 1, 15, {16}},  // last pixel of the grid
                       {120, 160, 1, 10, {11}},  // row 2, column 2
                       {5, 60, 1, -1, {}},       // the border: taken, silent
                       {100, 262, 1, -1, {}},    // the border below the grid
                       {0, 54, 1, -1, {}},       // the pad's corner
                       {240, 100, 0, -1, {}},    // right edge is outside
                       {100, 266, 0, -1, {}},    // bottom edge is outside
                       {100, 53, 0, -1, {}},     // above
                   });
}

TEST(PadControl, TouchMapAt192Dpi) {
    ExpectTouchMap(480, 640, 192,
                   {
                       {12, 120, 1, 0, {1}},
                       {125, 219, 1, 0, {1}},
                       {126, 220, 1, 5, {6}},
                       {467, 519, 1, 15, {16}},
                       {11, 120, 1, -1, {}},
                       {468, 300, 1, -1, {}},
                       {480, 200, 0, -1, {}},
                       {200, 532, 0, -1, {}},
                   });
}

// Keys, notes and further fingers press cells beside the pointer; each holds its own cell.
TEST(PadControl, ContactsPressCellsBesideThePointer) {
    PadStage s(240, 320, 96);
    s.Down(30, 80);  // the pointer on cell 0
    s.pad.ContactDown(7, 5, 127);
    s.pad.ContactDown(9, 15, 127);
    EXPECT_EQ(s.PlaysAfter(), (Plays{1, 6, 16}));
    for (int cell : {0, 5, 15}) {
        EXPECT_TRUE(s.pad.IsCellPressed(cell)) << cell;
    }
    EXPECT_FALSE(s.pad.IsCellPressed(1));

    s.pad.ContactDown(7, 6, 127);  // the same contact again moves to the new cell
    EXPECT_EQ(s.pad.GetContactCell(7), 6);
    EXPECT_FALSE(s.pad.IsCellPressed(5));
    s.pad.ContactUp(9);
    s.pad.ContactUp(42);  // never pressed
    s.Up(30, 80);
    EXPECT_EQ(s.PlaysAfter(), Plays{7});
    EXPECT_FALSE(s.pad.IsCellPressed(15));
    EXPECT_FALSE(s.pad.IsCellPressed(0));
    EXPECT_TRUE(s.pad.IsCellPressed(6));

    // The pointer's contact comes by touch alone, and a cell off the pad is none: both are ignored.
    s.pad.ContactDown(PadControl::kPointerContact, 3, 127);
    s.pad.ContactDown(8, 16, 127);
    s.pad.ContactDown(8, -1, 127);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
}

// Each stroke played by the pointer and by a finger contact plays the same words and is taken,
// held and let go alike: a finger after the first is followed exactly as the first.
TEST(PadControl, AFingerContactStrokesAsThePointerDoes) {
    struct Stroke {
        const char* what;
        std::vector<POINT> points;  // down, moves, up
    };
    const Stroke strokes[] = {
        {"along a row and back", {{30, 80}, {40, 90}, {80, 80}, {30, 80}, {30, 80}}},
        {"into the border and back", {{30, 80}, {3, 80}, {30, 80}, {80, 80}, {80, 80}}},
        {"down on the border", {{2, 100}, {30, 100}, {80, 100}, {80, 100}}},
        {"off the pad and back", {{30, 80}, {30, 300}, {80, 80}, {80, 80}}},
        {"off the pad altogether", {{30, 300}, {30, 80}, {30, 80}}},
    };
    for (const Stroke& stroke : strokes) {
        PadStage s(240, 320, 96);
        const std::vector<POINT>& p = stroke.points;
        std::vector<int> byPointer = {s.Down(p[0].x, p[0].y)};
        for (size_t i = 1; i + 1 < p.size(); ++i) {
            byPointer.push_back(s.Move(p[i].x, p[i].y));
        }
        byPointer.push_back(s.Up(p.back().x, p.back().y));
        const Plays playedByPointer = s.PlaysAfter();

        const UINT finger = PadControl::kFingerContacts + 3;
        std::vector<int> byFinger = {s.pad.StrokeDown(finger, p[0].x, p[0].y)};
        for (size_t i = 1; i + 1 < p.size(); ++i) {
            byFinger.push_back(s.pad.StrokeMove(finger, p[i].x, p[i].y));
        }
        byFinger.push_back(s.pad.StrokeUp(finger, p.back().x, p.back().y));
        EXPECT_EQ(byFinger, byPointer) << stroke.what;
        EXPECT_EQ(s.PlaysAfter(), playedByPointer) << stroke.what;
        EXPECT_EQ(s.pad.GetContactCell(finger), -1) << stroke.what;
    }
}

TEST(PadControl, TwoFingersSlideAcrossTwoRowsEachStringingItsOwn) {
    PadStage s(240, 320, 96);
    const UINT a = PadControl::kFingerContacts;
    const UINT b = PadControl::kFingerContacts + 1;
    s.pad.StrokeDown(a, 30, 85);   // cell 0
    s.pad.StrokeDown(b, 30, 135);  // cell 4
    EXPECT_TRUE(s.pad.IsCellPressed(0));
    EXPECT_TRUE(s.pad.IsCellPressed(4));
    for (int x = 40; x <= 230; x += 10) {
        s.pad.StrokeMove(a, x, 85);
        s.pad.StrokeMove(b, x, 135);
    }
    EXPECT_EQ(s.pad.GetContactCell(a), 3);
    EXPECT_EQ(s.pad.GetContactCell(b), 7);
    s.pad.StrokeUp(a, 230, 85);
    s.pad.StrokeUp(b, 230, 135);
    Plays plays = s.PlaysAfter();  // all in the same instant: their order is the mixer's
    std::sort(plays.begin(), plays.end());
    EXPECT_EQ(plays, (Plays{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(s.pad.IsCellPressed(3));
}

TEST(PadControl, HighVoicePlaysTheHighSamples) {
    PadStage s(240, 320, 96);
    s.pad.SetHighVoice(1);
    s.Down(6, 60);
    EXPECT_EQ(s.PlaysAfter(), Plays{101});
    s.Up(6, 60);
    s.pad.SetHighVoice(0);
    s.Down(233, 259);
    EXPECT_EQ(s.PlaysAfter(), Plays{16});
}

TEST(PadControl, StrokePlaysEachCellAsTheFingerEntersIt) {
    PadStage s(240, 320, 96);
    EXPECT_EQ(s.Down(30, 80), 1);
    EXPECT_EQ(s.PlaysAfter(), Plays{1});
    EXPECT_EQ(s.Move(40, 90), 1);  // still in cell 0: nothing new
    EXPECT_EQ(s.PlaysAfter(), Plays{});
    EXPECT_EQ(s.Move(80, 80), 1);
    EXPECT_EQ(s.pad.GetPressedCell(), 1);
    EXPECT_EQ(s.PlaysAfter(), Plays{2});
    EXPECT_EQ(s.Move(30, 80), 1);
    EXPECT_EQ(s.PlaysAfter(), Plays{1});
    EXPECT_EQ(s.Up(30, 80), 1);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.pad.GetState(), 0);
}

TEST(PadControl, StrokeThatReachesTheBorderEndsThere) {
    PadStage s(240, 320, 96);
    s.Down(30, 80);
    EXPECT_EQ(s.PlaysAfter(), Plays{1});
    EXPECT_EQ(s.Move(3, 80), 1);  // the border
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.Move(30, 80), 1);
    EXPECT_EQ(s.Move(80, 80), 1);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
    s.Up(80, 80);
    // The next touch plays again.
    s.Down(80, 80);
    EXPECT_EQ(s.PlaysAfter(), Plays{2});
}

TEST(PadControl, TouchDownOnTheBorderPlaysNothingEvenIntoACell) {
    PadStage s(240, 320, 96);
    EXPECT_EQ(s.Down(2, 100), 1);
    EXPECT_EQ(s.Move(30, 100), 1);
    EXPECT_EQ(s.Move(80, 100), 1);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
}

TEST(PadControl, FingerThatLeavesThePadIsNotFollowedBack) {
    PadStage s(240, 320, 96);
    s.Down(30, 80);
    EXPECT_EQ(s.PlaysAfter(), Plays{1});
    EXPECT_EQ(s.Move(30, 300), 1);  // off the pad: still taken, the hold ends
    EXPECT_EQ(s.pad.GetState(), 0);
    EXPECT_EQ(s.Move(80, 80), 0);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
}

// A grid whose height is not a multiple of 4 leaves its last rows to no cell.
TEST(PadControl, UncoveredStripIsTakenButSilentAndEndsAStroke) {
    PadStage s(240, 320, 96);
    s.pad.SetBounds(0, 54, 240, 279);
    s.pad.SetInset(-6, -6);  // grid 267 high: cells 66, rows 324..326 belong to none
    EXPECT_EQ(s.pad.GetCellHeight(), 66);
    EXPECT_EQ(s.Down(30, 326), 1);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
    s.Up(30, 326);

    s.Down(30, 323);  // last row of cell 12
    EXPECT_EQ(s.pad.GetPressedCell(), 12);
    EXPECT_EQ(s.PlaysAfter(), Plays{13});
    s.Move(30, 324);
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    s.Move(30, 323);
    EXPECT_EQ(s.PlaysAfter(), Plays{});
}

TEST(PadControl, LiftElsewhereResetsThePadAndPassesOn) {
    PadStage s(240, 320, 96);
    TestWindow& window = s.stage.Window();
    s.Down(30, 80);
    s.PlaysAfter();
    EXPECT_EQ(s.Move(30, 300), 1);
    window.Pump(20);
    window.ClearMessages();
    EXPECT_EQ(s.Up(30, 300), 0);  // not the pad's any more: the next control sees it
    EXPECT_EQ(s.pad.GetPressedCell(), -1);
    EXPECT_EQ(s.pad.GetState(), 0);
    window.Pump(20);
    EXPECT_GE(window.Count(WM_PAINT), 1);  // repainted all the same

    // A lift that never had a touch on the pad behaves the same way.
    window.ClearMessages();
    EXPECT_EQ(s.Up(100, 100), 0);
    window.Pump(20);
    EXPECT_GE(window.Count(WM_PAINT), 1);
}

TEST(PadControl, LiftingStopsNoSound) {
    PadStage s(240, 320, 96);
    const DWORD start = GetTickCount();
    s.Down(30, 80);
    EXPECT_EQ(s.Up(30, 80), 1);
    EXPECT_EQ(s.PlaysAfter(), Plays{1});
    const std::vector<DWORD> ends = content_test::ReportTimes(s.stage.Window(), 1);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_GE(ends[0] - start, 400u);  // played to its end
}

TEST(PadControl, WithoutASoundBankTheStrokeIsNotFollowed) {
    TestWindow window(240, 320, 96);
    PadControl pad(nullptr, window.Handle(), 35);
    Place(pad);
    EXPECT_EQ(pad.TouchDown(window.Handle(), 0, 30, 80), 1);
    EXPECT_EQ(pad.GetPressedCell(), 0);
    EXPECT_EQ(pad.TouchMove(window.Handle(), 0, 80, 80), 1);
    EXPECT_EQ(pad.GetPressedCell(), 0);
    EXPECT_EQ(pad.TouchUp(window.Handle(), 0, 80, 80), 1);
    EXPECT_EQ(pad.GetPressedCell(), -1);
}

TEST(PadControl, PadTooSmallForCellsFindsNoCell) {
    TestWindow window(240, 320, 96);
    PadControl pad(nullptr, window.Handle(), 35);
    pad.SetBounds(10, 10, 3, 3);
    pad.SetInset(0, 0);
    EXPECT_EQ(pad.GetCellWidth(), 0);
    EXPECT_EQ(pad.CellAt(0, 0), -1);
    EXPECT_EQ(pad.CellAt(2, 2), -1);
    EXPECT_EQ(pad.TouchDown(window.Handle(), 0, 11, 11), 1);
    EXPECT_EQ(pad.GetPressedCell(), -1);
    EXPECT_EQ(pad.TouchMove(window.Handle(), 0, 12, 12), 1);
    EXPECT_EQ(pad.GetPressedCell(), -1);

    pixels::Surface surface(20, 20, pixels::Surface::WindowDc);
    pad.PaintIfVisible(surface.dc);  // sixteen empty cells, nothing to see and nothing to fail
}

TEST(PadControl, CellAtCoversTheGridAndNothingElse) {
    PadControl pad(nullptr, nullptr, 35);
    pad.SetBounds(0, 54, 240, 212);
    pad.SetInset(-6, -6);
    EXPECT_EQ(pad.CellAt(0, 0), 0);
    EXPECT_EQ(pad.CellAt(56, 49), 0);
    EXPECT_EQ(pad.CellAt(57, 0), 1);
    EXPECT_EQ(pad.CellAt(0, 50), 4);
    EXPECT_EQ(pad.CellAt(227, 199), 15);
    EXPECT_EQ(pad.CellAt(228, 0), -1);
    EXPECT_EQ(pad.CellAt(0, 200), -1);
    // Less than a cell left of or above the grid is outside it, not in cell 0.
    EXPECT_EQ(pad.CellAt(-1, 0), -1);
    EXPECT_EQ(pad.CellAt(0, -30), -1);
    EXPECT_EQ(pad.CellAt(-100, 0), -1);
}

// The labels are the word list the samples were spoken from, read here from the source file.
TEST(PadLabel, MatchesTheWordList) {
    std::ifstream file(std::string(PULSOR_SOURCE_DIR) + "/assets/src/words.txt");
    ASSERT_TRUE(file);
    std::vector<std::wstring> words;
    std::string line;
    while (std::getline(file, line)) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const size_t last = line.find_last_not_of(" \t\r");
        words.push_back(platform::FromUtf8(line.substr(first, last - first + 1)));
    }
    ASSERT_EQ(words.size(), 16u);
    for (int cell = 0; cell < 16; ++cell) {
        ASSERT_NE(PadLabel(cell), nullptr);
        EXPECT_EQ(std::wstring(PadLabel(cell)), words[cell]) << cell;
    }
    EXPECT_EQ(PadLabel(-1), nullptr);
    EXPECT_EQ(PadLabel(16), nullptr);
}

// The pad painted with the real skin on a black screen, cell 5 under the finger.
golden::Picture PaintPad(int width, int height, int dpi) {
    TestWindow window(width, height, dpi);
    Skin skin;
    skin.Load(AssetFolder("Skin").c_str(), (AssetFolder("Skin") + L"Skin.txt").c_str());
    PadControl pad(nullptr, window.Handle(), 35);
    Place(pad);
    pad.SetBackImage(skin.GetImage(PadBack));
    pad.SetPressedImage(skin.GetImage(PadPressed));
    pad.SetFont(skin.GetFont(Font12Medium));
    const RECT grid = pad.GetGridRect();
    pad.TouchDown(window.Handle(), 0, grid.left + pad.GetCellWidth() * 3 / 2,
                  grid.top + pad.GetCellHeight() * 3 / 2);
    EXPECT_EQ(pad.GetPressedCell(), 5);

    pixels::Surface surface(width, height, pixels::Surface::WindowDc);
    surface.Fill(0u);
    pad.PaintIfVisible(surface.dc);
    return golden::PictureOf(surface.bitmap);
}

// Without pictures the labels are still drawn: white ones, and the pressed one black on black.
TEST(PadControlPaint, WithoutPicturesOnlyTheLabelsShow) {
    TestWindow window(240, 320, 96);
    Skin skin;
    skin.Load(AssetFolder("Skin").c_str(), L"");
    PadControl pad(nullptr, window.Handle(), 35);
    Place(pad);
    pad.SetFont(skin.GetFont(Font12Medium));
    pad.TouchDown(window.Handle(), 0, 100, 120);
    ASSERT_EQ(pad.GetPressedCell(), 5);

    pixels::Surface surface(240, 320, pixels::Surface::WindowDc);
    pad.PaintIfVisible(surface.dc);
    // Each cell's label lies in its text rectangle; count the lit pixels there and elsewhere.
    const RECT grid = pad.GetGridRect();
    int litOutside = 0;
    std::vector<int> litInCell(16, 0);
    for (int y = 0; y < 320; ++y) {
        for (int x = 0; x < 240; ++x) {
            if ((surface.At(x, y) & 0x00FFFFFF) == 0) {
                continue;
            }
            const int cell = pad.CellAt(x - grid.left, y - grid.top);
            const int cx = cell < 0 ? 0 : x - grid.left - (cell % 4) * pad.GetCellWidth();
            const int cy = cell < 0 ? 0 : y - grid.top - (cell / 4) * pad.GetCellHeight();
            if (cell >= 0 && cx >= 5 && cx < 57 - 5 && cy >= 15 && cy < 50 - 5) {
                ++litInCell[cell];
            } else {
                ++litOutside;
            }
        }
    }
    EXPECT_EQ(litOutside, 0);
    for (int cell = 0; cell < 16; ++cell) {
        if (cell == 5) {
            EXPECT_EQ(litInCell[cell], 0) << "black label on black";
        } else {
            EXPECT_GT(litInCell[cell], 10) << cell;
        }
    }
}

TEST(PadControlPaint, SkinnedPadWithOnePressedCellAt240x320) {
    EXPECT_EQ(golden::CompareWithGolden("tests/audio/golden", "pad_240x320_96dpi_cell5_pressed",
                                        PaintPad(240, 320, 96)),
              "");
}

TEST(PadControlPaint, SkinnedPadWithOnePressedCellAt480x640) {
    EXPECT_EQ(golden::CompareWithGolden("tests/audio/golden", "pad_480x640_192dpi_cell5_pressed",
                                        PaintPad(480, 640, 192)),
              "");
}

}  // namespace
