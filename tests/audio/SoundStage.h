// The sound bank on a headless screen with the null audio output, for the bank and pad tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/SoundBank.h"
#include "support/TestWindow.h"

namespace content_test {

// A headless screen in virtual time with the null audio output running, and a sound bank whose
// 32 players report the end of every play to the test window: word n in the low voice as command
// n, in the high voice as 100 + n. A play that is cut reports at once, one that plays out at its
// end, so the reports give the order of the plays.
class SoundStage {
public:
    explicit SoundStage(const std::wstring& soundsFolder, int width = 240, int height = 320,
                        int dpi = 96);
    ~SoundStage();

    TestWindow& Window() { return window_; }
    SoundBank& Bank() { return *bank_; }

    // Lets `ms` of device time pass, then returns the plays reported since the last call, in
    // order, as command ids.
    std::vector<int> PlaysAfter(DWORD ms);

private:
    TestWindow window_;
    std::unique_ptr<SoundBank> bank_;
    size_t seen_ = 0;
};

// The tick count of each report of command `id` so far.
std::vector<DWORD> ReportTimes(const TestWindow& window, int id);

}  // namespace content_test
