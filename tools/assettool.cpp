// Helper of tools/make-assets: turns rendered pictures into the exact files the program loads,
// speaks the built-in words and synthesises the beat.
//
//   assettool png IN.png OUT.png          flatten over black, write 24-bit RGB
//   assettool key IN.png OUT.png          as png, then snap every pinkish pixel to exact magenta or
//                                         away from it, so a colour key leaves no fringe
//   assettool stencil IN.png OUT.png      light pixels become exact magenta, the rest exact black
//   assettool speak low|high TEXT OUT.wav TEXT in the pad's low or high voice (the recipe in
//                                         platform/sound/Voices.cpp): 22050 Hz 16-bit mono
//   assettool beat OUT.wav                synthesise the drum loop, 44100 Hz stereo
//
// Output is byte-for-byte reproducible: no time stamps, fixed compression, seeded noise.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shell/PngEncoder.h"
#include "platform/sound/Voices.h"
#include "platform/sound/WaveImage.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "assettool: %s\n", what.c_str());
    std::exit(1);
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes per pixel
};

Image ReadFlattened(const char* path) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path)) {
        Fail(std::string("cannot read ") + path);
    }
    img.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr)) {
        Fail(std::string("cannot decode ") + path);
    }
    Image out;
    out.width = static_cast<int>(img.width);
    out.height = static_cast<int>(img.height);
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (size_t i = 0, n = static_cast<size_t>(out.width) * out.height; i < n; ++i) {
        const unsigned a = rgba[i * 4 + 3];
        for (int c = 0; c < 3; ++c) {
            // Over black; rsvg writes premultiplied-then-unpremultiplied values, so round.
            out.rgb[i * 3 + c] = static_cast<uint8_t>((rgba[i * 4 + c] * a + 127) / 255);
        }
    }
    return out;
}

void WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        Fail(std::string("cannot write ") + path);
    }
    std::fclose(f);
}

// The smallest file libpng makes: the installed pictures are read on every start.
void WritePng(const char* path, const Image& image) {
    platform::shell::PngImage png;
    png.width = image.width;
    png.height = image.height;
    for (int y = 0; y < image.height; ++y) {
        png.rows.push_back(image.rgb.data() + static_cast<size_t>(y) * image.width * 3);
    }
    png.compressionLevel = 9;
    png.tryEveryFilter = true;
    std::vector<uint8_t> encoded;
    if (!platform::shell::EncodePng(png, &encoded)) {
        Fail(std::string("libpng failed on ") + path);
    }
    WriteFile(path, encoded);
}

// Pixels that a viewer would read as the key colour but that the key test would not match.
bool Pinkish(const uint8_t* p) {
    return p[0] > 160 && p[2] > 160 && p[1] < 100;
}

void SnapKey(Image& image) {
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        uint8_t* p = &image.rgb[i];
        if (!Pinkish(p)) {
            continue;
        }
        if (p[0] > 230 && p[2] > 230 && p[1] < 40) {
            p[0] = 255, p[1] = 0, p[2] = 255;
        } else {
            // A blend of the key with the art: keep it dark so it cannot read as magenta.
            p[0] = static_cast<uint8_t>(p[0] / 3);
            p[1] = static_cast<uint8_t>(p[1] / 3);
            p[2] = static_cast<uint8_t>(p[2] / 3);
        }
    }
}

void Stencil(Image& image) {
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        uint8_t* p = &image.rgb[i];
        const int luma = (p[0] * 3 + p[1] * 6 + p[2]) / 10;
        const bool on = luma >= 128;
        p[0] = on ? 255 : 0;
        p[1] = 0;
        p[2] = on ? 255 : 0;
    }
}

// --- Words ----------------------------------------------------------------------------------

void Speak(const std::string& voice, const char* text, const char* out) {
    namespace voices = platform::voices;
    std::vector<int16_t> word;
    std::string reason;
    if (voices::Speak(text, voice == "high" ? voices::Voice::High : voices::Voice::Low, &word,
                      &reason) != voices::Spoken::Made) {
        Fail(std::string("\"") + text + "\": " + reason);
    }
    WriteFile(out, platform::sound::Pcm16Image(word, voices::kSpokenRate, 1));
}

// --- The beat ----------------------------------------------------------------------------------

struct Noise {
    uint32_t state = 0x2545F491u;
    double Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

const double kRate = 44100.0;
const double kPi = 3.14159265358979323846;

struct Mix {
    std::vector<double> left, right;
    explicit Mix(size_t frames) : left(frames), right(frames) {}
    void Add(size_t at, const std::vector<double>& v, double gain, double pan) {
        const double gl = gain * std::cos((pan + 1) * kPi / 4);
        const double gr = gain * std::sin((pan + 1) * kPi / 4);
        for (size_t i = 0; i < v.size() && at + i < left.size(); ++i) {
            left[at + i] += v[i] * gl;
            right[at + i] += v[i] * gr;
        }
    }
};

std::vector<double> Kick() {
    std::vector<double> v(static_cast<size_t>(kRate * 0.5));
    double phase = 0;
    Noise n;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        const double f = 46 + 120 * std::exp(-t / 0.03);
        phase += 2 * kPi * f / kRate;
        const double body = std::sin(phase) * std::exp(-t / 0.28);
        const double click = n.Next() * std::exp(-t / 0.002) * 0.4;
        v[i] = std::tanh(1.8 * (body + click)) * std::min(1.0, t / 0.001 + 0.2);
    }
    return v;
}

