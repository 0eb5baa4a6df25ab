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
        labels[i][0] = L'\0';
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

bool SoundBank::SetSample(int word, bool isHigh, WavePlayer* player) {
    if (word < 1 || word > kWords) {
        delete player;
        return false;
    }
    WavePlayer*& slot = isHigh ? high[word - 1] : low[word - 1];
    delete slot;
    slot = player;
    return true;
}

void SoundBank::SetLabel(int word, LPCWSTR text) {
    if (word < 1 || word > kWords) {
        return;
    }
    // A caption that does not fit is left out whole rather than cut.
    if (!text || FAILED(StringCchCopy(labels[word - 1], kMaxLabel, text))) {
        labels[word - 1][0] = L'\0';
    }
}

LPCWSTR SoundBank::GetLabel(int word) const {
    if (word < 1 || word > kWords || labels[word - 1][0] == L'\0') {
        return nullptr;
    }
    return labels[word - 1];
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

bool SoundBank::IsSounding() const {
    for (int i = 0; i < kWords; ++i) {
        if ((low[i] && low[i]->IsSounding()) || (high[i] && high[i]->IsSounding())) {
            return true;
        }
    }
    return false;
}
