// FFT and vector routines: results against reference transforms in double
// precision, the flags, and the statuses and texts they report.
#include "dsp/signal.h"

#include "dsp_test_support.h"
#include "fft_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

using dsptest::Noise;

struct Report {
    int status;
    std::string func;
    std::string context;
    std::string file;
    int line;
};

std::vector<Report> g_reports;

int RecordingHandler(int status, const char* func, const char* context, const char* file, int line)
{
    g_reports.push_back({status, func ? func : "", context ? context : "", file ? file : "", line});
    return 0;
}

// Records every reported error while it lives; the status starts at 0.
class ErrorRecorder {
public:
    ErrorRecorder()
    {
        g_reports.clear();
        m_previous = nspRedirectError(&RecordingHandler);
        nspSetErrStatus(NSP_STS_OK);
    }
    ~ErrorRecorder()
    {
        nspRedirectError(m_previous);
        nspSetErrStatus(NSP_STS_OK);
    }
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

private:
    NspErrorHandler m_previous;
};

double Norm(const std::vector<float>& x)
{
    double sum = 0.0;
    for (float v : x) {
        sum += static_cast<double>(v) * v;
    }
    return std::sqrt(sum);
}

using dsp::detail::FftForm;

// Every transform test runs on every form of the transforms this build and this
// processor have: the plain one and, where present, the SSE2 and the AVX ones.
// A form that is not there is not made a test at all.
std::vector<FftForm> AvailableFftForms()
{
    std::vector<FftForm> forms;
    for (FftForm form : {FftForm::Plain, FftForm::Sse2, FftForm::Avx}) {
        if (dsp::detail::SetFftForm(form)) {
            forms.push_back(form);
        }
    }
    dsp::detail::SetFftForm(dsp::detail::BestFftForm());
    return forms;
}

class DspFft : public ::testing::TestWithParam<FftForm> {
protected:
    void SetUp() override { ASSERT_TRUE(dsp::detail::SetFftForm(GetParam())); }
    void TearDown() override { dsp::detail::SetFftForm(dsp::detail::BestFftForm()); }
};

INSTANTIATE_TEST_SUITE_P(Forms, DspFft, ::testing::ValuesIn(AvailableFftForms()),
                         [](const ::testing::TestParamInfo<FftForm>& info) {
                             return info.param == FftForm::Plain ? "Plain" : info.param == FftForm::Sse2 ? "Sse2" : "Avx";
                         });

TEST_P(DspFft, ForwardThenInverseReturnsTheInputAtOrders0To14)
{
    ErrorRecorder recorder;
    for (int order = 0; order <= 14; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = Noise(n, 100 + order);
        std::vector<ComplexF> spectrum(n / 2 + 1, ComplexF{7.0f, 7.0f});
        std::vector<float> back(n, 99.0f);
        nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);
        nspsCcsFftlNip(spectrum.data(), back.data(), order, NSP_INVERSE);
        double worst = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            worst = std::max(worst, std::fabs(static_cast<double>(back[i]) - x[i]));
        }
        EXPECT_LT(worst, 1e-6 * (order + 1)) << "order " << order;
    }
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_OK);
}

TEST_P(DspFft, ForwardMatchesTheReferenceDft)
{
    for (int order = 0; order <= 12; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = Noise(n, 7 * order + 3);
        std::vector<ComplexF> spectrum(n / 2 + 1, ComplexF{7.0f, 7.0f});
        nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);
        const auto reference = dsptest::ReferenceRealDft(x);
        double worst = 0.0;
        for (std::size_t k = 0; k <= n / 2; ++k) {
            worst = std::max(worst, std::fabs(spectrum[k].re - reference[k][0]));
            worst = std::max(worst, std::fabs(spectrum[k].im - reference[k][1]));
        }
        EXPECT_LT(worst, 1e-6 * (order + 1) * Norm(x)) << "order " << order;
        // The bins at 0 and N/2 are real.
        EXPECT_EQ(spectrum[0].im, 0.0f);
        EXPECT_EQ(spectrum[n / 2].im, 0.0f) << "order " << order;
    }
}

