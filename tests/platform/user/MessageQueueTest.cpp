#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "support/TestWindow.h"

namespace {

std::vector<UINT> Kinds(const TestWindow& window, std::initializer_list<UINT> wanted) {
    std::vector<UINT> out;
    for (const auto& m : window.Messages()) {
        if (std::find(wanted.begin(), wanted.end(), m.message) != wanted.end()) {
            out.push_back(m.message);
        }
    }
    return out;
}

TEST(MessageQueue, CreationSendsCreateSizeActivateInOrder) {
    TestWindow window(240, 320, 96);
    ASSERT_TRUE(IsWindow(window.Handle()));
    EXPECT_EQ(Kinds(window, {WM_CREATE, WM_SIZE, WM_ACTIVATE}),
              (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_ACTIVATE}));
    EXPECT_EQ(window.Messages(WM_SIZE)[0].lParam, MAKELPARAM(240, 320));
    EXPECT_EQ(window.Messages(WM_ACTIVATE)[0].wParam, static_cast<WPARAM>(WA_ACTIVE));
    RECT client;
    ASSERT_TRUE(GetClientRect(window.Handle(), &client));
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 320);
}

TEST(MessageQueue, AnInvisibleWindowIsActivatedWhenShown) {
    TestWindow window(240, 320, 96, 0, 0);
    EXPECT_EQ(window.Count(WM_ACTIVATE), 0);
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    ShowWindow(window.Handle(), SW_SHOW);
    EXPECT_EQ(window.Count(WM_ACTIVATE), 1);
    EXPECT_EQ(GetForegroundWindow(), window.Handle());
}

TEST(MessageQueue, RetrievesPostedThenInputThenPaintThenTimers) {
    TestWindow window;
    window.Pump(1);
    SetTimer(window.Handle(), 5, 10, nullptr);
    Sleep(20);  // the timer is due
    window.Device().Pen(WM_LBUTTONDOWN, 3, 4);
    InvalidateRect(window.Handle(), nullptr, FALSE);
    PostMessage(window.Handle(), WM_COMMAND, 1, 0);
    window.ClearMessages();
    window.Pump(1);
    EXPECT_EQ(Kinds(window, {WM_COMMAND, WM_LBUTTONDOWN, WM_PAINT, WM_TIMER}),
              (std::vector<UINT>{WM_COMMAND, WM_LBUTTONDOWN, WM_PAINT, WM_TIMER}));
    auto down = window.Messages(WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].lParam, MAKELPARAM(3, 4));
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
}

struct Sender {
    HWND target;
    WPARAM tag;
};

DWORD WINAPI PostFifty(LPVOID parameter) {
    auto* sender = static_cast<Sender*>(parameter);
    for (int i = 0; i < 50; ++i) {
        PostMessage(sender->target, WM_COMMAND, sender->tag, i);
        if (i % 10 == 0) {
            Sleep(1);
        }
    }
    return 0;
}

TEST(MessageQueue, MessagesFromManyThreadsKeepEachSendersOrder) {
    TestWindow window;
    Sender a{window.Handle(), 1};
    Sender b{window.Handle(), 2};
    HANDLE ta = CreateThread(nullptr, 0, PostFifty, &a, 0, nullptr);
    HANDLE tb = CreateThread(nullptr, 0, PostFifty, &b, 0, nullptr);
    for (int i = 0; i < 50; ++i) {
        PostMessage(window.Handle(), WM_COMMAND, 3, i);
    }
    window.Pump(100);
    WaitForSingleObject(ta, INFINITE);
    WaitForSingleObject(tb, INFINITE);
    CloseHandle(ta);
    CloseHandle(tb);
    window.Pump(1);
    std::map<WPARAM, LPARAM> next;
    int total = 0;
    for (const auto& m : window.Messages(WM_COMMAND)) {
        EXPECT_EQ(m.lParam, next[m.wParam]) << "sender " << m.wParam;
        next[m.wParam] = m.lParam + 1;
        ++total;
    }
    EXPECT_EQ(total, 150);
}

