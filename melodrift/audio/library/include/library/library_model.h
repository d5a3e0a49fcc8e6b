// What the media-library chooser shows and hands back, without the window:
// the file list "fileDB.dat" (paths by identifier) and the tree of groups,
// playlists and tracks read from "playlists.xml". Platform-neutral.
//
// "fileDB.dat" is UTF-16LE text beginning with the byte-order mark FF FE
// (without it the list is empty). One path per line; a line ends at a
// carriage return (a line feed right after it belongs to the same line end),
// a line feed, a NUL or the end of the file. Empty lines are skipped and do
// not count: the identifier of a path is its position among the non-empty
// lines. Lines of any length are read whole.
//
// "playlists.xml": the root's children are the top of the tree. An element
// named "t" is a track whose attribute "id" names a path of the file list
// (tracks outside the list are left out); "playlist" is a playlist; any other
// element is a group. Playlists and groups show their attribute "Name" and
// hold their children.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class enXml;

namespace library {

using FileList = std::vector<std::wstring>;

// The list from the file's bytes.
FileList ParseFileList(std::string_view bytes);
// The list from the file; a missing or unreadable file gives an empty list.
FileList LoadFileList(const std::filesystem::path& path);

struct TreeItem {
    std::wstring text;
    const enXml* element = nullptr;   // tracks and playlists; null for groups
    std::vector<TreeItem> children;
};

// Nesting deeper than this is not shown (its items are left out).
constexpr int kMaxTreeDepth = 200;

// The tree under the document's root element.
std::vector<TreeItem> BuildTree(const enXml& root, const FileList& files);

// A double-click on `item` (null: nothing selected). An item without an
// element (a group) changes nothing and keeps the chooser open: false.
// Otherwise the element's "id", when it names a path of the list, adds that
// path to `chosen`, and the chooser closes: true.
bool Choose(const TreeItem* item, const FileList& files, std::vector<std::wstring>& chosen);

}  // namespace library
