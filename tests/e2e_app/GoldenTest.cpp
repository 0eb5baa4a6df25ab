// Reference pictures of the splash and the three pages at the screen sizes the program is drawn
// for, and at one it is not (no logos), and of a kit's captions in right-to-left scripts. They are
// compared exactly; after a deliberate change of the look, rewrite them with PULSOR_UPDATE_GOLDEN=1
// and look at every one before committing.
#include <gtest/gtest.h>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

struct Screen {
    int width;
    int height;
    int dpi;
};

std::string Name(const Screen& s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height) + "_" + std::to_string(s.dpi);
}

void ExpectGolden(const PulsorRun& run, const std::string& shot, const std::string& name) {
    const Picture actual = run.Load(shot);
    ASSERT_GT(actual.width, 0) << "no shot " << shot;
    EXPECT_EQ(golden::CompareWithGolden("tests/e2e_app/golden", name, actual), "");
}

class Golden : public testing::TestWithParam<Screen> {};

}  // namespace

TEST_P(Golden, SplashAndThePages) {
    const Screen s = GetParam();
    const int f = s.dpi / 96;
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y); };
    const std::string about = at(13 * f, 13 * f);
    const std::string settings = at(39 * f, 13 * f);
    // Low on the back button, clear of whatever lies above it.
    const std::string back = at(s.width / 2, s.height - 4 * f);
    PulsorRun run("golden-" + Name(s));
    const std::string script =
        "wait 90\nshot splash.png\nwait 2010\nshot main.png\n"
        "tap " +
        about +
        "\nwait 500\nshot about.png\n"
        "tap " +
        back +
        "\nwait 500\n"
        "tap " +
        settings + "\nwait 500\nshot settings.png\n";
    ASSERT_EQ(run.Start(script, "--screen " + std::to_string(s.width) + "x" +
                                    std::to_string(s.height) + " --dpi " + std::to_string(s.dpi)),
              0)
        << run.Errors();
    for (const char* page : {"splash", "main", "about", "settings"}) {
        ExpectGolden(run, std::string(page) + ".png", Name(s) + "_" + page);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, Golden,
                         testing::Values(Screen{240, 320, 96}, Screen{480, 640, 192},
                                         Screen{480, 800, 192}, Screen{240, 240, 96},
                                         Screen{480, 480, 192}, Screen{320, 320, 96}),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return Name(info.param);
                         });

// A kit's captions in Hebrew and Arabic, alone and beside Latin words and digits, drawn as their
// languages write them on the main page; a TAB and an ESC in two of them draw as nothing.
TEST(GoldenCaptions, EveryScriptAsItIsWritten) {
    PulsorRun run("golden-captions");
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    std::ofstream(kit / "labels.txt") << "שלום\nתודה\nכן\nלא\n"
                                         "مرحبا\nشكرا\nنعم\nلا\n"
                                         "Hello שלום\nשלום Hello\nمرحبا 123\nחדר 12\n"
                                         "Tab\there\n\x1B[1mBold\nصباح الخير\nילד טוב מאוד\n";
    for (const Screen& s : {Screen{480, 640, 192}, Screen{240, 320, 96}}) {
        ASSERT_EQ(run.Start("wait 2100\nshot captions.png\n",
                            "--screen " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                                " --dpi " + std::to_string(s.dpi) + " --kit " + kit.string()),
                  0)
            << run.Errors();
        ExpectGolden(run, "captions.png", Name(s) + "_captions");
    }
}

// The access page, from the last row of the settings page, at its top.
TEST(GoldenAccess, ThePageAtTheTallTheLargeAndTheSquareScreen) {
    for (const Screen& s : {Screen{240, 320, 96}, Screen{480, 640, 192}, Screen{240, 240, 96}}) {
        const int f = s.dpi / 96;
        auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y); };
        PulsorRun run("golden-access-" + Name(s));
        // Up the settings' rows as far as they go, then the access row's button at their foot.
        const std::string up = "drag " + at(120 * f, s.height - 60 * f) + " " +
                               at(120 * f, 56 * f) + " 300\nwait 600\n";
        const std::string script = "wait 2100\ntap " + at(39 * f, 13 * f) + "\nwait 600\n" + up +
                                   up + "tap " + at(170 * f, s.height - 62 * f) +
                                   "\nwait 600\nshot access.png\n";
        ASSERT_EQ(
            run.Start(script, "--screen " + std::to_string(s.width) + "x" +
                                  std::to_string(s.height) + " --dpi " + std::to_string(s.dpi)),
            0)
            << run.Errors();
        ExpectGolden(run, "access.png", Name(s) + "_access");
    }
}
