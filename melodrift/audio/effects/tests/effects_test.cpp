// The effects measured on the sound they make: pitch ratios with the
// player's FFT, echo delay and decay, tremolo depth, the robot's sidebands,
// the whisper's spread spectrum, the reverb's tail; then what must hold for
// every effect: no NaN or infinity from silence, huge or invalid input, the
// same output whatever the block sizes, 1 to 8 independent channels.
#include "effects/effect.h"

#include "dsp/signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

using effects::Effect;
using effects::EffectDescriptor;

constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<Effect> Make(int id, int channels = 1, int rate = 44100)
{
    const EffectDescriptor* d = effects::CatalogFind(id);
    if (!d) {
        return nullptr;
    }
    std::unique_ptr<Effect> effect = effects::CreateEffect(*d);
    if (effect && !effect->SetFormat(channels, rate)) {
        return nullptr;
    }
    return effect;
}

std::vector<float> Sine(double hz, int rate, int frames, double amplitude = 0.5)
{
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / rate));
    }
    return out;
}

// Deterministic noise in [-0.5, 0.5).
std::vector<float> Noise(std::size_t count, std::uint32_t seed = 12345)
{
    std::vector<float> out(count);
    for (float& v : out) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>((seed >> 8) / 16777216.0 - 0.5);
    }
    return out;
}

// Magnitude spectrum (Hann window) of 2^order samples from `start`.
std::vector<double> Spectrum(const std::vector<float>& signal, std::size_t start, int order)
{
    const int n = 1 << order;
    std::vector<float> frame(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);
        frame[static_cast<std::size_t>(i)] = static_cast<float>(signal.at(start + static_cast<std::size_t>(i)) * w);
    }
    std::vector<ComplexF> bins(static_cast<std::size_t>(n / 2 + 1));
    nspsRealFftlNip(frame.data(), bins.data(), order, NSP_FORWARD);
    std::vector<double> mag(bins.size());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        mag[k] = std::hypot(bins[k].re, bins[k].im);
    }
    return mag;
}

// Frequency of the strongest spectral peak, interpolated between bins.
double PeakFrequency(const std::vector<float>& signal, std::size_t start, int rate, int order = 14)
{
    const std::vector<double> mag = Spectrum(signal, start, order);
    std::size_t best = 1;
    for (std::size_t k = 1; k + 1 < mag.size(); ++k) {
        if (mag[k] > mag[best]) {
            best = k;
        }
    }
    const double a = std::log(mag[best - 1] + 1e-12);
    const double b = std::log(mag[best] + 1e-12);
    const double c = std::log(mag[best + 1] + 1e-12);
    const double offset = 0.5 * (a - c) / (a - 2.0 * b + c);
    return (best + offset) * rate / static_cast<double>(1 << order);
}

// Energy of the spectrum within +-width Hz of `hz`.
double BandEnergy(const std::vector<double>& mag, double hz, double width, int rate, int order)
{
    const double binHz = rate / static_cast<double>(1 << order);
    double sum = 0.0;
    for (std::size_t k = 0; k < mag.size(); ++k) {
        if (std::fabs(k * binHz - hz) <= width) {
            sum += mag[k] * mag[k];
        }
    }
    return sum;
}

double Energy(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to && i < s.size(); ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return sum;
}

// ---- Catalog -----------------------------------------------------------------------

TEST(EffectsCatalog, IdentifiersUniqueAndPresetsWithinRanges)
{
    ASSERT_GT(effects::CatalogCount(), 10);
    EXPECT_EQ(effects::CatalogAt(-1), nullptr);
    EXPECT_EQ(effects::CatalogAt(effects::CatalogCount()), nullptr);
    EXPECT_EQ(effects::CatalogFind(0), nullptr);
    int voice = 0;
    int specialWithPresets = 0;
    int specialWithout = 0;
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const EffectDescriptor* d = effects::CatalogAt(i);
        SCOPED_TRACE(i);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(effects::CatalogFind(d->id), d);
        EXPECT_GT(d->id, 0);
        EXPECT_LE(d->paramCount, effects::kMaxParams);
        EXPECT_GT(d->paramCount, 0);
        for (int p = 0; p < d->paramCount; ++p) {
            EXPECT_LT(d->params[p].minimum, d->params[p].maximum);
            EXPECT_GE(d->params[p].defaultValue, d->params[p].minimum);
            EXPECT_LE(d->params[p].defaultValue, d->params[p].maximum);
        }
        for (int s = 0; s < d->presetCount; ++s) {
            for (int p = 0; p < d->paramCount; ++p) {
                EXPECT_GE(d->presets[s].values[p], d->params[p].minimum) << s << " " << p;
                EXPECT_LE(d->presets[s].values[p], d->params[p].maximum) << s << " " << p;
            }
        }
        if (d->type == effects::kVoiceMorphing) {
            ++voice;
        } else if (d->presetCount > 0) {
            ++specialWithPresets;
        } else {
            ++specialWithout;
        }
    }
    EXPECT_GE(voice, 4);
    EXPECT_GE(specialWithPresets, 6);
    EXPECT_GE(specialWithout, 1);
}