TEST_P(DspFft, LargeOrdersMatchTheDftAtSampleBinsAndRoundTrip)
{
    // Orders whose passes have strides beyond the specialised ones.
    for (int order : {17, 19}) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = Noise(n, 4000 + order);
        std::vector<ComplexF> spectrum(n / 2 + 1);
        std::vector<float> back(n);
        nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);
        for (std::size_t k : {std::size_t(0), std::size_t(1), std::size_t(777), n / 4 + 3, n / 2 - 1, n / 2}) {
            double re = 0.0;
            double im = 0.0;
            for (std::size_t j = 0; j < n; ++j) {
                const double angle = -2.0 * dsptest::kPi * static_cast<double>((j * k) % n) / static_cast<double>(n);
                re += x[j] * std::cos(angle);
                im += x[j] * std::sin(angle);
            }
            EXPECT_NEAR(spectrum[k].re, re, 2e-5 * (order + 1) * Norm(x)) << "order " << order << " bin " << k;
            EXPECT_NEAR(spectrum[k].im, im, 2e-5 * (order + 1) * Norm(x)) << "order " << order << " bin " << k;
        }
        nspsCcsFftlNip(spectrum.data(), back.data(), order, NSP_INVERSE);
        double worst = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            worst = std::max(worst, std::fabs(static_cast<double>(back[i]) - x[i]));
        }
        EXPECT_LT(worst, 2e-6 * (order + 1)) << "order " << order;
        nspsRealFftlNip(nullptr, nullptr, order, NSP_FREE_TABLES);
    }
}

TEST_P(DspFft, InverseMatchesTheReferenceAndIgnoresImaginaryPartsAtTheEnds)
{
    for (int order = 0; order <= 12; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> values = Noise(2 * (n / 2 + 1), 31 * order + 5);
        std::vector<ComplexF> spectrum(n / 2 + 1);
        for (std::size_t k = 0; k < spectrum.size(); ++k) {
            spectrum[k] = {values[2 * k], values[2 * k + 1]};  // bins 0 and N/2 not real on purpose
        }
        std::vector<float> out(n, 99.0f);
        nspsCcsFftlNip(spectrum.data(), out.data(), order, NSP_INVERSE);
        const std::vector<double> reference = dsptest::ReferenceInverse(spectrum, n);
        double worst = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            worst = std::max(worst, std::fabs(out[j] - reference[j]));
        }
        EXPECT_LT(worst, 2e-7 * (order + 1)) << "order " << order;
    }
}

TEST_P(DspFft, KnownSpectraAndScaling)
{
    for (int order : {0, 1, 2, 3, 5, 11, 12}) {
        const std::size_t n = std::size_t(1) << order;
        // 1 in bin 0: 1/N in every sample, or 1 without scaling.
        std::vector<ComplexF> dc(n / 2 + 1, ComplexF{0.0f, 0.0f});
        dc[0].re = 1.0f;
        std::vector<float> out(n);
        nspsCcsFftlNip(dc.data(), out.data(), order, NSP_INVERSE);
        for (float v : out) {
            ASSERT_FLOAT_EQ(v, 1.0f / static_cast<float>(n)) << "order " << order;
        }
        nspsCcsFftlNip(dc.data(), out.data(), order, NSP_INVERSE | NSP_NO_SCALE);
        for (float v : out) {
            ASSERT_FLOAT_EQ(v, 1.0f) << "order " << order;
        }
        // A unit impulse has a flat spectrum; a constant has only bin 0.
        std::vector<float> impulse(n, 0.0f);
        impulse[0] = 1.0f;
        std::vector<ComplexF> spectrum(n / 2 + 1);
        nspsRealFftlNip(impulse.data(), spectrum.data(), order, NSP_FORWARD);
        for (const ComplexF& c : spectrum) {
            ASSERT_NEAR(c.re, 1.0f, 1e-6f);
            ASSERT_NEAR(c.im, 0.0f, 1e-6f);
        }
        std::vector<float> constant(n, 0.5f);
        nspsRealFftlNip(constant.data(), spectrum.data(), order, NSP_FORWARD);
        EXPECT_NEAR(spectrum[0].re, 0.5 * static_cast<double>(n), 1e-4 * static_cast<double>(n));
        for (std::size_t k = 1; k <= n / 2; ++k) {
            ASSERT_NEAR(std::hypot(spectrum[k].re, spectrum[k].im), 0.0, 1e-4) << "bin " << k;
        }
    }
}

