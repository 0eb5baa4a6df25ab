// A screen shorter than the pages were drawn for (the square ones) cannot hold their rows between
// the bars. There the gaps go first, then the rows that may shrink share what is left alike (never
// above their drawn height), and what remains is spread over the gaps again. Rows keep their
// order, so every control stays visible and none lies over another.
#pragma once

#include <vector>

struct StackRow {
    int gapBefore;  // pixels above the row as drawn
    int height;     // pixels, as drawn
    bool shrinks;
    int y = 0;  // set by StackRows
    int h = 0;
};

// Places the rows between `top` and `bottom` (pixels).
void StackRows(std::vector<StackRow>& rows, int top, int bottom);
