// Real FFTs of order 0..31 and their cached tables.
//
// A real transform of N = 2^n points runs as a complex FFT of M = N/2 points on
// the samples taken in pairs (even sample as real part, odd as imaginary),
// followed by the split into the spectra of the even and the odd samples and
// their recombination; the inverse runs the same steps backwards, using the
// forward complex FFT on swapped real and imaginary parts.
//
// The complex FFT is a self-sorting (Stockham) radix-4 transform on separate
// real and imaginary arrays, whose last pass is radix-8 when log2(M) is odd
// (radix-2 for M = 2). It needs no bit reversal, and every pass runs over contiguous memory so
// that the compiler can vectorise the loops. The first pass reads the packed
// samples directly and the last pass of the inverse writes the packed output, so
// no extra copy passes are needed.
//
// Where the compiler targets SSE2 (every x86-64 build, and 32-bit builds with
// SSE2 enabled) the passes and the recombination of orders 5 and above also have
// an SSE2 form written with intrinsics, four values per instruction; 64-bit
// builds also have an AVX form of the passes of orders 7 and above, eight
// values per instruction (signal_fft_avx.cpp), used where the processor has
// AVX. The best form there is runs unless another is asked for (SetFftForm);
// all are tested alike.
#include "dsp/signal.h"
#include "fft_internal.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define DSP_HAVE_SSE2 1
#include <emmintrin.h>
#else
#define DSP_HAVE_SSE2 0
#endif

#if DSP_HAVE_AVX_FORM
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

#if defined(_MSC_VER)
#define DSP_RESTRICT __restrict
#else
#define DSP_RESTRICT __restrict__
#endif

namespace {

const char kFile[] = "signal_fft.cpp";
constexpr int kMaxOrder = 31;
constexpr double kPi = 3.14159265358979323846;

// Tables larger than this are not attempted; the order is reported as out of
// memory (a 2^27-point transform already needs half a gigabyte of tables).
constexpr std::uint64_t kMaxTableBytes =
    sizeof(void*) >= 8 ? (std::uint64_t(1) << 32) : (std::uint64_t(1) << 30);

// ---------------------------------------------------------------------------
// Tables of one order n >= 2.

struct FftTables {
    std::size_t half = 0;                // M = N/2 complex points
    std::unique_ptr<float[]> storage;    // everything below lives here
    const float* stageTwiddles = nullptr;
    const float* recombCos = nullptr;    // cos(2 pi k / N), k = 0..M/2
    const float* recombSin = nullptr;    // sin(2 pi k / N), k = 0..M/2
    float* bufferA = nullptr;            // two work buffers of M complex values,
    float* bufferB = nullptr;            // real parts first, then imaginary parts
};

// Stage twiddles of an M-point complex FFT: for each radix-4 pass of length
// L >= 16 the factors w^p, w^2p, w^3p (w = e^(-2 pi i / L), p < L/4), as six
// runs of L/4 values: re1, im1, re2, im2, re3, im3.
std::uint64_t StageTwiddleFloats(std::uint64_t m)
{
    std::uint64_t count = 0;
    for (std::uint64_t len = m; len >= 16; len /= 4) {
        count += 6 * (len / 4);
    }
    return count;
}

std::unique_ptr<FftTables> BuildTables(int order)
{
    const std::uint64_t m = std::uint64_t(1) << (order - 1);
    const std::uint64_t twiddleFloats = StageTwiddleFloats(m);
    const std::uint64_t recombFloats = 2 * (m / 2 + 1);
    const std::uint64_t bufferFloats = 4 * m;
    const std::uint64_t total = twiddleFloats + recombFloats + bufferFloats;
    if (total * sizeof(float) > kMaxTableBytes || total > SIZE_MAX / sizeof(float)) {
        return nullptr;
    }

    std::unique_ptr<FftTables> tables(new (std::nothrow) FftTables);
    if (!tables) {
        return nullptr;
    }
    tables->storage.reset(new (std::nothrow) float[static_cast<std::size_t>(total)]);
    if (!tables->storage) {
        return nullptr;
    }
    const std::size_t half = static_cast<std::size_t>(m);
    float* p = tables->storage.get();
    tables->half = half;

    // Stage twiddles.
    tables->stageTwiddles = p;
    for (std::size_t len = half; len >= 16; len /= 4) {
        const std::size_t quarter = len / 4;
        const double step = -2.0 * kPi / static_cast<double>(len);
        for (std::size_t j = 0; j < quarter; ++j) {
            for (std::size_t k = 1; k <= 3; ++k) {
                const double angle = step * static_cast<double>(j * k);
                p[(2 * k - 2) * quarter + j] = static_cast<float>(std::cos(angle));
                p[(2 * k - 1) * quarter + j] = static_cast<float>(std::sin(angle));
            }
        }
        p += 6 * quarter;
    }

    // Recombination factors.
    const double recombStep = 2.0 * kPi / (2.0 * static_cast<double>(half));
    float* cosTable = p;
    float* sinTable = p + half / 2 + 1;
    for (std::size_t k = 0; k <= half / 2; ++k) {
        cosTable[k] = static_cast<float>(std::cos(recombStep * static_cast<double>(k)));
        sinTable[k] = static_cast<float>(std::sin(recombStep * static_cast<double>(k)));
    }
    tables->recombCos = cosTable;
    tables->recombSin = sinTable;
    p += 2 * (half / 2 + 1);

    tables->bufferA = p;
    tables->bufferB = p + 2 * half;
    for (std::size_t i = 0; i < 4 * half; ++i) {
        p[i] = 0.0f;
    }
    return tables;
}

// The process-wide table cache. Every transform runs under its lock, because
// the work buffers are part of the tables.
struct FftContext {
    std::mutex lock;
    std::unique_ptr<FftTables> tables[kMaxOrder + 1];

    void ReleaseAll()
    {
        for (auto& t : tables) {
            t.reset();
        }
    }

