// The GIF splitter on files written by the test: frames, their places, delays,
// disposal and transparency; each frame file read again as a GIF of its own;
// and files that are cut short, broken or hostile.
#include "klarwin/ui/gif_frames.h"
#include "test_gif.h"

#include <gtest/gtest.h>

#include <cstring>

using kwui::GifAnimation;
using kwui::GifDisposal;
using kwui::SplitGifFrames;

namespace {

const std::vector<testgif::Rgb> kPalette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

std::vector<testgif::Frame> ThreeFrames() {
    testgif::Frame a = testgif::Solid(0, 0, 16, 16, 0);
    a.delayCs = 5;
    testgif::Frame b = testgif::Solid(4, 2, 6, 5, 2);
    b.delayCs = 12;
    b.disposal = 2;
    testgif::Frame c = testgif::Solid(8, 8, 8, 8, 1);
    c.delayCs = 0;
    c.disposal = 3;
    c.transparentIndex = 3;
    c.pixels[0] = 3;
    return {a, b, c};
}

bool Split(const std::vector<std::uint8_t>& bytes, GifAnimation& out) {
    return SplitGifFrames(bytes.data(), bytes.size(), out);
}

}  // namespace

TEST(KwGif, FramesKeepTheirPlaceDelayDisposalAndTransparency) {
    GifAnimation anim;
    ASSERT_TRUE(Split(testgif::Write(16, 16, kPalette, ThreeFrames(), 0), anim));
    EXPECT_EQ(anim.width, 16);
    EXPECT_EQ(anim.height, 16);
    EXPECT_EQ(anim.loopCount, 0);
    ASSERT_EQ(anim.frames.size(), 3u);

    EXPECT_EQ(anim.frames[0].delayMs, 50);
    EXPECT_EQ(anim.frames[0].disposal, GifDisposal::None);
    EXPECT_FALSE(anim.frames[0].transparent);

    EXPECT_EQ(anim.frames[1].left, 4);
    EXPECT_EQ(anim.frames[1].top, 2);
    EXPECT_EQ(anim.frames[1].width, 6);
    EXPECT_EQ(anim.frames[1].height, 5);
    EXPECT_EQ(anim.frames[1].delayMs, 120);
    EXPECT_EQ(anim.frames[1].disposal, GifDisposal::Background);

    EXPECT_EQ(anim.frames[2].disposal, GifDisposal::Previous);
    EXPECT_TRUE(anim.frames[2].transparent);
    EXPECT_EQ(anim.frames[2].transparentIndex, 3);
    // Delays of 0 and 10 ms are stretched, as players do.
    EXPECT_EQ(kwui::GifFrameDelay(anim.frames[2]), 100);
    EXPECT_EQ(kwui::GifFrameDelay(anim.frames[1]), 120);
}

TEST(KwGif, EachFrameFileIsAGifOfItsOwn) {
    GifAnimation anim;
    ASSERT_TRUE(Split(testgif::Write(16, 16, kPalette, ThreeFrames(), -1), anim));
    EXPECT_EQ(anim.loopCount, -1);
    for (const kwui::GifFrame& frame : anim.frames) {
        GifAnimation single;
        ASSERT_TRUE(SplitGifFrames(frame.file.data(), frame.file.size(), single));
        ASSERT_EQ(single.frames.size(), 1u);
        EXPECT_EQ(single.width, frame.width);
        EXPECT_EQ(single.height, frame.height);
        EXPECT_EQ(single.frames[0].left, 0);
        EXPECT_EQ(single.frames[0].top, 0);
        EXPECT_EQ(single.frames[0].transparent, frame.transparent);
        EXPECT_EQ(single.frames[0].delayMs, frame.delayMs);
        // Disposal concerns the animation, not a picture of one frame.
        EXPECT_EQ(single.frames[0].disposal, GifDisposal::None);
        // The global table of the frame file is the animation's.
        ASSERT_GE(frame.file.size(), 13u + 12u);
        EXPECT_EQ(frame.file[10] & 0x80, 0x80);
        EXPECT_EQ(std::memcmp(&frame.file[13], "\xFF\x00\x00\x00\xFF\x00", 6), 0);
    }
}

