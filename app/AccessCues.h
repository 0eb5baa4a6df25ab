// What a scan step sounds like: a short click, or the highlighted cell's word in the low voice,
// quietly. Each cue has a stream of its own, apart from the pad's, so a cue never cuts a word
// that is sounding; a new cue cuts the one before it.
#pragma once

#include <memory>

#include "platform/win32.h"

class SoundBank;
class WavePlayer;

class AccessCues {
public:
    AccessCues();
    ~AccessCues();
    AccessCues(const AccessCues&) = delete;
    AccessCues& operator=(const AccessCues&) = delete;

    // Copies of the bank's low words, made once (the first call with a bank after the last
    // DropWords), on their own streams. Until then a word cue clicks.
    void LoadWords(const SoundBank* bank);
    // Another kit plays: its words are copied at the next LoadWords; a cue of the old ones that
    // still sounds is cut.
    void DropWords();
    bool HasWords() const { return wordsLoaded; }
    // 0..100.
    void SetVolume(UINT level);
    void Click();
    // Cell 0..15's word; a cell without one clicks.
    void Word(int cell);

private:
    void Play(WavePlayer* player);

    static constexpr int kWords = 16;
    std::unique_ptr<WavePlayer> click;
    std::unique_ptr<WavePlayer> words[kWords];
    WavePlayer* sounding = nullptr;
    bool wordsLoaded = false;
    UINT volume = 100;
};
