// The raster engine against SDL2's software blitter doing the same pixels, and a whole pad
// repaint. Each "Sdl" case is the reference for the case above it.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cwchar>

#include "PadWords.h"
#include "graphics/Drawing.h"
#include "platform/gdi/GdiInternal.h"

namespace {

constexpr uint32_t kMagenta = 0x00FF00FF;

uint32_t Pixel(int x, int y) {
    return (uint32_t(x * 7 + y) & 0xFF) << 16 | (uint32_t(x ^ y) & 0xFF) << 8 |
           uint32_t(y * 3 & 0xFF);
}

// A picture with a magenta hole in its middle, as the skin's keyed images have.
uint32_t KeyedPixel(int x, int y, int w, int h) {
    const int dx = 2 * x - w, dy = 2 * y - h;
    return dx * dx + dy * dy < w * h / 2 ? kMagenta : Pixel(x, y);
}

// A memory DC with a bitmap of its own.
struct Gdi {
    Gdi(int width, int height, bool keyed = false) : w(width), h(height) {
        bitmap = platform::gdi::CreateBitmap32(w, h);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
        int stride = 0;
        uint32_t* bits = platform::gdi::BitmapPixels(bitmap, nullptr, nullptr, &stride);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bits[y * (stride / 4) + x] = keyed ? KeyedPixel(x, y, w, h) : Pixel(x, y);
            }
        }
    }
    ~Gdi() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    int w, h;
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ previous;
};

// The same picture as an SDL surface in the same 32-bit XRGB layout.
struct Sdl {
    Sdl(int width, int height, bool keyed = false) {
        surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
        auto* bits = static_cast<uint8_t*>(surface->pixels);
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bits + y * surface->pitch);
            for (int x = 0; x < width; ++x) {
                row[x] = keyed ? KeyedPixel(x, y, width, height) : Pixel(x, y);
            }
        }
        if (keyed) {
            SDL_SetColorKey(surface, SDL_TRUE, kMagenta);
        }
    }
    ~Sdl() { SDL_FreeSurface(surface); }
    SDL_Surface* surface;
};

void CountPixels(benchmark::State& state, int w, int h) {
    state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}

