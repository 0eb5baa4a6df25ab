// The voices' recipe: espeak-ng speaks, sox gives the voice its pitch and tone, and the word is
// cut, faded and levelled as every built-in word was.
//
// libespeak-ng keeps part of its synthesis state in variables no call resets (the phase of its
// pitch flutter and of the wave, the echo, the breath noise drawn from rand()), so a second word
// spoken in a process comes out slightly unlike the same word spoken first. The library is
// therefore loaded for each word and unloaded after it, and rand() seeded as in a new process:
// every word is the one espeak-ng's own command makes, and the same in the program, in
// pulsor-make-kit and in the built-in words.
#include "platform/sound/Voices.h"

#include <dlfcn.h>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <sox.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/sound/WaveImage.h"

#if defined(__SANITIZE_ADDRESS__)
#define PULSOR_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PULSOR_LEAK_CHECKED 1
#endif
#endif
#ifdef PULSOR_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace platform::voices {
namespace {

struct Recipe {
    const char* espeakVoice;
    int espeakPitch;  // 0..100
    int wordsPerMinute;
    int shiftCents;  // sox pitch: moves the formants with the pitch
    const char* tone;
    const char* toneDb;
};

// espeak-ng's own pitch plus a pitch shift that moves the formants with it, so the low voice
// sounds like a deep speaker and the high one like a small one, not just a tune.
constexpr Recipe kLow = {"en-us+m3", 30, 150, -350, "bass", "+4"};
constexpr Recipe kHigh = {"en-us+f3", 70, 165, +450, "treble", "+2"};

const Recipe& RecipeOf(Voice voice) {
    return voice == Voice::High ? kHigh : kLow;
}

std::mutex& Turn() {
    static std::mutex turn;
    return turn;
}

// --- espeak-ng ---------------------------------------------------------------------------------

constexpr const char* kEspeakLibrary = "libespeak-ng.so.1";

struct Speech {
    std::vector<short> samples;
    size_t limit = 0;
    bool tooLong = false;
};

int OnSamples(short* wav, int count, espeak_EVENT* events) {
    Speech* speech = static_cast<Speech*>(events->user_data);
    if (!wav || count <= 0) {
        return 0;
    }
    if (speech->samples.size() + static_cast<size_t>(count) > speech->limit) {
        speech->tooLong = true;
        return 1;  // stops the synthesis
    }
    speech->samples.insert(speech->samples.end(), wav, wav + count);
    return 0;
}

// libespeak-ng for one word: loaded, initialised, and unloaded again when it goes.
class Espeak {
public:
    ~Espeak() {
        if (initialised_) {
            terminate_();
        }
        if (library_) {
            dlclose(library_);
        }
    }

