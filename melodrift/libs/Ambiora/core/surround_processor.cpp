// The surround processor: see surround_processor.h.
#include "surround_processor.h"

#include "surround_constants.h"

#include <algorithm>
#include <cmath>

namespace ambiora {

using detail::kPi;
using detail::kSpeedOfSound;

namespace {

constexpr float kMinRoom = 1.0f;
constexpr float kMaxRoom = 60.0f;
constexpr float kMaxLevel = 4.0f;
constexpr double kReverbInput = 0.25;
constexpr double kFadeSeconds = 0.01;
constexpr float kMaxSample = 1.0e4f;   // far beyond full scale (1.0)

// Relative lengths of the reverberation lines (mutually prime when scaled).
constexpr double kLineFactors[8] = {0.61, 0.73, 0.83, 0.97, 1.07, 1.19, 1.31, 1.43};
// Signs with which the source enters each line.
constexpr float kInputSigns[8] = {1, -1, 1, -1, -1, 1, -1, 1};

struct RoomAcoustics {
    double ceiling;
    double volume;
    double surface;
    double meanFreePath;
};

RoomAcoustics Acoustics(double width, double depth)
{
    RoomAcoustics a;
    a.ceiling = std::clamp(0.125 * (width + depth), 2.5, 12.0);
    a.volume = width * depth * a.ceiling;
    a.surface = 2.0 * (width * depth + width * a.ceiling + depth * a.ceiling);
    a.meanFreePath = 4.0 * a.volume / a.surface;
    return a;
}

float ClampLevel(float value)
{
    if (!(value >= 0.0f)) {
        return 0.0f;   // negative or NaN
    }
    return std::min(value, kMaxLevel);
}

float ClampUnit(float value, float lo, float hi)
{
    if (!(value == value)) {
        return lo;
    }
    return std::clamp(value, lo, hi);
}

// Row k of the 8 x 8 Hadamard matrix, entry i: +1 or -1.
float Hadamard(int k, int i)
{
    int bits = k & i;
    int parity = 0;
    while (bits) {
        parity ^= bits & 1;
        bits >>= 1;
    }
    return parity ? -1.0f : 1.0f;
}

std::uint32_t NextPowerOfTwo(std::uint64_t n)
{
    std::uint32_t p = 1;
    while (p < n && p < (1u << 30)) {
        p <<= 1;
    }
    return p;
}

}  // namespace

int SpeakerCount(std::uint32_t mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1) {
        ++n;
    }
    return n;
}

bool IsSupportedLayout(std::uint32_t mask)
{
    if (mask == 0 || (mask & ~static_cast<std::uint32_t>(kKnownSpeakers)) != 0) {
        return false;
    }
    const int n = SpeakerCount(mask);
    return n >= 1 && n <= kMaxChannels && (mask & ~static_cast<std::uint32_t>(kLowFrequency)) != 0;
}

std::uint32_t DefaultMask(int channels)
{
    switch (channels) {
    case 1: return kFrontCenter;
    case 2: return kFrontLeft | kFrontRight;
    case 3: return kFrontLeft | kFrontRight | kFrontCenter;
    case 4: return kFrontLeft | kFrontRight | kBackLeft | kBackRight;
    case 5: return kFrontLeft | kFrontRight | kFrontCenter | kBackLeft | kBackRight;
    case 6: return 0x3F;
    case 7: return 0x63B;
    case 8: return 0x63F;
    default: return 0;
    }
}


float SurroundProcessor::Biquad::Run(float x)
{
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return static_cast<float>(y);
}

SurroundProcessor::SurroundProcessor()
{
    m_pendingMask = 0x3F;
    m_x = m_width / 2;
    m_y = m_height / 4;
    SetInputFormat(StreamFormat{});
}

SurroundProcessor::~SurroundProcessor() = default;

