// One transition frame on the largest supported screen (480 x 800): two block copies for the
// sliding kinds, one copy and one blend for the fades. Goal: under 0.5 ms a frame.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "platform/gdi/GdiInternal.h"
#include "touchui/Transition.h"

namespace {

constexpr int kW = 480;
constexpr int kH = 800;

struct Page {
    HBITMAP bitmap;
    HDC dc;
    explicit Page(uint32_t seed) {
        bitmap = platform::gdi::CreateBitmap32(kW, kH);
        dc = platform::gdi::CreateSurfaceDC(bitmap);
        int w = 0, h = 0, stride = 0;
        uint32_t* px = platform::gdi::BitmapPixels(bitmap, &w, &h, &stride);
        for (int y = 0; y < h && px; ++y)
            for (int x = 0; x < w; ++x)
                px[y * (stride / 4) + x] = seed ^ static_cast<uint32_t>(x * 2654435761u + y);
    }
    ~Page() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

void BM_TransitionFrame(benchmark::State& state) {
    Page oldPage(0x00A0B0C0), newPage(0x00102030), target(0);
    Transition t(NULL, 1, 11);
    t.SetKind(static_cast<int>(state.range(0)));
    t.progress = 0.5;
    RECT rect = {0, 0, kW, kH};
    for (auto _ : state) {
        t.DrawFrame(target.dc, oldPage.dc, newPage.dc, rect);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_TransitionFrame)
    ->ArgName("kind")
    ->Arg(PushLeft)
    ->Arg(UncoverUp)
    ->Arg(CoverFromTop)
    ->Arg(FadeIn)
    ->Arg(FadeOut)
    ->Arg(OpenFromCentre)
    ->Unit(benchmark::kMicrosecond);
