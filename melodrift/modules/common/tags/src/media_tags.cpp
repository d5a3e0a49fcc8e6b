// Our own readers of the tags and lengths of WAV, MP3, FLAC, Ogg, MP4 and ASF files.
#include "mediatags/media_tags.h"

#include <algorithm>
#include <initializer_list>
#include <cstring>
#include <string_view>
#include <vector>

namespace mediatags {

std::size_t MemorySource::Read(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_size) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    if (n == 0) return 0;   // an empty read may come with no buffer at all
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

// A number at the start of the text ("3", "3/12"); 0 when there is none.
int LeadingNumber(const std::wstring& text)
{
    int value = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    const std::size_t first = i;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && i - first < 6; ++i) value = value * 10 + (text[i] - L'0');
    return value;
}

// Undoes ID3v2 unsynchronisation: FF 00 becomes FF.
std::vector<unsigned char> Resynchronise(const unsigned char* p, std::size_t n)
{
    std::vector<unsigned char> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0) ++i;
    }
    return out;
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
std::uint64_t ReadId3v2(ByteSource& source, MediaTags& info, bool& found)
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
    std::vector<unsigned char> tag = ReadAt(source, 10, std::min<std::size_t>(size, kMaxId3Bytes));
    if (size > source.Size() - 10) info.damaged = true;
    // Versions 2 and 3 unsynchronise the whole tag, version 4 each frame.
    if (version < 4 && (flags & 0x80)) tag = Resynchronise(tag.data(), tag.size());
    std::size_t pos = 0;   // never beyond tag.size()
    if (version >= 3 && (flags & 0x40) && tag.size() >= 4) {
        // Extended header: its size includes itself in version 4, not in version 3
        // (there it follows its four bytes of size).
        const std::uint32_t extended = version == 4 ? Synchsafe(&tag[0]) : Be32(&tag[0]);
        const std::size_t before = version == 4 ? 0 : 4;
        if (extended > tag.size() - before) {
            info.damaged = true;   // no frame is read from a tag whose extended header runs past it
            pos = tag.size();
        } else {
            pos = before + extended;
        }
    }
    const std::size_t idLength = version == 2 ? 3 : 4;
    const std::size_t headerLength = version == 2 ? 6 : 10;
    while (tag.size() - pos >= headerLength) {
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
            const unsigned char* body = frame + headerLength;
            std::size_t bodySize = frameSize;
            std::vector<unsigned char> plain;
            if (version == 4 && (frame[9] & 0x01) && bodySize >= 4) {   // a data length indicator first
                body += 4;
                bodySize -= 4;
            }
            if (version == 4 && ((frame[9] & 0x02) || (flags & 0x80))) {   // this frame unsynchronised
                plain = Resynchronise(body, bodySize);
                body = plain.data();
                bodySize = plain.size();
            }
            const auto text = [&] { return Trim(Id3Text(body, bodySize)); };
            if ((id == "TIT2" || id == "TT2") && info.title.empty()) info.title = text();
            if ((id == "TPE1" || id == "TP1") && info.artist.empty()) info.artist = text();
            if ((id == "TALB" || id == "TAL") && info.album.empty()) info.album = text();
            if ((id == "TRCK" || id == "TRK") && info.track == 0) info.track = LeadingNumber(text());
        }
        pos += headerLength + frameSize;
    }
    return end;
}

void ReadId3v1(ByteSource& source, MediaTags& info, bool& found)
{
    found = false;
    if (source.Size() < 128) return;
    const std::vector<unsigned char> tag = ReadAt(source, source.Size() - 128, 128);
    if (tag.size() < 128 || std::memcmp(tag.data(), "TAG", 3) != 0) return;
    found = true;
    if (info.title.empty()) info.title = Trim(Latin1(&tag[3], 30));
    if (info.artist.empty()) info.artist = Trim(Latin1(&tag[33], 30));
    if (info.album.empty()) info.album = Trim(Latin1(&tag[63], 30));
    if (info.track == 0 && tag[125] == 0 && tag[126] != 0) info.track = tag[126];   // ID3v1.1
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
bool ReadMpegDuration(ByteSource& source, std::uint64_t start, bool id3v1, MediaTags& info)
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

bool ReadWav(ByteSource& source, MediaTags& info)
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
                    if (id == "IPRD" && info.album.empty()) info.album = Trim(Utf8OrLatin1(&list[at + 8], itemSize));
                    if ((id == "ITRK" || id == "IPRT") && info.track == 0)
                        info.track = LeadingNumber(Trim(Utf8OrLatin1(&list[at + 8], itemSize)));
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


std::uint64_t Le64(const unsigned char* p) { return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32); }
std::uint64_t Be64(const unsigned char* p) { return (static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4); }
std::uint32_t Be24(const unsigned char* p) { return (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2]; }