bool SurroundProcessor::SetInputFormat(const StreamFormat& format)
{
    if (format.channels < 1 || format.channels > kMaxChannels || format.sampleRate < 8000 ||
        format.sampleRate > 384000) {
        return false;
    }
    StreamFormat f = format;
    if (SpeakerCount(f.channelMask) != f.channels || (f.channelMask & ~static_cast<std::uint32_t>(kKnownSpeakers))) {
        f.channelMask = DefaultMask(f.channels);
    }
    m_input = f;

    // Longest path difference of a reflection in the largest room, plus a chunk.
    const double diagonal = std::hypot(kMaxRoom, kMaxRoom);
    const double maxDelay = 3.0 * diagonal / kSpeedOfSound * f.sampleRate + 2 * kChunk;
    const std::uint32_t lineLength = NextPowerOfTwo(static_cast<std::uint64_t>(maxDelay));
    m_line.assign(lineLength, 0.0f);
    m_lineMask = lineLength - 1;
    m_writePos = 0;

    const double maxPath = Acoustics(kMaxRoom, kMaxRoom).meanFreePath / kSpeedOfSound * f.sampleRate;
    for (int i = 0; i < kLines; ++i) {
        m_fdn[i].assign(static_cast<std::size_t>(maxPath * kLineFactors[i]) + 2, 0.0f);
    }
    m_fadeLength = std::max<std::int32_t>(1, static_cast<std::int32_t>(kFadeSeconds * f.sampleRate));
    m_taps[0].clear();
    m_taps[1].clear();
    m_taps[0].reserve(kMaxChannels * 5);
    m_taps[1].reserve(kMaxChannels * 5);
    m_fadeLeft = 0;
    Update();
    Reset();
    return true;
}

bool SurroundProcessor::SetSpeakersConfig(std::uint32_t mask, bool update)
{
    if (!IsSupportedLayout(mask)) {
        return false;
    }
    m_pendingMask = mask;
    if (update) {
        Update();
    }
    return true;
}

void SurroundProcessor::SetSoundPos(float x, float y, bool update)
{
    m_x = x == x ? x : 0.0f;
    m_y = y == y ? y : 0.0f;
    if (update) {
        Update();
    }
}

void SurroundProcessor::SetRoomSize(float width, float height, bool update)
{
    m_width = ClampUnit(width, kMinRoom, kMaxRoom);
    m_height = ClampUnit(height, kMinRoom, kMaxRoom);
    if (update) {
        Update();
    }
}

void SurroundProcessor::SetRevHFDecay(float value)
{
    m_hfDecay = ClampUnit(value, 0.0f, 1.0f);
    UpdateReverb();
}

void SurroundProcessor::SetRevAbsorb(float value)
{
    m_absorb = ClampUnit(value, 0.01f, 0.99f);
    UpdateReverb();
}

void SurroundProcessor::SetRevDry(float value)
{
    m_dry = ClampLevel(value);
    m_appliedDry = m_dry;
}

void SurroundProcessor::SetRevWet(float value)
{
    m_wet = ClampLevel(value);
}

void SurroundProcessor::SetLFEVolume(float value, bool update)
{
    m_lfeVolume = ClampLevel(value);
    if (update) {
        m_appliedLfeVolume = m_lfeVolume;
    }
}

void SurroundProcessor::SetVolume(float value, bool update)
{
    m_volume = ClampLevel(value);
    if (update) {
        Update();
    }
}

void SurroundProcessor::SetLFEMaxFreq(std::int32_t hz, bool update)
{
    m_lfeFreq = std::clamp<std::int32_t>(hz, 20, 500);
    if (update) {
        UpdateLowFrequency();
    }
}

void SurroundProcessor::SetReverb(bool on)
{
    if (on != m_reverbOn) {
        m_reverbOn = on;
        if (on) {
            // The tail left from before must not sound again.
            for (int i = 0; i < kLines; ++i) {
                std::fill(m_fdn[i].begin(), m_fdn[i].end(), 0.0f);
                m_fdnState[i] = 0.0f;
            }
        }
        Update();
    }
}

void SurroundProcessor::SetProcessAdvance(bool on)
{
    if (on != m_advanceOn) {
        m_advanceOn = on;
        Update();
    }
}

void SurroundProcessor::SetMoveOff(bool on)
{
    if (on != m_delaysOn) {
        m_delaysOn = on;
        Update();
    }
}

void SurroundProcessor::Reset()
{
    std::fill(m_line.begin(), m_line.end(), 0.0f);
    for (int i = 0; i < kLines; ++i) {
        std::fill(m_fdn[i].begin(), m_fdn[i].end(), 0.0f);
        m_fdnPos[i] = 0;
        m_fdnState[i] = 0;
    }
    for (Biquad& b : m_lfe) {
        b.z1 = b.z2 = 0;
    }
    // A fade in progress ends: the new taps apply at once.
    m_fadeLeft = 0;
}

