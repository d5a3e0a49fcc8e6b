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

bool ReadStreamInfo(const unsigned char* si, MediaTags& info)
{
    const int rate = static_cast<int>((si[10] << 12) | (si[11] << 4) | (si[12] >> 4));
    const std::uint64_t total = (static_cast<std::uint64_t>(si[13] & 0x0F) << 32) | Be32(&si[14]);
    if (rate > 0 && total > 0) SetLength(info, total, rate);
    return rate > 0;
}

namespace {

// Whether a metadata block header (not STREAMINFO) that fits in the file stands at `pos`.
bool IsBlockHeader(ByteSource& source, std::uint64_t pos)
{
    const std::vector<unsigned char> h = ReadAt(source, pos, 4);
    if (h.size() < 4) return false;
    const int type = h[0] & 0x7F;
    return type >= 1 && type <= 6 && Be24(&h[1]) <= source.Size() - pos - 4;
}

// The length a comment or picture block has by its own contents; 0 when they
// do not tell (another kind of block, or contents that run past the file).
std::uint64_t OwnLength(ByteSource& source, int type, std::uint64_t body)
{
    const std::uint64_t size = source.Size();
    std::uint64_t at = body;
    const auto field = [&](std::uint64_t skip) -> bool {   // a 32-bit length, then that many bytes more
        const std::vector<unsigned char> b = ReadAt(source, at, 4);
        if (b.size() < 4) return false;
        const std::uint32_t n = type == 4 ? Le32(b.data()) : Be32(b.data());
        if (n > size - at - 4) return false;
        at += 4 + n + skip;
        return at <= size;
    };
    if (type == 4) {
        if (!field(0)) return 0;
        const std::vector<unsigned char> b = ReadAt(source, at, 4);
        if (b.size() < 4) return 0;
        const std::uint32_t count = Le32(b.data());
        at += 4;
        for (std::uint32_t i = 0; i < count; ++i)
            if (!field(0)) return 0;
    } else if (type == 6) {
        at += 4;   // the picture type
        if (!field(0) || !field(16) || !field(0)) return 0;   // MIME type; description and size; the picture
    } else {
        return 0;
    }
    return at - body;
}

}  // namespace

// "fLaC" at `start`, then metadata blocks: STREAMINFO first, the comments
// anywhere. A file cut short gives what it holds; a comment or picture block
// whose stated length disagrees with its contents (the next block would not
// start where it says) is passed by its own length, and the reading goes on.
void ReadFlac(ByteSource& source, std::uint64_t start, MediaTags& info)
{
    std::uint64_t pos = start + 4;
    bool streamInfo = false;
    for (int blocks = 0; blocks < 1000; ++blocks) {
        const std::vector<unsigned char> header = ReadAt(source, pos, 4);
        if (header.size() < 4) {
            info.damaged = info.noSound = true;
            break;
        }
        const bool last = (header[0] & 0x80) != 0;
        const int type = header[0] & 0x7F;
        const std::uint32_t length = Be24(&header[1]);
        const std::uint64_t body = pos + 4;
        if (blocks == 0 && (type != 0 || length < 34)) {
            info.damaged = info.noSound = true;
            return;
        }
        const bool cut = length > source.Size() - body;
        if (type == 0 && length >= 34) {
            const std::vector<unsigned char> si = ReadAt(source, body, 34);
            if (si.size() == 34 && blocks == 0) streamInfo = ReadStreamInfo(si.data(), info);
        } else if (type == 4) {
            const std::vector<unsigned char> comment = ReadAt(source, body, std::min<std::size_t>(length, kMaxCommentBytes));
            ReadVorbisComment(comment.data(), comment.size(), info);
        }
        std::uint64_t next = body + length;
        if (!last && (cut || !IsBlockHeader(source, next))) {
            const std::uint64_t own = OwnLength(source, type, body);
            if (own == 0 || own == length || !IsBlockHeader(source, body + own)) {
                info.damaged = info.noSound = true;   // nothing tells where the next block starts
                break;
            }
            if (type == 4 && own > length) {   // the comments the stated length left out
                const std::vector<unsigned char> comment =
                    ReadAt(source, body, static_cast<std::size_t>(std::min<std::uint64_t>(own, kMaxCommentBytes)));
                ReadVorbisComment(comment.data(), comment.size(), info);
            }
            info.damaged = true;
            next = body + own;
        } else if (cut) {
            info.damaged = info.noSound = true;   // the frames follow the last block
            break;
        }
        pos = next;
        if (last) {
            if (pos >= source.Size()) info.noSound = true;
            break;
        }
    }
    if (!streamInfo) info.damaged = info.noSound = true;
}

}  // namespace mediatags::detail