constexpr std::size_t kMaxCommentBytes = 1024 * 1024;   // Vorbis comments (a cover picture, mostly, beyond)
constexpr std::size_t kMaxOggPages = 64;                // pages read for the two header packets
constexpr std::size_t kOggTailBytes = 64 * 1024;        // read from the end for the last granule position
constexpr int kMaxAtoms = 4096;                         // MP4 atoms visited
constexpr int kMaxAtomDepth = 12;
constexpr std::size_t kMaxItemBytes = 64 * 1024;        // one MP4 item or ASF object read for its text

bool SameAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A Vorbis comment block (FLAC, Ogg Vorbis, Opus): the vendor, then
// "NAME=value" pairs in UTF-8. Reads what fits; false when the block's own
// sizes run past its end.
bool ReadVorbisComment(const unsigned char* p, std::size_t n, MediaTags& info)
{
    if (n < 8) return false;
    const std::uint32_t vendor = Le32(p);
    if (vendor > n - 8) return false;
    std::size_t at = 4 + vendor;
    const std::uint32_t count = Le32(p + at);
    at += 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (n - at < 4) return false;
        const std::uint32_t length = Le32(p + at);
        at += 4;
        if (length > n - at) return false;
        const std::string_view entry(reinterpret_cast<const char*>(p + at), length);
        const std::size_t equals = entry.find('=');
        if (equals != std::string_view::npos) {
            const std::string_view name = entry.substr(0, equals);
            const unsigned char* value = p + at + equals + 1;
            const std::size_t valueSize = length - equals - 1;
            if (SameAsciiNoCase(name, "TITLE") && info.title.empty()) info.title = Trim(Utf8OrLatin1(value, valueSize));
            if (SameAsciiNoCase(name, "ARTIST") && info.artist.empty()) info.artist = Trim(Utf8OrLatin1(value, valueSize));
            if (SameAsciiNoCase(name, "ALBUM") && info.album.empty()) info.album = Trim(Utf8OrLatin1(value, valueSize));
            if (SameAsciiNoCase(name, "TRACKNUMBER") && info.track == 0)
                info.track = LeadingNumber(Utf8OrLatin1(value, valueSize));
        }
        at += length;
    }
    return true;
}

void SetLength(MediaTags& info, std::uint64_t frames, int rate)
{
    if (rate <= 0 || frames > (1ull << 50)) return;
    info.frames = static_cast<std::int64_t>(frames);
    info.rate = rate;
    info.durationMs = static_cast<std::int64_t>(frames * 1000 / static_cast<std::uint64_t>(rate));
}

// "fLaC" at `start`, then metadata blocks: STREAMINFO first, the comments anywhere.
void ReadFlac(ByteSource& source, std::uint64_t start, MediaTags& info)
{
    std::uint64_t pos = start + 4;
    bool streamInfo = false;
    for (int blocks = 0; blocks < 1000; ++blocks) {
        const std::vector<unsigned char> header = ReadAt(source, pos, 4);
        if (header.size() < 4) {
            info.damaged = true;
            return;
        }
        const bool last = (header[0] & 0x80) != 0;
        const int type = header[0] & 0x7F;
        const std::uint32_t length = Be24(&header[1]);
        const std::uint64_t body = pos + 4;
        if (length > source.Size() - body || (blocks == 0 && (type != 0 || length < 34))) {
            info.damaged = true;
            return;
        }
        if (type == 0 && length >= 34) {
            const std::vector<unsigned char> si = ReadAt(source, body, 34);
            if (si.size() == 34) {
                const int rate = static_cast<int>((si[10] << 12) | (si[11] << 4) | (si[12] >> 4));
                const std::uint64_t total = (static_cast<std::uint64_t>(si[13] & 0x0F) << 32) | Be32(&si[14]);
                streamInfo = rate > 0;
                if (streamInfo && total > 0) SetLength(info, total, rate);
                if (!streamInfo) info.damaged = true;
            }
        } else if (type == 4) {
            const std::vector<unsigned char> comment = ReadAt(source, body, std::min<std::size_t>(length, kMaxCommentBytes));
            ReadVorbisComment(comment.data(), comment.size(), info);
        }
        pos = body + length;
        if (last) break;
    }
    if (!streamInfo) info.damaged = true;
}

