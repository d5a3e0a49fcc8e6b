// SD2MME: the format decides whether and how frames are converted.
#include "utilon/utilon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

WAVEFORMATEXTENSIBLE Format(WORD tag, WORD channels, WORD bits) {
    WAVEFORMATEXTENSIBLE f = {};
    f.Format.wFormatTag = tag;
    f.Format.nChannels = channels;
    f.Format.nSamplesPerSec = 44100;
    f.Format.wBitsPerSample = bits;
    f.Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.Format.nAvgBytesPerSec = 44100u * f.Format.nBlockAlign;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        f.Format.cbSize = 22;
        f.Samples.wValidBitsPerSample = bits;
        f.dwChannelMask = 3;
        f.SubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    }
    return f;
}

TEST(MdUtilonSD2MME, ConvertsInterleavedFramesOfThePcmFormats) {
    std::vector<float> left = {1.0f, -1.0f, 0.5f, 2.0f}, right = {0.0f, 0.25f, -2.0f, -0.5f};
    float* channels[] = {left.data(), right.data()};
    SampleBlock block = {0, channels, 4, 4};
    for (WORD tag : {static_cast<WORD>(WAVE_FORMAT_PCM), static_cast<WORD>(WAVE_FORMAT_EXTENSIBLE)}) {
        WAVEFORMATEXTENSIBLE f = Format(tag, 2, 16);
        std::int16_t out[8] = {};
        ASSERT_EQ(SD2MME(&block, 1, 3, out, &f.Format), 3) << tag;
        EXPECT_EQ(out[0], -32767);
        EXPECT_EQ(out[1], 8192);
        EXPECT_EQ(out[2], 16384);
        EXPECT_EQ(out[3], -32768);
        EXPECT_EQ(out[4], 32767);
        EXPECT_EQ(out[5], -16384);
        EXPECT_EQ(out[6], 0);  // untouched beyond the frames written
    }
    // The range is cut at the block's capacity.
    WAVEFORMATEXTENSIBLE f = Format(WAVE_FORMAT_PCM, 2, 16);
    std::int16_t out[16] = {};
    EXPECT_EQ(SD2MME(&block, 2, 10, out, &f.Format), 2);
}

TEST(MdUtilonSD2MME, RefusesWhatIsNotSixteenBitPcm) {
    std::vector<float> mono = {0.5f, 0.5f};
    float* channels[] = {mono.data()};
    SampleBlock block = {0, channels, 2, 2};
    std::int16_t out[4] = {};
    WAVEFORMATEXTENSIBLE eight = Format(WAVE_FORMAT_PCM, 1, 8);
    EXPECT_EQ(SD2MME(&block, 0, 2, out, &eight.Format), 0);
    WAVEFORMATEXTENSIBLE floats = Format(WAVE_FORMAT_EXTENSIBLE, 1, 16);
    floats.SubFormat.Data1 = 3;  // IEEE float
    EXPECT_EQ(SD2MME(&block, 0, 2, out, &floats.Format), 0);
    WAVEFORMATEXTENSIBLE oddAlign = Format(WAVE_FORMAT_PCM, 1, 16);
    oddAlign.Format.nBlockAlign = 4;
    EXPECT_EQ(SD2MME(&block, 0, 2, out, &oddAlign.Format), 0);
    WAVEFORMATEXTENSIBLE good = Format(WAVE_FORMAT_PCM, 1, 16);
    EXPECT_EQ(SD2MME(nullptr, 0, 2, out, &good.Format), 0);
    EXPECT_EQ(SD2MME(&block, 0, 2, nullptr, &good.Format), 0);
    EXPECT_EQ(SD2MME(&block, 0, 2, out, nullptr), 0);
    EXPECT_EQ(SD2MME(&block, 5, 2, out, &good.Format), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(SD2MME(&block, 0, 2, out, &good.Format), 2);
    EXPECT_EQ(out[0], 16384);
}

}  // namespace
