#include "platform/gdi/TextShaping.h"

#include <fribidi.h>
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>

#include "platform/kernel/WideString.h"

namespace platform::gdi {

namespace {

constexpr size_t kMaxCachedLines = 512;

// Text keeps the nominal spacing the platform always drew: no kerning and no optional ligatures.
// What a script needs (joining forms, required ligatures such as lam-alef, marks) stays on.
const hb_feature_t kFeatures[] = {
    {HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
};

// No character below the Hebrew block is right to left or changes the embedding.
constexpr uint32_t kFirstRightToLeft = 0x0590;

// Advances come from the face's own glyphs (hinted, whole pixels), so that shaped text is spaced
// exactly as the face draws it; everything else from HarfBuzz's FreeType font.
void HintedAdvances(hb_font_t*, void* data, unsigned count, const hb_codepoint_t* glyph,
                    unsigned glyphStride, hb_position_t* advance, unsigned advanceStride, void*) {
    auto* face = static_cast<FontFace*>(data);
    for (unsigned i = 0; i < count; ++i) {
        *advance = face->GlyphAt(*glyph).advance * 64;
        glyph = reinterpret_cast<const hb_codepoint_t*>(reinterpret_cast<const char*>(glyph) +
                                                        glyphStride);
        advance =
            reinterpret_cast<hb_position_t*>(reinterpret_cast<char*>(advance) + advanceStride);
    }
}

hb_font_funcs_t* AdvanceFuncs() {
    static hb_font_funcs_t* funcs = [] {
        hb_font_funcs_t* f = hb_font_funcs_create();
        hb_font_funcs_set_glyph_h_advances_func(f, HintedAdvances, nullptr, nullptr);
        hb_font_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

// Characters that take the face of the one before them: marks, joiners, selectors, and the
// invisible controls of embedding and joining.
bool FollowsPrevious(uint32_t c) {
    switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), c)) {
        case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
        case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
        case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
        case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
            return true;
        default:
            return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
    }
}

bool IsCommonScript(hb_script_t s) {
    return s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN;
}

// Resolved embedding levels of one line (rules up to L1 of the bidirectional algorithm).
std::vector<FriBidiLevel> Levels(const std::vector<uint32_t>& text, bool rtl) {
    const size_t n = text.size();
    std::vector<FriBidiLevel> levels(n, rtl ? 1 : 0);
    if (!rtl &&
        std::all_of(text.begin(), text.end(), [](uint32_t c) { return c < kFirstRightToLeft; })) {
        return levels;
    }
    std::vector<FriBidiCharType> types(n);
    std::vector<FriBidiBracketType> brackets(n);
    fribidi_get_bidi_types(text.data(), FriBidiStrIndex(n), types.data());
    fribidi_get_bracket_types(text.data(), FriBidiStrIndex(n), types.data(), brackets.data());
    FriBidiParType base = rtl ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), FriBidiStrIndex(n),
                                            &base, levels.data()) == 0) {
        std::fill(levels.begin(), levels.end(), rtl ? 1 : 0);
        return levels;
    }
    // Spaces at the end of the line go back to the paragraph's level.
    for (size_t i = n; i > 0 && FRIBIDI_IS_EXPLICIT_OR_BN_OR_WS(types[i - 1]); --i) {
        levels[i - 1] = rtl ? 1 : 0;
    }
    return levels;
}

// A stretch of the line at one level, in one face and one script.
struct Run {
    size_t start, end;
    FriBidiLevel level;
    FontFace* face;
    hb_script_t script;
    std::vector<hb_glyph_info_t> infos;
    std::vector<hb_glyph_position_t> positions;
};

std::vector<Run> Itemise(FontFace& primary, const std::vector<uint32_t>& text,
                         const std::vector<FriBidiLevel>& levels) {
    const size_t n = text.size();
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::vector<hb_script_t> scripts(n);
    for (size_t i = 0; i < n; ++i) {
        scripts[i] = hb_unicode_script(unicode, text[i]);
    }
    // Spaces, digits and punctuation belong to the script around them.
    for (size_t i = 1; i < n; ++i) {
        if (IsCommonScript(scripts[i])) {
            scripts[i] = scripts[i - 1];
        }
    }
    for (size_t i = n; i-- > 1;) {
        if (IsCommonScript(scripts[i - 1])) {
            scripts[i - 1] = scripts[i];
        }
    }
    std::vector<Run> runs;
    FontFace* previous = &primary;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = text[i];
        FontFace* face = &primary;
        const bool common = IsCommonScript(hb_unicode_script(unicode, c));
        if (i > 0 && (FollowsPrevious(c) || (common && previous->GlyphIndex(c) != 0))) {
            face = previous;
        } else if (primary.GlyphIndex(c) == 0) {
            if (FontFace* fallback = primary.FallbackFor(c)) {
                face = fallback;
            }
        }
        if (runs.empty() || runs.back().level != levels[i] || runs.back().face != face ||
            runs.back().script != scripts[i]) {
            runs.push_back({i, i, levels[i], face, scripts[i], {}, {}});
        }
        runs.back().end = i + 1;
        previous = face;
    }
    return runs;
}

void Shape(Run& run, const std::vector<uint32_t>& text) {
    ShapeCache& cache = run.face->Shapes();
    hb_buffer_t* buffer = cache.buffer;
    hb_buffer_clear_contents(buffer);
    // The whole line goes in as context, so that letters join across a change of face.
    hb_buffer_add_utf32(buffer, text.data(), int(text.size()), unsigned(run.start),
                        int(run.end - run.start));
    hb_buffer_set_direction(buffer, run.level & 1 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, run.script);
    hb_shape(cache.font, buffer, kFeatures, sizeof kFeatures / sizeof kFeatures[0]);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    run.infos.assign(infos, infos + count);
    run.positions.assign(positions, positions + count);
}

