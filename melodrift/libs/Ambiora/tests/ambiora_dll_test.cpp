// Ambiora.dll through its C boundary and through CSurroundEffect.
#include "ambiora/ambiora.h"
#include "ambiora/surround_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

WAVEFORMATEXTENSIBLE Extensible(WORD channels, DWORD mask, DWORD rate = 44100)
{
    WAVEFORMATEXTENSIBLE f = {};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = channels;
    f.Format.nSamplesPerSec = rate;
    f.Format.wBitsPerSample = 16;
    f.Format.nBlockAlign = static_cast<WORD>(2 * channels);
    f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
    f.Format.cbSize = 22;
    f.dwChannelMask = mask;
    return f;
}

// A block of eight arrays, as the player holds it.
struct Block {
    explicit Block(int capacity) : arrays(8, std::vector<float>(capacity, 0.0f))
    {
        for (int c = 0; c < 8; ++c) table[c] = arrays[c].data();
        block.reserved = 0;
        block.channels = table;
        block.capacity = capacity;
        block.filled = capacity;
    }
    std::vector<std::vector<float>> arrays;
    float* table[8];
    SampleBlock block;
};

}  // namespace

TEST(AmbioraDll, NullHandlesAndBadBlocksAreRefusedQuietly)
{
    EXPECT_EQ(AmbioraSetInputFormat(nullptr, 2, 44100, 3), 0);
    EXPECT_EQ(AmbioraSetSpeakers(nullptr, 0x3F, 1), 0);
    EXPECT_EQ(AmbioraSetValue(nullptr, AMBIORA_WET, 1.0f, 1), 0);
    EXPECT_EQ(AmbioraGetOutputChannels(nullptr), 0);
    EXPECT_EQ(AmbioraProcess(nullptr, nullptr, 8), 0);
    AmbioraSetSoundPos(nullptr, 1, 1, 1);
    AmbioraReset(nullptr);
    AmbioraDestroy(nullptr);

    AmbioraEffect* e = AmbioraCreate();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(AmbioraGetOutputChannels(e), 6);
    EXPECT_EQ(AmbioraGetOutputMask(e), 0x3Fu);
    EXPECT_EQ(AmbioraSetValue(e, 99, 1.0f, 1), 0);
    EXPECT_EQ(AmbioraSetInputFormat(e, 0, 44100, 0), 0);
    EXPECT_EQ(AmbioraSetSpeakers(e, 0x8, 1), 0);
    EXPECT_EQ(AmbioraProcess(e, nullptr, 8), 0);

    Block b(128);
    b.block.filled = 0;
    EXPECT_EQ(AmbioraProcess(e, &b.block, 8), 0);
    b.block.filled = 128;
    EXPECT_EQ(AmbioraProcess(e, &b.block, 2), 0);   // no room for six channels
    SampleBlock empty = {0, nullptr, 1, 0};
    EXPECT_EQ(AmbioraProcess(e, &empty, 8), 0);
    AmbioraDestroy(e);
}

TEST(AmbioraDll, ProcessesOnlyTheFilledFrames)
{
    AmbioraEffect* e = AmbioraCreate();
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(AmbioraSetInputFormat(e, 2, 48000, 3), 1);
    ASSERT_EQ(AmbioraSetSpeakers(e, 0x33, 1), 1);
    ASSERT_EQ(AmbioraSetValue(e, AMBIORA_REVERB, 0.0f, 1), 1);
    ASSERT_EQ(AmbioraSetValue(e, AMBIORA_VOLUME, 0.0f, 1), 1);
    ASSERT_EQ(AmbioraSetValue(e, AMBIORA_DRY, 1.0f, 1), 1);

    Block b(1000);
    for (int i = 0; i < 1000; ++i) {
        b.arrays[0][i] = 0.5f;
        b.arrays[1][i] = -0.25f;
        b.arrays[2][i] = 7.0f;   // beyond the input: replaced by the output
    }
    b.block.filled = 600;
    ASSERT_EQ(AmbioraProcess(e, &b.block, 8), 1);
    EXPECT_EQ(AmbioraGetOutputChannels(e), 4);
    EXPECT_FLOAT_EQ(b.arrays[0][599], 0.5f);
    EXPECT_FLOAT_EQ(b.arrays[1][599], -0.25f);
    EXPECT_FLOAT_EQ(b.arrays[2][599], 0.0f);
    // Frames beyond "filled" are not touched.
    EXPECT_FLOAT_EQ(b.arrays[2][600], 7.0f);
    AmbioraDestroy(e);
}