TEST(EffectsParams, ClampedIgnoringNaNAndSetByPresets)
{
    std::unique_ptr<Effect> echo = Make(20);
    ASSERT_TRUE(echo);
    EXPECT_TRUE(echo->SetParam(1, 5.0f));
    EXPECT_FLOAT_EQ(echo->Param(1), 0.95f);
    EXPECT_TRUE(echo->SetParam(1, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FLOAT_EQ(echo->Param(1), 0.95f);
    EXPECT_FALSE(echo->SetParam(3, 0.0f));
    EXPECT_FLOAT_EQ(echo->Param(-1), 0.0f);
    EXPECT_TRUE(echo->ApplyPreset(1));
    EXPECT_FLOAT_EQ(echo->Param(0), 400.0f);
    EXPECT_FALSE(echo->ApplyPreset(99));
    EXPECT_FALSE(echo->SetFormat(0, 44100));
    EXPECT_FALSE(echo->SetFormat(2, 500000));
    EXPECT_EQ(echo->Channels(), 1);
    EXPECT_EQ(echo->SampleRate(), 44100);
    float x = 0.0f;
    EXPECT_FALSE(echo->Process(nullptr, 1));
    EXPECT_FALSE(echo->Process(&x, -1));
    EXPECT_TRUE(echo->Process(nullptr, 0));
}

// ---- Voice morphing ----------------------------------------------------------------------

struct PitchCase {
    int id;
    float semitones;
    double hz;
    int rate;
};

TEST(EffectsPitch, MovesASineByTheRatio)
{
    const PitchCase cases[] = {
        {1, 4.0f, 440.0, 44100}, {1, 12.0f, 300.0, 48000}, {1, 7.0f, 523.0, 22050}, {2, -4.0f, 440.0, 44100},
        {2, -12.0f, 880.0, 96000}, {3, 9.0f, 350.0, 44100}, {4, -8.0f, 700.0, 44100}, {2, -3.0f, 1000.0, 8000},
    };
    for (const PitchCase& c : cases) {
        // With Keep Formants too: a lone sine has no formants to keep, and a
        // whistle or a flute keeps its level where it moves.
        for (const float keep : {0.0f, 1.0f}) {
            SCOPED_TRACE(c.id);
            SCOPED_TRACE(c.rate);
            SCOPED_TRACE(keep);
            std::unique_ptr<Effect> effect = Make(c.id, 1, c.rate);
            ASSERT_TRUE(effect);
            ASSERT_TRUE(effect->SetParam(0, c.semitones));
            ASSERT_TRUE(effect->SetParam(2, keep));
            const int order = c.rate >= 88200 ? 15 : (c.rate <= 11025 ? 12 : 14);
            const int frames = c.rate + (1 << order);
            std::vector<float> s = Sine(c.hz, c.rate, frames);
            ASSERT_TRUE(effect->Process(s.data(), frames));
            const double expected = c.hz * std::pow(2.0, c.semitones / 12.0);
            const double measured = PeakFrequency(s, static_cast<std::size_t>(c.rate / 2), c.rate, order);
            EXPECT_NEAR(measured / expected, 1.0, 0.01) << measured << " Hz, expected " << expected;
            // The level stays about the same.
            const double in = Energy(Sine(c.hz, c.rate, frames), 0, static_cast<std::size_t>(c.rate / 2));
            const double out = Energy(s, static_cast<std::size_t>(c.rate / 2), static_cast<std::size_t>(c.rate));
            EXPECT_GT(out / in, 0.3);
            EXPECT_LT(out / in, 3.0);
        }
    }
}

// The speed is unchanged: a tone burst comes out as long as it went in, only
// later by the fixed latency.
TEST(EffectsPitch, KeepsTheDurationOfABurst)
{
    const int rate = 44100;
    std::unique_ptr<Effect> effect = Make(1, 1, rate);
    ASSERT_TRUE(effect);
    ASSERT_TRUE(effect->SetParam(0, 7.0f));
    ASSERT_TRUE(effect->SetParam(2, 0.0f));
    std::vector<float> s(static_cast<std::size_t>(rate * 2), 0.0f);
    const std::vector<float> tone = Sine(440.0, rate, rate / 2);
    std::copy(tone.begin(), tone.end(), s.begin() + rate / 4);
    ASSERT_TRUE(effect->Process(s.data(), static_cast<std::int64_t>(s.size())));
    // Frames whose 10 ms neighbourhood carries sound.
    const int window = rate / 100;
    int first = -1;
    int last = -1;
    for (int i = 0; i + window < static_cast<int>(s.size()); i += window) {
        if (Energy(s, static_cast<std::size_t>(i), static_cast<std::size_t>(i + window)) > 0.01 * window * 0.125) {
            if (first < 0) {
                first = i;
            }
            last = i + window;
        }
    }
    ASSERT_GE(first, 0);
    const double seconds = (last - first) / static_cast<double>(rate);
    EXPECT_NEAR(seconds, 0.5, 0.06);
}

TEST(EffectsPitch, MixHalfKeepsBothTheOriginalAndTheShiftedTone)
{
    const int rate = 44100;
    std::unique_ptr<Effect> effect = Make(1, 1, rate);
    ASSERT_TRUE(effect);
    ASSERT_TRUE(effect->ApplyPreset(4));   // fifth at half mix
    ASSERT_TRUE(effect->SetParam(2, 0.0f));
    std::vector<float> s = Sine(400.0, rate, rate + 16384);
    ASSERT_TRUE(effect->Process(s.data(), static_cast<std::int64_t>(s.size())));
    const std::vector<double> mag = Spectrum(s, static_cast<std::size_t>(rate / 2), 14);
    const double original = BandEnergy(mag, 400.0, 15.0, rate, 14);
    const double shifted = BandEnergy(mag, 400.0 * std::pow(2.0, 7.0 / 12.0), 15.0, rate, 14);
    EXPECT_GT(original, 0.0);
    EXPECT_GT(shifted / original, 0.3);
    EXPECT_LT(shifted / original, 3.0);
}

// A voice-like sound: harmonics of 150 Hz under a resonance around 1 kHz.
// Shifted up a fourth, its spectral centroid moves by the ratio when the
// formants move with the pitch, and stays near 1 kHz when they are kept.
TEST(EffectsPitch, KeepFormantsLeavesTheResonanceInPlace)
{
    const int rate = 44100;
    const int frames = rate + 16384;
    std::vector<float> voice(static_cast<std::size_t>(frames), 0.0f);
    for (int h = 1; h * 150.0 < 5000.0; ++h) {
        const double hz = h * 150.0;
        const double amplitude = 0.1 * std::exp(-0.5 * std::pow((hz - 1000.0) / 350.0, 2.0));
        for (int i = 0; i < frames; ++i) {
            voice[static_cast<std::size_t>(i)] += static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / rate + h));
        }
    }
    auto centroid = [&](const std::vector<float>& s) {
        const std::vector<double> mag = Spectrum(s, static_cast<std::size_t>(rate / 2), 14);
        double weighted = 0.0;
        double total = 0.0;
        for (std::size_t k = 1; k < mag.size(); ++k) {
            const double hz = k * static_cast<double>(rate) / (1 << 14);
            if (hz < 4000.0) {
                weighted += hz * mag[k] * mag[k];
                total += mag[k] * mag[k];
            }
        }
        return weighted / total;
    };
    auto shifted = [&](float keep) {
        std::unique_ptr<Effect> effect = Make(1, 1, rate);
        effect->SetParam(0, 5.0f);
        effect->SetParam(2, keep);
        std::vector<float> s = voice;
        effect->Process(s.data(), frames);
        return s;
    };
    const std::vector<float> moved = shifted(0.0f);
    const std::vector<float> kept = shifted(1.0f);
    const double in = centroid(voice);
    const double ratio = std::pow(2.0, 5.0 / 12.0);
    EXPECT_NEAR(in, 1000.0, 60.0);
    EXPECT_NEAR(centroid(moved) / in, ratio, 0.06);
    EXPECT_NEAR(centroid(kept) / in, 1.0, 0.08);
    // The pitch moved in both: the fundamental is at 200 Hz.
    const std::vector<double> mag = Spectrum(kept, static_cast<std::size_t>(rate / 2), 14);
    EXPECT_GT(BandEnergy(mag, 200.0, 20.0, rate, 14), 10.0 * BandEnergy(mag, 150.0, 20.0, rate, 14));
    // The level stays about the same.
    const double level = Energy(kept, static_cast<std::size_t>(rate / 2), static_cast<std::size_t>(rate)) /
                         Energy(voice, static_cast<std::size_t>(rate / 2), static_cast<std::size_t>(rate));
    EXPECT_GT(level, 0.3);
    EXPECT_LT(level, 3.0);
}

