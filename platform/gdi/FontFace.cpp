// Fonts: the installed face closest to a LOGFONT (fontconfig), its glyphs rendered with FreeType
// and cached by glyph index, the faces it falls back on for characters it lacks, and the default
// font of a DC without one.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>

#include "platform/gdi/FontFace.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/TextShaping.h"
#include "platform/kernel/WideString.h"

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
    const wchar_t* name = lf.lfFaceName;
    const std::string family =
        ToUtf8(std::wstring_view(name, std::find(name, name + LF_FACESIZE, L'\0') - name));
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

}  // namespace platform::gdi
