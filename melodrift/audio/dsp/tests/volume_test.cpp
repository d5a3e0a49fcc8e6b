// Volume and balance factors per channel, their clamping, and the start values
// taken from the system volume.
#include "dsp/volume.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(DspVolume, BalanceSplitsTheVolume)
{
    VolumeBalanceGains g = ComputeVolumeBalanceGains(100, 0);
    EXPECT_EQ(g.left, 1.0f);
    EXPECT_EQ(g.right, 0.0f);
    g = ComputeVolumeBalanceGains(100, 100);
    EXPECT_EQ(g.left, 0.0f);
    EXPECT_EQ(g.right, 1.0f);
    g = ComputeVolumeBalanceGains(100, 50);
    EXPECT_EQ(g.left, 1.0f);
    EXPECT_EQ(g.right, 1.0f);
    g = ComputeVolumeBalanceGains(60, 75);
    EXPECT_FLOAT_EQ(g.left, 0.3f);
    EXPECT_FLOAT_EQ(g.right, 0.6f);
    EXPECT_FLOAT_EQ(g.plain, 0.6f);
}

TEST(DspVolume, OutOfRangeSettingsAreClampedAndNeverInvert)
{
    EXPECT_EQ(ClampPercent(-1), 0);
    EXPECT_EQ(ClampPercent(101), 100);
    EXPECT_EQ(ClampPercent(37), 37);
    const std::int32_t values[] = {-2147483647 - 1, -100, -1, 0, 1, 49, 50, 51, 99, 100, 101, 250, 2147483647};
    for (std::int32_t v : values) {
        for (std::int32_t b : values) {
            const VolumeBalanceGains g = ComputeVolumeBalanceGains(v, b);
            const VolumeBalanceGains c = ComputeVolumeBalanceGains(ClampPercent(v), ClampPercent(b));
            EXPECT_EQ(g.left, c.left) << v << " " << b;
            EXPECT_EQ(g.right, c.right) << v << " " << b;
            EXPECT_EQ(g.plain, c.plain) << v << " " << b;
            EXPECT_TRUE(g.left >= 0.0f && g.left <= 1.0f);
            EXPECT_TRUE(g.right >= 0.0f && g.right <= 1.0f);
            EXPECT_TRUE(g.plain >= 0.0f && g.plain <= 1.0f);
        }
    }
    // A negative volume silences a block instead of turning it upside down.
    std::vector<float> left(8, 0.5f), right(8, -0.5f);
    float* channels[2] = {left.data(), right.data()};
    SampleBlock block = {0, channels, 8, 8};
    ApplyVolumeBalance(block, 2, 3, ComputeVolumeBalanceGains(-40, 50));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(left[i], 0.0f);
        EXPECT_EQ(right[i], 0.0f);
    }
}

TEST(DspVolume, FactorsFollowTheSpeakerLayout)
{
    const VolumeBalanceGains g = {0.25f, 0.75f, 0.5f};
    const float l = g.left, r = g.right, v = g.plain;
    struct Case {
        std::int32_t channels;
        std::uint32_t mask;
        std::vector<float> factors;
    };
    const Case cases[] = {
        {1, 0x4, {v}},
        {2, 0x3, {l, r}},
        {2, 0x0, {l, r}},
        {3, 0x0B, {l, r, v}},
        {4, 0x33, {l, r, l, r}},
        {5, 0x3B, {l, r, v, v, v}},
        {6, 0x3F, {l, r, v, v, l, r}},
        {7, 0x63B, {l, r, v, v, l, r, v}},
        {8, 0x63F, {l, r, v, v, l, r, l, r}},
        {8, 0xFF, {l, r, v, v, l, r, (3 * l + r) / 4, (3 * r + l) / 4}},
    };
    for (const Case& c : cases) {
        float factors[8] = {-9, -9, -9, -9, -9, -9, -9, -9};
        ASSERT_TRUE(ChannelGainFactors(g, c.channels, c.mask, factors)) << c.mask;
        for (std::size_t i = 0; i < c.factors.size(); ++i) {
            EXPECT_FLOAT_EQ(factors[i], c.factors[i]) << "mask " << c.mask << " channel " << i;
        }
    }
    float factors[8] = {};
    EXPECT_FALSE(ChannelGainFactors(g, 3, 0x7, factors));
    EXPECT_FALSE(ChannelGainFactors(g, 6, 0x60F, factors));
    EXPECT_FALSE(ChannelGainFactors(g, 0, 0x3, factors));
}

TEST(DspVolume, ApplyScalesEachChannelOverItsCapacity)
{
    std::vector<std::vector<float>> data(6, std::vector<float>(5, 1.0f));
    float* channels[6];
    for (int i = 0; i < 6; ++i) {
        channels[i] = data[i].data();
    }
    SampleBlock block = {0, channels, 5, 2};   // the whole capacity, not just the filled part
    ApplyVolumeBalance(block, 6, 0x3F, ComputeVolumeBalanceGains(80, 25));
    const float expected[6] = {0.8f, 0.4f, 0.8f, 0.8f, 0.8f, 0.4f};
    for (int ch = 0; ch < 6; ++ch) {
        for (float s : data[ch]) {
            EXPECT_FLOAT_EQ(s, expected[ch]) << ch;
        }
    }
    // No gain for an unknown layout; nothing for a block without arrays.
    ApplyVolumeBalance(block, 6, 0x123, ComputeVolumeBalanceGains(0, 50));
    EXPECT_FLOAT_EQ(data[0][0], 0.8f);
    SampleBlock empty = {0, nullptr, 0, 0};
    ApplyVolumeBalance(empty, 2, 3, ComputeVolumeBalanceGains(0, 50));
}

TEST(DspVolume, StartValuesFromTheSystemVolume)
{
    std::int32_t volume = -1, balance = -1;
    VolumeBalanceFromSystemVolume(0x7FFFFFFF, volume, balance);   // left 0xFFFF, right 0x7FFF
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(balance, 25);
    VolumeBalanceFromSystemVolume(0xFFFF7FFF, volume, balance);   // left 0x7FFF, right 0xFFFF
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(balance, 75);
    VolumeBalanceFromSystemVolume(0xFFFFFFFF, volume, balance);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(balance, 50);
    VolumeBalanceFromSystemVolume(0, volume, balance);   // (0 + 1) x 5000 >> 16 = 0 on both sides
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(balance, 50);
    VolumeBalanceFromSystemVolume(0x00008000, volume, balance);   // left half, right silent
    EXPECT_EQ(volume, 50);
    EXPECT_EQ(balance, 0);
}

}  // namespace