TEST(EffectsRobot, RingModulationMovesATone)
{
    const int rate = 44100;
    std::unique_ptr<Effect> robot = Make(5, 1, rate);
    ASSERT_TRUE(robot);
    ASSERT_TRUE(robot->SetParam(0, 110.0f));
    ASSERT_TRUE(robot->SetParam(1, 0.0f));   // no comb: plain ring modulation
    std::vector<float> s = Sine(1000.0, rate, rate);
    ASSERT_TRUE(robot->Process(s.data(), rate));
    const std::vector<double> mag = Spectrum(s, 8192, 14);
    const double carrier = BandEnergy(mag, 1000.0, 20.0, rate, 14);
    const double lower = BandEnergy(mag, 890.0, 20.0, rate, 14);
    const double upper = BandEnergy(mag, 1110.0, 20.0, rate, 14);
    EXPECT_GT(lower, 100.0 * carrier);
    EXPECT_GT(upper, 100.0 * carrier);
    EXPECT_NEAR(lower / upper, 1.0, 0.2);
}

TEST(EffectsWhisper, SpreadsATonesEnergyOverTheSpectrum)
{
    const int rate = 44100;
    std::unique_ptr<Effect> whisper = Make(6, 1, rate);
    ASSERT_TRUE(whisper);
    std::vector<float> s = Sine(440.0, rate, rate);
    const std::vector<float> original = s;
    ASSERT_TRUE(whisper->Process(s.data(), rate));
    const std::vector<double> in = Spectrum(original, 8192, 14);
    const std::vector<double> out = Spectrum(s, 8192, 14);
    auto peakShare = [](const std::vector<double>& mag) {
        double total = 0.0;
        for (double m : mag) {
            total += m * m;
        }
        return BandEnergy(mag, 440.0, 10.0, 44100, 14) / total;
    };
    EXPECT_GT(peakShare(in), 0.95);
    EXPECT_LT(peakShare(out), 0.5);
    // The energy stays near the original's.
    const double ratio = Energy(s, 8192, 40000) / Energy(original, 8192, 40000);
    EXPECT_GT(ratio, 0.3);
    EXPECT_LT(ratio, 3.0);
}