struct OggPage {
    std::uint64_t granule = 0;
    std::uint32_t serial = 0;
    unsigned char type = 0;
    std::vector<unsigned char> lacing;
    std::uint64_t bodyAt = 0;
    std::size_t bodySize = 0;
};

// The page at `pos`; false when no page stands there or it runs past the end.
bool ReadOggPage(ByteSource& source, std::uint64_t pos, OggPage& page)
{
    const std::vector<unsigned char> header = ReadAt(source, pos, 27);
    if (header.size() < 27 || std::memcmp(header.data(), "OggS", 4) != 0 || header[4] != 0) return false;
    page.type = header[5];
    page.granule = Le64(&header[6]);
    page.serial = Le32(&header[14]);
    page.lacing = ReadAt(source, pos + 27, header[26]);
    if (page.lacing.size() != header[26]) return false;
    page.bodyAt = pos + 27 + header[26];
    page.bodySize = 0;
    for (unsigned char l : page.lacing) page.bodySize += l;
    return page.bodySize <= source.Size() - page.bodyAt;
}

// The first logical stream's identification and comment headers (Vorbis or
// Opus), and its length from the last page of that stream.
MediaFormat ReadOgg(ByteSource& source, MediaTags& info)
{
    std::vector<std::vector<unsigned char>> packets(1);
    std::uint64_t pos = 0;
    std::uint32_t serial = 0;
    for (std::size_t pages = 0; pages < kMaxOggPages && packets.size() < 3; ++pages) {
        OggPage page;
        if (!ReadOggPage(source, pos, page)) break;
        if (pages == 0) serial = page.serial;
        if (page.serial == serial) {
            std::uint64_t at = page.bodyAt;
            for (unsigned char l : page.lacing) {
                std::vector<unsigned char>& packet = packets.back();
                if (packet.size() < kMaxCommentBytes) {
                    const std::vector<unsigned char> piece = ReadAt(source, at, l);
                    packet.insert(packet.end(), piece.begin(), piece.end());
                }
                at += l;
                if (l < 255) {
                    packets.emplace_back();
                    if (packets.size() == 3) break;
                }
            }
        }
        pos = page.bodyAt + page.bodySize;
    }
    const std::vector<unsigned char>& id = packets[0];
    MediaFormat format = MediaFormat::OggVorbis;
    int rate = 0;
    std::uint64_t preSkip = 0;
    if (id.size() >= 30 && id[0] == 1 && std::memcmp(&id[1], "vorbis", 6) == 0) {
        rate = static_cast<int>(Le32(&id[12]));
    } else if (id.size() >= 19 && std::memcmp(id.data(), "OpusHead", 8) == 0) {
        format = MediaFormat::Opus;
        rate = 48000;   // Opus always decodes at 48 kHz
        preSkip = id[10] | (id[11] << 8);
    } else {
        info.damaged = true;   // another codec in Ogg, or no header at all
        return format;
    }
    if (packets.size() < 3) info.damaged = true;   // the comment header is cut short
    if (packets.size() >= 2) {
        const std::vector<unsigned char>& comment = packets[1];
        if (format == MediaFormat::OggVorbis && comment.size() >= 7 && comment[0] == 3 &&
            std::memcmp(&comment[1], "vorbis", 6) == 0) {
            ReadVorbisComment(comment.data() + 7, comment.size() - 7, info);
        } else if (format == MediaFormat::Opus && comment.size() >= 8 && std::memcmp(comment.data(), "OpusTags", 8) == 0) {
            ReadVorbisComment(comment.data() + 8, comment.size() - 8, info);
        }
    }
    // The last page of the stream holds the granule position of its last sample.
    const std::uint64_t size = source.Size();
    const std::uint64_t tailAt = size > kOggTailBytes ? size - kOggTailBytes : 0;
    const std::vector<unsigned char> tail = ReadAt(source, tailAt, kOggTailBytes);
    std::uint64_t granule = 0;
    bool found = false;
    for (std::size_t i = 0; i + 27 <= tail.size(); ++i) {
        if (tail[i] != 'O' || std::memcmp(&tail[i], "OggS", 4) != 0 || tail[i + 4] != 0) continue;
        if (Le32(&tail[i + 14]) != serial) continue;
        const std::uint64_t g = Le64(&tail[i + 6]);
        if (g == ~0ull) continue;   // a page on which no packet ends
        granule = g;
        found = true;
    }
    if (found && rate > 0 && granule > preSkip) SetLength(info, granule - preSkip, rate);
    return format;
}

