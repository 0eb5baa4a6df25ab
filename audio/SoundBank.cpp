#include "audio/SoundBank.h"

#include <new>

#include "audio/WavePlayer.h"
#include "settings/Settings.h"

namespace {

const UINT kMaxVolume = 100;

// folder + "L<n>.wav" (or "H<n>.wav"); null when the path would not fit its buffer, so that a
// cut path never opens some other file.
WavePlayer* CreatePlayer(LPCWSTR folder, LPCWSTR format, int word) {
    WCHAR name[16];
    WCHAR path[MAX_PATH];
    if (FAILED(StringCchPrintf(name, 16, format, word)) ||
        FAILED(StringCchCat(name, 16, L".wav")) || !BuildPath(path, MAX_PATH, folder, name)) {
        return nullptr;
    }
    return new (std::nothrow) WavePlayer(path);
}

}  // namespace

SoundBank::SoundBank() : volume(kMaxVolume) {
    for (int i = 0; i < kWords; ++i) {
        low[i] = nullptr;
        high[i] = nullptr;
    }
}

SoundBank::~SoundBank() {
    Release();
}

void SoundBank::Release() {
    for (WavePlayer*& player : low) {
        delete player;
        player = nullptr;
    }
    for (WavePlayer*& player : high) {
        delete player;
        player = nullptr;
    }
}

void SoundBank::Load(LPCWSTR folder) {
    Release();  // a second load must not leak the first one's players
    for (int i = 0; i < kWords; ++i) {
        low[i] = CreatePlayer(folder, L"L%d", i + 1);
    }
    for (int i = 0; i < kWords; ++i) {
        high[i] = CreatePlayer(folder, L"H%d", i + 1);
    }
}

WavePlayer* SoundBank::GetSample(int word, bool isHigh) const {
    if (word < 1 || word > kWords) {
        return nullptr;
    }
    return isHigh ? high[word - 1] : low[word - 1];
}

void SoundBank::Play(int word, bool isHigh, UINT level) {
    WavePlayer* player = GetSample(word, isHigh);
    if (player == nullptr) {
        return;
    }
    if (level > kFullLevel) {
        level = kFullLevel;
    }
    // Every play sets its own level, so a soft note is not followed by a soft tap.
    player->SetVolume((volume * level + kFullLevel / 2) / kFullLevel);
    player->Play();
}

void SoundBank::SetVolume(UINT level) {
    if (level > kMaxVolume) {
        return;
    }
    volume = level;
    for (WavePlayer* player : low) {
        if (player != nullptr) {
            player->SetVolume(level);
        }
    }
    for (WavePlayer* player : high) {
        if (player != nullptr) {
            player->SetVolume(level);
        }
    }
}
