#include <gtest/gtest.h>

#include "support/TestWindow.h"

namespace {

std::vector<DWORD> TimerTimes(const TestWindow& window, UINT_PTR id) {
    std::vector<DWORD> times;
    for (const auto& m : window.Messages(WM_TIMER)) {
        if (m.wParam == id) {
            times.push_back(m.time);
        }
    }
    return times;
}

TEST(Timers, FireEveryPeriodOfDeviceTime) {
    TestWindow window;
    EXPECT_EQ(SetTimer(window.Handle(), 2, 300, nullptr), 2u);
    window.Pump(1000);
    EXPECT_EQ(TimerTimes(window, 2), (std::vector<DWORD>{300, 600, 900}));
    EXPECT_EQ(window.Messages(WM_TIMER)[0].lParam, 0);
}

TEST(Timers, TheSameIdReplacesTheTimer) {
    TestWindow window;
    SetTimer(window.Handle(), 1, 100, nullptr);
    window.Pump(50);
    SetTimer(window.Handle(), 1, 30, nullptr);
    window.Pump(100);
    EXPECT_EQ(TimerTimes(window, 1), (std::vector<DWORD>{80, 110, 140}));
}

TEST(Timers, KilledTimersStop) {
    TestWindow window;
    SetTimer(window.Handle(), 1, 20, nullptr);
    SetTimer(window.Handle(), 2, 20, nullptr);
    window.Pump(50);
    EXPECT_TRUE(KillTimer(window.Handle(), 1));
    EXPECT_FALSE(KillTimer(window.Handle(), 1));
    window.Pump(50);
    EXPECT_EQ(TimerTimes(window, 1), (std::vector<DWORD>{20, 40}));
    EXPECT_EQ(TimerTimes(window, 2), (std::vector<DWORD>{20, 40, 60, 80, 100}));
}

TEST(Timers, NeverFireFasterThanTenMilliseconds) {
    TestWindow window;
    SetTimer(window.Handle(), 1, 0, nullptr);
    window.Pump(35);
    EXPECT_EQ(TimerTimes(window, 1), (std::vector<DWORD>{10, 20, 30}));
}

struct Call {
    HWND window;
    UINT message;
    UINT_PTR id;
    DWORD time;
    DWORD thread;
};
std::vector<Call> gCalls;

void CALLBACK RecordTimer(HWND window, UINT message, UINT_PTR id, DWORD time) {
    gCalls.push_back(Call{window, message, id, time, GetCurrentThreadId()});
}

TEST(Timers, CallbacksRunOnTheWindowsThreadInsteadOfItsProcedure) {
    gCalls.clear();
    TestWindow window;
    SetTimer(window.Handle(), 1, 11, RecordTimer);
    window.Pump(40);
    ASSERT_EQ(gCalls.size(), 3u);
    for (size_t i = 0; i < gCalls.size(); ++i) {
        EXPECT_EQ(gCalls[i].window, window.Handle());
        EXPECT_EQ(gCalls[i].message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(gCalls[i].id, 1u);
        EXPECT_EQ(gCalls[i].time, 11u * (i + 1));
        EXPECT_EQ(gCalls[i].thread, GetCurrentThreadId());
    }
    EXPECT_EQ(window.Count(WM_TIMER), 0);
}

TEST(Timers, DieWithTheirWindow) {
    gCalls.clear();
    TestWindow window;
    HWND other = CreateWindowEx(0, L"PulsorTestWindow", L"Other", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    SetTimer(other, 1, 10, RecordTimer);
    window.Pump(15);
    DestroyWindow(other);
    window.Pump(50);
    EXPECT_EQ(gCalls.size(), 1u);
}

TEST(Timers, TwoTimersDueTogetherFireInDeadlineOrder) {
    TestWindow window;
    SetTimer(window.Handle(), 1, 30, nullptr);
    SetTimer(window.Handle(), 2, 20, nullptr);
    window.Pump(60);
    std::vector<WPARAM> ids;
    for (const auto& m : window.Messages(WM_TIMER)) {
        ids.push_back(m.wParam);
    }
    // 20: 2; 30: 1; 40: 2; 60: 1 then 2 (both due, the one set first in time order).
    EXPECT_EQ(ids, (std::vector<WPARAM>{2, 1, 2, 1, 2}));
}

}  // namespace
