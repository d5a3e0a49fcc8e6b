// Title, artist and duration from WAV chunks, ID3 tags and the first MPEG frame.
#include "tunestack/track_info.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace tunestack {

std::size_t MemorySource::Read(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_size) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    std::memcpy(buffer, m_data + offset, n);
    return n;
}

namespace {

constexpr std::size_t kMaxId3Bytes = 256 * 1024;   // frames beyond this (pictures, mostly) are not read
constexpr std::size_t kFrameSearchBytes = 64 * 1024;
constexpr int kMaxChunks = 1000;

std::uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint32_t Be32(const unsigned char* p) { return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
std::uint32_t Synchsafe(const unsigned char* p)
{
    return ((p[0] & 0x7Fu) << 21) | ((p[1] & 0x7Fu) << 14) | ((p[2] & 0x7Fu) << 7) | (p[3] & 0x7Fu);
}

std::vector<unsigned char> ReadAt(ByteSource& source, std::uint64_t offset, std::size_t count)
{
    std::vector<unsigned char> bytes(count);
    bytes.resize(source.Read(offset, bytes.data(), count));
    return bytes;
}

std::wstring Trim(std::wstring text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == 0)) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && text[start] == L' ') ++start;
    return text.substr(start);
}

std::wstring Latin1(const unsigned char* p, std::size_t n)
{
    std::wstring text;
    for (std::size_t i = 0; i < n && p[i]; ++i) text.push_back(static_cast<wchar_t>(p[i]));
    return text;
}

// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
std::wstring Utf8OrLatin1(const unsigned char* p, std::size_t n)
{
    std::size_t length = 0;
    while (length < n && p[length]) ++length;
    std::wstring text;
    for (std::size_t i = 0; i < length;) {
        const unsigned char b = p[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + static_cast<std::size_t>(extra) >= length)) return Latin1(p, length);
        std::uint32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return Latin1(p, length);
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Latin1(p, length);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return text;
}

