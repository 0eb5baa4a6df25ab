#include <gtest/gtest.h>

#include "platform/user/User.h"
#include "support/TestWindow.h"

namespace {

std::vector<WPARAM> Activations(const TestWindow& window) {
    std::vector<WPARAM> out;
    for (const auto& m : window.Messages(WM_ACTIVATE)) {
        out.push_back(m.wParam);
    }
    return out;
}

TEST(Window, MinimisingDeactivatesAndARaiseRestores) {
    TestWindow window;
    window.ClearMessages();
    ShowWindow(window.Handle(), SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window.Handle()));
    EXPECT_TRUE(window.Device().Minimized());
    EXPECT_EQ(Activations(window), (std::vector<WPARAM>{WA_INACTIVE}));

    // The lowest bit asks for owned windows too; it still names this window.
    HWND marked = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window.Handle()) | 1);
    EXPECT_TRUE(SetForegroundWindow(marked));
    EXPECT_FALSE(IsIconic(window.Handle()));
    EXPECT_FALSE(window.Device().Minimized());
    EXPECT_EQ(window.Device().RaiseCount(), 1);
    EXPECT_EQ(Activations(window), (std::vector<WPARAM>{WA_INACTIVE, WA_ACTIVE}));
}

TEST(Window, DeviceFocusBecomesActivationOnce) {
    TestWindow window;
    window.Pump(1);
    window.ClearMessages();
    window.Device().SetFocus(false);
    window.Device().SetFocus(false);
    window.Pump(1);
    window.Device().SetFocus(true);
    window.Pump(1);
    EXPECT_EQ(Activations(window), (std::vector<WPARAM>{WA_INACTIVE, WA_ACTIVE}));
    EXPECT_EQ(GetForegroundWindow(), window.Handle());
}

TEST(Window, ActivatingFromTheHandlerDoesNotRecurse) {
    TestWindow window;
    int depth = 0;
    int maxDepth = 0;
    window.SetHandler([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        if (message != WM_ACTIVATE) {
            return false;
        }
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (wParam != WA_INACTIVE) {
            MoveWindow(hwnd, 0, 0, 480, 640, TRUE);
            ShowWindow(hwnd, SW_SHOWNORMAL);
        }
        --depth;
        *result = 0;
        return true;
    });
    window.Device().SetFocus(false);
    window.Pump(1);
    window.Device().SetFocus(true);
    window.Pump(1);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(window.Count(WM_ACTIVATE), 3);  // creation, lost, gained
}

TEST(Window, MovingResizesOnlyWhenTheSizeChanges) {
    TestWindow window(480, 640, 192);
    window.ClearMessages();
    MoveWindow(window.Handle(), 0, 26, 480, 614, TRUE);
    MoveWindow(window.Handle(), 0, 20, 480, 614, TRUE);
    auto sizes = window.Messages(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].lParam, MAKELPARAM(480, 614));
    RECT r = window.Device().WindowRect();
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.bottom, 634);
    RECT w;
    GetWindowRect(window.Handle(), &w);
    EXPECT_EQ(w.top, 20);
    RECT c;
    GetClientRect(window.Handle(), &c);
    EXPECT_EQ(c.bottom, 614);
}

TEST(Window, PenInputArrivesInClientCoordinates) {
    TestWindow window;
    window.Pump(1);
    window.ClearMessages();
    window.Device().Pen(WM_LBUTTONDOWN, 10, 20);
    window.Device().Pen(WM_MOUSEMOVE, 11, 22);
    window.Device().Pen(WM_LBUTTONUP, 12, 24);
    window.Pump(1);
    ASSERT_EQ(window.Count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(window.Messages(WM_MOUSEMOVE)[0].lParam, MAKELPARAM(11, 22));
    EXPECT_EQ(window.Messages(WM_LBUTTONUP)[0].lParam, MAKELPARAM(12, 24));
    EXPECT_EQ(window.Messages(WM_LBUTTONUP)[0].wParam, 0u);
}

TEST(Window, ACloseRequestDestroysThroughDefaultProcessing) {
    TestWindow window;
    ASSERT_TRUE(window.Device().HasWindow());
    window.Device().RequestClose();
    window.Pump(1);
    EXPECT_EQ(window.Count(WM_CLOSE), 1);
    EXPECT_EQ(window.Count(WM_DESTROY), 1);
    EXPECT_FALSE(IsWindow(window.Handle()));
    EXPECT_FALSE(window.Device().HasWindow());
}

TEST(Window, ScreenMetricsAreTheDevices) {
    TestWindow window(240, 400, 96);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 400);
    EXPECT_EQ(window.Device().WindowTitle(), L"Test");
}