    bool Open(std::string* reason) {
        library_ = dlopen(kEspeakLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!library_) {
            const char* why = dlerror();
            *reason = std::string("the speech synthesiser is not installed (") +
                      (why ? why : kEspeakLibrary) + ")";
            return false;
        }
        const bool found = Find("espeak_ng_InitializePath", &initializePath_) &&
                           Find("espeak_ng_Initialize", &initialize_) &&
                           Find("espeak_ng_InitializeOutput", &initializeOutput_) &&
                           Find("espeak_ng_SetVoiceByName", &setVoice_) &&
                           Find("espeak_ng_SetParameter", &setParameter_) &&
                           Find("espeak_ng_Synthesize", &synthesize_) &&
                           Find("espeak_ng_Synchronize", &synchronize_) &&
                           Find("espeak_ng_Terminate", &terminate_) &&
                           Find("espeak_SetSynthCallback", &setCallback_) &&
                           Find("espeak_ng_PrintStatusCodeMessage", &printStatus_) &&
                           Find("espeak_ng_ClearErrorContext", &clearContext_);
        if (!found) {
            *reason = std::string("the speech synthesiser ") + kEspeakLibrary +
                      " lacks the calls it needs";
            return false;
        }
        initializePath_(nullptr);  // its own data folder, or $ESPEAK_DATA_PATH
        espeak_ng_ERROR_CONTEXT context = nullptr;
        espeak_ng_STATUS status = initialize_(&context);
        if (status != ENS_OK) {
            *reason = "the speech synthesiser cannot start: " + Message(status, context);
            clearContext_(&context);
            return false;
        }
        initialised_ = true;
        status = initializeOutput_(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        if (status != ENS_OK) {
            *reason = "the speech synthesiser cannot start: " + Message(status, nullptr);
            return false;
        }
        setCallback_(OnSamples);
        return true;
    }

    // As espeak-ng's command speaks a text given on its command line into a file.
    bool Say(const std::string& text, const Recipe& recipe, Speech* speech, bool* installed,
             std::string* reason) {
        espeak_ng_STATUS status = setVoice_(recipe.espeakVoice);
        if (status != ENS_OK) {
            *installed = false;
            *reason = std::string("the speech synthesiser has no voice ") + recipe.espeakVoice +
                      ": " + Message(status, nullptr);
            return false;
        }
        setParameter_(espeakRATE, recipe.wordsPerMinute, 0);
        setParameter_(espeakPITCH, recipe.espeakPitch, 0);
        // The high voice's breath is noise from rand(): drawn as in a process of its own.
        std::srand(1);
        status = synthesize_(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                             espeakCHARS_AUTO | espeakPHONEMES | espeakENDPAUSE, nullptr, speech);
        if (status == ENS_OK) {
            status = synchronize_();
        }
        if (speech->tooLong) {
            *reason = "takes longer than " + std::to_string(kMaxSeconds) + " s to say";
            return false;
        }
        if (status != ENS_OK) {
            *reason = "cannot be spoken: " + Message(status, nullptr);
            return false;
        }
        return true;
    }

private:
    template <typename F>
    bool Find(const char* name, F* function) {
        *function = reinterpret_cast<F>(dlsym(library_, name));
        return *function != nullptr;
    }

    // The library's own words for a status, with the file it concerns.
    std::string Message(espeak_ng_STATUS status, espeak_ng_ERROR_CONTEXT context) {
        char* text = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&text, &size);
        if (!out) {
            return "status " + std::to_string(status);
        }
        printStatus_(status, out, context);
        std::fclose(out);
        std::string message(text, size);
        std::free(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == '.')) {
            message.pop_back();
        }
        return message;
    }

    void* library_ = nullptr;
    bool initialised_ = false;
    decltype(&espeak_ng_InitializePath) initializePath_ = nullptr;
    decltype(&espeak_ng_Initialize) initialize_ = nullptr;
    decltype(&espeak_ng_InitializeOutput) initializeOutput_ = nullptr;
    decltype(&espeak_ng_SetVoiceByName) setVoice_ = nullptr;
    decltype(&espeak_ng_SetParameter) setParameter_ = nullptr;
    decltype(&espeak_ng_Synthesize) synthesize_ = nullptr;
    decltype(&espeak_ng_Synchronize) synchronize_ = nullptr;
    decltype(&espeak_ng_Terminate) terminate_ = nullptr;
    decltype(&espeak_SetSynthCallback) setCallback_ = nullptr;
    decltype(&espeak_ng_PrintStatusCodeMessage) printStatus_ = nullptr;
    decltype(&espeak_ng_ClearErrorContext) clearContext_ = nullptr;
};

bool Synthesise(const std::string& text, const Recipe& recipe, Speech* speech, bool* installed,
                std::string* reason) {
#ifdef PULSOR_LEAK_CHECKED
    // espeak-ng 1.51 keeps its voice list and an audio object to the end of the process, and
    // frees neither when it terminates; once it is unloaded the leak checker sees them lost.
    __lsan::ScopedDisabler unloadedLibraryKeepsItsOwn;
#endif
    Espeak espeak;
    if (!espeak.Open(reason)) {
        *installed = false;
        return false;
    }
    return espeak.Say(text, recipe, speech, installed, reason);
}

// --- sox ---------------------------------------------------------------------------------------

std::string& SoxMessage() {
    static std::string message;
    return message;
}