    // Tables of `order` (>= 2), built on first use; null when they cannot be built.
    FftTables* Get(int order)
    {
        if (!tables[order]) {
            tables[order] = BuildTables(order);
            if (!tables[order]) {
                ReleaseAll();
                tables[order] = BuildTables(order);
            }
        }
        return tables[order].get();
    }
};

FftContext& Context()
{
    static FftContext context;
    return context;
}

// ---------------------------------------------------------------------------
// Complex FFT passes. A pass of length L and stride s (L * s = M) takes four
// (or eight, or two) inputs at distance L/4 * s, and writes their transform to
// positions (4p + k) * s + q. Input and output can be packed: the packed input
// is the real signal (pairs of samples), the packed output is the real signal
// of the inverse, which comes out with real and imaginary parts swapped.
//
// The loops are plain scalar code that the compiler vectorises: the first pass
// across p, the others across the q of one p. For the latter the stride is a
// template constant where it can be (every stride is a power of 4), so that the
// compiler can see that the output rows q + k s of one butterfly column do not
// overlap; other strides take the same code with the stride known at run time.

struct Cplx {
    float re, im;
};

inline Cplx operator+(Cplx a, Cplx b)
{
    return {a.re + b.re, a.im + b.im};
}

inline Cplx operator-(Cplx a, Cplx b)
{
    return {a.re - b.re, a.im - b.im};
}

inline Cplx Mul(Cplx a, Cplx w)
{
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}

// Value k of an array, packed or split.
template <bool Packed>
inline Cplx Load(const float* DSP_RESTRICT re, const float* DSP_RESTRICT im, std::size_t k)
{
    if constexpr (Packed) {
        return {re[2 * k], re[2 * k + 1]};
    } else {
        return {re[k], im[k]};
    }
}

// The packed output takes each value with real and imaginary parts swapped.
template <bool Packed>
inline void Store(float* DSP_RESTRICT re, float* DSP_RESTRICT im, std::size_t k, Cplx v)
{
    if constexpr (Packed) {
        re[2 * k] = v.im;
        re[2 * k + 1] = v.re;
    } else {
        re[k] = v.re;
        im[k] = v.im;
    }
}

// Four-point transform: y0 = (a + c) + (b + d), y1 = (a - c) - i (b - d),
// y2 = (a + c) - (b + d), y3 = (a - c) + i (b - d).
struct Four {
    Cplx y0, y1, y2, y3;
};

inline Four Dft4(Cplx a, Cplx b, Cplx c, Cplx d)
{
    const Cplx apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    return {apc + bpd, {amc.re + bmd.im, amc.im - bmd.re}, apc - bpd, {amc.re - bmd.im, amc.im + bmd.re}};
}

// Last pass of M = 2: L = 2, twiddles all 1.
template <std::size_t S, bool InPacked, bool OutPacked>
void Radix2PassLast(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                    float* DSP_RESTRICT yi, std::size_t stride)
{
    const std::size_t s = S != 0 ? S : stride;
    for (std::size_t q = 0; q < s; ++q) {
        const Cplx a = Load<InPacked>(xr, xi, q);
        const Cplx b = Load<InPacked>(xr, xi, q + s);
        Store<OutPacked>(yr, yi, q, a + b);
        Store<OutPacked>(yr, yi, q + s, a - b);
    }
}

// Last pass of length 4: twiddles all 1.
template <std::size_t S, bool InPacked, bool OutPacked>
void Radix4PassLast(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                    float* DSP_RESTRICT yi, std::size_t stride)
{
    const std::size_t s = S != 0 ? S : stride;
    for (std::size_t q = 0; q < s; ++q) {
        const Four f = Dft4(Load<InPacked>(xr, xi, q), Load<InPacked>(xr, xi, q + s),
                            Load<InPacked>(xr, xi, q + 2 * s), Load<InPacked>(xr, xi, q + 3 * s));
        Store<OutPacked>(yr, yi, q, f.y0);
        Store<OutPacked>(yr, yi, q + s, f.y1);
        Store<OutPacked>(yr, yi, q + 2 * s, f.y2);
        Store<OutPacked>(yr, yi, q + 3 * s, f.y3);
    }
}

// Last pass of length 8 (odd log2(M)): twiddles all 1; the transform of eight
// as two of four, on the even and the odd inputs.
template <std::size_t S, bool InPacked, bool OutPacked>
void Radix8PassLast(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                    float* DSP_RESTRICT yi, std::size_t stride)
{
    const std::size_t s = S != 0 ? S : stride;
    const float r = 0.70710678118654752f;
    for (std::size_t q = 0; q < s; ++q) {
        const Four e = Dft4(Load<InPacked>(xr, xi, q), Load<InPacked>(xr, xi, q + 2 * s),
                            Load<InPacked>(xr, xi, q + 4 * s), Load<InPacked>(xr, xi, q + 6 * s));
        const Four o = Dft4(Load<InPacked>(xr, xi, q + s), Load<InPacked>(xr, xi, q + 3 * s),
                            Load<InPacked>(xr, xi, q + 5 * s), Load<InPacked>(xr, xi, q + 7 * s));
        // The odd half times w^k, w = e^(-i pi / 4).
        const Cplx t1 = {r * (o.y1.re + o.y1.im), r * (o.y1.im - o.y1.re)};
        const Cplx t2 = {o.y2.im, -o.y2.re};
        const Cplx t3 = {r * (o.y3.im - o.y3.re), -r * (o.y3.re + o.y3.im)};
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

// Middle pass (stride s >= 4, 16 <= L < M): for each p, the s columns with the
// twiddles of p.
template <std::size_t S>
void Radix4PassMiddle(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                      float* DSP_RESTRICT yi, std::size_t len, std::size_t stride, const float* DSP_RESTRICT tw)
{
    const std::size_t s = S != 0 ? S : stride;
    const std::size_t quarter = len / 4;
    const std::size_t dist = quarter * s;
    for (std::size_t p = 0; p < quarter; ++p) {
        const Cplx w1 = {tw[p], tw[quarter + p]};
        const Cplx w2 = {tw[2 * quarter + p], tw[3 * quarter + p]};
        const Cplx w3 = {tw[4 * quarter + p], tw[5 * quarter + p]};
        const std::size_t in = p * s;
        const std::size_t out = 4 * p * s;
        for (std::size_t q = 0; q < s; ++q) {
            const Four f = Dft4(Load<false>(xr, xi, in + q), Load<false>(xr, xi, in + q + dist),
                                Load<false>(xr, xi, in + q + 2 * dist), Load<false>(xr, xi, in + q + 3 * dist));
            Store<false>(yr, yi, out + q, f.y0);
            Store<false>(yr, yi, out + q + s, Mul(f.y1, w1));
            Store<false>(yr, yi, out + q + 2 * s, Mul(f.y2, w2));
            Store<false>(yr, yi, out + q + 3 * s, Mul(f.y3, w3));
        }
    }
}

// First pass (stride 1, L = M >= 16): the loop runs over p, the outputs of one
// butterfly are neighbours.
template <bool InPacked>
void Radix4PassFirst(const float* DSP_RESTRICT xr, const float* DSP_RESTRICT xi, float* DSP_RESTRICT yr,
                     float* DSP_RESTRICT yi, std::size_t len, const float* DSP_RESTRICT tw)
{
    const std::size_t quarter = len / 4;
    for (std::size_t p = 0; p < quarter; ++p) {
        const Four f = Dft4(Load<InPacked>(xr, xi, p), Load<InPacked>(xr, xi, p + quarter),
                            Load<InPacked>(xr, xi, p + 2 * quarter), Load<InPacked>(xr, xi, p + 3 * quarter));
        const Cplx y1 = Mul(f.y1, {tw[p], tw[quarter + p]});
        const Cplx y2 = Mul(f.y2, {tw[2 * quarter + p], tw[3 * quarter + p]});
        const Cplx y3 = Mul(f.y3, {tw[4 * quarter + p], tw[5 * quarter + p]});
        yr[4 * p] = f.y0.re;
        yi[4 * p] = f.y0.im;
        yr[4 * p + 1] = y1.re;
        yi[4 * p + 1] = y1.im;
        yr[4 * p + 2] = y2.re;
        yi[4 * p + 2] = y2.im;
        yr[4 * p + 3] = y3.re;
        yi[4 * p + 3] = y3.im;
    }
}

// One pass with the stride S as a constant (0: known at run time).
template <std::size_t S, bool InPacked, bool OutPacked>
void RunPassWithStride(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, std::size_t s,
                       const float* tw)
{
    if (len == 2) {
        Radix2PassLast<S, InPacked, OutPacked>(xr, xi, yr, yi, s);
    } else if (len == 4) {
        Radix4PassLast<S, InPacked, OutPacked>(xr, xi, yr, yi, s);
    } else if (len == 8) {
        Radix8PassLast<S, InPacked, OutPacked>(xr, xi, yr, yi, s);
    } else if constexpr (!InPacked && !OutPacked) {
        Radix4PassMiddle<S>(xr, xi, yr, yi, len, s, tw);
    }
}

template <bool InPacked, bool OutPacked>
void RunPass(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, std::size_t s,
             const float* tw)
{
    if (s == 1) {
        if (len <= 8) {
            RunPassWithStride<1, InPacked, OutPacked>(xr, xi, yr, yi, len, s, tw);
        } else if constexpr (!OutPacked) {
            Radix4PassFirst<InPacked>(xr, xi, yr, yi, len, tw);
        }
        return;
    }
    // Only the first pass reads the packed input, and it has stride 1.
    if constexpr (!InPacked) {
        switch (s) {
        case 4: RunPassWithStride<4, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 16: RunPassWithStride<16, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 64: RunPassWithStride<64, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 256: RunPassWithStride<256, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 1024: RunPassWithStride<1024, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        case 4096: RunPassWithStride<4096, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        default: RunPassWithStride<0, false, OutPacked>(xr, xi, yr, yi, len, s, tw); break;
        }
    }
}

// Forward complex FFT of M = tables.half points. The input is either packed
// (`packedIn`) or split (inR, inI); the output is either packed and swapped
// (`packedOut`) or left in one of the work buffers, whose real-part pointer is
// returned (the imaginary parts follow M values later).
const float* ComplexFft(const FftTables& tables, const float* packedIn, const float* inR, const float* inI,
                        float* packedOut)
{
    const std::size_t m = tables.half;
    const float* tw = tables.stageTwiddles;
    const float* curR = packedIn != nullptr ? packedIn : inR;
    const float* curI = packedIn != nullptr ? packedIn : inI;
    bool inPacked = packedIn != nullptr;
    std::size_t s = 1;
    for (std::size_t len = m; len > 1;) {
        const std::size_t next = len <= 8 ? 1 : len / 4;
        const bool last = next == 1;
        float* dst = curR == tables.bufferA ? tables.bufferB : tables.bufferA;
        float* dstR = dst;
        float* dstI = dst + m;
        const bool outPacked = last && packedOut != nullptr;
        if (outPacked) {
            dstR = packedOut;
            dstI = packedOut;
        }
        if (inPacked) {
            RunPass<true, false>(curR, curI, dstR, dstI, len, s, tw);
        } else if (outPacked) {
            RunPass<false, true>(curR, curI, dstR, dstI, len, s, tw);
        } else {
            RunPass<false, false>(curR, curI, dstR, dstI, len, s, tw);
        }
        if (len >= 16) {
            tw += 6 * (len / 4);
        }
        curR = dstR;
        curI = dstI;
        inPacked = false;
        s *= len <= 8 ? len : 4;
        len = next;
    }
    return curR;
}

// Splits the spectrum Z of the packed signal into the spectra of the even and
// odd samples and recombines them, for the bin pairs (k, M - k), 0 < k < M/2:
// X[k] = E + w^k O and X[M - k] = conj(E - w^k O), w = e^(-2 pi i / N). The
// `...Hi` pointers point at index M and are read and written backwards.
void RecombinePairs(std::size_t from, std::size_t half, const float* DSP_RESTRICT zr, const float* DSP_RESTRICT zi,
                    const float* DSP_RESTRICT zrHi, const float* DSP_RESTRICT ziHi,
                    const float* DSP_RESTRICT cosT, const float* DSP_RESTRICT sinT, float* DSP_RESTRICT lo,
                    float* DSP_RESTRICT hi)
{
    for (std::size_t k = from; k < half / 2; ++k) {
        const float ar = zr[k], ai = zi[k];
        const float br = zrHi[-static_cast<std::ptrdiff_t>(k)], bi = ziHi[-static_cast<std::ptrdiff_t>(k)];
        const float er = ar + br, ei = ai - bi;  // twice the even part
        const float fr = ai + bi, fi = br - ar;  // twice the odd part
        const float c = cosT[k], sn = sinT[k];
        const float tr = c * fr + sn * fi;
        const float ti = c * fi - sn * fr;
        lo[2 * k] = 0.5f * (er + tr);
        lo[2 * k + 1] = 0.5f * (ei + ti);
        hi[-2 * static_cast<std::ptrdiff_t>(k)] = 0.5f * (er - tr);
        hi[-2 * static_cast<std::ptrdiff_t>(k) + 1] = 0.5f * (ti - ei);
    }
}

// The reverse of RecombinePairs, scaled by h, for the bin pairs 0 < k < M/2:
// the packed spectrum goes to (re, im) with real and imaginary parts swapped.
// `sign` -1 reads the input conjugated. With `f` the input is first multiplied
// bin by bin by that spectrum (as nspcbMpy2 does).
template <bool Product>
void SplitPairsOf(std::size_t from, std::size_t half, const float* DSP_RESTRICT x, const float* DSP_RESTRICT xHi,
                  const float* DSP_RESTRICT cosT, const float* DSP_RESTRICT sinT, float h, float sign,
                  float* DSP_RESTRICT re, float* DSP_RESTRICT im, float* DSP_RESTRICT reHi,
                  float* DSP_RESTRICT imHi, const float* DSP_RESTRICT f)
{
    const float* fHi = Product ? f + 2 * half : nullptr;
    for (std::size_t k = from; k < half / 2; ++k) {
        const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k);
        float ar = x[2 * k], ai = x[2 * k + 1];
        float br = xHi[2 * back], bi = xHi[2 * back + 1];
        if constexpr (Product) {
            const float pr = ar * f[2 * k] - ai * f[2 * k + 1], pi = ar * f[2 * k + 1] + ai * f[2 * k];
            const float qr = br * fHi[2 * back] - bi * fHi[2 * back + 1];
            const float qi = br * fHi[2 * back + 1] + bi * fHi[2 * back];
            ar = pr;
            ai = pi;
            br = qr;
            bi = qi;
        }
        ai = sign * ai;
        bi = sign * bi;
        const float sr = ar + br, si = ai - bi;   // twice the even part
        const float dr = ar - br, di = ai + bi;
        const float c = cosT[k], sn = sinT[k];
        const float u = c * di + sn * dr;
        const float v = c * dr - sn * di;
        im[k] = h * (sr - u);
        re[k] = h * (si + v);
        imHi[back] = h * (sr + u);
        reHi[back] = h * (v - si);
    }
}

void SplitPairs(std::size_t from, std::size_t half, const float* x, const float* xHi, const float* cosT,
                const float* sinT, float h, float sign, float* re, float* im, float* reHi, float* imHi, const float* f)
{
    if (f != nullptr) {
        SplitPairsOf<true>(from, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f);
    } else {
        SplitPairsOf<false>(from, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f);
    }
}

// ---------------------------------------------------------------------------
// The SSE2 form: the same passes and the same recombination, four values of
// one array per register. Used for M >= 16, where every pass after the first has
// a stride that is a multiple of 4 and the first pass has M/4 >= 4 butterflies.

#if DSP_HAVE_SSE2

struct Vc {
    __m128 re, im;
};

inline Vc operator+(Vc a, Vc b)
{
    return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)};
}

