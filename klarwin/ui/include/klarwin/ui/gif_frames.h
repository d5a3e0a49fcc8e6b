// Splitting an animated GIF into its frames, each a small GIF file of its own
// that any GIF reader (OleLoadPicture, for the animated picture control) can
// decode. Platform-neutral: no Windows header, no decoding of the pixels.
//
//   GifAnimation animation;
//   if (SplitGifFrames(bytes.data(), bytes.size(), animation))
//       for (const GifFrame& f : animation.frames) ... f.file, f.delayMs, f.left, f.top ...
//
// Each frame file has the frame's size as its screen, the frame's colour
// table (its local one, or a copy of the file's global one), its transparent
// colour, and its image data unchanged. Where the frame sits on the
// animation's screen, how long it shows and what happens to its area after it
// (the disposal method) are kept beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kwui {

enum class GifDisposal : std::uint8_t {
    None = 0,        // unspecified: leave the frame in place
    Keep = 1,        // leave the frame in place
    Background = 2,  // clear the frame's area to the background
    Previous = 3,    // restore what was under the frame before it
};

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delayMs = 0;  // as the file says (hundredths of a second times 10); 0 when unset
    GifDisposal disposal = GifDisposal::None;
    bool transparent = false;
    int transparentIndex = 0;
    bool interlaced = false;
    std::vector<std::uint8_t> file;  // the frame as a complete GIF file
};

struct GifAnimation {
    int width = 0;   // the logical screen
    int height = 0;
    int loopCount = -1;  // from the looping extension: 0 forever, -1 when absent
    std::vector<GifFrame> frames;
};

// Limits that keep hostile files from costing much: larger files are refused,
// and only the first kMaxGifFrames frames are kept.
constexpr std::size_t kMaxGifFileSize = 32u * 1024u * 1024u;
constexpr std::size_t kMaxGifFrames = 4096;

// Reads the blocks of a GIF file. False (and `out` emptied) when there is no
// GIF header or no complete frame; a file that is cut short or has a broken
// block after complete frames keeps those frames.
bool SplitGifFrames(const std::uint8_t* data, std::size_t size, GifAnimation& out);

// The delay to wait after a frame: its own delay, or `fallbackMs` for the
// delays of 0 and 10 ms that browsers and the system's players also stretch.
int GifFrameDelay(const GifFrame& frame, int fallbackMs = 100);

}  // namespace kwui