// ---- Special effects -------------------------------------------------------------------

TEST(EffectsEcho, DelayAndDecayOfTheRepeats)
{
    const int rate = 48000;
    std::unique_ptr<Effect> echo = Make(20, 2, rate);
    ASSERT_TRUE(echo);
    ASSERT_TRUE(echo->SetParam(0, 250.0f));
    ASSERT_TRUE(echo->SetParam(1, 0.5f));
    ASSERT_TRUE(echo->SetParam(2, 0.8f));
    const int frames = rate;
    std::vector<float> s(static_cast<std::size_t>(2 * frames), 0.0f);
    s[0] = 1.0f;
    s[1] = -1.0f;
    ASSERT_TRUE(echo->Process(s.data(), frames));
    const int d = rate / 4;
    EXPECT_FLOAT_EQ(s[0], 1.0f);
    EXPECT_FLOAT_EQ(s[2 * d], 0.8f);
    EXPECT_FLOAT_EQ(s[2 * d + 1], -0.8f);
    EXPECT_FLOAT_EQ(s[4 * d], 0.4f);
    EXPECT_FLOAT_EQ(s[6 * d], 0.2f);
    // Nothing between the repeats.
    double between = 0.0;
    for (int i = 1; i < frames; ++i) {
        if (i % d != 0) {
            between += std::fabs(s[static_cast<std::size_t>(2 * i)]);
        }
    }
    EXPECT_EQ(between, 0.0);
}

