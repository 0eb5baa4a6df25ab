#include "platform/gdi/TextLayout.h"

#include <utility>

namespace platform::gdi {

namespace {

constexpr wchar_t kEllipsis[] = L"...";

bool IsBreakSpace(wchar_t c) {
    return c == L' ';
}

int Width(FontFace& f, std::wstring_view text, bool rtl) {
    return ShapeLine(f, text, rtl).width;
}

void Shape(FontFace& f, Line& line) {
    line.shaped = &ShapeLine(f, line.text, line.rtl);
    line.width = line.shaped->width;
}

// Cuts `line` so that it plus an ellipsis fits `width`, and appends the ellipsis. The cut is at
// the logical end, which is the left one in a right-to-left line.
void EndEllipsis(FontFace& f, Line& line, int width) {
    const std::wstring text = std::move(line.text);
    const ShapedText& whole = ShapeLine(f, text, line.rtl);
    const int dots = Width(f, kEllipsis, line.rtl);
    size_t keep = FittingPrefix(whole, width - dots, text.size());
    for (;;) {
        line.text = text.substr(0, keep) + kEllipsis;
        Shape(f, line);
        // A letter cut from the next one may take a wider form: then one cluster fewer.
        if (line.width <= width || keep == 0) {
            break;
        }
        keep = FittingPrefix(whole, width - dots, keep - 1);
    }
}

// Cuts every word of the line that is wider than `width` on its own.
void WordEllipsis(FontFace& f, Line& line, int width) {
    std::wstring out;
    size_t i = 0;
    while (i < line.text.size()) {
        size_t j = i;
        while (j < line.text.size() && IsBreakSpace(line.text[j]) == IsBreakSpace(line.text[i])) {
            ++j;
        }
        Line word{line.text.substr(i, j - i), line.rtl};
        if (!IsBreakSpace(line.text[i]) && Width(f, word.text, word.rtl) > width) {
            EndEllipsis(f, word, width);
        }
        out += word.text;
        i = j;
    }
    line.text = out;
    Shape(f, line);
}

// Breaks one paragraph into lines at spaces so that each fits `width` where its words allow; a word
// wider than the line keeps a line of its own. The spaces at a break are dropped.
void WrapParagraph(FontFace& f, const std::wstring& text, bool rtl, int width,
                   std::vector<Line>& lines) {
    size_t i = 0;
    const size_t n = text.size();
    if (n == 0) {
        lines.push_back({});
        Shape(f, lines.back());
        return;
    }
    while (i < n) {
        size_t end = i;  // end of the last word that fits
        size_t j = i;
        int w = 0;
        while (j < n) {
            size_t k = j;
            while (k < n && IsBreakSpace(text[k])) {
                ++k;
            }
            size_t e = k;
            while (e < n && !IsBreakSpace(text[e])) {
                ++e;
            }
            const int ww = w + Width(f, std::wstring_view(text).substr(j, e - j), rtl);
            if (ww > width && end > i) {
                break;
            }
            w = ww;
            end = e;
            j = e;
            if (ww > width) {
                break;  // an overlong first word
            }
        }
        Line line{text.substr(i, end - i), rtl};
        while (!line.text.empty() && IsBreakSpace(line.text.back())) {
            line.text.pop_back();
        }
        Shape(f, line);
        lines.push_back(line);
        i = end;
        while (i < n && IsBreakSpace(text[i])) {
            ++i;
        }
    }
}

}  // namespace

std::vector<Line> LayOutText(FontFace& f, const wchar_t* text, size_t count, UINT format,
                             int width) {
    const bool single = format & DT_SINGLELINE;
    // Paragraphs at line feeds (one line when single), then words.
    std::vector<Line> lines;
    std::wstring paragraph;
    auto endParagraph = [&] {
        const bool rtl = IsRightToLeft(paragraph);
        if ((format & DT_WORDBREAK) && !single) {
            WrapParagraph(f, paragraph, rtl, width, lines);
        } else {
            lines.push_back({paragraph, rtl});
            Shape(f, lines.back());
        }
        paragraph.clear();
    };
    for (size_t i = 0; i < count; ++i) {
        if (text[i] == L'\n') {
            if (!single) {
                endParagraph();
            }
            continue;
        }
        if (!IsDroppedControl(text[i])) {
            paragraph += text[i];
        }
    }
    endParagraph();
    for (Line& line : lines) {
        if ((format & DT_WORD_ELLIPSIS) && line.width > width) {
            WordEllipsis(f, line, width);
        }
        if ((format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) && line.width > width &&
            (single || (format & DT_END_ELLIPSIS))) {
            EndEllipsis(f, line, width);
        }
    }
    return lines;
}

int MeasureLine(FontFace& f, const wchar_t* text, size_t count) {
    std::wstring kept;
    for (size_t i = 0; i < count; ++i) {
        if (!IsDroppedControl(text[i])) {
            kept += text[i];
        }
    }
    return Width(f, kept, IsRightToLeft(kept));
}

}  // namespace platform::gdi
