// Changing the kit while the program runs: the chosen kit's words and beat are loaded on a thread
// of their own, as the loader thread loads them at start, and handed to the UI thread, which
// swaps them in. A bank taken out is kept until none of its words sounds any more, so a word that
// is playing ends as it began; the beat is the Beat's to hand over when it ends.
#pragma once

#include <memory>
#include <vector>

#include "platform/win32.h"

class SoundBank;
class WavePlayer;

class KitSwitch {
public:
    // What a kit loads into.
    struct Sounds {
        std::unique_ptr<SoundBank> bank;
        std::unique_ptr<WavePlayer> beat;  // null: the kit and the built-in sounds have none
    };
    // `kitFolder` (empty: the built-in words) with `builtInFolder` for whatever it lacks; both
    // end in a path separator. Any thread.
    static Sounds Load(LPCWSTR kitFolder, LPCWSTR builtInFolder);

    // The finished load is announced to `window` as WM_COMMAND `command` (lParam: the load).
    KitSwitch(HWND window, UINT command, LPCWSTR builtInFolder);
    // Waits for a load under way and lets every bank go.
    ~KitSwitch();
    KitSwitch(const KitSwitch&) = delete;
    KitSwitch& operator=(const KitSwitch&) = delete;

    // Starts loading `kitFolder`. While a load runs, the last folder asked is loaded after it and
    // only that one is handed over. False when no thread can be started.
    bool Start(LPCWSTR kitFolder);
    // The WM_COMMAND `command`: the sounds of the last kit asked for, with its folder in
    // `folder` (MAX_PATH); empty sounds when the announcement is stale or a newer kit is asked
    // for (that one is then started).
    Sounds Finish(LPARAM load, WCHAR* folder);
    bool IsLoading() const { return job != nullptr; }

    // A bank taken out of play: deleted once none of its words sounds (checked on timer
    // `timerId` of the window).
    void Retire(std::unique_ptr<SoundBank> bank, UINT timerId);
    size_t RetiredCount() const { return retired.size(); }
    // Deletes the retired banks whose words have all ended; true when none is left.
    bool Sweep();

private:
    struct Job;
    static DWORD WINAPI ThreadProc(LPVOID parameter);
    static void CALLBACK SweepTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    void Join();

    HWND window;
    UINT command;
    WCHAR builtIn[MAX_PATH];
    std::unique_ptr<Job> job;
    bool hasNext = false;
    WCHAR next[MAX_PATH];
    std::vector<std::unique_ptr<SoundBank>> retired;
    UINT sweepTimer = 0;
};