// ---- MP4 ----------------------------------------------------------------------------------------

struct Atom {
    char type[5] = {};
    std::uint64_t body = 0;   // where its content starts
    std::uint64_t end = 0;    // where it ends
};

struct Mp4State {
    int atoms = 0;
    bool damaged = false;
    std::uint32_t movieScale = 0;
    std::uint64_t movieDuration = 0;
    // The sound track (the first track whose handler is "soun").
    bool inSound = false;
    bool haveSound = false;
    std::uint32_t mediaScale = 0;
    std::uint64_t mediaDuration = 0;
    bool haveEdit = false;
    std::uint64_t editDuration = 0;   // movie time scale
    std::uint32_t sampleRate = 0;
    // The current track, until its handler is known.
    std::uint32_t trackScale = 0;
    std::uint64_t trackDuration = 0;
    bool trackEdit = false;
    std::uint64_t trackEditDuration = 0;
    std::uint32_t trackRate = 0;
};

// The atoms between `from` and `to`; false (and damaged) when one claims more than its parent holds.
bool NextAtom(ByteSource& source, std::uint64_t pos, std::uint64_t to, Atom& atom, Mp4State& state)
{
    if (pos > to || to - pos < 8) return false;
    const std::vector<unsigned char> h = ReadAt(source, pos, 16);
    if (h.size() < 8) {
        state.damaged = true;
        return false;
    }
    std::uint64_t size = Be32(h.data());
    std::uint64_t header = 8;
    if (size == 1) {
        if (h.size() < 16) {
            state.damaged = true;
            return false;
        }
        size = Be64(&h[8]);
        header = 16;
    } else if (size == 0) {
        size = to - pos;   // to the end of its parent
    }
    if (size < header || size > to - pos) {
        state.damaged = true;
        return false;
    }
    std::memcpy(atom.type, h.data() + 4, 4);
    atom.body = pos + header;
    atom.end = pos + size;
    return true;
}

// The text or number of an item of the iTunes list ("©nam" holding a "data" atom).
void ReadMp4Item(ByteSource& source, const Atom& item, MediaTags& info, Mp4State& state)
{
    Atom data;
    if (!NextAtom(source, item.body, item.end, data, state) || std::memcmp(data.type, "data", 4) != 0) return;
    if (data.end - data.body < 8) return;
    const std::vector<unsigned char> value =
        ReadAt(source, data.body + 8, static_cast<std::size_t>(std::min<std::uint64_t>(data.end - data.body - 8, kMaxItemBytes)));
    const std::string_view type(item.type, 4);
    const auto text = [&] { return Trim(Utf8OrLatin1(value.data(), value.size())); };
    if (type == "\xA9nam" && info.title.empty()) info.title = text();
    if (type == "\xA9" "ART" && info.artist.empty()) info.artist = text();
    if (type == "\xA9" "alb" && info.album.empty()) info.album = text();
    if (type == "trkn" && info.track == 0 && value.size() >= 4) info.track = (value[2] << 8) | value[3];
}

