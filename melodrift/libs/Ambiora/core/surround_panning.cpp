// Where the positioned sound goes: the pan of a direction over the speakers,
// the taps of the source and its reflections, and the route of the input
// channels to the speakers.
#include "surround_processor.h"

#include "surround_constants.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ambiora {

using detail::kPi;
using detail::kSpeedOfSound;

namespace {

constexpr double kPositionedScale = 0.35;    // headroom of the positioned sound
constexpr double kMaxDistanceGain = 1.5;     // nearer than the speakers: up to this much louder

bool IsLeftSide(std::uint32_t bit)
{
    return bit == kFrontLeft || bit == kBackLeft || bit == kFrontLeftOfCenter || bit == kSideLeft;
}

bool IsRightSide(std::uint32_t bit)
{
    return bit == kFrontRight || bit == kBackRight || bit == kFrontRightOfCenter || bit == kSideRight;
}

}  // namespace

double SpeakerAzimuth(std::uint32_t speakerBit)
{
    switch (speakerBit) {
    case kFrontLeft: return -30.0;
    case kFrontRight: return 30.0;
    case kFrontCenter: return 0.0;
    case kBackLeft: return -140.0;
    case kBackRight: return 140.0;
    case kFrontLeftOfCenter: return -15.0;
    case kFrontRightOfCenter: return 15.0;
    case kBackCenter: return 180.0;
    case kSideLeft: return -90.0;
    case kSideRight: return 90.0;
    default: return std::numeric_limits<double>::quiet_NaN();
    }
}

void SurroundProcessor::PanDirection(double azimuth, double spread, double gains[kMaxChannels]) const
{
    const int n = static_cast<int>(m_speakers.size());
    for (int k = 0; k < kMaxChannels; ++k) {
        gains[k] = 0.0;
    }
    // Speakers with a direction, in order of azimuth.
    int order[kMaxChannels];
    double angle[kMaxChannels];
    int count = 0;
    for (int k = 0; k < n; ++k) {
        const double a = SpeakerAzimuth(m_speakers[k]);
        if (a == a) {
            int pos = count++;
            while (pos > 0 && angle[pos - 1] > a) {
                angle[pos] = angle[pos - 1];
                order[pos] = order[pos - 1];
                --pos;
            }
            angle[pos] = a;
            order[pos] = k;
        }
    }
    if (count == 0) {
        return;
    }
    double pair[kMaxChannels] = {};
    if (count == 1) {
        pair[order[0]] = 1.0;
    } else {
        // The arc (a, b) going clockwise that holds the direction.
        double az = std::fmod(azimuth, 360.0);
        if (az < -180.0) az += 360.0;
        if (az >= 180.0) az -= 360.0;
        int a = count - 1;
        int b = 0;
        for (int i = 0; i + 1 < count; ++i) {
            if (az >= angle[i] && az < angle[i + 1]) {
                a = i;
                b = i + 1;
                break;
            }
        }
        double from = angle[a];
        double width = angle[b] - angle[a];
        double offset = az - from;
        if (width <= 0.0) {
            width += 360.0;
        }
        if (offset < 0.0) {
            offset += 360.0;
        }
        const double t = std::clamp(offset / width, 0.0, 1.0);
        pair[order[a]] = std::cos(t * kPi / 2);
        pair[order[b]] += std::sin(t * kPi / 2);
    }
    // Power blend towards an even spread over every speaker with a direction.
    for (int k = 0; k < n; ++k) {
        if (k == m_lfeChannel || !(SpeakerAzimuth(m_speakers[k]) == SpeakerAzimuth(m_speakers[k]))) {
            continue;
        }
        gains[k] = std::sqrt((1.0 - spread) * pair[k] * pair[k] + spread / count);
    }
}

