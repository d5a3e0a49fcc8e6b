// One run prints, for real FFTs of orders 11 and 12, the time of our transform
// in its best form, its SSE2 form and its plain form; natively also FFTW
// (planned with FFTW_MEASURE) and KissFFT, forward and inverse. Then the
// equalizer's real-time factor per channel at 44.1 kHz (best, SSE2 and plain
// form) and its time relative to a plain copy of the same blocks, all measured
// in the same run.
//
// Targets: ours/FFTW <= 1.0; the equalizer at least 10,000x real time per
// channel natively, 3,000x in the 32-bit Windows build.
//   melodrift_dsp_bench [--kv]   (--kv: key=value lines for tools/bench.sh)
#include "dsp/equalizer.h"
#include "dsp/signal.h"
#include "fft_internal.h"

#if defined(MD_BENCH_PEERS)
#include <fftw3.h>
#include <kiss_fftr.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

using dsp::detail::FftForm;

// Our transforms in one form as contestants.
std::function<void()> OursForward(int order, dsp::detail::FftForm form, const std::vector<float>& x, std::vector<ComplexF>& out)
{
    return [order, form, &x, &out] {
        dsp::detail::SetFftForm(form);
        nspsRealFftlNip(x.data(), out.data(), order, NSP_FORWARD);
        g_sink = out[1].re;
    };
}

std::function<void()> OursInverse(int order, dsp::detail::FftForm form, const std::vector<ComplexF>& in, std::vector<float>& out)
{
    return [order, form, &in, &out] {
        dsp::detail::SetFftForm(form);
        nspsCcsFftlNip(in.data(), out.data(), order, NSP_INVERSE);
        g_sink = out[1];
    };
}

// Nanoseconds per call: ours (the best form there is), its SSE2 form, its
// plain form, FFTW, KissFFT (the peers 0 where the build has none).
struct Row {
    double ours, sse2, plain, fftw, kiss;
};

Row Forward(int order)
{
    const int n = 1 << order;
    const std::vector<float> x = Noise(static_cast<std::size_t>(n));
    std::vector<ComplexF> ours(static_cast<std::size_t>(n / 2 + 1));
    nspsRealFftlNip(x.data(), ours.data(), order, NSP_FORWARD);
    const FftForm best = dsp::detail::BestFftForm();
    std::vector<std::function<void()>> contestants = {OursForward(order, best, x, ours),
                                                      OursForward(order, FftForm::Sse2, x, ours),
                                                      OursForward(order, FftForm::Plain, x, ours)};
#if defined(MD_BENCH_PEERS)
    float* fin = fftwf_alloc_real(static_cast<std::size_t>(n));
    fftwf_complex* fout = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, fin, fout, FFTW_MEASURE);
    std::copy(x.begin(), x.end(), fin);
    kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    std::vector<kiss_fft_cpx> kout(static_cast<std::size_t>(n / 2 + 1));
    contestants.push_back([&] {
        fftwf_execute(plan);
        g_sink = fout[1][0];
    });
    contestants.push_back([&] {
        kiss_fftr(cfg, x.data(), kout.data());
        g_sink = kout[1].r;
    });
#endif
    const std::vector<double> t = NanosPerCall(contestants);
    dsp::detail::SetFftForm(best);
#if defined(MD_BENCH_PEERS)
    // The three must agree, or the timing means nothing.
    nspsRealFftlNip(x.data(), ours.data(), order, NSP_FORWARD);
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
    return {t[0], t[1], t[2], t[3], t[4]};
#else
    return {t[0], t[1], t[2], 0.0, 0.0};
#endif
}

Row Inverse(int order)
{
    const int n = 1 << order;
    const std::vector<float> x = Noise(static_cast<std::size_t>(n));
    std::vector<ComplexF> spectrum(static_cast<std::size_t>(n / 2 + 1));
    nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);
    std::vector<float> ours(static_cast<std::size_t>(n));
    const FftForm best = dsp::detail::BestFftForm();
    std::vector<std::function<void()>> contestants = {OursInverse(order, best, spectrum, ours),
                                                      OursInverse(order, FftForm::Sse2, spectrum, ours),
                                                      OursInverse(order, FftForm::Plain, spectrum, ours)};
#if defined(MD_BENCH_PEERS)
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
    contestants.push_back([&] {
        // c2r may overwrite its input; for timing only its speed matters.
        fftwf_execute(plan);
        g_sink = fout[1];
    });
    contestants.push_back([&] {
        kiss_fftri(cfg, kin.data(), kout.data());
        g_sink = kout[1];
    });
#endif
    const std::vector<double> t = NanosPerCall(contestants);
    dsp::detail::SetFftForm(best);
#if defined(MD_BENCH_PEERS)
    kiss_fftr_free(cfg);
    fftwf_destroy_plan(plan);
    fftwf_free(fout);
    fftwf_free(fin);
    return {t[0], t[1], t[2], t[3], t[4]};
