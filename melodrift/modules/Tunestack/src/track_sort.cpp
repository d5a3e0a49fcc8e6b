// Tunestack's track list sorted by its columns.
#include "track_sort.h"

#include "mediatags/playlist_files.h"
#include "tunestack/library_files.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tunestack {

namespace {

void MakeSortKey(const std::wstring& text, std::string& key)
{
    const int bytes = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(),
                                   static_cast<int>(text.size()) + 1, nullptr, 0);
    key.assign(static_cast<std::size_t>(std::max(bytes, 1)), '\0');
    if (bytes > 0) {
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), static_cast<int>(text.size()) + 1,
                     reinterpret_cast<wchar_t*>(key.data()), bytes);
    }
}

}  // namespace

std::wstring TitleText(const std::wstring& path, const TrackInfo& info, bool missing)
{
    std::wstring text = info.title.empty() ? mediatags::TitleOfPath(path) : info.title;
    if (missing) text += L" (missing)";
    return text;
}

void TrackSorter::Forget(std::size_t id)
{
    for (auto& keys : m_keys) {
        if (id < keys.size()) keys[id].clear();
    }
}

void TrackSorter::Sort(int column, bool descending, const KnownTracks& known, std::vector<std::int32_t>& rows,
                       std::vector<std::size_t>& places)
{
    if (column < 0 || column >= kColumnCount || rows.empty()) return;
    static const TrackInfo kUnknown;
    static const std::string kNone;
    const std::size_t files = known.files.size();
    const auto trackAt = [&](std::size_t at) -> const TrackInfo& {
        return at < known.info.size() && known.info[at] ? *known.info[at] : kUnknown;
    };
    const auto idAt = [&](std::size_t i) {
        const std::int32_t id = rows[i];
        return id < 0 || static_cast<std::size_t>(id) >= files ? SIZE_MAX : static_cast<std::size_t>(id);
    };
    std::vector<std::int64_t> numbers;
    std::vector<const char*> texts;
    std::vector<std::wstring> paths;
    if (column == kNumberColumn || column == kLengthColumn) {
        numbers.assign(rows.size(), -1);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::size_t at = idAt(i);
            if (at == SIZE_MAX) continue;
            numbers[i] = column == kNumberColumn ? trackAt(at).track : trackAt(at).durationMs;
        }
    } else if (column == kPathColumn) {
        // Paths compare as the file system compares them (see SamePath):
        // folders come together, and no locale key is needed.
        paths.resize(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::size_t at = idAt(i);
            if (at != SIZE_MAX) paths[i] = FoldPath(known.files[at]);
        }
    } else {
        // The locale's sort keys, made once per file and kept; a text equal
        // to the one made just before (the same artist or album along a
        // folder's tracks) takes the key already made.
        std::vector<std::string>& keys = m_keys[column];
        if (keys.size() < files) keys.resize(files);
        texts.assign(rows.size(), kNone.c_str());
        std::wstring lastText;
        std::size_t lastAt = SIZE_MAX;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::size_t at = idAt(i);
            if (at == SIZE_MAX) continue;
            std::string& key = keys[at];
            if (key.empty()) {
                const TrackInfo& track = trackAt(at);
                std::wstring text = column == kTitleColumn ? TitleText(known.files[at], track, at < known.missing.size() && known.missing[at] == 1)
                                    : column == kArtistColumn ? track.artist
                                                              : track.album;
                if (lastAt != SIZE_MAX && text == lastText) {
                    key = keys[lastAt];
                } else {
                    MakeSortKey(text, key);
                    lastText = std::move(text);
                    lastAt = at;
                }
            }
            texts[i] = key.c_str();
        }
    }
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        int c = 0;
        if (!numbers.empty()) c = numbers[a] < numbers[b] ? -1 : numbers[a] > numbers[b] ? 1 : 0;
        else if (!paths.empty()) c = paths[a].compare(paths[b]);
        else c = std::strcmp(texts[a], texts[b]);
        return descending ? c > 0 : c < 0;
    });
    std::vector<std::int32_t> sortedRows;
    std::vector<std::size_t> sortedPlaces;
    sortedRows.reserve(order.size());
    sortedPlaces.reserve(order.size());
    for (std::size_t i : order) {
        sortedRows.push_back(rows[i]);
        sortedPlaces.push_back(i < places.size() ? places[i] : i);
    }
    rows.swap(sortedRows);
    places.swap(sortedPlaces);
}

}  // namespace tunestack
