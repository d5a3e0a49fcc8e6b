// The passes of the real FFT, written once over the width of a register.
//
// A form of the transforms is a small traits type `Ops` that knows one register
// of W floats: Load, Store, Add, Sub, Mul, Broadcast, Zero, and the few
// shuffles the passes need:
//   LoadPacked(p, re, im)        values p[0..2W) as W (re, im) pairs, split
//   LoadPackedReversed(p, re, im) the same, taken in the reverse order
//   StorePacked(p, a, b)         W pairs (a[j], b[j]) written as p[0..2W)
//   StoreTransposed4(p, y0..y3)  p[4j + r] = y_r[j], j < W
//   Reverse(v)                   the W values in the reverse order
// and, where W = 8, BroadcastPair(p) (p[0] in the low half, p[1] in the high
// half) and StoreHalves(lo, hi, v) for the pass of stride 4.
//
// Everything here has internal linkage: each form's file instantiates it with
// the instructions it is compiled for, and no copy compiled for one processor
// can stand in for another's.
//
// The complex FFT is a self-sorting (Stockham) radix-4 transform on separate
// real and imaginary arrays, whose last pass is radix-8 when log2(M) is odd
// (radix-2 for M = 2). A pass of length L and stride s (L * s = M) takes four
// (or eight, or two) inputs at distance L/4 * s, and writes their transform to
// positions (4p + k) * s + q. The first pass can read the packed real signal
// (pairs of samples) and the last pass can write the packed signal of the
// inverse, which comes out with real and imaginary parts swapped.
//
// With W = 1 the loops are plain scalar code that the compiler vectorises: the
// first pass across p, the others across the q of one p. The stride is a
// template constant where it can be (every stride is a power of 4), so that the
// compiler can see that the output rows q + k s of one butterfly column do not
// overlap. Wider forms need M/4 >= W butterflies in the first pass and strides
// that are multiples of W after it, except a stride of 4 where W = 8 (two
// butterfly columns per register, one per half).
#pragma once

#include "fft_internal.h"

#include <cstddef>

#if defined(_MSC_VER)
#define DSP_RESTRICT __restrict
#else
#define DSP_RESTRICT __restrict__
#endif

namespace dsp::detail {
namespace {

template <class Ops>
struct FftPasses {
    using V = typename Ops::V;
    static constexpr std::size_t W = Ops::kWidth;

    struct C {
        V re, im;
    };

    static C Add(C a, C b) { return {Ops::Add(a.re, b.re), Ops::Add(a.im, b.im)}; }
    static C Sub(C a, C b) { return {Ops::Sub(a.re, b.re), Ops::Sub(a.im, b.im)}; }
    static C Mul(C a, V wr, V wi)
    {
        return {Ops::Sub(Ops::Mul(a.re, wr), Ops::Mul(a.im, wi)), Ops::Add(Ops::Mul(a.re, wi), Ops::Mul(a.im, wr))};
    }

    // Values k..k+W-1 of an array, packed or split.
    template <bool Packed>
    static C Load(const float* DSP_RESTRICT re, const float* DSP_RESTRICT im, std::size_t k)
    {
        C v;
        if constexpr (Packed) {
            Ops::LoadPacked(re + 2 * k, v.re, v.im);
        } else {
            v.re = Ops::Load(re + k);
            v.im = Ops::Load(im + k);
        }
        return v;
    }

    // The packed output takes each value with real and imaginary parts swapped.
    template <bool Packed>
    static void Store(float* DSP_RESTRICT re, float* DSP_RESTRICT im, std::size_t k, C v)
    {
        if constexpr (Packed) {
            Ops::StorePacked(re + 2 * k, v.im, v.re);
        } else {
            Ops::Store(re + k, v.re);
            Ops::Store(im + k, v.im);
        }
    }

    // Four-point transform: y0 = (a + c) + (b + d), y1 = (a - c) - i (b - d),
    // y2 = (a + c) - (b + d), y3 = (a - c) + i (b - d).
    struct Four {
        C y0, y1, y2, y3;
    };

    static Four Dft4(C a, C b, C c, C d)
    {
        const C apc = Add(a, c), amc = Sub(a, c), bpd = Add(b, d), bmd = Sub(b, d);
        return {Add(apc, bpd),
                {Ops::Add(amc.re, bmd.im), Ops::Sub(amc.im, bmd.re)},
                Sub(apc, bpd),
                {Ops::Sub(amc.re, bmd.im), Ops::Add(amc.im, bmd.re)}};
    }

