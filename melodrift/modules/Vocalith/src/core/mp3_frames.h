// MPEG audio Layer III frame headers: where the first frame of a file starts
// (after an ID3v2 tag, confirmed by the frame that follows it) and what the
// platform's decoder needs to be opened for it. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vocalith {

struct Mp3Frame {
    int version = 0;          // 10 (MPEG-1), 20 (MPEG-2) or 25 (MPEG-2.5)
    int bitrate = 0;          // kbit/s
    int rate = 0;             // samples per second
    int channels = 0;         // 1 or 2
    int frameBytes = 0;       // length of this frame with its header
    int samplesPerFrame = 0;  // 1152 (MPEG-1) or 576
};

// Decodes a 4-byte Layer III header; false for anything else (free format included).
bool ParseMp3Header(const std::uint8_t* header, Mp3Frame& frame);

// The size of an ID3v2 tag at the start of the bytes (header, body and
// footer), or 0 when there is none.
std::uint64_t Id3v2Size(const std::uint8_t* data, std::size_t size);

// The offset of the first Layer III frame in `data` (the file's first bytes)
// that is followed by another frame of the same version, rate and channel
// count, or a single frame that fills the data to its end; -1 when none.
// Looks at most `data` (pass the start of the file, e.g. 64 KiB).
std::int64_t FindFirstMp3Frame(const std::uint8_t* data, std::size_t size, Mp3Frame& frame);

}  // namespace vocalith
