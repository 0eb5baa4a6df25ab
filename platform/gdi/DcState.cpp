// What GDI objects and DCs are: GetObject, GetObjectType, a DC's current objects, capabilities
// and attributes (background, text colour, stretch mode).
#include <cstring>

#include "platform/device/Device.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiObjects.h"

using namespace platform;
using namespace platform::gdi;

int GetObject(HGDIOBJ object, int size, LPVOID buffer) {
    if (Bitmap* bitmap = LookupAs<Bitmap>(object)) {
        if (!buffer) {
            return int(sizeof(BITMAP));
        }
        if (size < int(sizeof(BITMAP))) {
            return 0;
        }
        BITMAP info{};
        info.bmType = 0;
        info.bmWidth = bitmap->width;
        info.bmHeight = bitmap->height;
        info.bmWidthBytes = bitmap->width * 4;
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        info.bmBits = bitmap->stock ? nullptr : bitmap->bits;
        std::memcpy(buffer, &info, sizeof(info));
        return int(sizeof(BITMAP));
    }
    if (Font* font = LookupAs<Font>(object)) {
        if (!buffer) {
            return int(sizeof(LOGFONT));
        }
        if (size < int(sizeof(LOGFONT))) {
            return 0;
        }
        std::memcpy(buffer, &font->logFont, sizeof(LOGFONT));
        return int(sizeof(LOGFONT));
    }
    return 0;
}

DWORD GetObjectType(HGDIOBJ object) {
    switch (static_cast<HandleType>(HandleTypeOf(object))) {
        case HandleType::Bitmap:
            return OBJ_BITMAP;
        case HandleType::Brush:
            return OBJ_BRUSH;
        case HandleType::Pen:
            return OBJ_PEN;
        case HandleType::Font:
            return OBJ_FONT;
        case HandleType::DC: {
            DC* dc = LookupDC(static_cast<HDC>(object));
            return !dc ? 0 : dc->memory ? OBJ_MEMDC : OBJ_DC;
        }
        default:
            return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    DC* dc = LookupDC(hdc);
    if (!dc) {
        return nullptr;
    }
    switch (type) {
        case OBJ_BITMAP:
            return dc->bitmap;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_PEN:
            return dc->pen;
        case OBJ_FONT:
            return dc->font ? static_cast<HGDIOBJ>(dc->font) : GetStockObject(SYSTEM_FONT);
        default:
            return nullptr;
    }
}

int GetDeviceCaps(HDC hdc, int index) {
    DC* dc = LookupDC(hdc);
    if (!dc) {
        return 0;
    }
    Device* device = CurrentDevice();
    switch (index) {
        case LOGPIXELSX:
            return DeviceDpiX();
        case LOGPIXELSY:
            return DeviceDpiY();
        case HORZRES:
            return device ? device->ScreenWidth() : dc->bitmap->width;
        case VERTRES:
            return device ? device->ScreenHeight() : dc->bitmap->height;
        case BITSPIXEL:
            return 32;
        case PLANES:
            return 1;
        default:
            return 0;
    }
}

int SetBkMode(HDC hdc, int mode) {
    DC* dc = LookupDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
        return 0;
    }
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int GetBkMode(HDC hdc) {
    DC* dc = LookupDC(hdc);
    return dc ? dc->bkMode : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    DC* dc = LookupDC(hdc);
    if (!dc) {
        return CLR_INVALID;
    }
    COLORREF previous = dc->bkColor;
    dc->bkColor = color & 0xFFFFFF;
    return previous;
}

COLORREF GetBkColor(HDC hdc) {
    DC* dc = LookupDC(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    DC* dc = LookupDC(hdc);
    if (!dc) {
        return CLR_INVALID;
    }
    COLORREF previous = dc->textColor;
    dc->textColor = color & 0xFFFFFF;
    return previous;
}

COLORREF GetTextColor(HDC hdc) {
    DC* dc = LookupDC(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}

// Every mode samples the same way (nearest neighbour at pixel centres); the mode is only kept so
// that it reads back.
int SetStretchBltMode(HDC hdc, int mode) {
    DC* dc = LookupDC(hdc);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE) {
        return 0;
    }
    int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC hdc) {
    DC* dc = LookupDC(hdc);
    return dc ? dc->stretchMode : 0;
}
