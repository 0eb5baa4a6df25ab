// waveIn: one microphone, one open handle at a time, its buffers filled in the order they were
// added and handed back to the window with MM_WIM_DATA as each is full (or when recording stops
// or is reset).
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/kernel/Handles.h"
#include "platform/kernel/WideString.h"
#include "platform/wave/Microphone.h"
#include "platform/wave/WaveVoice.h"

namespace platform::wave {
namespace {

using waveout::ChangeFlags;
using waveout::Flags;

enum class Source { None, Sdl, File };

struct Choice {
    std::mutex mutex;
    Source source = Source::None;
    std::shared_ptr<const MicrophoneFile> file;
};

Choice& TheChoice() {
    static auto* choice = new Choice();  // never destroyed: a recording may outlive main
    return *choice;
}

constexpr char kNoMicrophone[] = "no microphone is connected";

struct WaveIn : HandleObject {
    static constexpr HandleType kType = HandleType::WaveIn;
    WaveIn() : HandleObject(kType) {}

    HWND window = nullptr;  // null: CALLBACK_NULL
    uint32_t frameBytes = 0;
    std::unique_ptr<Microphone> mic;

    std::mutex control;  // one call at a time on the handle: start, stop, reset, close
    bool started = false;

    std::mutex mutex;  // the queue, between the calls and the microphone's thread
    std::deque<WAVEHDR*> queue;

    HWAVEIN Handle() { return reinterpret_cast<HWAVEIN>(static_cast<HandleObject*>(this)); }

    void Notify(UINT message, LPARAM lParam) {
        if (window) {
            PostMessage(window, message, reinterpret_cast<WPARAM>(Handle()), lParam);
        }
    }

    // The first buffer goes back to the window with what it holds; under `mutex`.
    void ReturnFirst() {
        WAVEHDR* header = queue.front();
        queue.pop_front();
        ChangeFlags(header, WHDR_DONE, WHDR_INQUEUE);
        Notify(MM_WIM_DATA, reinterpret_cast<LPARAM>(header));
    }

    // On the microphone's thread: frames into the buffers; what finds no buffer is lost.
    void Deliver(const int16_t* frames, uint32_t count) {
        const auto* bytes = reinterpret_cast<const char*>(frames);
        size_t left = static_cast<size_t>(count) * frameBytes;
        std::lock_guard<std::mutex> lock(mutex);
        while (left > 0 && !queue.empty()) {
            WAVEHDR* header = queue.front();
            const size_t room =
                (header->dwBufferLength / frameBytes) * frameBytes - header->dwBytesRecorded;
            const size_t taken = std::min(room, left);
            std::memcpy(header->lpData + header->dwBytesRecorded, bytes, taken);
            header->dwBytesRecorded += static_cast<DWORD>(taken);
            bytes += taken;
            left -= taken;
            if (taken == room) {
                ReturnFirst();
            }
        }
    }