void WalkMp4(ByteSource& source, std::uint64_t from, std::uint64_t to, int depth, MediaTags& info, Mp4State& state)
{
    if (depth > kMaxAtomDepth) return;
    std::uint64_t pos = from;
    Atom atom;
    while (state.atoms < kMaxAtoms && NextAtom(source, pos, to, atom, state)) {
        ++state.atoms;
        const std::string_view type(atom.type, 4);
        const std::uint64_t length = atom.end - atom.body;
        if (type == "moov" || type == "mdia" || type == "minf" || type == "stbl" || type == "edts" || type == "udta" ||
            type == "ilst") {
            WalkMp4(source, atom.body, atom.end, depth + 1, info, state);
        } else if (type == "trak") {
            state.inSound = false;
            state.trackScale = 0;
            state.trackEdit = false;
            state.trackRate = 0;
            WalkMp4(source, atom.body, atom.end, depth + 1, info, state);
            if (state.inSound && !state.haveSound) {
                state.haveSound = true;
                state.mediaScale = state.trackScale;
                state.mediaDuration = state.trackDuration;
                state.haveEdit = state.trackEdit;
                state.editDuration = state.trackEditDuration;
                state.sampleRate = state.trackRate;
            }
            state.inSound = false;
        } else if (type == "meta") {
            // A full atom: version and flags before its children (QuickTime's has none).
            const std::vector<unsigned char> peek = ReadAt(source, atom.body + 4, 4);
            const bool full = !(peek.size() == 4 && (std::memcmp(peek.data(), "hdlr", 4) == 0));
            if (!full || length >= 4) WalkMp4(source, atom.body + (full ? 4 : 0), atom.end, depth + 1, info, state);
        } else if (type == "mvhd" || type == "mdhd") {
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 32);
            std::uint32_t scale = 0;
            std::uint64_t duration = 0;
            if (h.size() >= 20 && h[0] == 0) {
                scale = Be32(&h[12]);
                duration = Be32(&h[16]);
            } else if (h.size() >= 32 && h[0] == 1) {
                scale = Be32(&h[20]);
                duration = Be64(&h[24]);
            }
            if (type == "mvhd") {
                state.movieScale = scale;
                state.movieDuration = duration;
            } else {
                state.trackScale = scale;
                state.trackDuration = duration;
            }
        } else if (type == "hdlr") {
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 12);
            if (h.size() == 12 && std::memcmp(&h[8], "soun", 4) == 0) state.inSound = true;
        } else if (type == "elst") {
            // One edit that plays the media from some time on: the length without the encoder's delay and padding.
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 28);
            if (h.size() >= 8 && Be32(&h[4]) >= 1) {
                if (h[0] == 0 && h.size() >= 16) {
                    state.trackEdit = Be32(&h[4]) == 1 && Be32(&h[12]) != 0xFFFFFFFFu;
                    state.trackEditDuration = Be32(&h[8]);
                } else if (h[0] == 1 && h.size() >= 28) {
                    state.trackEdit = Be32(&h[4]) == 1 && Be64(&h[16]) != ~0ull;
                    state.trackEditDuration = Be64(&h[8]);
                }
            }
        } else if (type == "stsd") {
            // The first sample description: a sound entry holds its rate as 16.16 at its offset 32.
            const std::vector<unsigned char> h = ReadAt(source, atom.body, 8 + 36);
            if (h.size() >= 44) state.trackRate = Be32(&h[8 + 32]) >> 16;
        } else if (depth >= 1 && length > 0 && (atom.type[0] == '\xA9' || type == "trkn")) {
            ReadMp4Item(source, atom, info, state);
        }
        pos = atom.end;
    }
}

void ReadMp4(ByteSource& source, MediaTags& info)
{
    Mp4State state;
    WalkMp4(source, 0, source.Size(), 0, info, state);
    if (state.damaged || state.movieScale == 0) info.damaged = true;
    if (state.haveSound && state.mediaScale > 0) {
        const int rate = static_cast<int>(state.sampleRate ? state.sampleRate : state.mediaScale);
        if (state.haveEdit && state.movieScale > 0) {
            SetLength(info, state.editDuration * static_cast<std::uint64_t>(rate) / state.movieScale, rate);
        } else {
            SetLength(info, state.mediaDuration * static_cast<std::uint64_t>(rate) / state.mediaScale, rate);
        }
    } else if (state.movieScale > 0) {
        info.durationMs = static_cast<std::int64_t>(state.movieDuration * 1000 / state.movieScale);
    }
    if (!state.haveSound) info.damaged = true;
}