TEST(EffectsTremolo, DepthAndRateOfTheGain)
{
    const int rate = 44100;
    std::unique_ptr<Effect> tremolo = Make(25, 1, rate);
    ASSERT_TRUE(tremolo);
    ASSERT_TRUE(tremolo->SetParam(0, 4.0f));
    ASSERT_TRUE(tremolo->SetParam(1, 0.7f));
    std::vector<float> s(static_cast<std::size_t>(rate), 1.0f);   // a constant shows the gain itself
    ASSERT_TRUE(tremolo->Process(s.data(), rate));
    const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
    EXPECT_NEAR(*hi, 1.0f, 1e-4);
    EXPECT_NEAR(*lo, 0.3f, 1e-4);
    // Minima every quarter second (4 Hz).
    int minima = 0;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] < s[i - 1] && s[i] <= s[i + 1]) {
            ++minima;
        }
    }
    EXPECT_EQ(minima, 4);
}

TEST(EffectsReverb, TailDecaysAndGrowsWithTheRoom)
{
    const int rate = 44100;
    auto tail = [&](float room) {
        std::unique_ptr<Effect> reverb = Make(21, 1, rate);
        reverb->SetParam(0, room);
        reverb->SetParam(3, 0.0f);   // wet only
        std::vector<float> s(static_cast<std::size_t>(rate * 3), 0.0f);
        s[0] = 1.0f;
        reverb->Process(s.data(), static_cast<std::int64_t>(s.size()));
        return s;
    };
    const std::vector<float> small = tail(0.2f);
    const std::vector<float> large = tail(0.95f);
    const std::size_t half = static_cast<std::size_t>(rate / 2);
    EXPECT_GT(Energy(large, 0, half), 0.0);
    EXPECT_LT(Energy(large, half, 2 * half), Energy(large, 0, half));
    EXPECT_LT(Energy(large, 4 * half, 6 * half), Energy(large, 2 * half, 4 * half));
    // The larger room rings longer.
    EXPECT_GT(Energy(large, 2 * half, 4 * half) / Energy(large, 0, half),
              10.0 * Energy(small, 2 * half, 4 * half) / Energy(small, 0, half));
}

TEST(EffectsDistortion, ClipsAndAddsHarmonics)
{
    const int rate = 44100;
    std::unique_ptr<Effect> dist = Make(24, 1, rate);
    ASSERT_TRUE(dist);
    ASSERT_TRUE(dist->SetParam(0, 30.0f));
    ASSERT_TRUE(dist->SetParam(1, 20000.0f));
    ASSERT_TRUE(dist->SetParam(2, 0.5f));
    std::vector<float> s = Sine(500.0, rate, rate, 0.8);
    ASSERT_TRUE(dist->Process(s.data(), rate));
    for (float v : s) {
        ASSERT_LE(std::fabs(v), 0.5f + 1e-5f);
    }
    const std::vector<double> mag = Spectrum(s, 4096, 14);
    EXPECT_GT(BandEnergy(mag, 1500.0, 20.0, rate, 14), 0.01 * BandEnergy(mag, 500.0, 20.0, rate, 14));

    // Without drive a quiet sound passes nearly unchanged.
    std::unique_ptr<Effect> clean = Make(24, 1, rate);
    ASSERT_TRUE(clean->SetParam(0, 0.0f));
    ASSERT_TRUE(clean->SetParam(1, 20000.0f));
    ASSERT_TRUE(clean->SetParam(2, 1.0f));
    std::vector<float> quiet = Sine(500.0, rate, rate, 0.01);
    ASSERT_TRUE(clean->Process(quiet.data(), rate));
    const float peak = *std::max_element(quiet.begin() + 1000, quiet.end());
    EXPECT_NEAR(peak, 0.01f, 0.0003f);
    const std::vector<double> quietMag = Spectrum(quiet, 4096, 14);
    EXPECT_LT(BandEnergy(quietMag, 1500.0, 20.0, rate, 14), 1e-6 * BandEnergy(quietMag, 500.0, 20.0, rate, 14));
}