void OnSoxMessage(unsigned level, const char*, const char* format, va_list args) {
    if (level > 1) {
        return;
    }
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    SoxMessage() = text;
}

struct Source {
    const std::vector<sox_sample_t>* samples;
    size_t at;
};

int SourceDrain(sox_effect_t* effect, sox_sample_t* out, size_t* count) {
    Source* source = *static_cast<Source**>(effect->priv);
    const size_t n = std::min(*count, source->samples->size() - source->at);
    std::copy_n(source->samples->data() + source->at, n, out);
    source->at += n;
    *count = n;
    return n ? SOX_SUCCESS : SOX_EOF;
}

int SinkFlow(sox_effect_t* effect, const sox_sample_t* in, sox_sample_t*, size_t* inCount,
             size_t* outCount) {
    std::vector<sox_sample_t>* sink = *static_cast<std::vector<sox_sample_t>**>(effect->priv);
    sink->insert(sink->end(), in, in + *inCount);
    *outCount = 0;
    return SOX_SUCCESS;
}

sox_effect_handler_t kSource = {"source", nullptr,     SOX_EFF_MCHAN, nullptr, nullptr,
                                nullptr,  SourceDrain, nullptr,       nullptr, sizeof(void*)};
sox_effect_handler_t kSink = {"sink",   nullptr, SOX_EFF_MCHAN, nullptr, nullptr,
                              SinkFlow, nullptr, nullptr,       nullptr, sizeof(void*)};

struct Chain {
    sox_effects_chain_t* chain = nullptr;
    ~Chain() {
        if (chain) {
            sox_delete_effects_chain(chain);
        }
    }
};

bool AddEffect(sox_effects_chain_t* chain, sox_effect_t* effect, std::vector<std::string> args,
               sox_signalinfo_t* signal, const sox_signalinfo_t* out) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    bool added =
        sox_effect_options(effect, static_cast<int>(argv.size()), argv.data()) == SOX_SUCCESS &&
        sox_add_effect(chain, effect, signal, out) == SOX_SUCCESS;
    std::free(effect);  // the chain holds its own copy
    return added;
}

// As `sox -R -D IN OUT pitch CENTS TONE DB rate RATE` does: the pitch effect shifts by changing
// the tempo and claiming another rate; the tone is set at that rate, and the rate effect brings
// the sound back to its own.
bool Reshape(const std::vector<sox_sample_t>& in, unsigned rate, int cents, const Recipe& tone,
             std::vector<sox_sample_t>* out, std::string* reason) {
    static const bool ready = sox_init() == SOX_SUCCESS;
    if (!ready) {
        *reason = "the sound effects library cannot start";
        return false;
    }
    sox_globals.verbosity = 1;
    sox_globals.output_message_handler = OnSoxMessage;
    sox_globals.repeatable = sox_true;
    SoxMessage().clear();

    sox_encodinginfo_t encoding{};
    encoding.encoding = SOX_ENCODING_SIGN2;
    encoding.bits_per_sample = 16;
    Chain chain;
    chain.chain = sox_create_effects_chain(&encoding, &encoding);
    sox_signalinfo_t signal = {static_cast<sox_rate_t>(rate), 1, 16, 0, nullptr};
    const sox_signalinfo_t target = signal;
    Source source = {&in, 0};
    out->clear();
    out->reserve(in.size() + in.size() / 8);

    sox_effect_t* first = sox_create_effect(&kSource);
    *static_cast<Source**>(first->priv) = &source;
    sox_effect_t* last = sox_create_effect(&kSink);
    *static_cast<std::vector<sox_sample_t>**>(last->priv) = out;
    const bool built = chain.chain && AddEffect(chain.chain, first, {}, &signal, &target) &&
                       AddEffect(chain.chain, sox_create_effect(sox_find_effect("pitch")),
                                 {std::to_string(cents)}, &signal, &target) &&
                       AddEffect(chain.chain, sox_create_effect(sox_find_effect(tone.tone)),
                                 {tone.toneDb}, &signal, &target) &&
                       AddEffect(chain.chain, sox_create_effect(sox_find_effect("rate")),
                                 {std::to_string(rate)}, &signal, &target) &&
                       AddEffect(chain.chain, last, {}, &signal, &target);
    if (!built || sox_flow_effects(chain.chain, nullptr, nullptr) != SOX_SUCCESS) {
        *reason = "the voice's effects failed" +
                  (SoxMessage().empty() ? std::string() : ": " + SoxMessage());
        return false;
    }
    return true;
}

