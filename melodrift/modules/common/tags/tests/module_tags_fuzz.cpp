// Any bytes as a music file and as a playlist of each kind: no crash, no read
// outside the input, a length only with its rate, and a playlist written from
// what was read reads back as the same entries.
#include "mediatags/media_tags.h"
#include "mediatags/playlist_files.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// A system code page that holds Latin-1 only (as a Western system's does): the
// playlists read and written through it as well as without one.
std::wstring DecodeLatin1(std::string_view bytes)
{
    std::wstring text;
    for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}
bool EncodeLatin1(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    for (wchar_t c : text) {
        if (c > 0xFF) return false;
        bytes.push_back(static_cast<char>(c));
    }
    return true;
}

}  // namespace

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
    const mediatags::CodePage latin1{&DecodeLatin1, &EncodeLatin1};
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