// ---- ASF ----------------------------------------------------------------------------------------

const unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kAsfFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const unsigned char kAsfContent[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kAsfExtendedContent[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                               0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

std::wstring Utf16Le(const std::vector<unsigned char>& b, std::size_t at, std::size_t n)
{
    if (at > b.size()) return {};
    return Trim(Utf16(b.data() + at, std::min(n, b.size() - at), false));
}

void ReadAsf(ByteSource& source, MediaTags& info)
{
    const std::vector<unsigned char> header = ReadAt(source, 0, 30);
    if (header.size() < 30) {
        info.damaged = true;
        return;
    }
    const std::uint64_t size = Le64(&header[16]);
    if (size < 30 || size > source.Size()) info.damaged = true;
    const std::uint64_t end = std::min(size, source.Size());
    const std::uint32_t count = Le32(&header[24]);
    std::uint64_t pos = 30;
    bool properties = false;
    for (std::uint32_t i = 0; i < count && i < 1000 && pos + 24 <= end; ++i) {
        const std::vector<unsigned char> h = ReadAt(source, pos, 24);
        if (h.size() < 24) break;
        const std::uint64_t objectSize = Le64(&h[16]);
        if (objectSize < 24 || objectSize > end - pos) {
            info.damaged = true;
            break;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(objectSize - 24, kMaxItemBytes));
        if (std::memcmp(h.data(), kAsfFileProperties, 16) == 0) {
            const std::vector<unsigned char> o = ReadAt(source, pos + 24, want);
            if (o.size() >= 64) {
                properties = true;
                const std::uint64_t play = Le64(&o[40]);   // 100 ns
                const std::uint64_t preroll = Le64(&o[56]);   // ms
                const std::int64_t ms = static_cast<std::int64_t>(play / 10000) - static_cast<std::int64_t>(preroll);
                if (play / 10000 < (1ull << 40)) info.durationMs = std::max<std::int64_t>(ms, 0);
            }
        } else if (std::memcmp(h.data(), kAsfContent, 16) == 0) {
            const std::vector<unsigned char> o = ReadAt(source, pos + 24, want);
            if (o.size() >= 10) {
                const std::size_t title = o[0] | (o[1] << 8), author = o[2] | (o[3] << 8);
                if (info.title.empty()) info.title = Utf16Le(o, 10, title);
                if (info.artist.empty()) info.artist = Utf16Le(o, 10 + title, author);
            }
        } else if (std::memcmp(h.data(), kAsfExtendedContent, 16) == 0) {
            const std::vector<unsigned char> o = ReadAt(source, pos + 24, want);
            if (o.size() >= 2) {
                const std::size_t items = o[0] | (o[1] << 8);
                std::size_t at = 2;
                for (std::size_t k = 0; k < items && at + 2 <= o.size(); ++k) {
                    const std::size_t nameLength = o[at] | (o[at + 1] << 8);
                    if (nameLength > o.size() - at - 2 || o.size() - at - 2 - nameLength < 4) break;
                    const std::wstring name = Utf16Le(o, at + 2, nameLength);
                    at += 2 + nameLength;
                    const int type = o[at] | (o[at + 1] << 8);
                    const std::size_t length = o[at + 2] | (o[at + 3] << 8);
                    at += 4;
                    if (length > o.size() - at) break;
                    const auto number = [&]() -> int {
                        if (type == 0) return LeadingNumber(Utf16Le(o, at, length));
                        if ((type == 3 || type == 4) && length >= 4) return static_cast<int>(Le32(&o[at]) & 0xFFFF);
                        if (type == 5 && length >= 2) return o[at] | (o[at + 1] << 8);
                        return 0;
                    };
                    if (name == L"WM/AlbumTitle" && type == 0 && info.album.empty()) info.album = Utf16Le(o, at, length);
                    if (name == L"WM/TrackNumber" && info.track == 0) info.track = number();
                    if (name == L"WM/Track" && info.track == 0 && number() >= 0) info.track = number() + 1;   // counted from 0
                    if (name == L"WM/AlbumArtist" && type == 0 && info.artist.empty()) info.artist = Utf16Le(o, at, length);
                    at += length;
                }
            }
        }
        pos += objectSize;
    }
    if (!properties) info.damaged = true;
}

}  // namespace

MediaFormat SniffFormat(const void* head, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(head);
    if (size >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVE", 4) == 0) return MediaFormat::Wav;
    if (size >= 4 && std::memcmp(p, "fLaC", 4) == 0) return MediaFormat::Flac;
    if (size >= 4 && std::memcmp(p, "OggS", 4) == 0) return MediaFormat::OggVorbis;
    if (size >= 8 && std::memcmp(p + 4, "ftyp", 4) == 0) return MediaFormat::Mp4;
    if (size >= 16 && std::memcmp(p, kAsfHeader, 16) == 0) return MediaFormat::Asf;
    return MediaFormat::Unknown;
}

MediaFormat ReadMediaTags(ByteSource& source, MediaTags& info)
{
    info = MediaTags();
    const std::vector<unsigned char> head = ReadAt(source, 0, 16);
    switch (SniffFormat(head.data(), head.size())) {
    case MediaFormat::Wav: ReadWav(source, info); return MediaFormat::Wav;
    case MediaFormat::Flac: ReadFlac(source, 0, info); return MediaFormat::Flac;
    case MediaFormat::OggVorbis: return ReadOgg(source, info);
    case MediaFormat::Mp4: ReadMp4(source, info); return MediaFormat::Mp4;
    case MediaFormat::Asf: ReadAsf(source, info); return MediaFormat::Asf;
    default: break;
    }
    bool id3v2 = false;
    bool id3v1 = false;
    const std::uint64_t audioStart = ReadId3v2(source, info, id3v2);
    // A FLAC file may carry an ID3v2 tag in front.
    const std::vector<unsigned char> after = ReadAt(source, audioStart, 4);
    if (id3v2 && after.size() == 4 && std::memcmp(after.data(), "fLaC", 4) == 0) {
        MediaTags flac;
        ReadFlac(source, audioStart, flac);
        if (flac.title.empty()) flac.title = info.title;
        if (flac.artist.empty()) flac.artist = info.artist;
        if (flac.album.empty()) flac.album = info.album;
        if (flac.track == 0) flac.track = info.track;
        info = flac;
        return MediaFormat::Flac;
    }
    ReadId3v1(source, info, id3v1);
    const bool frames = ReadMpegDuration(source, audioStart, id3v1, info);
    if (!id3v2 && !frames) {
        info = MediaTags();
        return MediaFormat::Unknown;
    }
    if (!frames) info.damaged = true;
    return MediaFormat::Mp3;
}

const wchar_t* FormatName(MediaFormat format)
{
    switch (format) {
    case MediaFormat::Wav: return L"WAV";
    case MediaFormat::Mp3: return L"MP3";
    case MediaFormat::Flac: return L"FLAC";
    case MediaFormat::OggVorbis: return L"Ogg Vorbis";
    case MediaFormat::Opus: return L"Opus";
    case MediaFormat::Mp4: return L"MP4";
    case MediaFormat::Asf: return L"WMA";
    default: return L"";
    }
}

std::wstring DisplayName(const MediaTags& tags, const std::wstring& fallback)
{
    if (tags.title.empty()) return fallback;
    if (tags.artist.empty()) return tags.title;
    return tags.artist + L" \u2013 " + tags.title;
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

namespace {

bool HasExtension(std::wstring_view path, std::initializer_list<std::wstring_view> extensions)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring_view::npos) return false;
    const std::wstring_view extension = name.substr(dot + 1);
    for (std::wstring_view e : extensions) {
        if (e.size() != extension.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < e.size() && same; ++i) {
            wchar_t c = extension[i];
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            same = c == e[i];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

bool IsAudioFileName(std::wstring_view path)
{
    return HasExtension(path, {L"wav", L"mp3", L"flac", L"ogg", L"oga", L"opus", L"m4a", L"mp4", L"wma"});
}

bool IsPlaylistFileName(std::wstring_view path)
{
    return HasExtension(path, {L"m3u", L"m3u8", L"pls"});
}

}  // namespace mediatags
