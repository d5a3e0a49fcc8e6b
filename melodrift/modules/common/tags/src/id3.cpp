// ID3v2.2/2.3/2.4 at the start of a file and ID3v1(.1) at its end.
#include "tag_readers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mediatags::detail {

namespace {

constexpr std::size_t kMaxId3Bytes = 256 * 1024;   // a whole unsynchronised tag: read this much of it
constexpr std::size_t kMaxFrameBytes = 64 * 1024;  // larger frames (pictures, mostly) are passed by their size
constexpr int kMaxFrames = 10000;

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

// One string of an ID3v2 text frame in its encoding (a UTF-16 string with its own byte-order mark).
std::wstring Id3String(unsigned char encoding, const unsigned char* p, std::size_t n)
{
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

// The text of an ID3v2 text frame: an encoding byte, then the text. Several
// values (NUL between them, or "/" where `slashes` says so) are joined as "A / B".
std::wstring Id3Text(const unsigned char* p, std::size_t n, bool slashes)
{
    if (n < 1) return {};
    const unsigned char encoding = p[0];
    ++p;
    --n;
    const std::size_t unit = encoding == 1 || encoding == 2 ? 2 : 1;
    std::wstring text;
    const auto add = [&](std::wstring value) {
        value = Trim(std::move(value));
        if (value.empty()) return;
        if (!text.empty()) text += L" / ";
        text += value;
    };
    std::size_t start = 0;
    for (std::size_t i = 0; n - i >= unit; i += unit) {
        if (p[i] != 0 || (unit == 2 && p[i + 1] != 0)) continue;
        add(Id3String(encoding, p + start, i - start));
        start = i + unit;
    }
    if (start < n) add(Id3String(encoding, p + start, n - start));
    if (!slashes || text.find(L'/') == std::wstring::npos) return text;
    std::wstring joined;
    for (std::size_t from = 0;;) {
        const std::size_t slash = text.find(L'/', from);
        const std::wstring value = Trim(text.substr(from, slash == std::wstring::npos ? std::wstring::npos : slash - from));
        if (!value.empty()) joined += (joined.empty() ? L"" : L" / ") + value;
        if (slash == std::wstring::npos) break;
        from = slash + 1;
    }
    return joined;
}

}  // namespace

// The ID3v2 tag at the start: its title, artist, album and track; the offset
// after it. Frames are read one at a time from the file, and a large one
// (a picture, say) is passed by its size without being read; every size is
// checked against what is left, so that none can wrap.
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
    if (size > source.Size() - 10) info.damaged = true;
    const std::uint64_t tagEnd = 10 + std::min<std::uint64_t>(size, source.Size() - 10);
    // Versions 2 and 3 unsynchronise the whole tag, version 4 each frame: a
    // whole unsynchronised tag is read (as much of it as kMaxId3Bytes) and its
    // frames taken from memory; otherwise from the file.
    std::vector<unsigned char> whole;
    const bool inMemory = version < 4 && (flags & 0x80);
    if (inMemory) {
        whole = ReadAt(source, 10, static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxId3Bytes)));
        whole = Resynchronise(whole.data(), whole.size());
    }
    const std::uint64_t limit = inMemory ? whole.size() : tagEnd - 10;   // frame offsets count from the tag's body
    const auto read = [&](std::uint64_t at, std::size_t count) {
        if (!inMemory) return ReadAt(source, 10 + at, count);
        const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(at, whole.size()));
        const std::size_t n = std::min(count, whole.size() - from);
        return std::vector<unsigned char>(whole.begin() + static_cast<std::ptrdiff_t>(from),
                                          whole.begin() + static_cast<std::ptrdiff_t>(from + n));
    };
    std::uint64_t pos = 0;   // never beyond limit
    if (version >= 3 && (flags & 0x40) && limit >= 4) {
        // Extended header: its size includes itself in version 4, not in version 3
        // (there it follows its four bytes of size).
        const std::vector<unsigned char> e = read(0, 4);
        const std::uint32_t extended = e.size() < 4 ? 0xFFFFFFFFu : version == 4 ? Synchsafe(e.data()) : Be32(e.data());
        const std::uint64_t before = version == 4 ? 0 : 4;
        if (extended > limit - before) {
            info.damaged = true;   // no frame is read from a tag whose extended header runs past it
            pos = limit;
        } else {
            pos = before + extended;
        }
    }
    const std::size_t idLength = version == 2 ? 3 : 4;
    const std::size_t headerLength = version == 2 ? 6 : 10;
    for (int frames = 0; frames < kMaxFrames && limit - pos >= headerLength; ++frames) {
        const std::vector<unsigned char> frame = read(pos, headerLength);
        if (frame.size() < headerLength || frame[0] == 0) break;   // padding
        std::uint32_t frameSize = 0;
        if (version == 2) frameSize = Be24(&frame[3]);
        else if (version == 3) frameSize = Be32(&frame[4]);
        else frameSize = Synchsafe(&frame[4]);
        if (frameSize > limit - pos - headerLength) break;
        const std::string_view id(reinterpret_cast<const char*>(frame.data()), idLength);
        const bool wanted = id == "TIT2" || id == "TT2" || id == "TPE1" || id == "TP1" || id == "TALB" || id == "TAL" ||
                            id == "TRCK" || id == "TRK";
        const bool compressedOrEncrypted = version == 3 ? (frame[9] & 0xC0) != 0 : version == 4 ? (frame[9] & 0x0C) != 0 : false;
        if (wanted && !compressedOrEncrypted && frameSize <= kMaxFrameBytes) {
            std::vector<unsigned char> body = read(pos + headerLength, frameSize);
            std::size_t skip = 0;
            if (version == 4 && (frame[9] & 0x01) && body.size() >= 4) skip = 4;   // a data length indicator first
            if (version == 4 && ((frame[9] & 0x02) || (flags & 0x80))) {   // this frame unsynchronised
                body = Resynchronise(body.data() + skip, body.size() - skip);
                skip = 0;
            }
            const bool artist = id == "TPE1" || id == "TP1";
            const auto text = [&] { return Id3Text(body.data() + skip, body.size() - skip, artist && version < 4); };
            if ((id == "TIT2" || id == "TT2") && info.title.empty()) info.title = text();
            if (artist && info.artist.empty()) info.artist = text();
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

}  // namespace mediatags::detail