struct LatePost {
    HWND target;
};

DWORD WINAPI PostAfter30(LPVOID parameter) {
    Sleep(30);
    PostMessage(static_cast<LatePost*>(parameter)->target, WM_COMMAND, 42, 0);
    return 0;
}

TEST(MessageQueue, APostFromAnotherThreadWakesTheLoopAtItsTime) {
    TestWindow window;
    LatePost post{window.Handle()};
    HANDLE thread = CreateThread(nullptr, 0, PostAfter30, &post, 0, nullptr);
    window.Pump(1000);
    auto commands = window.Messages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].time, 30u);
    EXPECT_EQ(GetTickCount(), 1000u);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

TEST(MessageQueue, QuitComesAfterWhatWasAlreadyPosted) {
    TestWindow window;
    PostMessage(window.Handle(), WM_COMMAND, 1, 0);
    PostQuitMessage(3);
    PostMessage(window.Handle(), WM_COMMAND, 2, 0);
    EXPECT_FALSE(window.Pump(10));
    EXPECT_EQ(window.ExitCode(), 3);
    EXPECT_EQ(window.Count(WM_COMMAND), 2);

    PostQuitMessage(4);
    MSG msg;
    EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
}

TEST(MessageQueue, PeekCanLeaveTheMessageAndFilterByRange) {
    TestWindow window;
    window.Pump(1);
    PostMessage(window.Handle(), WM_APP + 1, 0, 0);
    PostMessage(window.Handle(), WM_COMMAND, 9, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, NothingQueuedForADestroyedWindowReachesALaterOne) {
    TestWindow window;
    HWND second = CreateWindowEx(0, L"PulsorTestWindow", L"Second", 0, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(second, nullptr);
    PostMessage(second, WM_COMMAND, 77, 0);
    EXPECT_TRUE(DestroyWindow(second));
    EXPECT_FALSE(IsWindow(second));
    HWND third = CreateWindowEx(0, L"PulsorTestWindow", L"Third", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    window.ClearMessages();
    window.Pump(5);
    EXPECT_EQ(window.Count(WM_COMMAND), 0);
    DestroyWindow(third);
}

TEST(MessageQueue, BadHandlesFailQuietly) {
    TestWindow window;
    int bogus = 0;
    HWND fake = reinterpret_cast<HWND>(&bogus);
    EXPECT_FALSE(PostMessage(fake, WM_COMMAND, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SendMessage(fake, WM_COMMAND, 0, 0), 0);
    EXPECT_FALSE(IsWindow(fake));
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(InvalidateRect(fake, nullptr, TRUE));
    EXPECT_EQ(SetTimer(fake, 1, 10, nullptr), 0u);
    EXPECT_FALSE(DestroyWindow(fake));
    EXPECT_EQ(
        CreateWindowEx(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    PAINTSTRUCT ps;
    EXPECT_EQ(BeginPaint(fake, &ps), nullptr);
}

TEST(MessageQueue, ACreateThatFailsGivesNoWindow) {
    TestWindow window;
    window.SetHandler([](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message == WM_CREATE) {
            *result = -1;
            return true;
        }
        return false;
    });
    window.ClearMessages();
    HWND refused = CreateWindowEx(0, L"PulsorTestWindow", L"Refused", WS_VISIBLE, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(window.Count(WM_DESTROY), 1);
    EXPECT_EQ(window.Count(WM_SIZE), 0);
}

TEST(MessageQueue, ClassesRegisterOnce) {
    TestWindow window;
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = L"PulsorTestWindow";
    EXPECT_EQ(RegisterClass(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    wc.lpszClassName = L"PulsorOtherClass";
    EXPECT_NE(RegisterClass(&wc), 0);
    EXPECT_TRUE(UnregisterClass(L"pulsorotherclass", nullptr));
    EXPECT_FALSE(UnregisterClass(L"PulsorOtherClass", nullptr));
}

}  // namespace