TEST_P(DspFft, OppositeDirectionFlagsGiveTheConjugateTransforms)
{
    for (int order : {0, 1, 2, 4, 9}) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = Noise(n, 900 + order);
        std::vector<ComplexF> forward(n / 2 + 1), positive(n / 2 + 1), unscaled(n / 2 + 1);
        nspsRealFftlNip(x.data(), forward.data(), order, NSP_FORWARD);
        nspsRealFftlNip(x.data(), positive.data(), order, NSP_INVERSE);
        nspsRealFftlNip(x.data(), unscaled.data(), order, NSP_INVERSE | NSP_NO_SCALE);
        for (std::size_t k = 0; k <= n / 2; ++k) {
            EXPECT_NEAR(positive[k].re, forward[k].re / n, 1e-6);
            EXPECT_NEAR(positive[k].im, -forward[k].im / n, 1e-6);
            EXPECT_NEAR(unscaled[k].re, forward[k].re, 1e-5);
            EXPECT_NEAR(unscaled[k].im, -forward[k].im, 1e-5);
        }
        // The CCS routine in the forward direction: N times the inverse of the
        // conjugate spectrum, which for the spectrum of x gives N x again.
        std::vector<float> back(n);
        std::vector<ComplexF> conjugate = forward;
        for (auto& c : conjugate) {
            c.im = -c.im;
        }
        nspsCcsFftlNip(conjugate.data(), back.data(), order, NSP_FORWARD);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(back[i], static_cast<double>(n) * x[i], 1e-4 * n) << "order " << order;
        }
    }
}

TEST_P(DspFft, BadArgumentsReportStatusAndConditionAndLeaveTheOutput)
{
    struct Case {
        const char* name;
        bool real;          // which routine
        bool nullIn;
        bool nullOut;
        int order;
        int flags;
        const char* context;
    };
    const Case cases[] = {
        {"negative order", true, false, false, -1, NSP_FORWARD, "order<0"},
        {"order 32", true, false, false, 32, NSP_FORWARD, "order>31"},
        {"null input", true, true, false, 4, NSP_FORWARD, "inSamps==0"},
        {"null output", true, false, true, 4, NSP_FORWARD, "outSamps==0"},
        {"both directions", true, false, false, 4, NSP_FORWARD | NSP_INVERSE, "(flags & 1) && (flags & 2)"},
        {"no direction", true, false, false, 4, NSP_NO_SCALE, "(flags & 1)==0 && (flags & 2)==0"},
        {"ccs negative order", false, false, false, -3, NSP_INVERSE, "order<0"},
        {"ccs null input", false, true, false, 0, NSP_INVERSE, "inSamps==0"},
        {"ccs null output", false, false, true, 1, NSP_INVERSE, "outSamps==0"},
        {"ccs both directions", false, false, false, 3, NSP_FORWARD | NSP_INVERSE, "(flags & 1) && (flags & 2)"},
        {"ccs no direction", false, false, false, 3, 0, "(flags & 1)==0 && (flags & 2)==0"},
        // The order is checked before the pointers.
        {"bad order and null pointers", false, true, true, 40, NSP_INVERSE, "order>31"},
    };
    for (const Case& c : cases) {
        ErrorRecorder recorder;
        std::vector<float> real(16, 3.0f);
        std::vector<ComplexF> ccs(9, ComplexF{3.0f, 3.0f});
        if (c.real) {
            nspsRealFftlNip(c.nullIn ? nullptr : real.data(), c.nullOut ? nullptr : ccs.data(), c.order, c.flags);
        } else {
            nspsCcsFftlNip(c.nullIn ? nullptr : ccs.data(), c.nullOut ? nullptr : real.data(), c.order, c.flags);
        }
        ASSERT_EQ(g_reports.size(), 1u) << c.name;
        EXPECT_EQ(g_reports[0].status, NSP_STS_BAD_ARGUMENT) << c.name;
        EXPECT_EQ(g_reports[0].context, c.context) << c.name;
        EXPECT_EQ(g_reports[0].func, c.real ? "nspsRealFftlNip" : "nspsCcsFftlNip") << c.name;
        EXPECT_FALSE(g_reports[0].file.empty());
        EXPECT_GT(g_reports[0].line, 0);
        EXPECT_EQ(nspGetErrStatus(), NSP_STS_BAD_ARGUMENT) << c.name;
        for (float v : real) {
            ASSERT_EQ(v, 3.0f) << c.name;
        }
        for (const ComplexF& v : ccs) {
            ASSERT_EQ(v.re, 3.0f) << c.name;
        }
    }
}

