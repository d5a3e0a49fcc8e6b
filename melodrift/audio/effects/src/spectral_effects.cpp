// The effects that work on short-time spectra: the pitch shifters (a phase
// vocoder that moves each bin's measured frequency by the ratio, so the
// speed stays the same) and the whisper (each bin keeps its magnitude and
// gets a random phase, which removes the voiced pitch).
//
// Frames of N samples with a Hann window, hop N/4, the same window again on
// synthesis. Input and output go through FIFOs one sample at a time, so the
// output is the same for any cutting into blocks; the latency is N - N/4
// samples and the dry part of the mix is delayed to match.
#include "effects_internal.h"

#include "dsp/signal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace effects {
namespace {

constexpr int kOversampling = 4;

// The FFT order whose frame length is nearest (on a log scale) to `seconds`
// at the sample rate, from 256 to 8192 samples.
int FrameOrder(int sampleRate, double seconds)
{
    const double ideal = std::log2(sampleRate * seconds);
    return std::clamp(static_cast<int>(std::lround(ideal)), 8, 13);
}

class Spectral : public Effect {
public:
    Spectral(const EffectDescriptor& descriptor, double frameSeconds)
        : Effect(descriptor), m_frameSeconds(frameSeconds)
    {
    }

protected:
    struct Channel {
        std::vector<float> inFifo;       // N
        std::vector<float> outAccum;     // 2N
        std::vector<float> outFifo;      // hop
        std::vector<float> dry;          // latency, circular
        std::vector<float> lastPhase;    // N/2 + 1
        std::vector<float> sumPhase;     // N/2 + 1
        Random random;
    };

    int FrameSize() const { return m_size; }
    int Bins() const { return m_size / 2 + 1; }
    int Hop() const { return m_size / kOversampling; }

    // Changes the spectrum of one frame in place (the CCS layout, N/2 + 1 bins).
    virtual void Transform(Channel& channel, ComplexF* spectrum) = 0;
    virtual float Mix() const = 0;

    void OnFormat() override
    {
        m_order = FrameOrder(SampleRate(), m_frameSeconds);
        m_size = 1 << m_order;
        m_window.resize(static_cast<std::size_t>(m_size));
        for (int i = 0; i < m_size; ++i) {
            m_window[static_cast<std::size_t>(i)] =
                static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * i / m_size));
        }
        m_frame.assign(static_cast<std::size_t>(m_size), 0.0f);
        m_spectrum.assign(static_cast<std::size_t>(Bins()), ComplexF{0.0f, 0.0f});
        // The transform builds its tables for a length on first use: here, on
        // the thread that sets the format, not on the sound's with the first frame.
        nspsRealFftlNip(m_frame.data(), m_spectrum.data(), m_order, NSP_FORWARD);
        nspsCcsFftlNip(m_spectrum.data(), m_frame.data(), m_order, NSP_INVERSE);
        m_channels.assign(static_cast<std::size_t>(Channels()), Channel());
        for (Channel& ch : m_channels) {
            ch.inFifo.resize(static_cast<std::size_t>(m_size));
            ch.outAccum.resize(static_cast<std::size_t>(2 * m_size));
            ch.outFifo.resize(static_cast<std::size_t>(Hop()));
            ch.dry.resize(static_cast<std::size_t>(m_size - Hop()));
            ch.lastPhase.resize(static_cast<std::size_t>(Bins()));
            ch.sumPhase.resize(static_cast<std::size_t>(Bins()));
        }
    }
    void Clear() override
    {
        std::uint32_t seed = 0x1234567u;
        for (Channel& ch : m_channels) {
            std::fill(ch.inFifo.begin(), ch.inFifo.end(), 0.0f);
            std::fill(ch.outAccum.begin(), ch.outAccum.end(), 0.0f);
            std::fill(ch.outFifo.begin(), ch.outFifo.end(), 0.0f);
            std::fill(ch.dry.begin(), ch.dry.end(), 0.0f);
            std::fill(ch.lastPhase.begin(), ch.lastPhase.end(), 0.0f);
            std::fill(ch.sumPhase.begin(), ch.sumPhase.end(), 0.0f);
            ch.random.Seed(seed);
            seed = seed * 1664525u + 1013904223u;
        }
        m_rover = m_size - Hop();
        m_dryPos = 0;
    }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const int latency = m_size - Hop();
        const float mix = Mix();
        for (int f = 0; f < frames; ++f) {
            const int slot = m_rover - latency;
            for (int c = 0; c < channels; ++c) {
                Channel& ch = m_channels[static_cast<std::size_t>(c)];
                float& x = samples[f * channels + c];
                ch.inFifo[static_cast<std::size_t>(m_rover)] = x;
                const float delayedDry = ch.dry[static_cast<std::size_t>(m_dryPos)];
                ch.dry[static_cast<std::size_t>(m_dryPos)] = x;
                x = delayedDry * (1.0f - mix) + ch.outFifo[static_cast<std::size_t>(slot)] * mix;
            }
            if (++m_dryPos == latency) {
                m_dryPos = 0;
            }
            if (++m_rover == m_size) {
                m_rover = latency;
                for (Channel& ch : m_channels) {
                    ProcessFrame(ch);
                }
            }
        }
    }

