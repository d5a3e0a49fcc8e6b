// The ten-band equalizer: design spectrum, delay and band gains measured with
// tones, block handling, and the presets and slider mapping.
#include "dsp/equalizer.h"
#include "dsp/equalizer_preset.h"

#include "dsp_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using dsptest::Noise;
using dsptest::Sine;
using dsptest::ToneAmplitude;

constexpr int kRate = 44100;
constexpr std::size_t kDelay = 3072;

// Frequency of bin k of the 2048-point design transform, in cycles per sample:
// tones there meet the designed gain exactly.
double BinFrequency(int k)
{
    return k / 2048.0;
}

std::unique_ptr<CEqualizer> MakeEqualizer(const float gains[10], int rate = kRate)
{
    auto eq = std::make_unique<CEqualizer>();
    eq->SetSampleRate(rate);
    eq->SetGains(gains);
    return eq;
}

std::vector<float> Filter(CEqualizer& eq, const std::vector<float>& in)
{
    std::vector<float> out(in.size());
    eq.Process(static_cast<std::int32_t>(in.size()), in.data(), out.data());
    return out;
}

// Bin range [first, end) of a band at 44100 Hz as the design computes it.
void BandBins(int band, int& first, int& end)
{
    first = static_cast<int>(static_cast<double>(CEqualizer::kDefaultEdges[band]) / kRate * 2048.0);
    end = static_cast<int>(std::min(0.5, static_cast<double>(CEqualizer::kDefaultEdges[band + 1]) / kRate) * 2048.0);
}

// Amplitude out of the equalizer for a unit tone at design bin k (steady state).
double Response(const float gains[10], int k)
{
    auto eq = MakeEqualizer(gains);
    const std::vector<float> in = Sine(BinFrequency(k), 1.0, 12288, 0.3);
    const std::vector<float> out = Filter(*eq, in);
    return ToneAmplitude(out, 8192, 4096, BinFrequency(k));
}

TEST(DspEqualizer, ConstructionSetsEdgesFlatGainsAndSilence)
{
    CEqualizer eq;
    const std::uint32_t edges[11] = {0, 50, 100, 200, 400, 800, 1500, 3000, 6000, 12000, 22000};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(eq.GetBandEdge(i), edges[i]);
    }
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(eq.GetGain(b), 1.0f);
    }
    EXPECT_EQ(eq.GetSampleRate(), 0);
    // Not designed yet: nothing passes.
    const std::vector<float> in = Noise(10000, 1);
    for (float v : Filter(eq, in)) {
        ASSERT_EQ(v, 0.0f);
    }
}

