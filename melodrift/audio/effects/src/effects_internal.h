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

// The nearest whole number of a value well inside the range of long long
// (a cast instead of the library's rounding call, which is not inlined
// everywhere). Values within the range of int, the usual case of the phase
// arithmetic, go through int: a 32-bit program converts to int in one SSE2
// instruction, to long long only on the x87 unit with two switches of its
// rounding mode.
inline double RoundNearest(double v)
{
    const double shifted = v >= 0.0 ? v + 0.5 : v - 0.5;
    if (shifted > -2147483647.0 && shifted < 2147483647.0) {
        return static_cast<double>(static_cast<int>(shifted));
    }
    return static_cast<double>(static_cast<long long>(shifted));
}

// Values that would decay into subnormal numbers in a feedback path become 0.
inline float Flush(float v)
{
    return std::fabs(v) < 1e-25f ? 0.0f : v;
}

// atan2 within about 1e-5 radians (a minimax polynomial on one octant), for
// the spectral effects, where the library's atan2 costs more than the FFT.
// Without branches: the phases of sound are random, so branches on their
// octant would be mispredicted half of the time.
inline float FastAtan2(float y, float x)
{
    const float ax = std::fabs(x);
    const float ay = std::fabs(y);
    const float most = std::max(ax, ay);
    const float z = std::min(ax, ay) / (most > 0.0f ? most : 1.0f);
    const float z2 = z * z;
    float a = z * (0.99997726f +
                   z2 * (-0.33262347f + z2 * (0.19354346f + z2 * (-0.11643287f + z2 * (0.05265332f + z2 * -0.01172120f)))));
    a = ay > ax ? 1.57079632679f - a : a;
    a = x < 0.0f ? 3.14159265359f - a : a;
    return y < 0.0f ? -a : a;
}

// Sine and cosine within about 3e-7 (reduction to a quarter turn, then short
// Taylor series; the quadrant chosen by table, without branches).
inline void FastSinCos(double phase, float& sine, float& cosine)
{
    constexpr double kHalfPi = 1.5707963267948966;
    static constexpr float kSineSign[4] = {1.0f, 1.0f, -1.0f, -1.0f};
    static constexpr float kCosineSign[4] = {1.0f, -1.0f, -1.0f, 1.0f};
    const double turns = RoundNearest(phase * (1.0 / kHalfPi));
    const float r = static_cast<float>(phase - turns * kHalfPi);
    const float r2 = r * r;
    const float s = r * (1.0f - r2 * (1.0f / 6.0f - r2 * (1.0f / 120.0f - r2 * (1.0f / 5040.0f))));
    const float c = 1.0f - r2 * (0.5f - r2 * (1.0f / 24.0f - r2 * (1.0f / 720.0f - r2 * (1.0f / 40320.0f))));
    // The quadrant (through int where it fits, see RoundNearest).
    const int q = turns > -2147483647.0 && turns < 2147483647.0 ? static_cast<int>(turns) & 3
                                                                 : static_cast<int>(static_cast<long long>(turns) & 3);
    const float both[2] = {s, c};
    sine = kSineSign[q] * both[q & 1];
    cosine = kCosineSign[q] * both[(q & 1) ^ 1];
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
