// The AVX form of the complex FFT behind the real transforms: the same
// self-sorting radix-4 passes as the plain and the SSE2 forms, eight values of
// one array per register. This file alone is compiled for AVX; it is called
// only after the processor and the system were found to support it.
//
// Used for M >= 64 points, where the first pass has M/4 >= 16 butterflies, the
// second has stride 4 (two butterfly columns per register, one per half) and
// every later pass has a stride that is a multiple of 8.
#include "fft_internal.h"

#if DSP_HAVE_AVX_FORM

#include <immintrin.h>

#include <cstddef>

namespace dsp::detail {

namespace {

struct Vc {
    __m256 re, im;
};

inline Vc operator+(Vc a, Vc b)
{
    return {_mm256_add_ps(a.re, b.re), _mm256_add_ps(a.im, b.im)};
}

inline Vc operator-(Vc a, Vc b)
{
    return {_mm256_sub_ps(a.re, b.re), _mm256_sub_ps(a.im, b.im)};
}

inline Vc Mul(Vc a, __m256 wr, __m256 wi)
{
    return {_mm256_sub_ps(_mm256_mul_ps(a.re, wr), _mm256_mul_ps(a.im, wi)),
            _mm256_add_ps(_mm256_mul_ps(a.re, wi), _mm256_mul_ps(a.im, wr))};
}

// Values k..k+7, packed (pairs of real and imaginary parts) or split.
template <bool Packed>
inline Vc Load(const float* re, const float* im, std::size_t k)
{
    if constexpr (Packed) {
        const __m256 a = _mm256_loadu_ps(re + 2 * k);       // values 0 1 | 2 3
        const __m256 b = _mm256_loadu_ps(re + 2 * k + 8);   // values 4 5 | 6 7
        const __m256 lo = _mm256_permute2f128_ps(a, b, 0x20);   // 0 1 | 4 5
        const __m256 hi = _mm256_permute2f128_ps(a, b, 0x31);   // 2 3 | 6 7
        return {_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)), _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))};
    } else {
        return {_mm256_loadu_ps(re + k), _mm256_loadu_ps(im + k)};
    }
}

// The packed output takes each value with real and imaginary parts swapped.
template <bool Packed>
inline void Store(float* re, float* im, std::size_t k, Vc v)
{
    if constexpr (Packed) {
        const __m256 lo = _mm256_unpacklo_ps(v.im, v.re);   // values 0 1 | 4 5
        const __m256 hi = _mm256_unpackhi_ps(v.im, v.re);   // values 2 3 | 6 7
        _mm256_storeu_ps(re + 2 * k, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(re + 2 * k + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    } else {
        _mm256_storeu_ps(re + k, v.re);
        _mm256_storeu_ps(im + k, v.im);
    }
}

struct Four {
    Vc y0, y1, y2, y3;
};

inline Four Dft4(Vc a, Vc b, Vc c, Vc d)
{
    const Vc apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    return {apc + bpd,
            {_mm256_add_ps(amc.re, bmd.im), _mm256_sub_ps(amc.im, bmd.re)},
            apc - bpd,
            {_mm256_sub_ps(amc.re, bmd.im), _mm256_add_ps(amc.im, bmd.re)}};
}

// In-lane transpose of four rows: afterwards the low halves hold the columns
// 0..3 of the low halves, the high halves those of the high halves.
inline void Transpose4(__m256& r0, __m256& r1, __m256& r2, __m256& r3)
{
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1);
    const __m256 t1 = _mm256_unpacklo_ps(r2, r3);
    const __m256 t2 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t3 = _mm256_unpackhi_ps(r2, r3);
    r0 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
    r1 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
    r2 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
    r3 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
}

// Rows y0..y3 of eight butterflies p..p+7, written as the 32 values 4p..4p+31.
inline void StoreTransposed(float* out, __m256 y0, __m256 y1, __m256 y2, __m256 y3)
{
    Transpose4(y0, y1, y2, y3);
    _mm256_storeu_ps(out, _mm256_permute2f128_ps(y0, y1, 0x20));
    _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(y2, y3, 0x20));
    _mm256_storeu_ps(out + 16, _mm256_permute2f128_ps(y0, y1, 0x31));
    _mm256_storeu_ps(out + 24, _mm256_permute2f128_ps(y2, y3, 0x31));
}

