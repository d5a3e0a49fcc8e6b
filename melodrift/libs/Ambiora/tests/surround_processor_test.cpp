// The surround processor's placement, delays, reflections, tail and LFE,
// measured on its output.
#include "surround_processor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using ambiora::StreamFormat;
using ambiora::SurroundProcessor;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;
constexpr std::uint32_t k51 = 0x3F;   // FL FR FC LFE BL BR
enum { FL = 0, FR = 1, FC = 2, LFE = 3, BL = 4, BR = 5 };

using Channels = std::vector<std::vector<float>>;

std::vector<float> Sine(double hz, double amplitude, int frames, int rate = kRate)
{
    std::vector<float> s(frames);
    for (int i = 0; i < frames; ++i) {
        s[i] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * i / rate));
    }
    return s;
}

std::vector<float> Noise(int frames, std::uint32_t seed = 7)
{
    std::vector<float> s(frames);
    for (float& v : s) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>((seed >> 8) / 8388608.0 - 1.0) * 0.5f;
    }
    return s;
}

std::vector<float> Impulse(int frames)
{
    std::vector<float> s(frames, 0.0f);
    s[0] = 1.0f;
    return s;
}

// Runs the input through the processor in blocks of `block` frames, as the
// player does: eight arrays, the input in the first ones, the output replacing it.
Channels Render(SurroundProcessor& p, const Channels& input, int block = 1000)
{
    const int frames = static_cast<int>(input[0].size());
    const int outputs = p.GetOutputChannels();
    Channels out(outputs, std::vector<float>(frames));
    std::vector<std::vector<float>> arrays(8, std::vector<float>(block));
    float* table[8];
    for (int c = 0; c < 8; ++c) table[c] = arrays[c].data();
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        for (int c = 0; c < 8; ++c) std::fill(arrays[c].begin(), arrays[c].end(), 0.0f);
        for (std::size_t c = 0; c < input.size(); ++c) {
            std::copy(input[c].begin() + start, input[c].begin() + start + n, arrays[c].begin());
        }
        EXPECT_TRUE(p.Process(table, 8, n));
        for (int c = 0; c < outputs; ++c) {
            std::copy(arrays[c].begin(), arrays[c].begin() + n, out[c].begin() + start);
        }
    }
    return out;
}

double Energy(const std::vector<float>& s, int from = 0, int to = -1)
{
    if (to < 0) to = static_cast<int>(s.size());
    double e = 0;
    for (int i = from; i < to; ++i) e += double(s[i]) * s[i];
    return e;
}

double Rms(const std::vector<float>& s, int from = 0, int to = -1)
{
    if (to < 0) to = static_cast<int>(s.size());
    return std::sqrt(Energy(s, from, to) / std::max(1, to - from));
}

int PeakIndex(const std::vector<float>& s)
{
    int best = 0;
    for (int i = 1; i < static_cast<int>(s.size()); ++i) {
        if (std::fabs(s[i]) > std::fabs(s[best])) best = i;
    }
    return best;
}

// Only the positioned sound: no original, no reverberation, no delays.
void PositionedOnly(SurroundProcessor& p)
{
    p.SetRevDry(0.0f);
    p.SetReverb(false);
    p.SetMoveOff(false);
    p.SetVolume(1.0f, true);
    p.SetRoomSize(20.0f, 20.0f, true);
}

}  // namespace

TEST(AmbioraProcessor, LayoutsGiveTheirChannelCountsAndRefuseOthers)
{
    SurroundProcessor p;
    const struct { std::uint32_t mask; int channels; } layouts[] = {
        {0x33, 4}, {0x10F, 5}, {0x3F, 6}, {0x63B, 7}, {0x63F, 8}, {0xFF, 8}, {0x3, 2}, {0x4, 1}};
    for (const auto& l : layouts) {
        ASSERT_TRUE(p.SetSpeakersConfig(l.mask, true)) << std::hex << l.mask;
        EXPECT_EQ(p.GetOutputChannels(), l.channels);
        EXPECT_EQ(p.GetOutputChannelMask(), l.mask);
    }
    // Nothing, the LFE alone, unknown speakers, nine speakers.
    for (std::uint32_t bad : {0x0u, 0x8u, 0x800u, 0x1FFu}) {
        EXPECT_FALSE(p.SetSpeakersConfig(bad, true)) << std::hex << bad;
        EXPECT_EQ(p.GetOutputChannelMask(), 0x4u);
    }
    // A pending layout takes effect at the next update.
    ASSERT_TRUE(p.SetSpeakersConfig(0x3F, false));
    EXPECT_EQ(p.GetOutputChannels(), 1);
    p.SetSoundPos(10, 5, true);
    EXPECT_EQ(p.GetOutputChannels(), 6);
}

