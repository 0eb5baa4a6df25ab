// What the MIDI end-to-end tests share: processes started beside the program (servers, the probe,
// Pulsor itself), and the words a recording is expected to hold.
#pragma once

#include <functional>

#include "e2e_app/E2eSupport.h"
#include "support/Spawn.h"

namespace e2e {

const int kMidiRate = 48000;

// Starts args[0] with stdout and stderr into `log`; `prepare` runs in the child before exec.
inline pid_t Spawn(const std::vector<std::string>& args, const fs::path& log,
                   const std::function<void()>& prepare = {}) {
    spawn::Options options;
    options.log = log.string();
    options.prepare = prepare;
    return spawn::Start(args, options);
}

// Its exit status, or -1 when it died of a signal or had to be killed after `seconds`.
inline int Finish(pid_t pid, int seconds) {
    return spawn::WaitAtMost(pid, seconds).status;
}

// Stops a server politely, then not.
inline void Stop(pid_t pid) {
    spawn::Stop(pid);
}

// The word of pad cell `cell` (low voice) as the mixer plays it, from its first loud sample.
inline std::vector<float> WordOfCell(int cell) {
    const std::vector<float> word =
        Resample(ReadWav(std::string(PULSOR_SOURCE_DIR) + "/assets/Sounds/L" +
                         std::to_string(cell + 1) + ".wav"),
                 kMidiRate);
    const size_t onset = std::min(Onset(word, 0), word.size());
    return std::vector<float>(word.begin() + onset, word.end());
}

// How well `word` matches the recording at its onset `at`, the best of a few samples around it.
inline double MatchAt(const std::vector<float>& r, size_t at, const std::vector<float>& word) {
    double best = 0;
    for (size_t lag = at > 16 ? at - 16 : 0; lag <= at + 16; ++lag) {
        best = std::max(best, Correlation(r, lag, word, kMidiRate / 4));
    }
    return best;
}

}  // namespace e2e
