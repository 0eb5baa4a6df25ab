#include "platform/device/Script.h"

#include <gtest/gtest.h>

#include <unistd.h>

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

// Typed text and dropped files take the rest of their line, '#' and spaces included; a relative
// file is the current directory's.
TEST(ScriptParsing, TypedTextAndDroppedFilesTakeTheRestOfTheLine) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const struct {
        const char* line;
        ScriptCommand::Kind kind;
        std::string name;
        int x;
        int y;
    } cases[] = {
        {"type Hello world", ScriptCommand::Type, "Hello world", 0, 0},
        {"type   C# major  \r", ScriptCommand::Type, "C# major  ", 0, 0},
        {"type caf\xC3\xA9 \xF0\x9F\x98\x80", ScriptCommand::Type, "caf\xC3\xA9 \xF0\x9F\x98\x80",
         0, 0},
        {"drop /tmp/a b#1.flac 10 20", ScriptCommand::Drop, "/tmp/a b#1.flac", 10, 20},
        {"drop take.wav  479 639 ", ScriptCommand::Drop, std::string(cwd) + "/take.wav", 479, 639},
        {"press Left Ctrl", ScriptCommand::Press, "Left Ctrl", 0, 0},
        {"release ctrl  # the left one", ScriptCommand::Release, "Left Ctrl", 0, 0},
        {"press Shift", ScriptCommand::Press, "Left Shift", 0, 0},
    };
    for (const auto& c : cases) {
        Script script;
        std::string error;
        ASSERT_TRUE(ParseScript(std::string(c.line) + "\n", "s.txt", 480, 640, &script, &error))
            << c.line << ": " << error;
        ASSERT_EQ(script.size(), 1u) << c.line;
        EXPECT_EQ(script[0].kind, c.kind) << c.line;
        EXPECT_EQ(script[0].name, c.name) << c.line;
        EXPECT_EQ(script[0].args[0], c.x) << c.line;
        EXPECT_EQ(script[0].args[1], c.y) << c.line;
    }
    EXPECT_EQ(ErrorOf("type\n"), "s.txt:1: type takes the text to type, in UTF-8");
    EXPECT_EQ(ErrorOf("type \xFF\n"), "s.txt:1: type takes the text to type, in UTF-8");
    EXPECT_EQ(ErrorOf("drop 10 20\n"), "s.txt:1: drop takes a file and a point: drop FILE X Y");
    EXPECT_EQ(ErrorOf("drop a.wav 10\n"), "s.txt:1: drop takes a file and a point: drop FILE X Y");
    EXPECT_EQ(ErrorOf("drop a.wav 10 640\n"), "s.txt:1: point 10 640 is off the 480x640 screen");
    EXPECT_EQ(ErrorOf("drop a.wav x 1\n"), "s.txt:1: 'x' is not a whole number of 0 or more");
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
bool gLogTimers = true;
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
            log("move");
            return 0;
        case WM_LBUTTONUP:
            log("up");
            return 0;
        case WM_ACTIVATE:
            gLog.push_back("activate " + std::to_string(wParam) + "@" +
                           std::to_string(GetTickCount()));
            return 0;
        case WM_TIMER:
            if (gLogTimers) {
                gLog.push_back("timer@" + std::to_string(GetTickCount()));
            }
            return 0;
        case WM_KEYDOWN:
            // F1 and F2 turn text input on and off, F3 stops taking files, as a page might.
            if (wParam == VK_F1 || wParam == VK_F1 + 1) {
                SipShowIM(wParam == VK_F1 ? SIPF_ON : SIPF_OFF);
            } else if (wParam == VK_F1 + 2) {
                DragAcceptFiles(hwnd, FALSE);
            } else {
                gLog.push_back("key " + std::to_string(wParam));
            }
            return 0;
        case WM_CHAR: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "char %04X", static_cast<unsigned>(wParam));
            gLog.push_back(hex);
            return 0;
        }
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            std::string line = "drop";
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                wchar_t path[MAX_PATH];
                const UINT length = DragQueryFileW(drop, i, path, MAX_PATH);
                line += " " + std::string(path, path + length);
            }
            POINT at{};
            const BOOL inside = DragQueryPoint(drop, &at);
            line += " " + std::to_string(at.x) + "," + std::to_string(at.y) +
                    (inside ? "" : " outside") + "@" + std::to_string(GetTickCount());
            DragFinish(drop);
            gLog.push_back(line);
            return 0;
        }
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
    SetTimer(hwnd, 1, 25, nullptr);  // competes with the script's input at the same times
    DragAcceptFiles(hwnd, TRUE);
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    SipShowIM(SIPF_OFF);
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

// What a window gets of typed text and dropped files: characters only while text input is on,
// UTF-16 units, the editing keys' characters right after their keys; files only while it takes
// them, with the point in client pixels.
TEST(ScriptRun, TypedTextAndDroppedFilesReachTheWindowAsItAsks) {
    struct Case {
        const char* what;
        const char* script;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"text input is off at start", "type ab\npress A\n", {"key 65"}},
        {"typed text while on",
         "press F1\ntype a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n",
         {"char 0061", "char 00E9", "char 20AC", "char D83D", "char DE00"}},
        {"editing keys give their characters after the key",
         "press F1\npress Backspace\npress Return\nrelease Return\npress Escape\npress Q\n",
         {"key 8", "char 0008", "key 13", "char 000D", "key 27", "char 001B", "key 81"}},
        {"nothing typed once off again",
         "press F1\ntype x\npress F2\ntype y\npress Return\n",
         {"char 0078", "key 13"}},
        {"nothing typed without the focus",
         "press F1\ndeactivate\ntype x\nactivate\ntype y\n",
         {"char 0079"}},
        {"a dropped file at its point",
         "wait 30\ndrop /tmp/a b.flac 7 9\n",
         {"drop /tmp/a b.flac 7,9@30"}},
        {"not once the window stops taking files", "press F3\ndrop /tmp/a.wav 1 1\n", {}},
    };
    gLogTimers = false;
    for (const Case& c : cases) {
        RunResult run = RunScript(std::string(c.script) + "shot end.png\n", ::testing::TempDir());
        std::vector<std::string> log;
        for (const std::string& line : run.log) {
            if (line.rfind("activate", 0) != 0 && line.rfind("destroy", 0) != 0) {
                log.push_back(line);
            }
        }
        EXPECT_EQ(log, c.log) << c.what;
    }
    gLogTimers = true;
}

}  // namespace
