// Volume and balance factors per channel.
#include "dsp/volume.h"

#include "dsp/signal.h"

#include <algorithm>

std::int32_t ClampPercent(std::int32_t value)
{
    return std::clamp(value, 0, 100);
}

VolumeBalanceGains ComputeVolumeBalanceGains(std::int32_t volume, std::int32_t balance)
{
    const std::int32_t v = ClampPercent(volume);
    const std::int32_t b = ClampPercent(balance);
    VolumeBalanceGains gains;
    gains.left = static_cast<float>((50 - std::max(b - 50, 0)) * v) / 5000.0f;
    gains.right = static_cast<float>(std::min(b, 50) * v) / 5000.0f;
    gains.plain = static_cast<float>(v) / 100.0f;
    return gains;
}

bool ChannelGainFactors(const VolumeBalanceGains& gains, std::int32_t channels, std::uint32_t channelMask,
                        float factors[8])
{
    const float l = gains.left;
    const float r = gains.right;
    const float v = gains.plain;
    if (channels == 1) {
        factors[0] = v;
        return true;
    }
    if (channels == 2) {
        factors[0] = l;
        factors[1] = r;
        return true;
    }
    if (channels < 3) {
        return false;
    }
    switch (channelMask) {
    case 0x0B: {
        const float f[] = {l, r, v};
        std::copy(f, f + 3, factors);
        return true;
    }
    case 0x33: {
        const float f[] = {l, r, l, r};
        std::copy(f, f + 4, factors);
        return true;
    }
    case 0x3B: {
        const float f[] = {l, r, v, v, v};
        std::copy(f, f + 5, factors);
        return true;
    }
    case 0x3F: {
        const float f[] = {l, r, v, v, l, r};
        std::copy(f, f + 6, factors);
        return true;
    }
    case 0x63B: {
        const float f[] = {l, r, v, v, l, r, v};
        std::copy(f, f + 7, factors);
        return true;
    }
    case 0x63F: {
        const float f[] = {l, r, v, v, l, r, l, r};
        std::copy(f, f + 8, factors);
        return true;
    }
    case 0xFF: {
        const float f[] = {l, r, v, v, l, r, (3 * l + r) / 4, (3 * r + l) / 4};
        std::copy(f, f + 8, factors);
        return true;
    }
    default:
        return false;
    }
}

void ApplyVolumeBalance(SampleBlock& block, std::int32_t channels, std::uint32_t channelMask,
                        const VolumeBalanceGains& gains)
{
    if (block.channels == nullptr || channels < 1 || channels > 8 || block.capacity < 1) {
        return;
    }
    float factors[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    if (!ChannelGainFactors(gains, channels, channelMask, factors)) {
        return;
    }
    for (std::int32_t ch = 0; ch < channels; ++ch) {
        if (block.channels[ch] != nullptr) {
            nspsbMpy1(factors[ch], block.channels[ch], block.capacity);
        }
    }
}

void VolumeBalanceFromSystemVolume(std::uint32_t systemVolume, std::int32_t& volume, std::int32_t& balance)
{
    const std::int32_t left = static_cast<std::int32_t>((((systemVolume & 0xFFFFu) + 1) * 5000) >> 16);
    const std::int32_t right = static_cast<std::int32_t>((((systemVolume >> 16) + 1) * 5000) >> 16);
    if (left == 0 && right == 0) {
        volume = 0;
        balance = 50;
    } else if (left >= right) {
        volume = left / 50;
        balance = right * 50 / left;
    } else {
        volume = right / 50;
        balance = 100 - left * 50 / right;
    }
}
