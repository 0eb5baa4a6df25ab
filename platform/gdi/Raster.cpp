// Block transfers, stretching, keyed and blended transfers (gradients and fills are in Fills).
//
// Every entry point validates its DCs, clips once against the destination bitmap and the source
// bounds, builds the source column and row tables, and then runs one row routine chosen before
// the loop. Raster operations are reduced to AND and XOR masks (see RopMasks).
//
// Negative extents in BitBlt and StretchBlt name the rectangle on the other side of its origin,
// and opposite signs of destination and source extents mirror the picture, as on Windows.
// TransparentBlt and AlphaBlend refuse negative extents.
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {
namespace {

// BlendPixel over a straight run, channel by channel in 16-bit lanes: x / 255 for x < 2^16 is
// (x * 0x8081) >> 23. Sixteen bytes at a time with SSE2, thirty-two with AVX2 where the processor
// has it.
#if defined(__x86_64__)
#define PULSOR_BLEND_ROW(NAME, ATTR, VEC, SET1, ZERO, LOADU, STOREU, UNPACKLO, UNPACKHI, MULLO, \
                         ADD, MULHI, SRLI, PACKUS)                                              \
    ATTR int NAME(uint32_t* __restrict dst, const uint32_t* __restrict src, int n,              \
                  uint32_t alpha) {                                                             \
        constexpr int kStep = int(sizeof(VEC) / 4);                                             \
        const VEC zero = ZERO(), a = SET1(short(alpha)), na = SET1(short(255 - alpha));         \
        const VEC half = SET1(127), magic = SET1(short(0x8081));                                \
        int i = 0;                                                                              \
        for (; i + kStep <= n; i += kStep) {                                                    \
            const VEC s = LOADU(reinterpret_cast<const VEC*>(src + i));                         \
            const VEC d = LOADU(reinterpret_cast<const VEC*>(dst + i));                         \
            VEC lo = ADD(ADD(MULLO(UNPACKLO(s, zero), a), MULLO(UNPACKLO(d, zero), na)), half); \
            VEC hi = ADD(ADD(MULLO(UNPACKHI(s, zero), a), MULLO(UNPACKHI(d, zero), na)), half); \
            lo = SRLI(MULHI(lo, magic), 7);                                                     \
            hi = SRLI(MULHI(hi, magic), 7);                                                     \
            STOREU(reinterpret_cast<VEC*>(dst + i), PACKUS(lo, hi));                            \
        }                                                                                       \
        return i;                                                                               \
    }
PULSOR_BLEND_ROW(BlendRowSse2, , __m128i, _mm_set1_epi16, _mm_setzero_si128, _mm_loadu_si128,
                 _mm_storeu_si128, _mm_unpacklo_epi8, _mm_unpackhi_epi8, _mm_mullo_epi16,
                 _mm_add_epi16, _mm_mulhi_epu16, _mm_srli_epi16, _mm_packus_epi16)
// The 256-bit unpacks and pack work within each 128-bit half alike, so the pixels stay in order.
PULSOR_BLEND_ROW(BlendRowAvx2, __attribute__((target("avx2"))), __m256i, _mm256_set1_epi16,
                 _mm256_setzero_si256, _mm256_loadu_si256, _mm256_storeu_si256,
                 _mm256_unpacklo_epi8, _mm256_unpackhi_epi8, _mm256_mullo_epi16, _mm256_add_epi16,
                 _mm256_mulhi_epu16, _mm256_srli_epi16, _mm256_packus_epi16)
#undef PULSOR_BLEND_ROW
#endif

}  // namespace

void BlendRow(uint32_t* dst, const uint32_t* src, int n, uint32_t alpha, bool widest) {
    int i = 0;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    i = avx2 && widest ? BlendRowAvx2(dst, src, n, alpha) : BlendRowSse2(dst, src, n, alpha);
#else
    (void)widest;
#endif
    for (; i < n; ++i) {
        dst[i] = BlendPixel(src[i], dst[i], alpha);
    }
}

