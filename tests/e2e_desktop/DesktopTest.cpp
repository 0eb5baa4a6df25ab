// A person's session on a desktop, automated: the real program in its SDL window on a private X
// server, its sound going to a PulseAudio null sink whose monitor is recorded, the mouse moved by
// xdotool and the window photographed with ImageMagick's import.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e_app/E2eSupport.h"
#include "support/SinkRecording.h"
#include "support/XSession.h"

namespace {

namespace fs = std::filesystem;
using e2e::Picture;
using sdltest::Child;
using sdltest::FindProgram;
using sdltest::XServer;

constexpr const char* kSink = "pulsor_desktop";
constexpr int kRate = 48000;  // what the recorder asks the sink's monitor for

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Where a stretch of mono samples is louder than -40 dBFS, in 10 ms windows.
struct Span {
    double start = -1;  // seconds from the first sample
    double end = -1;
    double rms = 0;   // over the loud windows
    double loud = 0;  // seconds of loud windows
};

Span FindSound(const std::vector<float>& samples, int rate, double from = 0, double to = 1e9) {
    const size_t window = static_cast<size_t>(rate / 100);
    Span span;
    double sum = 0;
    size_t loudWindows = 0;
    const size_t first = static_cast<size_t>(std::max(0.0, from) * rate);
    const size_t last = std::min(samples.size(), static_cast<size_t>(to * rate));
    for (size_t at = first; at + window <= last; at += window) {
        double energy = 0;
        for (size_t i = at; i < at + window; ++i) {
            energy += samples[i] * samples[i];
        }
        const double rms = std::sqrt(energy / window);
        if (rms > 0.01) {
            const double t = static_cast<double>(at) / rate;
            if (span.start < 0) {
                span.start = t;
            }
            span.end = t + 0.01;
            sum += rms * rms;
            ++loudWindows;
        }
    }
    span.rms = loudWindows ? std::sqrt(sum / loudWindows) : 0;
    span.loud = loudWindows * 0.01;
    return span;
}

double Decibels(double rms, double reference) {
    return 20 * std::log10(rms / reference);
}

// parec writing the sink's monitor as raw 48 kHz 16-bit stereo; the file's length is the clock
// the test marks its actions on.
class Recorder {
public:
    explicit Recorder(const fs::path& path) : path_(path), pid_(RecordSink(kSink, path.string())) {}
    ~Recorder() { Stop(); }

    // Seconds recorded so far.
    double Now() const {
        std::error_code ec;
        const auto size = fs::file_size(path_, ec);
        return ec ? 0 : static_cast<double>(size / 4) / kRate;
    }
    void Stop() {
        if (pid_ > 0) {
            spawn::Stop(pid_);
            pid_ = -1;
        }
    }
    // The recording, channels averaged.
    std::vector<float> Samples() const {
        std::ifstream in(path_, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> out;
        for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
            const auto left = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
            const auto right = static_cast<int16_t>(bytes[i + 2] | bytes[i + 3] << 8);
            out.push_back((left + right) / 65536.0f);
        }
        return out;
    }

private:
    fs::path path_;
    pid_t pid_ = -1;
};

class Desktop : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"xdotool", "import", "parec", "pactl"}) {
            if (!FindProgram(tool)) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        if (!x_.Running()) {
            GTEST_SKIP() << "Xvfb could not start";
        }
        const std::string start = std::string(PULSOR_SOURCE_DIR) + "/scripts/start-pulseaudio.sh";
        if (std::system((start + " " + kSink + " >/dev/null 2>&1").c_str()) != 0) {
            GTEST_SKIP() << "no PulseAudio server could be started";
        }
        dir_ = fs::temp_directory_path() / ("pulsor-desktop-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
    }
    void TearDown() override {
        if (!dir_.empty() && !std::getenv("PULSOR_KEEP_E2E")) {
            std::error_code ec;
            fs::remove_all(dir_, ec);
        }
    }

