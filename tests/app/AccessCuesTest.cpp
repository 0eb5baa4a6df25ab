// The scan's word cues speak the words of the kit that plays: a kit chosen while they are on is
// the one the next cue speaks, at the cue volume, in the null output's capture in virtual time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/AppWindow.h"
#include "audio/SoundBank.h"
#include "platform/kernel/WideString.h"
#include "support/WaveTestFiles.h"

namespace {

const UINT kSpace = 0x39, kReturn = 0x1C;  // their scancodes

class AccessCuesTest : public AppWindowTest {
protected:
    void TearDown() override {
        AppWindowTest::TearDown();  // the players close before the output does
        audio.reset();
    }

    // A kit whose first word is a tone of `hz`.
    std::wstring MakeKit(const std::string& name, int hz) {
        const std::string dir = kits.Path() + "/" + name;
        const std::string cmd = "mkdir -p '" + dir + "' && sox -n -r 44100 '" + dir +
                                "/L1.flac' synth 0.6 sine " + std::to_string(hz) + " gain -6";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return platform::FromUtf8(dir + "/");
    }

    void Switch(UINT virtualKey, UINT scancode) {
        Key(WM_KEYDOWN, virtualKey, scancode);
        Key(WM_KEYUP, virtualKey, scancode);
    }

    // The pitch of what the output plays from 30 ms after frame `from` for 200 ms (left channel,
    // from its zero crossings).
    double PitchFrom(size_t from) const {
        const std::vector<float> frames = audio->Captured();
        const size_t begin = from + 48000 * 30 / 1000, length = 48000 / 5;
        int crossings = 0;
        for (size_t i = begin + 1; i < begin + length && 2 * i < frames.size(); ++i) {
            crossings += (frames[2 * (i - 1)] < 0) != (frames[2 * i] < 0) ? 1 : 0;
        }
        return crossings / 2.0 * 48000 / length;
    }

    TempDir kits;
    std::unique_ptr<wavetest::NullAudio> audio;
};

TEST_F(AccessCuesTest, TheWordCuesSpeakTheKitChosenLast) {
    struct Chosen {
        std::wstring kit;
        int hz;  // its first word's
    };
    const std::wstring low = MakeKit("Low", 330), high = MakeKit("High", 880);
    const Chosen chosen[] = {{low, 330}, {high, 880}, {low, 330}};
    // The window's thread already keeps virtual time.
    audio = std::make_unique<wavetest::NullAudio>(256, std::string(), false);
    ASSERT_TRUE(audio->Started()) << audio->Error();
    UserInterface& ui = Load(
        [&](Settings& settings) {
            settings.accessMethod = AccessTwoSwitches;
            settings.accessCues = AccessCuesWord;
            settings.accessCueVolume = 100;
            const std::wstring sounds = platform::FromUtf8(PULSOR_SOURCE_DIR "/assets/Sounds/");
            StringCchCopyW(settings.soundsFolder, MAX_PATH, sounds.c_str());
            StringCchCopyW(settings.kitFolder, MAX_PATH, chosen[0].kit.c_str());
        },
        true);

    for (const Chosen& c : chosen) {
        SCOPED_TRACE(platform::ToUtf8(c.kit));
        if (&c != chosen) {
            const SoundBank* before = ui.GetSoundBank();
            ui.ChooseKit(c.kit.c_str());
            for (int i = 0; i < 500 && ui.GetSoundBank() == before; ++i) {
                window_->Pump(10);
            }
            ASSERT_NE(ui.GetSoundBank(), before) << "the kit was never swapped in";
        }
        // Switch 1 frames the first row, switch 2 opens it on cell 0: its word is the cue.
        Switch(VK_SPACE, kSpace);
        const size_t cue = audio->FramesCaptured();
        Switch(VK_RETURN, kReturn);
        window_->Pump(300);
        EXPECT_NEAR(PitchFrom(cue), c.hz, 15.0);
        // Switch 2 again speaks the cell, and the scan waits for the switch.
        Switch(VK_RETURN, kReturn);
        window_->Pump(1000);
    }
}

}  // namespace
