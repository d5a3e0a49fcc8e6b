// Factories of the effect classes, used by the catalog, and small helpers
// shared by the effect sources.
#pragma once

#include "effects/effect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace effects {

std::unique_ptr<Effect> MakePitchShifter(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeWhisper(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeRobot(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeEcho(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeReverb(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeChorus(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeFlanger(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeDistortion(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeTremolo(const EffectDescriptor& descriptor);
std::unique_ptr<Effect> MakeGain(const EffectDescriptor& descriptor);

inline constexpr double kTwoPi = 6.283185307179586476925286766559;

// Values that would decay into subnormal numbers in a feedback path become 0.
inline float Flush(float v)
{
    return std::fabs(v) < 1e-25f ? 0.0f : v;
}

// A circular delay line of one channel with a fractional (linear) read.
class DelayLine {
public:
    void Resize(int length)
    {
        m_buffer.assign(static_cast<std::size_t>(length < 1 ? 1 : length), 0.0f);
        m_write = 0;
    }
    void Clear() { std::fill(m_buffer.begin(), m_buffer.end(), 0.0f); m_write = 0; }
    int Length() const { return static_cast<int>(m_buffer.size()); }
    void Push(float v)
    {
        m_buffer[static_cast<std::size_t>(m_write)] = v;
        if (++m_write == Length()) {
            m_write = 0;
        }
    }
    // The sample pushed `delay` pushes ago (1 = the last one), delay in 1..Length().
    float Read(int delay) const
    {
        int index = m_write - delay;
        if (index < 0) {
            index += Length();
        }
        return m_buffer[static_cast<std::size_t>(index)];
    }
    // Fractional delay in [1, Length() - 1], linear interpolation.
    float ReadFrac(double delay) const
    {
        const int whole = static_cast<int>(delay);
        const float frac = static_cast<float>(delay - whole);
        const float a = Read(whole);
        const float b = Read(whole + 1);
        return a + (b - a) * frac;
    }

private:
    std::vector<float> m_buffer = std::vector<float>(1, 0.0f);
    int m_write = 0;
};

// A deterministic pseudo-random generator (xorshift32), so that the output of
// the effects that use noise is reproducible after Reset().
class Random {
public:
    explicit Random(std::uint32_t seed = 0x9E3779B9u) : m_state(seed ? seed : 1u) {}
    void Seed(std::uint32_t seed) { m_state = seed ? seed : 1u; }
    std::uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // Uniform in [0, 1).
    double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }

private:
    std::uint32_t m_state;
};

}  // namespace effects