TEST_P(DspFft, TableFlagsNeedNoBuffers)
{
    ErrorRecorder recorder;
    // Building or releasing tables alone takes no data and reports nothing,
    // whatever the direction bits say.
    nspsRealFftlNip(nullptr, nullptr, 12, NSP_BUILD_TABLES);
    nspsCcsFftlNip(nullptr, nullptr, 11, NSP_BUILD_TABLES | NSP_FORWARD | NSP_INVERSE);
    nspsRealFftlNip(nullptr, nullptr, 12, NSP_FREE_TABLES);
    nspsRealFftlNip(nullptr, nullptr, 45, NSP_FREE_TABLES);
    nspsCcsFftlNip(nullptr, nullptr, -2, NSP_FREE_TABLES | NSP_BUILD_TABLES);
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_OK);
    // A freed order is rebuilt by the next transform and still correct.
    const std::vector<float> x = Noise(4096, 5);
    std::vector<ComplexF> spectrum(2049);
    std::vector<float> back(4096);
    nspsRealFftlNip(x.data(), spectrum.data(), 12, NSP_FORWARD);
    nspsCcsFftlNip(spectrum.data(), back.data(), 12, NSP_INVERSE);
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_NEAR(back[i], x[i], 1e-5);
    }
}

TEST_P(DspFft, AnOrderTooLargeForMemoryReportsNoWorkingTwiddleMemory)
{
    ErrorRecorder recorder;
    float in[2] = {1.0f, 2.0f};
    ComplexF out[2] = {{5.0f, 5.0f}, {5.0f, 5.0f}};
    nspsRealFftlNip(in, out, 31, NSP_FORWARD);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].status, NSP_STS_NO_MEMORY);
    EXPECT_EQ(g_reports[0].context, "No working Twd memory");
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_NO_MEMORY);
    EXPECT_EQ(out[0].re, 5.0f);
    // The failure leaves the routines usable.
    nspsRealFftlNip(in, out, 1, NSP_FORWARD);
    EXPECT_EQ(out[0].re, 3.0f);
    EXPECT_EQ(out[1].re, -1.0f);
}

// The forms compute the same sums in the same order: their results agree to
// the last bits (a compiler that fuses multiply and add in one of them may
// differ in rounding only).
TEST_P(DspFft, AgreesWithThePlainForm)
{
    for (int order = 2; order <= 15; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = Noise(n, 900 + order);
        std::vector<ComplexF> spectra[2];
        std::vector<float> back[2];
        for (int form = 0; form < 2; ++form) {
            dsp::detail::SetFftForm(form == 0 ? FftForm::Plain : GetParam());
            spectra[form].assign(n / 2 + 1, ComplexF{});
            back[form].assign(n, 0.0f);
            nspsRealFftlNip(x.data(), spectra[form].data(), order, NSP_FORWARD);
            nspsCcsFftlNip(spectra[0].data(), back[form].data(), order, NSP_INVERSE | NSP_NO_SCALE);
        }
        double worstSpectrum = 0.0, worstBack = 0.0;
        for (std::size_t k = 0; k <= n / 2; ++k) {
            worstSpectrum = std::max(worstSpectrum, std::fabs(static_cast<double>(spectra[0][k].re) - spectra[1][k].re));
            worstSpectrum = std::max(worstSpectrum, std::fabs(static_cast<double>(spectra[0][k].im) - spectra[1][k].im));
        }
        for (std::size_t i = 0; i < n; ++i) {
            worstBack = std::max(worstBack, std::fabs(static_cast<double>(back[0][i]) - back[1][i]));
        }
        EXPECT_LE(worstSpectrum, 1e-6 * Norm(x)) << "order " << order;
        EXPECT_LE(worstBack, 1e-6 * Norm(x) * static_cast<double>(n)) << "order " << order;

        // A signal whose upper half is zero, announced as such (the equalizer's
        // blocks): the same spectrum.
        std::vector<float> padded(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n / 2));
        padded.resize(n, 0.0f);
        dsp::detail::SetFftForm(FftForm::Plain);
        nspsRealFftlNip(padded.data(), spectra[0].data(), order, NSP_FORWARD);
        dsp::detail::SetFftForm(GetParam());
        ASSERT_EQ(dsp::detail::RealFft(padded.data(), spectra[1].data(), order, NSP_FORWARD, "test", true), 0);
        double worstPadded = 0.0;
        for (std::size_t k = 0; k <= n / 2; ++k) {
            worstPadded = std::max(worstPadded, std::fabs(static_cast<double>(spectra[0][k].re) - spectra[1][k].re));
            worstPadded = std::max(worstPadded, std::fabs(static_cast<double>(spectra[0][k].im) - spectra[1][k].im));
        }
        EXPECT_LE(worstPadded, 1e-6 * Norm(padded)) << "order " << order;
    }
}

