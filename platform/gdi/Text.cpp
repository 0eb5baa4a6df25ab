// Fonts and text. Interim: fonts are recorded but text is not yet rendered.
#include <cstring>

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

Font* EffectiveFont(const DC* dc) {
    if (dc && dc->font) {
        return dc->font;
    }
    static Font* fallback = [] {
        LOGFONT lf{};
        auto* font = new Font(lf, nullptr);
        font->stock = true;
        RegisterHandle(font);
        return font;
    }();
    return fallback;
}

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

HFONT CreateFontIndirect(const LOGFONT* logFont) {
    if (!logFont) {
        return nullptr;
    }
    auto* font = new Font(*logFont, nullptr);
    RegisterHandle(font);
    return reinterpret_cast<HFONT>(font);
}

int DrawText(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    (void)text;
    (void)count;
    (void)rect;
    (void)format;
    return LookupDC(hdc) ? 0 : 0;
}

BOOL GetTextExtentPoint32(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    (void)text;
    (void)count;
    if (!LookupDC(hdc) || !size) {
        return FALSE;
    }
    size->cx = 0;
    size->cy = 0;
    return TRUE;
}

BOOL GetTextMetrics(HDC hdc, LPTEXTMETRIC metrics) {
    if (!LookupDC(hdc) || !metrics) {
        return FALSE;
    }
    std::memset(metrics, 0, sizeof(*metrics));
    return TRUE;
}
