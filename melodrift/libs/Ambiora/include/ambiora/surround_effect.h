// CSurroundEffect: the player's surround processor, an object over one effect
// of Ambiora.dll: the processor behind the player's ISurroundProcessor
// (player/surround_processor.h), made by CreateSurroundProcessor, which this
// library defines.
//
// Not thread-safe: the player calls it under its effects lock.
#pragma once

#include "player/surround_processor.h"

#include <windows.h>
#include <mmreg.h>

#include <cstdint>

struct AmbioraEffect;

class CSurroundEffect : public ISurroundProcessor {
public:
    CSurroundEffect();
    ~CSurroundEffect() override;
    CSurroundEffect(const CSurroundEffect&) = delete;
    CSurroundEffect& operator=(const CSurroundEffect&) = delete;

    // False when the library could not create its effect (out of memory);
    // every call then does nothing and the output is the input layout.
    bool IsValid() const { return m_effect != nullptr; }

    // Channels, rate and mask of the blocks to come; false when refused.
    bool SetInputFormat(const WAVEFORMATEXTENSIBLE* format) override;
    // Processes block->filled frames in place; `channelSlots` arrays are held
    // by the block (at least the output channel count). False when refused.
    bool Process(SampleBlock* block, std::int32_t channelSlots) override;
    void Reset() override;

    std::int32_t GetOutputChannels() const override;
    std::uint32_t GetOutputChannelMask() const override;

    void SetSoundPos(float x, float y, bool update) override;
    void SetRoomSize(float width, float height, bool update) override;
    void SetRevHFDecay(float value) override;
    void SetRevAbsorb(float value) override;
    void SetRevDry(float value) override;
    void SetRevWet(float value) override;
    void SetLFEVolume(float value, bool update) override;
    void SetVolume(float value, bool update) override;
    void SetLFEMaxFreq(std::int32_t hz, bool update) override;
    bool SetSpeakersConfig(std::uint32_t channelMask, bool update) override;
    void SetReverb(bool on) override;
    void SetProcessAdvance(bool on) override;
    void SetMoveOff(bool on) override;

private:
    AmbioraEffect* m_effect = nullptr;
};
