// The order of Tunestack's track list by one of its columns, from what the
// library knows of each file (its stored tags, whether it is missing): no
// file is read. Texts sort by the user's locale ignoring letter case, paths
// as the file system compares them, numbers as numbers; rows that tie keep
// their order.
#pragma once

#include "tunestack/track_info.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunestack {

// The columns of the track list, left to right.
enum TrackColumn : int { kTitleColumn, kArtistColumn, kAlbumColumn, kNumberColumn, kLengthColumn, kPathColumn, kColumnCount };

// What is known of the library's files, by identifier; `info` and `missing`
// may be shorter than `files` (the rest not known yet).
struct KnownTracks {
    const std::vector<std::wstring>& files;
    const std::vector<std::optional<TrackInfo>>& info;
    const std::vector<std::int8_t>& missing;   // 1: the file is missing
};

// The title column's text: the tag's title, else the file's name without
// its extension; " (missing)" after it when the file is missing.
std::wstring TitleText(const std::wstring& path, const TrackInfo& info, bool missing);

class TrackSorter {
public:
    // Puts `rows` (file identifiers; one outside the library sorts first, as
    // an empty text) in the column's order, and `places` along with them.
    void Sort(int column, bool descending, const KnownTracks& known, std::vector<std::int32_t>& rows,
              std::vector<std::size_t>& places);
    // The file's tags or its missing state changed: its keys are made again.
    void Forget(std::size_t id);

private:
    // Per column of tag texts and file, the locale's sort key, made when first sorted by.
    std::vector<std::string> m_keys[kColumnCount];
};

}  // namespace tunestack
