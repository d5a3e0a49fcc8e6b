// Element-wise vector routines.
#include "dsp/signal.h"

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define DSP_HAVE_SSE2 1
#include <emmintrin.h>
#else
#define DSP_HAVE_SSE2 0
#endif

#if defined(_MSC_VER)
#define DSP_RESTRICT __restrict
#else
#define DSP_RESTRICT __restrict__
#endif

namespace {

const char kFile[] = "signal_vector.cpp";

// Reports the first bad argument and answers false, or answers true.
bool CheckArgs(const char* func, int n, const void* dst, const void* src, int line)
{
    if (n <= 0) {
        nspError(NSP_STS_BAD_ARGUMENT, func, "n<=0", kFile, line);
        return false;
    }
    if (dst == nullptr) {
        nspError(NSP_STS_BAD_ARGUMENT, func, "dst==0", kFile, line);
        return false;
    }
    if (src == nullptr) {
        nspError(NSP_STS_BAD_ARGUMENT, func, "src==0", kFile, line);
        return false;
    }
    return true;
}

// The loops below vectorise only when source and destination do not overlap;
// an exact alias (source == destination) is also allowed and takes the plain loop.
bool Disjoint(const void* a, const void* b, std::uintptr_t bytes)
{
    const std::uintptr_t pa = reinterpret_cast<std::uintptr_t>(a);
    const std::uintptr_t pb = reinterpret_cast<std::uintptr_t>(b);
    return pa >= pb ? pa - pb >= bytes : pb - pa >= bytes;
}

void MulComplex(const ComplexF* DSP_RESTRICT src, ComplexF* DSP_RESTRICT dst, int n)
{
    int k = 0;
#if DSP_HAVE_SSE2
    // Two values per register: d * s.re + swap(d) * s.im * (-1, 1), the same
    // products and sums as below.
    const __m128 signs = _mm_set_ps(1.0f, -1.0f, 1.0f, -1.0f);
    for (; k + 2 <= n; k += 2) {
        const __m128 s = _mm_loadu_ps(&src[k].re);
        const __m128 d = _mm_loadu_ps(&dst[k].re);
        const __m128 sr = _mm_shuffle_ps(s, s, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 si = _mm_mul_ps(_mm_shuffle_ps(s, s, _MM_SHUFFLE(3, 3, 1, 1)), signs);
        const __m128 swapped = _mm_shuffle_ps(d, d, _MM_SHUFFLE(2, 3, 0, 1));
        _mm_storeu_ps(&dst[k].re, _mm_add_ps(_mm_mul_ps(d, sr), _mm_mul_ps(swapped, si)));
    }
#endif
    for (; k < n; ++k) {
        const float sr = src[k].re;
        const float si = src[k].im;
        const float dr = dst[k].re;
        const float di = dst[k].im;
        dst[k].re = dr * sr - di * si;
        dst[k].im = dr * si + di * sr;
    }
}

void AddReal(const float* DSP_RESTRICT src, float* DSP_RESTRICT dst, int n)
{
    for (int i = 0; i < n; ++i) {
        dst[i] += src[i];
    }
}

// A routine of two arrays: the checks, then `fast` where they do not overlap,
// else `each` element by element in order (an exact alias included).
template <class T, class Fast, class Each>
void TwoArrays(const char* func, int line, const T* src, T* dst, int n, Fast fast, Each each)
{
    if (!CheckArgs(func, n, dst, src, line)) {
        return;
    }
    if (Disjoint(src, dst, static_cast<std::uintptr_t>(n) * sizeof(T))) {
        fast(src, dst, n);
        return;
    }
    for (int i = 0; i < n; ++i) {
        each(src[i], dst[i]);
    }
}

}  // namespace

void nspcbMpy2(const ComplexF* src, ComplexF* dst, int n)
{
    TwoArrays("nspcbMpy2", __LINE__, src, dst, n, MulComplex, [](const ComplexF s, ComplexF& d) {
        const ComplexF v = d;
        d.re = v.re * s.re - v.im * s.im;
        d.im = v.re * s.im + v.im * s.re;
    });
}

void nspsbAdd2(const float* src, float* dst, int n)
{
    TwoArrays("nspsbAdd2", __LINE__, src, dst, n, AddReal, [](const float s, float& d) { d += s; });
}

void nspsbMpy1(float val, float* dst, int n)
{
    if (n <= 0) {
        nspError(NSP_STS_BAD_ARGUMENT, "nspsbMpy1", "n<=0", kFile, __LINE__);
        return;
    }
    if (dst == nullptr) {
        nspError(NSP_STS_BAD_ARGUMENT, "nspsbMpy1", "dst==0", kFile, __LINE__);
        return;
    }
    for (int i = 0; i < n; ++i) {
        dst[i] *= val;
    }
}
