#include "app/AccessCues.h"

#include <cmath>
#include <cstring>

#include "audio/SoundBank.h"
#include "audio/WaveImage.h"
#include "audio/WavePlayer.h"

namespace {

// A 12 ms tick: a 2 kHz tone that dies away, mono 16-bit at 48 kHz, as a WAV file image.
std::vector<BYTE> MakeClick() {
    const DWORD rate = 48000;
    std::vector<short> tick(rate * 12 / 1000);
    const double pi = std::acos(-1.0);
    for (size_t i = 0; i < tick.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 0.7 * std::exp(-t * 400.0) * std::sin(2 * pi * 2000.0 * t);
        tick[i] = static_cast<short>(std::lround(v * 32767));
    }
    return MonoWaveImage(tick.data(), tick.size(), rate);
}

}  // namespace

AccessCues::AccessCues() {
    const std::vector<BYTE> image = MakeClick();
    BYTE* copy = new BYTE[image.size()];  // the player owns its image
    std::memcpy(copy, image.data(), image.size());
    click = std::make_unique<WavePlayer>(copy, static_cast<DWORD>(image.size()));
}

AccessCues::~AccessCues() = default;

void AccessCues::LoadWords(const SoundBank* bank) {
    if (wordsLoaded || bank == nullptr) {
        return;
    }
    wordsLoaded = true;
    for (int i = 0; i < kWords; ++i) {
        const WavePlayer* low = bank->GetSample(i + 1, false);
        if (low == nullptr || !low->IsPlayable()) {
            continue;
        }
        BYTE* copy = new BYTE[low->GetImageSize()];
        std::memcpy(copy, low->GetImage(), low->GetImageSize());
        words[i] = std::make_unique<WavePlayer>(copy, low->GetImageSize());
        words[i]->SetVolume(volume);
    }
}

void AccessCues::DropWords() {
    for (std::unique_ptr<WavePlayer>& word : words) {
        if (word.get() == sounding) {
            sounding = nullptr;
        }
        word.reset();
    }
    wordsLoaded = false;
}

void AccessCues::SetVolume(UINT level) {
    volume = level > 100 ? 100 : level;
    click->SetVolume(volume);
    for (std::unique_ptr<WavePlayer>& word : words) {
        if (word) {
            word->SetVolume(volume);
        }
    }
}

void AccessCues::Click() {
    Play(click.get());
}

void AccessCues::Word(int cell) {
    if (cell >= 0 && cell < kWords && words[cell]) {
        Play(words[cell].get());
    } else {
        Click();
    }
}

void AccessCues::Play(WavePlayer* player) {
    if (sounding && sounding != player) {
        sounding->Stop();
    }
    sounding = player;
    player->Play();
}
