// Volume and balance of the playback engine, as factors per channel.
//
// Volume V and balance B are percentages (balance 50 = centre). Values outside
// 0..100 are clamped at both ends, so a negative setting never inverts the
// signal. With V and B clamped:
//   left  = (50 - max(B - 50, 0)) x V / 5000
//   right = min(B, 50) x V / 5000
//   plain = V / 100
#pragma once

#include "dsp/sampleblock.h"

#include <cstdint>

struct VolumeBalanceGains {
    float left;
    float right;
    float plain;
};

// `value` limited to 0..100.
std::int32_t ClampPercent(std::int32_t value);

VolumeBalanceGains ComputeVolumeBalanceGains(std::int32_t volume, std::int32_t balance);

// The factor of each channel position 0..7 for a block of `channels` channels
// in the order of `channelMask`: 1 channel takes the plain volume; 2 channels
// left and right; 2.1 (0x0B), 4.0 (0x33), 4.1 (0x3B), 5.1 (0x3F), 0x63B, 7.1
// (0x63F) and 7.1 front (0xFF) their fixed mix of the three. False (factors
// untouched) for any other mask with 3 or more channels: no gain is applied.
bool ChannelGainFactors(const VolumeBalanceGains& gains, std::int32_t channels, std::uint32_t channelMask,
                        float factors[8]);

// Multiplies each channel array of `block` over its capacity by its factor.
// Nothing happens when no gain applies, for a block without arrays, or for
// more than 8 channels.
void ApplyVolumeBalance(SampleBlock& block, std::int32_t channels, std::uint32_t channelMask,
                        const VolumeBalanceGains& gains);

// Volume and balance from the system's wave-out volume (left level in the low
// 16 bits, right in the high 16 bits).
void VolumeBalanceFromSystemVolume(std::uint32_t systemVolume, std::int32_t& volume, std::int32_t& balance);
