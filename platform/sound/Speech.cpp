// A kit's words made by the platform: typed text spoken, and a recording made into both voices,
// by the recipe of the built-in words (Voices.cpp).
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/sound/SoundCalls.h"
#include "platform/sound/Voices.h"
#include "platform/sound/WaveImage.h"
#include "platform/win32.h"

namespace {

using platform::sound::Refuse;
namespace voices = platform::voices;

constexpr size_t kMostCharacters = 1000;

LPBYTE Image(const std::vector<int16_t>& word, unsigned rate, LPDWORD size, LPWSTR reason,
             UINT cchReason) {
    LPBYTE image = nullptr;
    try {
        image = platform::sound::NewImage(platform::sound::Pcm16Image(word, rate, 1), size);
    } catch (const std::bad_alloc&) {
    }
    if (!image) {
        Refuse(ERROR_NOT_ENOUGH_MEMORY, "is too large for the memory left", reason, cchReason);
    }
    return image;
}

// The image's sound, its channels mixed, or why it has none.
bool Decode(const BYTE* image, DWORD imageSize, std::vector<float>* mono, int* rate,
            std::string* why) {
    platform::sound::MemoryFile file(image, imageSize);
    SF_INFO info{};
    SNDFILE* sound = file.Open(SFM_READ, &info);
    if (!sound) {
        *why = std::string("does not decode: ") + sf_strerror(nullptr);
        return false;
    }
    if (info.samplerate <= 0 || info.channels <= 0) {
        *why = "holds no sound";
        return false;
    }
    if (info.frames > static_cast<sf_count_t>(voices::kMaxSeconds) * info.samplerate) {
        char text[64];
        std::snprintf(text, sizeof text, "lasts %.1f s (at most %u s)",
                      static_cast<double>(info.frames) / info.samplerate, voices::kMaxSeconds);
        *why = text;
        return false;
    }
    std::vector<float> frames(static_cast<size_t>(std::max<sf_count_t>(info.frames, 0)) *
                              static_cast<size_t>(info.channels));
    const sf_count_t got = info.frames > 0 ? sf_readf_float(sound, frames.data(), info.frames) : 0;
    if (got <= 0) {
        *why = "holds no sound";
        return false;
    }
    mono->assign(static_cast<size_t>(got), 0.0f);
    for (size_t i = 0; i < mono->size(); ++i) {
        float sum = 0;
        for (int c = 0; c < info.channels; ++c) {
            sum += frames[i * static_cast<size_t>(info.channels) + static_cast<size_t>(c)];
        }
        (*mono)[i] = sum / static_cast<float>(info.channels);
    }
    *rate = info.samplerate;
    return true;
}

}  // namespace

LPBYTE SndSpeakText(LPCWSTR text, DWORD voice, LPDWORD size, LPWSTR reason, UINT cchReason) {
    if (!text || !size || (voice != SNDVOICE_LOW && voice != SNDVOICE_HIGH)) {
        Refuse(ERROR_INVALID_PARAMETER, "is not a text and a voice", reason, cchReason);
        return nullptr;
    }
    *size = 0;
    if (std::char_traits<wchar_t>::length(text) > kMostCharacters) {
        Refuse(ERROR_INVALID_PARAMETER,
               "is longer than " + std::to_string(kMostCharacters) + " characters", reason,
               cchReason);
        return nullptr;
    }
    std::vector<int16_t> word;
    std::string why;
    const voices::Spoken spoken = voices::Speak(
        platform::ToUtf8(text), voice == SNDVOICE_HIGH ? voices::Voice::High : voices::Voice::Low,
        &word, &why);
    if (spoken != voices::Spoken::Made) {
        Refuse(spoken == voices::Spoken::NoSynthesiser  ? ERROR_NOT_SUPPORTED
               : spoken == voices::Spoken::NothingToSay ? ERROR_INVALID_PARAMETER
                                                        : ERROR_INVALID_DATA,
               why, reason, cchReason);
        return nullptr;
    }
    return Image(word, voices::kSpokenRate, size, reason, cchReason);
}

LPBYTE SndShapeVoice(const BYTE* image, DWORD imageSize, DWORD voice, DWORD flags, LPDWORD size,
                     LPWSTR reason, UINT cchReason) {
    if (!image || !size || (voice != SNDVOICE_LOW && voice != SNDVOICE_HIGH) ||
        (flags & ~static_cast<DWORD>(SNDSHAPE_TRIM))) {
        Refuse(ERROR_INVALID_PARAMETER, "is not a sound, a voice and its flags", reason, cchReason);
        return nullptr;
    }
    *size = 0;
    std::vector<float> sound;
    int rate = 0;
    std::string why;
    std::vector<int16_t> word;
    if (!Decode(image, imageSize, &sound, &rate, &why) ||
        !voices::Shape(sound, static_cast<unsigned>(rate),
                       voice == SNDVOICE_HIGH ? voices::Voice::High : voices::Voice::Low,
                       (flags & SNDSHAPE_TRIM) != 0, &word, &why)) {
        Refuse(ERROR_INVALID_DATA, why, reason, cchReason);
        return nullptr;
    }
    return Image(word, static_cast<unsigned>(rate), size, reason, cchReason);
}
