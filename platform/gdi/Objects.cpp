// DCs, bitmaps, brushes, pens and stock objects: creation, selection and deletion (what they are
// and a DC's attributes are asked in DcState).
#include <cstring>
#include <new>

#include "platform/device/Device.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

namespace {

// Larger bitmaps than this are refused rather than risking overflowing sizes.
constexpr int kMaxSide = 32768;
constexpr int64_t kMaxPixels = int64_t(1) << 28;

bool ValidSize(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           int64_t(width) * height <= kMaxPixels;
}

Bitmap* NewBitmap(int width, int height) {
    if (!ValidSize(width, height)) {
        return nullptr;
    }
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[size_t(width) * height]());
    if (!pixels) {
        return nullptr;
    }
    uint32_t* top = pixels.get();
    auto* bitmap = new Bitmap(width, height, top, ptrdiff_t(width) * 4, std::move(pixels));
    RegisterHandle(bitmap);
    return bitmap;
}

struct StockObjects {
    Brush* brushes[6];
    Pen* pens[3];
    Bitmap* bitmap;  // the 1x1 bitmap of a fresh memory DC

    StockObjects() {
        const COLORREF brushColors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                        RGB(64, 64, 64),    RGB(0, 0, 0),       RGB(0, 0, 0)};
        for (int i = 0; i < 6; ++i) {
            brushes[i] = new Brush(brushColors[i], i == NULL_BRUSH);
            brushes[i]->stock = true;
            RegisterHandle(brushes[i]);
        }
        const COLORREF penColors[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0)};
        for (int i = 0; i < 3; ++i) {
            pens[i] = new Pen(penColors[i], i == 2);
            pens[i]->stock = true;
            RegisterHandle(pens[i]);
        }
        bitmap = NewBitmap(1, 1);
        bitmap->stock = true;
    }
};

StockObjects& Stock() {
    static StockObjects* stock = new StockObjects();  // lives as long as the process
    return *stock;
}

void Retain(GdiObject* object) {
    if (object && !object->stock) {
        ++object->selections;
    }
}

// Called with ObjectLock held; deletes a brush, pen or font whose deletion was deferred.
void Release(GdiObject* object) {
    if (!object || object->stock) {
        return;
    }
    --object->selections;
    if (object->selections == 0 && object->deletePending) {
        UnregisterHandle(object);
        delete object;
    }
}

DC* NewDC(Bitmap* bitmap, bool memory) {
    auto* dc = new DC();
    dc->memory = memory;
    dc->bitmap = bitmap;
    dc->brush = Stock().brushes[WHITE_BRUSH];
    dc->pen = Stock().pens[1];
    std::lock_guard<std::mutex> lock(ObjectLock());
    Retain(bitmap);
    RegisterHandle(dc);
    return dc;
}

template <class T>
HGDIOBJ Swap(T*& slot, T* object) {
    T* previous = slot;
    Retain(object);
    slot = object;
    Release(previous);
    return previous;
}

}  // namespace

std::mutex& ObjectLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

int DeviceDpiX() {
    Device* device = CurrentDevice();
    return device && device->DpiX() > 0 ? device->DpiX() : 96;
}

int DeviceDpiY() {
    Device* device = CurrentDevice();
    return device && device->DpiY() > 0 ? device->DpiY() : 96;
}

HBITMAP CreateBitmap32(int width, int height) {
    return reinterpret_cast<HBITMAP>(NewBitmap(width, height));
}

uint32_t* BitmapPixels(HBITMAP handle, int* width, int* height, int* stride) {
    Bitmap* bitmap = LookupAs<Bitmap>(handle);
    if (!bitmap) {
        return nullptr;
    }
    if (width) {
        *width = bitmap->width;
    }
    if (height) {
        *height = bitmap->height;
    }
    if (stride) {
        *stride = int(bitmap->stride);
    }
    return bitmap->bits;
}

HDC CreateSurfaceDC(HBITMAP surface) {
    Bitmap* bitmap = LookupAs<Bitmap>(surface);
    if (!bitmap || bitmap->stock) {
        return nullptr;
    }
    return reinterpret_cast<HDC>(NewDC(bitmap, false));
}

HDC CreateScreenDC() {
    Bitmap* bitmap = LookupAs<Bitmap>(CreateBitmap32(1, 1));
    if (!bitmap) {
        return nullptr;
    }
    DC* dc = NewDC(bitmap, false);
    std::lock_guard<std::mutex> lock(ObjectLock());
    bitmap->deletePending = true;  // freed when the DC releases it
    return reinterpret_cast<HDC>(dc);
}

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !LookupDC(hdc)) {
        return nullptr;
    }
    return reinterpret_cast<HDC>(NewDC(Stock().bitmap, true));
}