// The four-point transform of (a, b, 0, 0).
inline Four Dft4HalfZero(Vc a, Vc b)
{
    return {a + b, {_mm256_add_ps(a.re, b.im), _mm256_sub_ps(a.im, b.re)}, a - b,
            {_mm256_sub_ps(a.re, b.im), _mm256_add_ps(a.im, b.re)}};
}

// `ZeroTail`: the upper half of the input is known to be zero and is not read.
template <bool InPacked, bool ZeroTail>
void PassFirst(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, const float* tw)
{
    const std::size_t quarter = len / 4;
    for (std::size_t p = 0; p < quarter; p += 8) {
        const Four f = ZeroTail ? Dft4HalfZero(Load<InPacked>(xr, xi, p), Load<InPacked>(xr, xi, p + quarter))
                                : Dft4(Load<InPacked>(xr, xi, p), Load<InPacked>(xr, xi, p + quarter),
                                       Load<InPacked>(xr, xi, p + 2 * quarter), Load<InPacked>(xr, xi, p + 3 * quarter));
        const Vc y1 = Mul(f.y1, _mm256_loadu_ps(tw + p), _mm256_loadu_ps(tw + quarter + p));
        const Vc y2 = Mul(f.y2, _mm256_loadu_ps(tw + 2 * quarter + p), _mm256_loadu_ps(tw + 3 * quarter + p));
        const Vc y3 = Mul(f.y3, _mm256_loadu_ps(tw + 4 * quarter + p), _mm256_loadu_ps(tw + 5 * quarter + p));
        StoreTransposed(yr + 4 * p, f.y0.re, y1.re, y2.re, y3.re);
        StoreTransposed(yi + 4 * p, f.y0.im, y1.im, y2.im, y3.im);
    }
}

// Twiddle `index` of butterfly p in the low half and of p + 1 in the high half.
inline __m256 TwoTwiddles(const float* tw, std::size_t p)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_set1_ps(tw[p])), _mm_set1_ps(tw[p + 1]), 1);
}

inline void StoreHalves(float* re, float* im, std::size_t lowAt, std::size_t highAt, Vc v)
{
    _mm_storeu_ps(re + lowAt, _mm256_castps256_ps128(v.re));
    _mm_storeu_ps(re + highAt, _mm256_extractf128_ps(v.re, 1));
    _mm_storeu_ps(im + lowAt, _mm256_castps256_ps128(v.im));
    _mm_storeu_ps(im + highAt, _mm256_extractf128_ps(v.im, 1));
}

// The pass of stride 4: butterflies p and p + 1 side by side; their inputs are
// neighbours, their outputs 16 values apart.
void PassStride4(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, const float* tw)
{
    const std::size_t quarter = len / 4;
    const std::size_t dist = quarter * 4;
    for (std::size_t p = 0; p < quarter; p += 2) {
        const std::size_t in = 4 * p;
        const Four f = Dft4(Load<false>(xr, xi, in), Load<false>(xr, xi, in + dist),
                            Load<false>(xr, xi, in + 2 * dist), Load<false>(xr, xi, in + 3 * dist));
        const std::size_t out = 16 * p;
        StoreHalves(yr, yi, out, out + 16, f.y0);
        StoreHalves(yr, yi, out + 4, out + 20, Mul(f.y1, TwoTwiddles(tw, p), TwoTwiddles(tw + quarter, p)));
        StoreHalves(yr, yi, out + 8, out + 24,
                    Mul(f.y2, TwoTwiddles(tw + 2 * quarter, p), TwoTwiddles(tw + 3 * quarter, p)));
        StoreHalves(yr, yi, out + 12, out + 28,
                    Mul(f.y3, TwoTwiddles(tw + 4 * quarter, p), TwoTwiddles(tw + 5 * quarter, p)));
    }
}

