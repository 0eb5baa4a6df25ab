// What the access object draws over the page: the scan's highlight and the dwell ring. A bright
// yellow edged in black both sides reads on the skin's dark bars, its green gradients and its
// light cells alike.
#pragma once

#include "platform/win32.h"

// A frame `thickness` pixels wide (plus its two black edges) inside `rect`.
void DrawHighlightFrame(HDC dc, const RECT& rect, int thickness);
// A ring round (cx, cy) of outer radius `radius`, `thickness` wide, filled clockwise from the top
// for `progress` 0..1 of its turn, the rest a dark track.
void DrawDwellRing(HDC dc, int cx, int cy, int radius, int thickness, double progress);
