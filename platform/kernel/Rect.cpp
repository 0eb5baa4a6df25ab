#include <algorithm>

#include "platform/win32.h"

namespace {

// Win32 coordinates wrap on overflow; doing the sum unsigned keeps that defined.
LONG Add(LONG a, int b) {
    return static_cast<LONG>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
LONG Sub(LONG a, int b) {
    return static_cast<LONG>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) {
        return FALSE;
    }
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) {
        return FALSE;
    }
    rect->left = Sub(rect->left, dx);
    rect->top = Sub(rect->top, dy);
    rect->right = Add(rect->right, dx);
    rect->bottom = Add(rect->bottom, dy);
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) {
        return FALSE;
    }
    rect->left = Add(rect->left, dx);
    rect->top = Add(rect->top, dy);
    rect->right = Add(rect->right, dx);
    rect->bottom = Add(rect->bottom, dy);
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT pt) {
    return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top &&
           pt.y < rect->bottom;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || Empty(*rect);
}

BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) {
        return FALSE;
    }
    const RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                 std::min(a->bottom, b->bottom)};
    if (Empty(*a) || Empty(*b) || Empty(r)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) {
        return FALSE;
    }
    const bool emptyA = Empty(*a);
    const bool emptyB = Empty(*b);
    if (emptyA && emptyB) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (emptyA || emptyB) {
        *dst = emptyA ? *b : *a;
        return TRUE;
    }
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    return TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

BOOL CopyRect(LPRECT dst, const RECT* src) {
    if (!dst || !src) {
        return FALSE;
    }
    *dst = *src;
    return TRUE;
}
