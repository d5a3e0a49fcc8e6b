// The settings a surround processor takes, as an interface the audio layer
// owns: the surround settings of the player are applied through it (in a
// fixed order, so the order is part of the contract), and the processor behind
// it (Ambiora's CSurroundEffect) implements it. Platform-neutral.
#pragma once

#include <cstdint>

class ISurroundControl {
public:
    virtual ~ISurroundControl() = default;

    // Position of the source in the room, in metres.
    virtual void SetSoundPos(float x, float y, bool update) = 0;
    // Room width and depth in metres.
    virtual void SetRoomSize(float width, float height, bool update) = 0;
    virtual void SetRevHFDecay(float value) = 0;
    virtual void SetRevAbsorb(float value) = 0;
    // Level of the original sound.
    virtual void SetRevDry(float value) = 0;
    // Level of the reverberation.
    virtual void SetRevWet(float value) = 0;
    virtual void SetLFEVolume(float value, bool update) = 0;
    // Level of the positioned sound.
    virtual void SetVolume(float value, bool update) = 0;
    // Cut-off of the low-frequency channel in Hz.
    virtual void SetLFEMaxFreq(std::int32_t hz, bool update) = 0;
    // Output speaker layout as a channel mask; false when refused.
    virtual bool SetSpeakersConfig(std::uint32_t channelMask, bool update) = 0;
    virtual void SetReverb(bool on) = 0;
    virtual void SetProcessAdvance(bool on) = 0;
    // Per-speaker path delays.
    virtual void SetMoveOff(bool on) = 0;
};