void SurroundProcessor::Update()
{
    if (m_pendingMask != m_appliedMask) {
        m_appliedMask = m_pendingMask;
        m_outputMask = m_appliedMask;
        m_speakers.clear();
        m_lfeChannel = -1;
        for (std::uint32_t bit = 1; bit <= kKnownSpeakers; bit <<= 1) {
            if (m_outputMask & bit) {
                if (bit == kLowFrequency) {
                    m_lfeChannel = static_cast<int>(m_speakers.size());
                }
                m_speakers.push_back(bit);
            }
        }
        // A new layout: the old taps name other channels, so no fade.
        m_taps[m_current].clear();
        m_fadeLeft = 0;
    }
    m_appliedLfeVolume = m_lfeVolume;
    UpdateRoute();
    UpdateReverb();
    UpdateLowFrequency();

    const int next = 1 - m_current;
    BuildTaps(m_taps[next]);
    const bool hadTaps = !m_taps[m_current].empty();
    m_current = next;
    m_fadeLeft = hadTaps ? m_fadeLength : 0;
}

void SurroundProcessor::UpdateReverb()
{
    const double fs = m_input.sampleRate;
    const RoomAcoustics room = Acoustics(m_width, m_height);
    m_rt60 = 0.161 * room.volume / (room.surface * m_absorb);
    const double pathSamples = room.meanFreePath / kSpeedOfSound * fs;
    for (int i = 0; i < kLines; ++i) {
        const std::int32_t capacity = static_cast<std::int32_t>(m_fdn[i].size());
        std::int32_t length = static_cast<std::int32_t>(pathSamples * kLineFactors[i]) | 1;
        length = std::clamp<std::int32_t>(length, 17, std::max<std::int32_t>(17, capacity - 1));
        m_fdnLength[i] = std::min(length, capacity);
        if (m_fdnPos[i] >= m_fdnLength[i]) {
            m_fdnPos[i] = 0;
        }
        m_fdnGain[i] = static_cast<float>(std::pow(10.0, -3.0 * m_fdnLength[i] / (fs * m_rt60)));
    }
    m_fdnDamp = 0.9f * m_hfDecay;
    m_preDelay = std::clamp<std::int32_t>(static_cast<std::int32_t>(0.5 * pathSamples), 0,
                                          static_cast<std::int32_t>(m_lineMask) - 2 * kChunk);
}

void SurroundProcessor::UpdateLowFrequency()
{
    const double fs = m_input.sampleRate;
    const double fc = std::min<double>(m_lfeFreq, 0.45 * fs);
    // Two Butterworth sections in a row: a fourth-order Linkwitz-Riley low-pass.
    const double k = std::tan(kPi * fc / fs);
    const double q = std::sqrt(0.5);
    const double norm = 1.0 / (1.0 + k / q + k * k);
    for (Biquad& b : m_lfe) {
        b.b0 = k * k * norm;
        b.b1 = 2.0 * b.b0;
        b.b2 = b.b0;
        b.a1 = 2.0 * (k * k - 1.0) * norm;
        b.a2 = (1.0 - k / q + k * k) * norm;
    }
}

bool SurroundProcessor::Process(float* const* channels, std::int32_t slots, std::int32_t frames)
{
    const std::int32_t outputs = GetOutputChannels();
    if (!channels || frames < 1 || slots < m_input.channels || slots < outputs) {
        return false;
    }
    for (std::int32_t c = 0; c < std::max(outputs, m_input.channels); ++c) {
        if (!channels[c]) {
            return false;
        }
    }
    for (std::int32_t offset = 0; offset < frames; offset += kChunk) {
        ProcessChunk(channels, offset, std::min<std::int32_t>(kChunk, frames - offset));
    }
    return true;
}