private:
    void ProcessFrame(Channel& ch)
    {
        const int n = m_size;
        const int hop = Hop();
        for (int i = 0; i < n; ++i) {
            m_frame[static_cast<std::size_t>(i)] = ch.inFifo[static_cast<std::size_t>(i)] * m_window[static_cast<std::size_t>(i)];
        }
        nspsRealFftlNip(m_frame.data(), m_spectrum.data(), m_order, NSP_FORWARD);
        Transform(ch, m_spectrum.data());
        m_spectrum[0].im = 0.0f;
        m_spectrum[static_cast<std::size_t>(n / 2)].im = 0.0f;
        nspsCcsFftlNip(m_spectrum.data(), m_frame.data(), m_order, NSP_INVERSE);
        // Hann analysis and synthesis at hop N/4 add up to 1.5.
        constexpr float kOverlapGain = 1.0f / 1.5f;
        for (int i = 0; i < n; ++i) {
            ch.outAccum[static_cast<std::size_t>(i)] +=
                m_window[static_cast<std::size_t>(i)] * m_frame[static_cast<std::size_t>(i)] * kOverlapGain;
        }
        std::copy(ch.outAccum.begin(), ch.outAccum.begin() + hop, ch.outFifo.begin());
        std::copy(ch.outAccum.begin() + hop, ch.outAccum.end(), ch.outAccum.begin());
        std::fill(ch.outAccum.end() - hop, ch.outAccum.end(), 0.0f);
        std::copy(ch.inFifo.begin() + hop, ch.inFifo.end(), ch.inFifo.begin());
    }

    double m_frameSeconds;
    int m_order = 11;
    int m_size = 2048;
    int m_rover = 0;
    int m_dryPos = 0;
    std::vector<float> m_window;
    std::vector<float> m_frame;
    std::vector<ComplexF> m_spectrum;
    std::vector<Channel> m_channels;
};

// Pitch shift by 2^(semitones / 12): each bin's true frequency is estimated
// from the phase advance between frames, the magnitudes are moved to the bin
// of the shifted frequency, and the phases are accumulated from the shifted
// frequencies. With "Keep Formants" the spectral envelope stays where it was
// (each moved partial takes the envelope's level where it lands), so a voice
// sings higher or lower without sounding smaller or larger.
class PitchShifter final : public Spectral {
public:
    explicit PitchShifter(const EffectDescriptor& descriptor) : Spectral(descriptor, 0.046) {}

protected:
    void OnFormat() override
    {
        Spectral::OnFormat();
        m_magnitude.resize(static_cast<std::size_t>(Bins()));
        m_frequency.resize(static_cast<std::size_t>(Bins()));
        m_synMagnitude.resize(static_cast<std::size_t>(Bins()));
        m_synFrequency.resize(static_cast<std::size_t>(Bins()));
        m_envelope.resize(static_cast<std::size_t>(Bins()));
        m_points.resize(static_cast<std::size_t>(Bins()));
        m_peakReach = std::max(6, static_cast<int>(130.0 * FrameSize() / SampleRate()));
    }
    void OnParams() override { m_ratio = static_cast<float>(std::pow(2.0, P(0) / 12.0)); }
    float Mix() const override { return P(1); }

