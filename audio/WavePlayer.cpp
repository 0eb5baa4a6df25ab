#include "audio/WavePlayer.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr size_t kHeaderBytes = 44;

uint32_t Read32(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

WORD Read16(const BYTE* p) {
    return static_cast<WORD>(p[0] | p[1] << 8);
}

// The platform changes a header's flags from its own threads.
DWORD FlagsOf(const WAVEHDR* header) {
    return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE);
}

}  // namespace

bool ReadWaveHeader(const BYTE* image, size_t size, WAVEFORMATEX* format, DWORD* lengthSeconds) {
    *format = WAVEFORMATEX{};
    *lengthSeconds = 0;
    if (!image || size < kHeaderBytes) {
        return false;
    }
    WAVEFORMATEX f{};
    f.wFormatTag = Read16(image + 20);
    f.nChannels = Read16(image + 22);
    f.nSamplesPerSec = Read32(image + 24);
    f.nAvgBytesPerSec = Read32(image + 28);
    f.nBlockAlign = Read16(image + 32);
    f.wBitsPerSample = Read16(image + 34);
    if (f.nChannels == 0 || f.nSamplesPerSec == 0 || f.wBitsPerSample == 0 || f.nBlockAlign == 0) {
        return false;
    }
    // In 64 bits: the data's bit count overflows 32 bits from 512 MiB on.
    const uint64_t bits = static_cast<uint64_t>(size - kHeaderBytes) * 8;
    const uint64_t bitsPerSecond =
        static_cast<uint64_t>(f.nSamplesPerSec) * f.nChannels * f.wBitsPerSample;
    const uint64_t seconds = bits / bitsPerSecond;
    *format = f;
    *lengthSeconds = seconds > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(seconds);
    return true;
}

WavePlayer::WavePlayer(const wchar_t* path) {
    header = new (std::nothrow) WAVEHDR{};
    FILE* file = path ? _wfopen(path, L"rb") : nullptr;
    if (!file) {
        return;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    std::fseek(file, 0, SEEK_SET);
    // Too short for the header, unmeasurable, or beyond what a WAV file's 32-bit sizes allow:
    // all leave the player inert, like a missing file.
    if (size < static_cast<long>(kHeaderBytes) || static_cast<unsigned long>(size) > 0xFFFFFFFFul) {
        std::fclose(file);
        return;
    }
    BYTE* data = new (std::nothrow) BYTE[static_cast<size_t>(size)];
    const size_t got = data ? std::fread(data, 1, static_cast<size_t>(size), file) : 0;
    std::fclose(file);
    if (got != static_cast<size_t>(size)) {
        delete[] data;
        return;
    }
    Open(data, static_cast<DWORD>(size));
}

WavePlayer::WavePlayer(BYTE* image, DWORD size) {
    header = new (std::nothrow) WAVEHDR{};
    Open(image, size);
}

void WavePlayer::Open(BYTE* data, DWORD size) {
    WAVEFORMATEX parsed;
    DWORD seconds;
    if (!ReadWaveHeader(data, size, &parsed, &seconds)) {
        delete[] data;
        return;
    }
    fileData = data;
    fileSize = size;
    format = parsed;
    lengthSeconds = seconds;
    if (!header) {
        return;
    }
    header->lpData = reinterpret_cast<LPSTR>(fileData + kHeaderBytes);
    header->dwBufferLength = fileSize - static_cast<DWORD>(kHeaderBytes);

    const UINT devices = waveOutGetNumDevs();
    for (UINT i = 0; i < devices; ++i) {
        if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(WaveOutCallback),
                        0, CALLBACK_FUNCTION) == MMSYSERR_NOERROR) {
            break;
        }
        device = nullptr;
    }
    if (device) {
        waveOutPrepareHeader(device, header, sizeof(WAVEHDR));
    }
}

WavePlayer::~WavePlayer() {
    if (device) {
        // A sound still playing would otherwise go on reading fileData after it is released.
        waveOutReset(device);
    }
    if (header) {
        if (device && FlagsOf(header) != 0) {
            waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
        }
        delete header;
        header = nullptr;
    }
    if (device) {
        waveOutClose(device);
        device = nullptr;
    }
    delete[] fileData;
    fileData = nullptr;
}

bool WavePlayer::IsPlayable() const {
    return fileData && header && device && FlagsOf(header) != 0;
}

bool WavePlayer::IsSounding() const {
    return header && (FlagsOf(header) & WHDR_INQUEUE) != 0;
}

bool WavePlayer::SetNotify(HWND window, UINT command) {
    if (!header || !window || !command) {
        return false;
    }
    notifyWindow.store(window);
    notifyCommand.store(command);
    __atomic_store_n(&header->dwUser, reinterpret_cast<DWORD_PTR>(this), __ATOMIC_RELEASE);
    return true;
}

bool WavePlayer::SetVolume(UINT level) {
    if (level > 100 || !device) {
        return false;
    }
    const DWORD volume = level * 0xFFFFu / 100;
    return waveOutSetVolume(device, volume) == MMSYSERR_NOERROR;
}

bool WavePlayer::Stop() {
    if (!device || !header || FlagsOf(header) == 0) {
        return false;
    }
    return waveOutReset(device) == MMSYSERR_NOERROR;
}

bool WavePlayer::Play() {
    if (!IsPlayable() || !Stop()) {
        return false;
    }
    return waveOutWrite(device, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

void CALLBACK WavePlayer::WaveOutCallback(HWAVEOUT, UINT message, DWORD_PTR, DWORD_PTR param1,
                                          DWORD_PTR) {
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    if (!header) {
        return;
    }
    auto* player =
        reinterpret_cast<WavePlayer*>(__atomic_load_n(&header->dwUser, __ATOMIC_ACQUIRE));
    if (!player) {
        return;
    }
    HWND window = player->notifyWindow.load();
    const UINT command = player->notifyCommand.load();
    if (!window || !command) {
        return;
    }
    if (message == MM_WOM_OPEN || message == MM_WOM_CLOSE || message == MM_WOM_DONE) {
        PostMessage(window, WM_COMMAND, static_cast<WPARAM>(message) << 16 | (command & 0xFFFF),
                    reinterpret_cast<LPARAM>(player));
    }
}
