// The effects that work sample by sample in the time domain: echo, reverb,
// chorus, flanger, distortion, tremolo, gain and the robot voice.
#include "effects_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace effects {
namespace {

int MsToSamples(double ms, int rate)
{
    return static_cast<int>(std::lround(ms * 0.001 * rate));
}

// ---- Echo ------------------------------------------------------------------------
// Each channel's line holds s[n] = x[n] + feedback * s[n - D]; the output is
// x[n] + level * s[n - D], so an impulse is followed by echoes of level,
// level * feedback, level * feedback^2, ... every D samples.
class Echo final : public Effect {
public:
    using Effect::Effect;

protected:
    void OnFormat() override
    {
        m_lines.resize(static_cast<std::size_t>(Channels()));
        const int maxDelay = MsToSamples(2000.0, SampleRate()) + 1;
        for (DelayLine& line : m_lines) {
            line.Resize(maxDelay);
        }
    }
    void OnParams() override { m_delay = std::clamp(MsToSamples(P(0), SampleRate()), 1, m_lines[0].Length()); }
    void Clear() override
    {
        for (DelayLine& line : m_lines) {
            line.Clear();
        }
    }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const float feedback = P(1);
        const float level = P(2);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                float& x = samples[f * channels + c];
                DelayLine& line = m_lines[static_cast<std::size_t>(c)];
                const float delayed = line.Read(m_delay);
                line.Push(Flush(x + feedback * delayed));
                x += level * delayed;
            }
        }
    }

private:
    std::vector<DelayLine> m_lines;
    int m_delay = 1;
};

// ---- Reverb ----------------------------------------------------------------------
// Eight damped feedback combs in parallel and four all-passes in series per
// channel (the classic Schroeder-Moorer structure); the line lengths are
// scaled to the sample rate and spread a little per channel so that the
// channels decorrelate.
constexpr std::array<int, 8> kCombTuning = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllpassTuning = {556, 441, 341, 225};
constexpr int kChannelSpread = 23;

class Reverb final : public Effect {
public:
    using Effect::Effect;

protected:
    struct Comb {
        DelayLine line;
        int length = 1;
        float store = 0.0f;
    };
    struct Allpass {
        DelayLine line;
        int length = 1;
    };
    struct Channel {
        std::array<Comb, 8> combs;
        std::array<Allpass, 4> allpasses;
    };

    void OnFormat() override
    {
        const double scale = SampleRate() / 44100.0;
        m_channels.assign(static_cast<std::size_t>(Channels()), Channel());
        for (int c = 0; c < Channels(); ++c) {
            Channel& ch = m_channels[static_cast<std::size_t>(c)];
            const int spread = kChannelSpread * c;
            for (std::size_t i = 0; i < ch.combs.size(); ++i) {
                ch.combs[i].length = std::max(1, static_cast<int>((kCombTuning[i] + spread) * scale));
                ch.combs[i].line.Resize(ch.combs[i].length);
            }
            for (std::size_t i = 0; i < ch.allpasses.size(); ++i) {
                ch.allpasses[i].length = std::max(1, static_cast<int>((kAllpassTuning[i] + spread) * scale));
                ch.allpasses[i].line.Resize(ch.allpasses[i].length);
            }
        }
    }
    void OnParams() override
    {
        m_feedback = 0.7f + 0.28f * P(0);
        m_damp = 0.4f * P(1);
    }
    void Clear() override
    {
        for (Channel& ch : m_channels) {
            for (Comb& comb : ch.combs) {
                comb.line.Clear();
                comb.store = 0.0f;
            }
            for (Allpass& ap : ch.allpasses) {
                ap.line.Clear();
            }
        }
    }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const float wet = P(2) * 0.25f;   // the eight combs add up
        const float dry = P(3);
        constexpr float kInputGain = 0.15f;
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                float& x = samples[f * channels + c];
                Channel& ch = m_channels[static_cast<std::size_t>(c)];
                const float in = x * kInputGain;
                float out = 0.0f;
                for (Comb& comb : ch.combs) {
                    const float y = comb.line.Read(comb.length);
                    comb.store = Flush(y * (1.0f - m_damp) + comb.store * m_damp);
                    comb.line.Push(Flush(in + comb.store * m_feedback));
                    out += y;
                }
                for (Allpass& ap : ch.allpasses) {
                    const float buffered = ap.line.Read(ap.length);
                    ap.line.Push(Flush(out + buffered * 0.5f));
                    out = buffered - out;
                }
                x = x * dry + out * wet;
            }
        }
    }

