// One opened font at one size: its metrics, its glyphs and the faces it falls back on.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win32.h"

struct FT_FaceRec_;

namespace platform::gdi {

struct FontMatch;
class ShapeCache;

// Glyph loading, fallbacks and shaping go through `mutex`: fonts are made on the loader thread
// and drawn on the UI thread. A fallback face belongs to the face that found it and is used only
// under that face's mutex.
class FontFace {
public:
    struct Glyph {
        int advance = 0;
        int left = 0, top = 0;  // bitmap origin relative to the pen on the baseline
        int width = 0, height = 0;
        std::vector<uint8_t> coverage;
    };

    FontFace();
    ~FontFace();
    static std::shared_ptr<FontFace> Open(const LOGFONT& lf);

    // Callers hold `mutex`. A glyph stays where it is for the face's life.
    const Glyph& GlyphAt(unsigned index);
    unsigned GlyphIndex(char32_t c) const;  // 0 when the face has no glyph for c
    // Another installed face, at this one's size and style, that has c; null when none has it.
    FontFace* FallbackFor(char32_t c);
    ShapeCache& Shapes();

    std::mutex mutex;
    int ascent = 0, descent = 0, emPixels = 0, lineGap = 0;
    int aveCharWidth = 0, maxCharWidth = 0, weight = FW_NORMAL;
    int underlinePosition = 0, underlineThickness = 1;  // pixels below the baseline
    bool underline = false, strikeOut = false;

private:
    static std::shared_ptr<FontFace> Load(const LOGFONT& lf, const FontMatch& match, int64_t em26);
    int LoadFlags() const;

    FT_FaceRec_* face_ = nullptr;
    std::string file_;  // where the face was opened from
    int index_ = 0;
    LOGFONT logFont_{};
    int64_t em26_ = 0;  // em size in 26.6 pixels
    bool embolden_ = false;
    bool mono_ = false;
    std::unordered_map<unsigned, Glyph> cache_;
    std::vector<std::shared_ptr<FontFace>> fallbacks_;
    std::unordered_map<char32_t, FontFace*> fallbackFor_;
    std::unique_ptr<ShapeCache> shapes_;
};

}  // namespace platform::gdi
