// Real FFTs of order 0..31 and their cached tables.
//
// A real transform of N = 2^n points runs as a complex FFT of M = N/2 points on
// the samples taken in pairs (even sample as real part, odd as imaginary),
// followed by the split into the spectra of the even and the odd samples and
// their recombination; the inverse runs the same steps backwards, using the
// forward complex FFT on swapped real and imaginary parts.
//
// The complex FFT is a self-sorting (Stockham) radix-4 transform on separate
// real and imaginary arrays (fft_passes.h). It needs no bit reversal, and every
// pass runs over contiguous memory. The first pass reads the packed samples
// directly and the last pass of the inverse writes the packed output, so no
// extra copy passes are needed.
//
// The passes are written once over the width of a register and come in three
// forms: plain C++ (which the compiler vectorises as it can), SSE2 where the
// compiler targets it (every x86-64 build, and 32-bit builds with SSE2
// enabled; orders 5 and above) with four values per instruction, and in 64-bit
// builds AVX (signal_fft_avx.cpp; orders 7 and above) with eight, used where
// the processor has AVX. The best form there is runs unless another is asked
// for (SetFftForm); all compute the same sums in the same order and are tested
// alike.
#include "dsp/signal.h"
#include "fft_internal.h"
#include "fft_passes.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

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
    const float* stride4Twiddles = nullptr;  // see FftWork; null where not built
    const float* recombCos = nullptr;    // cos(2 pi k / N), k = 0..M/2
    const float* recombSin = nullptr;    // sin(2 pi k / N), k = 0..M/2
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

// The stride-4 pass's twiddles four times over (M >= 64: that pass has L = M/4
// >= 16 and L/4 columns of 24 values). Only up to M = 2^16, where they add at
// most 384 KB: larger orders broadcast as before, so that the orders whose
// tables fit the limit stay the same.
constexpr std::uint64_t kMaxSpreadHalf = std::uint64_t(1) << 16;

std::uint64_t Stride4TwiddleFloats(std::uint64_t m)
{
    return m >= 64 && m <= kMaxSpreadHalf ? 24 * (m / 16) : 0;
}