template <std::size_t S>
void PassMiddle(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, std::size_t stride,
                const float* tw)
{
    const std::size_t s = S != 0 ? S : stride;
    const std::size_t quarter = len / 4;
    const std::size_t dist = quarter * s;
    for (std::size_t p = 0; p < quarter; ++p) {
        const __m256 w1r = _mm256_set1_ps(tw[p]), w1i = _mm256_set1_ps(tw[quarter + p]);
        const __m256 w2r = _mm256_set1_ps(tw[2 * quarter + p]), w2i = _mm256_set1_ps(tw[3 * quarter + p]);
        const __m256 w3r = _mm256_set1_ps(tw[4 * quarter + p]), w3i = _mm256_set1_ps(tw[5 * quarter + p]);
        const float* ar = xr + p * s;
        const float* ai = xi + p * s;
        float* br = yr + 4 * p * s;
        float* bi = yi + 4 * p * s;
        for (std::size_t q = 0; q < s; q += 8) {
            const Four f = Dft4(Load<false>(ar, ai, q), Load<false>(ar, ai, q + dist),
                                Load<false>(ar, ai, q + 2 * dist), Load<false>(ar, ai, q + 3 * dist));
            Store<false>(br, bi, q, f.y0);
            Store<false>(br, bi, q + s, Mul(f.y1, w1r, w1i));
            Store<false>(br, bi, q + 2 * s, Mul(f.y2, w2r, w2i));
            Store<false>(br, bi, q + 3 * s, Mul(f.y3, w3r, w3i));
        }
    }
}

template <bool OutPacked>
void PassLast4(const float* xr, const float* xi, float* yr, float* yi, std::size_t s)
{
    for (std::size_t q = 0; q < s; q += 8) {
        const Four f = Dft4(Load<false>(xr, xi, q), Load<false>(xr, xi, q + s), Load<false>(xr, xi, q + 2 * s),
                            Load<false>(xr, xi, q + 3 * s));
        Store<OutPacked>(yr, yi, q, f.y0);
        Store<OutPacked>(yr, yi, q + s, f.y1);
        Store<OutPacked>(yr, yi, q + 2 * s, f.y2);
        Store<OutPacked>(yr, yi, q + 3 * s, f.y3);
    }
}

template <bool OutPacked>
void PassLast8(const float* xr, const float* xi, float* yr, float* yi, std::size_t s)
{
    const __m256 r = _mm256_set1_ps(0.70710678118654752f);
    const __m256 zero = _mm256_setzero_ps();
    for (std::size_t q = 0; q < s; q += 8) {
        const Four e = Dft4(Load<false>(xr, xi, q), Load<false>(xr, xi, q + 2 * s), Load<false>(xr, xi, q + 4 * s),
                            Load<false>(xr, xi, q + 6 * s));
        const Four o = Dft4(Load<false>(xr, xi, q + s), Load<false>(xr, xi, q + 3 * s),
                            Load<false>(xr, xi, q + 5 * s), Load<false>(xr, xi, q + 7 * s));
        const Vc t1 = {_mm256_mul_ps(r, _mm256_add_ps(o.y1.re, o.y1.im)),
                       _mm256_mul_ps(r, _mm256_sub_ps(o.y1.im, o.y1.re))};
        const Vc t2 = {o.y2.im, _mm256_sub_ps(zero, o.y2.re)};
        const Vc t3 = {_mm256_mul_ps(r, _mm256_sub_ps(o.y3.im, o.y3.re)),
                       _mm256_sub_ps(zero, _mm256_mul_ps(r, _mm256_add_ps(o.y3.re, o.y3.im)))};
        Store<OutPacked>(yr, yi, q, e.y0 + o.y0);
        Store<OutPacked>(yr, yi, q + s, e.y1 + t1);
        Store<OutPacked>(yr, yi, q + 2 * s, e.y2 + t2);
        Store<OutPacked>(yr, yi, q + 3 * s, e.y3 + t3);
        Store<OutPacked>(yr, yi, q + 4 * s, e.y0 - o.y0);
        Store<OutPacked>(yr, yi, q + 5 * s, e.y1 - t1);
        Store<OutPacked>(yr, yi, q + 6 * s, e.y2 - t2);
        Store<OutPacked>(yr, yi, q + 7 * s, e.y3 - t3);
    }
}

}  // namespace