    // The four-point transform of (a, b, 0, 0).
    static Four Dft4HalfZero(C a, C b)
    {
        return {Add(a, b), {Ops::Add(a.re, b.im), Ops::Sub(a.im, b.re)}, Sub(a, b),
                {Ops::Sub(a.re, b.im), Ops::Add(a.im, b.re)}};
    }

    // Last pass of M = 2: L = 2, twiddles all 1.
    template <std::size_t S, bool InPacked, bool OutPacked>
    static void Radix2Last(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                           float* DSP_RESTRICT yi, std::size_t stride)
    {
        const std::size_t s = S != 0 ? S : stride;
        for (std::size_t q = 0; q < s; q += W) {
            const C a = Load<InPacked>(xr, xi, q);
            const C b = Load<InPacked>(xr, xi, q + s);
            Store<OutPacked>(yr, yi, q, Add(a, b));
            Store<OutPacked>(yr, yi, q + s, Sub(a, b));
        }
    }

    // The butterflies of a column whose twiddles are all 1: the last pass of
    // length 4 (inputs `dist` = s apart) and column 0 of a middle pass.
    template <std::size_t S, bool InPacked, bool OutPacked>
    static void Radix4Last(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                           float* DSP_RESTRICT yi, std::size_t stride, std::size_t dist)
    {
        const std::size_t s = S != 0 ? S : stride;
        for (std::size_t q = 0; q < s; q += W) {
            const Four f = Dft4(Load<InPacked>(xr, xi, q), Load<InPacked>(xr, xi, q + dist),
                                Load<InPacked>(xr, xi, q + 2 * dist), Load<InPacked>(xr, xi, q + 3 * dist));
            Store<OutPacked>(yr, yi, q, f.y0);
            Store<OutPacked>(yr, yi, q + s, f.y1);
            Store<OutPacked>(yr, yi, q + 2 * s, f.y2);
            Store<OutPacked>(yr, yi, q + 3 * s, f.y3);
        }
    }

    // Last pass of length 8 (odd log2(M)): twiddles all 1; the transform of
    // eight as two of four, on the even and the odd inputs.
    template <std::size_t S, bool InPacked, bool OutPacked>
    static void Radix8Last(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                           float* DSP_RESTRICT yi, std::size_t stride)
    {
        const std::size_t s = S != 0 ? S : stride;
        const V r = Ops::Broadcast(0.70710678118654752f);
        for (std::size_t q = 0; q < s; q += W) {
            const Four e = Dft4(Load<InPacked>(xr, xi, q), Load<InPacked>(xr, xi, q + 2 * s),
                                Load<InPacked>(xr, xi, q + 4 * s), Load<InPacked>(xr, xi, q + 6 * s));
            const Four o = Dft4(Load<InPacked>(xr, xi, q + s), Load<InPacked>(xr, xi, q + 3 * s),
                                Load<InPacked>(xr, xi, q + 5 * s), Load<InPacked>(xr, xi, q + 7 * s));
            // The odd half times w^k, w = e^(-i pi / 4): w o1 = t1, w^2 o2 = -i o2,
            // w^3 o3 = (t3.re, -t3.im); the signs are folded into the sums.
            const C t1 = {Ops::Mul(r, Ops::Add(o.y1.re, o.y1.im)), Ops::Mul(r, Ops::Sub(o.y1.im, o.y1.re))};
            const C t3 = {Ops::Mul(r, Ops::Sub(o.y3.im, o.y3.re)), Ops::Mul(r, Ops::Add(o.y3.re, o.y3.im))};
            Store<OutPacked>(yr, yi, q, Add(e.y0, o.y0));
            Store<OutPacked>(yr, yi, q + s, Add(e.y1, t1));
            Store<OutPacked>(yr, yi, q + 2 * s, {Ops::Add(e.y2.re, o.y2.im), Ops::Sub(e.y2.im, o.y2.re)});
            Store<OutPacked>(yr, yi, q + 3 * s, {Ops::Add(e.y3.re, t3.re), Ops::Sub(e.y3.im, t3.im)});
            Store<OutPacked>(yr, yi, q + 4 * s, Sub(e.y0, o.y0));
            Store<OutPacked>(yr, yi, q + 5 * s, Sub(e.y1, t1));
            Store<OutPacked>(yr, yi, q + 6 * s, {Ops::Sub(e.y2.re, o.y2.im), Ops::Add(e.y2.im, o.y2.re)});
            Store<OutPacked>(yr, yi, q + 7 * s, {Ops::Sub(e.y3.re, t3.re), Ops::Add(e.y3.im, t3.im)});
        }
    }

