// RIFF WAVE: "fmt ", "data" and the "LIST"/"INFO" tags.
#include "tag_readers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mediatags::detail {

namespace {

constexpr int kMaxChunks = 1000;

}  // namespace

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

}  // namespace mediatags::detail
