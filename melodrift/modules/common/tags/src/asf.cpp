// ASF (WMA): File Properties and the two content description objects.
#include "tag_readers.h"

#include <algorithm>
#include <cstring>

namespace mediatags::detail {

namespace {

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

}  // namespace

bool IsAsfHeader(const unsigned char* p) { return std::memcmp(p, kAsfHeader, 16) == 0; }

void ReadAsf(ByteSource& source, MediaTags& info)
{
    const std::vector<unsigned char> header = ReadAt(source, 0, 30);
    if (header.size() < 30) {
        info.damaged = info.noSound = true;
        return;
    }
    const std::uint64_t size = Le64(&header[16]);
    // The data object follows the header object.
    if (size < 30 || size > source.Size()) info.damaged = true;
    if (size < 30 || size >= source.Size()) info.noSound = true;
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

}  // namespace mediatags::detail