    // Middle pass (stride s >= W, 16 <= L < M): for each p, the s columns with
    // the twiddles of p.
    template <std::size_t S>
    static void Radix4Middle(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                             float* DSP_RESTRICT yi, std::size_t len, std::size_t stride,
                             const float* DSP_RESTRICT tw)
    {
        const std::size_t s = S != 0 ? S : stride;
        const std::size_t quarter = len / 4;
        const std::size_t dist = quarter * s;
        // Column 0 has all its twiddles 1: no products.
        Radix4Last<S, false, false>(xr, xi, yr, yi, s, dist);
        for (std::size_t p = 1; p < quarter; ++p) {
            const V w1r = Ops::Broadcast(tw[p]), w1i = Ops::Broadcast(tw[quarter + p]);
            const V w2r = Ops::Broadcast(tw[2 * quarter + p]), w2i = Ops::Broadcast(tw[3 * quarter + p]);
            const V w3r = Ops::Broadcast(tw[4 * quarter + p]), w3i = Ops::Broadcast(tw[5 * quarter + p]);
            const std::size_t in = p * s;
            const std::size_t out = 4 * p * s;
            for (std::size_t q = 0; q < s; q += W) {
                const Four f = Dft4(Load<false>(xr, xi, in + q), Load<false>(xr, xi, in + q + dist),
                                    Load<false>(xr, xi, in + q + 2 * dist), Load<false>(xr, xi, in + q + 3 * dist));
                Store<false>(yr, yi, out + q, f.y0);
                Store<false>(yr, yi, out + q + s, Mul(f.y1, w1r, w1i));
                Store<false>(yr, yi, out + q + 2 * s, Mul(f.y2, w2r, w2i));
                Store<false>(yr, yi, out + q + 3 * s, Mul(f.y3, w3r, w3i));
            }
        }
    }

    // The pass of stride 4 where a register holds eight values: butterflies p
    // and p + 1 side by side; their inputs are neighbours, their outputs 16
    // values apart.
    static void Radix4Stride4(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                              float* DSP_RESTRICT yi, std::size_t len, const float* DSP_RESTRICT tw)
    {
        if constexpr (W == 8) {
            const std::size_t quarter = len / 4;
            const std::size_t dist = quarter * 4;
            for (std::size_t p = 0; p < quarter; p += 2) {
                const std::size_t in = 4 * p;
                const Four f = Dft4(Load<false>(xr, xi, in), Load<false>(xr, xi, in + dist),
                                    Load<false>(xr, xi, in + 2 * dist), Load<false>(xr, xi, in + 3 * dist));
                const std::size_t out = 16 * p;
                const C y1 = Mul(f.y1, Ops::BroadcastPair(tw + p), Ops::BroadcastPair(tw + quarter + p));
                const C y2 = Mul(f.y2, Ops::BroadcastPair(tw + 2 * quarter + p), Ops::BroadcastPair(tw + 3 * quarter + p));
                const C y3 = Mul(f.y3, Ops::BroadcastPair(tw + 4 * quarter + p), Ops::BroadcastPair(tw + 5 * quarter + p));
                Ops::StoreHalves(yr + out, yr + out + 16, f.y0.re);
                Ops::StoreHalves(yi + out, yi + out + 16, f.y0.im);
                Ops::StoreHalves(yr + out + 4, yr + out + 20, y1.re);
                Ops::StoreHalves(yi + out + 4, yi + out + 20, y1.im);
                Ops::StoreHalves(yr + out + 8, yr + out + 24, y2.re);
                Ops::StoreHalves(yi + out + 8, yi + out + 24, y2.im);
                Ops::StoreHalves(yr + out + 12, yr + out + 28, y3.re);
                Ops::StoreHalves(yi + out + 12, yi + out + 28, y3.im);
            }
        } else {
            (void)xr, (void)xi, (void)yr, (void)yi, (void)len, (void)tw;
        }
    }

