// Helpers shared by the signal-processing tests: reference transforms in double
// precision, test signals and tone measurement.
#pragma once

#include "dsp/signal.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsptest {

constexpr double kPi = 3.14159265358979323846;

// Deterministic noise in [-1, 1).
inline std::vector<float> Noise(std::size_t n, std::uint32_t seed)
{
    std::vector<float> out(n);
    std::uint32_t state = seed * 2654435761u + 1u;
    for (auto& v : out) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<double>(state >> 8) / 8388608.0 - 1.0);
    }
    return out;
}

// Bins 0..N/2 of the DFT of n real samples, in double precision.
inline std::vector<std::vector<double>> ReferenceRealDft(const std::vector<float>& x)
{
    const std::size_t n = x.size();
    std::vector<std::vector<double>> out(n / 2 + 1, std::vector<double>(2, 0.0));
    for (std::size_t k = 0; k <= n / 2; ++k) {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double angle = -2.0 * kPi * static_cast<double>((j * k) % n) / static_cast<double>(n);
            re += x[j] * std::cos(angle);
            im += x[j] * std::sin(angle);
        }
        out[k][0] = re;
        out[k][1] = im;
    }
    return out;
}

// The n real samples whose spectrum has bins 0..n/2 as given (imaginary parts
// of bins 0 and n/2 ignored), scaled by 1/n, in double precision.
inline std::vector<double> ReferenceInverse(const std::vector<ComplexF>& spectrum, std::size_t n)
{
    std::vector<double> out(n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        double sum = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            // Full Hermitian spectrum from its lower half.
            double re, im;
            if (k <= n / 2) {
                re = spectrum[k].re;
                im = (k == 0 || k == n / 2) ? 0.0 : spectrum[k].im;
            } else {
                re = spectrum[n - k].re;
                im = -spectrum[n - k].im;
            }
            const double angle = 2.0 * kPi * static_cast<double>((j * k) % n) / static_cast<double>(n);
            sum += re * std::cos(angle) - im * std::sin(angle);
        }
        out[j] = sum / static_cast<double>(n);
    }
    return out;
}

// Sine of `amplitude` at `frequency` (cycles per sample), `count` samples.
inline std::vector<float> Sine(double frequency, double amplitude, std::size_t count, double phase = 0.0)
{
    std::vector<float> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * static_cast<double>(i) + phase));
    }
    return out;
}

// Amplitude of the component at `frequency` (cycles per sample) in
// x[first .. first + count - 1], where count spans whole periods.
inline double ToneAmplitude(const std::vector<float>& x, std::size_t first, std::size_t count, double frequency)
{
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double angle = 2.0 * kPi * frequency * static_cast<double>(first + i);
        re += x[first + i] * std::cos(angle);
        im += x[first + i] * std::sin(angle);
    }
    return 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(count);
}

inline double Rms(const std::vector<float>& x, std::size_t first, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = first; i < first + count; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return std::sqrt(sum / static_cast<double>(count));
}

}  // namespace dsptest