const float* ComplexFftAvx(const FftWork& work, const float* packedIn, const float* inR, const float* inI,
                           float* packedOut, bool zeroTail)
{
    const std::size_t m = work.half;
    const float* tw = work.stageTwiddles;
    const float* curR = packedIn != nullptr ? packedIn : inR;
    const float* curI = packedIn != nullptr ? packedIn : inI;
    std::size_t s = 1;
    for (std::size_t len = m; len > 1;) {
        const std::size_t next = len <= 8 ? 1 : len / 4;
        float* dst = curR == work.bufferA ? work.bufferB : work.bufferA;
        float* dstR = dst;
        float* dstI = dst + m;
        const bool outPacked = next == 1 && packedOut != nullptr;
        if (outPacked) {
            dstR = packedOut;
            dstI = packedOut;
        }
        if (s == 1) {
            if (packedIn != nullptr && zeroTail) {
                PassFirst<true, true>(curR, curI, dstR, dstI, len, tw);
            } else if (packedIn != nullptr) {
                PassFirst<true, false>(curR, curI, dstR, dstI, len, tw);
            } else {
                PassFirst<false, false>(curR, curI, dstR, dstI, len, tw);
            }
        } else if (len == 4) {
            if (outPacked) {
                PassLast4<true>(curR, curI, dstR, dstI, s);
            } else {
                PassLast4<false>(curR, curI, dstR, dstI, s);
            }
        } else if (len == 8) {
            if (outPacked) {
                PassLast8<true>(curR, curI, dstR, dstI, s);
            } else {
                PassLast8<false>(curR, curI, dstR, dstI, s);
            }
        } else if (s == 4) {
            PassStride4(curR, curI, dstR, dstI, len, tw);
        } else {
            switch (s) {
            case 16: PassMiddle<16>(curR, curI, dstR, dstI, len, s, tw); break;
            case 64: PassMiddle<64>(curR, curI, dstR, dstI, len, s, tw); break;
            case 256: PassMiddle<256>(curR, curI, dstR, dstI, len, s, tw); break;
            default: PassMiddle<0>(curR, curI, dstR, dstI, len, s, tw); break;
            }
        }
        if (len >= 16) {
            tw += 6 * (len / 4);
        }
        curR = dstR;
        curI = dstI;
        s *= len <= 8 ? len : 4;
        len = next;
    }
    return curR;
}


namespace {

inline __m256 Reverse8(__m256 v)
{
    const __m256 inLane = _mm256_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
    return _mm256_permute2f128_ps(inLane, inLane, 0x01);
}

// Pairs (a[i], b[i]), i = 0..7, written as 16 values.
inline void StorePairs(float* out, __m256 a, __m256 b)
{
    const __m256 lo = _mm256_unpacklo_ps(a, b);
    const __m256 hi = _mm256_unpackhi_ps(a, b);
    _mm256_storeu_ps(out, _mm256_permute2f128_ps(lo, hi, 0x20));
    _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
}

}  // namespace