// --- Finishing ---------------------------------------------------------------------------------

void FadeOut(std::vector<double>& y, size_t frames) {
    frames = std::min(y.size(), frames);
    for (size_t i = 0; i < frames; ++i) {
        y[y.size() - 1 - i] *= static_cast<double>(i) / frames;
    }
}

// The built-in words' last step. The pad must speak the instant it is touched: cut to just
// before the voice sets in.
bool FinishSpoken(const std::vector<double>& x, std::vector<int16_t>* word, std::string* reason) {
    double peak = 0;
    for (double v : x) {
        peak = std::max(peak, std::fabs(v));
    }
    if (peak <= 0) {
        *reason = "makes no sound";
        return false;
    }
    const double threshold = peak * 0.03;
    size_t first = 0;
    while (first < x.size() && std::fabs(x[first]) < threshold) {
        ++first;
    }
    size_t last = x.size();
    while (last > first && std::fabs(x[last - 1]) < threshold * 0.3) {
        --last;
    }
    const size_t rate = kSpokenRate;
    const size_t lead = rate / 1000;  // 1 ms
    const size_t tail = rate * 40 / 1000;
    const size_t begin = first > lead ? first - lead : 0;
    const size_t end = std::min(x.size(), last + tail);
    std::vector<double> y(x.begin() + static_cast<long>(begin), x.begin() + static_cast<long>(end));
    for (size_t i = 0; i < lead && i < y.size(); ++i) {
        y[i] *= static_cast<double>(i) / lead;
    }
    FadeOut(y, rate * 30 / 1000);
    *word = sound::PeakAtMinus1dB(y);
    return true;
}

// As sox writes a 16-bit sample: rounded, the top clipped.
int16_t To16(sox_sample_t s) {
    if (s > SOX_SAMPLE_MAX - (1 << 15)) {
        return 32767;
    }
    return static_cast<int16_t>((static_cast<int64_t>(s) + (1 << 15)) >> 16);
}

// Where the sound is, in 10 ms windows: from the first to the last louder than 30 dB under the
// loudest window and 10 dB over the noise (the quietest twentieth of the windows) where anything
// stands that far above it. False when even the loudest window is under -55 dBFS.
bool FindSound(const std::vector<float>& x, unsigned rate, size_t* begin, size_t* end) {
    const size_t window = std::max<size_t>(1, rate / 100);
    std::vector<double> level;
    for (size_t at = 0; at < x.size(); at += window) {
        const size_t n = std::min(window, x.size() - at);
        double sum = 0;
        for (size_t i = at; i < at + n; ++i) {
            sum += static_cast<double>(x[i]) * x[i];
        }
        level.push_back(std::sqrt(sum / n));
    }
    if (level.empty()) {
        return false;
    }
    const double loudest = *std::max_element(level.begin(), level.end());
    if (loudest < std::pow(10.0, -55.0 / 20)) {
        return false;
    }
    std::vector<double> sorted = level;
    const size_t quiet = sorted.size() / 20;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(quiet), sorted.end());
    // A sound with no quiet part at all (a tone held from start to end) has no noise to measure.
    const double overNoise = sorted[quiet] * std::pow(10.0, 10.0 / 20);
    double threshold = loudest * std::pow(10.0, -30.0 / 20);
    if (overNoise <= loudest) {
        threshold = std::max(threshold, overNoise);
    }
    size_t first = 0;
    while (level[first] < threshold) {
        ++first;
    }
    size_t last = level.size() - 1;
    while (level[last] < threshold) {
        --last;
    }
    const size_t lead = rate / 100, tail = rate * 80 / 1000;
    *begin = first * window > lead ? first * window - lead : 0;
    *end = std::min(x.size(), (last + 1) * window + tail);
    return true;
}

}  // namespace

