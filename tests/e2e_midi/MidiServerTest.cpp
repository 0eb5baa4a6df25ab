// The real MIDI path: a controller of the test's own (the probe) sends notes to the "Pulsor" port
// on a JACK server with its dummy driver, or on the ALSA sequencer where there is one, and the
// program's recording on the wall clock has the words of those notes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "e2e_midi/MidiSupport.h"

using namespace e2e;

namespace {

const int kRate = kMidiRate;

// For a failure's message: the cell whose word matches best at `at`, and how well.
std::string BestCell(const std::vector<float>& r, size_t at) {
    int best = -1;
    double score = 0;
    for (int cell = 0; cell < 16; ++cell) {
        const double m = MatchAt(r, at, WordOfCell(cell));
        if (m > score) {
            score = m;
            best = cell;
        }
    }
    return "best match there: cell " + std::to_string(best) + " at " + std::to_string(score);
}

// Runs Pulsor on the wall clock with the probe in `mode` beside it, and checks that the probe's
// two notes (36, then 51 a second later) play the bottom-left then the top-right cell's word.
void PlayThroughProbe(const std::string& system, const std::string& mode) {
    SCOPED_TRACE(system + " " + mode);
    PulsorRun run("midi-" + system + "-" + mode);
    const fs::path script = run.Dir() / "script.txt";
    // The notes come about 3.5 s in; a slow machine (sanitizers, a busy CI) needs the rest.
    std::ofstream(script) << "wait 10000\n";
    const pid_t pulsor =
        Spawn({PULSOR_EXE, "--headless", "--real-time", "--screen", "240x320", "--dpi", "96",
               "--config-dir", (run.Dir() / "config").string(), "--script", script.string(),
               "--record", run.Recording().string(), "--verbose"},
              run.Dir() / "pulsor.txt");
    const pid_t probe = Spawn({MIDI_PROBE, system, mode}, run.Dir() / "probe.txt");
    const int probeStatus = Finish(probe, 45);
    const int pulsorStatus = Finish(pulsor, 45);
    const std::string said = PulsorRun::ReadText(run.Dir() / "pulsor.txt");
    ASSERT_EQ(probeStatus, 0) << PulsorRun::ReadText(run.Dir() / "probe.txt") << said;
    ASSERT_EQ(pulsorStatus, 0) << said;
    if (mode != "connect") {
        EXPECT_NE(said.find("pulsor: MIDI: connected"), std::string::npos) << said;
    }

    const Sound recording = ReadWav(run.Recording().string());
    ASSERT_EQ(recording.rate, kRate);
    const std::vector<float>& r = recording.samples;
    // The port opens with the main page, about 2 s in; nothing sounds before the first note.
    const size_t first = Onset(r, 0);
    ASSERT_NE(first, SIZE_MAX) << "nothing was played\n" << said;
    EXPECT_GT(first, static_cast<size_t>(kRate)) << "a word before any note";
    EXPECT_GT(MatchAt(r, first, WordOfCell(12)), 0.8)
        << "note 36 plays the bottom-left cell; first sound at " << 1.0 * first / kRate << " s of "
        << 1.0 * r.size() / kRate << " s\n"
        << said;
    const size_t second = Onset(r, first + kRate * 3 / 4);
    ASSERT_NE(second, SIZE_MAX) << "the second note was not played";
    EXPECT_NEAR(static_cast<double>(second - first) / kRate, 1.0, 0.25);
    EXPECT_GT(MatchAt(r, second, WordOfCell(3)), 0.8)
        << "note 51 plays the top-right cell; " << BestCell(r, second);
}

TEST(MidiServer, NotesFromAJackClientPlayTheirWords) {
    if (std::system("command -v jackd >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no jackd here (Debian's jackd2): the JACK path is not tested";
    }
    // A server of this test's own, which nothing else here knows by name.
    const std::string name = "pulsor-e2e-midi-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    PulsorRun server("midi-jackd");
    const pid_t jackd = Spawn({"jackd", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"},
                              server.Dir() / "jackd.txt");
    const pid_t waiter = Spawn({MIDI_PROBE, "jack", "wait"}, server.Dir() / "wait.txt");
    if (Finish(waiter, 20) != 0) {
        Stop(jackd);
        GTEST_SKIP() << "jackd would not start here:\n"
                     << PulsorRun::ReadText(server.Dir() / "jackd.txt");
    }
    // Connected by the probe; plugged in while Pulsor runs; there before Pulsor started.
    for (const char* mode : {"connect", "plug", "early"}) {
        PlayThroughProbe("jack", mode);
    }
    Stop(jackd);
}

TEST(MidiServer, NotesFromAnAlsaSequencerClientPlayTheirWords) {
    struct stat info;
    if (stat("/dev/snd/seq", &info) != 0) {
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing): the ALSA path is not "
                        "tested";
    }
    for (const char* mode : {"connect", "plug"}) {
        PlayThroughProbe("alsa", mode);
    }
}

}  // namespace
