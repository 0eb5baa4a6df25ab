// Reference pictures of the splash and the three pages at the screen sizes the program is drawn
// for, and at one it is not (no logos). They are compared exactly; after a deliberate change of
// the look, rewrite them with PULSOR_UPDATE_GOLDEN=1 and look at every one before committing.
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

// Writes the picture as the new reference when asked to, else compares it with the reference.
void ExpectGolden(const PulsorRun& run, const std::string& shot, const std::string& name) {
    const fs::path golden = fs::path(PULSOR_SOURCE_DIR) / "tests/e2e_app/golden" / (name + ".png");
    if (std::getenv("PULSOR_UPDATE_GOLDEN")) {
        fs::create_directories(golden.parent_path());
        fs::copy_file(run.Shot(shot), golden, fs::copy_options::overwrite_existing);
        return;
    }
    Picture expected;
    ASSERT_TRUE(ReadPng(golden.string(), &expected)) << "missing reference " << golden;
    const Picture actual = run.Load(shot);
    ASSERT_EQ(actual.width, expected.width) << name;
    ASSERT_EQ(actual.height, expected.height) << name;
    size_t differing = 0;
    for (size_t i = 0; i < actual.pixels.size(); ++i) {
        differing += actual.pixels[i] != expected.pixels[i] ? 1 : 0;
    }
    if (differing) {
        const fs::path out = fs::path(PULSOR_BINARY_DIR) / "golden-out" / (name + ".png");
        fs::create_directories(out.parent_path());
        fs::copy_file(run.Shot(shot), out, fs::copy_options::overwrite_existing);
        ADD_FAILURE() << name << ": " << differing << " pixels differ; the picture is in " << out;
    }
}

class Golden : public testing::TestWithParam<Screen> {};

}  // namespace

TEST_P(Golden, SplashAndThePages) {
    const Screen s = GetParam();
    const int f = s.dpi / 96;
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y); };
    const std::string about = at(13 * f, 13 * f);
    const std::string settings = at(39 * f, 13 * f);
    // Low on the back button: on a 240x240 screen the donation button overlaps its top.
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
                                         Screen{320, 320, 96}),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return Name(info.param);
                         });
