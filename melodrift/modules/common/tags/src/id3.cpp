// ID3v2.2/2.3/2.4 at the start of a file and ID3v1(.1) at its end.
#include "tag_readers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mediatags::detail {

namespace {

constexpr std::size_t kMaxId3Bytes = 256 * 1024;   // frames beyond this (pictures, mostly) are not read

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

}  // namespace

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

}  // namespace mediatags::detail
