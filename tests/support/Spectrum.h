// Measuring sound in tests: the level of one frequency and the share of energy in a band, over a
// Hann window so that a tone's skirts do not hide what lies beside it; the pitch of a voice.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace spectrum {

// Power of `hz` in `x` at `rate` (Goertzel over a Hann window), in dB relative to a full-scale
// sine's.
inline double ToneDb(const std::vector<float>& x, double hz, double rate) {
    const size_t n = x.size();
    const double w = 2 * M_PI * hz / rate;
    std::complex<double> sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * i / (n - 1));
        sum += x[i] * hann * std::polar(1.0, -w * static_cast<double>(i));
    }
    const double amplitude = 2 * std::abs(sum) / (0.5 * static_cast<double>(n));
    return 20 * std::log10(amplitude + 1e-30);
}

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> wl = std::polar(1.0, -2 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

// Energy above `hz` relative to the whole signal's, in dB (Hann-windowed, zero-padded).
inline double EnergyAboveDb(const std::vector<float>& x, double hz, double rate) {
    size_t n = 1;
    while (n < x.size()) {
        n <<= 1;
    }
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < x.size(); ++i) {
        a[i] = x[i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / (x.size() - 1)));
    }
    Fft(a);
    double total = 0, above = 0;
    for (size_t k = 1; k < n / 2; ++k) {
        const double e = std::norm(a[k]);
        total += e;
        if (k * rate / n > hz) {
            above += e;
        }
    }
    return 10 * std::log10((above + 1e-30) / (total + 1e-30));
}

inline double RmsDb(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < x.size() && i < to; ++i, ++n) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return 10 * std::log10(sum / (n ? n : 1) + 1e-30);
}

// The median pitch in Hz of the voiced parts of `x`: frames of 40 ms within 20 dB of the
// loudest, whose normalised autocorrelation has a peak over 0.6 between 60 and 800 Hz (the
// first peak within 10 % of the highest, so that no multiple of the period is taken); 0 when
// nothing is voiced.
inline double PitchHz(const std::vector<float>& x, double rate) {
    const size_t frame = static_cast<size_t>(rate * 0.04);
    const size_t shortest = static_cast<size_t>(rate / 800),
                 longest = static_cast<size_t>(rate / 60);
    std::vector<double> energy;
    for (size_t at = 0; at + frame + longest + 1 <= x.size(); at += frame) {
        double e = 0;
        for (size_t i = at; i < at + frame; ++i) {
            e += static_cast<double>(x[i]) * x[i];
        }
        energy.push_back(e);
    }
    if (energy.empty()) {
        return 0;
    }
    const double loudest = *std::max_element(energy.begin(), energy.end());
    std::vector<double> pitches;
    std::vector<double> r(longest + 2);
    for (size_t k = 0; k < energy.size(); ++k) {
        if (energy[k] < loudest / 100) {
            continue;
        }
        const size_t at = k * frame;
        double highest = 0;
        for (size_t lag = shortest; lag <= longest + 1; ++lag) {
            double c = 0, e2 = 0;
            for (size_t i = at; i < at + frame; ++i) {
                c += static_cast<double>(x[i]) * x[i + lag];
                e2 += static_cast<double>(x[i + lag]) * x[i + lag];
            }
            r[lag] = c / std::sqrt(energy[k] * e2 + 1e-30);
            highest = std::max(highest, lag <= longest ? r[lag] : 0.0);
        }
        for (size_t lag = shortest + 1; lag <= longest; ++lag) {
            const bool peak = r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1];
            if (peak && r[lag] > 0.6 && r[lag] >= 0.9 * highest) {
                pitches.push_back(rate / static_cast<double>(lag));
                break;
            }
        }
    }
    if (pitches.empty()) {
        return 0;
    }
    std::nth_element(pitches.begin(), pitches.begin() + static_cast<long>(pitches.size() / 2),
                     pitches.end());
    return pitches[pitches.size() / 2];
}

}  // namespace spectrum