inline Vc operator-(Vc a, Vc b)
{
    return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)};
}

inline Vc MulV(Vc a, __m128 wr, __m128 wi)
{
    return {_mm_sub_ps(_mm_mul_ps(a.re, wr), _mm_mul_ps(a.im, wi)),
            _mm_add_ps(_mm_mul_ps(a.re, wi), _mm_mul_ps(a.im, wr))};
}

inline __m128 Reverse(__m128 v)
{
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

// Values k..k+3, packed or split.
template <bool Packed>
inline Vc LoadV(const float* re, const float* im, std::size_t k)
{
    if constexpr (Packed) {
        const __m128 a = _mm_loadu_ps(re + 2 * k);
        const __m128 b = _mm_loadu_ps(re + 2 * k + 4);
        return {_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))};
    } else {
        return {_mm_loadu_ps(re + k), _mm_loadu_ps(im + k)};
    }
}

// The packed output takes each value with real and imaginary parts swapped.
template <bool Packed>
inline void StoreV(float* re, float* im, std::size_t k, Vc v)
{
    if constexpr (Packed) {
        _mm_storeu_ps(re + 2 * k, _mm_unpacklo_ps(v.im, v.re));
        _mm_storeu_ps(re + 2 * k + 4, _mm_unpackhi_ps(v.im, v.re));
    } else {
        _mm_storeu_ps(re + k, v.re);
        _mm_storeu_ps(im + k, v.im);
    }
}