    // Under `control`: the microphone stops, and what it still delivered is in the buffers.
    void StopRecording() {
        if (started) {
            mic->Stop();
            started = false;
        }
    }
};

std::mutex gOpenMutex;
WaveIn* gOpen = nullptr;  // the one open handle

// The words of this thread's last failed waveInOpen.
struct LastFailure {
    MMRESULT code = MMSYSERR_NOERROR;
    std::string reason;
};
thread_local LastFailure tlsFailure;

MMRESULT Fail(MMRESULT code, std::string reason) {
    tlsFailure = LastFailure{code, std::move(reason)};
    return code;
}

// Stops recording and hands back the buffer being filled, or with `all` every buffer.
MMRESULT Halt(HWAVEIN waveIn, bool all) {
    WaveIn* handle = LookupAs<WaveIn>(waveIn);
    if (!handle) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard<std::mutex> lock(handle->control);
    handle->StopRecording();
    std::lock_guard<std::mutex> queueLock(handle->mutex);
    while (!handle->queue.empty() && (all || handle->queue.front()->dwBytesRecorded > 0)) {
        handle->ReturnFirst();
        if (!all) {
            break;
        }
    }
    return MMSYSERR_NOERROR;
}

bool ValidHeader(const WAVEHDR* header, UINT size) {
    return header && size >= sizeof(WAVEHDR) && header->lpData && header->dwBufferLength > 0;
}

}  // namespace

void UseSdlMicrophone() {
    std::lock_guard<std::mutex> lock(TheChoice().mutex);
    TheChoice().source = Source::Sdl;
    TheChoice().file = nullptr;
}

bool UseMicrophoneFile(const std::string& path, std::string* error) {
    auto file = DecodeMicrophoneFile(path, error);
    if (!file) {
        return false;
    }
    std::lock_guard<std::mutex> lock(TheChoice().mutex);
    TheChoice().source = Source::File;
    TheChoice().file = std::move(file);
    return true;
}

void UseNoMicrophone() {
    std::lock_guard<std::mutex> lock(TheChoice().mutex);
    TheChoice().source = Source::None;
    TheChoice().file = nullptr;
}

bool HasMicrophone() {
    Source source;
    {
        std::lock_guard<std::mutex> lock(TheChoice().mutex);
        source = TheChoice().source;
    }
    return source == Source::File || (source == Source::Sdl && SdlHasMicrophone());
}

std::unique_ptr<Microphone> OpenMicrophone(uint32_t rate, int channels, MMRESULT* code,
                                           std::string* reason) {
    Source source;
    std::shared_ptr<const MicrophoneFile> file;
    {
        std::lock_guard<std::mutex> lock(TheChoice().mutex);
        source = TheChoice().source;
        file = TheChoice().file;
    }
    switch (source) {
        case Source::File:
            return OpenFileMicrophone(file, rate, channels, code, reason);
        case Source::Sdl:
            return OpenSdlMicrophone(rate, channels, code, reason);
        default:
            *code = MMSYSERR_NODRIVER;
            *reason = kNoMicrophone;
            return nullptr;
    }
}

}  // namespace platform::wave

using namespace platform;
using namespace platform::wave;

UINT waveInGetNumDevs(void) {
    return HasMicrophone() ? 1 : 0;
}

