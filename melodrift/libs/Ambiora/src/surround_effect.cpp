// CSurroundEffect over the exported functions of Ambiora.dll.
#include "ambiora/surround_effect.h"

#include "ambiora/ambiora.h"

CSurroundEffect::CSurroundEffect() : m_effect(AmbioraCreate()) {}

CSurroundEffect::~CSurroundEffect()
{
    AmbioraDestroy(m_effect);
}

bool CSurroundEffect::SetInputFormat(const WAVEFORMATEXTENSIBLE* format)
{
    if (!format) {
        return false;
    }
    const unsigned int mask = format->Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->Format.cbSize >= 22
                                  ? static_cast<unsigned int>(format->dwChannelMask)
                                  : 0u;
    return AmbioraSetInputFormat(m_effect, format->Format.nChannels, static_cast<int>(format->Format.nSamplesPerSec),
                                 mask) != 0;
}

bool CSurroundEffect::Process(SampleBlock* block, std::int32_t channelSlots)
{
    return AmbioraProcess(m_effect, block, channelSlots) != 0;
}

void CSurroundEffect::Reset()
{
    AmbioraReset(m_effect);
}

std::int32_t CSurroundEffect::GetOutputChannels() const
{
    return AmbioraGetOutputChannels(m_effect);
}

std::uint32_t CSurroundEffect::GetOutputChannelMask() const
{
    return AmbioraGetOutputMask(m_effect);
}

void CSurroundEffect::SetSoundPos(float x, float y, bool update)
{
    AmbioraSetSoundPos(m_effect, x, y, update ? 1 : 0);
}

void CSurroundEffect::SetRoomSize(float width, float height, bool update)
{
    AmbioraSetRoomSize(m_effect, width, height, update ? 1 : 0);
}

void CSurroundEffect::SetRevHFDecay(float value)
{
    AmbioraSetValue(m_effect, AMBIORA_HF_DECAY, value, 1);
}

void CSurroundEffect::SetRevAbsorb(float value)
{
    AmbioraSetValue(m_effect, AMBIORA_ABSORB, value, 1);
}

void CSurroundEffect::SetRevDry(float value)
{
    AmbioraSetValue(m_effect, AMBIORA_DRY, value, 1);
}

void CSurroundEffect::SetRevWet(float value)
{
    AmbioraSetValue(m_effect, AMBIORA_WET, value, 1);
}

void CSurroundEffect::SetLFEVolume(float value, bool update)
{
    AmbioraSetValue(m_effect, AMBIORA_LFE_VOLUME, value, update ? 1 : 0);
}

void CSurroundEffect::SetVolume(float value, bool update)
{
    AmbioraSetValue(m_effect, AMBIORA_VOLUME, value, update ? 1 : 0);
}

void CSurroundEffect::SetLFEMaxFreq(std::int32_t hz, bool update)
{
    AmbioraSetValue(m_effect, AMBIORA_LFE_MAX_FREQ, static_cast<float>(hz), update ? 1 : 0);
}

bool CSurroundEffect::SetSpeakersConfig(std::uint32_t channelMask, bool update)
{
    return AmbioraSetSpeakers(m_effect, channelMask, update ? 1 : 0) != 0;
}

void CSurroundEffect::SetReverb(bool on)
{
    AmbioraSetValue(m_effect, AMBIORA_REVERB, on ? 1.0f : 0.0f, 1);
}

void CSurroundEffect::SetProcessAdvance(bool on)
{
    AmbioraSetValue(m_effect, AMBIORA_PROCESS_ADVANCE, on ? 1.0f : 0.0f, 1);
}

void CSurroundEffect::SetMoveOff(bool on)
{
    AmbioraSetValue(m_effect, AMBIORA_MOVE_OFF, on ? 1.0f : 0.0f, 1);
}

std::unique_ptr<ISurroundProcessor> CreateSurroundProcessor()
{
    return std::make_unique<CSurroundEffect>();
}