void SurroundProcessor::BuildTaps(std::vector<Tap>& taps) const
{
    taps.clear();
    const double fs = m_input.sampleRate;
    const double w = m_width;
    const double d = m_height;
    const double cx = w / 2;
    const double cy = d / 2;
    const double radius = 0.4 * std::min(w, d);
    const double sx = std::clamp<double>(m_x, 0.0, w);
    const double sy = std::clamp<double>(m_y, 0.0, d);
    const double maxDelay = static_cast<double>(m_lineMask) - 2 * kChunk;

    auto direction = [&](double px, double py) { return std::atan2(px - cx, cy - py) * 180.0 / kPi; };

    // Direct sound.
    const double rho = std::hypot(sx - cx, sy - cy);
    const double spread = std::clamp(1.0 - rho / (0.5 * radius), 0.0, 1.0);
    const double distanceGain = std::min(kMaxDistanceGain, radius / std::max(rho, 1e-6));
    double gains[kMaxChannels];
    PanDirection(direction(sx, sy), spread, gains);
    const int n = static_cast<int>(m_speakers.size());
    double path[kMaxChannels] = {};
    double nearest = std::numeric_limits<double>::max();
    for (int k = 0; k < n; ++k) {
        const double a = SpeakerAzimuth(m_speakers[k]) * kPi / 180.0;
        if (k == m_lfeChannel || !(a == a)) {
            continue;
        }
        path[k] = std::hypot(sx - (cx + radius * std::sin(a)), sy - (cy - radius * std::cos(a)));
        nearest = std::min(nearest, path[k]);
    }
    const double level = m_volume * kPositionedScale * distanceGain;
    for (int k = 0; k < n; ++k) {
        if (gains[k] <= 0.0) {
            continue;
        }
        double delay = m_delaysOn ? (path[k] - nearest) / kSpeedOfSound * fs : 0.0;
        delay = std::clamp(delay, 0.0, maxDelay);
        taps.push_back(Tap{static_cast<std::int32_t>(std::lround(delay)), k, static_cast<float>(level * gains[k])});
    }

    // First-order wall reflections from the image sources.
    if (m_reverbOn && m_advanceOn && level > 0.0) {
        const double images[4][2] = {{-sx, sy}, {2 * w - sx, sy}, {sx, -sy}, {sx, 2 * d - sy}};
        const double direct = std::max(rho, 0.1);
        const double reflectance = std::sqrt(1.0 - m_absorb);
        for (const auto& image : images) {
            const double length = std::hypot(image[0] - cx, image[1] - cy);
            const double delay = std::clamp((length - direct) / kSpeedOfSound * fs, 0.0, maxDelay);
            const double g = level * reflectance * direct / std::max(length, direct);
            PanDirection(direction(image[0], image[1]), 0.0, gains);
            for (int k = 0; k < n; ++k) {
                if (gains[k] > 0.0) {
                    taps.push_back(Tap{static_cast<std::int32_t>(std::lround(delay)), k,
                                       static_cast<float>(g * gains[k])});
                }
            }
        }
    }
}

void SurroundProcessor::UpdateRoute()
{
    // Each input channel goes to the output of the same speaker; failing that a
    // left or right speaker to the front left or right (or centre), anything
    // else to both front speakers at -3 dB. An input LFE without an output LFE
    // is dropped.
    for (auto& row : m_route) {
        for (float& g : row) g = 0.0f;
    }
    auto indexOf = [&](std::uint32_t bit) {
        for (std::size_t k = 0; k < m_speakers.size(); ++k) {
            if (m_speakers[k] == bit) return static_cast<int>(k);
        }
        return -1;
    };
    const int left = indexOf(kFrontLeft) >= 0 ? indexOf(kFrontLeft) : indexOf(kFrontCenter);
    const int right = indexOf(kFrontRight) >= 0 ? indexOf(kFrontRight) : indexOf(kFrontCenter);
    int c = 0;
    for (std::uint32_t bit = 1; bit <= kKnownSpeakers && c < m_input.channels; bit <<= 1) {
        if (!(m_input.channelMask & bit)) {
            continue;
        }
        const int same = indexOf(bit);
        if (same >= 0) {
            m_route[c][same] = 1.0f;
        } else if (IsLeftSide(bit) && left >= 0) {
            m_route[c][left] = 1.0f;
        } else if (IsRightSide(bit) && right >= 0) {
            m_route[c][right] = 1.0f;
        } else if (bit != kLowFrequency) {
            if (left >= 0) m_route[c][left] += 0.70710678f;
            if (right >= 0) m_route[c][right] += 0.70710678f;
        }
        ++c;
    }
}

}  // namespace ambiora
