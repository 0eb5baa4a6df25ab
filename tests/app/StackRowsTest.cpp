// The rows of a page on a screen shorter than it was drawn for.
#include "app/StackRows.h"

#include <gtest/gtest.h>

namespace {

TEST(StackRows, GapsGiveWayFirstThenTheRowsThatShrinkShareWhatIsLeft) {
    struct Case {
        const char* what;
        std::vector<StackRow> rows;
        int top, bottom;
        std::vector<int> ys, hs;
    };
    const Case cases[] = {
        {"room enough: rows and gaps as drawn",
         {{10, 20, true}, {5, 30, false}},
         0,
         100,
         {10, 35},
         {20, 30}},
        // The about page between the bars of a 240x240 screen at 96 dpi.
        {"about page, square",
         {{11, 20, true},
          {0, 20, true},
          {20, 20, false},
          {0, 20, true},
          {0, 20, true},
          {20, 26, false},
          {15, 20, true}},
         54,
         186,
         {54, 71, 88, 108, 125, 142, 169},
         {17, 17, 20, 17, 17, 26, 17}},
        // The settings page there: what is left after the shared rows goes to the later gaps.
        {"settings page, square",
         {{0, 30, true},
          {0, 15, false},
          {0, 30, true},
          {0, 15, false},
          {15, 30, true},
          {8, 30, true},
          {8, 30, true}},
         54,
         186,
         {54, 74, 89, 109, 124, 145, 166},
         {20, 15, 20, 15, 20, 20, 20}},
        {"a fixed row keeps its height where nothing is left",
         {{5, 20, true}, {0, 50, false}},
         0,
         40,
         {0, 0},
         {0, 50}},
        {"without rows that shrink only the gaps give way",
         {{30, 20, false}, {30, 20, false}},
         0,
         60,
         {10, 40},
         {20, 20}},
    };
    for (const Case& c : cases) {
        std::vector<StackRow> rows = c.rows;
        StackRows(rows, c.top, c.bottom);
        std::vector<int> ys, hs;
        for (const StackRow& row : rows) {
            ys.push_back(row.y);
            hs.push_back(row.h);
        }
        EXPECT_EQ(ys, c.ys) << c.what;
        EXPECT_EQ(hs, c.hs) << c.what;
    }
}

}  // namespace
