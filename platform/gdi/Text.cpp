// Fonts (fontconfig matching and fallbacks, FreeType rendering, a glyph cache per face) and text
// layout and drawing; lines are shaped and ordered in TextShaping.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "platform/gdi/FontFace.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/TextShaping.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig leaks a little while parsing its configuration files, and libpulse (under SDL
// audio) some of its device queries; that is not ours to report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpulse.so\n";
}
#endif

namespace platform::gdi {

namespace {

// FreeType and fontconfig calls that open or close faces are serialised on this lock.
std::mutex& LibraryLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) {
            l = nullptr;
        }
        return l;
    }();
    return library;
}

std::string Utf8(const wchar_t* text, size_t maxLength) {
    std::string out;
    for (size_t i = 0; i < maxLength && text[i]; ++i) {
        uint32_t c = uint32_t(text[i]);
        if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

struct FontMatch {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool oblique = false;  // italic asked for, upright face found
    int weight = FW_NORMAL;
};

namespace {

// The installed face closest to `lf`, and when `c` is given, the closest that has a glyph for c.
// Called with LibraryLock held.
bool MatchFont(const LOGFONT& lf, FontMatch& match, uint32_t c = 0) {
    static bool initialised = FcInit() == FcTrue;
    if (!initialised) {
        return false;
    }
    FcPattern* pattern = FcPatternCreate();
    const std::string family = Utf8(lf.lfFaceName, LF_FACESIZE);
    if (!family.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    // A family that is not installed falls back to the closest sans face.
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    const int weight = lf.lfWeight > 0 ? std::min<int>(lf.lfWeight, 1000) : FW_NORMAL;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (c != 0) {
        FcCharSet* wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, c);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcCharSetDestroy(wanted);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found) {
        return false;
    }
    FcChar8* file = nullptr;
    FcCharSet* has = nullptr;
    bool ok = FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file &&
              (c == 0 || (FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch &&
                          FcCharSetHasChar(has, c)));
    if (ok) {
        match.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(found, FC_INDEX, 0, &match.index) != FcResultMatch) {
            match.index = 0;
        }
        FcBool embolden = FcFalse;
        FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden);
        int foundWeight = 0, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(found, FC_WEIGHT, 0, &foundWeight);
        FcPatternGetInteger(found, FC_SLANT, 0, &slant);
        match.weight = FcWeightToOpenType(foundWeight);
        // Synthesise bold when a bold weight was asked of a family without one.
        match.embolden = embolden == FcTrue || (weight >= FW_SEMIBOLD && match.weight < 550);
        match.oblique = lf.lfItalic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(found);
    return ok;
}

int RoundDiv(int64_t a, int64_t b) {
    return int((2 * a + b) / (2 * b));
}

}  // namespace

FontFace::FontFace() = default;

FontFace::~FontFace() {
    shapes_.reset();  // HarfBuzz's font reads the FreeType face
    fallbacks_.clear();
    if (face_) {
        std::lock_guard<std::mutex> lock(LibraryLock());
        FT_Done_Face(face_);
    }
}

std::shared_ptr<FontFace> FontFace::Open(const LOGFONT& lf) {
    FontMatch match;
    {
        std::lock_guard<std::mutex> lock(LibraryLock());
        if (!Library() || !MatchFont(lf, match)) {
            return nullptr;
        }
    }
    return Load(lf, match, 0);
}

// Opens the matched face at the size `lf` asks for, or at `em26` when that is given.
std::shared_ptr<FontFace> FontFace::Load(const LOGFONT& lf, const FontMatch& match, int64_t em26) {
    auto font = std::make_shared<FontFace>();
    {
        std::lock_guard<std::mutex> lock(LibraryLock());
        if (FT_New_Face(Library(), match.file.c_str(), match.index, &font->face_) != 0) {
            font->face_ = nullptr;
            return nullptr;
        }
    }
    font->file_ = match.file;
    font->index_ = match.index;
    FT_Face face = font->face_;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        return nullptr;
    }
    // The cell (ascent + descent) is the face's Windows ascent and descent where it has them.
    int64_t up = face->ascender, down = -int64_t(face->descender);
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            up = os2->usWinAscent;
            down = os2->usWinDescent;
        }
    }
    if (up + down <= 0) {
        up = face->units_per_EM;
        down = 0;
    }
    const int64_t upem = face->units_per_EM;
    LONG height = lf.lfHeight;
    if (height == 0) {
        height = -RoundDiv(int64_t(9) * DeviceDpiY(), 72);  // 9 pt
    }
    if (em26 > 0) {
        font->ascent = RoundDiv(em26 * up, upem * 64);
        font->descent = RoundDiv(em26 * down, upem * 64);
    } else if (height > 0) {
        const int64_t cell = std::min<int64_t>(height, 4096);
        em26 = std::max<int64_t>(64, (cell * 64 * upem + (up + down) / 2) / (up + down));
        font->ascent = RoundDiv(cell * up, up + down);
        font->descent = int(cell) - font->ascent;
    } else {
        const int64_t em = std::min<int64_t>(-int64_t(height), 4096);
        em26 = em * 64;
        font->ascent = RoundDiv(em * up, upem);
        font->descent = RoundDiv(em * down, upem);
    }
    font->em26_ = em26;
    font->emPixels = int((em26 + 32) / 64);
    if (FT_Set_Char_Size(face, 0, FT_F26Dot6(em26), 72, 72) != 0) {
        return nullptr;
    }
    const int64_t ppem26 = em26;
    auto scale = [ppem26, upem](int64_t units) { return int((units * ppem26 / upem + 32) >> 6); };
    font->lineGap = std::max(0, scale(face->height) - scale(face->ascender - face->descender));
    font->underlinePosition = std::max(1, -scale(face->underline_position));
    font->underlineThickness = std::max(1, scale(face->underline_thickness));
    font->maxCharWidth = scale(face->max_advance_width);
    font->logFont_ = lf;
    font->underline = lf.lfUnderline != 0;
    font->strikeOut = lf.lfStrikeOut != 0;
    font->embolden_ = match.embolden;
    font->mono_ = lf.lfQuality == NONANTIALIASED_QUALITY;
    font->weight = match.embolden ? std::max(match.weight, int(FW_BOLD)) : match.weight;
    if (match.oblique) {
        FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};
        FT_Set_Transform(face, &shear, nullptr);
    }
    std::lock_guard<std::mutex> lock(font->mutex);
    font->aveCharWidth = font->GlyphAt(font->GlyphIndex(U'x')).advance;
    return font;
}

