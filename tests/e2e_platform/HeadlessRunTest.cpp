// The real executable, headless: its command line, its scripts and what they produce.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The first line (sanitizer builds may add their own report after it).
std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n') + 1);
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

class HeadlessRun : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = ::testing::TempDir() + "pulsor-e2e-" + info->name() + "-" + std::to_string(getpid());
        std::system(("rm -rf " + Quote(dir_) + " && mkdir -p " + Quote(dir_ + "/shots") + " " +
                     Quote(dir_ + "/config"))
                        .c_str());
    }
    void TearDown() override { std::system(("rm -rf " + Quote(dir_)).c_str()); }

    // Runs pulsor with `args` (already quoted where needed), no audio, its own registry.
    Result Run(const std::string& args) {
        std::string cmd = std::string("timeout 120 ") + Quote(PULSOR_EXE) + " " + args + " >" +
                          Quote(dir_ + "/out") + " 2>" + Quote(dir_ + "/err");
        Result r;
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadFile(dir_ + "/out");
        r.err = ReadFile(dir_ + "/err");
        return r;
    }
    Result RunScript(const std::string& script, const std::string& extra = "") {
        std::ofstream(dir_ + "/script.txt") << script;
        return Run("--headless --no-audio --config-dir " + Quote(dir_ + "/config") + " --script " +
                   Quote(dir_ + "/script.txt") + " --shots " + Quote(dir_ + "/shots") + " " +
                   extra);
    }
    std::string Shot(const std::string& name) { return ReadFile(dir_ + "/shots/" + name); }

    std::string dir_;
};

TEST_F(HeadlessRun, HelpAndVersion) {
    Result help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: pulsor", 0), 0u);
    EXPECT_EQ(help.err, "");
    Result version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "pulsor 1.0.0\n");
}

TEST_F(HeadlessRun, BadOptionsExitWithTwoAndTheUsage) {
    for (const char* args :
         {"--bogus", "--screen 12", "--screen 0x640", "--dpi 0", "--dpi 96,x", "--script",
          "--audio-buffer 1", "--record out.wav --no-audio", "--help=yes", "--taskbar 9999"}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.rfind("pulsor: ", 0), 0u) << args << ": " << r.err;
        EXPECT_NE(r.err.find("\nusage: pulsor"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST_F(HeadlessRun, AMalformedScriptLineStopsEverythingBeforeItRuns) {
    Result r = RunScript("shot early.png\nwait 100\ntap 10 10 10\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(FirstLine(r.err), dir_ + "/script.txt:3: tap takes 2 numbers, got 3\n");
    EXPECT_EQ(Shot("early.png"), "");  // nothing ran
}

TEST_F(HeadlessRun, AShotNeedsAShotsFolder) {
    std::ofstream(dir_ + "/script.txt") << "wait 10\nshot a.png\n";
    Result r = Run("--headless --no-audio --script " + Quote(dir_ + "/script.txt"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(FirstLine(r.err), dir_ + "/script.txt:2: shot needs --shots DIR\n");
}

TEST_F(HeadlessRun, WithoutAScriptHeadlessEndsByItself) {
    Result r = Run("--headless --no-audio --config-dir " + Quote(dir_ + "/config"));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(HeadlessRun, TheSameScriptTwiceGivesTheSamePictures) {
    const std::string script =
        "wait 2500\n"
        "shot idle.png\n"
        "down 100 200\n"
        "wait 30\n"
        "shot pressed.png\n"
        "drag 100 200 400 400 200\n"
        "wait 300\n"
        "shot after.png\n";
    Result first = RunScript(script);
    ASSERT_EQ(first.status, 0) << first.err;
    std::string idle = Shot("idle.png");
    std::string pressed = Shot("pressed.png");
    std::string after = Shot("after.png");
    ASSERT_FALSE(idle.empty());
    EXPECT_EQ(idle.substr(1, 3), "PNG");
    EXPECT_NE(idle, pressed);  // the touched cell shows pressed

    std::system(("rm -f " + Quote(dir_) + "/shots/*").c_str());
    Result second = RunScript(script);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(Shot("idle.png"), idle);
    EXPECT_EQ(Shot("pressed.png"), pressed);
    EXPECT_EQ(Shot("after.png"), after);
}

TEST_F(HeadlessRun, ASecondInstanceRaisesTheFirstAndLeaves) {
    Result r = RunScript(
        "wait 2500\n"
        "shot active.png\n"
        "deactivate\n"
        "wait 100\n"
        "shot inactive.png\n"
        "launch\n"
        "wait 100\n"
        "shot raised.png\n",
        "--taskbar 26");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string active = Shot("active.png");
    ASSERT_FALSE(active.empty());
    EXPECT_NE(Shot("inactive.png"), active);  // moved below the task bar
    EXPECT_EQ(Shot("raised.png"), active);    // full screen again
}

TEST_F(HeadlessRun, AShotThatCannotBeWrittenFailsTheRun) {
    // A missing folder is made now; a folder where the shot's file should be cannot be written.
    std::ofstream(dir_ + "/script.txt") << "wait 10\nshot a.png\n";
    std::filesystem::create_directories(dir_ + "/pictures/a.png");
    Result r = Run("--headless --no-audio --config-dir " + Quote(dir_ + "/config") + " --script " +
                   Quote(dir_ + "/script.txt") + " --shots " + Quote(dir_ + "/pictures"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FirstLine(r.err),
              "pulsor: " + dir_ + "/pictures/a.png: cannot write the shot: Is a directory\n");
}

TEST_F(HeadlessRun, ATakeThatCannotBeWrittenStopsTheRunBeforeItStarts) {
    // A missing folder would be made; one under a plain file cannot be.
    std::ofstream(dir_ + "/script.txt") << "wait 10\n";
    std::ofstream(dir_ + "/plain");
    Result r = Run("--headless --config-dir " + Quote(dir_ + "/config") + " --script " +
                   Quote(dir_ + "/script.txt") + " --record " + Quote(dir_ + "/plain/take.wav"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(FirstLine(r.err),
              "pulsor: --record: cannot write into " + dir_ + "/plain: Not a directory\n");
}

TEST_F(HeadlessRun, AMicrophoneFileThatDoesNotDecodeStopsTheRunBeforeItStarts) {
    std::ofstream(dir_ + "/script.txt") << "wait 10\n";
    std::ofstream(dir_ + "/notes.txt") << "not a sound\n";
    for (const std::string& file : {dir_ + "/notes.txt", dir_ + "/missing.wav"}) {
        Result r = RunScript("wait 10\n", "--mic " + Quote(file));
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_EQ(r.err.rfind("pulsor: --mic " + file + ": ", 0), 0u) << r.err;
    }
}

TEST_F(HeadlessRun, ScriptsAlsoRunOnTheWallClock) {
    Result r = RunScript("wait 100\ntap 10 10\nshot end.png\n", "--real-time");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Shot("end.png").empty());
}

}  // namespace
