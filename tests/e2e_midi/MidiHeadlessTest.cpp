// MIDI notes played headless in virtual time through the script's `midi`, which enters the
// platform's MIDI input as a controller's note would: each note sounds exactly as the tap of its
// cell, at the level its velocity gives, and the settings file chooses the notes and channel.
#include <gtest/gtest.h>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

const char kSmall[] = "--screen 240x320 --dpi 96";
const int kRate = 48000;
const int kMainUp = 2100;  // the main page is up

// Centre of pad cell 0..15 on the small screen.
std::string Cell(int cell) {
    const int x = 6 + 57 * (cell % 4) + 28;
    const int y = 54 + 6 + 50 * (cell / 4) + 25;
    return std::to_string(x) + " " + std::to_string(y);
}

std::string Wait(int ms) {
    return "wait " + std::to_string(ms) + "\n";
}

// A note held as long as a tap holds its cell (50 ms).
std::string Note(int note, int velocity = 127) {
    return "midi " + std::to_string(note) + " " + std::to_string(velocity) + "\n" + Wait(50) +
           "midi " + std::to_string(note) + " 0\n";
}

std::vector<float> Record(PulsorRun& run, const std::string& script) {
    EXPECT_EQ(run.Start(script, std::string(kSmall) + " --record " + run.Recording().string()), 0)
        << run.Errors();
    return ReadWav(run.Recording().string()).samples;
}

void WriteSettings(PulsorRun& run, const std::string& values) {
    std::ofstream(run.Registry())
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_LOCAL_MACHINE\\Software\\Harrowmint\\Pulsor\\Settings]\n"
        << values;
}

TEST(MidiHeadless, EachPadNoteSoundsExactlyAsTheTapOfItsCell) {
    // Corners and a middle cell: 36 bottom left, 39 bottom right, 42 second row up, 48 and 51
    // the top row's ends.
    const std::pair<int, int> notes[] = {{36, 12}, {39, 15}, {42, 10}, {48, 0}, {51, 3}};
    std::string taps = Wait(kMainUp);
    std::string midi = Wait(kMainUp);
    for (auto [note, cell] : notes) {
        taps += "tap " + Cell(cell) + "\n" + Wait(950);
        midi += Note(note) + Wait(950);
    }
    PulsorRun tapRun("midi-taps");
    PulsorRun midiRun("midi-notes");
    const std::vector<float> tapped = Record(tapRun, taps);
    const std::vector<float> played = Record(midiRun, midi);
    ASSERT_GT(tapped.size(), static_cast<size_t>(kRate) * 6);
    ASSERT_EQ(played.size(), tapped.size());
    size_t differing = 0;
    for (size_t i = 0; i < tapped.size(); ++i) {
        differing += tapped[i] != played[i] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0u) << "samples where the notes' recording differs from the taps'";
    EXPECT_GT(Rms(played, static_cast<size_t>(kMainUp) * kRate / 1000, kRate / 4), 0.01)
        << "the first note sounds";
}

TEST(MidiHeadless, VelocityScalesTheWordsLevel) {
    PulsorRun run("midi-velocity");
    const int velocities[] = {127, 64, 32};
    std::string script = Wait(kMainUp);
    for (int v : velocities) {
        script += Note(36, v) + Wait(950);
    }
    const std::vector<float> r = Record(run, script);
    double level[3];
    for (int i = 0; i < 3; ++i) {
        level[i] = Rms(r, static_cast<size_t>(kMainUp + 1000 * i) * kRate / 1000, kRate * 9 / 10);
    }
    ASSERT_GT(level[0], 0.01);
    EXPECT_NEAR(level[1] / level[0], 64.0 / 127, 0.03);
    EXPECT_NEAR(level[2] / level[0], 32.0 / 127, 0.03);
}

TEST(MidiHeadless, TheSettingsFileChoosesTheBaseNoteAndChannelAndKeepsThem) {
    // The script's notes come on channel 1.
    struct Case {
        const char* name;
        std::string values;
        int note;
        bool heard;
    };
    const Case cases[] = {
        {"base48", "\"MidiBaseNote\"=dword:00000030\n", 48, true},
        {"base48-36", "\"MidiBaseNote\"=dword:00000030\n", 36, false},
        {"channel1", "\"MidiChannel\"=dword:00000001\n", 36, true},
        {"channel2", "\"MidiChannel\"=dword:00000002\n", 36, false},
        {"out-of-range", "\"MidiBaseNote\"=dword:00000071\n\"MidiChannel\"=dword:00000011\n", 36,
         true},
        {"below", "", 35, false},
        {"above", "", 52, false},
    };
    for (const Case& c : cases) {
        PulsorRun run(std::string("midi-settings-") + c.name);
        WriteSettings(run, c.values);
        const std::vector<float> r = Record(run, Wait(kMainUp) + Note(c.note) + Wait(950));
        const double level = Rms(r, static_cast<size_t>(kMainUp) * kRate / 1000, kRate / 2);
        EXPECT_EQ(level > 0.01, c.heard) << c.name << ": level " << level;
        // Closing writes the five options and leaves the user's own values as they were.
        const std::string reg = PulsorRun::ReadText(run.Registry());
        EXPECT_NE(reg.find("\"VolumeBeat\"=dword:00000064"), std::string::npos) << reg;
        std::istringstream lines(c.values);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_NE(reg.find(line), std::string::npos) << c.name << ":\n" << reg;
        }
        if (c.values.empty()) {
            EXPECT_EQ(reg.find("Midi"), std::string::npos) << "nothing is added:\n" << reg;
        }
    }
}

TEST(MidiHeadless, WithoutAnyMidiSystemTheRunSaysNothingUnlessVerbose) {
    // No sequencer device and no JACK server here, as in most containers; where there is one,
    // --verbose names it instead.
    PulsorRun quiet("midi-quiet");
    ASSERT_EQ(quiet.Start(Wait(kMainUp) + Note(36) + Wait(200), kSmall), 0);
    EXPECT_EQ(quiet.Errors().find("MIDI"), std::string::npos) << quiet.Errors();
    EXPECT_EQ(quiet.Errors().find("JACK"), std::string::npos) << quiet.Errors();
    EXPECT_EQ(quiet.Errors().find("ALSA"), std::string::npos) << quiet.Errors();

    PulsorRun verbose("midi-verbose");
    ASSERT_EQ(verbose.Start(Wait(kMainUp) + Wait(200), std::string(kSmall) + " --verbose"), 0);
    const std::string said = verbose.Errors();
    EXPECT_TRUE(said.find("pulsor: MIDI: no ALSA sequencer") != std::string::npos ||
                said.find("pulsor: MIDI: ALSA sequencer port Pulsor") != std::string::npos)
        << said;
    EXPECT_TRUE(said.find("pulsor: MIDI: no JACK server") != std::string::npos ||
                said.find("pulsor: MIDI: JACK port") != std::string::npos)
        << said;
}

}  // namespace