    // The pass of stride 4 where a register holds four values: one butterfly
    // column per register, its twiddles loaded from the table that holds each
    // one four times over (`tw4`, 24 values per column).
    static void Radix4Stride4Spread(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi,
                                    float* DSP_RESTRICT yr, float* DSP_RESTRICT yi, std::size_t len,
                                    const float* DSP_RESTRICT tw4)
    {
        if constexpr (W == 4) {
            const std::size_t quarter = len / 4;
            const std::size_t dist = quarter * 4;
            {
                const Four f = Dft4(Load<false>(xr, xi, 0), Load<false>(xr, xi, dist), Load<false>(xr, xi, 2 * dist),
                                    Load<false>(xr, xi, 3 * dist));
                Store<false>(yr, yi, 0, f.y0);
                Store<false>(yr, yi, 4, f.y1);
                Store<false>(yr, yi, 8, f.y2);
                Store<false>(yr, yi, 12, f.y3);
            }
            for (std::size_t p = 1; p < quarter; ++p) {
                const std::size_t in = 4 * p;
                const Four f = Dft4(Load<false>(xr, xi, in), Load<false>(xr, xi, in + dist),
                                    Load<false>(xr, xi, in + 2 * dist), Load<false>(xr, xi, in + 3 * dist));
                const float* t = tw4 + 24 * p;
                const std::size_t out = 16 * p;
                Store<false>(yr, yi, out, f.y0);
                Store<false>(yr, yi, out + 4, Mul(f.y1, Ops::Load(t), Ops::Load(t + 4)));
                Store<false>(yr, yi, out + 8, Mul(f.y2, Ops::Load(t + 8), Ops::Load(t + 12)));
                Store<false>(yr, yi, out + 12, Mul(f.y3, Ops::Load(t + 16), Ops::Load(t + 20)));
            }
        } else {
            (void)xr, (void)xi, (void)yr, (void)yi, (void)len, (void)tw4;
        }
    }

    // First pass (stride 1, L = M >= 16): W butterflies at once, their outputs
    // transposed so that the four values of one butterfly land next to each
    // other. `ZeroTail`: the upper half of the input is known to be zero and is
    // not read.
    template <bool InPacked, bool ZeroTail>
    static void Radix4First(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                            float* DSP_RESTRICT yi, std::size_t len, const float* DSP_RESTRICT tw)
    {
        const std::size_t quarter = len / 4;
        for (std::size_t p = 0; p < quarter; p += W) {
            const Four f = ZeroTail
                               ? Dft4HalfZero(Load<InPacked>(xr, xi, p), Load<InPacked>(xr, xi, p + quarter))
                               : Dft4(Load<InPacked>(xr, xi, p), Load<InPacked>(xr, xi, p + quarter),
                                      Load<InPacked>(xr, xi, p + 2 * quarter), Load<InPacked>(xr, xi, p + 3 * quarter));
            const C y1 = Mul(f.y1, Ops::Load(tw + p), Ops::Load(tw + quarter + p));
            const C y2 = Mul(f.y2, Ops::Load(tw + 2 * quarter + p), Ops::Load(tw + 3 * quarter + p));
            const C y3 = Mul(f.y3, Ops::Load(tw + 4 * quarter + p), Ops::Load(tw + 5 * quarter + p));
            Ops::StoreTransposed4(yr + 4 * p, f.y0.re, y1.re, y2.re, y3.re);
            Ops::StoreTransposed4(yi + 4 * p, f.y0.im, y1.im, y2.im, y3.im);
        }
    }

    // One pass after the first with the stride S as a constant (0: known at run time).
    template <std::size_t S, bool OutPacked>
    static void PassWithStride(const float* xr, const float* xi, float* yr, float* yi, std::size_t len,
                               std::size_t s, const float* tw)
    {
        // The last passes take the stride as a constant only where the compiler
        // vectorises them; the wider forms run them as fast without.
        constexpr std::size_t kLastS = W == 1 ? S : 0;
        if (len == 2) {
            Radix2Last<kLastS, false, OutPacked>(xr, xi, yr, yi, s);
        } else if (len == 4) {
            Radix4Last<kLastS, false, OutPacked>(xr, xi, yr, yi, s, s);
        } else if (len == 8) {
            Radix8Last<kLastS, false, OutPacked>(xr, xi, yr, yi, s);
        } else if constexpr (!OutPacked) {
            Radix4Middle<S>(xr, xi, yr, yi, len, s, tw);
        }
    }

