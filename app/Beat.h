// The beat: its player, when it started and how long it is, the timer that moves its bar, and the
// player's notice that it has ended. What the page shows of it is the listener's.
#pragma once

#include <memory>

#include "platform/win32.h"

class WavePlayer;

class Beat {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void OnBeatStarted() = 0;
        virtual void OnBeatStopped() = 0;
        virtual void OnBeatProgress(int percent) = 0;
    };

    // `player` may be null (no beat file): then Start and Stop do nothing. Its end notices go to
    // `window` as WM_COMMAND IDC_BEAT_PLAYER.
    Beat(HWND window, std::unique_ptr<WavePlayer> player);
    ~Beat();
    Beat(const Beat&) = delete;
    Beat& operator=(const Beat&) = delete;

    void SetListener(Listener* value) { listener = value; }
    void SetVolume(UINT level);
    // Another kit's beat (null for none). A beat that is playing is not cut: the new player
    // takes over when it ends or is stopped.
    void SetPlayer(std::unique_ptr<WavePlayer> next);
    // Plays from the start (whether or not it can sound) and moves the bar every 300 ms.
    void Start();
    void Stop();
    // The end notice of the player now playing stops it (a late notice of a player since
    // replaced is ignored). True when the command was a beat player's.
    bool OnCommand(int id, int code, LPARAM player);

    // The bar's percent `elapsedMs` into a beat `lengthSeconds` long: whole seconds played, in
    // hundredths of the length; -1 where the bar stays as it is (at once, for a beat shorter than
    // a second, and past the end).
    static int PercentPlayed(DWORD elapsedMs, DWORD lengthSeconds);

private:
    static void CALLBACK ProgressTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    void Adopt(std::unique_ptr<WavePlayer> next);

    HWND window;
    std::unique_ptr<WavePlayer> player;
    std::unique_ptr<WavePlayer> pending;
    bool hasPending = false;  // a pending null (a kit without a beat) counts too
    bool playing = false;
    UINT volume = 100;
    Listener* listener = nullptr;
    DWORD startTime = 0;
    DWORD length = 0;  // whole seconds
};