std::wstring Utf16(const unsigned char* p, std::size_t n, bool bigEndian)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const wchar_t c = static_cast<wchar_t>(bigEndian ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

// The text of an ID3v2 text frame: an encoding byte, then the text.
std::wstring Id3Text(const unsigned char* p, std::size_t n)
{
    if (n < 1) return {};
    const unsigned char encoding = p[0];
    ++p;
    --n;
    switch (encoding) {
    case 0: return Latin1(p, n);
    case 1:
        if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return Utf16(p + 2, n - 2, true);
        if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return Utf16(p + 2, n - 2, false);
        return Utf16(p, n, false);
    case 2: return Utf16(p, n, true);
    case 3: return Utf8OrLatin1(p, n);
    default: return {};
    }
}

// The ID3v2 tag at the start: its title and artist; the offset after it.
std::uint64_t ReadId3v2(ByteSource& source, TrackInfo& info, bool& found)
{
    found = false;
    const std::vector<unsigned char> header = ReadAt(source, 0, 10);
    if (header.size() < 10 || std::memcmp(header.data(), "ID3", 3) != 0) return 0;
    const int version = header[3];
    if (version < 2 || version > 4 || (header[6] | header[7] | header[8] | header[9]) & 0x80) return 0;
    found = true;
    const unsigned char flags = header[5];
    const std::uint32_t size = Synchsafe(&header[6]);
    const std::uint64_t end = 10ull + size + ((version == 4 && (flags & 0x10)) ? 10 : 0);
    const std::vector<unsigned char> tag = ReadAt(source, 10, std::min<std::size_t>(size, kMaxId3Bytes));
    std::size_t pos = 0;
    if (version >= 3 && (flags & 0x40) && tag.size() >= 4) {
        // Extended header: its size includes itself in version 4, not in version 3.
        const std::uint32_t extended = version == 4 ? Synchsafe(&tag[0]) : Be32(&tag[0]) + 4;
        pos = extended;
    }
    const std::size_t idLength = version == 2 ? 3 : 4;
    const std::size_t headerLength = version == 2 ? 6 : 10;
    while (pos + headerLength <= tag.size()) {
        const unsigned char* frame = &tag[pos];
        if (frame[0] == 0) break;   // padding
        std::uint32_t frameSize = 0;
        if (version == 2) frameSize = (frame[3] << 16) | (frame[4] << 8) | frame[5];
        else if (version == 3) frameSize = Be32(frame + 4);
        else frameSize = Synchsafe(frame + 4);
        if (frameSize > tag.size() - pos - headerLength) break;
        const std::string_view id(reinterpret_cast<const char*>(frame), idLength);
        const bool compressedOrEncrypted = version == 3 ? (frame[9] & 0xC0) != 0 : version == 4 ? (frame[9] & 0x0C) != 0 : false;
        if (!compressedOrEncrypted) {
            if ((id == "TIT2" || id == "TT2") && info.title.empty()) info.title = Trim(Id3Text(frame + headerLength, frameSize));
            if ((id == "TPE1" || id == "TP1") && info.artist.empty()) info.artist = Trim(Id3Text(frame + headerLength, frameSize));
        }
        pos += headerLength + frameSize;
    }
    return end;
}

void ReadId3v1(ByteSource& source, TrackInfo& info, bool& found)
{
    found = false;
    if (source.Size() < 128) return;
    const std::vector<unsigned char> tag = ReadAt(source, source.Size() - 128, 128);
    if (tag.size() < 128 || std::memcmp(tag.data(), "TAG", 3) != 0) return;
    found = true;
    if (info.title.empty()) info.title = Trim(Latin1(&tag[3], 30));
    if (info.artist.empty()) info.artist = Trim(Latin1(&tag[33], 30));
}

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

// Duration from the first frame after `start` (confirmed by the frame after it).
bool ReadMpegDuration(ByteSource& source, std::uint64_t start, bool id3v1, TrackInfo& info)
{
    const std::vector<unsigned char> bytes = ReadAt(source, start, kFrameSearchBytes);
    for (std::size_t pos = 0; pos + 4 <= bytes.size(); ++pos) {
        MpegFrame frame;
        if (!ParseFrameHeader(&bytes[pos], frame)) continue;
        const std::size_t next = pos + static_cast<std::size_t>(frame.length);
        MpegFrame second;
        if (next + 4 <= bytes.size() && !ParseFrameHeader(&bytes[next], second)) continue;
        // A "Xing" or "Info" frame after the side information counts the frames.
        const std::size_t side = frame.version == 1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
        const std::size_t xing = pos + 4 + side;
        if (frame.layer == 3 && xing + 12 <= bytes.size() &&
            (std::memcmp(&bytes[xing], "Xing", 4) == 0 || std::memcmp(&bytes[xing], "Info", 4) == 0)) {
            const std::uint32_t flags = Be32(&bytes[xing + 4]);
            if (flags & 1) {
                const std::uint64_t frames = Be32(&bytes[xing + 8]);
                info.durationMs = static_cast<std::int64_t>(frames * static_cast<std::uint64_t>(frame.samples) * 1000 /
                                                            static_cast<std::uint64_t>(frame.rate));
                return true;
            }
        }
        const std::uint64_t audioStart = start + pos;
        std::uint64_t audioEnd = source.Size();
        if (id3v1 && audioEnd >= audioStart + 128) audioEnd -= 128;
        info.durationMs = static_cast<std::int64_t>((audioEnd - audioStart) * 8000 / static_cast<std::uint64_t>(frame.bitrate));
        return true;
    }
    return false;
}

bool ReadWav(ByteSource& source, TrackInfo& info)
{
    const std::vector<unsigned char> header = ReadAt(source, 0, 12);
    if (header.size() < 12 || std::memcmp(header.data(), "RIFF", 4) != 0 || std::memcmp(&header[8], "WAVE", 4) != 0) {
        return false;
    }
    std::uint32_t bytesPerSecond = 0;
    std::uint64_t dataBytes = 0;
    bool haveData = false;
    std::uint64_t pos = 12;
    for (int chunks = 0; chunks < kMaxChunks && pos + 8 <= source.Size(); ++chunks) {
        const std::vector<unsigned char> chunk = ReadAt(source, pos, 8);
        if (chunk.size() < 8) break;
        const std::uint32_t size = Le32(&chunk[4]);
        const std::uint64_t body = pos + 8;
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            const std::vector<unsigned char> fmt = ReadAt(source, body, 16);
            if (fmt.size() >= 12) bytesPerSecond = Le32(&fmt[8]);
        } else if (std::memcmp(chunk.data(), "data", 4) == 0 && !haveData) {
            haveData = true;
            // A recording cut short may claim more than the file holds.
            dataBytes = std::min<std::uint64_t>(size, source.Size() - body);
            if (size == 0 || size == 0xFFFFFFFFu) dataBytes = source.Size() - body;
        } else if (std::memcmp(chunk.data(), "LIST", 4) == 0 && size >= 4) {
            const std::vector<unsigned char> list = ReadAt(source, body, std::min<std::size_t>(size, 64 * 1024));
            if (list.size() >= 4 && std::memcmp(list.data(), "INFO", 4) == 0) {
                std::size_t at = 4;
                while (at + 8 <= list.size()) {
                    const std::uint32_t itemSize = Le32(&list[at + 4]);
                    if (itemSize > list.size() - at - 8) break;
                    const std::string_view id(reinterpret_cast<const char*>(&list[at]), 4);
                    if (id == "INAM" && info.title.empty()) info.title = Trim(Utf8OrLatin1(&list[at + 8], itemSize));
                    if (id == "IART" && info.artist.empty()) info.artist = Trim(Utf8OrLatin1(&list[at + 8], itemSize));
                    at += 8 + itemSize + (itemSize & 1);
                }
            }
        }
        pos = body + size + (size & 1);
    }
    if (haveData && bytesPerSecond > 0) {
        info.durationMs = static_cast<std::int64_t>(dataBytes * 1000 / bytesPerSecond);
    }
    return true;
}

}  // namespace

AudioKind ReadTrackInfo(ByteSource& source, TrackInfo& info)
{
    info = TrackInfo();
    if (ReadWav(source, info)) return AudioKind::Wav;
    info = TrackInfo();
    bool id3v2 = false;
    bool id3v1 = false;
    const std::uint64_t audioStart = ReadId3v2(source, info, id3v2);
    ReadId3v1(source, info, id3v1);
    const bool frames = ReadMpegDuration(source, audioStart, id3v1, info);
    if (!id3v2 && !frames) {
        info = TrackInfo();
        return AudioKind::Unknown;
    }
    return AudioKind::Mp3;
}

std::wstring FormatDuration(std::int64_t durationMs)
{
    if (durationMs < 0) return {};
    const std::int64_t seconds = durationMs / 1000;
    const std::int64_t h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    const auto two = [](std::int64_t v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    if (h > 0) return std::to_wstring(h) + L":" + two(m) + L":" + two(s);
    return std::to_wstring(m) + L":" + two(s);
}

}  // namespace tunestack