// Three threads transforming at once, two in their thread's work memory, one
// in its own, while a fourth keeps releasing the tables of their order: each
// gets what the plain form gives alone.
TEST_P(DspFft, ThreadsTransformAtOnceWhileTheTablesAreReleased)
{
    constexpr int kOrder = 12;
    const std::size_t n = std::size_t(1) << kOrder;
    const std::vector<float> x[2] = {Noise(n, 41), Noise(n, 42)};
    std::vector<ComplexF> spectra[2];
    std::vector<float> backs[2];
    dsp::detail::SetFftForm(FftForm::Plain);
    for (int t = 0; t < 2; ++t) {
        spectra[t].resize(n / 2 + 1);
        backs[t].resize(n);
        nspsRealFftlNip(x[t].data(), spectra[t].data(), kOrder, NSP_FORWARD);
        nspsCcsFftlNip(spectra[t].data(), backs[t].data(), kOrder, NSP_INVERSE);
    }
    dsp::detail::SetFftForm(GetParam());
    double worst[3] = {0.0, 0.0, 0.0};
    auto transform = [&](int thread) {
        const int t = thread % 2;
        std::vector<float> work(thread == 2 ? dsp::detail::FftWorkFloats(kOrder) : 0);
        float* own = thread == 2 ? work.data() : nullptr;
        std::vector<ComplexF> spectrum(n / 2 + 1);
        std::vector<float> back(n);
        for (int round = 0; round < 100; ++round) {
            ASSERT_EQ(dsp::detail::RealFft(x[t].data(), spectrum.data(), kOrder, NSP_FORWARD, "test", false, own), 0);
            ASSERT_EQ(dsp::detail::CcsFft(spectra[t].data(), back.data(), kOrder, NSP_INVERSE, "test", nullptr, own),
                      0);
            for (std::size_t k = 0; k <= n / 2; ++k) {
                const ComplexF& expected = spectra[t][k];
                worst[thread] = std::max({worst[thread], std::fabs(static_cast<double>(spectrum[k].re) - expected.re),
                                          std::fabs(static_cast<double>(spectrum[k].im) - expected.im)});
            }
            for (std::size_t i = 0; i < n; ++i) {
                worst[thread] = std::max(worst[thread], std::fabs(static_cast<double>(back[i]) - backs[t][i]));
            }
        }
    };
    std::atomic<bool> done{false};
    std::thread releaser([&] {
        while (!done.load()) {
            nspsRealFftlNip(nullptr, nullptr, kOrder, NSP_FREE_TABLES);
            std::this_thread::yield();
        }
    });
    std::thread threads[3] = {std::thread(transform, 0), std::thread(transform, 1), std::thread(transform, 2)};
    for (std::thread& thread : threads) {
        thread.join();
    }
    done.store(true);
    releaser.join();
    for (int thread = 0; thread < 3; ++thread) {
        EXPECT_LE(worst[thread], 1e-6 * Norm(x[thread % 2])) << "thread " << thread;
    }
}

