#include "mp3_frames.h"

namespace vocalith {

namespace {

const int kBitrates1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const int kBitrates2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
const int kRates1[3] = {44100, 48000, 32000};

}  // namespace

bool ParseMp3Header(const std::uint8_t* h, Mp3Frame& frame) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (h[1] >> 3) & 3;
    const int layerBits = (h[1] >> 1) & 3;
    if (versionBits == 1 || layerBits != 1) return false;   // reserved version; Layer III only
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    const int padding = (h[2] >> 1) & 1;
    frame.version = versionBits == 3 ? 10 : (versionBits == 2 ? 20 : 25);
    const bool mpeg1 = frame.version == 10;
    frame.bitrate = mpeg1 ? kBitrates1[bitrateIndex] : kBitrates2[bitrateIndex];
    frame.rate = kRates1[rateIndex] / (mpeg1 ? 1 : (frame.version == 20 ? 2 : 4));
    frame.channels = (h[3] >> 6) == 3 ? 1 : 2;
    frame.samplesPerFrame = mpeg1 ? 1152 : 576;
    frame.frameBytes = (mpeg1 ? 144 : 72) * frame.bitrate * 1000 / frame.rate + padding;
    return true;
}

std::uint64_t Id3v2Size(const std::uint8_t* d, std::size_t size) {
    if (size < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3') return 0;
    if ((d[6] | d[7] | d[8] | d[9]) & 0x80) return 0;   // not a synch-safe size
    std::uint64_t body = (static_cast<std::uint64_t>(d[6]) << 21) | (d[7] << 14) | (d[8] << 7) | d[9];
    return 10 + body + ((d[5] & 0x10) ? 10 : 0);
}

std::int64_t FindFirstMp3Frame(const std::uint8_t* data, std::size_t size, Mp3Frame& frame) {
    std::uint64_t start = Id3v2Size(data, size);
    for (std::uint64_t at = start; at + 4 <= size; ++at) {
        Mp3Frame first;
        if (!ParseMp3Header(data + at, first)) continue;
        const std::uint64_t next = at + static_cast<std::uint64_t>(first.frameBytes);
        Mp3Frame second;
        const bool confirmed = next + 4 <= size && ParseMp3Header(data + next, second) &&
                               second.version == first.version && second.rate == first.rate &&
                               second.channels == first.channels;
        if (confirmed || next == size) {
            frame = first;
            return static_cast<std::int64_t>(at);
        }
    }
    return -1;
}

}  // namespace vocalith
