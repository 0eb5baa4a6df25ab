#include "app/Microphone.h"

#include <algorithm>
#include <cstdlib>

#include "audio/WaveImage.h"

namespace {

WAVEFORMATEX Format() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = Microphone::kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = Microphone::kRate * 2;
    return format;
}

}  // namespace

Microphone::~Microphone() {
    if (device) {
        Stop();
    }
}

std::wstring Microphone::ErrorText(MMRESULT result) {
    WCHAR text[256] = L"";
    if (waveInGetErrorTextW(result, text, 256) != MMSYSERR_NOERROR || !text[0]) {
        return L"the microphone cannot be opened (error " + std::to_wstring(result) + L")";
    }
    return text;
}

std::wstring Microphone::WhyNot() const {
    // With a device to try, trying is left to the press: merely showing the page opens nothing.
    if (device || waveInGetNumDevs() > 0) {
        return L"";
    }
    const WAVEFORMATEX format = Format();
    HWAVEIN probe = nullptr;
    const MMRESULT result = waveInOpen(&probe, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        return ErrorText(result);
    }
    waveInClose(probe);
    return L"";
}

bool Microphone::Start(std::wstring* why) {
    if (device) {
        return true;
    }
    const WAVEFORMATEX format = Format();
    const MMRESULT result = waveInOpen(&device, WAVE_MAPPER, &format,
                                       reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    if (result != MMSYSERR_NOERROR) {
        device = nullptr;
        if (why) {
            *why = ErrorText(result);
        }
        return false;
    }
    take.clear();
    take.reserve(kRate * kMaxSeconds);
    for (int i = 0; i < kBuffers; ++i) {
        buffers[i].assign(kBufferFrames, 0);
        headers[i] = WAVEHDR{};
        headers[i].lpData = reinterpret_cast<LPSTR>(buffers[i].data());
        headers[i].dwBufferLength = kBufferFrames * 2;
        waveInPrepareHeader(device, &headers[i], sizeof(WAVEHDR));
        pending[i] = waveInAddBuffer(device, &headers[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    }
    waveInStart(device);
    return true;
}

void Microphone::Take(WAVEHDR& header) {
    const size_t index = static_cast<size_t>(&header - headers);
    pending[index] = false;
    const size_t room = kRate * kMaxSeconds - take.size();
    const size_t frames = std::min<size_t>(header.dwBytesRecorded / 2, room);
    const short* samples = reinterpret_cast<const short*>(header.lpData);
    take.insert(take.end(), samples, samples + frames);
}

bool Microphone::OnData(HWAVEIN from, WAVEHDR* header, double* peak, bool* full) {
    if (!device || from != device || header < headers || header >= headers + kBuffers ||
        !pending[header - headers]) {
        return false;
    }
    const size_t before = take.size();
    Take(*header);
    int loudest = 0;
    for (size_t i = before; i < take.size(); ++i) {
        loudest = std::max(loudest, std::abs(static_cast<int>(take[i])));
    }
    *peak = loudest / 32768.0;
    *full = take.size() >= kRate * kMaxSeconds;
    if (!*full) {
        header->dwBytesRecorded = 0;
        pending[header - headers] =
            waveInAddBuffer(device, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    }
    return true;
}

std::vector<BYTE> Microphone::Stop() {
    std::vector<BYTE> image;
    if (!device) {
        return image;
    }
    waveInStop(device);
    waveInReset(device);
    // The buffers the reset handed back are taken now; their messages come later and are not
    // this take's any more.
    for (int i = 0; i < kBuffers; ++i) {
        if (pending[i] && (headers[i].dwFlags & WHDR_DONE)) {
            Take(headers[i]);
        }
        waveInUnprepareHeader(device, &headers[i], sizeof(WAVEHDR));
        pending[i] = false;
    }
    waveInClose(device);
    device = nullptr;
    if (take.empty()) {
        return image;
    }
    image = MonoWaveImage(take.data(), take.size(), kRate);
    take.clear();
    return image;
}
