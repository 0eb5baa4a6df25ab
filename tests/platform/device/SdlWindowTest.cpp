// The SDL device in a real (virtual) X server: the window, the pointer, closing, idling.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/XSession.h"

namespace {

using sdltest::Child;
using sdltest::XServer;

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

// An RGB(A) PNG as 0xRRGGBB pixels.
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint32_t>* pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return false;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    pixels->clear();
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        pixels->push_back(static_cast<uint32_t>(rgb[i]) << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    }
    return true;
}

// utime + stime of a process, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    long utime = -1;
    long stime = -1;
    // Fields after the command: state is field 3, utime 14, stime 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::stol(field);
        if (index == 15)
            stime = std::stol(field);
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

class SdlWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!x_.Running())
            GTEST_SKIP() << "Xvfb is not available";
        if (!sdltest::FindProgram("xdotool"))
            GTEST_SKIP() << "xdotool is not available";
    }

    // Starts the probe and waits until its window is on screen.
    std::shared_ptr<Child> StartProbe(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {SDL_PROBE, "--class", ProbeClass()});
        auto child = std::make_shared<Child>(args, x_.Display(), true);
        started_.push_back(child);
        ready_ = child->WaitForLine("ready");
        window_ = x_.FindWindow("Pulsor");
        if (!window_)
            ADD_FAILURE() << "no window; the probe said:\n" << Joined(child->Seen());
        return child;
    }

    std::string Xdotool(const std::string& arguments) {
        return x_.Run("timeout 20 xdotool " + arguments);
    }

    // What the started programs said, when something went wrong.
    void TearDown() override {
        if (!HasFailure())
            return;
        for (const auto& child : started_) {
            child->Drain();
            std::string said;
            for (const auto& line : child->Seen())
                said += "  " + line + "\n";
            std::printf("pid %d said:\n%s", static_cast<int>(child->Pid()), said.c_str());
        }
    }
    // Windows of one class find each other across every display of the user, so each test's
    // probes have a class of their own.
    static std::string ProbeClass() { return "PulsorProbe" + std::to_string(getpid()); }
    std::string WindowArg() const { return " --window " + std::to_string(window_) + " "; }

    XServer x_;
    std::vector<std::shared_ptr<Child>> started_;
    std::string ready_;
    unsigned long window_ = 0;
};

TEST_F(SdlWindow, OpensTitledPulsorAtTheEmulatedScreenSize) {
    auto probe = StartProbe();
    EXPECT_EQ(ready_, "ready 480 640");
    ASSERT_NE(window_, 0u);
    EXPECT_NE(Xdotool("getwindowgeometry " + std::to_string(window_)).find("Geometry: 480x640"),
              std::string::npos);
}

TEST_F(SdlWindow, ShowsTheClassIconAtItsLargestSize) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    long width = 0;
    long height = 0;
    ASSERT_TRUE(x_.IconSize(window_, &width, &height));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 64);
}

TEST_F(SdlWindow, OpensAtTheSizeGivenByScreen) {
    auto probe = StartProbe({"--screen", "240x320"});
    EXPECT_EQ(ready_, "ready 240 320");
    ASSERT_NE(window_, 0u);
    EXPECT_NE(Xdotool("getwindowgeometry " + std::to_string(window_)).find("Geometry: 240x320"),
              std::string::npos);
}

TEST_F(SdlWindow, FullScreenShowsAHandheldScreenScaledOnTheWholeDisplay) {
    auto probe = StartProbe({"--fullscreen", "1"});
    // The 1024x768 display shows 480x640 scaled 1.2 times, between bars 224 pixels wide.
    EXPECT_EQ(ready_, "ready 480 640");
    ASSERT_NE(window_, 0u);
    EXPECT_NE(Xdotool("getwindowgeometry " + std::to_string(window_)).find("Geometry: 1024x768"),
              std::string::npos);
    // A press on a bar reaches nothing; the finger lands on the pixel it touches through the scale.
    Xdotool("mousemove" + WindowArg() + "100 700 click 1 mousemove" + WindowArg() +
            "345 241 click 1");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONDOWN"), "WM_LBUTTONDOWN 100 200");
    EXPECT_EQ(x_.PixelAt(window_, 100, 700), 0);
    EXPECT_EQ(x_.PixelAt(window_, 230, 10), 0x336699);
    EXPECT_EQ(x_.PixelAt(window_, 795, 760), 0x336699);
    EXPECT_EQ(x_.PixelAt(window_, 805, 10), 0);
}