// The runs' visual order: from the highest level down to the lowest odd one, every stretch of
// runs at that level or above is reversed.
std::vector<Run*> VisualOrder(std::vector<Run>& runs) {
    std::vector<Run*> order;
    int highest = 0, lowestOdd = 256;  // levels go up to 125
    for (Run& run : runs) {
        order.push_back(&run);
        highest = std::max<int>(highest, run.level);
        if (run.level & 1) {
            lowestOdd = std::min<int>(lowestOdd, run.level);
        }
    }
    for (int level = highest; level >= lowestOdd; --level) {
        for (size_t i = 0; i < order.size();) {
            if (order[i]->level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && order[j]->level >= level) {
                ++j;
            }
            std::reverse(order.begin() + ptrdiff_t(i), order.begin() + ptrdiff_t(j));
            i = j;
        }
    }
    return order;
}

int Pixels(int64_t v26) {
    return int((v26 + 32) >> 6);
}

}  // namespace

bool IsRightToLeft(std::wstring_view text) {
    const auto lowerSide = [](wchar_t c) { return ToCodePoint(c) < kFirstRightToLeft; };
    if (std::all_of(text.begin(), text.end(), lowerSide)) {
        return false;
    }
    std::vector<FriBidiChar> chars(text.size());
    std::transform(text.begin(), text.end(), chars.begin(), ToCodePoint);
    std::vector<FriBidiCharType> types(text.size());
    fribidi_get_bidi_types(chars.data(), FriBidiStrIndex(chars.size()), types.data());
    return fribidi_get_par_direction(types.data(), FriBidiStrIndex(types.size())) ==
           FRIBIDI_PAR_RTL;
}

const ShapedText& ShapeLine(FontFace& face, std::wstring_view text, bool rtl) {
    ShapeCache& cache = face.Shapes();
    if (const ShapedText* found = cache.Find(text, rtl)) {
        return *found;
    }
    std::vector<uint32_t> chars(text.size());
    std::transform(text.begin(), text.end(), chars.begin(), ToCodePoint);
    std::vector<Run> runs = Itemise(face, chars, Levels(chars, rtl));

    ShapedText shaped;
    shaped.advances.assign(chars.size(), -1);
    int64_t pen = 0;  // 26.6
    for (Run* run : VisualOrder(runs)) {
        Shape(*run, chars);
        for (size_t i = 0; i < run->infos.size(); ++i) {
            const hb_glyph_info_t& info = run->infos[i];
            const hb_glyph_position_t& position = run->positions[i];
            shaped.glyphs.push_back({&run->face->GlyphAt(info.codepoint),
                                     Pixels(pen + position.x_offset), Pixels(position.y_offset)});
            int32_t& advance = shaped.advances[std::min<size_t>(info.cluster, chars.size() - 1)];
            advance = std::max(advance, 0) + position.x_advance;
            pen += position.x_advance;
        }
    }
    shaped.width = Pixels(pen);
    return cache.Keep(text, rtl, std::move(shaped));
}

size_t FittingPrefix(const ShapedText& shaped, int width, size_t limit) {
    const size_t n = std::min(limit, shaped.advances.size());
    const int64_t room = int64_t(width) * 64;
    int64_t used = 0;
    size_t keep = 0;
    for (size_t i = 0; i < n; ++i) {
        if (shaped.advances[i] < 0) {
            continue;
        }
        // A cluster fits when it, and every character of it, lie inside the limit.
        size_t end = i + 1;
        while (end < shaped.advances.size() && shaped.advances[end] < 0) {
            ++end;
        }
        if (end > n || used + shaped.advances[i] > room) {
            break;
        }
        used += shaped.advances[i];
        keep = end;
    }
    return keep;
}

ShapeCache::ShapeCache(FontFace& face, FT_FaceRec_* ftFace, int loadFlags)
    : font([&] {
          hb_font_t* parent = hb_ft_font_create(ftFace, nullptr);
          hb_ft_font_set_load_flags(parent, loadFlags);
          hb_font_t* sub = hb_font_create_sub_font(parent);
          hb_font_destroy(parent);  // the sub font holds it
          hb_font_set_funcs(sub, AdvanceFuncs(), &face, nullptr);
          return sub;
      }()),
      buffer(hb_buffer_create()) {}

ShapeCache::~ShapeCache() {
    hb_buffer_destroy(buffer);
    hb_font_destroy(font);
}

const ShapedText* ShapeCache::Find(std::wstring_view text, bool rtl) const {
    auto [first, last] = lines_.equal_range(Key(text, rtl));
    for (auto it = first; it != last; ++it) {
        if (it->second.rtl == rtl && it->second.text == text) {
            return &it->second.shaped;
        }
    }
    return nullptr;
}

const ShapedText& ShapeCache::Keep(std::wstring_view text, bool rtl, ShapedText shaped) {
    // Map nodes stay where they are, so what was handed out stays valid until the next Trim.
    return lines_.emplace(Key(text, rtl), Entry{std::wstring(text), rtl, std::move(shaped)})
        ->second.shaped;
}

void ShapeCache::Trim() {
    if (lines_.size() >= kMaxCachedLines) {
        lines_.clear();
    }
}

}  // namespace platform::gdi