TEST(EffectsModulation, ChorusAndFlangerChangeTheSoundButMixZeroKeepsIt)
{
    for (int id : {22, 23}) {
        SCOPED_TRACE(id);
        std::unique_ptr<Effect> effect = Make(id, 2, 44100);
        ASSERT_TRUE(effect);
        std::vector<float> s = Noise(2 * 44100);
        const std::vector<float> original = s;
        ASSERT_TRUE(effect->Process(s.data(), 44100));
        EXPECT_NE(s, original);
        const double ratio = Energy(s, 0, s.size()) / Energy(original, 0, original.size());
        EXPECT_GT(ratio, 0.2);
        EXPECT_LT(ratio, 5.0);

        std::unique_ptr<Effect> dry = Make(id, 2, 44100);
        ASSERT_TRUE(dry->SetParam(3, 0.0f));
        s = original;
        ASSERT_TRUE(dry->Process(s.data(), 44100));
        EXPECT_EQ(s, original);
    }
}

TEST(EffectsGain, DecibelsToFactor)
{
    std::unique_ptr<Effect> gain = Make(26, 1, 44100);
    ASSERT_TRUE(gain);
    ASSERT_TRUE(gain->SetParam(0, 20.0f));
    float s[2] = {0.01f, -0.02f};
    ASSERT_TRUE(gain->Process(s, 2));
    EXPECT_NEAR(s[0], 0.1f, 1e-6);
    EXPECT_NEAR(s[1], -0.2f, 1e-6);

    // A change while sound plays glides to the new gain within some 100 ms,
    // without a step.
    ASSERT_TRUE(gain->SetParam(0, 0.0f));
    std::vector<float> ones(44100 / 10, 1.0f);
    ASSERT_TRUE(gain->Process(ones.data(), static_cast<std::int64_t>(ones.size())));
    EXPECT_GT(ones[0], 9.0f);
    for (std::size_t i = 1; i < ones.size(); ++i) {
        ASSERT_LE(ones[i], ones[i - 1]);
        ASSERT_LT(ones[i - 1] - ones[i], 0.05f);
    }
    EXPECT_NEAR(ones.back(), 1.0f, 1e-3f);
}

// ---- Every effect ------------------------------------------------------------------------

// Runs `input` through a fresh effect (with its last preset, if any) in
// blocks of the given sizes, repeated.
std::vector<float> RunInBlocks(const EffectDescriptor& d, int channels, int rate, std::vector<float> input,
                               const std::vector<int>& sizes)
{
    std::unique_ptr<Effect> effect = effects::CreateEffect(d);
    effect->SetFormat(channels, rate);
    if (d.presetCount > 0) {
        effect->ApplyPreset(d.presetCount - 1);
    }
    const int frames = static_cast<int>(input.size()) / channels;
    int done = 0;
    std::size_t next = 0;
    while (done < frames) {
        const int n = std::min(sizes[next++ % sizes.size()], frames - done);
        effect->Process(input.data() + static_cast<std::size_t>(done) * channels, n);
        done += n;
    }
    return input;
}

TEST(EffectsAll, OutputIndependentOfBlockSizes)
{
    const int channels = 2;
    const int rate = 44100;
    const std::vector<float> input = Noise(static_cast<std::size_t>(channels * 30000));
    const std::vector<int> whole = {30000};
    const std::vector<int> ones = {1};
    const std::vector<int> mixed = {1, 4096, 7, 333, 2, 1024, 4095, 64, 3};
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const EffectDescriptor& d = *effects::CatalogAt(i);
        SCOPED_TRACE(i);
        const std::vector<float> reference = RunInBlocks(d, channels, rate, input, whole);
        EXPECT_EQ(RunInBlocks(d, channels, rate, input, mixed), reference);
        EXPECT_EQ(RunInBlocks(d, channels, rate, input, ones), reference);
    }
}

