// Playlist files as other players keep them:
//   M3U, M3U8  one path a line; "#EXTM3U" first, "#EXTINF:<seconds>,<title>"
//              before an entry; M3U8 is UTF-8, M3U the system's code page
//              (UTF-8 too when it has a byte-order mark or reads as UTF-8)
//   PLS        "[playlist]", FileN=, TitleN=, LengthN=, NumberOfEntries=, Version=2
// Paths may be relative to the playlist's folder; they are read as full paths
// and written relative where they lie inside that folder. Platform-neutral:
// the system's code page comes in as two functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mediatags {

enum class PlaylistFormat { M3u, M3u8, Pls };

struct PlaylistEntry {
    std::wstring path;
    std::wstring title;            // empty when the playlist names none
    std::int64_t seconds = -1;     // -1 when unknown
};

// The system's code page: bytes to text, and text to bytes (false when a
// character has no place in it).
struct CodePage {
    std::wstring (*decode)(std::string_view bytes) = nullptr;
    bool (*encode)(const std::wstring& text, std::string& bytes) = nullptr;
};

// By the name's extension; M3u8 for a name that is none of the three.
PlaylistFormat PlaylistFormatOf(std::wstring_view path);

// The folder part of a path (without the last separator).
std::wstring FolderOf(std::wstring_view path);
// The file's name without its folder and extension: what a track or playlist
// is called where it has no title of its own ("a.b.mp3" -> "a.b", ".mp3" stays).
std::wstring TitleOfPath(std::wstring_view path);
// `path` as a full path: a relative one joined to `folder`, "." and ".."
// resolved; a web address is kept as it is.
std::wstring ResolvePath(std::wstring_view folder, std::wstring_view path);

// At most this many entries are read from one playlist.
constexpr std::size_t kMaxPlaylistEntries = 100000;

std::vector<PlaylistEntry> ParsePlaylist(std::string_view bytes, PlaylistFormat format, std::wstring_view folder,
                                         const CodePage& codePage);
std::string WritePlaylist(const std::vector<PlaylistEntry>& entries, PlaylistFormat format, std::wstring_view folder,
                          const CodePage& codePage);

}  // namespace mediatags