#else
    return {t[0], t[1], t[2], 0.0, 0.0};
#endif
}

bool g_kv = false;

void Print(const char* what, int order, const Row& r)
{
    if (g_kv) {
        std::printf("fft_%s_%d_ours_ns=%.1f\nfft_%s_%d_sse2_ns=%.1f\nfft_%s_%d_plain_ns=%.1f\n", what, order, r.ours,
                    what, order, r.sse2, what, order, r.plain);
        if (r.fftw > 0) {
            std::printf("fft_%s_%d_fftw_ns=%.1f\nfft_%s_%d_kiss_ns=%.1f\n", what, order, r.fftw, what, order, r.kiss);
        }
        return;
    }
    std::printf("%-8s order %2d (%5d points): ours %7.0f ns  SSE2 form %7.0f ns  plain form %7.0f ns", what, order,
                1 << order, r.ours, r.sse2, r.plain);
    if (r.fftw > 0) {
        std::printf("  FFTW %7.0f ns  KissFFT %7.0f ns  ours/FFTW %.2f  ours/KissFFT %.2f", r.fftw, r.kiss,
                    r.ours / r.fftw, r.ours / r.kiss);
    }
    std::printf("\n");
}

// Seconds per pass over 3 s of sound in blocks of 11,025 samples (the playback
// engine's default block), best of the rounds, for the equalizer in the given
// form and for a plain copy of the same blocks.
struct EqualizerTimes {
    double equalizer, sse2, plain, copy, seconds;
};

EqualizerTimes TimeEqualizer()
{
    constexpr int kRate = 44100;
    constexpr int kBlock = 11025;
    constexpr int kSeconds = 3;
    const float gains[10] = {1.8f, 1.4f, 1.0f, 0.8f, 1.0f, 1.2f, 1.0f, 0.6f, 1.3f, 1.5f};
    std::vector<float> block = Noise(kBlock);
    std::vector<float> out(kBlock);
    const int blocks = kRate * kSeconds / kBlock;
    auto eq = std::make_unique<CEqualizer>();
    eq->SetSampleRate(kRate);
    eq->SetGains(gains);
    auto pass = [&](int kind) {
        const auto start = Clock::now();
        for (int b = 0; b < blocks; ++b) {
            if (kind == 2) {
                std::memcpy(out.data(), block.data(), sizeof(float) * kBlock);
            } else {
                eq->Process(kBlock, block.data(), out.data());
            }
            g_sink = out[static_cast<std::size_t>(b) % kBlock];
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    EqualizerTimes best = {1e300, 1e300, 1e300, 1e300, static_cast<double>(blocks) * kBlock / kRate};
    // Short passes, many rounds, the fastest counts: a busy moment of the
    // machine spoils a round, not the figure.
    for (int round = 0; round < 40; ++round) {
        dsp::detail::SetFftForm(dsp::detail::BestFftForm());
        best.equalizer = std::min(best.equalizer, pass(0));
        if (dsp::detail::SetFftForm(FftForm::Sse2)) {
            best.sse2 = std::min(best.sse2, pass(1));
        }
        dsp::detail::SetFftForm(FftForm::Plain);
        best.plain = std::min(best.plain, pass(1));
        best.copy = std::min(best.copy, pass(2));
    }
    dsp::detail::SetFftForm(dsp::detail::BestFftForm());
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    g_kv = argc > 1 && std::strcmp(argv[1], "--kv") == 0;
    const FftForm form = dsp::detail::BestFftForm();
    const char* formName = form == FftForm::Avx ? "AVX" : form == FftForm::Sse2 ? "SSE2" : "plain";
    if (g_kv) {
        std::printf("fft_form=%s\n", formName);
    } else {
        std::printf("Real FFT, 32-bit float, one core (best of 60 interleaved rounds); ours in its %s form\n",
                    formName);
    }
    for (int order : {11, 12}) {
        Print("forward", order, Forward(order));
    }
    for (int order : {11, 12}) {
        Print("inverse", order, Inverse(order));
    }
    const EqualizerTimes eq = TimeEqualizer();
    if (g_kv) {
        std::printf("eq_realtime=%.1f\neq_sse2_realtime=%.1f\neq_plain_realtime=%.1f\neq_over_copy=%.2f\n",
                    eq.seconds / eq.equalizer, eq.seconds / eq.sse2, eq.seconds / eq.plain, eq.equalizer / eq.copy);
        return 0;
    }
    std::printf("Equalizer at 44100 Hz: %.0fx real time per channel (%s form; SSE2 form %.0fx, plain form %.0fx); "
                "%.1fx the time of a plain copy of the same blocks\n",
                eq.seconds / eq.equalizer, formName, eq.seconds / eq.sse2, eq.seconds / eq.plain,
                eq.equalizer / eq.copy);
    std::printf("Targets: ours/FFTW <= 1.00, equalizer >= 10000x natively, >= 3000x in the 32-bit Windows build\n");
    return 0;
}