int FontFace::LoadFlags() const {
    return FT_LOAD_DEFAULT | (mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
}

unsigned FontFace::GlyphIndex(char32_t c) const {
    return FT_Get_Char_Index(face_, FT_ULong(c));
}

const FontFace::Glyph& FontFace::GlyphAt(unsigned index) {
    auto it = cache_.find(index);
    if (it != cache_.end()) {
        return it->second;
    }
    Glyph& g = cache_[index];
    if (FT_Load_Glyph(face_, index, LoadFlags()) != 0) {
        return g;
    }
    FT_GlyphSlot slot = face_->glyph;
    if (embolden_) {
        FT_GlyphSlot_Embolden(slot);
    }
    g.advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, mono_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
        return g;
    }
    const FT_Bitmap& b = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(b.width);
    g.height = int(b.rows);
    g.coverage.resize(size_t(g.width) * g.height);
    for (int y = 0; y < g.height; ++y) {
        const uint8_t* row = b.buffer + ptrdiff_t(y) * b.pitch;
        for (int x = 0; x < g.width; ++x) {
            uint8_t v = b.pixel_mode == FT_PIXEL_MODE_MONO
                            ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255
                            : row[x];
            g.coverage[size_t(y) * g.width + x] = v;
        }
    }
    return g;
}

