// FindWindow and SetForegroundWindow across real processes: this test program starts itself
// again as the other instance (the child test below, selected through the environment).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/user/User.h"
#include "support/Spawn.h"
#include "support/TestWindow.h"

namespace {

constexpr const char* kChildVariable = "PULSOR_INSTANCE_CHILD";

std::wstring Wide(const std::string& s) {
    return platform::FromUtf8(s);
}

std::string UniqueTitle(const char* what) {
    return std::string("Instance-") + what + "-" + std::to_string(getpid());
}

// Starts this executable as the child in `mode` ("raise:TITLE", "absent:TITLE", "own:TITLE",
// "patient:TITLE"); -1 when it cannot.
pid_t StartChild(const std::string& mode) {
    spawn::Options options;
    options.env = {{kChildVariable, mode}};
    return spawn::Start({"/proc/self/exe", "--gtest_filter=SingleInstanceChild.Act"}, options);
}

int Finish(pid_t pid) {
    return spawn::Wait(pid).status;
}

int RunChild(const std::string& mode) {
    return Finish(StartChild(mode));
}

HWND CreateTitled(const std::string& title) {
    return CreateWindowEx(0, L"PulsorTestWindow", Wide(title).c_str(), WS_VISIBLE, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr,
                          nullptr);
}

TEST(SingleInstanceChild, Act) {
    const char* mode = std::getenv(kChildVariable);
    if (!mode) {
        GTEST_SKIP() << "runs only as the other instance";
    }
    std::string m = mode;
    std::string what = m.substr(0, m.find(':'));
    std::wstring title = Wide(m.substr(m.find(':') + 1));
    if (what == "own") {
        TestWindow window;
        ASSERT_NE(CreateTitled(m.substr(m.find(':') + 1)), nullptr);
        std::_Exit(0);  // dies holding its window: the name must not outlive the process
    }
    if (what == "patient") {
        // A second instance: it may make no window, and waits for the first one's.
        platform::user::YieldToRunningInstance(std::chrono::seconds(30));
        TestWindow window;
        EXPECT_EQ(CreateTitled(m.substr(m.find(':') + 1) + "-mine"), nullptr);
        what = "raise";
    }
    if (what == "elsewhere") {
        platform::user::SetInstanceScope("/another/config");
        what = "absent";
    }
    HWND found = FindWindow(L"PulsorTestWindow", title.c_str());
    if (what == "absent") {
        EXPECT_EQ(found, nullptr);
        return;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsWindow(found));
    EXPECT_TRUE(
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));
}

TEST(SingleInstance, ASecondProcessFindsAndRaisesTheWindow) {
    TestWindow window;
    const std::string title = UniqueTitle("raise");
    HWND hwnd = CreateTitled(title);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_MINIMIZE);
    window.Pump(1);
    window.ClearMessages();

    ASSERT_EQ(RunChild("raise:" + title), 0);
    // The request reaches this process on its listener thread, on the wall clock.
    for (int i = 0; i < 5000 && IsIconic(hwnd); ++i) {
        window.Pump(1);
        usleep(1000);
    }
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(window.Device().RaiseCount(), 1);
    auto activations = window.Messages(WM_ACTIVATE);
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(activations[0].wParam, static_cast<WPARAM>(WA_ACTIVE));
    DestroyWindow(hwnd);
}

// A second instance started with the first, before the first has its window, finds it once made.
TEST(SingleInstance, ASecondInstanceWaitsForTheWindowOfOneStillStarting) {
    TestWindow window;
    const std::string title = UniqueTitle("patient");
    const pid_t child = StartChild("patient:" + title);
    ASSERT_GT(child, 0);
    usleep(200000);
    HWND hwnd = CreateTitled(title);
    ASSERT_NE(hwnd, nullptr);
    int status = -1;
    for (int i = 0; i < 30000 && waitpid(child, &status, WNOHANG) == 0; ++i) {
        window.Pump(1);  // the raise is answered once it is queued here
        usleep(1000);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    window.Pump(1);
    EXPECT_EQ(window.Device().RaiseCount(), 1);
    DestroyWindow(hwnd);
}

TEST(SingleInstance, NoWindowNoFind) {
    TestWindow window;
    EXPECT_EQ(RunChild("absent:" + UniqueTitle("none")), 0);
}

TEST(SingleInstance, ADestroyedWindowIsNoLongerFound) {
    TestWindow window;
    const std::string title = UniqueTitle("destroyed");
    HWND hwnd = CreateTitled(title);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(FindWindow(L"pulsortestwindow", Wide(title).c_str()), hwnd);  // class: any case
    DestroyWindow(hwnd);
    EXPECT_EQ(FindWindow(L"PulsorTestWindow", Wide(title).c_str()), nullptr);
    EXPECT_EQ(RunChild("absent:" + title), 0);
}

TEST(SingleInstance, TheNameDiesWithItsProcess) {
    TestWindow window;
    const std::string title = UniqueTitle("dead");
    ASSERT_EQ(RunChild("own:" + title), 0);
    EXPECT_EQ(FindWindow(L"PulsorTestWindow", Wide(title).c_str()), nullptr);
}

TEST(SingleInstance, AnotherConfigurationIsAnotherInstallation) {
    TestWindow window;
    const std::string title = UniqueTitle("scoped");
    HWND hwnd = CreateTitled(title);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(RunChild("elsewhere:" + title), 0);
    EXPECT_EQ(RunChild("raise:" + title), 0);  // the same scope still finds it
    DestroyWindow(hwnd);
}

TEST(SingleInstance, TitlesMustMatchExactly) {
    TestWindow window;
    const std::string title = UniqueTitle("exact");
    HWND hwnd = CreateTitled(title);
    EXPECT_EQ(FindWindow(L"PulsorTestWindow", Wide(title + "x").c_str()), nullptr);
    std::string upper = title;
    upper[0] = 'i';
    EXPECT_EQ(RunChild("absent:" + upper), 0);
    DestroyWindow(hwnd);
}

}  // namespace
