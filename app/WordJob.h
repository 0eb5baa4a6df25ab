// Making one word of a kit away from the UI thread: a typed word spoken in both voices, a
// recording or a dropped file shaped into both, or the built-in word given back; then the kit's
// files written (FLAC, labels.txt) and the word loaded as the kit loader loads every word, with
// its loudness matched and its rate converted. The UI thread hands the job to a WordMaker, whose
// thread posts WM_WORD_DONE when it has finished; the UI thread then takes the players.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/WavePlayer.h"
#include "platform/win32.h"

struct WordJob {
    enum Kind { Speak, Record, File, BuiltIn, Caption };
    // The longest file a dropped word may be.
    static constexpr DWORD kMaxFileSeconds = 20;

    Kind kind = Speak;
    int word = 1;             // 1..16
    std::wstring kit;         // the kit's folder, ending in a path separator
    std::wstring builtIn;     // the built-in words' folder, ending in a path separator
    std::wstring text;        // Speak: what to say
    std::vector<BYTE> sound;  // Record: the microphone's sound, a WAV image
    std::wstring file;        // File: the dropped file
    // labels.txt's lines (captions of words 1..16, empty for the pad's own); written when set.
    std::vector<std::wstring> labels;

    // What came of it: empty when the word was made, else the file or text and the reason.
    std::wstring error;
    // The word's two voices, loaded (null for Caption, or when it failed).
    std::unique_ptr<WavePlayer> low;
    std::unique_ptr<WavePlayer> high;
};

// Does the job on the calling thread.
void RunWordJob(WordJob& job);

// One job at a time on a thread of its own.
class WordMaker {
public:
    WordMaker() = default;
    // Waits for a job still running; its result is dropped.
    ~WordMaker();
    WordMaker(const WordMaker&) = delete;
    WordMaker& operator=(const WordMaker&) = delete;

    bool IsBusy() const { return thread != nullptr; }
    // Starts `job` unless one is running; WM_WORD_DONE is posted to `window` when it is done.
    bool Start(std::unique_ptr<WordJob> job, HWND window);
    // On WM_WORD_DONE: the finished job (null when none was running).
    std::unique_ptr<WordJob> Finish();

private:
    static DWORD WINAPI ThreadProc(LPVOID parameter);

    HANDLE thread = nullptr;
    HWND notify = nullptr;
    std::unique_ptr<WordJob> job;  // the thread's until it posts, then the UI thread's
};
