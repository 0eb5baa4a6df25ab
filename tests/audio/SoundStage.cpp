#include "tests/audio/SoundStage.h"

#include <gtest/gtest.h>

#include "audio/WavePlayer.h"
#include "platform/wave/Audio.h"

namespace content_test {

SoundStage::SoundStage(const std::wstring& soundsFolder, int width, int height, int dpi)
    : window_(width, height, dpi), bank_(std::make_unique<SoundBank>()) {
    platform::DeviceOptions options;
    options.headless = true;
    std::string error;
    EXPECT_TRUE(platform::wave::StartAudio(options, &error)) << error;
    bank_->Load(soundsFolder.c_str());
    for (int word = 1; word <= SoundBank::kWords; ++word) {
        for (bool high : {false, true}) {
            if (WavePlayer* player = bank_->GetSample(word, high)) {
                player->SetNotify(window_.Handle(), (high ? 100 : 0) + word);
            }
        }
    }
}

SoundStage::~SoundStage() {
    bank_.reset();  // the players go before the output does
    platform::wave::StopAudio();
}

std::vector<int> SoundStage::PlaysAfter(DWORD ms) {
    window_.Pump(ms);
    std::vector<int> plays;
    const std::vector<TestWindow::Message>& messages = window_.Messages();
    for (; seen_ < messages.size(); ++seen_) {
        const TestWindow::Message& m = messages[seen_];
        if (m.message == WM_COMMAND && HIWORD(m.wParam) == MM_WOM_DONE) {
            plays.push_back(LOWORD(m.wParam));
        }
    }
    return plays;
}

std::vector<DWORD> ReportTimes(const TestWindow& window, int id) {
    std::vector<DWORD> times;
    for (const TestWindow::Message& m : window.Messages(WM_COMMAND)) {
        if (HIWORD(m.wParam) == MM_WOM_DONE && LOWORD(m.wParam) == id) {
            times.push_back(m.time);
        }
    }
    return times;
}

}  // namespace content_test