// The inverse that takes the product with a second spectrum as it reads
// (the equalizer's convolution) gives what the product and the inverse give.
TEST_P(DspFft, InverseOfAProductMatchesProductThenInverse)
{
    for (int order = 0; order <= 13; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> a = Noise(2 * (n / 2 + 1), 300 + order);
        const std::vector<float> b = Noise(2 * (n / 2 + 1), 700 + order);
        std::vector<ComplexF> x(n / 2 + 1), f(n / 2 + 1);
        for (std::size_t k = 0; k <= n / 2; ++k) {
            x[k] = {a[2 * k], a[2 * k + 1]};
            f[k] = {b[2 * k], b[2 * k + 1]};
        }
        for (int flags : {NSP_INVERSE, NSP_FORWARD}) {
            std::vector<float> fused(n, 99.0f), separate(n, 99.0f);
            ASSERT_EQ(dsp::detail::CcsFft(x.data(), fused.data(), order, flags, "test", f.data()), 0);
            std::vector<ComplexF> product = x;
            nspcbMpy2(f.data(), product.data(), static_cast<int>(product.size()));
            nspsCcsFftlNip(product.data(), separate.data(), order, flags);
            for (std::size_t i = 0; i < n; ++i) {
                ASSERT_NEAR(fused[i], separate[i], 1e-6 * static_cast<double>(n)) << "order " << order << " i " << i;
            }
        }
    }
}

TEST(DspStatus, TextOfEveryStatus)
{
    const std::pair<int, const char*> table[] = {
        {0, "No Error"},
        {-1, "Backtrace"},
        {-3, "Internal error (bad state)"},
        {-4, "Out of memory"},
        {-5, "Bad argument"},
        {-6, "Unsupported function"},
        {-7, "Iteration convergence failed"},
        {-8, "Autotrace call"},
        {-10, "Null pointer"},
        {-12, "Bad pointer"},
        {-13, "Bad data structure"},
        {-14, "Bad vector length"},
        {-2, "Unknown error or status code"},
        {-9, "Unknown error or status code"},
        {-11, "Unknown error or status code"},
        {-15, "Unknown error or status code"},
        {-1000, "Unknown error or status code"},
        {1, "Unknown error or status code"},
        {7, "Unknown error or status code"},
    };
    for (const auto& [status, text] : table) {
        EXPECT_STREQ(nspErrorStr(status), text) << status;
    }
}

TEST(DspStatus, ReporterStoresTheStatusAndCallsTheHandler)
{
    ErrorRecorder recorder;
    nspSetErrStatus(-7);
    // Trace statuses reach the handler without replacing the stored status.
    EXPECT_EQ(nspError(NSP_STS_BACKTRACE, "f", "c", "file.cpp", 10), NSP_STS_BACKTRACE);
    EXPECT_EQ(nspError(NSP_STS_AUTOTRACE, "f", "c", "file.cpp", 11), NSP_STS_AUTOTRACE);
    EXPECT_EQ(nspGetErrStatus(), -7);
    ASSERT_EQ(g_reports.size(), 2u);
    EXPECT_EQ(g_reports[0].status, NSP_STS_BACKTRACE);
    EXPECT_EQ(g_reports[1].line, 11);
    // Status 0 is stored and goes no further.
    EXPECT_EQ(nspError(NSP_STS_OK, "f", "c", "file.cpp", 12), 0);
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_OK);
    EXPECT_EQ(g_reports.size(), 2u);
    // Any other status is stored and handed on with every value.
    EXPECT_EQ(nspError(-9, "routine", "condition", "source.cpp", 13), -9);
    EXPECT_EQ(nspGetErrStatus(), -9);
    ASSERT_EQ(g_reports.size(), 3u);
    EXPECT_EQ(g_reports[2].status, -9);
    EXPECT_EQ(g_reports[2].func, "routine");
    EXPECT_EQ(g_reports[2].context, "condition");
    EXPECT_EQ(g_reports[2].file, "source.cpp");
    EXPECT_EQ(g_reports[2].line, 13);
    // Restoring the default handler: statuses are still stored, nothing recorded.
    NspErrorHandler mine = nspRedirectError(nullptr);
    EXPECT_EQ(mine, &RecordingHandler);
    nspError(NSP_STS_BAD_ARGUMENT, "f", "c", "file.cpp", 14);
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_BAD_ARGUMENT);
    EXPECT_EQ(g_reports.size(), 3u);
    nspRedirectError(&RecordingHandler);
}

