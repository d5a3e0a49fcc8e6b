// MPEG audio Layer III frame headers: where the first frame of a file starts
// (after an ID3v2 tag, confirmed by the frame that follows it), what the
// platform's decoder needs to be opened for it, and the frame count and seek
// table an encoder leaves in the first frame of a variable bit-rate file.
// No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// What a "Xing"/"Info" or "VBRI" header in the first frame tells: the
// number of audio frames after it, the bytes of the stream (from the header's
// frame on), and a table of 100 entries: the byte position of 0 %, 1 %, ...
// 99 % of the playing time, in 256ths of `bytes` (a "VBRI" table of frame
// groups is turned into the same). LAME's tag after "Xing"/"Info" adds the
// encoder's delay and padding: samples of silence at either end.
struct Mp3StreamInfo {
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;       // 0 when not given
    bool hasToc = false;
    std::uint8_t toc[100] = {};
    bool hasEncoderTag = false;    // LAME's tag was found: delay and padding are known
    std::uint32_t delay = 0;
    std::uint32_t padding = 0;
};

// Samples every Layer III decoder puts before the encoder's first sample
// (its filter bank's delay): with LAME's delay, what a gapless decode drops
// from the start.
constexpr int kMp3DecoderDelay = 529;

// Reads such a header from the bytes of the first frame (`size` of them
// available from its header on); false when there is none or it gives no
// frame count. The frame that holds it carries no sound of its own.
bool ReadMp3StreamInfo(const std::uint8_t* frameData, std::size_t size, const Mp3Frame& frame,
                       Mp3StreamInfo& info);

// The byte position, counted from the header's frame, where the given share
// (0..1) of the playing time begins: from the table when there is one (read
// between its entries), else in proportion to the bytes. `streamBytes` is
// used when the header gives no byte count.
std::uint64_t Mp3SeekOffset(const Mp3StreamInfo& info, double share, std::uint64_t streamBytes);

// Walks the frames of `data` (the bytes of the file from `base` on), each one
// like `like` (version, rate and channels), appending the file offset of every
// whole frame to `offsets`; bytes that start no such frame (a damaged stretch,
// a tag) are stepped over. Returns how many bytes were used: where the first
// frame that does not fit in `data` starts (read on from there), or `size`.
// With `atEnd`, a frame cut short by the end of the data is counted too.
std::size_t IndexMp3Frames(const std::uint8_t* data, std::size_t size, std::uint64_t base, const Mp3Frame& like,
                           bool atEnd, std::vector<std::uint64_t>& offsets);

}  // namespace vocalith