TEST(DspEqualizer, GainMapping)
{
    EXPECT_EQ(CEqualizer::MapGain(0.0f), 0.0f);
    EXPECT_EQ(CEqualizer::MapGain(0.37f), 0.37f);
    EXPECT_EQ(CEqualizer::MapGain(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(CEqualizer::MapGain(2.0f), 5.0f);
    EXPECT_FLOAT_EQ(CEqualizer::MapGain(1.5f), std::sqrt(5.0f));
    EXPECT_FLOAT_EQ(CEqualizer::MapGain(3.0f), 25.0f);
    // A band is never inverted or made infinite.
    EXPECT_EQ(CEqualizer::MapGain(-0.5f), 0.0f);
    EXPECT_EQ(CEqualizer::MapGain(std::numeric_limits<float>::quiet_NaN()), 1.0f);
    EXPECT_TRUE(std::isfinite(CEqualizer::MapGain(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isfinite(CEqualizer::MapGain(1e30f)));

    CEqualizer eq;
    const float gains[10] = {2, 0, 1, 0.5f, 1.5f, -1, 1, 1, 1, 1};
    eq.SetGains(gains);
    EXPECT_FLOAT_EQ(eq.GetGain(0), 5.0f);
    EXPECT_EQ(eq.GetGain(1), 0.0f);
    EXPECT_EQ(eq.GetGain(3), 0.5f);
    EXPECT_FLOAT_EQ(eq.GetGain(4), std::sqrt(5.0f));
    EXPECT_EQ(eq.GetGain(5), 0.0f);
}

TEST(DspEqualizer, DesignSpectrumBinRangesAt44100)
{
    ComplexF spectrum[CEqualizer::kDesignBins];
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    CEqualizer::DesignSpectrum(CEqualizer::kDefaultEdges, flat, kRate, spectrum);
    for (int j = 0; j <= 1020; ++j) {
        ASSERT_FLOAT_EQ(spectrum[j].re, 1.0f) << "bin " << j;
    }
    for (int j = 1021; j <= 1024; ++j) {
        EXPECT_EQ(spectrum[j].re, 0.0f) << "bin " << j;
    }
    for (const ComplexF& c : spectrum) {
        ASSERT_EQ(c.im, 0.0f);
    }

    // Distinct gains show where each band starts and ends.
    const float gains[10] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    CEqualizer::DesignSpectrum(CEqualizer::kDefaultEdges, gains, kRate, spectrum);
    // Band 0 covers bins 0 and 1 at its own gain; band 1 takes over at bin 2.
    EXPECT_FLOAT_EQ(spectrum[0].re, 2.0f);
    EXPECT_FLOAT_EQ(spectrum[1].re, 2.0f);
    EXPECT_GT(spectrum[2].re, 2.0f);
    // The top band (12000-22000 Hz, bins 557..1020) ends on its gain at bin 1020.
    EXPECT_FLOAT_EQ(spectrum[1020].re, 11.0f);
    EXPECT_EQ(spectrum[1021].re, 0.0f);
    int first = 0, end = 0;
    BandBins(9, first, end);
    EXPECT_EQ(first, 557);
    EXPECT_EQ(end, 1021);
    // Every band ramps up from the gain below it to its own, reached at its last bin.
    for (int band = 1; band < 10; ++band) {
        BandBins(band, first, end);
        ASSERT_LT(first, end);
        EXPECT_FLOAT_EQ(spectrum[end - 1].re, gains[band]) << "band " << band;
        for (int j = first; j < end; ++j) {
            EXPECT_GT(spectrum[j].re, gains[band - 1]) << "bin " << j;
            EXPECT_LE(spectrum[j].re, gains[band]) << "bin " << j;
            if (j > first) {
                EXPECT_GT(spectrum[j].re, spectrum[j - 1].re) << "bin " << j;
            }
        }
        // Half-way through the ramp the gain is half-way between the two.
        if ((end - first) % 2 == 0) {
            EXPECT_NEAR(spectrum[first + (end - first) / 2 - 1].re, (gains[band - 1] + gains[band]) / 2, 1e-5)
                << "band " << band;
        }
    }
}

TEST(DspEqualizer, DesignSpectrumAtOtherRates)
{
    ComplexF spectrum[CEqualizer::kDesignBins];
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    // At 48000 Hz the 22000 Hz edge falls on bin 938.67: bins up to 937 pass.
    CEqualizer::DesignSpectrum(CEqualizer::kDefaultEdges, flat, 48000, spectrum);
    EXPECT_FLOAT_EQ(spectrum[937].re, 1.0f);
    EXPECT_EQ(spectrum[938].re, 0.0f);
    // At 22050 Hz the top edges lie beyond half the rate and are limited to it:
    // everything up to bin 1023 passes.
    CEqualizer::DesignSpectrum(CEqualizer::kDefaultEdges, flat, 22050, spectrum);
    EXPECT_FLOAT_EQ(spectrum[1023].re, 1.0f);
    EXPECT_EQ(spectrum[1024].re, 0.0f);
    // No rate, or a negative one: every band is empty.
    for (int rate : {0, -44100}) {
        CEqualizer::DesignSpectrum(CEqualizer::kDefaultEdges, flat, rate, spectrum);
        for (const ComplexF& c : spectrum) {
            ASSERT_EQ(c.re, 0.0f) << rate;
        }
    }
    // Edges out of order give empty bands instead of running backwards.
    const std::uint32_t odd[11] = {0, 50, 40, 200, 400, 100000, 1500, 3000, 6000, 12000, 22000};
    CEqualizer::DesignSpectrum(odd, flat, kRate, spectrum);
    EXPECT_FLOAT_EQ(spectrum[1].re, 1.0f);
}

TEST(DspEqualizer, FlatGainsDelayTheInputBy3072SamplesAndRemoveAbove22kHz)
{
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    auto eq = MakeEqualizer(flat);

    // Tones on design bins below the 22000 Hz edge (up to 21963 Hz at bin 1020),
    // and one above it (bin 1023, 22028 Hz).
    const std::size_t n = 16 * 2048;
    const std::vector<float> t1 = Sine(BinFrequency(3), 0.3, n, 0.1);
    const std::vector<float> t2 = Sine(BinFrequency(250), 0.2, n, 1.0);
    const std::vector<float> t3 = Sine(BinFrequency(1020), 0.2, n, 2.0);
    const std::vector<float> high = Sine(BinFrequency(1023), 0.25, n, 0.5);
    std::vector<float> in(n), passband(n);
    for (std::size_t i = 0; i < n; ++i) {
        passband[i] = t1[i] + t2[i] + t3[i];
        in[i] = passband[i] + high[i];
    }
    // Fed in uneven pieces, as the engine's blocks come.
    std::vector<float> out(n);
    std::size_t done = 0;
    const std::size_t pieces[] = {1, 1000, 2047, 2049, 4096, 7, 11025};
    for (std::size_t k = 0; done < n; ++k) {
        const std::size_t count = std::min(pieces[k % std::size(pieces)], n - done);
        eq->Process(static_cast<std::int32_t>(count), in.data() + done, out.data() + done);
        done += count;
    }

    for (std::size_t i = 0; i < 2048; ++i) {
        ASSERT_EQ(out[i], 0.0f) << i;
    }
    // Once the whole filter has seen the signal, the output is the pass band
    // of the input, 3072 samples late.
    double worst = 0.0;
    for (std::size_t i = kDelay + 2048; i < n; ++i) {
        worst = std::max(worst, std::fabs(static_cast<double>(out[i]) - passband[i - kDelay]));
    }
    EXPECT_LT(worst, 2e-5);
    EXPECT_LT(ToneAmplitude(out, 8192, 8192, BinFrequency(1023)), 1e-5);
}

TEST(DspEqualizer, ImpulseResponseIsSymmetricAroundTheDelay)
{
    const float gains[10] = {1.2f, 0.4f, 1.7f, 1, 0.2f, 1.9f, 1, 0.6f, 1.3f, 1};
    auto eq = MakeEqualizer(gains);
    std::vector<float> in(4 * 2048, 0.0f);
    const std::size_t at = 700;
    in[at] = 1.0f;
    const std::vector<float> out = Filter(*eq, in);
    // Linear phase: the response is symmetric about input time + 3072, and
    // nothing comes out before the first tap (input time + 2048).
    const std::size_t centre = at + kDelay;
    std::size_t peak = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (std::fabs(out[i]) > std::fabs(out[peak])) {
            peak = i;
        }
    }
    EXPECT_EQ(peak, centre);
    for (std::size_t d = 1; d < 1024; ++d) {
        ASSERT_NEAR(out[centre + d], out[centre - d], 1e-6) << d;
    }
    // (Exactly zero while the first output block plays, zero but for the
    // transform's rounding after that.)
    for (std::size_t i = 0; i < 2048; ++i) {
        ASSERT_EQ(out[i], 0.0f) << i;
    }
    for (std::size_t i = 2048; i < at + 2048; ++i) {
        ASSERT_NEAR(out[i], 0.0f, 1e-6) << i;
    }
    for (std::size_t i = at + 2048 + 2048; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], 0.0f, 1e-6) << i;
    }
}

TEST(DspEqualizer, BandGainsMeasuredWithTonesAtBandCentres)
{
    for (int band = 1; band < 10; ++band) {
        int first = 0, end = 0;
        BandBins(band, first, end);
        const int centre = (first + end) / 2;

        // A band at gain 2 (and the band below it, so that the ramp into this
        // band starts at the same gain) multiplies its tones by 5.
        float gains[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        gains[band] = 2.0f;
        gains[band - 1] = 2.0f;
        EXPECT_NEAR(Response(gains, centre), 5.0, 1e-3) << "band " << band;

        // At gain 0 the band is silent.
        gains[band] = 0.0f;
        gains[band - 1] = 0.0f;
        EXPECT_LT(Response(gains, centre), 1e-5) << "band " << band;

        // Alone at gain 2, the band reaches the factor 5 at its top bin; its
        // lower part ramps up from the neighbour's gain of 1.
        float alone[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        alone[band] = 2.0f;
        EXPECT_NEAR(Response(alone, end - 1), 5.0, 1e-3) << "band " << band;
        if (end - first >= 4) {
            const double mid = Response(alone, centre);
            EXPECT_GT(mid, 1.5) << "band " << band;
            EXPECT_LT(mid, 4.5) << "band " << band;
        }
        alone[band] = 0.0f;
        EXPECT_LT(Response(alone, end - 1), 1e-5) << "band " << band;
    }
    // The lowest band has no ramp: its own gain covers bins 0 and 1.
    const float low[10] = {2, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_NEAR(Response(low, 1), 5.0, 1e-3);
    // The bands leave each other alone: boosting band 7 leaves band 2's tone.
    const float other[10] = {1, 1, 1, 1, 1, 1, 2, 2, 1, 1};
    EXPECT_NEAR(Response(other, 6), 1.0, 1e-3);
}

TEST(DspEqualizer, InPlaceAndPiecewiseProcessingGiveTheSameOutput)
{
    const float gains[10] = {1.5f, 1, 0.3f, 1, 1.8f, 1, 1, 0.7f, 1, 1.1f};
    const std::vector<float> in = Noise(20000, 42);
    auto whole = MakeEqualizer(gains);
    const std::vector<float> expected = Filter(*whole, in);

    auto pieces = MakeEqualizer(gains);
    std::vector<float> buffer = in;
    std::size_t done = 0;
    for (std::size_t step = 1; done < buffer.size(); step = step * 3 + 1) {
        const std::size_t count = std::min(step % 5000 + 1, buffer.size() - done);
        pieces->Process(static_cast<std::int32_t>(count), buffer.data() + done, buffer.data() + done);
        done += count;
    }
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(buffer[i], expected[i]) << i;
    }
}

TEST(DspEqualizer, ResetForgetsThePastButKeepsThePhaseAndTheFilter)
{
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    auto eq = MakeEqualizer(flat);
    // Leave collected input, pending output and overlap behind, mid-block.
    const std::vector<float> noise = Noise(5000, 8);
    Filter(*eq, noise);
    eq->Reset();

    std::vector<float> in(4 * 2048, 0.0f);
    in[100] = 1.0f;
    const std::vector<float> out = Filter(*eq, in);
    // 5000 samples left the position at 904: the rest of the cleared output
    // block is exactly silent, and the next block brings nothing but the
    // impulse's response, which starts 2048 samples after it.
    for (std::size_t i = 0; i < 2048 - 904; ++i) {
        ASSERT_EQ(out[i], 0.0f) << i;
    }
    for (std::size_t i = 2048 - 904; i < 100 + 2048; ++i) {
        ASSERT_NEAR(out[i], 0.0f, 1e-6) << i;
    }
    // The filter is still designed and the delay still 3072.
    EXPECT_NEAR(out[100 + kDelay], 1021.0 * 2 / 2048 - 1.0 / 2048, 1e-4);

    // Bad arguments change nothing.
    eq->Process(0, in.data(), in.data());
    eq->Process(-5, in.data(), in.data());
    eq->Process(10, nullptr, in.data());
    eq->Process(10, in.data(), nullptr);
    EXPECT_EQ(in[100], 1.0f);
}

TEST(DspEqualizer, NoRateMeansSilenceAndANewRateRedesigns)
{
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    auto eq = MakeEqualizer(flat, 0);
    const std::vector<float> in = Sine(BinFrequency(100), 0.5, 12288);
    for (float v : Filter(*eq, in)) {
        ASSERT_EQ(v, 0.0f);
    }
    eq->SetSampleRate(-8000);
    for (float v : Filter(*eq, in)) {
        ASSERT_EQ(v, 0.0f);
    }
    // At 48000 Hz, bin 950 (22266 Hz) lies above the top edge, bin 930 below it.
    eq->SetSampleRate(48000);
    eq->Reset();
    const std::vector<float> below = Filter(*eq, Sine(BinFrequency(930), 0.5, 12288));
    EXPECT_NEAR(ToneAmplitude(below, 8192, 4096, BinFrequency(930)), 0.5, 1e-4);
    eq->Reset();
    const std::vector<float> above = Filter(*eq, Sine(BinFrequency(950), 0.5, 12288));
    EXPECT_LT(ToneAmplitude(above, 8192, 4096, BinFrequency(950)), 1e-5);
}

TEST(DspEqualizerPreset, ValuesSeparatorAndMatching)
{
    CEqualizerPreset preset(L"Rock");
    EXPECT_EQ(preset.GetName(), L"Rock");
    EXPECT_FALSE(preset.IsSeparator());
    ASSERT_EQ(preset.GetCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(preset.GetValue(i), 100);
    }
    std::int32_t positions[10] = {100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    EXPECT_TRUE(preset.Matches(positions));
    preset.SetValue(9, 40);
    preset.SetValue(10, 7);   // no band 11
    preset.SetValue(-1, 7);
    EXPECT_EQ(preset.GetValue(9), 40);
    EXPECT_EQ(preset.GetValue(10), 100);
    EXPECT_FALSE(preset.Matches(positions));
    positions[9] = 40;
    EXPECT_TRUE(preset.Matches(positions));

    EXPECT_TRUE(CEqualizerPreset(L"----").IsSeparator());
    EXPECT_FALSE(CEqualizerPreset(L"---").IsSeparator());
}

TEST(DspEqualizerPreset, SliderPositionsMapToGains)
{
    EXPECT_EQ(EqualizerSliderToGain(100), 1.0f);
    EXPECT_EQ(EqualizerSliderToGain(0), 2.0f);
    EXPECT_EQ(EqualizerSliderToGain(200), 0.0f);
    EXPECT_FLOAT_EQ(EqualizerSliderToGain(150), 0.5f);
    // Slider at 0: gain 2, a factor of 5 in the band.
    EXPECT_FLOAT_EQ(CEqualizer::MapGain(EqualizerSliderToGain(0)), 5.0f);
}

}  // namespace
