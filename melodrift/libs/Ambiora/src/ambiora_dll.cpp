// The exported C functions of Ambiora.dll over the surround processor.
#include "ambiora/ambiora.h"

#include "surround_processor.h"

#include <algorithm>
#include <new>

struct AmbioraEffect {
    ambiora::SurroundProcessor processor;
};

extern "C" {

AMBIORA_API AmbioraEffect* AMBIORA_CALL AmbioraCreate(void)
{
    try {
        return new AmbioraEffect;
    } catch (...) {
        return nullptr;
    }
}

AMBIORA_API void AMBIORA_CALL AmbioraDestroy(AmbioraEffect* effect)
{
    delete effect;
}

AMBIORA_API int AMBIORA_CALL AmbioraSetInputFormat(AmbioraEffect* effect, int channels, int sampleRate,
                                                   unsigned int channelMask)
{
    if (!effect) {
        return 0;
    }
    try {
        ambiora::StreamFormat format;
        format.channels = channels;
        format.sampleRate = sampleRate;
        format.channelMask = channelMask;
        return effect->processor.SetInputFormat(format) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

AMBIORA_API int AMBIORA_CALL AmbioraSetSpeakers(AmbioraEffect* effect, unsigned int channelMask, int update)
{
    return effect && effect->processor.SetSpeakersConfig(channelMask, update != 0) ? 1 : 0;
}

AMBIORA_API void AMBIORA_CALL AmbioraSetSoundPos(AmbioraEffect* effect, float x, float y, int update)
{
    if (effect) {
        effect->processor.SetSoundPos(x, y, update != 0);
    }
}

AMBIORA_API void AMBIORA_CALL AmbioraSetRoomSize(AmbioraEffect* effect, float width, float height, int update)
{
    if (effect) {
        effect->processor.SetRoomSize(width, height, update != 0);
    }
}

AMBIORA_API int AMBIORA_CALL AmbioraSetValue(AmbioraEffect* effect, int setting, float value, int update)
{
    if (!effect) {
        return 0;
    }
    ambiora::SurroundProcessor& p = effect->processor;
    const bool flag = update != 0;
    switch (setting) {
    case AMBIORA_HF_DECAY: p.SetRevHFDecay(value); return 1;
    case AMBIORA_ABSORB: p.SetRevAbsorb(value); return 1;
    case AMBIORA_DRY: p.SetRevDry(value); return 1;
    case AMBIORA_WET: p.SetRevWet(value); return 1;
    case AMBIORA_LFE_VOLUME: p.SetLFEVolume(value, flag); return 1;
    case AMBIORA_VOLUME: p.SetVolume(value, flag); return 1;
    case AMBIORA_LFE_MAX_FREQ: {
        // Cut-offs beyond the int range (or NaN) end up at the processor's limits.
        const float hz = value == value ? std::clamp(value, -1.0e6f, 1.0e6f) : 0.0f;
        p.SetLFEMaxFreq(static_cast<std::int32_t>(hz), flag);
        return 1;
    }
    case AMBIORA_REVERB: p.SetReverb(value != 0.0f); return 1;
    case AMBIORA_PROCESS_ADVANCE: p.SetProcessAdvance(value != 0.0f); return 1;
    case AMBIORA_MOVE_OFF: p.SetMoveOff(value != 0.0f); return 1;
    default: return 0;
    }
}

AMBIORA_API int AMBIORA_CALL AmbioraGetOutputChannels(const AmbioraEffect* effect)
{
    return effect ? effect->processor.GetOutputChannels() : 0;
}

AMBIORA_API unsigned int AMBIORA_CALL AmbioraGetOutputMask(const AmbioraEffect* effect)
{
    return effect ? effect->processor.GetOutputChannelMask() : 0;
}

AMBIORA_API int AMBIORA_CALL AmbioraProcess(AmbioraEffect* effect, SampleBlock* block, int channelSlots)
{
    if (!effect || !block || !block->channels || block->filled < 1) {
        return 0;
    }
    const std::int32_t frames = std::min(block->filled, block->capacity);
    return effect->processor.Process(block->channels, channelSlots, frames) ? 1 : 0;
}

AMBIORA_API void AMBIORA_CALL AmbioraReset(AmbioraEffect* effect)
{
    if (effect) {
        effect->processor.Reset();
    }
}

}  // extern "C"