BOOL DeleteDC(HDC hdc) {
    DC* dc = LookupDC(hdc);
    if (!dc) {
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(ObjectLock());
    UnregisterHandle(dc);
    Release(dc->bitmap);
    Release(dc->brush);
    Release(dc->pen);
    Release(dc->font);
    delete dc;
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    if (!LookupDC(hdc)) {
        return nullptr;
    }
    return CreateBitmap32(width, height);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (planes != 1 || bitsPerPixel != 32) {
        return nullptr;
    }
    Bitmap* bitmap = NewBitmap(width, height);
    if (bitmap && bits) {
        std::memcpy(bitmap->bits, bits, size_t(width) * height * 4);
    }
    return reinterpret_cast<HBITMAP>(bitmap);
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    (void)offset;
    if (bits) {
        *bits = nullptr;
    }
    if ((hdc && !LookupDC(hdc)) || !info || usage != DIB_RGB_COLORS || section) {
        return nullptr;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int width = h.biWidth;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biPlanes != 1 ||
        h.biHeight == INT32_MIN || !ValidSize(width, height)) {
        return nullptr;
    }
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[size_t(width) * height]());
    if (!pixels) {
        return nullptr;
    }
    uint32_t* memory = pixels.get();
    // A positive height is a bottom-up DIB: the caller's first row is the bottom one.
    const bool bottomUp = h.biHeight > 0;
    uint32_t* top = bottomUp ? memory + size_t(width) * (height - 1) : memory;
    const ptrdiff_t stride = bottomUp ? -ptrdiff_t(width) * 4 : ptrdiff_t(width) * 4;
    auto* bitmap = new Bitmap(width, height, top, stride, std::move(pixels));
    RegisterHandle(bitmap);
    if (bits) {
        *bits = memory;
    }
    return reinterpret_cast<HBITMAP>(bitmap);
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    DC* dc = LookupDC(hdc);
    if (!dc || !object) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(ObjectLock());
    switch (static_cast<HandleType>(HandleTypeOf(object))) {
        case HandleType::Bitmap: {
            auto* bitmap = static_cast<Bitmap*>(LookupHandle(object, HandleType::Bitmap));
            // A window's DC draws into its own surface; a bitmap lives in one DC at a time.
            if (!dc->memory || (bitmap->selections > 0 && bitmap != dc->bitmap)) {
                return nullptr;
            }
            return Swap(dc->bitmap, bitmap);
        }
        case HandleType::Brush:
            return Swap(dc->brush, static_cast<Brush*>(LookupHandle(object, HandleType::Brush)));
        case HandleType::Pen:
            return Swap(dc->pen, static_cast<Pen*>(LookupHandle(object, HandleType::Pen)));
        case HandleType::Font: {
            HGDIOBJ previous =
                Swap(dc->font, static_cast<Font*>(LookupHandle(object, HandleType::Font)));
            return previous ? previous : GetStockObject(SYSTEM_FONT);
        }
        default:
            return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    std::lock_guard<std::mutex> lock(ObjectLock());
    const auto type = static_cast<HandleType>(HandleTypeOf(object));
    if (type != HandleType::Bitmap && type != HandleType::Brush && type != HandleType::Pen &&
        type != HandleType::Font) {
        return FALSE;
    }
    auto* gdiObject = static_cast<GdiObject*>(LookupHandle(object, type));
    if (gdiObject->stock) {
        return TRUE;
    }
    if (gdiObject->selections > 0) {
        if (type == HandleType::Bitmap) {
            return FALSE;
        }
        gdiObject->deletePending = true;
        return TRUE;
    }
    UnregisterHandle(gdiObject);
    delete gdiObject;
    return TRUE;
}

HGDIOBJ GetStockObject(int index) {
    StockObjects& stock = Stock();
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) {
        return stock.brushes[index];
    }
    if (index >= WHITE_PEN && index <= NULL_PEN) {
        return stock.pens[index - WHITE_PEN];
    }
    if (index == SYSTEM_FONT || index == DEFAULT_GUI_FONT) {
        return EffectiveFont(nullptr);
    }
    return nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* brush = new Brush(color);
    RegisterHandle(brush);
    return reinterpret_cast<HBRUSH>(brush);
}