std::unique_ptr<FftTables> BuildTables(int order)
{
    const std::uint64_t m = std::uint64_t(1) << (order - 1);
    const std::uint64_t twiddleFloats = StageTwiddleFloats(m) + Stride4TwiddleFloats(m);
    const std::uint64_t recombFloats = 2 * (m / 2 + 1);
    const std::uint64_t total = twiddleFloats + recombFloats;
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
    if (Stride4TwiddleFloats(m) != 0) {
        // The second pass's runs (right after the first pass's), spread.
        const float* second = tables->stageTwiddles + 6 * (half / 4);
        const std::size_t quarter = half / 16;
        for (std::size_t j = 0; j < quarter; ++j) {
            for (std::size_t run = 0; run < 6; ++run) {
                for (std::size_t lane = 0; lane < 4; ++lane) {
                    p[24 * j + 4 * run + lane] = second[run * quarter + j];
                }
            }
        }
        tables->stride4Twiddles = p;
        p += 24 * quarter;
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
    return tables;
}

// The process-wide table cache. The tables never change once built, so
// transforms read them without a lock: a transform counts itself among the
// users of its order before it looks for the tables, and releasing an order
// (under the lock, which only building and releasing take) unpublishes its
// tables and waits for the users that may hold them to finish.
struct FftContext {
    std::mutex lock;
    std::atomic<FftTables*> tables[kMaxOrder + 1] = {};
    std::atomic<int> users[kMaxOrder + 1] = {};

    ~FftContext() { ReleaseAll(); }

    // With the lock held.
    void Release(int order)
    {
        std::unique_ptr<FftTables> old(tables[order].exchange(nullptr));
        if (old) {
            while (users[order].load() != 0) {
                std::this_thread::yield();
            }
        }
    }

    void ReleaseAll()
    {
        for (int order = 0; order <= kMaxOrder; ++order) {
            Release(order);
        }
    }

    // Tables of `order` (>= 2), built on first use; null when they cannot be
    // built. With the lock held.
    FftTables* Get(int order)
    {
        FftTables* t = tables[order].load();
        if (t == nullptr) {
            std::unique_ptr<FftTables> built = BuildTables(order);
            if (!built) {
                ReleaseAll();
                built = BuildTables(order);
            }
            t = built.release();
            tables[order].store(t);
        }
        return t;
    }
};

// Holds the tables of one order (>= 2; none for smaller ones) for one
// transform: null when they cannot be built. Takes the lock only where the
// order has no tables yet.
class TablesInUse {
public:
    TablesInUse(FftContext& ctx, int order) : m_ctx(ctx), m_order(order)
    {
        if (order < 2) {
            return;
        }
        m_ctx.users[order].fetch_add(1);
        m_tables = m_ctx.tables[order].load();
        if (m_tables != nullptr) {
            return;
        }
        // Not counted while waiting for the lock: whoever holds it may be
        // waiting for this order's users. Counted again before it is let go,
        // so that the tables cannot be released before this transform ends.
        m_ctx.users[order].fetch_sub(1);
        std::lock_guard<std::mutex> guard(m_ctx.lock);
        m_tables = m_ctx.Get(order);
        if (m_tables != nullptr) {
            m_ctx.users[order].fetch_add(1);
        }
    }
    ~TablesInUse()
    {
        if (m_tables != nullptr) {
            m_ctx.users[m_order].fetch_sub(1);
        }
    }
    TablesInUse(const TablesInUse&) = delete;
    TablesInUse& operator=(const TablesInUse&) = delete;

    const FftTables* Get() const { return m_tables; }

private:
    FftContext& m_ctx;
    int m_order;
    FftTables* m_tables = nullptr;
};

// The work memory of the transforms called without their own (the nsps
// routines): one per thread, as large as the largest order that thread has
// transformed, so that transforms on two threads share nothing they write.
struct ThreadWork {
    std::unique_ptr<float[]> data;
    std::size_t floats = 0;

    // At least `count` floats; null (and the old memory kept) when there is no room.
    float* Get(std::size_t count)
    {
        if (count > floats) {
            if (static_cast<std::uint64_t>(count) * sizeof(float) > kMaxTableBytes) {
                return nullptr;
            }
            std::unique_ptr<float[]> grown(new (std::nothrow) float[count]());
            if (!grown) {
                return nullptr;
            }
            data = std::move(grown);
            floats = count;
        }
        return data.get();
    }
};

thread_local ThreadWork t_work;

FftContext& Context()
{
    static FftContext context;
    return context;
}

// ---------------------------------------------------------------------------
// The forms of the passes (fft_passes.h): plain scalar code, and SSE2 where the
// compiler targets it, four values of one array per register. The SSE2 form
// runs for M >= 16, where every pass after the first has a stride that is a
// multiple of 4 and the first pass has M/4 >= 4 butterflies.

struct ScalarOps {
    using V = float;
    static constexpr std::size_t kWidth = 1;
    static V Load(const float* p) { return *p; }
    static void Store(float* p, V v) { *p = v; }
    static V Broadcast(float v) { return v; }
    static V Zero() { return 0.0f; }
    static V Add(V a, V b) { return a + b; }
    static V Sub(V a, V b) { return a - b; }
    static V Mul(V a, V b) { return a * b; }
    static V Reverse(V v) { return v; }
    static void LoadPacked(const float* p, V& re, V& im)
    {
        re = p[0];
        im = p[1];
    }
    static void LoadPackedReversed(const float* p, V& re, V& im) { LoadPacked(p, re, im); }
    static void StorePacked(float* p, V a, V b)
    {
        p[0] = a;
        p[1] = b;
    }
    static void StoreTransposed4(float* p, V y0, V y1, V y2, V y3)
    {
        p[0] = y0;
        p[1] = y1;
        p[2] = y2;
        p[3] = y3;
    }
};

using Plain = dsp::detail::FftPasses<ScalarOps>;

#if DSP_HAVE_SSE2

struct Sse2Ops {
    using V = __m128;
    static constexpr std::size_t kWidth = 4;
    static V Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
    static V Broadcast(float v) { return _mm_set1_ps(v); }
    static V Zero() { return _mm_setzero_ps(); }
    static V Add(V a, V b) { return _mm_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm_mul_ps(a, b); }
    static V Reverse(V v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    static void LoadPacked(const float* p, V& re, V& im)
    {
        const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
        re = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static void LoadPackedReversed(const float* p, V& re, V& im)
    {
        const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
        re = _mm_shuffle_ps(b, a, _MM_SHUFFLE(0, 2, 0, 2));
        im = _mm_shuffle_ps(b, a, _MM_SHUFFLE(1, 3, 1, 3));
    }
    static void StorePacked(float* p, V a, V b)
    {
        _mm_storeu_ps(p, _mm_unpacklo_ps(a, b));
        _mm_storeu_ps(p + 4, _mm_unpackhi_ps(a, b));
    }
    static void StoreTransposed4(float* p, V y0, V y1, V y2, V y3)
    {
        _MM_TRANSPOSE4_PS(y0, y1, y2, y3);
        _mm_storeu_ps(p, y0);
        _mm_storeu_ps(p + 4, y1);
        _mm_storeu_ps(p + 8, y2);
        _mm_storeu_ps(p + 12, y3);
    }
};

using Sse2 = dsp::detail::FftPasses<Sse2Ops>;

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

// The complex FFT in the given form, in the work memory `buffers` (4M floats).
const float* ComplexFftIn(FftForm form, const FftTables& tables, float* buffers, const float* packedIn,
                          const float* inR, const float* inI, float* packedOut, bool zeroTail = false)
{
    const dsp::detail::FftWork work = {tables.half, tables.stageTwiddles, tables.stride4Twiddles, buffers,
                                       buffers + 2 * tables.half};
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        return dsp::detail::ComplexFftAvx(work, packedIn, inR, inI, packedOut, zeroTail);
    }
#endif
#if DSP_HAVE_SSE2
    if (form != FftForm::Plain) {
        return Sse2::ComplexFft(work, packedIn, inR, inI, packedOut, zeroTail);
    }
#endif
    (void)form;
    return Plain::ComplexFft(work, packedIn, inR, inI, packedOut, zeroTail);
}

// Real to CCS for order >= 2: `out` gets bins 0..M.
void RealForward(const FftTables& tables, float* buffers, const float* in, ComplexF* out, bool zeroTail)
{
    const std::size_t m = tables.half;
    const FftForm form = FormFor(tables);
    const float* zr = ComplexFftIn(form, tables, buffers, in, nullptr, nullptr, nullptr, zeroTail);
    const float* zi = zr + m;
    float* o = &out[0].re;

    o[0] = zr[0] + zi[0];
    o[1] = 0.0f;
    o[2 * m] = zr[0] - zi[0];
    o[2 * m + 1] = 0.0f;
    // The widest form's pairs, then the rest in narrower ones.
    std::size_t from = 1;
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        from = dsp::detail::RecombinePairsAvx(m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o,
                                              o + 2 * m);
    }
#endif
#if DSP_HAVE_SSE2
    if (form != FftForm::Plain) {
        from = Sse2::Recombine(from, m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
    }
#endif
    Plain::Recombine(from, m, zr, zi, zr + m, zi + m, tables.recombCos, tables.recombSin, o, o + 2 * m);
    // Bin M/2 is the conjugate of its own packed value.
    o[m] = zr[m / 2];
    o[m + 1] = -zi[m / 2];
}

// CCS to real for order >= 2. `conjugate` reads the spectrum conjugated (the
// negative-exponent variant); `factor` is the overall scale (1/M for a scaled
// inverse, 2 without scaling). With `product` the spectrum is first multiplied
// bin by bin by that one.
void RealInverse(const FftTables& tables, float* buffers, const ComplexF* in, const ComplexF* product, float* out,
                 bool conjugate, float factor)
{
    const std::size_t m = tables.half;
    const float* x = &in[0].re;
    const float* f = product != nullptr ? &product[0].re : nullptr;
    // The spectrum of the packed signal goes into work buffer A with real and
    // imaginary parts swapped, so that the forward complex FFT computes the
    // inverse one (the last pass swaps them back into the packed output).
    float* aRe = buffers;       // imaginary parts
    float* aIm = buffers + m;   // real parts
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
    std::size_t from = 1;
#if DSP_HAVE_AVX_FORM
    if (form == FftForm::Avx) {
        from = dsp::detail::SplitPairsAvx(m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm,
                                          aRe + m, aIm + m, f);
    }
#endif
#if DSP_HAVE_SSE2
    if (form != FftForm::Plain) {
        from = Sse2::SplitPairs(from, m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m,
                                aIm + m, f);
    }
#endif
    Plain::SplitPairs(from, m, x, x + 2 * m, tables.recombCos, tables.recombSin, h, sign, aRe, aIm, aRe + m, aIm + m,
                      f);
    ComplexFftIn(form, tables, buffers, nullptr, buffers, buffers + m, out);
}

}  // namespace

namespace dsp::detail {

std::size_t FftWorkFloats(int order)
{
    return order >= 2 && order <= kMaxOrder ? std::size_t(2) << order : 0;
}

namespace {

// The checks shared by both transforms, in the order they are reported, then
// `run` with the tables of the order (null for orders 0 and 1) and the work
// memory: `work` where the caller has its own, else the calling thread's.
template <class Run>
int Transform(const void* in, const void* out, int order, int flags, const char* funcName, float* work, Run run)
{
    FftContext& ctx = Context();
    if ((flags & NSP_FREE_TABLES) != 0) {
        if (order >= 0 && order <= kMaxOrder) {
            std::lock_guard<std::mutex> guard(ctx.lock);
            ctx.Release(order);
        }
        return NSP_STS_OK;
    }
    int status = NSP_STS_BAD_ARGUMENT;
    const char* context = nullptr;
    int line = 0;
    if (order < 0) {
        context = "order<0", line = __LINE__;
    } else if (order > kMaxOrder) {
        context = "order>31", line = __LINE__;
    } else {
        const TablesInUse tables(ctx, order);
        float* buffers = work;
        if (order >= 2 && tables.Get() != nullptr && buffers == nullptr) {
            buffers = t_work.Get(FftWorkFloats(order));
        }
        if (order >= 2 && (tables.Get() == nullptr || buffers == nullptr)) {
            status = NSP_STS_NO_MEMORY, context = "No working Twd memory", line = __LINE__;
        } else if ((flags & NSP_BUILD_TABLES) != 0) {
            return NSP_STS_OK;
        } else if (in == nullptr) {
            context = "inSamps==0", line = __LINE__;
        } else if (out == nullptr) {
            context = "outSamps==0", line = __LINE__;
        } else if ((flags & NSP_FORWARD) != 0 && (flags & NSP_INVERSE) != 0) {
            context = "(flags & 1) && (flags & 2)", line = __LINE__;
        } else if ((flags & NSP_FORWARD) == 0 && (flags & NSP_INVERSE) == 0) {
            context = "(flags & 1)==0 && (flags & 2)==0", line = __LINE__;
        } else {
            run(order >= 2 ? tables.Get() : nullptr, buffers);
            return NSP_STS_OK;
        }
    }
    // Reported with no tables held: the handler may call the routines again.
    return nspError(status, funcName, context, kFile, line);
}

}  // namespace

int RealFft(const float* in, ComplexF* out, int order, int flags, const char* funcName, bool zeroTail, float* work)
{
    return Transform(in, out, order, flags, funcName, work, [&](const FftTables* tables, float* buffers) {
        const bool inverse = (flags & NSP_INVERSE) != 0;
        const std::size_t n = std::size_t(1) << order;
        if (order == 0) {
            out[0] = {in[0], 0.0f};
        } else if (order == 1) {
            out[0] = {in[0] + in[1], 0.0f};
            out[1] = {in[0] - in[1], 0.0f};
        } else {
            RealForward(*tables, buffers, in, out, zeroTail);
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

int CcsFft(const ComplexF* in, float* out, int order, int flags, const char* funcName, const ComplexF* product,
           float* work)
{
    return Transform(in, out, order, flags, funcName, work, [&](const FftTables* tables, float* buffers) {
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
            RealInverse(*tables, buffers, in, product, out, forward, factor);
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