TEST(AmbioraProcessor, InputFormatIsCheckedAndItsMaskRepaired)
{
    SurroundProcessor p;
    EXPECT_FALSE(p.SetInputFormat({0, kRate, 0}));
    EXPECT_FALSE(p.SetInputFormat({9, kRate, 0}));
    EXPECT_FALSE(p.SetInputFormat({2, 4000, 3}));
    EXPECT_EQ(p.GetInputFormat().channels, 2);
    ASSERT_TRUE(p.SetInputFormat({6, 48000, 0x3}));   // mask of 2 speakers for 6 channels
    EXPECT_EQ(p.GetInputFormat().channelMask, 0x3Fu);
    ASSERT_TRUE(p.SetInputFormat({1, 22050, 0}));
    EXPECT_EQ(p.GetInputFormat().channelMask, 0x4u);
}

TEST(AmbioraProcessor, SourceIsPannedBetweenTheSpeakersAroundIt)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetSpeakersConfig(k51, true);
    const Channels in = {Noise(kRate / 2)};

    // Front left, at the speaker's direction (-30 degrees) beyond the speaker circle.
    p.SetSoundPos(10.0f - 7.0f * 0.5f, 10.0f - 7.0f * 0.866f, true);
    Channels out = Render(p, in);
    const int skip = kRate / 10;   // past the fade
    EXPECT_GT(Energy(out[FL], skip), 100 * (Energy(out[FR], skip) + Energy(out[BL], skip) + 1e-9));

    // Right side (90 degrees): between front right (30) and back right (140).
    p.SetSoundPos(19.0f, 10.0f, true);
    out = Render(p, in);
    EXPECT_GT(Energy(out[FR], skip), 0.1 * Energy(out[BR], skip));
    EXPECT_GT(Energy(out[BR], skip), 0.1 * Energy(out[FR], skip));
    EXPECT_LT(Energy(out[FL], skip) + Energy(out[BL], skip), 1e-9);

    // Straight behind: the two back speakers equally.
    p.SetSoundPos(10.0f, 19.0f, true);
    out = Render(p, in);
    EXPECT_NEAR(Energy(out[BL], skip) / Energy(out[BR], skip), 1.0, 1e-3);
    EXPECT_LT(Energy(out[FL], skip) + Energy(out[FR], skip) + Energy(out[FC], skip), 1e-9);

    // On the listener: spread evenly over the five speakers with a direction.
    p.SetSoundPos(10.0f, 10.0f, true);
    out = Render(p, in);
    const double e = Energy(out[FL], skip);
    for (int c : {FR, FC, BL, BR}) EXPECT_NEAR(Energy(out[c], skip) / e, 1.0, 1e-3) << c;
}

TEST(AmbioraProcessor, StereoLayoutPansLeftAndRight)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({2, kRate, 3}));
    PositionedOnly(p);
    p.SetSpeakersConfig(0x3, true);
    const Channels in = {Noise(kRate / 4, 1), Noise(kRate / 4, 2)};
    p.SetSoundPos(19.0f, 2.0f, true);
    const Channels out = Render(p, in);
    EXPECT_GT(Energy(out[1], 5000), 50 * Energy(out[0], 5000));
}

TEST(AmbioraProcessor, FartherSourcesAreQuieter)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetRoomSize(40.0f, 40.0f, true);
    const Channels in = {Noise(kRate / 4)};
    p.SetSoundPos(20.0f, 20.0f - 16.0f, true);   // at the speaker circle (radius 16)
    const double nearRms = Rms(Render(p, in)[FC], 5000);
    p.SetSoundPos(20.0f, 0.0f, true);            // at the front wall
    const double farRms = Rms(Render(p, in)[FC], 5000);
    EXPECT_NEAR(farRms / nearRms, 16.0 / 20.0, 0.02);
}

TEST(AmbioraProcessor, DelaysFollowThePathToEachSpeaker)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetSpeakersConfig(0x3, true);
    // 20 m room: listener at (10, 10), speakers at radius 8 m, -30 and +30 degrees.
    const double flx = 10 - 8 * 0.5, fly = 10 - 8 * 0.8660254, frx = 10 + 8 * 0.5;
    const float sx = 5.0f, sy = 10.0f;
    const double expected =
        (std::hypot(sx - frx, sy - fly) - std::hypot(sx - flx, sy - fly)) / 343.0 * kRate;

    p.SetMoveOff(true);
    p.SetSoundPos(sx, sy, true);
    p.Reset();
    Channels out = Render(p, {Impulse(4096)});
    EXPECT_EQ(PeakIndex(out[0]), 0);
    EXPECT_NEAR(PeakIndex(out[1]), expected, 1.0);

    p.SetMoveOff(false);
    p.Reset();
    out = Render(p, {Impulse(4096)});
    EXPECT_EQ(PeakIndex(out[0]), 0);
    EXPECT_EQ(PeakIndex(out[1]), 0);
}