TEST_F(SdlWindow, FocusMovingAwayAndBackDeactivatesAndActivates) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    Child cover({SDL_PROBE, "--class", "Cover", "--title", "Cover"}, x_.Display(), true);
    ASSERT_FALSE(cover.WaitForLine("ready").empty());
    unsigned long coverWindow = x_.FindWindow("Cover");
    ASSERT_NE(coverWindow, 0u);
    Xdotool("windowfocus --sync " + std::to_string(window_));
    Xdotool("windowfocus --sync " + std::to_string(coverWindow));
    EXPECT_EQ(probe->WaitForLine("WM_ACTIVATE 0"), "WM_ACTIVATE 0");
    Xdotool("windowfocus --sync " + std::to_string(window_));
    EXPECT_EQ(probe->WaitForLine("WM_ACTIVATE"), "WM_ACTIVATE 1");
}

TEST_F(SdlWindow, MouseBecomesPenMessagesInClientPixels) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    Xdotool("mousemove" + WindowArg() + "10 20 sleep 0.1 mousedown 1 sleep 0.1 mousemove" +
            WindowArg() + "30 40 sleep 0.1 mouseup 1");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONUP"), "WM_LBUTTONUP 30 40");
    const auto& seen = probe->Seen();
    EXPECT_TRUE(Contains(seen, "WM_MOUSEMOVE 10 20"));  // hovering counts too
    EXPECT_TRUE(Contains(seen, "WM_LBUTTONDOWN 10 20"));
    EXPECT_TRUE(Contains(seen, "WM_MOUSEMOVE 30 40"));
    auto down = std::find(seen.begin(), seen.end(), "WM_LBUTTONDOWN 10 20");
    auto drag = std::find(seen.begin(), seen.end(), "WM_MOUSEMOVE 30 40");
    EXPECT_LT(down, drag);
}

TEST_F(SdlWindow, OtherButtonsAreNotThePen) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    Xdotool("mousemove" + WindowArg() + "5 5 click 3 mousemove" + WindowArg() + "7 9 click 1");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTON"), "WM_LBUTTONDOWN 7 9");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTON"), "WM_LBUTTONUP 7 9");
}

// Keys are only keys until text input is on; then the input method's text arrives as characters
// after their keys, and Backspace gives its character too.
TEST_F(SdlWindow, TypedTextArrivesAsCharactersOnlyWhileTextInputIsOn) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    Xdotool("windowfocus --sync " + std::to_string(window_) +
            " key a F1 a shift+b BackSpace F2 c F3");
    ASSERT_EQ(probe->WaitForLine("WM_KEYDOWN 114"), "WM_KEYDOWN 114");
    std::vector<std::string> typing;
    for (const std::string& line : probe->Seen()) {
        if (line.rfind("WM_KEYDOWN", 0) == 0 || line.rfind("WM_CHAR", 0) == 0 ||
            line.rfind("text input", 0) == 0) {
            typing.push_back(line);
        }
    }
    const std::vector<std::string> expected = {
        "WM_KEYDOWN 65",  "text input on",  "WM_KEYDOWN 112", "WM_KEYDOWN 65",  "WM_CHAR 0061",
        "WM_KEYDOWN 16",  "WM_KEYDOWN 66",  "WM_CHAR 0042",   "WM_KEYDOWN 8",   "WM_CHAR 0008",
        "text input off", "WM_KEYDOWN 113", "WM_KEYDOWN 67",  "WM_KEYDOWN 114",
    };
    EXPECT_EQ(typing, expected);
}

// SDL tells which files were let go over the window but not where: they land where the pointer
// is, in client pixels, together in one WM_DROPFILES.
TEST_F(SdlWindow, FilesDroppedTogetherArriveAtThePointerInOneMessage) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    Xdotool("mousemove" + WindowArg() + "30 40 windowfocus --sync " + std::to_string(window_) +
            " key d");
    EXPECT_EQ(probe->WaitForLine("WM_DROPFILES"),
              "WM_DROPFILES /tmp/one.wav /tmp/two words.flac at 30 40");
}

