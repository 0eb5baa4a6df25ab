#include <gtest/gtest.h>

#include "platform/user/User.h"
#include "support/TestWindow.h"

namespace {

constexpr uint32_t kRedPixel = 0x00FF0000;  // BGRX in memory: red in the third byte

// Paints the whole client area with `color` on WM_PAINT, remembering the paint rectangle.
void PaintWith(TestWindow& window, COLORREF color, std::vector<RECT>* painted) {
    window.SetHandler([color, painted](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_PAINT) {
            return false;
        }
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (painted) {
            painted->push_back(ps.rcPaint);
        }
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        *result = 0;
        return true;
    });
}

TEST(Paint, EndPaintPresentsTheWindowsPixels) {
    TestWindow window(64, 48, 96);
    PaintWith(window, RGB(255, 0, 0), nullptr);
    window.Pump(1);
    auto frame = window.Presented();
    ASSERT_GT(frame.serial, 0u);
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_EQ(frame.At(0, 0), kRedPixel);
    EXPECT_EQ(frame.At(63, 47), kRedPixel);
}

TEST(Paint, OneInvalidationGivesOnePaintOfTheUnionOfRectangles) {
    TestWindow window(64, 48, 96);
    std::vector<RECT> painted;
    PaintWith(window, RGB(0, 0, 255), &painted);
    window.Pump(1);
    painted.clear();
    window.ClearMessages();
    RECT a{2, 3, 10, 10};
    RECT b{20, 5, 30, 40};
    InvalidateRect(window.Handle(), &a, TRUE);
    InvalidateRect(window.Handle(), &b, FALSE);
    window.Pump(10);
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 2);
    EXPECT_EQ(painted[0].top, 3);
    EXPECT_EQ(painted[0].right, 30);
    EXPECT_EQ(painted[0].bottom, 40);
    EXPECT_EQ(window.Count(WM_ERASEBKGND), 1);
}

TEST(Paint, ValidatingBeforeTheLoopGetsThereCancelsThePaint) {
    TestWindow window(64, 48, 96);
    window.Pump(1);
    window.ClearMessages();
    RECT part{0, 0, 5, 5};
    InvalidateRect(window.Handle(), &part, FALSE);
    ValidateRect(window.Handle(), nullptr);
    window.Pump(10);
    EXPECT_EQ(window.Count(WM_PAINT), 0);
}

TEST(Paint, DefaultProcessingValidates) {
    TestWindow window(64, 48, 96);
    window.Pump(10);
    EXPECT_EQ(window.Count(WM_PAINT), 1);  // not repeated: DefWindowProc validated it
}

TEST(Paint, UpdateWindowPaintsAtOnce) {
    TestWindow window(64, 48, 96);
    window.ClearMessages();
    UpdateWindow(window.Handle());
    EXPECT_EQ(window.Count(WM_PAINT), 1);
    UpdateWindow(window.Handle());
    EXPECT_EQ(window.Count(WM_PAINT), 1);  // nothing invalid any more
}

struct Invalidator {
    HWND target;
};

DWORD WINAPI InvalidateLater(LPVOID parameter) {
    Sleep(30);
    InvalidateRect(static_cast<Invalidator*>(parameter)->target, nullptr, TRUE);
    return 0;
}

TEST(Paint, InvalidatingFromAnotherThreadWakesTheLoop) {
    TestWindow window(64, 48, 96);
    window.Pump(1);
    window.ClearMessages();
    Invalidator job{window.Handle()};
    const DWORD start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, InvalidateLater, &job, 0, nullptr);
    window.Pump(100);
    auto paints = window.Messages(WM_PAINT);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(paints[0].time, start + 30);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

TEST(Paint, TheScreenDcReportsTheDevicesDpi) {
    TestWindow window(240, 320, 131);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 131);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 131);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

// Each caller of GetDC(NULL) draws into a pixel of its own: a loader and a UI thread drawing at
// once neither see each other's colour nor race (ThreadSanitizer) on shared pixels.
TEST(Paint, EachScreenDcHasAPixelOfItsOwn) {
    TestWindow window(240, 320, 96);
    struct Job {
        COLORREF colour;
        int mismatches = 0;
    };
    auto draw = [](LPVOID param) -> DWORD {
        auto* job = static_cast<Job*>(param);
        for (int i = 0; i < 500; ++i) {
            HDC screen = GetDC(nullptr);
            SetPixel(screen, 0, 0, job->colour);
            job->mismatches += GetPixel(screen, 0, 0) == job->colour ? 0 : 1;
            ReleaseDC(nullptr, screen);
        }
        return 0;
    };
    Job jobs[2] = {{RGB(255, 0, 0)}, {RGB(0, 0, 255)}};
    HANDLE thread = CreateThread(nullptr, 0, draw, &jobs[0], 0, nullptr);
    draw(&jobs[1]);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(jobs[0].mismatches, 0);
    EXPECT_EQ(jobs[1].mismatches, 0);

    HDC a = GetDC(nullptr);
    HDC b = GetDC(nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(GetDeviceCaps(b, LOGPIXELSX), 96);
    EXPECT_EQ(ReleaseDC(nullptr, a), 1);
    EXPECT_EQ(ReleaseDC(nullptr, b), 1);
    EXPECT_EQ(ReleaseDC(nullptr, b), 0);
}

TEST(Paint, AWindowDcDrawsIntoWhatTheNextPaintPresents) {
    TestWindow window(32, 32, 96);
    window.Pump(1);
    HDC dc = GetDC(window.Handle());
    ASSERT_NE(dc, nullptr);
    SetPixel(dc, 5, 6, RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 5, 6), RGB(0, 255, 0));
    ReleaseDC(window.Handle(), dc);
    InvalidateRect(window.Handle(), nullptr, FALSE);
    window.Pump(1);
    EXPECT_EQ(window.PresentedPixel(5, 6), 0x0000FF00u);
}

TEST(Paint, AMinimisedWindowPresentsNothing) {
    TestWindow window(32, 32, 96);
    window.Pump(1);
    uint64_t before = window.Device().PresentCount();
    ShowWindow(window.Handle(), SW_MINIMIZE);
    InvalidateRect(window.Handle(), nullptr, TRUE);
    window.Pump(10);
    EXPECT_EQ(window.Device().PresentCount(), before);
}

TEST(Paint, ARepaintRequestFromTheDeviceInvalidatesAll) {
    TestWindow window(32, 32, 96);
    std::vector<RECT> painted;
    PaintWith(window, RGB(1, 2, 3), &painted);
    window.Pump(1);
    painted.clear();
    platform::user::UserDeviceSink()->RepaintRequested();
    window.Pump(1);
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].right, 32);
    EXPECT_EQ(painted[0].bottom, 32);
}

}  // namespace
