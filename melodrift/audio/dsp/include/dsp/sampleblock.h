// A block of 32-bit float samples, one array per channel: the unit the player
// exchanges with its data sources, the equalizer and the surround processor.
// Its layout is shared with plug-in modules and outside libraries.
#pragma once

#include <cstdint>

struct SampleBlock {
    std::int32_t reserved;   // kept at 0
    float** channels;        // one array per channel, in the channel order of the format; may be null
    std::int32_t capacity;   // frames each array holds
    std::int32_t filled;     // frames of valid data
};