private:
    std::vector<Channel> m_channels;
    float m_feedback = 0.84f;
    float m_damp = 0.2f;
};

// ---- Chorus and flanger -------------------------------------------------------------
// A delay line read at base + depth * (1 + sin) / 2 ms; the sine's phase is
// offset per channel so that the channels move apart. The flanger feeds its
// delayed signal back.
class Modulated : public Effect {
public:
    Modulated(const EffectDescriptor& descriptor, bool flanger) : Effect(descriptor), m_flanger(flanger) {}

protected:
    void OnFormat() override
    {
        m_lines.resize(static_cast<std::size_t>(Channels()));
        const int maxDelay = MsToSamples(60.0, SampleRate()) + 4;
        for (DelayLine& line : m_lines) {
            line.Resize(maxDelay);
        }
    }
    void Clear() override
    {
        for (DelayLine& line : m_lines) {
            line.Clear();
        }
        m_phase = 0.0;
    }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const double rate = SampleRate();
        const double step = kTwoPi * P(0) / rate;
        const double depth = P(1) * 0.001 * rate;
        const double base = (m_flanger ? 0.5 : P(2)) * 0.001 * rate;
        const float feedback = m_flanger ? P(2) : 0.0f;
        const float mix = P(3);
        const double maxDelay = m_lines[0].Length() - 2;
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                float& x = samples[f * channels + c];
                DelayLine& line = m_lines[static_cast<std::size_t>(c)];
                const double offset = kTwoPi * c / channels;
                const double delay = std::clamp(base + depth * 0.5 * (1.0 + std::sin(m_phase + offset)), 1.0, maxDelay);
                const float delayed = line.ReadFrac(delay);
                line.Push(Flush(x + feedback * delayed));
                x = x * (1.0f - mix) + delayed * mix;
            }
            m_phase += step;
            if (m_phase >= kTwoPi) {
                m_phase -= kTwoPi;
            }
        }
    }

private:
    std::vector<DelayLine> m_lines;
    double m_phase = 0.0;
    bool m_flanger;
};

// ---- Distortion ----------------------------------------------------------------------
// Gain by the drive, a soft clip, a one-pole low-pass for the tone and the
// output level; the mix blends the clean signal back in.

// A rational soft clip close to tanh: odd, rising, 1 from |x| = 3 on.
float SoftClip(float x)
{
    if (x >= 3.0f) {
        return 1.0f;
    }
    if (x <= -3.0f) {
        return -1.0f;
    }
    const float x2 = x * x;
    return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

class Distortion final : public Effect {
public:
    using Effect::Effect;

protected:
    void OnFormat() override { m_state.assign(static_cast<std::size_t>(Channels()), 0.0f); }
    void OnParams() override
    {
        m_drive = static_cast<float>(std::pow(10.0, P(0) / 20.0));
        const double cutoff = std::min<double>(P(1), SampleRate() * 0.45);
        m_alpha = static_cast<float>(1.0 - std::exp(-kTwoPi * cutoff / SampleRate()));
    }
    void Clear() override { std::fill(m_state.begin(), m_state.end(), 0.0f); }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const float level = P(2);
        const float mix = P(3);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                float& x = samples[f * channels + c];
                float& state = m_state[static_cast<std::size_t>(c)];
                const float clipped = SoftClip(x * m_drive);
                state = Flush(state + m_alpha * (clipped - state));
                x = x * (1.0f - mix) + state * level * mix;
            }
        }
    }

private:
    std::vector<float> m_state;
    float m_drive = 10.0f;
    float m_alpha = 0.5f;
};

// ---- Tremolo ------------------------------------------------------------------------
// Gain 1 - depth * (1 - cos) / 2: between 1 and 1 - depth at the rate.
class Tremolo final : public Effect {
public:
    using Effect::Effect;

protected:
    void OnFormat() override {}
    void Clear() override { m_phase = 0.0; }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const double step = kTwoPi * P(0) / SampleRate();
        const double depth = P(1);
        for (int f = 0; f < frames; ++f) {
            const float gain = static_cast<float>(1.0 - depth * 0.5 * (1.0 - std::cos(m_phase)));
            for (int c = 0; c < channels; ++c) {
                samples[f * channels + c] *= gain;
            }
            m_phase += step;
            if (m_phase >= kTwoPi) {
                m_phase -= kTwoPi;
            }
        }
    }

