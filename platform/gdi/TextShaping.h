// A line of text as its script writes it: bidirectional runs put in visual order (FriBidi), each
// shaped with HarfBuzz in the face that has its characters (fontconfig fallbacks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gdi/FontFace.h"

struct hb_font_t;
struct hb_buffer_t;

namespace platform::gdi {

// C0 and C1 controls and DEL draw as nothing; line ends are the layout's business.
inline bool IsDroppedControl(wchar_t c) {
    return (c >= 0 && c < 0x20) || (c >= 0x7F && c < 0xA0);
}

// Whether a paragraph reads right to left: the direction of its first strong character, left to
// right when it has none.
bool IsRightToLeft(std::wstring_view text);

struct ShapedText {
    struct Glyph {
        const FontFace::Glyph* glyph;
        int x;  // pen position, pixels from the line's left end
        int y;  // pixels above the baseline
    };
    std::vector<Glyph> glyphs;  // left to right
    // Per logical character, in 26.6 pixels: the advance of the cluster it starts, or -1 inside
    // a cluster (a mark, the second letter of a ligature).
    std::vector<int32_t> advances;
    int width = 0;
};

// `text` as one line of a paragraph in the given direction. Callers hold face.mutex; the result
// stays valid until the face's cache is next trimmed.
const ShapedText& ShapeLine(FontFace& face, std::wstring_view text, bool rtl);

// The longest logical prefix of whole clusters, at most `limit` characters, whose advances fit
// `width` pixels.
size_t FittingPrefix(const ShapedText& shaped, int width, size_t limit);

// A face's HarfBuzz font and its recently shaped lines. A line is shaped once and drawn from here
// on every repaint after that. Text calls trim it before they lay out, never in the middle.
class ShapeCache {
public:
    ShapeCache(FontFace& face, FT_FaceRec_* ftFace, int loadFlags);
    ~ShapeCache();
    ShapeCache(const ShapeCache&) = delete;
    ShapeCache& operator=(const ShapeCache&) = delete;

    const ShapedText* Find(std::wstring_view text, bool rtl) const;
    const ShapedText& Keep(std::wstring_view text, bool rtl, ShapedText shaped);
    // Forgets every line once there are many: a new set of captions.
    void Trim();

    hb_font_t* const font;
    hb_buffer_t* const buffer;

private:
    struct Entry {
        std::wstring text;
        bool rtl;
        ShapedText shaped;
    };
    static size_t Key(std::wstring_view text, bool rtl) {
        return std::hash<std::wstring_view>()(text) ^ size_t(rtl);
    }
    std::unordered_multimap<size_t, Entry> lines_;
};

}  // namespace platform::gdi
