// Conversion of float sample blocks to interleaved 16-bit PCM, the work behind
// the service library's SD2MME.
//
// Scale: a sample of 1.0 becomes 32767 and -1.0 becomes -32767; values are
// rounded to the nearest integer (halves away from zero) and clipped to
// -32768..32767; NaN becomes 0.
#pragma once

#include "dsp/sampleblock.h"

#include <cstdint>

// One sample.
std::int16_t FloatToPcm16(float sample);

// Converts frames firstFrame .. firstFrame + frameCount - 1 of `block` into
// `dest` as interleaved little-endian 16-bit samples of `channelCount`
// channels (channelCount x 2 bytes per frame; `dest` needs no alignment). The
// block must hold `channelCount` arrays unless its array table is null; a
// missing table or a null array gives silence. The range is cut at the
// block's capacity. Returns the frames written: 0 for a null block or
// destination, a count or channel count below 1, or a first frame outside the
// block.
std::int32_t ConvertBlockToPcm16(const SampleBlock* block, std::int32_t firstFrame, std::int32_t frameCount,
                                 std::int32_t channelCount, void* dest);
