// The kits page as a person uses it, headless with the real program: choosing a kit plays its
// words at once and is remembered, the beat plays on through a change of kit, new kits are
// copies of the words playing, a rename is typed, a delete lands in the desktop's trash; and
// the kits page and the settings page's kit row at the screens they are drawn for.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e_app/E2eSupport.h"
#include "support/GoldenImage.h"
#include "support/ScopedEnvironment.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kRate = 48000;
const int kMainUp = 2100;
const int kToKits = 1700;

std::string At(int x, int y) {
    return std::to_string(x) + " " + std::to_string(y);
}

void Sox(const fs::path& out, const std::string& effects) {
    const std::string cmd = "sox -n -r 44100 '" + out.string() + "' " + effects;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// A kit whose first word is a tone of `hz`.
void MakeKit(const fs::path& dir, int hz) {
    fs::create_directories(dir);
    Sox(dir / "L1.flac", "synth 0.6 sine " + std::to_string(hz) + " gain -6");
}

// Frequency from the zero crossings of `length` samples from `from`.
double Pitch(const std::vector<float>& s, size_t from, size_t length) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + length && i < s.size(); ++i) {
        crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
    }
    return crossings / 2.0 * kRate / static_cast<double>(length);
}

// The pitch of what sounds from `ms` into the recording.
double PitchAt(const std::vector<float>& r, int ms) {
    const size_t at = Onset(r, static_cast<size_t>(ms) * kRate / 1000);
    return at == SIZE_MAX ? 0 : Pitch(r, at + 1000, kRate / 5);
}

// On the screen 240 x 320 at 96 dpi (`f` times that): from the main page to the kits page
// through the settings page's kit row, the row above the last (access) of its panel, closer to it
// on a short screen; kToKits ms.
std::string ToKitsPage(int width, int height, int f) {
    const std::string drag =
        "drag " + At(width / 2, height - 60 * f) + " " + At(width / 2, 60 * f) + " 200\nwait 100\n";
    return "tap " + At(39 * f, 13 * f) + "\nwait 400\n" + drag + drag + "shot settings_kit.png\n" +
           "tap " + At(170 * f, height - (height < 320 * f ? 85 : 107) * f) + "\nwait 700\n";
}

// The kits page of the small screen with `kits` rows: row `i`, and the row of buttons under them.
std::string Row(int i) {
    return At(120, 75 + 36 * i);
}
std::string Action(int kits, int button) {
    return At(48 + 72 * button, 60 + 36 * kits + 6 + 15);
}
const char kBack[] = "120 300";

class KitsPageTest : public testing::Test {
protected:
    KitsPageTest() : data(run.Dir() / "data"), env("XDG_DATA_HOME", data.c_str()) {
        fs::create_directories(data);
    }
    fs::path Kits() const { return data / "pulsor" / "kits"; }
    std::string Registry() const { return PulsorRun::ReadText(run.Registry()); }

    PulsorRun run{"kits-page"};
    const fs::path data;
    ScopedEnvironment env;
};

TEST_F(KitsPageTest, ATouchOnAKitPlaysItsWordsAtOnceAndTheNextRunToo) {
    MakeKit(Kits() / "Low", 330);
    MakeKit(Kits() / "High", 880);
    // Rows: Built-in, High, Low. Back on the main page 1200 ms after reaching the kits page.
    const std::string script = "wait " + std::to_string(kMainUp) + "\n" + ToKitsPage(240, 320, 1) +
                               "tap " + Row(2) + "\nwait 500\n" + "tap " + kBack +
                               "\nwait 350\ntap " + kBack + "\nwait 350\n" +
                               "tap 34 85\nwait 800\nshot after.png\n";
    ASSERT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    EXPECT_NEAR(PitchAt(r, kMainUp + kToKits + 1200), 330, 10.0);
    EXPECT_NE(Registry().find("\"Kit\"=\"" + (Kits() / "Low").string() + "/\""), std::string::npos)
        << Registry();

    ASSERT_EQ(run.Start("wait 2100\ntap 34 85\nwait 800\n",
                        std::string(kSmall) + " --record " + run.Recording().string()),
              0)
        << run.Errors();
    EXPECT_NEAR(PitchAt(ReadWav(run.Recording().string()).samples, kMainUp), 330, 10.0);
}

TEST_F(KitsPageTest, TheBeatPlaysOnWithoutAGapWhileTheKitChanges) {
    // The playing kit's beat: a steady tone, so any gap shows as quiet.
    MakeKit(Kits() / "Beat", 330);
    Sox(Kits() / "Beat" / "Pulsor.flac", "synth 5 sine 200 gain -6");
    MakeKit(Kits() / "Other", 880);
    const std::string script = "wait " + std::to_string(kMainUp) + "\ntap 60 293\nwait 200\n" +
                               ToKitsPage(240, 320, 1) + "tap " + Row(2) + "\nwait 3000\n";
    ASSERT_EQ(
        run.Start(script, std::string(kSmall) + " --kit Beat --record " + run.Recording().string()),
        0)
        << run.Errors();
    const std::vector<float> r = ReadWav(run.Recording().string()).samples;
    const size_t start = Onset(r, static_cast<size_t>(kMainUp) * kRate / 1000);
    ASSERT_NE(start, SIZE_MAX);
    const size_t window = kRate / 100;
    double quietest = 1;
    for (size_t at = start + window; at + window < start + 4 * kRate; at += window) {
        quietest = std::min(quietest, Rms(r, at, window));
    }
    EXPECT_GT(quietest, 0.1) << "a 10 ms window of the beat fell quiet";
    EXPECT_NE(Registry().find((Kits() / "Other").string()), std::string::npos) << Registry();
}