std::vector<double> Snare(uint32_t seed) {
    std::vector<double> v(static_cast<size_t>(kRate * 0.35));
    Noise n;
    n.state ^= seed;
    double lp = 0, prev = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        const double tone =
            (std::sin(2 * kPi * 185 * t) + 0.5 * std::sin(2 * kPi * 330 * t)) * std::exp(-t / 0.06);
        const double w = n.Next();
        lp += 0.45 * (w - lp);  // gentle low-pass, then a high-pass by differencing
        const double rattle = (lp - prev) * std::exp(-t / 0.085);
        prev = lp;
        v[i] = 0.55 * tone + 1.3 * rattle;
    }
    return v;
}

// Six detuned square waves through a high-pass, the classic metallic hat.
std::vector<double> Hat(double decay, uint32_t seed) {
    const double freqs[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::vector<double> v(static_cast<size_t>(kRate * (decay * 6 + 0.01)));
    Noise n;
    n.state ^= seed;
    double hp1 = 0, prevIn = 0, hp2 = 0, prevHp1 = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        double metal = 0;
        for (double f : freqs) {
            metal += std::fmod(t * f * 1.7, 1.0) < 0.5 ? 1 : -1;
        }
        const double in = metal / 6 * 0.6 + n.Next() * 0.5;
        hp1 = 0.82 * (hp1 + in - prevIn);
        prevIn = in;
        hp2 = 0.82 * (hp2 + hp1 - prevHp1);
        prevHp1 = hp1;
        v[i] = hp2 * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    return v;
}

void Beat(const char* out) {
    const double bpm = 96;
    const double step = 60.0 / bpm / 4;  // a sixteenth
    const int bars = 4;
    const size_t frames = static_cast<size_t>((bars * 16 * step + 0.6) * kRate);
    Mix mix(frames);
    const auto kick = Kick();
    const auto closed = Hat(0.045, 1);
    const auto open = Hat(0.16, 2);
    // One row per bar, 16 steps: K kick, S snare, g ghost snare, f fill snare.
    const char* kicks[] = {"K......K..K.....", "K......K..K...K.", "K......K..K.....",
                           "K......K.K......"};
    const char* snares[] = {"....S.......S...", "....S..g....S...", "....S.......S..g",
                            "....S.......Sfff"};
    const char* hats[] = {"x.x.x.x.x.x.x.xo", "x.x.x.xxx.x.x.x.", "x.x.x.x.x.x.x.xo",
                          "x.x.x.x.x.x....."};
    for (int bar = 0; bar < bars; ++bar) {
        for (int s = 0; s < 16; ++s) {
            const size_t at = static_cast<size_t>((bar * 16 + s) * step * kRate);
            if (kicks[bar][s] == 'K') {
                mix.Add(at, kick, 0.95, 0);
            }
            const char sn = snares[bar][s];
            if (sn != '.') {
                const double gain = sn == 'S' ? 0.8 : sn == 'f' ? 0.45 + 0.1 * (s - 13) : 0.22;
                mix.Add(at, Snare(static_cast<uint32_t>(bar * 16 + s + 7)), gain,
                        sn == 'f' ? -0.2 + 0.2 * (s - 13) : 0.05);
            }
            const char h = hats[bar][s];
            // Off-beat hats a touch softer, so the groove breathes.
            if (h == 'x') {
                mix.Add(at, closed, s % 4 == 0 ? 0.8 : 0.55, 0.35);
            } else if (h == 'o') {
                mix.Add(at, open, 0.55, 0.35);
            }
        }
    }
    // A short room: a few taps of each side into the other, so the kit does not sound dry.
    const size_t tapsL[] = {487, 1201, 1999}, tapsR[] = {631, 1423, 2293};
    std::vector<double> l = mix.left, r = mix.right;
    for (size_t i = 0; i < frames; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double g = 0.12 / (k + 1);
            if (i >= tapsL[k]) {
                l[i] += g * mix.right[i - tapsL[k]];
            }
            if (i >= tapsR[k]) {
                r[i] += g * mix.left[i - tapsR[k]];
            }
        }
    }
    // A 20 Hz high-pass keeps the kick's lopsided first swing from leaving an offset.
    std::vector<double> inter(frames * 2);
    const double pole = 1 - 2 * kPi * 20 / kRate;
    double yl = 0, yr = 0, xl = 0, xr = 0;
    for (size_t i = 0; i < frames; ++i) {
        yl = pole * (yl + l[i] - xl);
        yr = pole * (yr + r[i] - xr);
        xl = l[i];
        xr = r[i];
        inter[i * 2] = yl;
        inter[i * 2 + 1] = yr;
    }
    WriteFile(out, platform::sound::Pcm16Image(platform::sound::PeakAtMinus1dB(inter), 44100, 2));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (argc == 4 && (cmd == "png" || cmd == "key" || cmd == "stencil")) {
        Image image = ReadFlattened(argv[2]);
        if (cmd == "key") {
            SnapKey(image);
        } else if (cmd == "stencil") {
            Stencil(image);
        }
        WritePng(argv[3], image);
    } else if (argc == 5 && cmd == "speak" &&
               (std::string(argv[2]) == "low" || std::string(argv[2]) == "high")) {
        Speak(argv[2], argv[3], argv[4]);
    } else if (argc == 3 && cmd == "beat") {
        Beat(argv[2]);
    } else {
        Fail(
            "usage: assettool png|key|stencil IN.png OUT.png | speak low|high TEXT OUT.wav | "
            "beat OUT.wav");
    }
    return 0;
}