TEST(KwGif, LocalTablesMissingTablesAndMissingControlBlocks) {
    testgif::Frame local = testgif::Solid(0, 0, 4, 4, 1);
    local.localTable = {{1, 2, 3}, {4, 5, 6}};
    testgif::Frame plain = testgif::Solid(0, 0, 4, 4, 0);
    plain.withControl = false;
    GifAnimation anim;
    // No global table at all: the frame with its own table uses it, the other
    // gets a grey one.
    ASSERT_TRUE(Split(testgif::Write(4, 4, {}, {local, plain}, -1), anim));
    ASSERT_EQ(anim.frames.size(), 2u);
    const auto& f0 = anim.frames[0].file;
    EXPECT_EQ(f0[10] & 0x87, 0x80);  // a two-entry table as the global one
    EXPECT_EQ(std::memcmp(&f0[13], "\x01\x02\x03\x04\x05\x06", 6), 0);
    EXPECT_EQ(anim.frames[1].delayMs, 0);
    EXPECT_FALSE(anim.frames[1].transparent);
    const auto& f1 = anim.frames[1].file;
    EXPECT_EQ(f1[10] & 0x80, 0x80);
    EXPECT_EQ(f1[13], 0);                       // black ...
    EXPECT_EQ(f1[13 + 3 * 3], 255);             // ... to white (code size 2: four entries)
    GifAnimation again;
    EXPECT_TRUE(SplitGifFrames(f1.data(), f1.size(), again));
}

TEST(KwGif, FilesCutShortKeepTheirCompleteFrames) {
    std::vector<std::uint8_t> bytes = testgif::Write(16, 16, kPalette, ThreeFrames(), 0);
    GifAnimation full;
    ASSERT_TRUE(Split(bytes, full));
    // Without the trailer: still all frames.
    std::vector<std::uint8_t> noTrailer(bytes.begin(), bytes.end() - 1);
    GifAnimation anim;
    ASSERT_TRUE(Split(noTrailer, anim));
    EXPECT_EQ(anim.frames.size(), 3u);
    // Every cut keeps exactly the frames that are complete before it.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        GifAnimation p;
        bool ok = Split(part, p);
        if (ok) {
            ASSERT_LE(p.frames.size(), 3u);
            for (std::size_t i = 0; i < p.frames.size(); ++i) EXPECT_EQ(p.frames[i].file, full.frames[i].file);
        } else {
            EXPECT_TRUE(p.frames.empty());
        }
    }
}

TEST(KwGif, RejectsWhatIsNoGif) {
    GifAnimation anim;
    EXPECT_FALSE(SplitGifFrames(nullptr, 0, anim));
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    EXPECT_FALSE(Split(png, anim));
    // A header and screen but no frame.
    std::vector<std::uint8_t> empty = testgif::Write(8, 8, kPalette, {}, -1);
    EXPECT_FALSE(Split(empty, anim));
    EXPECT_TRUE(anim.frames.empty());
    // A frame of zero size is left out; a bad block ends the reading.
    testgif::Frame zero = testgif::Solid(0, 0, 0, 0, 0);
    std::vector<std::uint8_t> bytes = testgif::Write(8, 8, kPalette, {zero, testgif::Solid(0, 0, 8, 8, 1)}, -1);
    ASSERT_TRUE(Split(bytes, anim));
    EXPECT_EQ(anim.frames.size(), 1u);
    bytes.insert(bytes.end() - 1, {0x99, 0x2C});
    ASSERT_TRUE(Split(bytes, anim));
    EXPECT_EQ(anim.frames.size(), 1u);
    // A code size no reader accepts.
    std::vector<std::uint8_t> badCode = testgif::Write(8, 8, kPalette, {testgif::Solid(0, 0, 8, 8, 1)}, -1);
    std::size_t imageAt = badCode.size();
    for (std::size_t i = 13 + 12; i < badCode.size(); ++i)
        if (badCode[i] == 0x2C) {
            imageAt = i;
            break;
        }
    ASSERT_LT(imageAt + 10, badCode.size());
    badCode[imageAt + 10] = 12;
    EXPECT_FALSE(Split(badCode, anim));
}

TEST(KwGif, ManyFramesStopAtTheLimit) {
    std::vector<testgif::Frame> frames(kwui::kMaxGifFrames + 5, testgif::Solid(0, 0, 1, 1, 0));
    GifAnimation anim;
    ASSERT_TRUE(Split(testgif::Write(1, 1, kPalette, frames, -1), anim));
    EXPECT_EQ(anim.frames.size(), kwui::kMaxGifFrames);
}