std::size_t RecombinePairsAvx(std::size_t half, const float* zr, const float* zi, const float* zrHi,
                              const float* ziHi, const float* cosT, const float* sinT, float* lo, float* hi)
{
    const __m256 halfV = _mm256_set1_ps(0.5f);
    std::size_t k = 1;
    for (; k + 8 <= half / 2; k += 8) {
        const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k) - 7;
        const __m256 ar = _mm256_loadu_ps(zr + k), ai = _mm256_loadu_ps(zi + k);
        const __m256 br = Reverse8(_mm256_loadu_ps(zrHi + back)), bi = Reverse8(_mm256_loadu_ps(ziHi + back));
        const __m256 er = _mm256_add_ps(ar, br), ei = _mm256_sub_ps(ai, bi);
        const __m256 fr = _mm256_add_ps(ai, bi), fi = _mm256_sub_ps(br, ar);
        const __m256 c = _mm256_loadu_ps(cosT + k), sn = _mm256_loadu_ps(sinT + k);
        const __m256 tr = _mm256_add_ps(_mm256_mul_ps(c, fr), _mm256_mul_ps(sn, fi));
        const __m256 ti = _mm256_sub_ps(_mm256_mul_ps(c, fi), _mm256_mul_ps(sn, fr));
        StorePairs(lo + 2 * k, _mm256_mul_ps(halfV, _mm256_add_ps(er, tr)), _mm256_mul_ps(halfV, _mm256_add_ps(ei, ti)));
        StorePairs(hi + 2 * back, Reverse8(_mm256_mul_ps(halfV, _mm256_sub_ps(er, tr))),
                   Reverse8(_mm256_mul_ps(halfV, _mm256_sub_ps(ti, ei))));
    }
    return k;
}

std::size_t SplitPairsAvx(std::size_t half, const float* x, const float* xHi, const float* cosT, const float* sinT,
                          float h, float sign, float* re, float* im, float* reHi, float* imHi, const float* f)
{
    const __m256 hV = _mm256_set1_ps(h), signV = _mm256_set1_ps(sign);
    const float* fHi = f != nullptr ? f + 2 * half : nullptr;
    std::size_t k = 1;
    for (; k + 8 <= half / 2; k += 8) {
        const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k) - 7;
        Vc a = Load<true>(x, nullptr, k);
        Vc b = Load<true>(xHi + 2 * back, nullptr, 0);   // bins -k-7..-k
        if (f != nullptr) {
            const Vc fa = Load<true>(f, nullptr, k);
            const Vc fb = Load<true>(fHi + 2 * back, nullptr, 0);
            a = {_mm256_sub_ps(_mm256_mul_ps(a.re, fa.re), _mm256_mul_ps(a.im, fa.im)),
                 _mm256_add_ps(_mm256_mul_ps(a.re, fa.im), _mm256_mul_ps(a.im, fa.re))};
            b = {_mm256_sub_ps(_mm256_mul_ps(b.re, fb.re), _mm256_mul_ps(b.im, fb.im)),
                 _mm256_add_ps(_mm256_mul_ps(b.re, fb.im), _mm256_mul_ps(b.im, fb.re))};
        }
        const __m256 ar = a.re, ai = _mm256_mul_ps(signV, a.im);
        const __m256 br = Reverse8(b.re), bi = _mm256_mul_ps(signV, Reverse8(b.im));
        const __m256 sr = _mm256_add_ps(ar, br), si = _mm256_sub_ps(ai, bi);
        const __m256 dr = _mm256_sub_ps(ar, br), di = _mm256_add_ps(ai, bi);
        const __m256 c = _mm256_loadu_ps(cosT + k), sn = _mm256_loadu_ps(sinT + k);
        const __m256 u = _mm256_add_ps(_mm256_mul_ps(c, di), _mm256_mul_ps(sn, dr));
        const __m256 v = _mm256_sub_ps(_mm256_mul_ps(c, dr), _mm256_mul_ps(sn, di));
        _mm256_storeu_ps(im + k, _mm256_mul_ps(hV, _mm256_sub_ps(sr, u)));
        _mm256_storeu_ps(re + k, _mm256_mul_ps(hV, _mm256_add_ps(si, v)));
        _mm256_storeu_ps(imHi + back, Reverse8(_mm256_mul_ps(hV, _mm256_add_ps(sr, u))));
        _mm256_storeu_ps(reHi + back, Reverse8(_mm256_mul_ps(hV, _mm256_sub_ps(v, si))));
    }
    return k;
}

}  // namespace dsp::detail

#endif  // DSP_HAVE_AVX_FORM
