// Text laid out in lines for DrawText and measured for GetTextExtentPoint32: paragraphs at line
// feeds, lines broken at spaces, ellipses cut on the logical text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/FontFace.h"
#include "platform/gdi/TextShaping.h"
#include "platform/win32.h"

namespace platform::gdi {

struct Line {
    std::wstring text;
    bool rtl = false;                    // the direction of its paragraph
    const ShapedText* shaped = nullptr;  // valid until the face's cache is next trimmed
    int width = 0;
};

// The lines DrawText draws `count` characters of `text` in for a rectangle `width` pixels wide,
// as `format` asks: line feeds and word breaks, ellipses; control characters are left out.
// Callers hold f.mutex and have trimmed the face's cache.
std::vector<Line> LayOutText(FontFace& f, const wchar_t* text, size_t count, UINT format,
                             int width);

// The width of `count` characters of `text` drawn as one line, control characters left out.
// Callers hold f.mutex and have trimmed the face's cache.
int MeasureLine(FontFace& f, const wchar_t* text, size_t count);

}  // namespace platform::gdi
