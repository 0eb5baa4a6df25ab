// Invalidation and painting: the invalid region (kept as its bounding box), BeginPaint and
// EndPaint, which hands the window's pixels to the device, and window DCs.
#include <algorithm>

#include "platform/device/Device.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

namespace platform::user {
namespace {

RECT ClientOf(const Window* window) {
    return RECT{0, 0, window->rect.right - window->rect.left,
                window->rect.bottom - window->rect.top};
}

void UnionInto(RECT* acc, bool* any, const RECT& r) {
    if (r.left >= r.right || r.top >= r.bottom) {
        return;
    }
    if (!*any) {
        *acc = r;
        *any = true;
        return;
    }
    acc->left = std::min(acc->left, r.left);
    acc->top = std::min(acc->top, r.top);
    acc->right = std::max(acc->right, r.right);
    acc->bottom = std::max(acc->bottom, r.bottom);
}

}  // namespace

void InvalidateLocked(Window* window, const RECT* rect, bool erase) {
    std::lock_guard<std::mutex> lock(window->queue->mutex);
    RECT client = ClientOf(window);
    RECT area = client;
    if (rect) {
        area.left = std::max(rect->left, client.left);
        area.top = std::max(rect->top, client.top);
        area.right = std::min(rect->right, client.right);
        area.bottom = std::min(rect->bottom, client.bottom);
    }
    bool any = window->invalid;
    UnionInto(&window->invalidRect, &any, area);
    window->invalid = any;
    window->erase = window->erase || (any && erase);
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    {
        std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
        Window* window = LookupAs<Window>(hwnd);
        if (!window) {
            return FALSE;
        }
        InvalidateLocked(window, rect, erase != FALSE);
    }
    WakeLoops();
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    std::lock_guard<std::mutex> queueLock(window->queue->mutex);
    // The invalid region is kept as its bounding box: a part validates it only when it covers it.
    const RECT& r = window->invalidRect;
    if (!rect || (rect->left <= r.left && rect->top <= r.top && rect->right >= r.right &&
                  rect->bottom >= r.bottom)) {
        window->invalid = false;
        window->erase = false;
    }
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window) {
        return FALSE;
    }
    bool invalid;
    {
        std::lock_guard<std::mutex> lock(window->queue->mutex);
        invalid = window->invalid;
    }
    if (invalid) {
        window->proc(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !paint) {
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        std::lock_guard<std::mutex> lock(window->queue->mutex);
        paint->rcPaint = window->invalid ? window->invalidRect : RECT{0, 0, 0, 0};
        erase = window->erase;
        window->invalid = false;
        window->erase = false;
    }
    paint->hdc = gdi::CreateSurfaceDC(window->surface);
    if (!paint->hdc) {
        return nullptr;
    }
    paint->fErase =
        erase && !window->proc(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0);
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    Window* window = LookupAs<Window>(hwnd);
    if (!window || !paint) {
        return FALSE;
    }
    if (paint->hdc) {
        DeleteDC(paint->hdc);
    }
    Device* device = window == DeviceWindow() ? CurrentDevice() : nullptr;
    if (device && window->visible && !window->iconic) {
        int width = 0;
        int height = 0;
        int stride = 0;
        const uint32_t* pixels = gdi::BitmapPixels(window->surface, &width, &height, &stride);
        RECT client;
        {
            std::lock_guard<std::mutex> lock(window->queue->mutex);
            client = ClientOf(window);
        }
        if (pixels) {
            device->Present(pixels, std::min<int>(width, client.right),
                            std::min<int>(height, client.bottom), stride);
        }
    }
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd) {
        // The screen: a DC with the device's capabilities; what is drawn into it goes nowhere.
        return gdi::CreateScreenDC();
    }
    Window* window = LookupAs<Window>(hwnd);
    return window ? gdi::CreateSurfaceDC(window->surface) : nullptr;
}

int ReleaseDC(HWND, HDC dc) {
    return dc && DeleteDC(dc) ? 1 : 0;
}
