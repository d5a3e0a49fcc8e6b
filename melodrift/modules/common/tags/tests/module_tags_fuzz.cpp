// Any bytes as a music file and as a playlist of each kind: no crash, no read
// outside the input, a length only with its rate, and a playlist written from
// what was read reads back as the same entries.
#include "mediatags/media_tags.h"
#include "mediatags/playlist_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace mediatags;
    MemorySource source(data, size);
    MediaTags tags;
    const MediaFormat format = ReadMediaTags(source, tags);
    if (tags.frames >= 0 && tags.rate <= 0) std::abort();
    if (format == MediaFormat::Unknown && (!tags.title.empty() || tags.durationMs != -1)) std::abort();
    if (tags.title.size() > size || tags.artist.size() > size || tags.album.size() > size) std::abort();

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Without a system code page, and with one that holds Latin-1 only (a Western system's).
    const CodePage latin1{[](std::string_view b) {
                              const auto* p = reinterpret_cast<const unsigned char*>(b.data());
                              return std::wstring(p, p + b.size());
                          },
                          [](const std::wstring& t, std::string& b) {
                              b.assign(t.begin(), t.end());
                              return std::all_of(t.begin(), t.end(), [](wchar_t c) { return c >= 0 && c <= 0xFF; });
                          }};
    for (const CodePage& codePage : {CodePage(), latin1}) {
        for (PlaylistFormat kind : {PlaylistFormat::M3u, PlaylistFormat::M3u8, PlaylistFormat::Pls}) {
            const auto entries = ParsePlaylist(bytes, kind, L"C:\\Music", codePage);
            if (entries.size() > kMaxPlaylistEntries) std::abort();
            const auto again = ParsePlaylist(WritePlaylist(entries, kind, L"C:\\Music", codePage), kind, L"C:\\Music", codePage);
            if (again.size() != entries.size()) std::abort();
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (again[i].path != entries[i].path) std::abort();
        }
    }
    return 0;
}