struct FourV {
    Vc y0, y1, y2, y3;
};

inline FourV Dft4V(Vc a, Vc b, Vc c, Vc d)
{
    const Vc apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    return {apc + bpd,
            {_mm_add_ps(amc.re, bmd.im), _mm_sub_ps(amc.im, bmd.re)},
            apc - bpd,
            {_mm_sub_ps(amc.re, bmd.im), _mm_add_ps(amc.im, bmd.re)}};
}

template <bool OutPacked>
void Radix4PassLastV(const float* xr, const float* xi, float* yr, float* yi, std::size_t s)
{
    for (std::size_t q = 0; q < s; q += 4) {
        const FourV f = Dft4V(LoadV<false>(xr, xi, q), LoadV<false>(xr, xi, q + s), LoadV<false>(xr, xi, q + 2 * s),
                              LoadV<false>(xr, xi, q + 3 * s));
        StoreV<OutPacked>(yr, yi, q, f.y0);
        StoreV<OutPacked>(yr, yi, q + s, f.y1);
        StoreV<OutPacked>(yr, yi, q + 2 * s, f.y2);
        StoreV<OutPacked>(yr, yi, q + 3 * s, f.y3);
    }
}

template <bool OutPacked>
void Radix8PassLastV(const float* xr, const float* xi, float* yr, float* yi, std::size_t s)
{
    const __m128 r = _mm_set1_ps(0.70710678118654752f);
    for (std::size_t q = 0; q < s; q += 4) {
        const FourV e = Dft4V(LoadV<false>(xr, xi, q), LoadV<false>(xr, xi, q + 2 * s),
                              LoadV<false>(xr, xi, q + 4 * s), LoadV<false>(xr, xi, q + 6 * s));
        const FourV o = Dft4V(LoadV<false>(xr, xi, q + s), LoadV<false>(xr, xi, q + 3 * s),
                              LoadV<false>(xr, xi, q + 5 * s), LoadV<false>(xr, xi, q + 7 * s));
        const Vc t1 = {_mm_mul_ps(r, _mm_add_ps(o.y1.re, o.y1.im)), _mm_mul_ps(r, _mm_sub_ps(o.y1.im, o.y1.re))};
        const Vc t2 = {o.y2.im, _mm_sub_ps(_mm_setzero_ps(), o.y2.re)};
        const Vc t3 = {_mm_mul_ps(r, _mm_sub_ps(o.y3.im, o.y3.re)),
                       _mm_sub_ps(_mm_setzero_ps(), _mm_mul_ps(r, _mm_add_ps(o.y3.re, o.y3.im)))};
        StoreV<OutPacked>(yr, yi, q, e.y0 + o.y0);
        StoreV<OutPacked>(yr, yi, q + s, e.y1 + t1);
        StoreV<OutPacked>(yr, yi, q + 2 * s, e.y2 + t2);
        StoreV<OutPacked>(yr, yi, q + 3 * s, e.y3 + t3);
        StoreV<OutPacked>(yr, yi, q + 4 * s, e.y0 - o.y0);
        StoreV<OutPacked>(yr, yi, q + 5 * s, e.y1 - t1);
        StoreV<OutPacked>(yr, yi, q + 6 * s, e.y2 - t2);
        StoreV<OutPacked>(yr, yi, q + 7 * s, e.y3 - t3);
    }
}

