// FLAC metadata blocks and the Vorbis comment block (which Ogg shares).
#include "tag_readers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mediatags::detail {

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

}  // namespace mediatags::detail
