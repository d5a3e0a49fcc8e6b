// The AVX form of the passes behind the real transforms (fft_passes.h), eight
// values of one array per register. This file alone is compiled for AVX; it is
// called only after the processor and the system were found to support it.
//
// Used for M >= 64 points, where the first pass has M/4 >= 16 butterflies, the
// second has stride 4 (two butterfly columns per register, one per half) and
// every later pass has a stride that is a multiple of 8.
#include "fft_internal.h"

#if DSP_HAVE_AVX_FORM

#include "fft_passes.h"

#include <immintrin.h>

#include <cstddef>

namespace dsp::detail {

namespace {

struct AvxOps {
    using V = __m256;
    static constexpr std::size_t kWidth = 8;
    static V Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, V v) { _mm256_storeu_ps(p, v); }
    static V Broadcast(float v) { return _mm256_set1_ps(v); }
    static V Zero() { return _mm256_setzero_ps(); }
    static V Add(V a, V b) { return _mm256_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm256_mul_ps(a, b); }
    static V Reverse(V v)
    {
        const __m256 inLane = _mm256_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
        return _mm256_permute2f128_ps(inLane, inLane, 0x01);
    }
    static void LoadPacked(const float* p, V& re, V& im)
    {
        const __m256 a = _mm256_loadu_ps(p);       // values 0 1 | 2 3
        const __m256 b = _mm256_loadu_ps(p + 8);   // values 4 5 | 6 7
        const __m256 lo = _mm256_permute2f128_ps(a, b, 0x20);   // 0 1 | 4 5
        const __m256 hi = _mm256_permute2f128_ps(a, b, 0x31);   // 2 3 | 6 7
        re = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static void LoadPackedReversed(const float* p, V& re, V& im)
    {
        LoadPacked(p, re, im);
        re = Reverse(re);
        im = Reverse(im);
    }
    static void StorePacked(float* p, V a, V b)
    {
        const __m256 lo = _mm256_unpacklo_ps(a, b);   // pairs 0 1 | 4 5
        const __m256 hi = _mm256_unpackhi_ps(a, b);   // pairs 2 3 | 6 7
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
    static void StoreTransposed4(float* p, V y0, V y1, V y2, V y3)
    {
        // In-lane transpose: the low halves then hold the columns 0..3 of the
        // low halves, the high halves those of the high halves.
        const __m256 t0 = _mm256_unpacklo_ps(y0, y1);
        const __m256 t1 = _mm256_unpacklo_ps(y2, y3);
        const __m256 t2 = _mm256_unpackhi_ps(y0, y1);
        const __m256 t3 = _mm256_unpackhi_ps(y2, y3);
        const __m256 r0 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 r1 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
        const __m256 r2 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
        const __m256 r3 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(r0, r1, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(r2, r3, 0x20));
        _mm256_storeu_ps(p + 16, _mm256_permute2f128_ps(r0, r1, 0x31));
        _mm256_storeu_ps(p + 24, _mm256_permute2f128_ps(r2, r3, 0x31));
    }
    static V BroadcastPair(const float* p)
    {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_set1_ps(p[0])), _mm_set1_ps(p[1]), 1);
    }
    static void StoreHalves(float* lo, float* hi, V v)
    {
        _mm_storeu_ps(lo, _mm256_castps256_ps128(v));
        _mm_storeu_ps(hi, _mm256_extractf128_ps(v, 1));
    }
};

using Avx = FftPasses<AvxOps>;

}  // namespace

const float* ComplexFftAvx(const FftWork& work, const float* packedIn, const float* inR, const float* inI,
                           float* packedOut, bool zeroTail)
{
    return Avx::ComplexFft(work, packedIn, inR, inI, packedOut, zeroTail);
}

std::size_t RecombinePairsAvx(std::size_t half, const float* zr, const float* zi, const float* zrHi,
                              const float* ziHi, const float* cosT, const float* sinT, float* lo, float* hi)
{
    return Avx::Recombine(1, half, zr, zi, zrHi, ziHi, cosT, sinT, lo, hi);
}

std::size_t SplitPairsAvx(std::size_t half, const float* x, const float* xHi, const float* cosT, const float* sinT,
                          float h, float sign, float* re, float* im, float* reHi, float* imHi, const float* f)
{
    return Avx::SplitPairs(1, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f);
}

}  // namespace dsp::detail

#endif  // DSP_HAVE_AVX_FORM
