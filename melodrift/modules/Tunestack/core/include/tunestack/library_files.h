// Tunestack's library in memory and its two files, without any window or
// file system call (the module writes the bytes; see src/library_store.cpp):
//
// "fileDB.dat": UTF-16LE text with the byte-order mark FF FE, one path per
// line ending in CR LF. A reader ends a line at CR (an LF right after it is
// part of the same line end), LF, NUL or the end of the file and skips empty
// lines; a path's identifier is its position among the non-empty lines.
//
// "playlists.xml": UTF-16LE with a byte-order mark, CR LF line ends and one
// tab per nesting level. The root's children are the top of the library: an
// element "t" is a track whose attribute "id" is an identifier of the file
// list, "playlist" a playlist with attribute "Name", any other element a group
// with attribute "Name". Everything read (unknown elements, attributes) is
// kept and written back.
#pragma once

#include "mediatags/media_tags.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tunestack {

// ---- The file list -----------------------------------------------------------------

struct FileListRead {
    bool valid = false;                 // the bytes began with the byte-order mark
    std::vector<std::wstring> paths;    // by identifier
};

FileListRead ParseFileList(std::string_view bytes);
std::string SerializeFileList(const std::vector<std::wstring>& paths);

// ---- The playlists document ------------------------------------------------------------

struct XmlNode {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;   // in document order
    std::vector<XmlNode> children;                                   // elements only

    // Attribute lookup ignores the letter case of the attribute's name.
    const std::wstring* Attribute(std::wstring_view key) const;
    void SetAttribute(std::wstring_view key, std::wstring value);

    bool IsTrack() const { return name == L"t"; }
    bool IsPlaylist() const { return name == L"playlist"; }
    // The track's "id" when it is a whole number that fits in 32 bits.
    std::optional<std::int32_t> TrackId() const;
};

// Nesting deeper than this is refused as malformed (the library chooser shows
// at most this many levels anyway).
constexpr int kMaxXmlDepth = 200;

// The document's root element, or nothing when the bytes are not a
// well-formed document. Accepts UTF-16LE/BE with a byte-order mark and UTF-8
// with or without one; text content, comments and processing instructions
// are skipped.
std::optional<XmlNode> ParseXml(std::string_view bytes);
// UTF-16LE with byte-order mark, XML declaration, CR LF, tab indentation.
std::string SerializeXml(const XmlNode& root);

// ---- The library --------------------------------------------------------------------------

// Paths are compared without regard to the case of ASCII letters, as the
// file system does, and with '/' and '\\' alike.
bool SamePath(std::wstring_view a, std::wstring_view b);
// The path as SamePath sees it: ASCII letters lower-cased, '/' made '\\'.
// Two paths are the same exactly when their folded forms are equal.
std::wstring FoldPath(std::wstring_view path);

class Library {
public:
    Library();

    const std::vector<std::wstring>& Files() const { return m_files; }
    // The identifier of `path`, added at the end when it is not yet known.
    // A look-up in an index of the folded paths, so adding n files costs
    // about n steps, not n*n.
    std::int32_t AddFile(const std::wstring& path);
    // The first identifier of the path (a list written elsewhere may hold a
    // path twice), or nothing.
    std::optional<std::int32_t> FindFile(std::wstring_view path) const;
    // Takes the file out of the list: the identifiers after it move down by
    // one, in the playlists too, and the playlists' tracks of the file go.
    // False for an identifier outside the list.
    bool RemoveFile(std::int32_t id);
    // Gives the file a new path, keeping its identifier; false when the
    // identifier is outside the list or another file already has that path.
    bool RenameFile(std::int32_t id, const std::wstring& path);

    XmlNode& Root() { return m_root; }
    const XmlNode& Root() const { return m_root; }

    // Every playlist in document order, groups included.
    std::vector<XmlNode*> Playlists();
    // A new top-level playlist.
    XmlNode* AddPlaylist(const std::wstring& name);
    // Removes the playlist (wherever it stands); false when it is not in the tree.
    // Pointers from Playlists() are invalid afterwards.
    bool RemovePlaylist(const XmlNode* playlist);
    // Appends a track; false for an identifier outside the file list.
    bool AddTrack(XmlNode& playlist, std::int32_t id);
    // Removes the index-th track of the playlist (among its "t" children).
    bool RemoveTrack(XmlNode& playlist, std::size_t index);
    // The file identifiers of the playlist's tracks, in order (also those
    // outside the list, which the chooser skips).
    static std::vector<std::int32_t> Tracks(const XmlNode& playlist);

    // Loads both files; a file that cannot be read as its format leaves that
    // half empty and answers false for it.
    bool LoadFileList(std::string_view bytes);
    bool LoadPlaylists(std::string_view bytes);

    std::string FileListBytes() const { return SerializeFileList(m_files); }
    std::string PlaylistsBytes() const { return SerializeXml(m_root); }

private:
    void RebuildIndex();

    std::vector<std::wstring> m_files;
    std::unordered_map<std::wstring, std::int32_t> m_index;   // folded path -> first identifier
    XmlNode m_root;
};

// ---- The tag cache ------------------------------------------------------------------------

// "tagcache.dat" beside the two files (Tunestack's own; the chooser does not
// read it): the tags of each file as read, with the file's size and time of
// last write then, so that a file changed since is read again. Little-endian:
// "TSTC", version 1, the number of records, then per record the path, title,
// artist and album (each a 32-bit length in UTF-16 units and the units), the
// size and the time (64 bits), the track number (32 bits) and the length in
// milliseconds (64 bits, -1 unknown).
struct CachedTags {
    std::wstring path;
    std::uint64_t size = 0;
    std::uint64_t time = 0;
    mediatags::MediaTags tags;
};

std::string SerializeTagCache(const std::vector<CachedTags>& records);
// The same file made straight from the library's paths, what is known of each
// one's tags (files without are left out) and the size and time it was read
// at, with no record copied.
std::string SerializeTagCache(const std::vector<std::wstring>& paths,
                              const std::vector<std::optional<mediatags::MediaTags>>& tags,
                              const std::vector<std::pair<std::uint64_t, std::uint64_t>>& stamps);
// The records; none when the bytes are not such a file (what stands before a
// damaged record is kept).
std::vector<CachedTags> ParseTagCache(std::string_view bytes);

// A bus message: a verb, then file names, each in double quotes or ending at
// a blank ("open \"C:\\a b.mp3\" C:\\c.mp3"). The verb is lower-cased (ASCII).
struct BusCommand {
    std::wstring verb;
    std::vector<std::wstring> names;
};
BusCommand ParseBusCommand(std::wstring_view message);
// "verb" followed by a blank and the quoted name for each name.
std::wstring MakeBusCommand(std::wstring_view verb, const std::vector<std::wstring>& names);

// The name a path ends with (after the last backslash or slash).
std::wstring FileNamePart(std::wstring_view path);
// Sound files the player opens: wav, mp3, flac, ogg, oga, opus, m4a, mp4, wma (letter case ignored).
bool IsSupportedAudioFile(std::wstring_view path);

}  // namespace tunestack