template <std::size_t S>
void Radix4PassMiddleV(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, std::size_t stride,
                       const float* tw)
{
    const std::size_t s = S != 0 ? S : stride;
    const std::size_t quarter = len / 4;
    const std::size_t dist = quarter * s;
    for (std::size_t p = 0; p < quarter; ++p) {
        const __m128 w1r = _mm_set1_ps(tw[p]), w1i = _mm_set1_ps(tw[quarter + p]);
        const __m128 w2r = _mm_set1_ps(tw[2 * quarter + p]), w2i = _mm_set1_ps(tw[3 * quarter + p]);
        const __m128 w3r = _mm_set1_ps(tw[4 * quarter + p]), w3i = _mm_set1_ps(tw[5 * quarter + p]);
        const float* ar = xr + p * s;
        const float* ai = xi + p * s;
        float* br = yr + 4 * p * s;
        float* bi = yi + 4 * p * s;
        for (std::size_t q = 0; q < s; q += 4) {
            const FourV f = Dft4V(LoadV<false>(ar, ai, q), LoadV<false>(ar, ai, q + dist),
                                  LoadV<false>(ar, ai, q + 2 * dist), LoadV<false>(ar, ai, q + 3 * dist));
            StoreV<false>(br, bi, q, f.y0);
            StoreV<false>(br, bi, q + s, MulV(f.y1, w1r, w1i));
            StoreV<false>(br, bi, q + 2 * s, MulV(f.y2, w2r, w2i));
            StoreV<false>(br, bi, q + 3 * s, MulV(f.y3, w3r, w3i));
        }
    }
}

// First pass: four butterflies at once, their outputs transposed so that the
// four values of one butterfly land next to each other.
template <bool InPacked>
void Radix4PassFirstV(const float* xr, const float* xi, float* yr, float* yi, std::size_t len, const float* tw)
{
    const std::size_t quarter = len / 4;
    for (std::size_t p = 0; p < quarter; p += 4) {
        const FourV f = Dft4V(LoadV<InPacked>(xr, xi, p), LoadV<InPacked>(xr, xi, p + quarter),
                              LoadV<InPacked>(xr, xi, p + 2 * quarter), LoadV<InPacked>(xr, xi, p + 3 * quarter));
        Vc y0 = f.y0;
        Vc y1 = MulV(f.y1, _mm_loadu_ps(tw + p), _mm_loadu_ps(tw + quarter + p));
        Vc y2 = MulV(f.y2, _mm_loadu_ps(tw + 2 * quarter + p), _mm_loadu_ps(tw + 3 * quarter + p));
        Vc y3 = MulV(f.y3, _mm_loadu_ps(tw + 4 * quarter + p), _mm_loadu_ps(tw + 5 * quarter + p));
        _MM_TRANSPOSE4_PS(y0.re, y1.re, y2.re, y3.re);
        _MM_TRANSPOSE4_PS(y0.im, y1.im, y2.im, y3.im);
        float* r = yr + 4 * p;
        float* i = yi + 4 * p;
        _mm_storeu_ps(r, y0.re);
        _mm_storeu_ps(r + 4, y1.re);
        _mm_storeu_ps(r + 8, y2.re);
        _mm_storeu_ps(r + 12, y3.re);
        _mm_storeu_ps(i, y0.im);
        _mm_storeu_ps(i + 4, y1.im);
        _mm_storeu_ps(i + 8, y2.im);
        _mm_storeu_ps(i + 12, y3.im);
    }
}