private:
    double m_phase = 0.0;
};

// ---- Gain -----------------------------------------------------------------------------
// A new gain glides there in about 10 ms instead of stepping, so that moving
// a slider while sound plays does not click.
class Gain final : public Effect {
public:
    using Effect::Effect;

protected:
    void OnFormat() override { m_glide = static_cast<float>(1.0 - std::exp(-1.0 / (0.01 * SampleRate()))); }
    void OnParams() override
    {
        m_target = static_cast<float>(std::pow(10.0, P(0) / 20.0));
        if (!m_playing) {
            m_gain = m_target;   // before the sound starts there is nothing to glide from
        }
    }
    void Clear() override
    {
        m_gain = m_target;
        m_playing = false;
    }
    void Run(float* samples, int frames) override
    {
        m_playing = true;
        const int channels = Channels();
        for (int f = 0; f < frames; ++f) {
            if (m_gain != m_target) {
                m_gain += (m_target - m_gain) * m_glide;
                if (std::fabs(m_target - m_gain) <= 1e-6f * m_target) {
                    m_gain = m_target;
                }
            }
            for (int c = 0; c < channels; ++c) {
                samples[f * channels + c] *= m_gain;
            }
        }
    }

private:
    float m_gain = 1.0f;
    float m_target = 1.0f;
    float m_glide = 0.002f;
    bool m_playing = false;
};

// ---- Robot ----------------------------------------------------------------------------
// Ring modulation with a sine carrier followed by a feedback comb tuned to the
// carrier's period, which gives the metallic, monotone buzz; the comb's gain
// is normalised so that the level stays near the input's.
class Robot final : public Effect {
public:
    using Effect::Effect;

protected:
    void OnFormat() override
    {
        m_lines.resize(static_cast<std::size_t>(Channels()));
        for (DelayLine& line : m_lines) {
            line.Resize(SampleRate() / 20 + 2);
        }
    }
    void OnParams() override
    {
        m_period = std::clamp(static_cast<int>(std::lround(SampleRate() / static_cast<double>(P(0)))), 1,
                              m_lines[0].Length());
    }
    void Clear() override
    {
        for (DelayLine& line : m_lines) {
            line.Clear();
        }
        m_phase = 0.0;
    }
    void Run(float* samples, int frames) override
    {
        const int channels = Channels();
        const double step = kTwoPi * P(0) / SampleRate();
        const float resonance = P(1);
        const float norm = 1.0f - resonance;
        const float mix = P(2);
        for (int f = 0; f < frames; ++f) {
            // Twice the carrier's amplitude keeps a voice's loudness after the
            // modulation halves its mean power.
            const float carrier = static_cast<float>(std::sqrt(2.0) * std::sin(m_phase));
            for (int c = 0; c < channels; ++c) {
                float& x = samples[f * channels + c];
                DelayLine& line = m_lines[static_cast<std::size_t>(c)];
                const float modulated = x * carrier;
                const float y = Flush(modulated + resonance * line.Read(m_period));
                line.Push(y);
                x = x * (1.0f - mix) + y * norm * mix;
            }
            m_phase += step;
            if (m_phase >= kTwoPi) {
                m_phase -= kTwoPi;
            }
        }
    }

private:
    std::vector<DelayLine> m_lines;
    double m_phase = 0.0;
    int m_period = 1;
};

}  // namespace

std::unique_ptr<Effect> MakeEcho(const EffectDescriptor& d) { return std::make_unique<Echo>(d); }
std::unique_ptr<Effect> MakeReverb(const EffectDescriptor& d) { return std::make_unique<Reverb>(d); }
std::unique_ptr<Effect> MakeChorus(const EffectDescriptor& d) { return std::make_unique<Modulated>(d, false); }
std::unique_ptr<Effect> MakeFlanger(const EffectDescriptor& d) { return std::make_unique<Modulated>(d, true); }
std::unique_ptr<Effect> MakeDistortion(const EffectDescriptor& d) { return std::make_unique<Distortion>(d); }
std::unique_ptr<Effect> MakeTremolo(const EffectDescriptor& d) { return std::make_unique<Tremolo>(d); }
std::unique_ptr<Effect> MakeGain(const EffectDescriptor& d) { return std::make_unique<Gain>(d); }
std::unique_ptr<Effect> MakeRobot(const EffectDescriptor& d) { return std::make_unique<Robot>(d); }

}  // namespace effects