TEST_F(KitsPageTest, NewKitsCopyTheWordsARenameIsTypedAndADeleteGoesToTheTrash) {
    // Built-in; New makes "My words" and plays it; New again copies it as "My words 2"; that is
    // renamed "Kit Two" (rows: Built-in, Kit Two, My words) and then deleted. Each touch first
    // drags the list back to its top, where a line said last may have scrolled it.
    const std::string top = "drag 120 70 120 265 150\nwait 100\n";
    std::string script = "wait " + std::to_string(kMainUp) + "\n" + ToKitsPage(240, 320, 1) +
                         "tap " + Action(1, 0) + "\nwait 400\n" + top + "tap " + Action(2, 0) +
                         "\nwait 400\n" + top + "tap " + Action(3, 1) + "\nwait 300\n";
    const std::string backspace = "press Backspace\nrelease Backspace\n";
    for (int i = 0; i < 10; ++i) {
        script += backspace;
    }
    script += "type Kit/Two\npress Return\nrelease Return\nwait 300\nshot refused.png\n";
    for (int i = 0; i < 7; ++i) {
        script += backspace;
    }
    script += "type Kit Two\npress Return\nrelease Return\nwait 300\nshot renamed.png\n" + top +
              "tap " + Action(3, 2) + "\nwait 300\nshot confirm.png\n" + top + "tap " +
              Action(3, 2) + "\nwait 500\nshot deleted.png\n";
    ASSERT_EQ(run.Start(script, kSmall), 0) << run.Errors();

    // A copy of the built-in words: 32 and the beat.
    int words = 0;
    for (const auto& entry : fs::directory_iterator(Kits() / "My words")) {
        words += entry.path().extension() == ".wav" ? 1 : 0;
    }
    EXPECT_EQ(words, 33);
    EXPECT_FALSE(fs::exists(Kits() / "My words 2"));
    EXPECT_FALSE(fs::exists(Kits() / "Kit Two"));
    const fs::path trashed = data / "Trash" / "files" / "Kit Two";
    EXPECT_TRUE(fs::exists(trashed / "L1.wav"));
    const std::string info = PulsorRun::ReadText(data / "Trash" / "info" / "Kit Two.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos) << info;
    EXPECT_NE(info.find("Path=" + Kits().string() + "/Kit%20Two"), std::string::npos) << info;
    // The deleted kit was playing: the built-in words play, and are kept.
    EXPECT_NE(Registry().find("\"Kit\"=\"\""), std::string::npos) << Registry();
    // The refused name was said, and nothing was renamed by it.
    const Picture refused = run.Load("refused.png");
    const Picture renamed = run.Load("renamed.png");
    ASSERT_GT(refused.width, 0);
    EXPECT_FALSE(refused == renamed);
}

struct Screen {
    int width, height, dpi;
};

class KitsGolden : public testing::TestWithParam<Screen> {};

TEST_P(KitsGolden, TheKitsPageAndTheSettingsKitRow) {
    const Screen s = GetParam();
    const int f = s.dpi / 96;
    const std::string name =
        std::to_string(s.width) + "x" + std::to_string(s.height) + "_" + std::to_string(s.dpi);
    PulsorRun run("kits-golden-" + name);
    const fs::path data = run.Dir() / "data";
    ScopedEnvironment env("XDG_DATA_HOME", data.c_str());
    for (const char* kit : {"Tones", "Voices of the long summer evenings", "Zoo"}) {
        fs::create_directories(data / "pulsor" / "kits" / kit);
    }
    const std::string script = "wait 2100\n" + ToKitsPage(s.width, s.height, f) + "shot kits.png\n";
    ASSERT_EQ(
        run.Start(script, "--screen " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                              " --dpi " + std::to_string(s.dpi) + " --kit Tones"),
        0)
        << run.Errors();
    for (const char* page : {"kits", "settings_kit"}) {
        const Picture actual = run.Load(std::string(page) + ".png");
        ASSERT_GT(actual.width, 0) << page;
        EXPECT_EQ(golden::CompareWithGolden("tests/e2e_app/golden", name + "_" + page, actual), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, KitsGolden,
                         testing::Values(Screen{240, 320, 96}, Screen{480, 640, 192},
                                         Screen{240, 240, 96}),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height) + "_" +
                                    std::to_string(info.param.dpi);
                         });

}  // namespace