// ComplexFft in the SSE2 form (M >= 16).
const float* ComplexFftV(const FftTables& tables, const float* packedIn, const float* inR, const float* inI,
                         float* packedOut)
{
    const std::size_t m = tables.half;
    const float* tw = tables.stageTwiddles;
    const float* curR = packedIn != nullptr ? packedIn : inR;
    const float* curI = packedIn != nullptr ? packedIn : inI;
    std::size_t s = 1;
    for (std::size_t len = m; len > 1;) {
        const std::size_t next = len <= 8 ? 1 : len / 4;
        const bool last = next == 1;
        float* dst = curR == tables.bufferA ? tables.bufferB : tables.bufferA;
        float* dstR = dst;
        float* dstI = dst + m;
        const bool outPacked = last && packedOut != nullptr;
        if (outPacked) {
            dstR = packedOut;
            dstI = packedOut;
        }
        if (s == 1) {
            if (packedIn != nullptr) {
                Radix4PassFirstV<true>(curR, curI, dstR, dstI, len, tw);
            } else {
                Radix4PassFirstV<false>(curR, curI, dstR, dstI, len, tw);
            }
        } else if (len == 4) {
            if (outPacked) {
                Radix4PassLastV<true>(curR, curI, dstR, dstI, s);
            } else {
                Radix4PassLastV<false>(curR, curI, dstR, dstI, s);
            }
        } else if (len == 8) {
            if (outPacked) {
                Radix8PassLastV<true>(curR, curI, dstR, dstI, s);
            } else {
                Radix8PassLastV<false>(curR, curI, dstR, dstI, s);
            }
        } else {
            switch (s) {
            case 4: Radix4PassMiddleV<4>(curR, curI, dstR, dstI, len, s, tw); break;
            case 16: Radix4PassMiddleV<16>(curR, curI, dstR, dstI, len, s, tw); break;
            case 64: Radix4PassMiddleV<64>(curR, curI, dstR, dstI, len, s, tw); break;
            case 256: Radix4PassMiddleV<256>(curR, curI, dstR, dstI, len, s, tw); break;
            default: Radix4PassMiddleV<0>(curR, curI, dstR, dstI, len, s, tw); break;
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

// RecombinePairs, four bin pairs at a time; the rest as before.
void RecombinePairsV(std::size_t half, const float* zr, const float* zi, const float* zrHi, const float* ziHi,
                     const float* cosT, const float* sinT, float* lo, float* hi)
{
    const __m128 halfV = _mm_set1_ps(0.5f);
    std::size_t k = 1;
    for (; k + 4 <= half / 2; k += 4) {
        const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k) - 3;
        const __m128 ar = _mm_loadu_ps(zr + k), ai = _mm_loadu_ps(zi + k);
        const __m128 br = Reverse(_mm_loadu_ps(zrHi + back)), bi = Reverse(_mm_loadu_ps(ziHi + back));
        const __m128 er = _mm_add_ps(ar, br), ei = _mm_sub_ps(ai, bi);
        const __m128 fr = _mm_add_ps(ai, bi), fi = _mm_sub_ps(br, ar);
        const __m128 c = _mm_loadu_ps(cosT + k), sn = _mm_loadu_ps(sinT + k);
        const __m128 tr = _mm_add_ps(_mm_mul_ps(c, fr), _mm_mul_ps(sn, fi));
        const __m128 ti = _mm_sub_ps(_mm_mul_ps(c, fi), _mm_mul_ps(sn, fr));
        const __m128 lr = _mm_mul_ps(halfV, _mm_add_ps(er, tr)), li = _mm_mul_ps(halfV, _mm_add_ps(ei, ti));
        _mm_storeu_ps(lo + 2 * k, _mm_unpacklo_ps(lr, li));
        _mm_storeu_ps(lo + 2 * k + 4, _mm_unpackhi_ps(lr, li));
        const __m128 hr = Reverse(_mm_mul_ps(halfV, _mm_sub_ps(er, tr)));
        const __m128 hiIm = Reverse(_mm_mul_ps(halfV, _mm_sub_ps(ti, ei)));
        _mm_storeu_ps(hi + 2 * back, _mm_unpacklo_ps(hr, hiIm));
        _mm_storeu_ps(hi + 2 * back + 4, _mm_unpackhi_ps(hr, hiIm));
    }
    RecombinePairs(k, half, zr, zi, zrHi, ziHi, cosT, sinT, lo, hi);
}

// SplitPairs, four bin pairs at a time; the rest as before.
// Values k..k+3 of a packed spectrum, split.
inline Vc LoadBins(const float* x, std::size_t k)
{
    const __m128 a0 = _mm_loadu_ps(x + 2 * k), a1 = _mm_loadu_ps(x + 2 * k + 4);
    return {_mm_shuffle_ps(a0, a1, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(a0, a1, _MM_SHUFFLE(3, 1, 3, 1))};
}

// Bins -k-3..-k of a packed spectrum (`x` pointing at bin -k-3), split and
// taken in the order -k, -k-1, -k-2, -k-3.
inline Vc LoadBinsBackwards(const float* x)
{
    const __m128 b0 = _mm_loadu_ps(x), b1 = _mm_loadu_ps(x + 4);
    return {_mm_shuffle_ps(b1, b0, _MM_SHUFFLE(0, 2, 0, 2)), _mm_shuffle_ps(b1, b0, _MM_SHUFFLE(1, 3, 1, 3))};
}

inline Vc Product(Vc a, Vc f)
{
    return {_mm_sub_ps(_mm_mul_ps(a.re, f.re), _mm_mul_ps(a.im, f.im)),
            _mm_add_ps(_mm_mul_ps(a.re, f.im), _mm_mul_ps(a.im, f.re))};
}

void SplitPairsV(std::size_t half, const float* x, const float* xHi, const float* cosT, const float* sinT, float h,
                 float sign, float* re, float* im, float* reHi, float* imHi, const float* f)
{
    const __m128 hV = _mm_set1_ps(h), signV = _mm_set1_ps(sign);
    const float* fHi = f != nullptr ? f + 2 * half : nullptr;
    std::size_t k = 1;
    for (; k + 4 <= half / 2; k += 4) {
        const std::ptrdiff_t back = -static_cast<std::ptrdiff_t>(k) - 3;
        Vc a = LoadBins(x, k);
        Vc b = LoadBinsBackwards(xHi + 2 * back);
        if (f != nullptr) {
            a = Product(a, LoadBins(f, k));
            b = Product(b, LoadBinsBackwards(fHi + 2 * back));
        }
        const __m128 ar = a.re, ai = _mm_mul_ps(signV, a.im);
        const __m128 br = b.re, bi = _mm_mul_ps(signV, b.im);
        const __m128 sr = _mm_add_ps(ar, br), si = _mm_sub_ps(ai, bi);
        const __m128 dr = _mm_sub_ps(ar, br), di = _mm_add_ps(ai, bi);
        const __m128 c = _mm_loadu_ps(cosT + k), sn = _mm_loadu_ps(sinT + k);
        const __m128 u = _mm_add_ps(_mm_mul_ps(c, di), _mm_mul_ps(sn, dr));
        const __m128 v = _mm_sub_ps(_mm_mul_ps(c, dr), _mm_mul_ps(sn, di));
        _mm_storeu_ps(im + k, _mm_mul_ps(hV, _mm_sub_ps(sr, u)));
        _mm_storeu_ps(re + k, _mm_mul_ps(hV, _mm_add_ps(si, v)));
        _mm_storeu_ps(imHi + back, Reverse(_mm_mul_ps(hV, _mm_add_ps(sr, u))));
        _mm_storeu_ps(reHi + back, Reverse(_mm_mul_ps(hV, _mm_sub_ps(v, si))));
    }
    SplitPairs(k, half, x, xHi, cosT, sinT, h, sign, re, im, reHi, imHi, f);
}

#endif  // DSP_HAVE_SSE2

// Whether the processor and the system support AVX: the instructions, and the
// system saving the wide registers (OSXSAVE, and XCR0 with SSE and AVX state).
bool ProcessorHasAvx()
{
#if DSP_HAVE_AVX_FORM
#if defined(_MSC_VER)
    int regs[4];
    __cpuid(regs, 1);
    const unsigned ecx = static_cast<unsigned>(regs[2]);
#else
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
#endif
    if ((ecx & (1u << 27)) == 0 || (ecx & (1u << 28)) == 0) {
        return false;
    }
#if defined(_MSC_VER)
    const unsigned long long xcr0 = _xgetbv(0);
#else
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    const unsigned long long xcr0 = (static_cast<unsigned long long>(hi) << 32) | lo;
#endif
    return (xcr0 & 6) == 6;
#else
    return false;
#endif
}

using dsp::detail::FftForm;

FftForm BestForm()
{
    static const FftForm best = ProcessorHasAvx() ? FftForm::Avx : DSP_HAVE_SSE2 ? FftForm::Sse2 : FftForm::Plain;
    return best;
}

// The form transforms take (where the order has it).
std::atomic<int> g_form{static_cast<int>(BestForm())};

FftForm FormFor(const FftTables& tables)
{
    const auto form = static_cast<FftForm>(g_form.load(std::memory_order_relaxed));
    if (form == FftForm::Avx && tables.half >= 64) {
        return FftForm::Avx;
    }
    if (form != FftForm::Plain && tables.half >= 16) {
        return FftForm::Sse2;
    }
    return FftForm::Plain;
}

// The complex FFT in the given form.
const float* ComplexFftIn(FftForm form, const FftTables& tables, const float* packedIn, const float* inR,
                          const float* inI, float* packedOut, bool zeroTail = false)
{
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        const dsp::detail::FftWork work = {tables.half, tables.stageTwiddles, tables.bufferA, tables.bufferB};
        return dsp::detail::ComplexFftAvx(work, packedIn, inR, inI, packedOut, zeroTail);
    }
#endif
    (void)zeroTail;
#if DSP_HAVE_SSE2
    if (form != FftForm::Plain) {
        return ComplexFftV(tables, packedIn, inR, inI, packedOut);
    }
#endif
    (void)form;
    return ComplexFft(tables, packedIn, inR, inI, packedOut);
}

// Real to CCS for order >= 2: `out` gets bins 0..M.
void RealForward(const FftTables& tables, const float* in, ComplexF* out, bool zeroTail)
{
    const std::size_t m = tables.half;
    const FftForm form = FormFor(tables);
    const bool simd = form != FftForm::Plain;
    const float* zr = ComplexFftIn(form, tables, in, nullptr, nullptr, nullptr, zeroTail);
    const float* zi = zr + m;
    float* o = &out[0].re;

    o[0] = zr[0] + zi[0];
    o[1] = 0.0f;
    o[2 * m] = zr[0] - zi[0];
    o[2 * m + 1] = 0.0f;
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        const std::size_t from = dsp::detail::RecombinePairsAvx(m, zr, zi, zr + m, zi + m, tables.recombCos,
                                                                tables.recombSin, o, o + 2 * m);
        RecombinePairs(from, m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
    } else
#endif
#if DSP_HAVE_SSE2
    if (simd) {
        RecombinePairsV(m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
    } else {
        RecombinePairs(1, m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
    }
#else
    (void)simd;
    RecombinePairs(1, m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
#endif
    // Bin M/2 is the conjugate of its own packed value.
    o[m] = zr[m / 2];
    o[m + 1] = -zi[m / 2];
}

// CCS to real for order >= 2. `conjugate` reads the spectrum conjugated (the
// negative-exponent variant); `factor` is the overall scale (1/M for a scaled
// inverse, 2 without scaling). With `product` the spectrum is first multiplied
// bin by bin by that one.
void RealInverse(const FftTables& tables, const ComplexF* in, const ComplexF* product, float* out, bool conjugate,
                 float factor)
{
    const std::size_t m = tables.half;
    const float* x = &in[0].re;
    const float* f = product != nullptr ? &product[0].re : nullptr;
    // The spectrum of the packed signal goes into work buffer A with real and
    // imaginary parts swapped, so that the forward complex FFT computes the
    // inverse one (the last pass swaps them back into the packed output).
    float* aRe = tables.bufferA;       // imaginary parts
    float* aIm = tables.bufferA + m;   // real parts
    const float h = 0.5f * factor;
    const float sign = conjugate ? -1.0f : 1.0f;

    // Bins 0, M/2 and M (of the product).
    auto bin = [&](std::size_t k, float& re, float& im) {
        re = x[2 * k];
        im = x[2 * k + 1];
        if (f != nullptr) {
            const float pr = re * f[2 * k] - im * f[2 * k + 1], pi = re * f[2 * k + 1] + im * f[2 * k];
            re = pr;
            im = pi;
        }
    };
    float x0, unused, xm, mr, mi;
    bin(0, x0, unused);
    bin(m, xm, unused);
    bin(m / 2, mr, mi);
    aIm[0] = h * (x0 + xm);
    aRe[0] = h * (x0 - xm);
    aIm[m / 2] = 2.0f * h * mr;
    aRe[m / 2] = -2.0f * h * sign * mi;
    const FftForm form = FormFor(tables);
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        const std::size_t from = dsp::detail::SplitPairsAvx(m, x, x + 2 * m, tables.recombCos, tables.recombSin, h,
                                                             sign, aRe, aIm, aRe + m, aIm + m, f);
        SplitPairs(from, m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m, aIm + m,
                   f);
    } else
#endif
#if DSP_HAVE_SSE2
    if (form != FftForm::Plain) {
        SplitPairsV(m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m, aIm + m, f);
    } else {
        SplitPairs(1, m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m, aIm + m, f);
    }
#else
    SplitPairs(1, m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m, aIm + m, f);
#endif
    ComplexFftIn(form, tables, nullptr, tables.bufferA, tables.bufferA + m, out);
}

// A failed check: status, condition text and line, reported after the lock is released.
struct Outcome {
    int status = NSP_STS_OK;
    const char* context = nullptr;
    int line = 0;
};

}  // namespace

namespace dsp::detail {

namespace {

// The checks shared by both transforms, in the order they are reported, then
// `run` with the tables of the order (null for orders 0 and 1).
template <class Run>
int Transform(const void* in, const void* out, int order, int flags, const char* funcName, Run run)
{
    Outcome outcome;
    FftContext& ctx = Context();
    {
        std::lock_guard<std::mutex> guard(ctx.lock);
        if ((flags & NSP_FREE_TABLES) != 0) {
            if (order >= 0 && order <= kMaxOrder) {
                ctx.tables[order].reset();
            }
            return NSP_STS_OK;
        }
        if (order < 0) {
            outcome = {NSP_STS_BAD_ARGUMENT, "order<0", __LINE__};
        } else if (order > kMaxOrder) {
            outcome = {NSP_STS_BAD_ARGUMENT, "order>31", __LINE__};
        } else {
            const FftTables* tables = nullptr;
            if (order >= 2) {
                tables = ctx.Get(order);
            }
            if (order >= 2 && tables == nullptr) {
                outcome = {NSP_STS_NO_MEMORY, "No working Twd memory", __LINE__};
            } else if ((flags & NSP_BUILD_TABLES) != 0) {
                return NSP_STS_OK;
            } else if (in == nullptr) {
                outcome = {NSP_STS_BAD_ARGUMENT, "inSamps==0", __LINE__};
            } else if (out == nullptr) {
                outcome = {NSP_STS_BAD_ARGUMENT, "outSamps==0", __LINE__};
            } else if ((flags & NSP_FORWARD) != 0 && (flags & NSP_INVERSE) != 0) {
                outcome = {NSP_STS_BAD_ARGUMENT, "(flags & 1) && (flags & 2)", __LINE__};
            } else if ((flags & NSP_FORWARD) == 0 && (flags & NSP_INVERSE) == 0) {
                outcome = {NSP_STS_BAD_ARGUMENT, "(flags & 1)==0 && (flags & 2)==0", __LINE__};
            } else {
                run(tables);
                return NSP_STS_OK;
            }
        }
    }
    // Reported outside the lock: the handler may call the routines again.
    return nspError(outcome.status, funcName, outcome.context, kFile, outcome.line);
}

}  // namespace

int RealFft(const float* in, ComplexF* out, int order, int flags, const char* funcName, bool zeroTail)
{
    return Transform(in, out, order, flags, funcName, [&](const FftTables* tables) {
        const bool inverse = (flags & NSP_INVERSE) != 0;
        const std::size_t n = std::size_t(1) << order;
        if (order == 0) {
            out[0] = {in[0], 0.0f};
        } else if (order == 1) {
            out[0] = {in[0] + in[1], 0.0f};
            out[1] = {in[0] - in[1], 0.0f};
        } else {
            RealForward(*tables, in, out, zeroTail);
        }
        if (inverse) {
            // Positive exponent: the conjugate spectrum, scaled unless told not to.
            const float scale = (flags & NSP_NO_SCALE) != 0 ? 1.0f : 1.0f / static_cast<float>(n);
            for (std::size_t k = 0; k <= n / 2; ++k) {
                out[k].re *= scale;
                out[k].im *= -scale;
            }
        }
    });
}

bool SetFftForm(FftForm form)
{
    if (static_cast<int>(form) > static_cast<int>(BestForm())) {
        return false;
    }
    g_form.store(static_cast<int>(form));
    return true;
}

FftForm BestFftForm()
{
    return BestForm();
}

int CcsFft(const ComplexF* in, float* out, int order, int flags, const char* funcName, const ComplexF* product)
{
    return Transform(in, out, order, flags, funcName, [&](const FftTables* tables) {
        const bool forward = (flags & NSP_FORWARD) != 0;
        const bool scaled = !forward && (flags & NSP_NO_SCALE) == 0;
        const std::size_t n = std::size_t(1) << order;
        // Real part of bin k (of the product).
        auto re = [&](int k) {
            return product != nullptr ? in[k].re * product[k].re - in[k].im * product[k].im : in[k].re;
        };
        if (order == 0) {
            out[0] = re(0);
        } else if (order == 1) {
            const float scale = scaled ? 0.5f : 1.0f;
            const float x0 = re(0);
            const float x1 = re(1);
            out[0] = scale * (x0 + x1);
            out[1] = scale * (x0 - x1);
        } else {
            const float factor = scaled ? 2.0f / static_cast<float>(n) : 2.0f;
            RealInverse(*tables, in, product, out, forward, factor);
        }
    });
}

}  // namespace dsp::detail

void nspsRealFftlNip(const float* inSamps, ComplexF* outSamps, int order, int flags)
{
    dsp::detail::RealFft(inSamps, outSamps, order, flags, "nspsRealFftlNip");
}

void nspsCcsFftlNip(const ComplexF* inSamps, float* outSamps, int order, int flags)
{
    dsp::detail::CcsFft(inSamps, outSamps, order, flags, "nspsCcsFftlNip");
}