    template <bool OutPacked>
    static void PassAfterFirst(const float* xr, const float* xi, float* yr, float* yi, std::size_t len,
                               std::size_t s, const float* tw, const float* tw4)
    {
        if (W == 8 && s == 4 && len >= 16) {
            Radix4Stride4(xr, xi, yr, yi, len, tw);
            return;
        }
        if (W == 4 && s == 4 && len >= 16 && tw4 != nullptr) {
            Radix4Stride4Spread(xr, xi, yr, yi, len, tw4);
            return;
        }
        switch (s) {
        case 4: PassWithStride<4, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 16: PassWithStride<16, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 64: PassWithStride<64, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 256: PassWithStride<256, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 1024: PassWithStride<1024, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 4096: PassWithStride<4096, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        default: PassWithStride<0, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        }
    }

    // The only pass of M = 2, 4 or 8 (stride 1): reads the packed input or writes
    // the packed output.
    template <bool InPacked, bool OutPacked>
    static void OnlyPass(const float* xr, const float* xi, float* yr, float* yi, std::size_t len)
    {
        if (len == 2) {
            Radix2Last<1, InPacked, OutPacked>(xr, xi, yr, yi, 1);
        } else if (len == 4) {
            Radix4Last<1, InPacked, OutPacked>(xr, xi, yr, yi, 1, 1);
        } else {
            Radix8Last<1, InPacked, OutPacked>(xr, xi, yr, yi, 1);
        }
    }