FontFace* FontFace::FallbackFor(char32_t c) {
    auto it = fallbackFor_.find(c);
    if (it != fallbackFor_.end()) {
        return it->second;
    }
    FontFace* found = nullptr;
    FontMatch match;
    bool matched = false;
    {
        std::lock_guard<std::mutex> lock(LibraryLock());
        matched = MatchFont(logFont_, match, uint32_t(c));
    }
    // The face itself is no fallback (its character map and fontconfig's can disagree).
    if (matched && !(match.file == file_ && match.index == index_)) {
        for (const auto& fallback : fallbacks_) {
            if (fallback->file_ == match.file && fallback->index_ == match.index) {
                found = fallback.get();
                break;
            }
        }
        if (!found) {
            if (auto fallback = Load(logFont_, match, em26_)) {
                fallbacks_.push_back(fallback);
                found = fallback.get();
            }
        }
    }
    fallbackFor_[c] = found;
    return found;
}

ShapeCache& FontFace::Shapes() {
    if (!shapes_) {
        shapes_ = std::make_unique<ShapeCache>(*this, face_, LoadFlags());
    }
    return *shapes_;
}

Font* EffectiveFont(const DC* dc) {
    if (dc && dc->font && dc->font->face) {
        return dc->font;
    }
    // The default font follows the screen's dpi; one per dpi seen.
    static std::mutex* lock = new std::mutex();
    static auto* fonts = new std::map<int, Font*>();
    const int dpi = DeviceDpiY();
    std::lock_guard<std::mutex> guard(*lock);
    Font*& font = (*fonts)[dpi];
    if (!font) {
        LOGFONT lf{};
        lf.lfHeight = -RoundDiv(int64_t(9) * dpi, 72);
        lf.lfWeight = FW_NORMAL;
        std::wcsncpy(lf.lfFaceName, L"DejaVu Sans", LF_FACESIZE - 1);
        font = new Font(lf, FontFace::Open(lf));
        font->stock = true;
        RegisterHandle(font);
    }
    return font;
}

namespace {

constexpr wchar_t kEllipsis[] = L"...";

struct Line {
    std::wstring text;
    bool rtl = false;                    // the direction of its paragraph
    const ShapedText* shaped = nullptr;  // from Shape, for the rest of the call
    int width = 0;
};

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

void BlendGlyph(Bitmap* target, const RECT& clip, const FontFace::Glyph& g, int x, int y,
                uint32_t color) {
    const int x0 = std::max<int>(x, clip.left), x1 = std::min<int>(x + g.width, clip.right);
    const int y0 = std::max<int>(y, clip.top), y1 = std::min<int>(y + g.height, clip.bottom);
    for (int py = y0; py < y1; ++py) {
        const uint8_t* cov = g.coverage.data() + size_t(py - y) * g.width - x;
        uint32_t* row = target->Row(py);
        for (int px = x0; px < x1; ++px) {
            const uint32_t c = cov[px];
            if (c == 255) {
                row[px] = color;
            } else if (c) {
                row[px] = BlendPixel(color, row[px], c);
            }
        }
    }
}

void FillClipped(Bitmap* target, const RECT& clip, int left, int top, int right, int bottom,
                 uint32_t color) {
    left = std::max<int>(left, clip.left);
    right = std::min<int>(right, clip.right);
    top = std::max<int>(top, clip.top);
    bottom = std::min<int>(bottom, clip.bottom);
    for (int y = top; y < bottom; ++y) {
        uint32_t* row = target->Row(y);
        std::fill(row + std::max(left, 0), row + std::max(right, left), color);
    }
}

}  // namespace
}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

HFONT CreateFontIndirect(const LOGFONT* logFont) {
    if (!logFont) {
        return nullptr;
    }
    LOGFONT lf = *logFont;
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    std::shared_ptr<FontFace> face = FontFace::Open(lf);
    if (!face) {
        return nullptr;
    }
    auto* font = new Font(lf, std::move(face));
    RegisterHandle(font);
    return reinterpret_cast<HFONT>(font);
}