TEST_F(SdlWindow, ResizedWindowShowsTheScreenScaledAndMapsThePointerBack) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    std::string id = std::to_string(window_);
    EXPECT_EQ(x_.PixelAt(window_, 10, 10), 0x336699);  // what the probe paints

    // Half size: every window pixel covers two client pixels.
    Xdotool("windowsize " + id + " 240 320");
    ASSERT_NE(Xdotool("getwindowgeometry " + id).find("Geometry: 240x320"), std::string::npos);
    Xdotool("mousemove" + WindowArg() + "10 20 click 1");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONDOWN"), "WM_LBUTTONDOWN 20 40");

    // Twice as wide as tall: the picture stands in the middle with bars at the sides, and a press
    // on a bar reaches no client pixel.
    Xdotool("windowsize " + id + " 480 320");
    ASSERT_NE(Xdotool("getwindowgeometry " + id).find("Geometry: 480x320"), std::string::npos);
    Xdotool("mousemove" + WindowArg() + "50 20 click 1 mousemove" + WindowArg() + "130 20 click 1");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONDOWN"), "WM_LBUTTONDOWN 20 40");
    // The move and the clicks came after the resize, so the picture is redrawn by now.
    EXPECT_EQ(x_.PixelAt(window_, 50, 20), 0);
    EXPECT_EQ(x_.PixelAt(window_, 130, 20), 0x336699);
    EXPECT_EQ(x_.PixelAt(window_, 470, 300), 0);
}

TEST_F(SdlWindow, ClosingTheWindowAsksTheProgramToCloseAndItEndsCleanly) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    ASSERT_TRUE(x_.SendDeleteWindow(window_));
    EXPECT_EQ(probe->WaitForLine("WM_CLOSE"), "WM_CLOSE");
    int status = probe->WaitForExit();
    probe->WaitForLine("\x04");  // the rest of its output, for the message
    EXPECT_EQ(status, 0) << Joined(probe->Seen());
}

TEST_F(SdlWindow, ASecondInstanceRaisesTheFirstAndEnds) {
    auto first = StartProbe();
    ASSERT_NE(window_, 0u);
    Child cover({SDL_PROBE, "--class", "Cover", "--title", "Cover"}, x_.Display(), true);
    ASSERT_FALSE(cover.WaitForLine("ready").empty());
    unsigned long coverWindow = x_.FindWindow("Cover");
    ASSERT_NE(coverWindow, 0u);
    auto above = [&] {
        auto order = x_.StackingOrder();
        auto firstAt = std::find(order.begin(), order.end(), window_);
        auto coverAt = std::find(order.begin(), order.end(), coverWindow);
        return firstAt != order.end() && coverAt != order.end() && firstAt > coverAt;
    };
    ASSERT_FALSE(above());

    Child second({SDL_PROBE, "--class", ProbeClass()}, x_.Display(), true);
    EXPECT_EQ(second.WaitForLine("raised"), "raised the other instance");
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_FALSE(Contains(second.Seen(), "ready 480 640"));
    auto until = std::chrono::steady_clock::now() + sdltest::kPatience;
    while (!above() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(above());
    EXPECT_EQ(x_.Run("xdotool search --onlyvisible --name '^Pulsor$' | wc -l"), "1\n");
}

TEST_F(SdlWindow, AScriptDrivesTheRealWindowAndShootsWhatItShows) {
    std::string dir = ::testing::TempDir() + "sdl_script_" + std::to_string(getpid());
    ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
    std::ofstream(dir + "/run.txt") << "wait 200\n"
                                       "tap 20 30\n"
                                       "drag 100 100 140 120 40\n"
                                       "shot window.png\n";
    auto probe = StartProbe({"--script", dir + "/run.txt", "--shots", dir});
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONDOWN"), "WM_LBUTTONDOWN 20 30");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONUP"), "WM_LBUTTONUP 20 30");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTONDOWN"), "WM_LBUTTONDOWN 100 100");
    EXPECT_EQ(probe->WaitForLine("WM_LBUTTON"), "WM_LBUTTONUP 140 120");
    EXPECT_TRUE(Contains(probe->Seen(), "WM_MOUSEMOVE 140 120"));
    // At its end the script closes the window, and the program ends as if the user had.
    EXPECT_EQ(probe->WaitForLine("WM_CLOSE"), "WM_CLOSE");
    EXPECT_EQ(probe->WaitForExit(), 0);

    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(ReadPng(dir + "/window.png", &width, &height, &pixels));
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 640);
    EXPECT_EQ(pixels[0], 0x336699u);  // the probe's paint
    EXPECT_EQ(pixels.back(), 0x336699u);
    system(("rm -rf " + dir).c_str());
}

