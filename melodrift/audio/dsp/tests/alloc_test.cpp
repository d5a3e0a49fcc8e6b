// The transforms and the equalizer allocate nothing after the first call of an
// order: every allocation of this executable goes through the counting
// operator new below.
#include "dsp/equalizer.h"
#include "dsp/signal.h"

#include "dsp_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    g_allocations.fetch_add(1);
    return std::malloc(size == 0 ? 1 : size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return operator new(size, std::nothrow);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

long Allocations()
{
    return g_allocations.load();
}

TEST(DspAlloc, TransformsAllocateOnlyOnTheFirstCallOfAnOrder)
{
    for (int order = 0; order <= 14; ++order) {
        const std::size_t n = std::size_t(1) << order;
        const std::vector<float> x = dsptest::Noise(n, order);
        std::vector<ComplexF> spectrum(n / 2 + 1);
        std::vector<float> back(n);

        nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);  // may build tables
        const long before = Allocations();
        for (int round = 0; round < 3; ++round) {
            nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_FORWARD);
            nspsCcsFftlNip(spectrum.data(), back.data(), order, NSP_INVERSE);
            nspsCcsFftlNip(spectrum.data(), back.data(), order, NSP_INVERSE | NSP_NO_SCALE);
            nspsRealFftlNip(x.data(), spectrum.data(), order, NSP_INVERSE);
        }
        EXPECT_EQ(Allocations(), before) << "order " << order;
    }
}

TEST(DspAlloc, TablesAreBuiltOnceAndRebuiltAfterRelease)
{
    const std::vector<float> x = dsptest::Noise(1024, 3);
    std::vector<ComplexF> spectrum(513);
    nspsRealFftlNip(nullptr, nullptr, 10, NSP_FREE_TABLES);

    long before = Allocations();
    nspsRealFftlNip(nullptr, nullptr, 10, NSP_BUILD_TABLES);
    EXPECT_GT(Allocations(), before);

    // Built already: neither building again nor transforming allocates.
    before = Allocations();
    nspsRealFftlNip(nullptr, nullptr, 10, NSP_BUILD_TABLES);
    nspsRealFftlNip(x.data(), spectrum.data(), 10, NSP_FORWARD);
    EXPECT_EQ(Allocations(), before);

    nspsRealFftlNip(nullptr, nullptr, 10, NSP_FREE_TABLES);
    before = Allocations();
    nspsRealFftlNip(x.data(), spectrum.data(), 10, NSP_FORWARD);
    EXPECT_GT(Allocations(), before);
}

TEST(DspAlloc, AFailedBuildReleasesTheTablesOfEveryOrder)
{
    const std::vector<float> x = dsptest::Noise(4096, 4);
    std::vector<ComplexF> spectrum(2049);
    nspsRealFftlNip(x.data(), spectrum.data(), 12, NSP_FORWARD);

    const NspErrorHandler previous = nspRedirectError(nullptr);
    nspsRealFftlNip(x.data(), spectrum.data(), 31, NSP_FORWARD);
    EXPECT_EQ(nspGetErrStatus(), NSP_STS_NO_MEMORY);
    nspSetErrStatus(NSP_STS_OK);
    nspRedirectError(previous);

    // Order 12 was released to make room, so its next call builds again.
    const long before = Allocations();
    nspsRealFftlNip(x.data(), spectrum.data(), 12, NSP_FORWARD);
    EXPECT_GT(Allocations(), before);
}

TEST(DspAlloc, EqualizerAllocatesNothingOnceDesigned)
{
    auto eq = std::make_unique<CEqualizer>();
    eq->SetSampleRate(44100);
    const float gains[10] = {1.5f, 0.5f, 1, 1, 2, 0, 1, 1, 1.2f, 0.7f};
    eq->SetGains(gains);
    std::vector<float> block = dsptest::Noise(11025, 9);

    const long before = Allocations();
    for (int round = 0; round < 4; ++round) {
        eq->Process(static_cast<std::int32_t>(block.size()), block.data(), block.data());
        eq->SetGains(gains);
        eq->SetSampleRate(48000);
        eq->Reset();
    }
    EXPECT_EQ(Allocations(), before);
}

}  // namespace