    // xdotool against the program's window; positions are the window's pixels.
    void Xdotool(const std::string& arguments) const { x_.Run("xdotool " + arguments); }
    std::string At(int x, int y) const {
        return "mousemove --window " + std::to_string(window_) + " " + std::to_string(x) + " " +
               std::to_string(y);
    }
    void Tap(int x, int y) const { Xdotool(At(x, y) + " mousedown 1 sleep 0.05 mouseup 1"); }
    // Down at the first point, through `steps` moves to the second over `ms`, up there.
    void Drag(int x1, int y1, int x2, int y2, int ms, int steps) const {
        std::string command = At(x1, y1) + " mousedown 1";
        char pause[32];
        std::snprintf(pause, sizeof pause, " sleep %.3f ", ms / 1000.0 / steps);
        for (int i = 1; i <= steps; ++i) {
            command += pause + At(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
        }
        Xdotool(command + " mouseup 1");
    }

    Picture Photograph(const std::string& name) const {
        const fs::path file = dir_ / (name + ".png");
        x_.Run("import -window " + std::to_string(window_) + " png:" + file.string());
        Picture p;
        e2e::ReadPng(file.string(), &p);
        return p;
    }
    // Photographs the window until it shows the reference page; false when patience runs out
    // (the last photograph stays in the test's folder with PULSOR_KEEP_E2E set).
    bool WaitForPage(const std::string& page) const {
        Picture golden;
        const std::string path =
            std::string(PULSOR_SOURCE_DIR) + "/tests/e2e_app/golden/240x320_96_" + page + ".png";
        if (!e2e::ReadPng(path, &golden)) {
            ADD_FAILURE() << "missing " << path;
            return false;
        }
        const auto until = std::chrono::steady_clock::now() + sdltest::kPatience;
        while (std::chrono::steady_clock::now() < until) {
            if (Photograph(page) == golden) {
                return true;
            }
            Pause(100);
        }
        return false;
    }

    XServer x_;
    fs::path dir_;
    unsigned long window_ = 0;
};

double LoudSeconds(const char* file, double* rms, double seconds = 1e9) {
    const e2e::Sound s = e2e::ReadWav(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/" + file);
    const Span span = FindSound(s.samples, s.rate, 0, seconds);
    *rms = span.rms;
    return span.loud;
}

}  // namespace

TEST_F(Desktop, TapStrokeBeatAndSettingsAreSeenAndHeard) {
    setenv("PULSE_SINK", kSink, 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    Recorder recorder(dir_ / "monitor.raw");
    Child pulsor({PULSOR_EXE, "--screen", "240x320", "--dpi", "96", "--config-dir",
                  (dir_ / "config").string()},
                 x_.Display(), true);
    window_ = x_.FindWindow("Pulsor");
    ASSERT_NE(window_, 0u) << "no window titled Pulsor";

    // The splash gives way to the main page, pixel for pixel as the headless program draws it.
    ASSERT_TRUE(WaitForPage("main")) << "the main page did not appear";

    // A tap on the first cell ("Yeah", the first low word).
    Pause(500);
    const double tapAt = recorder.Now();
    Tap(34, 85);
    Pause(2000);
    // A stroke across the second row strings its four words.
    const double strokeAt = recorder.Now();
    Drag(10, 135, 230, 135, 2000, 40);
    Pause(1500);
    const double strokeEnd = recorder.Now();
    // The beat, played for four seconds and stopped.
    Tap(60, 290);
    const double beatAt = recorder.Now();
    Pause(4000);
    Tap(60, 290);
    const double beatStop = recorder.Now();
    // Long enough that a beat left running would still sound at the end (it lasts 10.6 s).
    Pause(3000);
    const double quietEnd = recorder.Now();

    ASSERT_TRUE(WaitForPage("main")) << "the beat's bar did not return to the start";
    Tap(39, 13);
    ASSERT_TRUE(WaitForPage("settings")) << "the settings page did not appear";
    Tap(120, 293);
    ASSERT_TRUE(WaitForPage("main")) << "back did not return to the main page";

    // The close button quits (the switch is on by default), and the settings are written.
    Tap(227, 13);
    EXPECT_EQ(pulsor.WaitForExit(), 0);
    EXPECT_TRUE(fs::exists(dir_ / "config" / "registry.reg"));
    recorder.Stop();

    const std::vector<float> heard = recorder.Samples();
    ASSERT_GE(heard.size(), static_cast<size_t>(quietEnd * kRate)) << "the recording stops";
    // The marks are the recording's length when the action was taken; on a loaded machine the
    // recorder may lag behind a little, so the windows below are generous.

    double wordRms = 0;
    const double wordLoud = LoudSeconds("L1.wav", &wordRms);
    const Span word = FindSound(heard, kRate, tapAt - 0.2, strokeAt);
    ASSERT_GE(word.start, 0) << "the tapped word was not heard";
    EXPECT_LT(word.start - tapAt, 0.8) << "the word comes with the tap";
    // As much sound as the word has, at its level (both volumes are at 100 by default). A loaded
    // machine may let the stream run dry for a moment, which spreads the word out but loses
    // nothing.
    EXPECT_NEAR(word.loud, wordLoud, 0.06);
    EXPECT_NEAR(Decibels(word.rms, wordRms), 0.0, 1.5);

    const Span stroke = FindSound(heard, kRate, strokeAt - 0.2, strokeEnd);
    ASSERT_GE(stroke.start, 0) << "the stroke was not heard";
    EXPECT_LT(stroke.start - strokeAt, 0.8);
    // Four words one after another, from the first cell to past the last.
    double strokeWordsLoud = 0;
    for (const char* w : {"L5.wav", "L6.wav", "L7.wav", "L8.wav"}) {
        double rms = 0;
        strokeWordsLoud += LoudSeconds(w, &rms);
    }
    EXPECT_GT(stroke.end - stroke.start, 1.5);
    EXPECT_GT(stroke.loud, 0.5 * strokeWordsLoud);

    // The beat sounds from its start until it is stopped, at its own level, then stops.
    const Span beat = FindSound(heard, kRate, beatAt - 0.2, beatStop + 1.0);
    ASSERT_GE(beat.start, 0) << "the beat was not heard";
    EXPECT_LT(beat.start - beatAt, 0.8);
    EXPECT_GT(beat.end - beat.start, 3.0);
    double beatRms = 0;
    LoudSeconds("Pulsor.wav", &beatRms, beat.end - beat.start);
    EXPECT_NEAR(Decibels(beat.rms, beatRms), 0.0, 2.0);
    const Span after = FindSound(heard, kRate, beatStop + 1.5, quietEnd);
    EXPECT_LT(after.loud, 0.05) << "the beat goes on after it was stopped";
}

// Both hands on the keyboard: keys pressed through the X server play their cells' words, and
// the take recorded in the window is a complete file when the close button ends the program.
TEST_F(Desktop, KeysPlayWordsAndTheTakeOfTheWindowIsComplete) {
    setenv("PULSE_SINK", kSink, 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    Recorder recorder(dir_ / "monitor.raw");
    const fs::path take = dir_ / "take.wav";
    Child pulsor({PULSOR_EXE, "--screen", "240x320", "--dpi", "96", "--config-dir",
                  (dir_ / "config").string(), "--record", take.string()},
                 x_.Display(), true);
    window_ = x_.FindWindow("Pulsor");
    ASSERT_NE(window_, 0u) << "no window titled Pulsor";
    ASSERT_TRUE(WaitForPage("main")) << "the main page did not appear";
    Xdotool("windowfocus --sync " + std::to_string(window_));
    Pause(300);

    const double keyAt = recorder.Now();
    Xdotool("keydown q sleep 0.05 keyup q");  // the second row's first cell: word 5
    Pause(1500);
    // Two at once: the first and the last row's first cells.
    Xdotool("keydown 1 keydown z sleep 0.05 keyup 1 keyup z");
    Pause(1500);
    Tap(227, 13);
    EXPECT_EQ(pulsor.WaitForExit(), 0);
    recorder.Stop();

    const Span heard = FindSound(recorder.Samples(), kRate, keyAt - 0.2, keyAt + 1.4);
    ASSERT_GE(heard.start, 0) << "the key's word was not heard";
    EXPECT_LT(heard.start - keyAt, 0.8) << "the word comes with the key";

    std::ifstream in(take, std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(b.size(), 44u) << "no take";
    auto u32 = [&b](size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    };
    EXPECT_EQ(u32(4), b.size() - 8) << "the RIFF size counts the whole file";
    EXPECT_EQ(u32(40), b.size() - 44) << "the data size counts every frame";
    EXPECT_EQ(u32(24), 48000u);
    const e2e::Sound sound = e2e::ReadWav(take.string());
    EXPECT_GT(sound.samples.size(), static_cast<size_t>(3 * kRate)) << "the whole run is there";
    double rms = 0;
    const double q = LoudSeconds("L5.wav", &rms);
    const double one = LoudSeconds("L1.wav", &rms);
    const double z = LoudSeconds("L13.wav", &rms);
    const Span words = FindSound(sound.samples, kRate);
    EXPECT_GT(words.loud, q + std::max(one, z) - 0.1) << "all three words are in the take";
    EXPECT_LT(words.loud, q + one + z + 0.1);
}
