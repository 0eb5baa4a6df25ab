// The pad's 32 word samples: sixteen words, each in a low and a high voice, one player apiece.
#pragma once

#include "platform/win32.h"

class WavePlayer;

class SoundBank {
public:
    static constexpr int kWords = 16;

    SoundBank();
    virtual ~SoundBank();
    SoundBank(const SoundBank&) = delete;
    SoundBank& operator=(const SoundBank&) = delete;

    // Creates a player for each of L1..L16.wav and H1..H16.wav in `folder` (ending in a path
    // separator). A missing file still gets a player, a silent one.
    void Load(LPCWSTR folder);
    // Word 1..16; null for any other word or an empty slot.
    WavePlayer* GetSample(int word, bool isHigh) const;
    // Starts word 1..16 from its beginning; anything else does nothing. `level` 0..127 scales
    // this play linearly against the bank's volume (127, a tap, plays at the volume itself).
    static constexpr UINT kFullLevel = 127;
    void Play(int word, bool isHigh, UINT level = kFullLevel);
    // Puts `player` (owned from now on, null for none) in word 1..16's slot in place of what was
    // there; false, with the player deleted, for any other word.
    bool SetSample(int word, bool isHigh, WavePlayer* player);
    // A kit's caption for word 1..16, or null where the pad shows its own.
    static constexpr int kMaxLabel = 64;
    void SetLabel(int word, LPCWSTR text);
    LPCWSTR GetLabel(int word) const;
    // 0..100 applied to every player; a level above 100 changes nothing.
    void SetVolume(UINT level);
    UINT GetVolume() const { return volume; }
    // True while any of the words plays.
    bool IsSounding() const;

private:
    void Release();

    UINT volume;
    WavePlayer* low[kWords];
    WavePlayer* high[kWords];
    WCHAR labels[kWords][kMaxLabel];
};