TEST(AmbioraProcessor, EarlyReflectionsComeFromTheWalls)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetReverb(true);
    p.SetRevWet(0.0f);
    p.SetRevAbsorb(0.36f);
    p.SetSpeakersConfig(k51, true);
    p.SetSoundPos(10.0f, 6.0f, true);   // 4 m in front of the listener in a 20 m room
    p.SetProcessAdvance(false);
    p.Reset();
    const Channels dry = Render(p, {Impulse(8192)});
    p.SetProcessAdvance(true);
    p.Reset();
    const Channels wet = Render(p, {Impulse(8192)});

    // The front wall's image is at y = -6: 16 m away, 12 m more than the direct path.
    const int frontDelay = static_cast<int>(std::lround(12.0 / 343.0 * kRate));
    EXPECT_FLOAT_EQ(wet[FC][0], dry[FC][0]);
    EXPECT_EQ(dry[FC][frontDelay], 0.0f);
    EXPECT_NEAR(wet[FC][frontDelay] / wet[FC][0], std::sqrt(1.0 - 0.36) * 4.0 / 16.0, 1e-3);
    // The back wall's image (y = 34, 24 m away) arrives from behind.
    const int backDelay = static_cast<int>(std::lround(20.0 / 343.0 * kRate));
    EXPECT_GT(std::fabs(wet[BL][backDelay]), 0.0f);
    EXPECT_FLOAT_EQ(wet[BL][backDelay], wet[BR][backDelay]);
}

namespace {

// Seconds for the tail's energy to fall by 60 dB, from the slope between -5
// and -35 dB of its backwards-integrated energy.
double MeasuredDecay(const std::vector<float>& s)
{
    std::vector<double> tail(s.size() + 1, 0.0);
    for (int i = static_cast<int>(s.size()) - 1; i >= 0; --i) tail[i] = tail[i + 1] + double(s[i]) * s[i];
    const double total = tail[0];
    int i5 = -1, i35 = -1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double db = 10 * std::log10(tail[i] / total + 1e-30);
        if (i5 < 0 && db <= -5) i5 = static_cast<int>(i);
        if (i35 < 0 && db <= -35) {
            i35 = static_cast<int>(i);
            break;
        }
    }
    if (i5 < 0 || i35 < 0) return -1;
    return double(i35 - i5) / kRate * 2.0;
}

}  // namespace

TEST(AmbioraProcessor, TailDecaysWithTheRoomsReverberationTime)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetVolume(0.0f, true);
    p.SetReverb(true);
    p.SetRevWet(1.0f);
    p.SetRevHFDecay(0.0f);
    p.SetLFEVolume(0.0f, true);
    p.SetSpeakersConfig(k51, true);

    struct Case { float room; float absorb; } cases[] = {{10, 0.3f}, {20, 0.14f}, {40, 0.3f}};
    double measuredDecays[3] = {};
    int index = 0;
    for (const Case& c : cases) {
        p.SetRoomSize(c.room, c.room, true);
        p.SetRevAbsorb(c.absorb);
        p.Reset();
        const double rt = p.GetReverbTime();
        const Channels out = Render(p, {Impulse(static_cast<int>(rt * 1.5 * kRate))});
        const double measured = MeasuredDecay(out[FL]);
        EXPECT_NEAR(measured, rt, 0.15 * rt) << c.room;
        measuredDecays[index++] = measured;
    }
    // A larger room of the same walls rings longer.
    EXPECT_GT(measuredDecays[2], 2 * measuredDecays[0]);
    // More absorption, shorter tail.
    p.SetRoomSize(20, 20, true);
    p.SetRevAbsorb(0.14f);
    const double soft = p.GetReverbTime();
    p.SetRevAbsorb(0.6f);
    EXPECT_NEAR(p.GetReverbTime(), soft * 0.14 / 0.6, 1e-6);

    // Each speaker gets its own mix: the tails are not copies of each other.
    p.Reset();
    const Channels out = Render(p, {Impulse(kRate / 2)});
    double cross = 0;
    for (int i = 0; i < kRate / 2; ++i) cross += double(out[FL][i]) * out[FR][i];
    EXPECT_LT(std::fabs(cross) / std::sqrt(Energy(out[FL]) * Energy(out[FR])), 0.3);
    EXPECT_EQ(Energy(out[LFE]), 0.0);
}