namespace {

// A ternary raster operation with a solid brush, as D' = (D & A(S)) ^ X(S) where
// A(S) = (S & a1) ^ a2 and X(S) = (S & x1) ^ x2. Any function of P, S and D fits this form bit by
// bit once P is fixed, so the masks carry the brush colour.
struct RopMasks {
    uint32_t a1, a2, x1, x2;
    bool UsesSource() const { return (a1 | x1) != 0; }
    bool UsesDest() const { return (a1 | a2) != 0; }
};

RopMasks ReduceRop(DWORD rop, uint32_t pattern) {
    const unsigned code = (rop >> 16) & 0xFF;
    // Bit (p * 4 + s * 2 + d) of the code is the result for those input bits.
    auto f = [code](int p, int s, int d) { return (code >> (p * 4 + s * 2 + d)) & 1; };
    auto mask = [pattern](int forP1, int forP0) {
        return (forP1 ? pattern : 0u) | (forP0 ? ~pattern : 0u);
    };
    int a1[2], a2[2], x1[2], x2[2];
    for (int p = 0; p < 2; ++p) {
        const int x0 = f(p, 0, 0), xs = f(p, 1, 0);
        const int a0 = f(p, 0, 1) ^ x0, as = f(p, 1, 1) ^ xs;
        a1[p] = as ^ a0;
        a2[p] = a0;
        x1[p] = xs ^ x0;
        x2[p] = x0;
    }
    return {mask(a1[1], a1[0]), mask(a2[1], a2[0]), mask(x1[1], x1[0]), mask(x2[1], x2[0])};
}

uint32_t BrushPixel(const DC* dc) {
    return dc->brush && !dc->brush->hollow ? ToPixel(dc->brush->color) : 0;
}

// A transfer after clipping: the destination rectangle and, for each of its columns and rows, the
// source column and row it samples.
struct Mapping {
    Bitmap* dst = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<int> xs, ys;
    bool unitX = false;  // xs[i] == xs[0] + i
    bool unitY = false;  // ys[j] == ys[0] + j
};

// Source coordinates for destination offsets [first, last) of an extent of `d` pixels mapped onto
// `s` source pixels starting at `s0`: nearest neighbour sampling at pixel centres.
void BuildAxis(int first, int last, int d, int s0, int s, bool mirror, std::vector<int>& out) {
    out.resize(size_t(std::max(0, last - first)));
    const int64_t twoD = int64_t(2) * d;
    for (int i = first; i < last; ++i) {
        const int64_t k = mirror ? d - 1 - i : i;
        out[size_t(i - first)] = s0 + int((2 * k + 1) * s / twoD);
    }
}

// Trims [first, last) so that every sampled source coordinate lies inside [0, limit).
void TrimToSource(int& first, int& last, std::vector<int>& table, int limit) {
    size_t lo = 0, hi = table.size();
    while (lo < hi && (table[lo] < 0 || table[lo] >= limit)) {
        ++lo;
    }
    while (hi > lo && (table[hi - 1] < 0 || table[hi - 1] >= limit)) {
        --hi;
    }
    table.erase(table.begin() + ptrdiff_t(hi), table.end());
    table.erase(table.begin(), table.begin() + ptrdiff_t(lo));
    last = first + int(hi);
    first += int(lo);
}

// Negative extents name the rectangle on the other side of the origin; opposite signs of
// destination and source mirror the picture.
void Normalize(int& pos, int& extent, bool& mirror) {
    if (extent < 0) {
        pos += extent;
        extent = -extent;
        mirror = !mirror;
    }
}

bool ClipAxis(int pos, int d, int limit, int& first, int& last) {
    first = std::max(0, -pos);
    last = int(std::min<int64_t>(d, int64_t(limit) - pos));
    return first < last;
}

// Sets up a transfer of source (sx, sy, sw, sh) of `src` (may be null: no source) onto
// (x, y, dw, dh) of `dst`. False when nothing is to be drawn.
bool MapTransfer(Bitmap* dst, int x, int y, int dw, int dh, const Bitmap* src, int sx, int sy,
                 int sw, int sh, Mapping& m) {
    // Coordinates this far out cannot touch a bitmap and would overflow the arithmetic below.
    constexpr int kFar = 1 << 29;
    for (int v : {x, y, dw, dh, sx, sy, sw, sh}) {
        if (v > kFar || v < -kFar) {
            return false;
        }
    }
    if (!dst || dw == 0 || dh == 0) {
        return false;
    }
    bool mirrorX = false, mirrorY = false;
    Normalize(x, dw, mirrorX);
    Normalize(y, dh, mirrorY);
    if (!src) {
        sx = sy = 0;
        sw = dw;
        sh = dh;
    } else {
        if (sw == 0 || sh == 0) {
            return false;
        }
        Normalize(sx, sw, mirrorX);
        Normalize(sy, sh, mirrorY);
    }
    int x0, x1, y0, y1;
    if (!ClipAxis(x, dw, dst->width, x0, x1) || !ClipAxis(y, dh, dst->height, y0, y1)) {
        return false;
    }
    BuildAxis(x0, x1, dw, sx, sw, mirrorX, m.xs);
    BuildAxis(y0, y1, dh, sy, sh, mirrorY, m.ys);
    if (src) {
        TrimToSource(x0, x1, m.xs, src->width);
        TrimToSource(y0, y1, m.ys, src->height);
        if (x0 >= x1 || y0 >= y1) {
            return false;
        }
    }
    m.dst = dst;
    m.x = x + x0;
    m.y = y + y0;
    m.width = x1 - x0;
    m.height = y1 - y0;
    m.unitX = !mirrorX && sw == dw;
    m.unitY = !mirrorY && sh == dh;
    return true;
}

// A transfer within one bitmap reads from a snapshot so that overlapping rows stay intact.
struct SourceView {
    const Bitmap* bitmap = nullptr;
    std::unique_ptr<uint32_t[]> copy;
    const uint32_t* Row(int y) const {
        return copy ? copy.get() + size_t(y) * bitmap->width : bitmap->Row(y);
    }
};

void PrepareSource(const Bitmap* src, const Bitmap* dst, SourceView& view) {
    view.bitmap = src;
    if (src == dst) {
        view.copy.reset(new uint32_t[size_t(src->width) * src->height]);
        for (int y = 0; y < src->height; ++y) {
            std::memcpy(view.copy.get() + size_t(y) * src->width, src->Row(y),
                        size_t(src->width) * 4);
        }
    }
}

// Runs `op(dstPixel&, srcPixel)` over the mapped rectangle. `op` is inlined into two loop shapes
// chosen once: a straight run when the source is not stretched horizontally, a table walk
// otherwise. `rowCopy` says the result does not depend on the destination, so a destination row
// made from the same source row as the previous one is copied instead of recomputed.
template <class Op>
void RunRows(const Mapping& m, const SourceView& src, bool rowCopy, Op op) {
    const int n = m.width;
    const int* xs = m.xs.data();
    for (int j = 0; j < m.height; ++j) {
        uint32_t* d = m.dst->Row(m.y + j) + m.x;
        if (rowCopy && j > 0 && m.ys[size_t(j)] == m.ys[size_t(j - 1)]) {
            std::memcpy(d, m.dst->Row(m.y + j - 1) + m.x, size_t(n) * 4);
            continue;
        }
        const uint32_t* s = src.Row(m.ys[size_t(j)]);
        if (m.unitX) {
            s += xs[0];
            for (int i = 0; i < n; ++i) {
                op(d[i], s[i]);
            }
        } else {
            for (int i = 0; i < n; ++i) {
                op(d[i], s[xs[i]]);
            }
        }
    }
}

bool RasterTransfer(HDC hdst, int x, int y, int dw, int dh, HDC hsrc, int sx, int sy, int sw,
                    int sh, DWORD rop) {
    DC* dst = LookupDC(hdst);
    if (!dst) {
        return false;
    }
    const RopMasks r = ReduceRop(rop, BrushPixel(dst));
    Mapping m;
    if (!r.UsesSource()) {
        if (!MapTransfer(dst->Target(), x, y, dw, dh, nullptr, 0, 0, 0, 0, m)) {
            return true;
        }
        for (int j = 0; j < m.height; ++j) {
            uint32_t* d = m.dst->Row(m.y + j) + m.x;
            if (r.a2 == 0) {
                std::fill(d, d + m.width, r.x2);
            } else {
                for (int i = 0; i < m.width; ++i) {
                    d[i] = (d[i] & r.a2) ^ r.x2;
                }
            }
        }
        return true;
    }
    DC* src = LookupDC(hsrc);
    if (!src) {
        return false;
    }
    if (!MapTransfer(dst->Target(), x, y, dw, dh, src->bitmap, sx, sy, sw, sh, m)) {
        return true;
    }
    SourceView view;
    PrepareSource(src->bitmap, m.dst, view);
    const bool copy = r.a1 == 0 && r.a2 == 0 && r.x1 == ~0u && r.x2 == 0;
    const ptrdiff_t rowBytes = ptrdiff_t(m.width) * 4;
    if (copy && m.unitX && m.unitY && m.dst->stride == rowBytes && !view.copy &&
        view.bitmap->stride == rowBytes) {
        // Whole rows of both bitmaps, back to back: one block.
        std::memcpy(m.dst->Row(m.y), view.Row(m.ys[0]), size_t(rowBytes) * m.height);
    } else if (copy && m.unitX) {
        for (int j = 0; j < m.height; ++j) {
            std::memcpy(m.dst->Row(m.y + j) + m.x, view.Row(m.ys[size_t(j)]) + m.xs[0],
                        size_t(m.width) * 4);
        }
    } else if (copy) {
        RunRows(m, view, true, [](uint32_t& d, uint32_t s) { d = s; });
    } else {
        RunRows(m, view, !r.UsesDest(), [r](uint32_t& d, uint32_t s) {
            d = (d & ((s & r.a1) ^ r.a2)) ^ ((s & r.x1) ^ r.x2);
        });
    }
    return true;
}

}  // namespace
}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
    return RasterTransfer(dst, x, y, width, height, src, sx, sy, width, height, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop) {
    return RasterTransfer(dst, x, y, width, height, src, sx, sy, sw, sh, rop);
}

