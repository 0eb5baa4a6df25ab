// The pad's two voices: the one recipe that speaks the built-in words (tools/make-assets), a
// user's typed words (SndSpeakText, pulsor-make-kit), and makes both voices of a recording
// (SndShapeVoice). Plain C++ over libespeak-ng and libsox, so the tools use it without the rest
// of the platform. Any thread; the calls take turns, since neither library may be used by two
// threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::voices {

enum class Voice { Low, High };

// espeak-ng's own rate, which the spoken words keep.
constexpr unsigned kSpokenRate = 22050;
// Longer sounds are refused by Shape; longer speech by Speak.
constexpr unsigned kMaxSeconds = 30;

enum class Spoken {
    Made,
    NoSynthesiser,  // libespeak-ng, its data or its voices are missing
    NothingToSay,   // blank text
    Failed,         // too long, silent, or the effects failed
};

// `text` (UTF-8) spoken by espeak-ng in `voice` and given the voice's pitch and tone by sox,
// then cut to just before the voice, faded out and brought to a peak of -1 dBFS: 16-bit mono
// samples at kSpokenRate in `word`. The same text gives the same samples every time, in any
// process. Otherwise the reason, worded to follow the text.
Spoken Speak(const std::string& text, Voice voice, std::vector<int16_t>* word, std::string* reason);

// A sound (mono, full scale at +-1, `rate` Hz) as a word in `voice`: the low voice is the sound
// itself, the high one is raised by the distance between the two voices' pitch shifts and given
// the high voice's tone. With `trim`, the silence before and after it is cut first (what is
// 30 dB under its loudest part and near its quietest). Brought to a peak of -1 dBFS: 16-bit mono
// samples at `rate` in `word`. False with the reason (only silence, too long...).
bool Shape(const std::vector<float>& sound, unsigned rate, Voice voice, bool trim,
           std::vector<int16_t>* word, std::string* reason);

}  // namespace platform::voices