int DrawText(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    DC* dc = LookupDC(hdc);
    if (!dc || !text || !rect) {
        return 0;
    }
    Font* font = EffectiveFont(dc);
    if (!font || !font->face) {
        return 0;
    }
    const size_t n = count < 0 ? std::wcslen(text) : size_t(count);
    FontFace& f = *font->face;
    std::lock_guard<std::mutex> lock(f.mutex);
    f.Shapes().Trim();

    const bool single = format & DT_SINGLELINE;
    const int width = int(std::max<int64_t>(0, int64_t(rect->right) - rect->left));
    const int lineHeight = f.ascent + f.descent + ((format & DT_EXTERNALLEADING) ? f.lineGap : 0);

    // Lay the text out in lines: paragraphs at line feeds (one line when single), then words.
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
    for (size_t i = 0; i < n; ++i) {
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

    const int total = int(lines.size()) * lineHeight;
    int y = rect->top;
    if (single && (format & DT_VCENTER)) {
        y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    } else if (single && (format & DT_BOTTOM)) {
        y = rect->bottom - lineHeight;
    }
    const int result =
        (single && (format & (DT_VCENTER | DT_BOTTOM))) ? y - rect->top + total : total;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines) {
            widest = std::max(widest, line.width);
        }
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    Bitmap* target = dc->Target();
    if (!target) {
        return result;
    }
    RECT clip{0, 0, target->width, target->height};
    if (!(format & DT_NOCLIP)) {
        clip.left = std::max<LONG>(clip.left, rect->left);
        clip.top = std::max<LONG>(clip.top, rect->top);
        clip.right = std::min<LONG>(clip.right, rect->right);
        clip.bottom = std::min<LONG>(clip.bottom, rect->bottom);
    }
    const uint32_t color = ToPixel(dc->textColor);
    for (const Line& line : lines) {
        int x = rect->left;
        if (format & DT_CENTER) {
            x = rect->left + (width - line.width) / 2;
        } else if (format & DT_RIGHT) {
            x = rect->right - line.width;
        }
        if (y < clip.bottom && y + lineHeight > clip.top) {
            if (dc->bkMode == OPAQUE) {
                FillClipped(target, clip, x, y, x + line.width, y + lineHeight,
                            ToPixel(dc->bkColor));
            }
            const int baseline = y + f.ascent;
            for (const ShapedText::Glyph& placed : line.shaped->glyphs) {
                const FontFace::Glyph& g = *placed.glyph;
                if (!g.coverage.empty()) {
                    BlendGlyph(target, clip, g, x + placed.x + g.left, baseline - placed.y - g.top,
                               color);
                }
            }
            const int pen = x + line.width;
            if (f.underline) {
                const int top = baseline + f.underlinePosition - f.underlineThickness / 2;
                FillClipped(target, clip, x, top, pen, top + f.underlineThickness, color);
            }
            if (f.strikeOut) {
                const int top = baseline - f.ascent / 3;
                FillClipped(target, clip, x, top, pen, top + f.underlineThickness, color);
            }
        }
        y += lineHeight;
    }
    return result;
}

BOOL GetTextExtentPoint32(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    DC* dc = LookupDC(hdc);
    Font* font = dc ? EffectiveFont(dc) : nullptr;
    if (!font || !font->face || !text || count < 0 || !size) {
        return FALSE;
    }
    std::wstring kept;
    for (int i = 0; i < count; ++i) {
        if (!IsDroppedControl(text[i])) {
            kept += text[i];
        }
    }
    FontFace& f = *font->face;
    std::lock_guard<std::mutex> lock(f.mutex);
    f.Shapes().Trim();
    size->cx = Width(f, kept, IsRightToLeft(kept));
    size->cy = f.ascent + f.descent;
    return TRUE;
}

BOOL GetTextMetrics(HDC hdc, LPTEXTMETRIC metrics) {
    DC* dc = LookupDC(hdc);
    Font* font = dc ? EffectiveFont(dc) : nullptr;
    if (!font || !font->face || !metrics) {
        return FALSE;
    }
    FontFace& f = *font->face;
    std::lock_guard<std::mutex> lock(f.mutex);
    metrics->tmHeight = f.ascent + f.descent;
    metrics->tmAscent = f.ascent;
    metrics->tmDescent = f.descent;
    metrics->tmInternalLeading = std::max(0, metrics->tmHeight - f.emPixels);
    metrics->tmExternalLeading = f.lineGap;
    metrics->tmAveCharWidth = f.aveCharWidth;
    metrics->tmMaxCharWidth = f.maxCharWidth;
    metrics->tmWeight = f.weight;
    return TRUE;
}