TEST_F(SdlWindow, AnIdleWindowUsesNoMeasurableCpu) {
    auto probe = StartProbe();
    ASSERT_NE(window_, 0u);
    long before = CpuTicks(probe->Pid());
    ASSERT_GE(before, 0);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    long after = CpuTicks(probe->Pid());
    ASSERT_GE(after, before);
    // Below 5 % of one core over the three seconds.
    EXPECT_LT(static_cast<double>(after - before) / sysconf(_SC_CLK_TCK), 0.15);
}

TEST_F(SdlWindow, WithoutADisplayOpeningFailsAndNamesHeadless) {
    Child probe({SDL_PROBE}, "", true);
    std::string error = probe.WaitForLine("sdl_probe:");
    EXPECT_NE(error.find("--headless"), std::string::npos) << error;
    EXPECT_EQ(probe.WaitForExit(), 1);
}

// The real program on the SDL device.
class PulsorWindow : public SdlWindow {
protected:
    void SetUp() override {
        SdlWindow::SetUp();
        if (IsSkipped())
            return;
        configDir_ = ::testing::TempDir() + "pulsor_sdl_" + std::to_string(getpid());
        ASSERT_EQ(std::system(("rm -rf " + configDir_ + " && mkdir -p " + configDir_).c_str()), 0);
    }
    void TearDown() override {
        if (!configDir_.empty())
            std::system(("rm -rf " + configDir_).c_str());
    }

    std::shared_ptr<Child> StartPulsor() {
        auto child = std::make_shared<Child>(
            std::vector<std::string>{PULSOR_EXE, "--no-audio", "--config-dir", configDir_},
            x_.Display(), true);
        started_.push_back(child);
        window_ = x_.FindWindow("Pulsor");
        if (!window_) {
            child->WaitForLine("\x04");
            ADD_FAILURE() << "no window; pulsor said:\n" << Joined(child->Seen());
        }
        return child;
    }

    std::string configDir_;
};

TEST_F(PulsorWindow, OpensItsWindowIdlesQuietlyAndClosesFromTheWindowManager) {
    auto pulsor = StartPulsor();
    ASSERT_NE(window_, 0u);
    EXPECT_NE(Xdotool("getwindowgeometry " + std::to_string(window_)).find("Geometry: 480x640"),
              std::string::npos);
    // Past the splash, which keeps the loader busy for its first two seconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    long before = CpuTicks(pulsor->Pid());
    ASSERT_GE(before, 0);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    long after = CpuTicks(pulsor->Pid());
    EXPECT_LT(static_cast<double>(after - before) / sysconf(_SC_CLK_TCK), 0.15);

    ASSERT_TRUE(x_.SendDeleteWindow(window_));
    EXPECT_EQ(pulsor->WaitForExit(), 0);
    pulsor->WaitForLine("\x04");
    EXPECT_TRUE(pulsor->Seen().empty()) << Joined(pulsor->Seen());
}

