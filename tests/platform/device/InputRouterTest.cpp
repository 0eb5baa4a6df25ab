// The input router: sequences of device input in, the window's messages out. The window lies at
// (10, 20)-(110, 120) of the device's screen, so a client point is the device point less (10, 20).
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/device/InputRouter.h"

namespace {

using platform::InputRouter;

std::string Hex(UINT value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

class RecordingSink : public platform::DeviceSink {
public:
    std::vector<std::string> seen;

    void PointerInput(UINT message, WPARAM keys, int x, int y) override {
        const char* name = message == WM_LBUTTONDOWN ? "WM_LBUTTONDOWN"
                           : message == WM_MOUSEMOVE ? "WM_MOUSEMOVE"
                           : message == WM_LBUTTONUP ? "WM_LBUTTONUP"
                                                     : "?";
        seen.push_back(std::string(name) + " " + Point(x, y) +
                       (keys == MK_LBUTTON ? " MK_LBUTTON"
                        : keys == 0        ? ""
                                           : " ?"));
    }
    void KeyInput(UINT message, UINT virtualKey, UINT scancode, bool repeat) override {
        seen.push_back(std::string(message == WM_KEYDOWN ? "WM_KEYDOWN " : "WM_KEYUP ") +
                       std::string(1, static_cast<char>(virtualKey)) + " " + Hex(scancode) +
                       (repeat ? " repeat" : ""));
    }
    void TouchInput(UINT id, DWORD flags, int x, int y) override {
        std::string line = "WM_TOUCH " + std::to_string(id);
        for (auto [flag, name] : {std::pair<DWORD, const char*>{TOUCHEVENTF_DOWN, "DOWN"},
                                  {TOUCHEVENTF_MOVE, "MOVE"},
                                  {TOUCHEVENTF_UP, "UP"},
                                  {TOUCHEVENTF_INRANGE, "INRANGE"},
                                  {TOUCHEVENTF_PRIMARY, "PRIMARY"}}) {
            if (flags & flag) {
                line += std::string(" ") + name;
            }
        }
        seen.push_back(line + " " + Point(x, y));
    }
    void TextInput(const std::string& utf8) override { seen.push_back("text " + utf8); }
    void FilesDropped(const std::vector<std::string>& paths, int x, int y, bool inside) override {
        std::string line = "WM_DROPFILES";
        for (const std::string& path : paths) {
            line += " " + path;
        }
        seen.push_back(line + " " + Point(x, y) + (inside ? "" : " outside"));
    }
    void FocusChanged(bool active) override { seen.push_back(active ? "focus 1" : "focus 0"); }
    void CloseRequested() override {}
    void RaiseRequested() override {}
    void RepaintRequested() override {}

private:
    static std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
};

// Runs steps such as "pointer down 20 30", "finger 7 up 20 30", "key down 0x10 Q" (scancode,
// virtual key), "key auto 0x10 Q" (the keyboard's own repeat), "key up 0x10", "focus lost",
// "focus gained", "text TEXT", "drop X Y FILE...", "window gone", "window back". A step the router
// refuses is seen as "ignored: " and the step.
std::vector<std::string> Route(const std::vector<std::string>& steps) {
    bool reachable = true;
    InputRouter router([&](int x, int y, bool captured, POINT* client) {
        const bool inside = x >= 10 && x < 110 && y >= 20 && y < 120;
        if (!reachable || (!inside && !captured)) {
            return false;
        }
        *client = POINT{x - 10, y - 20};
        return true;
    });
    RecordingSink sink;
    router.Attach(&sink);
    for (const std::string& step : steps) {
        std::istringstream in(step);
        std::string device;
        std::string what;
        in >> device;
        bool taken = true;
        if (device == "pointer") {
            int x = 0;
            int y = 0;
            in >> what >> x >> y;
            taken = what == "down"   ? router.PointerDown(x, y)
                    : what == "move" ? router.PointerMove(x, y)
                                     : router.PointerUp(x, y);
        } else if (device == "finger") {
            int64_t id = 0;
            int x = 0;
            int y = 0;
            in >> id >> what >> x >> y;
            taken = what == "down"   ? router.FingerDown(id, x, y)
                    : what == "move" ? router.FingerMove(id, x, y)
                                     : router.FingerUp(id, x, y);
        } else if (device == "key") {
            std::string scancode;
            char virtualKey = 0;
            in >> what >> scancode >> virtualKey;
            const UINT code = static_cast<UINT>(std::stoul(scancode, nullptr, 16));
            taken = what == "up"
                        ? router.KeyUp(code)
                        : router.KeyDown(code, static_cast<UINT>(virtualKey), what == "auto");
        } else if (device == "text") {
            std::getline(in >> std::ws, what);
            taken = router.Text(what);
        } else if (device == "drop") {
            int x = 0;
            int y = 0;
            in >> x >> y;
            std::vector<std::string> files;
            for (std::string file; in >> file;) {
                files.push_back(file);
            }
            taken = router.Drop(files, x, y);
        } else if (device == "focus") {
            in >> what;
            router.FocusChanged(what == "gained");
        } else {
            in >> what;
            reachable = what == "back";
        }
        if (!taken) {
            sink.seen.push_back("ignored: " + step);
        }
    }
    return sink.seen;
}

struct Case {
    const char* what;
    std::vector<std::string> steps;
    std::vector<std::string> seen;
};

// Ten fingers down at once, ids 100..109 across the window's top row.
std::vector<std::string> TenFingers(bool steps) {
    std::vector<std::string> lines;
    for (int i = 0; i < 10; ++i) {
        const int x = 10 + 10 * i;
        lines.push_back(steps ? "finger " + std::to_string(100 + i) + " down " + std::to_string(x) +
                                    " 20"
                              : "WM_TOUCH " + std::to_string(i) + " DOWN INRANGE" +
                                    (i == 0 ? " PRIMARY " : " ") + std::to_string(x - 10) + ",0");
        if (!steps && i == 0) {
            lines.push_back("WM_LBUTTONDOWN 0,0 MK_LBUTTON");
        }
    }
    return lines;
}

template <typename T>
std::vector<T> Joined(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(InputRouter, TurnsDeviceInputIntoTheWindowsMessages) {
    const Case cases[] = {
        {"the pointer pressed and hovering, in client pixels; pressed, it reaches the window "
         "from anywhere",
         {"pointer move 15 25", "pointer move 5 5", "pointer down 20 30", "pointer move 200 300",
          "pointer up 200 300", "pointer up 20 30"},
         {"WM_MOUSEMOVE 5,5 MK_LBUTTON", "ignored: pointer move 5 5",
          "WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_MOUSEMOVE 190,280 MK_LBUTTON",
          "WM_LBUTTONUP 190,280", "ignored: pointer up 20 30"}},
        {"a press off the window is not the window's, nor its release",
         {"pointer down 5 5", "pointer up 20 30"},
         {"ignored: pointer down 5 5", "ignored: pointer up 20 30"}},
        {"one pointer: a second press while it is held is ignored",
         {"pointer down 20 30", "pointer down 30 40", "pointer up 30 40"},
         {"WM_LBUTTONDOWN 10,10 MK_LBUTTON", "ignored: pointer down 30 40", "WM_LBUTTONUP 20,20"}},
        {"the first finger is the pointer too; the others only touch, and a finger down while "
         "another still is never becomes the pointer",
         {"finger 77 down 20 30", "finger 55 down 40 50", "finger 77 move 21 31",
          "finger 55 move 41 51", "finger 77 up 22 32", "finger 99 down 60 70",
          "pointer down 20 30", "pointer up 20 30", "finger 55 up 41 51", "finger 99 up 60 70"},
         {"WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON",
          "WM_TOUCH 1 DOWN INRANGE 30,30", "WM_TOUCH 0 MOVE INRANGE PRIMARY 11,11",
          "WM_MOUSEMOVE 11,11 MK_LBUTTON", "WM_TOUCH 1 MOVE INRANGE 31,31",
          "WM_TOUCH 0 UP PRIMARY 12,12", "WM_LBUTTONUP 12,12", "WM_TOUCH 0 DOWN INRANGE 50,50",
          "WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_LBUTTONUP 10,10", "WM_TOUCH 1 UP 31,31",
          "WM_TOUCH 0 UP 50,50"}},
        {"while a finger is the pointer mouse moves and releases are ignored; while the mouse "
         "is, a finger only touches",
         {"finger 1 down 20 30", "pointer move 31 31", "pointer up 31 31", "finger 1 up 20 30",
          "pointer down 20 30", "finger 2 down 40 50", "pointer up 20 30", "finger 2 up 40 50"},
         {"WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON",
          "ignored: pointer move 31 31", "ignored: pointer up 31 31", "WM_TOUCH 0 UP PRIMARY 10,10",
          "WM_LBUTTONUP 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_TOUCH 0 DOWN INRANGE 30,30",
          "WM_LBUTTONUP 10,10", "WM_TOUCH 0 UP 30,30"}},
        {"a mouse press takes the pointer from the finger holding it, which lets go first and "
         "goes on touching; a second press is ignored",
         {"finger 1 down 20 30", "finger 1 move 22 32", "pointer down 60 70", "pointer down 61 71",
          "finger 1 move 24 34", "pointer move 62 72", "focus lost"},
         {"WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON",
          "WM_TOUCH 0 MOVE INRANGE PRIMARY 12,12", "WM_MOUSEMOVE 12,12 MK_LBUTTON",
          "WM_LBUTTONUP 12,12", "WM_LBUTTONDOWN 50,50 MK_LBUTTON", "ignored: pointer down 61 71",
          "WM_TOUCH 0 MOVE INRANGE PRIMARY 14,14", "WM_MOUSEMOVE 52,52 MK_LBUTTON",
          "WM_TOUCH 0 UP PRIMARY 14,14", "WM_LBUTTONUP 52,52", "focus 0"}},
        {"fingers keep their slots; an eleventh, a second down and unknown fingers are ignored",
         Joined(TenFingers(true),
                {"finger 110 down 50 50", "finger 100 down 50 50", "finger 5 move 50 50",
                 "finger 5 up 50 50", "finger 103 up 40 21", "finger 110 down 50 50"}),
         Joined(TenFingers(false),
                {"ignored: finger 110 down 50 50", "ignored: finger 100 down 50 50",
                 "ignored: finger 5 move 50 50", "ignored: finger 5 up 50 50", "WM_TOUCH 3 UP 30,1",
                 "WM_TOUCH 3 DOWN INRANGE 40,30"})},
        {"a finger landing off the window is ignored; once down it reaches the window from "
         "anywhere",
         {"finger 1 down 5 5", "finger 1 down 20 30", "finger 1 move 300 400",
          "finger 1 up 300 400"},
         {"ignored: finger 1 down 5 5", "WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10",
          "WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_TOUCH 0 MOVE INRANGE PRIMARY 290,380",
          "WM_MOUSEMOVE 290,380 MK_LBUTTON", "WM_TOUCH 0 UP PRIMARY 290,380",
          "WM_LBUTTONUP 290,380"}},
        {"a key down while held repeats, so does the keyboard's own repeat; a key goes up as it "
         "went down; a key not held has no up",
         {"key down 0x10 A", "key down 0x10 A", "key auto 0x1e Q", "key up 0x10", "key up 0x10",
          "key up 0x1e"},
         {"WM_KEYDOWN A 0x10", "WM_KEYDOWN A 0x10 repeat", "WM_KEYDOWN Q 0x1e repeat",
          "WM_KEYUP A 0x10", "ignored: key up 0x10", "WM_KEYUP Q 0x1e"}},
        {"losing the focus lifts the keys (the last first), the fingers by slot with the "
         "pointer, and their own releases come to nothing",
         {"key down 0x2 1", "key down 0x2c Z", "finger 3 down 20 30", "finger 7 down 40 50",
          "finger 3 move 22 32", "focus lost", "finger 3 up 22 32", "key up 0x2", "focus gained"},
         {"WM_KEYDOWN 1 0x2", "WM_KEYDOWN Z 0x2c", "WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10",
          "WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_TOUCH 1 DOWN INRANGE 30,30",
          "WM_TOUCH 0 MOVE INRANGE PRIMARY 12,12", "WM_MOUSEMOVE 12,12 MK_LBUTTON",
          "WM_KEYUP Z 0x2c", "WM_KEYUP 1 0x2", "WM_TOUCH 0 UP PRIMARY 12,12", "WM_LBUTTONUP 12,12",
          "WM_TOUCH 1 UP 30,30", "focus 0", "ignored: finger 3 up 22 32", "ignored: key up 0x2",
          "focus 1"}},
        {"losing the focus lifts the mouse where it last was",
         {"pointer down 20 30", "pointer move 25 35", "focus lost", "pointer up 25 35",
          "pointer down 20 30"},
         {"WM_LBUTTONDOWN 10,10 MK_LBUTTON", "WM_MOUSEMOVE 15,15 MK_LBUTTON", "WM_LBUTTONUP 15,15",
          "focus 0", "ignored: pointer up 25 35", "WM_LBUTTONDOWN 10,10 MK_LBUTTON"}},
        {"a window out of reach takes nothing; what was down on it lets go unseen",
         {"finger 1 down 20 30", "window gone", "pointer down 20 30", "finger 2 down 20 30",
          "finger 1 move 25 35", "finger 1 up 25 35", "window back", "finger 2 down 20 30"},
         {"WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON",
          "ignored: pointer down 20 30", "ignored: finger 2 down 20 30",
          "ignored: finger 1 move 25 35", "ignored: finger 1 up 25 35",
          "WM_TOUCH 0 DOWN INRANGE PRIMARY 10,10", "WM_LBUTTONDOWN 10,10 MK_LBUTTON"}},
        {"a mouse release out of reach is unseen but lets go",
         {"pointer down 20 30", "window gone", "pointer up 20 30", "window back",
          "pointer down 20 30"},
         {"WM_LBUTTONDOWN 10,10 MK_LBUTTON", "ignored: pointer up 20 30",
          "WM_LBUTTONDOWN 10,10 MK_LBUTTON"}},
        {"typed text goes as it came, held keys or not",
         {"key down 0x12 E", "text caf\xC3\xA9 au lait", "key up 0x12"},
         {"WM_KEYDOWN E 0x12", "text caf\xC3\xA9 au lait", "WM_KEYUP E 0x12"}},
        {"files dropped together at their point; off the picture, at its nearest place; not "
         "while the window is out of reach",
         {"drop 50 60 /a.wav /b.flac", "drop 5 5 /a.wav", "window gone", "drop 50 60 /a.wav"},
         {"WM_DROPFILES /a.wav /b.flac 40,40", "WM_DROPFILES /a.wav -5,-15 outside",
          "ignored: drop 50 60 /a.wav"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Route(c.steps), c.seen) << c.what;
    }
}

TEST(InputRouter, WithoutASinkItStillFollowsWhatIsHeld) {
    InputRouter router([](int x, int y, bool, POINT* client) {
        *client = POINT{x, y};
        return true;
    });
    EXPECT_TRUE(router.PointerDown(1, 2));
    EXPECT_TRUE(router.KeyDown(0x10, 'Q', false));
    RecordingSink sink;
    router.Attach(&sink);
    EXPECT_FALSE(router.PointerDown(3, 4)) << "the pointer is held already";
    router.FocusChanged(false);
    EXPECT_EQ(sink.seen,
              (std::vector<std::string>{"WM_KEYUP Q 0x10", "WM_LBUTTONUP 1,2", "focus 0"}));
}

}  // namespace