// One array per channel gives what the interleaved frames give.
TEST(EffectsAll, PlanarBlocksMatchInterleavedFrames)
{
    const int channels = 3;
    const int frames = 9000;
    const std::vector<float> input = Noise(static_cast<std::size_t>(channels * frames), 7u);
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const EffectDescriptor& d = *effects::CatalogAt(i);
        SCOPED_TRACE(i);
        const std::vector<float> reference = RunInBlocks(d, channels, 48000, input, {frames});
        std::unique_ptr<Effect> effect = effects::CreateEffect(d);
        ASSERT_TRUE(effect->SetFormat(channels, 48000));
        if (d.presetCount > 0) {
            effect->ApplyPreset(d.presetCount - 1);
        }
        std::vector<std::vector<float>> planar(channels, std::vector<float>(frames));
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                planar[c][f] = input[static_cast<std::size_t>(f * channels + c)];
            }
        }
        float* table[channels] = {planar[0].data(), planar[1].data(), planar[2].data()};
        ASSERT_TRUE(effect->ProcessPlanar(table, 5000));
        float* rest[channels] = {table[0] + 5000, table[1] + 5000, table[2] + 5000};
        ASSERT_TRUE(effect->ProcessPlanar(rest, frames - 5000));
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                ASSERT_EQ(planar[c][f], reference[static_cast<std::size_t>(f * channels + c)]) << f << " " << c;
            }
        }
        float* missing[channels] = {table[0], nullptr, table[2]};
        EXPECT_FALSE(effect->ProcessPlanar(missing, 10));
        EXPECT_FALSE(effect->ProcessPlanar(nullptr, 10));
        EXPECT_FALSE(effect->ProcessPlanar(table, -1));
        EXPECT_TRUE(effect->ProcessPlanar(nullptr, 0));
    }
}

TEST(EffectsAll, SilenceStaysSilentAndBadInputStaysFinite)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const EffectDescriptor& d = *effects::CatalogAt(i);
        SCOPED_TRACE(i);
        std::unique_ptr<Effect> effect = effects::CreateEffect(d);
        ASSERT_TRUE(effect->SetFormat(2, 44100));
        std::vector<float> s(2 * 20000, 0.0f);
        ASSERT_TRUE(effect->Process(s.data(), 20000));
        for (float v : s) {
            ASSERT_EQ(v, 0.0f);
        }
        // Not numbers, infinities and enormous values in every other sample.
        const float bad[] = {nan, inf, -inf, 1e30f, -1e30f, std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min()};
        for (std::size_t k = 0; k < s.size(); ++k) {
            s[k] = k % 2 ? bad[(k / 2) % std::size(bad)] : 0.3f;
        }
        ASSERT_TRUE(effect->Process(s.data(), 20000));
        for (float v : s) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 1e4f);
        }
        // Afterwards silence decays to (nearly) nothing and stays finite.
        for (int round = 0; round < 16; ++round) {
            s.assign(s.size(), 0.0f);
            ASSERT_TRUE(effect->Process(s.data(), 20000));
        }
        for (float v : s) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 1e-3f);
        }
        // Reset silences at once.
        effect->Reset();
        std::fill(s.begin(), s.end(), 0.0f);
        ASSERT_TRUE(effect->Process(s.data(), 20000));
        for (float v : s) {
            ASSERT_EQ(v, 0.0f);
        }
    }
}

// Each channel is processed on its own: a signal in channel k leaves the
// other channels silent, for every channel count and some sample rates.
TEST(EffectsAll, ChannelsOneToEightAreIndependent)
{
    const int rates[] = {8000, 44100, 192000};
    for (int i = 0; i < effects::CatalogCount(); ++i) {
        const EffectDescriptor& d = *effects::CatalogAt(i);
        for (int channels = 1; channels <= effects::kMaxChannels; ++channels) {
            const int rate = rates[(i + channels) % 3];
            SCOPED_TRACE(testing::Message() << i << " " << channels << " " << rate);
            std::unique_ptr<Effect> effect = effects::CreateEffect(d);
            ASSERT_TRUE(effect->SetFormat(channels, rate));
            const int frames = 6000;
            const int live = channels - 1;
            const std::vector<float> noise = Noise(static_cast<std::size_t>(frames), 99u + static_cast<unsigned>(i));
            std::vector<float> s(static_cast<std::size_t>(frames * channels), 0.0f);
            for (int f = 0; f < frames; ++f) {
                s[static_cast<std::size_t>(f * channels + live)] = noise[static_cast<std::size_t>(f)];
            }
            ASSERT_TRUE(effect->Process(s.data(), frames));
            double other = 0.0;
            for (int f = 0; f < frames; ++f) {
                for (int c = 0; c < channels; ++c) {
                    const float v = s[static_cast<std::size_t>(f * channels + c)];
                    ASSERT_TRUE(std::isfinite(v));
                    if (c != live) {
                        other += std::fabs(v);
                    }
                }
            }
            EXPECT_EQ(other, 0.0);
        }
        std::unique_ptr<Effect> effect = effects::CreateEffect(d);
        EXPECT_FALSE(effect->SetFormat(effects::kMaxChannels + 1, 44100));
    }
}

}  // namespace