TEST(AmbioraDll, SurroundEffectTakesTheWaveFormatAndLayout)
{
    CSurroundEffect effect;
    ASSERT_TRUE(effect.IsValid());
    // A 5.1 input keeps its mask; the reported output follows the speakers.
    WAVEFORMATEXTENSIBLE f = Extensible(6, 0x3F);
    EXPECT_TRUE(effect.SetInputFormat(&f));
    EXPECT_TRUE(effect.SetSpeakersConfig(0x63F, true));
    EXPECT_EQ(effect.GetOutputChannels(), 8);
    EXPECT_EQ(effect.GetOutputChannelMask(), 0x63Fu);
    EXPECT_FALSE(effect.SetSpeakersConfig(0, true));
    EXPECT_EQ(effect.GetOutputChannelMask(), 0x63Fu);
    EXPECT_FALSE(effect.SetInputFormat(nullptr));

    // A plain wave format has no mask: stereo counts as front left and right.
    WAVEFORMATEXTENSIBLE plain = Extensible(2, 0x3F);
    plain.Format.wFormatTag = WAVE_FORMAT_PCM;
    plain.Format.cbSize = 0;
    ASSERT_TRUE(effect.SetInputFormat(&plain));
    effect.SetReverb(false);
    effect.SetVolume(0.0f, true);
    effect.SetLFEVolume(0.0f, true);
    effect.SetRevDry(1.0f);
    Block b(1024);
    for (int i = 0; i < 1024; ++i) {
        b.arrays[0][i] = 0.125f;
        b.arrays[1][i] = 0.375f;
    }
    ASSERT_TRUE(effect.Process(&b.block, 8));
    // Past the fade of the positioned sound (10 ms), only the original is left.
    EXPECT_FLOAT_EQ(b.arrays[0][1000], 0.125f);
    EXPECT_FLOAT_EQ(b.arrays[1][1000], 0.375f);
    for (int c = 2; c < 8; ++c) EXPECT_FLOAT_EQ(b.arrays[c][1000], 0.0f) << c;
}

TEST(AmbioraDll, SettingsReachTheProcessor)
{
    CSurroundEffect effect;
    WAVEFORMATEXTENSIBLE f = Extensible(1, 0x4);
    ASSERT_TRUE(effect.SetInputFormat(&f));
    ASSERT_TRUE(effect.SetSpeakersConfig(0x3, true));
    effect.SetRevDry(0.0f);
    effect.SetReverb(false);
    effect.SetMoveOff(false);
    effect.SetVolume(1.0f, true);
    effect.SetRoomSize(20.0f, 20.0f, true);

    auto levels = [&](float x, float y) {
        effect.SetSoundPos(x, y, true);
        effect.Reset();
        Block b(4096);
        for (int i = 0; i < 4096; ++i) b.arrays[0][i] = static_cast<float>(std::sin(i * 0.05));
        EXPECT_TRUE(effect.Process(&b.block, 8));
        double l = 0, r = 0;
        for (int i = 1024; i < 4096; ++i) {
            l += b.arrays[0][i] * b.arrays[0][i];
            r += b.arrays[1][i] * b.arrays[1][i];
        }
        return std::make_pair(l, r);
    };
    const auto left = levels(2.0f, 4.0f);
    EXPECT_GT(left.first, 20 * left.second);
    const auto right = levels(18.0f, 4.0f);
    EXPECT_GT(right.second, 20 * right.first);
}
