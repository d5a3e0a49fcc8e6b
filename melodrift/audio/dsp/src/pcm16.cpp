// Float sample blocks to interleaved 16-bit PCM.
#include "dsp/pcm16.h"

#include <algorithm>

std::int16_t FloatToPcm16(float sample)
{
    const float scaled = sample * 32767.0f;
    if (!(scaled == scaled)) {
        return 0;
    }
    if (scaled >= 32767.0f) {
        return 32767;
    }
    if (scaled <= -32768.0f) {
        return -32768;
    }
    return static_cast<std::int16_t>(scaled >= 0.0f ? scaled + 0.5f : scaled - 0.5f);
}

std::int32_t ConvertBlockToPcm16(const SampleBlock* block, std::int32_t firstFrame, std::int32_t frameCount,
                                 std::int32_t channelCount, void* dest)
{
    if (block == nullptr || dest == nullptr || frameCount < 1 || channelCount < 1 || firstFrame < 0 ||
        firstFrame >= block->capacity) {
        return 0;
    }
    const std::int32_t frames = std::min(frameCount, block->capacity - firstFrame);
    unsigned char* out = static_cast<unsigned char*>(dest);
    const std::size_t stride = static_cast<std::size_t>(channelCount) * 2;
    for (std::int32_t ch = 0; ch < channelCount; ++ch) {
        const float* samples = block->channels != nullptr ? block->channels[ch] : nullptr;
        unsigned char* p = out + static_cast<std::size_t>(ch) * 2;
        if (samples == nullptr) {
            for (std::int32_t i = 0; i < frames; ++i, p += stride) {
                p[0] = 0;
                p[1] = 0;
            }
            continue;
        }
        samples += firstFrame;
        for (std::int32_t i = 0; i < frames; ++i, p += stride) {
            const std::uint16_t v = static_cast<std::uint16_t>(FloatToPcm16(samples[i]));
            p[0] = static_cast<unsigned char>(v & 0xFF);
            p[1] = static_cast<unsigned char>(v >> 8);
        }
    }
    return frames;
}
