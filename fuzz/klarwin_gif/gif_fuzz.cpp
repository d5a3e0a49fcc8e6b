// Arbitrary bytes through the GIF splitter: no crash, no read outside the
// input, and every frame file it writes is a GIF of exactly that one frame.
#include "klarwin/ui/gif_frames.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kwui::GifAnimation animation;
    if (!kwui::SplitGifFrames(data, size, animation)) {
        if (!animation.frames.empty()) std::abort();
        return 0;
    }
    if (animation.frames.empty() || animation.frames.size() > kwui::kMaxGifFrames) std::abort();
    for (const kwui::GifFrame& frame : animation.frames) {
        if (frame.width <= 0 || frame.height <= 0) std::abort();
        kwui::GifAnimation single;
        if (!kwui::SplitGifFrames(frame.file.data(), frame.file.size(), single)) std::abort();
        if (single.frames.size() != 1 || single.width != frame.width || single.height != frame.height) std::abort();
        if (single.frames[0].file != frame.file) std::abort();  // splitting a frame file changes nothing
    }
    return 0;
}
