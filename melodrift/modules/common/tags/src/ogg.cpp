// Ogg: the codec headers of the sound stream and its length from its last page.
#include "tag_readers.h"

#include <cstring>

namespace mediatags::detail {

namespace {

constexpr std::size_t kMaxStreams = 64;                 // beginning-of-stream pages looked at
// Pages read for the two header packets: a comment header may carry a cover
// picture over hundreds of pages (its bytes beyond kMaxCommentBytes are not kept).
constexpr std::size_t kMaxHeaderPages = 1 << 16;
constexpr std::size_t kOggTailBytes = 64 * 1024;        // read from the end for the last granule position

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

}  // namespace

namespace {

enum class Codec { None, Vorbis, Opus, Flac, Speex };

// The codec by the first packet of a stream (a Skeleton, Theora or other stream gives None).
Codec Identify(const std::vector<unsigned char>& id)
{
    if (id.size() >= 30 && id[0] == 1 && std::memcmp(&id[1], "vorbis", 6) == 0) return Codec::Vorbis;
    if (id.size() >= 19 && std::memcmp(id.data(), "OpusHead", 8) == 0) return Codec::Opus;
    if (id.size() >= 51 && id[0] == 0x7F && std::memcmp(&id[1], "FLAC", 4) == 0 && std::memcmp(&id[9], "fLaC", 4) == 0 &&
        (id[13] & 0x7F) == 0)
        return Codec::Flac;
    if (id.size() >= 40 && std::memcmp(id.data(), "Speex   ", 8) == 0) return Codec::Speex;
    return Codec::None;
}

}  // namespace

// The sound stream is the first one (by the beginning-of-stream pages, which
// all stand at the start of a file of several streams) whose codec is
// Vorbis, Opus, FLAC or Speex; its identification and comment headers, and
// its length from the last page of that stream.
MediaFormat ReadOgg(ByteSource& source, MediaTags& info)
{
    std::uint32_t serial = 0;
    Codec codec = Codec::None;
    std::uint64_t pos = 0;
    for (std::size_t pages = 0; pages < kMaxStreams && codec == Codec::None; ++pages) {
        OggPage page;
        if (!ReadOggPage(source, pos, page) || !(page.type & 0x02)) break;
        std::size_t first = 0;   // the first packet: it starts the page
        for (unsigned char l : page.lacing) {
            first += l;
            if (l < 255) break;
        }
        codec = Identify(ReadAt(source, page.bodyAt, first));
        serial = page.serial;
        pos = page.bodyAt + page.bodySize;
    }
    if (codec == Codec::None) {
        info.damaged = info.noSound = true;   // no sound stream we know, or no header at all
        return MediaFormat::OggVorbis;
    }
    std::vector<std::vector<unsigned char>> packets(1);
    pos = 0;
    for (std::size_t pages = 0; pages < kMaxHeaderPages && packets.size() < 3; ++pages) {
        OggPage page;
        if (!ReadOggPage(source, pos, page)) break;
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
    if (Identify(id) != codec) {   // another stream's page of the same serial number came first
        info.damaged = info.noSound = true;
        return MediaFormat::OggVorbis;
    }
    MediaFormat format = MediaFormat::OggVorbis;
    int rate = 0;
    std::uint64_t preSkip = 0;
    if (codec == Codec::Vorbis) {
        rate = static_cast<int>(Le32(&id[12]));
    } else if (codec == Codec::Opus) {
        format = MediaFormat::Opus;
        rate = 48000;   // Opus always decodes at 48 kHz
        preSkip = id[10] | (id[11] << 8);
    } else if (codec == Codec::Flac) {
        format = MediaFormat::Flac;
        ReadStreamInfo(&id[17], info);   // its length, until the last page tells
        rate = static_cast<int>((id[27] << 12) | (id[28] << 4) | (id[29] >> 4));
    } else {
        rate = static_cast<int>(Le32(&id[36]));
    }
    if (packets.size() < 3) info.damaged = info.noSound = true;   // the comment header is cut short: no sound follows
    if (packets.size() >= 2) {
        const std::vector<unsigned char>& comment = packets[1];
        if (codec == Codec::Vorbis && comment.size() >= 7 && comment[0] == 3 && std::memcmp(&comment[1], "vorbis", 6) == 0) {
            ReadVorbisComment(comment.data() + 7, comment.size() - 7, info);
        } else if (codec == Codec::Opus && comment.size() >= 8 && std::memcmp(comment.data(), "OpusTags", 8) == 0) {
            ReadVorbisComment(comment.data() + 8, comment.size() - 8, info);
        } else if (codec == Codec::Flac && comment.size() >= 4 && (comment[0] & 0x7F) == 4) {
            ReadVorbisComment(comment.data() + 4, comment.size() - 4, info);
        } else if (codec == Codec::Speex) {
            ReadVorbisComment(comment.data(), comment.size(), info);
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

}  // namespace mediatags::detail
