// One run prints, for real FFTs of orders 11 and 12, the time of our transform
// and its ratio to FFTW (planned with FFTW_MEASURE) and to KissFFT, forward and
// inverse; then the equalizer's real-time factor per channel at 44.1 kHz.
//
// Targets: at most 2x FFTW's time, faster than KissFFT, and at least 1000x
// real time per channel.
#include "dsp/equalizer.h"
#include "dsp/signal.h"

#include <fftw3.h>
#include <kiss_fftr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile float g_sink;

// Best time per call in nanoseconds of each contestant. The contestants take
// turns, round after round, so that a busy moment of the machine hurts them
// alike; each round runs enough calls to last about 2 ms, and the fastest round
// of each counts.
std::vector<double> NanosPerCall(const std::vector<std::function<void()>>& contestants)
{
    std::vector<int> calls(contestants.size(), 1);
    for (std::size_t c = 0; c < contestants.size(); ++c) {
        for (;;) {
            const auto start = Clock::now();
            for (int i = 0; i < calls[c]; ++i) {
                contestants[c]();
            }
            if (std::chrono::duration<double, std::nano>(Clock::now() - start).count() > 2e6) {
                break;
            }
            calls[c] *= 2;
        }
    }
    std::vector<double> best(contestants.size(), 1e300);
    for (int round = 0; round < 60; ++round) {
        for (std::size_t c = 0; c < contestants.size(); ++c) {
            const auto start = Clock::now();
            for (int i = 0; i < calls[c]; ++i) {
                contestants[c]();
            }
            const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
            best[c] = std::min(best[c], ns / calls[c]);
        }
    }
    return best;
}

std::vector<float> Noise(std::size_t n)
{
    std::vector<float> out(n);
    std::uint32_t state = 12345;
    for (auto& v : out) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<double>(state >> 8) / 8388608.0 - 1.0);
    }
    return out;
}

struct Row {
    double ours, fftw, kiss;
};

Row Forward(int order)
{
    const int n = 1 << order;
    const std::vector<float> x = Noise(static_cast<std::size_t>(n));

    std::vector<ComplexF> ours(static_cast<std::size_t>(n / 2 + 1));
    nspsRealFftlNip(x.data(), ours.data(), order, NSP_FORWARD);

    float* fin = fftwf_alloc_real(static_cast<std::size_t>(n));
    fftwf_complex* fout = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, fin, fout, FFTW_MEASURE);
    std::copy(x.begin(), x.end(), fin);

    kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    std::vector<kiss_fft_cpx> kout(static_cast<std::size_t>(n / 2 + 1));

    const std::vector<double> t = NanosPerCall({
        [&] {
            nspsRealFftlNip(x.data(), ours.data(), order, NSP_FORWARD);
            g_sink = ours[1].re;
        },
        [&] {
            fftwf_execute(plan);
            g_sink = fout[1][0];
        },
        [&] {
            kiss_fftr(cfg, x.data(), kout.data());
            g_sink = kout[1].r;
        },
    });

    // The three must agree, or the timing means nothing.
    double worst = 0.0;
    for (int k = 0; k <= n / 2; ++k) {
        worst = std::max(worst, std::fabs(static_cast<double>(ours[k].re) - fout[k][0]));
        worst = std::max(worst, std::fabs(static_cast<double>(ours[k].im) - fout[k][1]));
        worst = std::max(worst, std::fabs(static_cast<double>(ours[k].re) - kout[k].r));
    }
    if (worst > 1e-2) {
        std::printf("  (results differ by %g!)\n", worst);
    }

    kiss_fftr_free(cfg);
    fftwf_destroy_plan(plan);
    fftwf_free(fout);
    fftwf_free(fin);
    return {t[0], t[1], t[2]};
}

Row Inverse(int order)
{
    const int n = 1 << order;
    const std::vector<float> x = Noise(static_cast<std::size_t>(n));
    std::vector<ComplexF> spectrum(static_cast<std::size_t>(n / 2 + 1));
    nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);

    std::vector<float> ours(static_cast<std::size_t>(n));

    // The peers do not scale (ours does, at no extra pass).
    fftwf_complex* fin = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    float* fout = fftwf_alloc_real(static_cast<std::size_t>(n));
    fftwf_plan plan = fftwf_plan_dft_c2r_1d(n, fin, fout, FFTW_MEASURE);
    for (int k = 0; k <= n / 2; ++k) {
        fin[k][0] = spectrum[static_cast<std::size_t>(k)].re;
        fin[k][1] = spectrum[static_cast<std::size_t>(k)].im;
    }

    kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 1, nullptr, nullptr);
    std::vector<kiss_fft_cpx> kin(static_cast<std::size_t>(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k) {
        kin[static_cast<std::size_t>(k)] = {spectrum[static_cast<std::size_t>(k)].re,
                                            spectrum[static_cast<std::size_t>(k)].im};
    }
    std::vector<float> kout(static_cast<std::size_t>(n));

    const std::vector<double> t = NanosPerCall({
        [&] {
            nspsCcsFftlNip(spectrum.data(), ours.data(), order, NSP_INVERSE);
            g_sink = ours[1];
        },
        [&] {
            // c2r may overwrite its input; for timing only its speed matters.
            fftwf_execute(plan);
            g_sink = fout[1];
        },
        [&] {
            kiss_fftri(cfg, kin.data(), kout.data());
            g_sink = kout[1];
        },
    });

    kiss_fftr_free(cfg);
    fftwf_destroy_plan(plan);
    fftwf_free(fout);
    fftwf_free(fin);
    return {t[0], t[1], t[2]};
}

void Print(const char* what, int order, const Row& r)
{
    std::printf("%-8s order %2d (%5d points): ours %8.0f ns  FFTW %8.0f ns  KissFFT %8.0f ns  "
                "ours/FFTW %.2f  ours/KissFFT %.2f\n",
                what, order, 1 << order, r.ours, r.fftw, r.kiss, r.ours / r.fftw, r.ours / r.kiss);
}

double EqualizerRealTimeFactor()
{
    constexpr int kRate = 44100;
    constexpr int kBlock = 11025;      // the playback engine's default block
    constexpr int kSeconds = 120;
    auto eq = std::make_unique<CEqualizer>();
    eq->SetSampleRate(kRate);
    const float gains[10] = {1.8f, 1.4f, 1.0f, 0.8f, 1.0f, 1.2f, 1.0f, 0.6f, 1.3f, 1.5f};
    eq->SetGains(gains);
    std::vector<float> block = Noise(kBlock);
    std::vector<float> out(kBlock);
    const int blocks = kRate * kSeconds / kBlock;
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        for (int b = 0; b < blocks; ++b) {
            eq->Process(kBlock, block.data(), out.data());
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        g_sink = out[7];
    }
    return static_cast<double>(blocks) * kBlock / kRate / best;
}

}  // namespace

int main()
{
    std::printf("Real FFT, 32-bit float, one core (best of 60 interleaved rounds)\n");
    for (int order : {11, 12}) {
        Print("forward", order, Forward(order));
    }
    for (int order : {11, 12}) {
        Print("inverse", order, Inverse(order));
    }
    std::printf("Equalizer at 44100 Hz: %.0fx real time per channel\n", EqualizerRealTimeFactor());
    std::printf("Targets: ours/FFTW <= 2.00, ours/KissFFT < 1.00, equalizer >= 1000x\n");
    return 0;
}