    void Transform(Channel& ch, ComplexF* spectrum) override
    {
        const int bins = Bins();
        const double expected = kTwoPi / kOversampling;   // phase advance of bin 1 per hop
        float* lastPhase = ch.lastPhase.data();
        float* sumPhase = ch.sumPhase.data();
        float* magnitude = m_magnitude.data();
        float* frequency = m_frequency.data();
        float* synMagnitude = m_synMagnitude.data();
        float* synFrequency = m_synFrequency.data();
        for (int k = 0; k < bins; ++k) {
            const float re = spectrum[k].re;
            const float im = spectrum[k].im;
            const float phase = FastAtan2(im, re);
            double delta = static_cast<double>(phase) - lastPhase[k] - k * expected;
            lastPhase[k] = phase;
            delta -= kTwoPi * RoundNearest(delta * (1.0 / kTwoPi));
            // Frequency in bins.
            frequency[k] = static_cast<float>(k + delta * kOversampling / kTwoPi);
            magnitude[k] = std::sqrt(re * re + im * im);
        }
        std::fill(m_synMagnitude.begin(), m_synMagnitude.end(), 0.0f);
        std::fill(m_synFrequency.begin(), m_synFrequency.end(), 0.0f);
        const bool keepFormants = P(2) >= 0.5f;
        float* envelope = m_envelope.data();
        if (keepFormants) {
            Envelope(magnitude, bins, envelope);
        }
        const int last = std::min(bins, static_cast<int>((bins - 0.5f) / m_ratio) + 1);
        for (int k = 0; k < last; ++k) {
            const int target = static_cast<int>(k * m_ratio + 0.5f);
            if (target < bins) {
                synMagnitude[target] += keepFormants ? magnitude[k] / envelope[k] : magnitude[k];
                synFrequency[target] = frequency[k] * m_ratio;
            }
        }
        if (keepFormants) {
            for (int k = 0; k < bins; ++k) {
                synMagnitude[k] *= envelope[k];
            }
        }
        for (int k = 0; k < bins; ++k) {
            const double advance = kTwoPi * synFrequency[k] / kOversampling;
            double sum = sumPhase[k] + advance;
            sum -= kTwoPi * RoundNearest(sum * (1.0 / kTwoPi));
            sumPhase[k] = static_cast<float>(sum);
            float sine = 0.0f;
            float cosine = 0.0f;
            FastSinCos(sum, sine, cosine);
            spectrum[k].re = synMagnitude[k] * cosine;
            spectrum[k].im = synMagnitude[k] * sine;
        }
    }

private:
    // The spectral envelope through the frame's partials: every bin that is
    // the strongest within about 130 Hz on either side (less than the spacing
    // of a voice's harmonics, more than the window's side lobes reach) is a
    // point of it; the envelope runs between these points on a logarithmic
    // scale and stays level before the first and after the last. A partial
    // moved along it takes the level of the resonance it lands in; a lone
    // tone has one point only, a level envelope, and keeps its level wherever
    // it moves. Bins more than 50 dB below the loudest are the window's
    // leakage and noise, not partials: they are no points.
    void Envelope(const float* magnitude, int bins, float* envelope)
    {
        float loudest = 0.0f;
        for (int k = 0; k < bins; ++k) {
            loudest = std::max(loudest, magnitude[k]);
        }
        const float floor = loudest * 0.00316f;
        const int reach = m_peakReach;
        int points = 0;
        for (int k = 0; k < bins; ++k) {
            const float m = magnitude[k];
            bool point = m > floor;
            for (int j = std::max(0, k - reach); point && j < k; ++j) {
                point = magnitude[j] < m;
            }
            for (int j = k + 1; point && j <= std::min(bins - 1, k + reach); ++j) {
                point = magnitude[j] <= m;
            }
            if (point) {
                m_points[static_cast<std::size_t>(points++)] = k;
            }
        }
        if (points == 0) {
            std::fill(envelope, envelope + bins, 1.0f);   // silence: nothing to keep
            return;
        }
        int k = 0;
        for (; k <= m_points[0]; ++k) {
            envelope[k] = magnitude[m_points[0]];
        }
        for (int p = 1; p < points; ++p) {
            const int from = m_points[static_cast<std::size_t>(p - 1)];
            const int to = m_points[static_cast<std::size_t>(p)];
            // A constant factor from bin to bin: a straight line in decibels.
            const float step = std::pow(magnitude[to] / magnitude[from], 1.0f / static_cast<float>(to - from));
            float level = envelope[from];
            for (; k <= to; ++k) {
                level *= step;
                envelope[k] = level;
            }
        }
        for (; k < bins; ++k) {
            envelope[k] = magnitude[m_points[static_cast<std::size_t>(points - 1)]];
        }
    }

    float m_ratio = 1.0f;
    std::vector<float> m_magnitude;
    std::vector<float> m_frequency;
    std::vector<float> m_synMagnitude;
    std::vector<float> m_synFrequency;
    std::vector<float> m_envelope;
    std::vector<int> m_points;   // bins of the envelope's points
    int m_peakReach = 6;   // bins on either side of a point of the envelope
};

class Whisper final : public Spectral {
    // Frames with random phases add up by power, not by amplitude: the Hann
    // windows' overlap then gives sum(w^4) = 35/32 instead of sum(w^2)^2 = 9/4,
    // which this gain makes up for.
    static constexpr double kIncoherentGain = 1.4342743312012722;   // sqrt(72 / 35)

public:
    explicit Whisper(const EffectDescriptor& descriptor) : Spectral(descriptor, 0.012) {}

protected:
    float Mix() const override { return P(0); }
    void Transform(Channel& ch, ComplexF* spectrum) override
    {
        const int bins = Bins();
        for (int k = 0; k < bins; ++k) {
            const float re = spectrum[k].re;
            const float im = spectrum[k].im;
            const float magnitude = static_cast<float>(kIncoherentGain) * std::sqrt(re * re + im * im);
            float sine = 0.0f;
            float cosine = 0.0f;
            FastSinCos(kTwoPi * ch.random.Uniform(), sine, cosine);
            spectrum[k].re = magnitude * cosine;
            spectrum[k].im = magnitude * sine;
        }
    }
};

}  // namespace

std::unique_ptr<Effect> MakePitchShifter(const EffectDescriptor& d) { return std::make_unique<PitchShifter>(d); }
std::unique_ptr<Effect> MakeWhisper(const EffectDescriptor& d) { return std::make_unique<Whisper>(d); }

}  // namespace effects
