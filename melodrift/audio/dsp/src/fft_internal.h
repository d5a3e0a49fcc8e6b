// Internal entry points of the FFT routines that report their status to the
// caller as well (the public routines return nothing).
#pragma once

#include "dsp/signal.h"

#include <cstddef>

namespace dsp::detail {

// Forward (or positive-exponent) real FFT; returns the reported status, 0 on
// success. `zeroTail`: the caller knows the upper half of the input to be zero,
// which some forms then need not read (a hint; the result is the same).
// `work`: the caller's own work memory of FftWorkFloats(order) floats, which
// then nobody else may use at the same time; null for the calling thread's.
int RealFft(const float* in, ComplexF* out, int order, int flags, const char* funcName, bool zeroTail = false,
            float* work = nullptr);
// Real signal from a CCS spectrum; returns the reported status, 0 on success.
// With `product`, the signal of the spectrum times that one (bin by bin, as
// nspcbMpy2 computes it), without a pass of its own. `work` as for RealFft.
int CcsFft(const ComplexF* in, float* out, int order, int flags, const char* funcName,
           const ComplexF* product = nullptr, float* work = nullptr);
// The work memory the transforms of an order need (0 for orders below 2).
std::size_t FftWorkFloats(int order);

// The forms of the transforms: plain C++, SSE2 (where the compiler targets
// it) and AVX (64-bit x86 builds, on processors and systems that support it).
// All compute the same sums in the same order.
enum class FftForm { Plain = 0, Sse2 = 1, Avx = 2 };

// Chooses the form of the transforms that follow; false (and nothing changed)
// when this build or this processor has no such form. The default is the best
// one there is. Meant for tests and benchmarks that compare them.
bool SetFftForm(FftForm form);
FftForm BestFftForm();

// What the complex FFT needs of an order's tables.
struct FftWork {
    std::size_t half;            // M complex points
    const float* stageTwiddles;
    // The twiddles of the pass of stride 4 (64 <= M <= 2^16, else null) with
    // every value four times over, six runs of four per column p: the
    // four-wide form loads them as they are instead of broadcasting each one.
    const float* stride4Twiddles;
    float* bufferA;
    float* bufferB;
};

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(DSP_NO_AVX_FORM)
#define DSP_HAVE_AVX_FORM 1
// The complex FFT of ComplexFft (signal_fft.cpp) in the AVX form; `zeroTail`
// as for RealFft, for a packed input.
const float* ComplexFftAvx(const FftWork& work, const float* packedIn, const float* inR, const float* inI,
                           float* packedOut, bool zeroTail);
// The recombination of the real forward transform and its reverse for the
// inverse (signal_fft.cpp) in the AVX form, eight bin pairs at a time from
// k = 1; they answer the first k not done.
std::size_t RecombinePairsAvx(std::size_t half, const float* zr, const float* zi, const float* zrHi,
                              const float* ziHi, const float* cosT, const float* sinT, float* lo, float* hi);
std::size_t SplitPairsAvx(std::size_t half, const float* x, const float* xHi, const float* cosT, const float* sinT,
                          float h, float sign, float* re, float* im, float* reHi, float* imHi, const float* f);
#else
#define DSP_HAVE_AVX_FORM 0
#endif

}  // namespace dsp::detail