void BM_Stretch480x424From480x424(benchmark::State& state) {
    Gdi src(480, 424), dst(480, 424);
    for (auto _ : state) {
        StretchBlt(dst.dc, 0, 0, 480, 424, src.dc, 0, 0, 480, 424, SRCCOPY);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}
void BM_Stretch480x424From480x424Sdl(benchmark::State& state) {
    Sdl src(480, 424), dst(480, 424);
    for (auto _ : state) {
        SDL_Rect d{0, 0, 480, 424};
        SDL_BlitScaled(src.surface, nullptr, dst.surface, &d);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}

void BM_Stretch480x424From240x212(benchmark::State& state) {
    Gdi src(240, 212), dst(480, 424);
    for (auto _ : state) {
        StretchBlt(dst.dc, 0, 0, 480, 424, src.dc, 0, 0, 240, 212, SRCCOPY);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}
void BM_Stretch480x424From240x212Sdl(benchmark::State& state) {
    Sdl src(240, 212), dst(480, 424);
    for (auto _ : state) {
        SDL_Rect d{0, 0, 480, 424};
        SDL_BlitScaled(src.surface, nullptr, dst.surface, &d);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}

void BM_KeyedStretch480x424From240x212(benchmark::State& state) {
    Gdi src(240, 212, true), dst(480, 424);
    for (auto _ : state) {
        TransparentBlt(dst.dc, 0, 0, 480, 424, src.dc, 0, 0, 240, 212, kMagenta);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}
void BM_KeyedStretch480x424From240x212Sdl(benchmark::State& state) {
    Sdl src(240, 212, true), dst(480, 424);
    for (auto _ : state) {
        SDL_Rect d{0, 0, 480, 424};
        SDL_BlitScaled(src.surface, nullptr, dst.surface, &d);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 424);
}

void BM_Blend480x800(benchmark::State& state) {
    Gdi src(480, 800), dst(480, 800);
    for (auto _ : state) {
        BlendSurface(dst.dc, 0, 0, 480, 800, src.dc, 0, 0, 480, 800, 128);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 800);
}
void BM_Blend480x800Sdl(benchmark::State& state) {
    Sdl src(480, 800), dst(480, 800);
    SDL_SetSurfaceBlendMode(src.surface, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src.surface, 128);
    for (auto _ : state) {
        SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 800);
}

void BM_Copy480x800(benchmark::State& state) {
    Gdi src(480, 800), dst(480, 800);
    for (auto _ : state) {
        BitBlt(dst.dc, 0, 0, 480, 800, src.dc, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 800);
}
void BM_Copy480x800Sdl(benchmark::State& state) {
    Sdl src(480, 800), dst(480, 800);
    for (auto _ : state) {
        SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
        benchmark::ClobberMemory();
    }
    CountPixels(state, 480, 800);
}

HFONT PadFont() {
    LOGFONT lf{};
    lf.lfHeight = 24;  // 12 units at 192 dpi
    lf.lfWeight = FW_NORMAL;
    std::wcsncpy(lf.lfFaceName, L"HelveticaNeue LT 35 Thin", LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

// A kit's captions in Hebrew and Arabic, some beside Latin words and digits.
const wchar_t* const kRightToLeftWords[16] = {
    L"שלום",    L"תודה",       L"כן",         L"לא",          L"مرحبا",     L"شكرا",
    L"نعم",     L"لا",         L"Hello שלום", L"שלום Hello",  L"مرحبا 123", L"חדר 12",
    L"ילד טוב", L"صباح الخير", L"בוקר טוב",   L"ילד טוב מאוד"};

// The 16 labels of the pad at 192 dpi: 114 x 100 cells with the label margins (10, 30, 10, 10).
void DrawLabels(HDC dc, HFONT font, int top, const wchar_t* const* words = kPadWords) {
    for (int cell = 0; cell < 16; ++cell) {
        RECT r{12 + (cell % 4) * 114, top + 12 + (cell / 4) * 100, 0, 0};
        r.right = r.left + 114;
        r.bottom = r.top + 100;
        DeflateRectBy(r, 10, 30, 10, 10);
        DrawTextInRect(dc, words[cell], r, 0x40011, RGB(255, 255, 255), font);
    }
}

void BM_PadLabels(benchmark::State& state) {
    Gdi dst(480, 424);
    HFONT font = PadFont();
    for (auto _ : state) {
        DrawLabels(dst.dc, font, 0);
        benchmark::ClobberMemory();
    }
    DeleteObject(font);
}

void BM_PadLabelsRightToLeft(benchmark::State& state) {
    Gdi dst(480, 424);
    HFONT font = PadFont();
    for (auto _ : state) {
        DrawLabels(dst.dc, font, 0, kRightToLeftWords);
        benchmark::ClobberMemory();
    }
    DeleteObject(font);
}

// What a touch on the pad repaints at 480 x 640: its background, the pressed cell, the labels.
void BM_PadRepaint480x640(benchmark::State& state) {
    Gdi back(480, 424), pressed(114, 100, true), screen(480, 640);
    HFONT font = PadFont();
    const int top = 108;
    for (auto _ : state) {
        DrawBitmapStretched(screen.dc, 0, top, 480, top + 424, back.bitmap);
        DrawBitmapKeyed(screen.dc, 12 + 114, top + 112, 12 + 228, top + 212, pressed.bitmap,
                        kMagenta);
        DrawLabels(screen.dc, font, top);
        benchmark::ClobberMemory();
    }
    DeleteObject(font);
}

}  // namespace

BENCHMARK(BM_Stretch480x424From480x424);
BENCHMARK(BM_Stretch480x424From480x424Sdl);
BENCHMARK(BM_Stretch480x424From240x212);
BENCHMARK(BM_Stretch480x424From240x212Sdl);
BENCHMARK(BM_KeyedStretch480x424From240x212);
BENCHMARK(BM_KeyedStretch480x424From240x212Sdl);
BENCHMARK(BM_Blend480x800);
BENCHMARK(BM_Blend480x800Sdl);
BENCHMARK(BM_Copy480x800);
BENCHMARK(BM_Copy480x800Sdl);
BENCHMARK(BM_PadLabels);
BENCHMARK(BM_PadLabelsRightToLeft);
BENCHMARK(BM_PadRepaint480x640);