TEST(AmbioraProcessor, HighFrequenciesDieFasterWithHighFrequencyDecay)
{
    auto lateHighShare = [](float decay) {
        SurroundProcessor p;
        p.SetInputFormat({1, kRate, 0});
        PositionedOnly(p);
        p.SetVolume(0.0f, true);
        p.SetReverb(true);
        p.SetRevWet(1.0f);
        p.SetRevHFDecay(decay);
        Render(p, {Noise(kRate / 20)});
        const Channels longer = Render(p, {std::vector<float>(kRate, 0.0f)});
        const std::vector<float>& s = longer[FL];
        double high = 0, all = 0;
        for (int i = kRate / 2; i < kRate; ++i) {
            const double d = s[i] - s[i - 1];
            high += d * d;
            all += double(s[i]) * s[i];
        }
        return high / all;
    };
    EXPECT_LT(lateHighShare(0.9f), 0.5 * lateHighShare(0.0f));
}

TEST(AmbioraProcessor, WithoutReverbTheOutputEndsWithTheDirectSound)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({2, kRate, 3}));
    p.SetReverb(false);
    p.SetLFEVolume(0.0f, true);   // the low-pass rings on, far below hearing
    p.SetSoundPos(3.0f, 3.0f, true);
    const std::vector<float> burst = Noise(2000);
    std::vector<float> in(kRate / 2, 0.0f);
    std::copy(burst.begin(), burst.end(), in.begin());
    const Channels out = Render(p, {in, in});
    // The longest path difference in a 20 m room is under 2000 samples.
    for (const auto& c : out) EXPECT_EQ(Energy(c, 6000), 0.0);
}

TEST(AmbioraProcessor, OriginalSoundGoesToTheMatchingSpeakers)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({2, kRate, 3}));
    p.SetVolume(0.0f, true);
    p.SetReverb(false);
    p.SetLFEVolume(0.0f, true);
    p.SetRevDry(0.5f);
    p.SetSpeakersConfig(k51, true);
    const Channels in = {Noise(3000, 3), Noise(3000, 4)};
    const Channels out = Render(p, in, 700);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_FLOAT_EQ(out[FL][i], 0.5f * in[0][i]);
        ASSERT_FLOAT_EQ(out[FR][i], 0.5f * in[1][i]);
    }
    for (int c : {FC, LFE, BL, BR}) EXPECT_EQ(Energy(out[c]), 0.0);

    // Mono goes to the centre; on quad (no centre) to front left and right at -3 dB.
    p.SetInputFormat({1, kRate, 0});
    p.SetRevDry(1.0f);
    Channels mono = Render(p, {in[0]});
    EXPECT_FLOAT_EQ(mono[FC][100], in[0][100]);
    p.SetSpeakersConfig(0x33, true);
    mono = Render(p, {in[0]});
    EXPECT_NEAR(mono[0][100], 0.70710678f * in[0][100], 1e-6);
    EXPECT_NEAR(mono[1][100], 0.70710678f * in[0][100], 1e-6);
}

TEST(AmbioraProcessor, LowFrequencyChannelCarriesOnlyWhatIsBelowTheCutOff)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({2, kRate, 3}));
    p.SetVolume(0.0f, true);
    p.SetRevDry(0.0f);
    p.SetReverb(false);
    p.SetSpeakersConfig(k51, true);
    p.SetLFEVolume(1.5f, true);
    auto lfeGain = [&](double hz) {
        p.Reset();
        const std::vector<float> s = Sine(hz, 0.5, kRate);
        const Channels out = Render(p, {s, s});
        return Rms(out[LFE], kRate / 2) / Rms(s, kRate / 2);
    };
    p.SetLFEMaxFreq(80, true);
    EXPECT_NEAR(lfeGain(20), 1.5, 0.05);
    EXPECT_NEAR(lfeGain(80), 1.5 * 0.5, 0.03);   // -6 dB at the cut-off
    EXPECT_LT(lfeGain(320), 1.5 * 0.02);         // two octaves up: below -34 dB
    EXPECT_LT(lfeGain(1000), 1e-3);
    p.SetLFEMaxFreq(200, true);
    EXPECT_GT(lfeGain(100), 1.3);
    // A stored cut-off waits for the update.
    p.SetLFEMaxFreq(40, false);
    EXPECT_GT(lfeGain(100), 1.3);
    p.SetSoundPos(10, 5, true);
    EXPECT_LT(lfeGain(100), 0.3);
    // Layouts without an LFE speaker have no such channel.
    p.SetSpeakersConfig(0x63B & ~0x8u, true);
    EXPECT_EQ(p.GetOutputChannels(), 6);
}

