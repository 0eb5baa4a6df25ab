// A kit's words made in the window, by the real program headless: a typed word said, the
// microphone (--mic) held, a file dropped on a cell, a file refused; the word page's pictures.
#include <gtest/gtest.h>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

std::string At(int x, int y) {
    return std::to_string(x) + " " + std::to_string(y);
}

const std::string kEditMode = "press Ctrl\npress E\nrelease E\nrelease Ctrl\n";

}  // namespace

namespace {

struct WordScreen {
    int width, height, dpi;
    int cellY;  // a point on cell 0
};

class WordGolden : public testing::TestWithParam<WordScreen> {};

}  // namespace

TEST_P(WordGolden, TheWordPage) {
    const WordScreen s = GetParam();
    const std::string name =
        std::to_string(s.width) + "x" + std::to_string(s.height) + "_" + std::to_string(s.dpi);
    PulsorRun run("word-golden-" + name);
    const fs::path kit = run.Dir() / "kit";
    fs::create_directories(kit);
    const int f = s.dpi / 96;
    const std::string script = "wait 2100\n" + kEditMode + "wait 100\nshot edit.png\ntap " +
                               At(34 * f, s.cellY) + "\nwait 500\nshot word.png\n";
    ASSERT_EQ(
        run.Start(script, "--screen " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                              " --dpi " + std::to_string(s.dpi) + " --kit " + kit.string()),
        0)
        << run.Errors();
    for (const char* page : {"edit", "word"}) {
        const Picture actual = run.Load(std::string(page) + ".png");
        ASSERT_GT(actual.width, 0);
        EXPECT_EQ(golden::CompareWithGolden("tests/e2e_app/golden", name + "_" + page, actual), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, WordGolden,
                         testing::Values(WordScreen{240, 320, 96, 85},
                                         WordScreen{480, 640, 192, 170},
                                         WordScreen{240, 240, 96, 72}),
                         [](const testing::TestParamInfo<WordScreen>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });
