// ISurroundProcessor: what the player needs of a surround processor. The
// player owns one, hands it its input format, runs it on every block while
// surround is on and asks it for the output channel count and mask that the
// device is opened with; the settings reach it through ISurroundControl.
//
// The player gets its processor from CreateSurroundProcessor, which the
// library providing the processor defines (Ambiora's client library, which
// melodrift_player links): the player names the interface, never the library.
//
// Called under the player's effects lock; need not be thread-safe.
#pragma once

#include "dsp/sampleblock.h"
#include "surround/surround_control.h"

#include <windows.h>
#include <mmreg.h>

#include <cstdint>
#include <memory>

class ISurroundProcessor : public ISurroundControl {
public:
    // Channels, rate and mask of the blocks to come; false when refused.
    virtual bool SetInputFormat(const WAVEFORMATEXTENSIBLE* format) = 0;
    // Processes block->filled frames in place; `channelSlots` arrays are held
    // by the block (at least the output channel count). False when refused.
    virtual bool Process(SampleBlock* block, std::int32_t channelSlots) = 0;
    virtual void Reset() = 0;

    virtual std::int32_t GetOutputChannels() const = 0;
    virtual std::uint32_t GetOutputChannelMask() const = 0;
};

// A new processor; never null (a processor that could not be made passes the
// input through with its own layout).
std::unique_ptr<ISurroundProcessor> CreateSurroundProcessor();
