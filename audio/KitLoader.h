// A kit: a folder of the user's own words (L1..L16 and H1..H16 in any format the platform
// decodes), optionally its beat (Pulsor.*) and its captions (labels.txt). Whatever it lacks, or
// holds but cannot be played, comes from the built-in sounds, and each problem is one line on
// stderr naming the file and the reason.
#pragma once

#include "platform/win32.h"

class SoundBank;
class WavePlayer;

class KitLoader {
public:
    // Every kit word is brought to the loudness of the built-in words (their median, measured
    // the same way), so a quiet and a loud recording play equally loud.
    static constexpr float kBuiltInLoudness = -12.0f;
    static constexpr DWORD kMaxSeconds = 20;
    static constexpr DWORD kMaxChannels = 8;
    static constexpr int kMaxLabelLength = 48;  // characters; a longer caption is not used
    static constexpr DWORD kMaxLabelsBytes = 64 * 1024;

    // `kitFolder` and `builtInFolder` end in a path separator.
    KitLoader(LPCWSTR kitFolder, LPCWSTR builtInFolder);

    // The 32 words into `bank`, and the kit's captions.
    void LoadWords(SoundBank* bank) const;
    // The sixteen words of one voice into `bank`; how many the kit has. Two threads may load
    // the two voices of one bank at once.
    int LoadVoice(SoundBank* bank, bool high) const;
    // Word 1..16 in one voice, as LoadWords loads it (null without memory).
    WavePlayer* CreateWord(int word, bool high) const;
    // The kit's beat, else the built-in one (null without memory).
    WavePlayer* CreateBeat() const;
    // labels.txt into `bank`: line n captions word n; lines that are missing, too long or not
    // UTF-8 leave the pad's own captions.
    void LoadLabels(SoundBank* bank) const;

private:
    // The kit's `stem`.* decoded, or the built-in `stem`.wav; `matchLoudness` for words.
    // `found` (optional) tells whether the kit has such a file at all.
    WavePlayer* CreatePlayer(LPCWSTR stem, bool matchLoudness, bool* found = nullptr) const;

    WCHAR kit[MAX_PATH];
    WCHAR builtIn[MAX_PATH];
};