    // Forward complex FFT of M = work.half points. The input is either packed
    // (`packedIn`) or split (inR, inI); the output is either packed and swapped
    // (`packedOut`) or left in one of the work buffers, whose real-part pointer
    // is returned (the imaginary parts follow M values later).
    static const float* ComplexFft(const FftWork& work, const float* packedIn, const float* inR, const float* inI,
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
            if (s == 1 && len <= 8) {
                if constexpr (W == 1) {
                    if (packedIn != nullptr) {
                        OnlyPass<true, false>(curR, curI, dstR, dstI, len);
                    } else if (outPacked) {
                        OnlyPass<false, true>(curR, curI, dstR, dstI, len);
                    } else {
                        OnlyPass<false, false>(curR, curI, dstR, dstI, len);
                    }
                }
            } else if (s == 1) {
                if (packedIn != nullptr && zeroTail) {
                    Radix4First<true, true>(curR, curI, dstR, dstI, len, tw);
                } else if (packedIn != nullptr) {
                    Radix4First<true, false>(curR, curI, dstR, dstI, len, tw);
                } else {
                    Radix4First<false, false>(curR, curI, dstR, dstI, len, tw);
                }
            } else if (outPacked) {
                PassAfterFirst<true>(curR, curI, dstR, dstI, len, s, tw, work.stride4Twiddles);
            } else {
                PassAfterFirst<false>(curR, curI, dstR, dstI, len, s, tw, work.stride4Twiddles);
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

    // Splits the spectrum Z of the packed signal into the spectra of the even
    // and odd samples and recombines them, for the bin pairs (k, M - k),
    // from <= k < M/2, W pairs at a time: X[k] = E + w^k O and
    // X[M - k] = conj(E - w^k O), w = e^(-2 pi i / N). The `...Hi` pointers
    // point at index M and are read and written backwards. Returns the first k
    // not done (the caller finishes with W = 1).
    static std::size_t Recombine(std::size_t from, std::size_t half, const float* DSP_RESTRICT zr,
                                 const float* DSP_RESTRICT zi, const float* DSP_RESTRICT zrHi,
                                 const float* DSP_RESTRICT ziHi, const float* DSP_RESTRICT cosT,
                                 const float* DSP_RESTRICT sinT, float* DSP_RESTRICT lo, float* DSP_RESTRICT hi)
    {
        const V halfV = Ops::Broadcast(0.5f);
        std::size_t k = from;
        for (; k + W <= half / 2; k += W) {
            const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k + W - 1);
            const V ar = Ops::Load(zr + k), ai = Ops::Load(zi + k);
            const V br = Ops::Reverse(Ops::Load(zrHi + back)), bi = Ops::Reverse(Ops::Load(ziHi + back));
            const V er = Ops::Add(ar, br), ei = Ops::Sub(ai, bi);  // twice the even part
            const V fr = Ops::Add(ai, bi), fi = Ops::Sub(br, ar);  // twice the odd part
            const V c = Ops::Load(cosT + k), sn = Ops::Load(sinT + k);
            const V tr = Ops::Add(Ops::Mul(c, fr), Ops::Mul(sn, fi));
            const V ti = Ops::Sub(Ops::Mul(c, fi), Ops::Mul(sn, fr));
            Ops::StorePacked(lo + 2 * k, Ops::Mul(halfV, Ops::Add(er, tr)), Ops::Mul(halfV, Ops::Add(ei, ti)));
            Ops::StorePacked(hi + 2 * back, Ops::Reverse(Ops::Mul(halfV, Ops::Sub(er, tr))),
                             Ops::Reverse(Ops::Mul(halfV, Ops::Sub(ti, ei))));
        }
        return k;
    }

    // Bins at..at+W-1 of a packed spectrum, times those of `f` with Product;
    // `Backwards` takes them in the reverse order (at = -k-W+1 gives -k, -k-1, ...).
    template <bool Product, bool Backwards>
    static C Bins(const float* x, const float* f, std::ptrdiff_t at)
    {
        const auto load = [at](const float* p, C& v) {
            if constexpr (Backwards) {
                Ops::LoadPackedReversed(p + 2 * at, v.re, v.im);
            } else {
                Ops::LoadPacked(p + 2 * at, v.re, v.im);
            }
        };
        C a;
        load(x, a);
        if constexpr (Product) {
            C b;
            load(f, b);
            a = Mul(a, b.re, b.im);
        }
        return a;
    }

    // The reverse of Recombine, scaled by h, for the bin pairs from <= k < M/2:
    // the packed spectrum goes to (re, im) with real and imaginary parts
    // swapped. `sign` -1 reads the input conjugated. With `Product` the input
    // is first multiplied bin by bin by the spectrum `f` (as nspcbMpy2 does).
    // Returns the first k not done.
    template <bool Product>
    static std::size_t Split(std::size_t from, std::size_t half, const float* DSP_RESTRICT x,
                             const float* DSP_RESTRICT xHi, const float* DSP_RESTRICT cosT,
                             const float* DSP_RESTRICT sinT, float h, float sign, float* DSP_RESTRICT re,
                             float* DSP_RESTRICT im, float* DSP_RESTRICT reHi, float* DSP_RESTRICT imHi,
                             const float* DSP_RESTRICT f)
    {
        // The scale (and the sign of the imaginary parts) is taken as the bins
        // are read: everything after is linear in them.
        const V hV = Ops::Broadcast(h), hSignV = Ops::Broadcast(h * sign);
        const float* fHi = Product ? f + 2 * half : nullptr;
        std::size_t k = from;
        for (; k + W <= half / 2; k += W) {
            const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k + W - 1);
            const C a = Bins<Product, false>(x, f, static_cast<std::ptrdiff_t>(k));
            const C b = Bins<Product, true>(xHi, fHi, back);
            const V ar = Ops::Mul(hV, a.re), ai = Ops::Mul(hSignV, a.im);
            const V br = Ops::Mul(hV, b.re), bi = Ops::Mul(hSignV, b.im);
            const V sr = Ops::Add(ar, br), si = Ops::Sub(ai, bi);  // twice the even part
            const V dr = Ops::Sub(ar, br), di = Ops::Add(ai, bi);
            const V c = Ops::Load(cosT + k), sn = Ops::Load(sinT + k);
            const V u = Ops::Add(Ops::Mul(c, di), Ops::Mul(sn, dr));
            const V v = Ops::Sub(Ops::Mul(c, dr), Ops::Mul(sn, di));
            Ops::Store(im + k, Ops::Sub(sr, u));
            Ops::Store(re + k, Ops::Add(si, v));
            Ops::Store(imHi + back, Ops::Reverse(Ops::Add(sr, u)));
            Ops::Store(reHi + back, Ops::Reverse(Ops::Sub(v, si)));
        }
        return k;
    }

    static std::size_t SplitPairs(std::size_t from, std::size_t half, const float* x, const float* xHi,
                                  const float* cosT, const float* sinT, float h, float sign, float* re, float* im,
                                  float* reHi, float* imHi, const float* f)
    {
        return f != nullptr ? Split<true>(from, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f)
                            : Split<false>(from, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f);
    }
};

}  // namespace
}  // namespace dsp::detail