TEST(DspVector, ElementWiseResults)
{
    const std::vector<float> a = Noise(38, 1);
    const std::vector<float> b = Noise(38, 2);

    std::vector<float> sum = b;
    nspsbAdd2(a.data(), sum.data(), 37);
    std::vector<float> scaled = b;
    nspsbMpy1(-2.5f, scaled.data(), 37);
    for (std::size_t i = 0; i < 37; ++i) {
        EXPECT_FLOAT_EQ(sum[i], b[i] + a[i]);
        EXPECT_FLOAT_EQ(scaled[i], -2.5f * b[i]);
    }

    std::vector<ComplexF> src(19), dst(19);
    for (std::size_t k = 0; k < 19; ++k) {
        src[k] = {a[2 * k], a[2 * k + 1]};
        dst[k] = {b[2 * k], b[2 * k + 1]};
    }
    std::vector<ComplexF> product = dst;
    nspcbMpy2(src.data(), product.data(), 19);
    for (std::size_t k = 0; k < 19; ++k) {
        EXPECT_FLOAT_EQ(product[k].re, dst[k].re * src[k].re - dst[k].im * src[k].im);
        EXPECT_FLOAT_EQ(product[k].im, dst[k].re * src[k].im + dst[k].im * src[k].re);
    }

    // Source and destination may be the same array.
    std::vector<ComplexF> square = src;
    nspcbMpy2(square.data(), square.data(), 19);
    std::vector<float> twice = a;
    nspsbAdd2(twice.data(), twice.data(), 37);
    for (std::size_t k = 0; k < 19; ++k) {
        EXPECT_FLOAT_EQ(square[k].re, src[k].re * src[k].re - src[k].im * src[k].im);
        EXPECT_FLOAT_EQ(square[k].im, 2.0f * src[k].re * src[k].im);
    }
    for (std::size_t i = 0; i < 37; ++i) {
        EXPECT_FLOAT_EQ(twice[i], 2.0f * a[i]);
    }
}

TEST(DspVector, BadArgumentsChangeNothingAndReportTheCondition)
{
    ErrorRecorder recorder;
    float data[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    ComplexF cdata[2] = {{1.0f, 2.0f}, {3.0f, 4.0f}};

    nspsbAdd2(data, data + 2, 0);
    nspsbAdd2(data, nullptr, 2);
    nspsbAdd2(nullptr, data, 2);
    nspsbAdd2(nullptr, nullptr, -1);  // the count is checked first
    nspsbMpy1(2.0f, data, -4);
    nspsbMpy1(2.0f, nullptr, 4);
    nspcbMpy2(cdata, cdata, 0);
    nspcbMpy2(cdata, nullptr, 2);
    nspcbMpy2(nullptr, cdata, 2);

    const char* expected[][2] = {
        {"nspsbAdd2", "n<=0"}, {"nspsbAdd2", "dst==0"}, {"nspsbAdd2", "src==0"},
        {"nspsbAdd2", "n<=0"}, {"nspsbMpy1", "n<=0"},   {"nspsbMpy1", "dst==0"},
        {"nspcbMpy2", "n<=0"}, {"nspcbMpy2", "dst==0"}, {"nspcbMpy2", "src==0"},
    };
    ASSERT_EQ(g_reports.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(g_reports[i].status, NSP_STS_BAD_ARGUMENT);
        EXPECT_EQ(g_reports[i].func, expected[i][0]) << i;
        EXPECT_EQ(g_reports[i].context, expected[i][1]) << i;
    }
    EXPECT_EQ(data[2], 3.0f);
    EXPECT_EQ(data[0], 1.0f);
    EXPECT_EQ(cdata[1].im, 4.0f);
}

}  // namespace
