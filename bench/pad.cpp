// The word pad under a finger: from a pen-down reaching the pad to the word's first sample in the
// mixer's output, and the repaint of the pad that follows. Real skin and sounds, 480 x 640 at
// 192 dpi, the null audio output in real time (periods of 256 frames at 48 kHz).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "graphics/Drawing.h"
#include "platform/device/headless/HeadlessDevice.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/kernel/WideString.h"
#include "platform/wave/Audio.h"
#include "platform/wave/Output.h"
#include "skin/Skin.h"
#include "touchui/Control.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kWidth = 480;
const int kHeight = 640;
const int kDpi = 192;

std::wstring AssetFolder(const char* name) {
    return platform::FromUtf8(
               (std::filesystem::path(PULSOR_SOURCE_DIR) / "assets" / name).string()) +
           L"/";
}

// A headless 480 x 640 screen with the skinned pad placed as the main screen places it.
struct PadScene {
    PadScene() {
        platform::DeviceOptions options;
        options.screenWidth = kWidth;
        options.screenHeight = kHeight;
        options.dpiX = options.dpiY = kDpi;
        options.headless = true;
        platform::SetCurrentDevice(std::make_unique<platform::HeadlessDevice>(options));
        ResetScaleForTests();
        skin.Load(AssetFolder("Skin").c_str(), L"");
        pad = std::make_unique<PadControl>(nullptr, nullptr, 35);
        pad->SetBounds(0, ScaleY(54), ScaleX(240), ScaleY(212));
        pad->SetInset(-ScaleX(6), -ScaleY(6));
        pad->SetBackImage(skin.GetImage(PadBack));
        pad->SetPressedImage(skin.GetImage(PadPressed));
        pad->SetFont(skin.GetFont(Font12Medium));
        pad->SetTextFormat(DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS);
        pad->SetTextMargins(ScaleX(5), ScaleY(15), ScaleX(5), ScaleY(5));
        surface = platform::gdi::CreateBitmap32(kWidth, kHeight);
        dc = platform::gdi::CreateSurfaceDC(surface);
    }
    ~PadScene() {
        DeleteDC(dc);
        DeleteObject(surface);
        pad.reset();
        platform::SetCurrentDevice(nullptr);
    }
    // What WM_PAINT does for the pad: the back buffer's black, then the pad.
    void Repaint() {
        FillSolidRect(dc, 0, 0, kWidth, kHeight, RGB(0, 0, 0));
        pad->PaintIfVisible(dc);
    }
    POINT CellCentre(int cell) const {
        const RECT grid = pad->GetGridRect();
        POINT p;
        p.x = grid.left + (cell % 4) * pad->GetCellWidth() + pad->GetCellWidth() / 2;
        p.y = grid.top + (cell / 4) * pad->GetCellHeight() + pad->GetCellHeight() / 2;
        return p;
    }

    Skin skin;
    std::unique_ptr<PadControl> pad;
    HBITMAP surface = nullptr;
    HDC dc = nullptr;
};

// The repaint that follows a touch: background and 16 cells, one of them pressed.
void BM_PadRepaint480x640(benchmark::State& state) {
    PadScene scene;
    const POINT p = scene.CellCentre(5);
    scene.pad->TouchDown(nullptr, 0, p.x, p.y);
    for (auto _ : state) {
        scene.Repaint();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PadRepaint480x640)->Unit(benchmark::kMicrosecond);

// A player's one buffer header, to see that the word is queued by the time the touch returns.
struct PlayerHeader : WavePlayer {
    static WAVEHDR* WavePlayer::*Member() { return &PlayerHeader::header; }
};

// The time of the first non-silent period the null output renders after `armed` is set.
std::atomic<bool> armed{false};
std::atomic<int64_t> heardAt{0};  // steady_clock ns, 0 = not yet
std::atomic<int> heardFrame{0};

void Tap(const float* frames, int count) {
    if (!armed.load(std::memory_order_acquire) || heardAt.load(std::memory_order_acquire) != 0) {
        return;
    }
    for (int i = 0; i < count * 2; ++i) {
        if (frames[i] != 0.0f) {
            heardFrame.store(i / 2, std::memory_order_relaxed);
            heardAt.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
            return;
        }
    }
}

// Pen-down to the word's first sample in the mixer's output: the pad plays the word inside its
// touch handler (counter queue_us), the repaint follows (repaint_us), and the mixer renders the
// word in the next period of the output (the iteration time, to the rendered sample itself).
void BM_TouchToSound(benchmark::State& state) {
    PadScene scene;
    platform::wave::SetNullOutputTap(&Tap);
    platform::DeviceOptions options;
    options.headless = true;
    options.realTime = true;
    std::string error;
    if (!platform::wave::StartAudio(options, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto bank = std::make_unique<SoundBank>();
    bank->Load(AssetFolder("Sounds").c_str());
    // Without its words the loop below would wait for ever for a sound.
    for (int word = 1; word <= SoundBank::kWords; ++word) {
        if (!bank->GetSample(word, false) || !bank->GetSample(word, false)->IsPlayable()) {
            state.SkipWithError("the built-in words did not load");
            platform::wave::StopAudio();
            return;
        }
    }
    scene.pad->SetSoundBank(bank.get());

    double queueTotal = 0;
    double repaintTotal = 0;
    int queuedFirst = 0;
    int cell = 0;
    for (auto _ : state) {
        const POINT p = scene.CellCentre(cell);
        heardAt.store(0);
        armed.store(true, std::memory_order_release);
        const Clock::time_point down = Clock::now();
        scene.pad->TouchDown(nullptr, 0, p.x, p.y);
        const Clock::time_point queued = Clock::now();
        const WAVEHDR* header = bank->GetSample(cell + 1, false)->*PlayerHeader::Member();
        queuedFirst += (header->dwFlags & WHDR_INQUEUE) != 0 ? 1 : 0;
        scene.Repaint();
        const Clock::time_point painted = Clock::now();
        while (heardAt.load(std::memory_order_acquire) == 0) {
            std::this_thread::yield();
        }
        const double heard =
            (heardAt.load() - down.time_since_epoch().count()) / 1e9 + heardFrame.load() / 48000.0;
        state.SetIterationTime(heard);
        queueTotal += std::chrono::duration<double, std::micro>(queued - down).count();
        repaintTotal += std::chrono::duration<double, std::micro>(painted - queued).count();

        state.PauseTiming();
        armed.store(false);
        scene.pad->TouchUp(nullptr, 0, p.x, p.y);
        bank->GetSample(cell + 1, false)->Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(12));  // two silent periods
        cell = (cell + 1) % 16;
        state.ResumeTiming();
    }
    state.counters["queue_us"] = benchmark::Counter(queueTotal, benchmark::Counter::kAvgIterations);
    state.counters["repaint_us"] =
        benchmark::Counter(repaintTotal, benchmark::Counter::kAvgIterations);
    // 1: every word was queued before its repaint began.
    state.counters["queued_first"] =
        benchmark::Counter(queuedFirst, benchmark::Counter::kAvgIterations);
    scene.pad->SetSoundBank(nullptr);
    bank.reset();  // the players close their streams while the output still runs
    platform::wave::StopAudio();
    platform::wave::SetNullOutputTap(nullptr);
}
BENCHMARK(BM_TouchToSound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
