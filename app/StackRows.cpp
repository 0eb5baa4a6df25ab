#include "app/StackRows.h"

#include <algorithm>

void StackRows(std::vector<StackRow>& rows, int top, int bottom) {
    int fixed = 0;
    int flexible = 0;
    int gaps = 0;
    for (const StackRow& row : rows) {
        if (row.shrinks) {
            ++flexible;
        } else {
            fixed += row.height;
        }
        if (row.gapBefore > 0) {
            ++gaps;
        }
    }
    const int shared = flexible > 0 ? std::max(0, bottom - top - fixed) / flexible : 0;
    int spare = bottom - top;
    for (StackRow& row : rows) {
        row.h = row.shrinks ? std::min(row.height, shared) : row.height;
        spare -= row.h;
    }
    int y = top;
    for (StackRow& row : rows) {
        if (row.gapBefore > 0) {
            const int gap = std::min(row.gapBefore, std::max(0, spare) / gaps);
            y += gap;
            spare -= gap;
            --gaps;
        }
        row.y = y;
        y += row.h;
    }
}
