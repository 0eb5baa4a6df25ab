#include "platform/device/Script.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/device/ScriptedDevice.h"
#include "platform/device/headless/HeadlessDevice.h"
#include "platform/user/User.h"
#include "platform/win32.h"

using platform::ParseScript;
using platform::Script;
using platform::ScriptCommand;

namespace {

std::string ErrorOf(const std::string& text) {
    Script script;
    std::string error;
    EXPECT_FALSE(ParseScript(text, "s.txt", 480, 640, &script, &error)) << text;
    EXPECT_TRUE(script.empty());
    return error;
}

TEST(ScriptParsing, ReadsEveryCommand) {
    Script script;
    std::string error;
    const char* text =
        "# a comment\n"
        "wait 100\n"
        "\n"
        "down 1 2   # trailing comment\n"
        "move 3 4\n"
        "up 5 6\n"
        "tap 7 8\n"
        "drag 10 20 30 40 100\n"
        "shot first.png\n"
        "activate\n"
        "deactivate\n"
        "launch\n"
        "close\n";
    ASSERT_TRUE(ParseScript(text, "s.txt", 480, 640, &script, &error)) << error;
    ASSERT_EQ(script.size(), 11u);
    EXPECT_EQ(script[0].kind, ScriptCommand::Wait);
    EXPECT_EQ(script[0].args[0], 100);
    EXPECT_EQ(script[0].line, 2);
    EXPECT_EQ(script[1].kind, ScriptCommand::Down);
    EXPECT_EQ(script[1].line, 4);
    EXPECT_EQ(script[5].kind, ScriptCommand::Drag);
    EXPECT_EQ(script[5].args[4], 100);
    EXPECT_EQ(script[6].name, "first.png");
    EXPECT_EQ(script[10].kind, ScriptCommand::Close);
}

TEST(ScriptParsing, NamesTheFileAndLineOfTheFirstBadLine) {
    EXPECT_EQ(ErrorOf("wait 10\nhop 1 2\nbogus\n"), "s.txt:2: unknown command 'hop'");
    EXPECT_EQ(ErrorOf("tap 1\n"), "s.txt:1: tap takes 2 numbers, got 1");
    EXPECT_EQ(ErrorOf("wait\n"), "s.txt:1: wait takes 1 number, got 0");
    EXPECT_EQ(ErrorOf("close now\n"), "s.txt:1: close takes 0 numbers, got 1");
    EXPECT_EQ(ErrorOf("\n\nwait -5\n"), "s.txt:3: '-5' is not a whole number of 0 or more");
    EXPECT_EQ(ErrorOf("wait 1.5\n"), "s.txt:1: '1.5' is not a whole number of 0 or more");
    EXPECT_EQ(ErrorOf("wait 99999999999\n"),
              "s.txt:1: '99999999999' is not a whole number of 0 or more");
    EXPECT_EQ(ErrorOf("tap 480 10\n"), "s.txt:1: point 480 10 is off the 480x640 screen");
    EXPECT_EQ(ErrorOf("drag 0 0 10 640 100\n"), "s.txt:1: point 10 640 is off the 480x640 screen");
    EXPECT_NE(ErrorOf("shot\n").find("s.txt:1:"), std::string::npos);
    EXPECT_NE(ErrorOf("shot a.jpg\n").find("s.txt:1:"), std::string::npos);
    EXPECT_NE(ErrorOf("shot ../a.png\n").find("s.txt:1:"), std::string::npos);
}

TEST(ScriptParsing, KeysByTheirScancodeNamesAndNumberedFingers) {
    Script script;
    std::string error;
    const char* text =
        "press Q\n"
        "release space\n"
        "press F11\n"
        "finger 1 down 10 20\n"
        "finger 10 move 479 639\n"
        "finger 2 up 0 0\n";
    ASSERT_TRUE(ParseScript(text, "s.txt", 480, 640, &script, &error)) << error;
    ASSERT_EQ(script.size(), 6u);
    EXPECT_EQ(script[0].kind, ScriptCommand::Press);
    EXPECT_EQ(script[0].name, "Q");
    EXPECT_EQ(script[1].kind, ScriptCommand::Release);
    EXPECT_EQ(script[1].name, "Space") << "names are SDL's, whatever the case written";
    EXPECT_EQ(script[3].kind, ScriptCommand::Finger);
    EXPECT_EQ(script[3].args[0], 1);
    EXPECT_EQ(script[3].args[1], ScriptCommand::FingerDown);
    EXPECT_EQ(script[4].args[1], ScriptCommand::FingerMove);
    EXPECT_EQ(script[4].args[2], 479);
    EXPECT_EQ(script[5].args[1], ScriptCommand::FingerUp);

    EXPECT_EQ(ErrorOf("press\n"), "s.txt:1: press takes one key name");
    EXPECT_EQ(ErrorOf("press Hyper\n"), "s.txt:1: unknown key 'Hyper'");
    EXPECT_EQ(ErrorOf("finger 0 down 1 1\n"), "s.txt:1: finger wants N from 1 to 10, not '0'");
    EXPECT_EQ(ErrorOf("finger 11 down 1 1\n"), "s.txt:1: finger wants N from 1 to 10, not '11'");
    EXPECT_EQ(ErrorOf("finger 1 hover 1 1\n"),
              "s.txt:1: finger wants down, move or up, not 'hover'");
    EXPECT_EQ(ErrorOf("finger 1 down 480 1\n"), "s.txt:1: point 480 1 is off the 480x640 screen");
    EXPECT_EQ(ErrorOf("finger 1 down 1\n"), "s.txt:1: finger takes N down|move|up X Y");
}

TEST(ScriptParsing, JoystickButtons) {
    Script script;
    std::string error;
    ASSERT_TRUE(ParseScript("joy 1 down\njoy 4 up\n", "s.txt", 480, 640, &script, &error)) << error;
    ASSERT_EQ(script.size(), 2u);
    EXPECT_EQ(script[0].kind, ScriptCommand::Joy);
    EXPECT_EQ(script[0].args[0], 1);
    EXPECT_EQ(script[0].args[1], 1);
    EXPECT_EQ(script[1].args[0], 4);
    EXPECT_EQ(script[1].args[1], 0);

    const struct {
        const char* line;
        const char* error;
    } bad[] = {
        {"joy 1\n", "s.txt:1: joy takes N down|up"},
        {"joy 0 down\n", "s.txt:1: joy wants a button from 1 to 4, not '0'"},
        {"joy 5 up\n", "s.txt:1: joy wants a button from 1 to 4, not '5'"},
        {"joy A down\n", "s.txt:1: joy wants a button from 1 to 4, not 'A'"},
        {"joy 1 press\n", "s.txt:1: joy wants down or up, not 'press'"},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(ErrorOf(b.line), b.error);
    }
}

TEST(ScriptParsing, AMissingFileIsAnError) {
    Script script;
    std::string error;
    EXPECT_FALSE(platform::LoadScript("/nonexistent/script.txt", 480, 640, &script, &error));
    EXPECT_EQ(error, "/nonexistent/script.txt: No such file or directory");
}

TEST(ScriptParsing, AnErrorQuotesTheLineWithoutItsControlBytes) {
    EXPECT_EQ(ErrorOf("\x1b[2J\x1b]0;owned\x07 1\n"),
              "s.txt:1: unknown command '\\x1b[2J\\x1b]0;owned\\x07'");
    // C1 controls and bytes that are not UTF-8 are escaped; the rest of UTF-8 is shown.
    EXPECT_EQ(ErrorOf("tap \xC2\x9B"
                      "31m \xC3\xA9\n"),
              "s.txt:1: '\\xc2\\x9b31m' is not a whole number of 0 or more");
    EXPECT_EQ(ErrorOf("press Caf\xC3\xA9\xFF\n"), "s.txt:1: unknown key 'Caf\xC3\xA9\\xff'");
}

// A window that logs what it gets with the device time, and paints a pixel where the finger
// went down, so that a run leaves both a log and a picture behind.
std::vector<std::string> gLog;
int gLastX = -1;
int gLastY = -1;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto log = [&](const char* what) {
        gLog.push_back(std::string(what) + " " + std::to_string(LOWORD(lParam)) + "," +
                       std::to_string(HIWORD(lParam)) + "@" + std::to_string(GetTickCount()));
    };
    switch (message) {
        case WM_LBUTTONDOWN:
            log("down");
            gLastX = LOWORD(lParam);
            gLastY = HIWORD(lParam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_MOUSEMOVE:
            log(wParam & MK_LBUTTON ? "move" : "hover");
            return 0;
        case MM_JOY1BUTTONDOWN:
        case MM_JOY1BUTTONUP: {
            char buttons[8];
            std::snprintf(buttons, sizeof buttons, "%03x", static_cast<unsigned>(wParam));
            log((std::string(message == MM_JOY1BUTTONDOWN ? "joydown " : "joyup ") + buttons)
                    .c_str());
            return 0;
        }
        case WM_LBUTTONUP:
            log("up");
            return 0;
        case WM_ACTIVATE:
            gLog.push_back("activate " + std::to_string(wParam) + "@" +
                           std::to_string(GetTickCount()));
            return 0;
        case WM_TIMER:
            gLog.push_back("timer@" + std::to_string(GetTickCount()));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT all{0, 0, 32, 32};
            HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
            FillRect(dc, &all, black);
            DeleteObject(black);
            if (gLastX >= 0) {
                SetPixel(dc, gLastX, gLastY, RGB(255, 255, 255));
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DESTROY:
            gLog.push_back("destroy@" + std::to_string(GetTickCount()));
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct RunResult {
    std::vector<std::string> log;
    std::string shot;
};

RunResult RunScript(const std::string& text, const std::string& shotsDir) {
    gLog.clear();
    gLastX = gLastY = -1;
    platform::DeviceOptions options;
    options.screenWidth = 32;
    options.screenHeight = 32;
    options.headless = true;
    options.shotsDir = shotsDir;
    Script script;
    std::string error;
    EXPECT_TRUE(ParseScript(text, "run.txt", 32, 32, &script, &error)) << error;

    platform::Clock& clock = platform::Clock::Instance();
    clock.SetVirtual(true, 0);
    clock.RegisterCurrentThread();
    auto device = std::make_unique<platform::ScriptedDevice>(
        std::make_unique<platform::HeadlessDevice>(options), script, options);
    platform::ScriptedDevice* scripted = device.get();
    device->Open(platform::user::UserDeviceSink(), nullptr);
    platform::SetCurrentDevice(std::move(device));

    WNDCLASS wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = L"PulsorScriptTest";
    RegisterClass(&wc);
    HWND hwnd =
        CreateWindowEx(0, L"PulsorScriptTest", L"Script", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                       CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr);
    EXPECT_EQ(joySetCapture(hwnd, JOYSTICKID1, 10, TRUE), JOYERR_NOERROR);
    SetTimer(hwnd, 1, 25, nullptr);  // competes with the script's input at the same times
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        DispatchMessage(&msg);
    }
    clock.UnregisterCurrentThread();
    scripted->Join();
    EXPECT_TRUE(scripted->Errors().empty());
    platform::SetCurrentDevice(nullptr);
    UnregisterClass(L"PulsorScriptTest", nullptr);
    return RunResult{gLog, ReadFile(shotsDir + "/end.png")};
}

TEST(ScriptRun, TheSameScriptGivesTheSameEventsAndPictures) {
    const std::string dir = ::testing::TempDir();
    const char* text =
        "wait 50\n"
        "tap 3 4\n"
        "drag 1 1 21 11 50\n"
        "deactivate\n"
        "wait 25\n"
        "activate\n"
        "down 7 9\n"
        "shot end.png\n"
        "up 7 9\n";
    RunResult first = RunScript(text, dir);
    std::remove((dir + "/end.png").c_str());
    RunResult second = RunScript(text, dir);
    EXPECT_EQ(first.log, second.log);
    EXPECT_FALSE(first.shot.empty());
    EXPECT_EQ(first.shot, second.shot);

    // Timers due when the script acts run first: the script waits until the program settled.
    // A drag moves every 10 ms; the end of the script closes the window.
    const std::vector<std::string> expected = {
        "activate 1@0", "timer@25",       "timer@50",      "down 3,4@50",    "timer@75",
        "timer@100",    "up 3,4@100",     "down 1,1@100",  "move 5,3@110",   "move 9,5@120",
        "timer@125",    "move 13,7@130",  "move 17,9@140", "timer@150",      "move 21,11@150",
        "up 21,11@150", "activate 0@150", "timer@175",     "activate 1@175", "down 7,9@175",
        "up 7,9@175",   "destroy@175",
    };
    EXPECT_EQ(first.log, expected);
}

TEST(ScriptRun, AMoveWithNothingPressedHoversAndJoystickButtonsReachTheCapture) {
    const char* text =
        "wait 10\n"
        "move 3 4\n"
        "down 5 5\n"
        "move 6 6\n"
        "up 6 6\n"
        "move 7 7\n"
        "joy 1 down\n"
        "joy 2 down\n"
        "wait 5\n"
        "joy 1 up\n"
        "joy 2 up\n";
    const std::vector<std::string> expected = {
        "activate 1@0",
        "hover 3,4@10",
        "down 5,5@10",
        "move 6,6@10",
        "up 6,6@10",
        "hover 7,7@10",
        "joydown 101 32768,32768@10",
        "joydown 203 32768,32768@10",
        "joyup 102 32768,32768@15",
        "joyup 200 32768,32768@15",
        "destroy@15",
    };
    EXPECT_EQ(RunScript(text, ::testing::TempDir()).log, expected);
}

}  // namespace
