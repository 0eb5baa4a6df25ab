// One sound held whole in memory with its own output stream. Playing only resets the stream and
// writes the one prepared buffer again, so a sound starts at once and always from its first sample;
// the platform mixes all streams that play at the same time.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/win32.h"

// Format and whole-second play time of a canonical 44-byte-header WAV image. False for an image
// too short to hold the header or a format that cannot give a length (a zero rate, channel count,
// sample size or block size); the fields are then left zero.
bool ReadWaveHeader(const BYTE* image, size_t size, WAVEFORMATEX* format, DWORD* lengthSeconds);

// Threads: a player is used by one thread at a time (built on the loader thread, then played,
// stopped and set on the UI thread); different players are independent. Only WaveOutCallback
// runs elsewhere, on the platform's notifier thread. Play and Stop never wait for the audio
// thread; the destructor waits until the platform has let go of the sample (about one period).
class WavePlayer {
public:
    // Reads the file and opens its stream. A player that cannot set up is inert: every operation
    // reports false and nothing sounds.
    explicit WavePlayer(const wchar_t* path);
    // The same from a WAV file image already in memory (allocated with new[]), which the player
    // takes over.
    WavePlayer(BYTE* image, DWORD size);
    virtual ~WavePlayer();

    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    // Done notices are posted to window as WM_COMMAND (command in the low word, MM_WOM_DONE in the
    // high word, the player as lParam). Call before the first Play.
    bool SetNotify(HWND window, UINT command);
    // level 0..100 scales this stream's own output.
    bool SetVolume(UINT level);
    // Silences the stream at once; a queued buffer comes back marked done.
    bool Stop();
    // Cuts what is playing and starts again from the first sample.
    bool Play();
    DWORD GetLengthSeconds() const { return lengthSeconds; }
    // True from Play until the platform has handed the sample back (its end, or a Stop).
    bool IsSounding() const;

    bool IsPlayable() const;
    const WAVEFORMATEX& GetFormat() const { return format; }

    // Runs on the platform's notifier thread; only posts a message.
    static void CALLBACK WaveOutCallback(HWAVEOUT waveOut, UINT message, DWORD_PTR instance,
                                         DWORD_PTR param1, DWORD_PTR param2);

protected:
    void Open(BYTE* image, DWORD size);

    // Read by the notifier thread, so atomic even though they are set before any playing.
    std::atomic<HWND> notifyWindow{nullptr};
    std::atomic<UINT> notifyCommand{0};
    BYTE* fileData = nullptr;
    DWORD fileSize = 0;
    WAVEFORMATEX format{};
    HWAVEOUT device = nullptr;
    WAVEHDR* header = nullptr;
    DWORD lengthSeconds = 0;
};