TEST(AmbioraProcessor, BlockSizeDoesNotChangeTheResult)
{
    auto run = [](int block) {
        SurroundProcessor p;
        p.SetInputFormat({2, 48000, 3});
        p.SetProcessAdvance(true);
        p.SetSoundPos(4.0f, 15.0f, true);
        const Channels in = {Noise(20000, 5), Noise(20000, 6)};
        Channels out = Render(p, {in[0], in[1]}, block);
        p.SetSoundPos(16.0f, 3.0f, true);   // a move, faded
        Channels more = Render(p, in, block);
        for (std::size_t c = 0; c < out.size(); ++c) out[c].insert(out[c].end(), more[c].begin(), more[c].end());
        return out;
    };
    const Channels reference = run(20000);
    for (int block : {1, 255, 257, 4410}) {
        const Channels out = run(block);
        ASSERT_EQ(out.size(), reference.size());
        for (std::size_t c = 0; c < out.size(); ++c) {
            for (std::size_t i = 0; i < out[c].size(); ++i) {
                ASSERT_NEAR(out[c][i], reference[c][i], 1e-6) << block << " " << c << " " << i;
            }
        }
    }
}

TEST(AmbioraProcessor, MovesAreFadedWithoutClicks)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({1, kRate, 0}));
    PositionedOnly(p);
    p.SetSpeakersConfig(0x3, true);
    p.SetSoundPos(1.0f, 5.0f, true);
    const std::vector<float> tone = Sine(100, 0.5, kRate / 4);
    Channels before = Render(p, {tone});
    p.SetSoundPos(19.0f, 5.0f, true);   // far left to far right at once
    Channels after = Render(p, {tone}, 64);
    double steady = 0, moved = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 1; i < kRate / 4; ++i) steady = std::max(steady, double(std::fabs(before[c][i] - before[c][i - 1])));
        moved = std::max(moved, double(std::fabs(after[c][1] - before[c].back())));
        for (int i = 1; i < kRate / 4; ++i) moved = std::max(moved, double(std::fabs(after[c][i] - after[c][i - 1])));
    }
    EXPECT_LT(moved, 1.5 * steady);
}

TEST(AmbioraProcessor, RefusesWhatItCannotProcess)
{
    SurroundProcessor p;   // stereo in, 5.1 out
    std::vector<float> a(64, 0.25f), b(64, 0.25f);
    float* two[2] = {a.data(), b.data()};
    EXPECT_FALSE(p.Process(nullptr, 8, 64));
    EXPECT_FALSE(p.Process(two, 2, 64));   // room for 2 channels, 6 to write
    EXPECT_FALSE(p.Process(two, 8, 0));
    float* gaps[8] = {a.data(), b.data(), nullptr};
    EXPECT_FALSE(p.Process(gaps, 8, 64));
    for (float v : a) ASSERT_EQ(v, 0.25f);
}

TEST(AmbioraProcessor, SamplesThatAreNotNumbersDoNotPoisonTheTail)
{
    SurroundProcessor p;
    std::vector<float> bad = Noise(4096);
    bad[100] = std::numeric_limits<float>::quiet_NaN();
    bad[200] = std::numeric_limits<float>::infinity();
    Channels out = Render(p, {bad, bad});
    out = Render(p, {Noise(kRate), Noise(kRate)});
    for (const auto& c : out) {
        for (float v : c) ASSERT_TRUE(std::isfinite(v));
    }
    EXPECT_GT(Energy(out[FL], kRate / 2), 0.0);
}

TEST(AmbioraProcessor, StaysBoundedInTheLongestLivelyRoom)
{
    SurroundProcessor p;
    ASSERT_TRUE(p.SetInputFormat({2, 48000, 3}));
    p.SetRoomSize(1000.0f, 1000.0f, true);   // limited to 60 m
    p.SetRevAbsorb(0.0f);                     // limited to 0.01
    p.SetRevHFDecay(0.0f);
    p.SetRevWet(100.0f);                      // limited to 4
    p.SetVolume(-3.0f, true);                 // limited to 0
    p.SetProcessAdvance(true);
    p.SetSoundPos(-5.0f, 1e9f, true);         // kept inside the room
    const std::vector<float> noise = Noise(48000 * 3);
    const Channels out = Render(p, {noise, noise}, 4800);
    for (const auto& c : out) {
        for (float v : c) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 50.0f);
        }
    }
}