TEST(Window, WorkAreaLeavesOutTheTaskBarWhileItShows) {
    TestWindow window(240, 320, 96, 26);
    RECT area;
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 26);
    EXPECT_EQ(area.bottom, 320);
    EXPECT_EQ(area.right, 240);

    platform::user::ApplyShellFullScreen(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    EXPECT_EQ(window.Device().FullScreenState(),
              static_cast<DWORD>(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_SHOWSTARTICON));
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 0);

    platform::user::ApplyShellFullScreen(SHFS_SHOWTASKBAR);
    EXPECT_EQ(platform::user::ShellFullScreenState(),
              static_cast<DWORD>(SHFS_SHOWTASKBAR | SHFS_HIDESIPBUTTON | SHFS_SHOWSTARTICON));
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 26);
    EXPECT_FALSE(SystemParametersInfo(SPI_GETWORKAREA + 1, 0, &area, 0));
}

LONG ReadOrientation(DWORD* value) {
    DEVMODE mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    LONG result = ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr);
    *value = mode.dmDisplayOrientation;
    return result;
}

TEST(Window, DisplayOrientationCanBeReadQueriedAndSet) {
    TestWindow window;
    DWORD value = 99;
    ASSERT_EQ(ReadOrientation(&value), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(value, static_cast<DWORD>(DMDO_0));

    DEVMODE query{};
    query.dmSize = sizeof query;
    query.dmFields = DM_DISPLAYQUERYORIENTATION;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &query, nullptr, CDS_TEST, nullptr),
              DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(query.dmDisplayOrientation,
              static_cast<DWORD>(DMDO_0 | DMDO_90 | DMDO_180 | DMDO_270));

    DEVMODE set{};
    set.dmSize = sizeof set;
    set.dmFields = DM_DISPLAYORIENTATION;
    set.dmDisplayOrientation = DMDO_90;
    EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &set, nullptr, CDS_RESET, nullptr),
              DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(ReadOrientation(&value), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(value, static_cast<DWORD>(DMDO_90));
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_90);

    set.dmDisplayOrientation = static_cast<DWORD>(-1);  // what an unsaved restore asks for
    EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &set, nullptr, CDS_RESET, nullptr),
              DISP_CHANGE_BADMODE);
    EXPECT_EQ(platform::user::DisplayOrientation(), DMDO_90);
}

}  // namespace

namespace {

TEST(Window, FocusGivenToAMinimisedWindowRestoresItForInput) {
    TestWindow window;
    ShowWindow(window.Handle(), SW_MINIMIZE);
    ASSERT_TRUE(window.Device().Minimized());
    window.Device().SetFocus(true);
    window.Pump(1);
    EXPECT_FALSE(IsIconic(window.Handle()));
    EXPECT_FALSE(window.Device().Minimized());
    EXPECT_EQ(window.Device().RaiseCount(), 0);  // focus is not a raise request
    EXPECT_EQ(window.Messages(WM_ACTIVATE).back().wParam, static_cast<WPARAM>(WA_ACTIVE));
}

}  // namespace