Spoken Speak(const std::string& text, Voice voice, std::vector<int16_t>* word,
             std::string* reason) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        *reason = "has nothing to say";
        return Spoken::NothingToSay;
    }
    const Recipe& recipe = RecipeOf(voice);
    std::lock_guard<std::mutex> turn(Turn());
    Speech speech;
    speech.limit = static_cast<size_t>(kMaxSeconds) * kSpokenRate;
    bool installed = true;
    if (!Synthesise(text, recipe, &speech, &installed, reason)) {
        return installed ? Spoken::Failed : Spoken::NoSynthesiser;
    }
    std::vector<sox_sample_t> in(speech.samples.size());
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = static_cast<sox_sample_t>(speech.samples[i]) * 65536;
    }
    std::vector<sox_sample_t> shaped;
    if (!Reshape(in, kSpokenRate, recipe.shiftCents, recipe, &shaped, reason)) {
        return Spoken::Failed;
    }
    // Through 16 bits, as the command-line tool wrote it for the finishing step.
    std::vector<double> x(shaped.size());
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = To16(shaped[i]) / 32768.0;
    }
    return FinishSpoken(x, word, reason) ? Spoken::Made : Spoken::Failed;
}

bool Shape(const std::vector<float>& sound, unsigned rate, Voice voice, bool trim,
           std::vector<int16_t>* word, std::string* reason) {
    if (rate < 4000 || rate > 192000) {
        *reason = "has a rate of " + std::to_string(rate) + " Hz (4000 to 192000 play)";
        return false;
    }
    if (sound.size() > static_cast<size_t>(kMaxSeconds) * rate) {
        char text[64];
        std::snprintf(text, sizeof text, "lasts %.1f s (at most %u s)",
                      static_cast<double>(sound.size()) / rate, kMaxSeconds);
        *reason = text;
        return false;
    }
    size_t begin = 0, end = sound.size();
    float peak = 0;
    for (float s : sound) {
        peak = std::max(peak, std::isfinite(s) ? std::fabs(s) : 0.0f);
    }
    if (peak <= 0 || (trim && !FindSound(sound, rate, &begin, &end))) {
        *reason = "holds only silence";
        return false;
    }
    std::vector<double> y;
    if (voice == Voice::Low) {
        y.assign(sound.begin() + static_cast<long>(begin), sound.begin() + static_cast<long>(end));
    } else {
        // Half of full scale going in: the tone's lift must not clip inside the effects.
        const double gain = 0.5 / peak;
        std::vector<sox_sample_t> in(end - begin);
        for (size_t i = 0; i < in.size(); ++i) {
            const float s = std::isfinite(sound[begin + i]) ? sound[begin + i] : 0.0f;
            in[i] = static_cast<sox_sample_t>(std::lround(s * gain * 2147483647.0));
        }
        std::vector<sox_sample_t> shaped;
        std::lock_guard<std::mutex> turn(Turn());
        // The recording stands for the low voice: the high one lies the two shifts above it.
        if (!Reshape(in, rate, kHigh.shiftCents - kLow.shiftCents, kHigh, &shaped, reason)) {
            return false;
        }
        y.resize(shaped.size());
        for (size_t i = 0; i < y.size(); ++i) {
            y[i] = shaped[i] / 2147483648.0;
        }
    }
    for (double& v : y) {
        v = std::isfinite(v) ? v : 0.0;
    }
    if (trim) {
        const size_t fadeIn = std::min(y.size(), static_cast<size_t>(rate) * 5 / 1000);
        for (size_t i = 0; i < fadeIn; ++i) {
            y[i] *= static_cast<double>(i) / fadeIn;
        }
        FadeOut(y, static_cast<size_t>(rate) * 30 / 1000);
    }
    *word = sound::PeakAtMinus1dB(y);
    return true;
}

}  // namespace platform::voices
