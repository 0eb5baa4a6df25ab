// The text calls: fonts made from a LOGFONT, DrawText's lines drawn glyph by glyph, measurements.
// Faces live in FontFace, lines are laid out in TextLayout and shaped in TextShaping.
#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/gdi/FontFace.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/TextLayout.h"

namespace platform::gdi {
namespace {

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
    const std::vector<Line> lines = LayOutText(f, text, n, format, width);

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
    FontFace& f = *font->face;
    std::lock_guard<std::mutex> lock(f.mutex);
    f.Shapes().Trim();
    size->cx = MeasureLine(f, text, size_t(count));
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