void SurroundProcessor::ProcessChunk(float* const* channels, std::int32_t offset, std::int32_t frames)
{
    const int inputs = m_input.channels;
    const int outputs = static_cast<int>(m_speakers.size());
    const float inverseInputs = 1.0f / static_cast<float>(inputs);

    // Input into scratch (the output overwrites the same arrays), source into
    // the line. A sample that is not a number (or infinite) counts as silence
    // and absurd levels are limited: either would otherwise stay in the tail
    // for good.
    for (int c = 0; c < inputs; ++c) {
        const float* in = channels[c] + offset;
        for (std::int32_t n = 0; n < frames; ++n) {
            m_in[c][n] = std::isfinite(in[n]) ? std::clamp(in[n], -kMaxSample, kMaxSample) : 0.0f;
        }
    }
    for (std::int32_t n = 0; n < frames; ++n) {
        float sum = 0.0f;
        for (int c = 0; c < inputs; ++c) {
            sum += m_in[c][n];
        }
        m_mono[n] = sum * inverseInputs;
        m_line[(m_writePos + static_cast<std::uint32_t>(n)) & m_lineMask] = m_mono[n];
    }

    float out[kMaxChannels][kChunk];
    for (int k = 0; k < outputs; ++k) {
        const float dry = m_appliedDry;
        for (std::int32_t n = 0; n < frames; ++n) {
            float v = 0.0f;
            for (int c = 0; c < inputs; ++c) {
                v += m_route[c][k] * m_in[c][n];
            }
            out[k][n] = dry * v;
        }
    }

    // Positioned sound and reflections; during a fade the old taps fade out.
    auto addTaps = [&](const std::vector<Tap>& taps, std::int32_t fadeStart, float direction) {
        for (const Tap& tap : taps) {
            float* o = out[tap.speaker];
            for (std::int32_t n = 0; n < frames; ++n) {
                float g = tap.gain;
                if (direction != 0.0f) {
                    const std::int32_t left = fadeStart - n;
                    const float f = left > 0 ? static_cast<float>(left) / static_cast<float>(m_fadeLength) : 0.0f;
                    g *= direction > 0 ? 1.0f - f : f;
                }
                const std::uint32_t pos = (m_writePos + static_cast<std::uint32_t>(n - tap.delay)) & m_lineMask;
                o[n] += g * m_line[pos];
            }
        }
    };
    if (m_fadeLeft > 0) {
        addTaps(m_taps[m_current], m_fadeLeft, 1.0f);
        addTaps(m_taps[1 - m_current], m_fadeLeft, -1.0f);
        m_fadeLeft = std::max<std::int32_t>(0, m_fadeLeft - frames);
    } else {
        addTaps(m_taps[m_current], 0, 0.0f);
    }

    // Reverberation tail.
    if (m_reverbOn && m_wet > 0.0f) {
        const float wet = m_wet / std::sqrt(static_cast<float>(kLines));
        const float damp = m_fdnDamp;
        for (std::int32_t n = 0; n < frames; ++n) {
            const float in = static_cast<float>(kReverbInput) *
                             m_line[(m_writePos + static_cast<std::uint32_t>(n - m_preDelay)) & m_lineMask];
            float o[kLines];
            float sum = 0.0f;
            for (int i = 0; i < kLines; ++i) {
                o[i] = m_fdn[i][m_fdnPos[i]];
                m_fdnState[i] = (1.0f - damp) * o[i] + damp * m_fdnState[i];
                sum += m_fdnGain[i] * m_fdnState[i];
            }
            const float mix = sum * (2.0f / kLines);
            for (int i = 0; i < kLines; ++i) {
                m_fdn[i][m_fdnPos[i]] = m_fdnGain[i] * m_fdnState[i] - mix + kInputSigns[i] * in;
                if (++m_fdnPos[i] >= m_fdnLength[i]) {
                    m_fdnPos[i] = 0;
                }
            }
            for (int k = 0; k < outputs; ++k) {
                if (k == m_lfeChannel) {
                    continue;
                }
                float v = 0.0f;
                for (int i = 0; i < kLines; ++i) {
                    v += Hadamard(k, i) * o[i];
                }
                out[k][n] += wet * v;
            }
        }
    }

    // Low-frequency channel.
    if (m_lfeChannel >= 0) {
        float* o = out[m_lfeChannel];
        for (std::int32_t n = 0; n < frames; ++n) {
            o[n] += m_appliedLfeVolume * m_lfe[1].Run(m_lfe[0].Run(m_mono[n]));
        }
    }

    for (int k = 0; k < outputs; ++k) {
        std::copy(out[k], out[k] + frames, channels[k] + offset);
    }
    m_writePos = (m_writePos + static_cast<std::uint32_t>(frames)) & m_lineMask;
}

}  // namespace ambiora
