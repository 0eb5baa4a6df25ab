#include "app/AccessCues.h"

#include <cmath>
#include <cstring>

#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"

namespace {

// A 12 ms tick: a 2 kHz tone that dies away, mono 16-bit at 48 kHz, as a WAV file image.
BYTE* MakeClick(DWORD* size) {
    const DWORD rate = 48000;
    const DWORD frames = rate * 12 / 1000;
    const DWORD dataBytes = frames * 2;
    *size = 44 + dataBytes;
    BYTE* image = new BYTE[*size];
    auto put32 = [&](DWORD at, DWORD v) {
        for (int i = 0; i < 4; ++i) {
            image[at + i] = static_cast<BYTE>(v >> (8 * i));
        }
    };
    auto put16 = [&](DWORD at, DWORD v) {
        image[at] = static_cast<BYTE>(v);
        image[at + 1] = static_cast<BYTE>(v >> 8);
    };
    std::memcpy(image, "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(image + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, WAVE_FORMAT_PCM);
    put16(22, 1);
    put32(24, rate);
    put32(28, rate * 2);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(image + 36, "data", 4);
    put32(40, dataBytes);
    const double pi = std::acos(-1.0);
    for (DWORD i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 0.7 * std::exp(-t * 400.0) * std::sin(2 * pi * 2000.0 * t);
        put16(44 + 2 * i,
              static_cast<DWORD>(static_cast<int16_t>(std::lround(v * 32767))) & 0xFFFF);
    }
    return image;
}

}  // namespace

AccessCues::AccessCues() {
    DWORD size = 0;
    BYTE* image = MakeClick(&size);
    click = std::make_unique<WavePlayer>(image, size);
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