TEST_F(PulsorWindow, F11SwitchesToFullScreenAndBackToTheWindow) {
    auto pulsor = StartPulsor();
    ASSERT_NE(window_, 0u);
    const std::string id = std::to_string(window_);
    auto geometry = [&] { return Xdotool("getwindowgeometry " + id); };
    auto waitFor = [&](const std::string& size) {
        const auto until = std::chrono::steady_clock::now() + sdltest::kPatience;
        while (geometry().find("Geometry: " + size) == std::string::npos &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return geometry().find("Geometry: " + size) != std::string::npos;
    };
    Xdotool("windowfocus --sync " + id + " key F11");
    EXPECT_TRUE(waitFor("1024x768")) << "the whole display: " << geometry();
    Xdotool("windowfocus --sync " + id + " key F11");
    EXPECT_TRUE(waitFor("480x640")) << "the window as it was: " << geometry();
    ASSERT_TRUE(x_.SendDeleteWindow(window_));
    EXPECT_EQ(pulsor->WaitForExit(), 0);
}

TEST_F(PulsorWindow, ASecondStartRaisesTheFirstAndEndsWithoutAWindow) {
    auto first = StartPulsor();
    ASSERT_NE(window_, 0u);
    Child second({PULSOR_EXE, "--no-audio", "--config-dir", configDir_}, x_.Display(), true);
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_EQ(x_.Run("xdotool search --onlyvisible --name '^Pulsor$' | wc -l"), "1\n");
    ASSERT_TRUE(x_.SendDeleteWindow(window_));
    EXPECT_EQ(first->WaitForExit(), 0);
}

// The X server going away, the program's client killed from outside, its window destroyed by
// another client: the changed setting is saved, one line says what happened, status 0.
TEST_F(PulsorWindow, ALostDisplayClosesItAndSavesFirst) {
    enum class Loss { ServerStopped, ClientKilled, WindowDestroyed };
    const struct {
        const char* name;
        Loss loss;
        const char* said;
    } cases[] = {
        {"server stopped", Loss::ServerStopped, "lost the connection to the X display"},
        {"client killed", Loss::ClientKilled, "lost the connection to the X display"},
        {"window destroyed", Loss::WindowDestroyed, "the window was destroyed by another program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XServer x;
        ASSERT_TRUE(x.Running());
        const std::string dir = configDir_ + "/" + std::to_string(static_cast<int>(c.loss));
        ASSERT_EQ(std::system(("mkdir -p " + dir + "/shots").c_str()), 0);
        {
            // 240x320 at 96 dpi: the settings button, then the Animations switch.
            std::ofstream script(dir + "/script.txt");
            script << "wait 4000\ntap 39 13\nwait 600\ntap 170 212\nwait 100\n"
                      "shot changed.png\nwait 600000\n";
        }
        Child pulsor({PULSOR_EXE, "--no-audio", "--screen", "240x320", "--dpi", "96", "--script",
                      dir + "/script.txt", "--shots", dir + "/shots", "--config-dir", dir},
                     x.Display(), true);
        const unsigned long window = x.FindWindow("Pulsor");
        ASSERT_NE(window, 0u);
        for (int i = 0; i < 2000 && access((dir + "/shots/changed.png").c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (c.loss == Loss::ServerStopped) {
            x.Stop();
        } else if (c.loss == Loss::ClientKilled) {
            x.Run("xdotool windowkill " + std::to_string(window));
        } else {
            ASSERT_TRUE(x.DestroyWindow(window));
        }
        EXPECT_EQ(pulsor.WaitForExit(), 0);
        pulsor.WaitForLine("\x04");
        std::string said;
        for (const auto& line : pulsor.Seen())
            said += line.find("pulsor: ") == 0 ? line + "\n" : "";
        EXPECT_EQ(said, std::string("pulsor: ") + c.said + "; closing\n") << Joined(pulsor.Seen());
        std::ifstream file(dir + "/registry.reg");
        const std::string saved((std::istreambuf_iterator<char>(file)), {});
        EXPECT_NE(saved.find("\"AnimationsOn\"=dword:00000000"), std::string::npos) << saved;
    }
}

TEST_F(PulsorWindow, WithoutADisplayItSaysSoInOneLineNamingHeadless) {
    Child pulsor({PULSOR_EXE, "--no-audio", "--config-dir", configDir_}, "", true);
    EXPECT_EQ(pulsor.WaitForExit(), 1);
    pulsor.WaitForLine("\x04");
    ASSERT_EQ(pulsor.Seen().size(), 1u) << Joined(pulsor.Seen());
    EXPECT_NE(pulsor.Seen()[0].find("--headless"), std::string::npos);
}

}  // namespace