BOOL TransparentBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int sx, int sy, int sw,
                    int sh, UINT key) {
    DC* dst = LookupDC(hdst);
    DC* src = LookupDC(hsrc);
    if (!dst || !src || width < 0 || height < 0 || sw <= 0 || sh <= 0) {
        return FALSE;
    }
    Mapping m;
    if (!MapTransfer(dst->Target(), x, y, width, height, src->bitmap, sx, sy, sw, sh, m)) {
        return TRUE;
    }
    SourceView view;
    PrepareSource(src->bitmap, m.dst, view);
    const uint32_t k = ToPixel(key);
    RunRows(m, view, false, [k](uint32_t& d, uint32_t s) {
        if ((s ^ k) & 0x00FFFFFFu) {
            d = s;
        }
    });
    return TRUE;
}

BOOL AlphaBlend(HDC hdst, int x, int y, int width, int height, HDC hsrc, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend) {
    DC* dst = LookupDC(hdst);
    DC* src = LookupDC(hsrc);
    if (!dst || !src || blend.BlendOp != AC_SRC_OVER || blend.AlphaFormat != 0 || width < 0 ||
        height < 0 || sw < 0 || sh < 0) {
        return FALSE;
    }
    Mapping m;
    if (!MapTransfer(dst->Target(), x, y, width, height, src->bitmap, sx, sy, sw, sh, m)) {
        return TRUE;
    }
    const uint32_t a = blend.SourceConstantAlpha;
    if (a == 0) {
        return TRUE;
    }
    SourceView view;
    PrepareSource(src->bitmap, m.dst, view);
    if (a == 255) {
        RunRows(m, view, true, [](uint32_t& d, uint32_t s) { d = s; });
    } else if (m.unitX) {
        for (int j = 0; j < m.height; ++j) {
            BlendRow(m.dst->Row(m.y + j) + m.x, view.Row(m.ys[size_t(j)]) + m.xs[0], m.width, a);
        }
    } else {
        RunRows(m, view, false, [a](uint32_t& d, uint32_t s) { d = BlendPixel(s, d, a); });
    }
    return TRUE;
}
