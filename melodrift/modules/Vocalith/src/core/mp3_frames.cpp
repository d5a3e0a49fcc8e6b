#include "mp3_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vocalith {

namespace {

const int kBitrates1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const int kBitrates2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
const int kRates1[3] = {44100, 48000, 32000};

std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// Bytes of side information after the 4-byte header (no CRC counted).
std::size_t SideInfoBytes(const Mp3Frame& frame) {
    if (frame.version == 10) return frame.channels == 1 ? 17 : 32;
    return frame.channels == 1 ? 9 : 17;
}

bool ReadXing(const std::uint8_t* data, std::size_t size, std::size_t at, Mp3StreamInfo& info) {
    if (at + 8 > size) return false;
    if (std::memcmp(data + at, "Xing", 4) != 0 && std::memcmp(data + at, "Info", 4) != 0) return false;
    const std::uint32_t flags = Be32(data + at + 4);
    std::size_t field = at + 8;
    Mp3StreamInfo read;
    if (!(flags & 1) || field + 4 > size) return false;   // no frame count: nothing to go by
    read.frames = Be32(data + field);
    field += 4;
    if (flags & 2) {
        if (field + 4 > size) return false;
        read.bytes = Be32(data + field);
        field += 4;
    }
    if (flags & 4) {
        if (field + 100 > size) return false;
        std::memcpy(read.toc, data + field, 100);
        // A table that goes back is damaged: positions are taken from the bytes instead.
        read.hasToc = std::is_sorted(read.toc, read.toc + 100);
        field += 100;
    }
    if (flags & 8) field += 4;   // a quality indicator
    if (field + 24 <= size && std::memcmp(data + field, "LAME", 4) == 0) {
        read.delay = (static_cast<std::uint32_t>(data[field + 21]) << 4) | (data[field + 22] >> 4);
        read.padding = ((static_cast<std::uint32_t>(data[field + 22]) & 0x0F) << 8) | data[field + 23];
        read.hasEncoderTag = true;
    }
    if (read.frames == 0) return false;
    info = read;
    return true;
}

// A "VBRI" table: the bytes of each group of frames (in units of `scale`), as
// positions of each hundredth of the frames.
void VbriToc(const std::uint8_t* data, std::size_t size, std::size_t at, Mp3StreamInfo& info) {
    if (at + 26 > size || info.bytes == 0) return;
    const std::uint32_t entries = (data[at + 18] << 8) | data[at + 19];
    const std::uint32_t scale = (data[at + 20] << 8) | data[at + 21];
    const std::uint32_t entryBytes = (data[at + 22] << 8) | data[at + 23];
    const std::uint32_t framesPerEntry = (data[at + 24] << 8) | data[at + 25];
    if (entries == 0 || framesPerEntry == 0 || entryBytes == 0 || entryBytes > 4 || entries > (size - at - 26) / entryBytes) return;
    std::uint64_t sum = 0;
    std::uint64_t ends[101] = {};   // the bytes before each hundredth
    std::uint32_t percent = 1;
    for (std::uint32_t i = 0; i < entries && percent <= 100; ++i) {
        std::uint64_t group = 0;
        for (std::uint32_t k = 0; k < entryBytes; ++k) group = (group << 8) | data[at + 26 + i * entryBytes + k];
        const std::uint64_t from = static_cast<std::uint64_t>(i) * framesPerEntry;
        const std::uint64_t to = from + framesPerEntry;
        // The hundredths whose first frame lies within this group, read between its ends.
        while (percent <= 100 && static_cast<std::uint64_t>(percent) * info.frames / 100 < to) {
            const std::uint64_t frame = static_cast<std::uint64_t>(percent) * info.frames / 100;
            ends[percent] = sum + group * std::max<std::uint32_t>(scale, 1) * (frame - std::min(frame, from)) / framesPerEntry;
            ++percent;
        }
        sum += group * std::max<std::uint32_t>(scale, 1);
    }
    for (int p = 0; p < 100; ++p) info.toc[p] = static_cast<std::uint8_t>(std::min<std::uint64_t>(255, ends[p] * 256 / info.bytes));
    info.hasToc = percent > 99 && std::is_sorted(info.toc, info.toc + 100);
}

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

bool ReadMp3StreamInfo(const std::uint8_t* data, std::size_t size, const Mp3Frame& frame, Mp3StreamInfo& info) {
    if (!data || size < 4) return false;
    const std::size_t crc = (data[1] & 1) ? 0 : 2;   // protection bit clear: a checksum follows the header
    if (ReadXing(data, size, 4 + crc + SideInfoBytes(frame), info)) return true;
    // "VBRI" stands 32 bytes after the header: version, delay, quality (2 bytes
    // each), then the bytes and the frames of the stream.
    const std::size_t vbri = 4 + 32;
    if (vbri + 18 > size || std::memcmp(data + vbri, "VBRI", 4) != 0) return false;
    Mp3StreamInfo read;
    read.bytes = Be32(data + vbri + 10);
    read.frames = Be32(data + vbri + 14);
    if (read.frames == 0) return false;
    VbriToc(data, size, vbri, read);
    info = read;
    return true;
}

std::uint64_t Mp3SeekOffset(const Mp3StreamInfo& info, double share, std::uint64_t streamBytes) {
    if (!(share > 0)) return 0;   // NaN included
    share = std::min(share, 1.0);
    const std::uint64_t bytes = info.bytes ? info.bytes : streamBytes;
    if (!info.hasToc) return static_cast<std::uint64_t>(share * static_cast<double>(bytes));
    const double percent = share * 100.0;
    const int index = std::min(99, static_cast<int>(percent));
    const double from = info.toc[index];
    const double to = index < 99 ? info.toc[index + 1] : 256.0;
    const double fraction = from + (to - from) * (percent - index);
    return static_cast<std::uint64_t>(fraction / 256.0 * static_cast<double>(bytes));
}

std::size_t IndexMp3Frames(const std::uint8_t* data, std::size_t size, std::uint64_t base, const Mp3Frame& like,
                           bool atEnd, std::vector<std::uint64_t>& offsets) {
    std::size_t at = 0;
    while (at + 4 <= size) {
        Mp3Frame frame;
        if (!ParseMp3Header(data + at, frame) || frame.version != like.version || frame.rate != like.rate ||
            frame.channels != like.channels) {
            ++at;
            continue;
        }
        const std::size_t bytes = static_cast<std::size_t>(frame.frameBytes);
        if (bytes > size - at && !atEnd) return at;
        offsets.push_back(base + at);
        if (bytes > size - at) return size;
        at += bytes;
    }
    return atEnd ? size : at;
}

}  // namespace vocalith
