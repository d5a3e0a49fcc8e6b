// The length of an MPEG audio stream from its first frames.
#include "tag_readers.h"

#include <cstring>

namespace mediatags::detail {

namespace {

constexpr std::size_t kFrameSearchBytes = 64 * 1024;

struct MpegFrame {
    int version = 0;   // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int layer = 0;
    int bitrate = 0;   // bits per second
    int rate = 0;
    int channels = 0;
    int length = 0;    // bytes
    int samples = 0;   // per frame
};

bool ParseFrameHeader(const unsigned char* p, MpegFrame& frame)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    static const int kBitrates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},   // MPEG-1 layer 1
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},      // MPEG-1 layer 2
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},       // MPEG-1 layer 3
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},      // MPEG-2 layer 1
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},           // MPEG-2 layers 2 and 3
    };
    static const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    frame.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    frame.layer = 4 - layerBits;
    const int table = frame.version == 1 ? frame.layer - 1 : (frame.layer == 1 ? 3 : 4);
    frame.bitrate = kBitrates[table][bitrateIndex] * 1000;
    frame.rate = kRates[frame.version == 1 ? 0 : frame.version == 2 ? 1 : 2][rateIndex];
    frame.channels = ((p[3] >> 6) & 3) == 3 ? 1 : 2;
    const int padding = (p[2] >> 1) & 1;
    if (frame.layer == 1) {
        frame.samples = 384;
        frame.length = (12 * frame.bitrate / frame.rate + padding) * 4;
    } else {
        frame.samples = (frame.layer == 3 && frame.version != 1) ? 576 : 1152;
        frame.length = frame.samples / 8 * frame.bitrate / frame.rate + padding;
    }
    return frame.length >= 4;
}

}  // namespace

// Duration from the first frame after `start` (confirmed by the frame after it).
bool ReadMpegDuration(ByteSource& source, std::uint64_t start, bool id3v1, MediaTags& info)
{
    const std::vector<unsigned char> bytes = ReadAt(source, start, kFrameSearchBytes);
    for (std::size_t pos = 0; pos + 4 <= bytes.size(); ++pos) {
        MpegFrame frame;
        if (!ParseFrameHeader(&bytes[pos], frame)) continue;
        const std::size_t next = pos + static_cast<std::size_t>(frame.length);
        MpegFrame second;
        if (next + 4 <= bytes.size() && !ParseFrameHeader(&bytes[next], second)) continue;
        // A "Xing" or "Info" frame after the side information counts the frames (and
        // LAME's tag after it gives the encoder's delay and padding), or a "VBRI"
        // frame 32 bytes after the header does.
        const std::size_t side = frame.version == 1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
        const std::size_t crc = (bytes[pos + 1] & 1) ? 0 : 2;
        const std::size_t xing = pos + 4 + crc + side;
        const std::size_t vbri = pos + 4 + 32;
        std::uint64_t frames = 0;
        std::uint64_t trim = 0;
        if (frame.layer == 3 && xing <= bytes.size() && bytes.size() - xing >= 12 &&
            (std::memcmp(&bytes[xing], "Xing", 4) == 0 || std::memcmp(&bytes[xing], "Info", 4) == 0)) {
            const std::uint32_t flags = Be32(&bytes[xing + 4]);
            if (flags & 1) {
                frames = Be32(&bytes[xing + 8]);
                const std::size_t lame = xing + 8 + 4 + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
                if (lame < bytes.size() && bytes.size() - lame >= 24 && std::memcmp(&bytes[lame], "LAME", 4) == 0) {
                    const std::uint32_t delay = (bytes[lame + 21] << 4) | (bytes[lame + 22] >> 4);
                    const std::uint32_t padding = ((bytes[lame + 22] & 0x0F) << 8) | bytes[lame + 23];
                    trim = delay + padding;
                }
            }
        } else if (frame.layer == 3 && vbri <= bytes.size() && bytes.size() - vbri >= 18 && std::memcmp(&bytes[vbri], "VBRI", 4) == 0) {
            frames = Be32(&bytes[vbri + 14]);
        }
        if (frames > 0) {
            const std::uint64_t samples = frames * static_cast<std::uint64_t>(frame.samples);
            SetLength(info, samples > trim ? samples - trim : samples, frame.rate);
            return true;
        }
        const std::uint64_t audioStart = start + pos;
        std::uint64_t audioEnd = source.Size();
        if (id3v1 && audioEnd >= audioStart + 128) audioEnd -= 128;
        info.durationMs = static_cast<std::int64_t>((audioEnd - audioStart) * 8000 / static_cast<std::uint64_t>(frame.bitrate));
        return true;
    }
    return false;
}

}  // namespace mediatags::detail