TEST(Window, KeysReachTheFocusedWindowWithScancodeRepeatAndTransitionBits) {
    TestWindow window;
    window.Device().SetFocus(true);
    window.Pump(1);
    window.ClearMessages();
    platform::DeviceSink* sink = platform::user::UserDeviceSink();
    struct Case {
        UINT message;
        UINT vk;
        UINT scancode;
        bool repeat;
        LPARAM lParam;
    };
    const Case cases[] = {
        {WM_KEYDOWN, 'Q', 0x10, false, 0x00100001},
        {WM_KEYDOWN, 'Q', 0x10, true, 0x40100001},
        {WM_KEYUP, 'Q', 0x10, false, static_cast<LPARAM>(0xC0100001u)},
        {WM_KEYDOWN, VK_UP, KF_EXTENDED | 0x48, false, 0x01480001},
    };
    for (const Case& c : cases) {
        sink->KeyInput(c.message, c.vk, c.scancode, c.repeat);
    }
    window.Pump(1);
    std::vector<TestWindow::Message> keys = window.Messages(WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 3u);
    ASSERT_EQ(window.Count(WM_KEYUP), 1);
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>('Q'));
    EXPECT_EQ(keys[0].lParam, cases[0].lParam);
    EXPECT_EQ(keys[1].lParam, cases[1].lParam);
    EXPECT_EQ(window.Messages(WM_KEYUP)[0].lParam, cases[2].lParam);
    EXPECT_EQ(keys[2].lParam, cases[3].lParam);

    // Without the focus the keys go nowhere.
    window.Device().SetFocus(false);
    window.Pump(1);
    window.ClearMessages();
    sink->KeyInput(WM_KEYDOWN, 'Q', 0x10, false);
    window.Pump(1);
    EXPECT_EQ(window.Count(WM_KEYDOWN), 0);
}

TEST(Window, FingersReachARegisteredWindowAsTouchRecordsInScreenHundredths) {
    TestWindow window(240, 320, 96, 26);
    MoveWindow(window.Handle(), 0, 26, 240, 294, TRUE);  // below the task bar
    window.Pump(1);
    platform::DeviceSink* sink = platform::user::UserDeviceSink();
    sink->TouchInput(2, TOUCHEVENTF_DOWN, 10, 20);
    window.Pump(1);
    EXPECT_EQ(window.Count(WM_TOUCH), 0) << "a window that did not ask gets none";

    ASSERT_TRUE(RegisterTouchWindow(window.Handle(), 0));
    RECT rect{};
    GetWindowRect(window.Handle(), &rect);
    sink->TouchInput(2, TOUCHEVENTF_DOWN | TOUCHEVENTF_INRANGE, 10, 20);
    window.Pump(1);
    ASSERT_EQ(window.Count(WM_TOUCH), 1);
    const TestWindow::Message touch = window.Messages(WM_TOUCH)[0];
    EXPECT_EQ(LOWORD(touch.wParam), 1);
    // The test window's handler leaves it to DefWindowProc, which has given the handle back.
    TOUCHINPUT records[2];
    EXPECT_FALSE(GetTouchInputInfo(reinterpret_cast<HTOUCHINPUT>(touch.lParam), 1, records,
                                   sizeof(TOUCHINPUT)));

    window.SetHandler([&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
        if (message != WM_TOUCH) {
            return false;
        }
        HTOUCHINPUT handle = reinterpret_cast<HTOUCHINPUT>(lParam);
        EXPECT_TRUE(GetTouchInputInfo(handle, 2, records, sizeof(TOUCHINPUT)));
        EXPECT_TRUE(CloseTouchInputHandle(handle));
        EXPECT_FALSE(CloseTouchInputHandle(handle)) << "a handle is given back once";
        *result = 0;
        return true;
    });
    sink->TouchInput(7, TOUCHEVENTF_MOVE | TOUCHEVENTF_INRANGE, 30, 40);
    window.Pump(1);
    EXPECT_EQ(records[0].dwID, 7u);
    EXPECT_EQ(records[0].dwFlags, static_cast<DWORD>(TOUCHEVENTF_MOVE | TOUCHEVENTF_INRANGE));
    EXPECT_EQ(rect.top, 26);
    EXPECT_EQ(records[0].x, (rect.left + 30) * 100);
    EXPECT_EQ(records[0].y, (rect.top + 40) * 100);
    EXPECT_EQ(records[1].dwFlags, 0u) << "a record asked for beyond the message's is empty";
}
