// The microphone while the record control is held: waveIn with its buffers handed back to the
// main window (MM_WIM_DATA), collected up to a limit, and the take as a WAV image at the end.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

class Microphone {
public:
    static constexpr DWORD kRate = 44100;
    static constexpr DWORD kMaxSeconds = 10;

    explicit Microphone(HWND window) : window(window) {}
    ~Microphone();
    Microphone(const Microphone&) = delete;
    Microphone& operator=(const Microphone&) = delete;

    // Why recording cannot start (no microphone, capture refused), or empty when it might.
    // Asked of the platform only when it has no device.
    std::wstring WhyNot() const;
    // Starts a take; false with the reason.
    bool Start(std::wstring* why);
    bool IsRecording() const { return device != nullptr; }
    // MM_WIM_DATA: false when it is not this take's. Otherwise `peak` is the buffer's (0..1)
    // and `full` tells that the time limit is reached.
    bool OnData(HWAVEIN from, WAVEHDR* header, double* peak, bool* full);
    // Ends the take: its sound as a 16-bit mono WAV image (empty when nothing was recorded).
    std::vector<BYTE> Stop();

private:
    static constexpr int kBuffers = 8;
    static constexpr DWORD kBufferFrames = kRate / 20;  // 50 ms each
    void Take(WAVEHDR& header);
    static std::wstring ErrorText(MMRESULT result);

    const HWND window;
    HWAVEIN device = nullptr;
    WAVEHDR headers[kBuffers] = {};
    bool pending[kBuffers] = {};  // added and not yet taken
    std::vector<short> buffers[kBuffers];
    std::vector<short> take;
};
