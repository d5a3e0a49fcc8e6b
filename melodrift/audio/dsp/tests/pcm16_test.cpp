// Float blocks to interleaved 16-bit PCM: scale, rounding, clipping, layout.
#include "dsp/pcm16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::int16_t SampleAt(const unsigned char* bytes, std::size_t index)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8)));
}

TEST(DspPcm16, ScaleRoundingAndClipping)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in;
        std::int16_t out;
    } cases[] = {
        {0.0f, 0},           {-0.0f, 0},          {1.0f, 32767},         {-1.0f, -32767},
        {0.5f, 16384},       {-0.5f, -16384},     // 16383.5 rounds away from zero
        {1.0f / 32767, 1},   {-1.0f / 32767, -1}, {0.49f / 32767, 0},    {0.51f / 32767, 1},
        {-0.51f / 32767, -1}, {1.5f, 32767},      {-1.5f, -32768},       {-1.00003f, -32768},
        {inf, 32767},        {-inf, -32768},      {std::numeric_limits<float>::quiet_NaN(), 0},
        {1e-30f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToPcm16(c.in), c.out) << c.in;
    }
}

TEST(DspPcm16, InterleavesChannelsFromTheFirstFrameLittleEndian)
{
    std::vector<float> left = {0.0f, 0.25f, -0.25f, 1.0f, -1.0f};
    std::vector<float> right = {0.1f, -0.1f, 0.5f, 2.0f, -2.0f};
    float* channels[2] = {left.data(), right.data()};
    const SampleBlock block = {0, channels, 5, 5};

    // An odd destination address: no alignment is needed.
    std::vector<unsigned char> buffer(1 + 4 * 3 + 4, 0xAB);
    unsigned char* dest = buffer.data() + 1;
    EXPECT_EQ(ConvertBlockToPcm16(&block, 1, 3, 2, dest), 3);
    const std::int16_t expected[] = {8192, -3277, -8192, 16384, 32767, 32767};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(SampleAt(dest, i), expected[i]) << i;
    }
    EXPECT_EQ(dest[0], 0x00);   // 8192 = 0x2000, low byte first
    EXPECT_EQ(dest[1], 0x20);
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[13], 0xAB);
}

TEST(DspPcm16, RangeIsCutAtTheCapacityAndMissingArraysAreSilent)
{
    std::vector<float> a = {0.5f, 0.5f, 0.5f, 0.5f};
    float* channels[3] = {a.data(), nullptr, a.data()};
    const SampleBlock block = {0, channels, 4, 4};
    std::vector<unsigned char> out(2 * 3 * 10, 0xEE);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 2, 10, 3, out.data()), 2);
    for (std::size_t f = 0; f < 2; ++f) {
        EXPECT_EQ(SampleAt(out.data(), 3 * f), 16384);
        EXPECT_EQ(SampleAt(out.data(), 3 * f + 1), 0);
        EXPECT_EQ(SampleAt(out.data(), 3 * f + 2), 16384);
    }
    EXPECT_EQ(out[12], 0xEE);   // nothing written past two frames

    // A block without an array table gives silence.
    const SampleBlock empty = {0, nullptr, 3, 0};
    EXPECT_EQ(ConvertBlockToPcm16(&empty, 0, 3, 2, out.data()), 3);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(SampleAt(out.data(), i), 0);
    }
}

TEST(DspPcm16, BadArgumentsWriteNothing)
{
    std::vector<float> a = {0.5f, 0.5f};
    float* channels[1] = {a.data()};
    const SampleBlock block = {0, channels, 2, 2};
    unsigned char out[8];
    std::memset(out, 0x55, sizeof(out));
    EXPECT_EQ(ConvertBlockToPcm16(nullptr, 0, 1, 1, out), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 0, 0, 1, out), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 0, -1, 1, out), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 0, 1, 0, out), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, -1, 1, 1, out), 0);
    EXPECT_EQ(ConvertBlockToPcm16(&block, 2, 1, 1, out), 0);
    const SampleBlock none = {0, nullptr, 0, 0};
    EXPECT_EQ(ConvertBlockToPcm16(&none, 0, 1, 2, out), 0);
    for (unsigned char b : out) {
        EXPECT_EQ(b, 0x55);
    }
}

}  // namespace