MMRESULT waveInOpen(LPHWAVEIN waveIn, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags) {
    (void)instance;
    if (deviceId != WAVE_MAPPER && deviceId != 0) {
        return Fail(MMSYSERR_BADDEVICEID, "there is one microphone, device 0");
    }
    if (!format || (!waveIn && !(flags & WAVE_FORMAT_QUERY))) {
        return Fail(MMSYSERR_INVALPARAM, "no format or no handle to fill");
    }
    if (format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16 ||
        format->nChannels < 1 || format->nChannels > 2 || format->nSamplesPerSec < 4000 ||
        format->nSamplesPerSec > 192000 || format->nBlockAlign != 2 * format->nChannels) {
        return Fail(WAVERR_BADFORMAT,
                    "the microphone records 16-bit PCM, mono or stereo, at 4 to 192 kHz");
    }
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if ((flags & ~(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY)) != 0 ||
        (type != CALLBACK_NULL && type != CALLBACK_WINDOW)) {
        return Fail(MMSYSERR_INVALFLAG, "messages go to a window (CALLBACK_WINDOW) or nowhere");
    }
    HWND window = type == CALLBACK_WINDOW ? reinterpret_cast<HWND>(callback) : nullptr;
    if (type == CALLBACK_WINDOW && !IsWindow(window)) {
        return Fail(MMSYSERR_INVALPARAM, "the callback is no window");
    }
    if (flags & WAVE_FORMAT_QUERY) {
        return MMSYSERR_NOERROR;
    }
    *waveIn = nullptr;
    std::lock_guard<std::mutex> lock(gOpenMutex);
    if (gOpen) {
        return Fail(MMSYSERR_ALLOCATED, "the microphone is already recording for this program");
    }
    MMRESULT code = MMSYSERR_NOERROR;
    std::string reason;
    std::unique_ptr<Microphone> mic =
        OpenMicrophone(format->nSamplesPerSec, format->nChannels, &code, &reason);
    if (!mic) {
        return Fail(code, reason);
    }
    auto* handle = new WaveIn();
    handle->window = window;
    handle->frameBytes = format->nBlockAlign;
    handle->mic = std::move(mic);
    RegisterHandle(handle);
    gOpen = handle;
    *waveIn = handle->Handle();
    handle->Notify(MM_WIM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
    if (!LookupAs<WaveIn>(waveIn)) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!ValidHeader(header, size)) {
        return MMSYSERR_INVALPARAM;
    }
    ChangeFlags(header, WHDR_PREPARED, WHDR_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
    if (!LookupAs<WaveIn>(waveIn)) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!header || size < sizeof(WAVEHDR)) {
        return MMSYSERR_INVALPARAM;
    }
    if (Flags(header) & WHDR_INQUEUE) {
        return WAVERR_STILLPLAYING;
    }
    ChangeFlags(header, 0, WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInAddBuffer(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
    WaveIn* handle = LookupAs<WaveIn>(waveIn);
    if (!handle) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!ValidHeader(header, size) || header->dwBufferLength < handle->frameBytes) {
        return MMSYSERR_INVALPARAM;
    }
    const DWORD headerFlags = Flags(header);
    if (!(headerFlags & WHDR_PREPARED)) {
        return WAVERR_UNPREPARED;
    }
    if (headerFlags & WHDR_INQUEUE) {
        return WAVERR_STILLPLAYING;
    }
    std::lock_guard<std::mutex> lock(handle->mutex);
    header->dwBytesRecorded = 0;
    ChangeFlags(header, WHDR_INQUEUE, WHDR_DONE);
    handle->queue.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInStart(HWAVEIN waveIn) {
    WaveIn* handle = LookupAs<WaveIn>(waveIn);
    if (!handle) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard<std::mutex> lock(handle->control);
    if (!handle->started) {
        handle->started = true;
        handle->mic->Start(
            [handle](const int16_t* frames, uint32_t count) { handle->Deliver(frames, count); });
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveInStop(HWAVEIN waveIn) {
    // The buffer being filled goes back with what it has; empty ones wait for the next start.
    return Halt(waveIn, false);
}

MMRESULT waveInReset(HWAVEIN waveIn) {
    return Halt(waveIn, true);
}

MMRESULT waveInClose(HWAVEIN waveIn) {
    WaveIn* handle = LookupAs<WaveIn>(waveIn);
    if (!handle) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        std::lock_guard<std::mutex> lock(handle->control);
        {
            std::lock_guard<std::mutex> queueLock(handle->mutex);
            if (!handle->queue.empty()) {
                return WAVERR_STILLPLAYING;
            }
        }
        handle->StopRecording();
    }
    UnregisterHandle(handle);
    handle->Notify(MM_WIM_CLOSE, 0);
    {
        std::lock_guard<std::mutex> lock(gOpenMutex);
        gOpen = nullptr;
    }
    delete handle;
    return MMSYSERR_NOERROR;
}

MMRESULT waveInGetErrorTextW(MMRESULT error, LPWSTR text, UINT cchText) {
    if (!text || cchText == 0) {
        return MMSYSERR_INVALPARAM;
    }
    std::string words;
    if (error == tlsFailure.code && !tlsFailure.reason.empty()) {
        words = tlsFailure.reason;
    } else {
        switch (error) {
            case MMSYSERR_NOERROR:
                words = "no error";
                break;
            case MMSYSERR_ERROR:
                words = "the microphone failed";
                break;
            case MMSYSERR_BADDEVICEID:
                words = "there is no such microphone";
                break;
            case MMSYSERR_ALLOCATED:
                words = "the microphone is already in use";
                break;
            case MMSYSERR_INVALHANDLE:
                words = "the handle is not an open microphone";
                break;
            case MMSYSERR_NODRIVER:
                words = kNoMicrophone;
                break;
            case MMSYSERR_NOMEM:
                words = "there is not enough memory";
                break;
            case MMSYSERR_INVALFLAG:
                words = "a flag is not known";
                break;
            case MMSYSERR_INVALPARAM:
                words = "a parameter is not valid";
                break;
            case WAVERR_BADFORMAT:
                words = "the microphone cannot record that format";
                break;
            case WAVERR_STILLPLAYING:
                words = "buffers are still queued";
                break;
            case WAVERR_UNPREPARED:
                words = "the buffer is not prepared";
                break;
            default:
                return MMSYSERR_BADERRNUM;
        }
    }
    const std::wstring wide = FromUtf8(words);
    const size_t copied = std::min<size_t>(wide.size(), cchText - 1);
    wide.copy(text, copied);
    text[copied] = L'\0';
    return MMSYSERR_NOERROR;
}
