// Tunestack's track list sorted by its columns, and playlist files of other
// players (M3U, M3U8, PLS) imported as playlists of the library and exported.
#include "mediatags/playlist_files.h"
#include "mediatags/system_code_page.h"
#include "tunestack_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

namespace tunestack {

namespace {

// Playlist files larger than this are not read.
constexpr std::size_t kMaxPlaylistBytes = 16 * 1024 * 1024;

}  // namespace

bool CTunestackWindow::IsMissing(std::int32_t id)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_library.Files().size()) return false;
    return static_cast<std::size_t>(id) < m_missing.size() && m_missing[static_cast<std::size_t>(id)] == 1;
}

std::wstring CTunestackWindow::TitleFor(std::int32_t id)
{
    const TrackInfo& track = InfoFor(id);
    std::wstring text = track.title;
    if (text.empty() && id >= 0 && static_cast<std::size_t>(id) < m_library.Files().size())
        text = mediatags::TitleOfPath(m_library.Files()[static_cast<std::size_t>(id)]);
    if (IsMissing(id)) text += L" (missing)";
    return text;
}

void CTunestackWindow::SortRows()
{
    if (m_sortColumn < 0 || m_rows.empty()) return;
    std::vector<std::size_t> order(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // The keys from what is known of each file (sorting reads no file): numbers
    // as they are, texts as the locale's sort keys, made once per file and
    // column and kept until the file's tags change.
    const bool numeric = m_sortColumn == 3 || m_sortColumn == 4;
    const std::size_t files = m_library.Files().size();
    std::vector<std::int64_t> numbers;
    std::vector<const std::string*> texts;
    static const std::string kNone;
    std::vector<std::string>& keys = m_sortKeys[std::clamp(m_sortColumn, 0, 5)];
    if (keys.size() < files) keys.resize(files);
    if (numeric) numbers.assign(m_rows.size(), -1);
    else texts.assign(m_rows.size(), &kNone);
    std::vector<wchar_t> lower;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const std::int32_t id = m_rows[i];
        if (id < 0 || static_cast<std::size_t>(id) >= files) continue;
        const auto at = static_cast<std::size_t>(id);
        const TrackInfo& track = at < m_info.size() && m_info[at] ? *m_info[at] : m_unknown;
        if (numeric) {
            numbers[i] = m_sortColumn == 3 ? track.track : track.durationMs;
            continue;
        }
        std::string& key = keys[at];
        if (key.empty()) {
            std::wstring text;
            switch (m_sortColumn) {
            case 0:
                text = track.title.empty() ? mediatags::TitleOfPath(m_library.Files()[at]) : track.title;
                if (IsMissing(id)) text += L" (missing)";
                break;
            case 1: text = track.artist; break;
            case 2: text = track.album; break;
            default: text = m_library.Files()[at]; break;
            }
            const int bytes = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(),
                                           static_cast<int>(text.size()) + 1, nullptr, 0);
            key.assign(static_cast<std::size_t>(std::max(bytes, 1)), '\0');
            if (bytes > 0) {
                LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), static_cast<int>(text.size()) + 1,
                             reinterpret_cast<wchar_t*>(key.data()), bytes);
            }
        }
        texts[i] = &key;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        int c = 0;
        if (numeric) c = numbers[a] < numbers[b] ? -1 : numbers[a] > numbers[b] ? 1 : 0;
        else c = std::strcmp(texts[a]->c_str(), texts[b]->c_str());
        return m_sortDescending ? c > 0 : c < 0;
    });
    std::vector<std::int32_t> rows;
    std::vector<std::size_t> places;
    rows.reserve(order.size());
    places.reserve(order.size());
    for (std::size_t i : order) {
        rows.push_back(m_rows[i]);
        places.push_back(m_rowIndex[i]);
    }
    m_rows.swap(rows);
    m_rowIndex.swap(places);
}

bool CTunestackWindow::ImportPlaylist(const std::wstring& path)
{
    std::string bytes;
    const std::wstring name = mediatags::TitleOfPath(path);
    if (!ReadWholeFile(path, bytes) || bytes.size() > kMaxPlaylistBytes) {
        SetStatus(L"The playlist file " + path + L" could not be read.");
        return false;
    }
    const auto entries =
        mediatags::ParsePlaylist(bytes, mediatags::PlaylistFormatOf(path), mediatags::FolderOf(path), mediatags::SystemCodePage());
    // A name no playlist has yet: the file's, then "name 2", ...
    std::wstring title = name.empty() ? std::wstring(L"Playlist") : name;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (XmlNode* playlist : m_library.Playlists()) {
            const std::wstring* existing = playlist->Attribute(L"Name");
            if (existing && *existing == title) taken = true;
        }
        if (!taken) break;
        title = name + L" " + std::to_wstring(n);
    }
    XmlNode* playlist = m_library.AddPlaylist(title);
    int missing = 0;
    for (const mediatags::PlaylistEntry& entry : entries) {
        // Missing files stay in the playlist (shown as missing), so that nothing of it is lost.
        const std::int32_t id = m_library.AddFile(entry.path);
        m_library.AddTrack(*playlist, id);
        if (m_missing.size() < m_library.Files().size()) m_missing.resize(m_library.Files().size(), -1);
        const bool gone = GetFileAttributesW(entry.path.c_str()) == INVALID_FILE_ATTRIBUTES;
        m_missing[static_cast<std::size_t>(id)] = gone ? 1 : 0;
        if (gone) ++missing;
    }
    Save();
    m_info.resize(m_library.Files().size());
    RefreshPlaylists(static_cast<int>(m_library.Playlists().size()));
    SetStatus(L"Imported " + std::to_wstring(entries.size()) + (entries.size() == 1 ? L" track" : L" tracks") +
              L" from " + path + (missing > 0 ? L" (" + std::to_wstring(missing) + L" missing)." : L"."));
    return true;
}

bool CTunestackWindow::ExportPlaylist(const std::wstring& path)
{
    std::vector<std::int32_t> ids;
    if (XmlNode* playlist = CurrentPlaylist()) {
        ids = Library::Tracks(*playlist);
    } else {
        for (std::size_t i = 0; i < m_library.Files().size(); ++i) ids.push_back(static_cast<std::int32_t>(i));
    }
    std::vector<mediatags::PlaylistEntry> entries;
    for (std::int32_t id : ids) {
        if (id < 0 || static_cast<std::size_t>(id) >= m_library.Files().size()) continue;
        const TrackInfo& track = InfoNow(id);
        mediatags::PlaylistEntry entry;
        entry.path = m_library.Files()[static_cast<std::size_t>(id)];
        entry.title = track.title.empty() ? std::wstring() : mediatags::DisplayName(track, std::wstring());
        entry.seconds = track.durationMs >= 0 ? (track.durationMs + 500) / 1000 : -1;
        entries.push_back(entry);
    }
    const std::string bytes =
        mediatags::WritePlaylist(entries, mediatags::PlaylistFormatOf(path), mediatags::FolderOf(path), mediatags::SystemCodePage());
    if (!WriteFileAtomically(path, bytes)) {
        SetStatus(L"The playlist could not be written to " + path + L".");
        return false;
    }
    SetStatus(L"Exported " + std::to_wstring(entries.size()) + (entries.size() == 1 ? L" track" : L" tracks") + L" to " +
              path + L".");
    return true;
}

void CTunestackWindow::OnImportPlaylist()
{
    wchar_t name[32768] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    ofn.lpstrFilter = L"Playlists (*.m3u;*.m3u8;*.pls)\0*.m3u;*.m3u8;*.pls\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = 32768;
    ofn.lpstrTitle = L"Import Playlist File";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&ofn)) ImportPlaylist(name);
}

void CTunestackWindow::OnExportPlaylist()
{
    wchar_t name[32768] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    ofn.lpstrFilter = L"M3U8 playlist (UTF-8) (*.m3u8)\0*.m3u8\0M3U playlist (*.m3u)\0*.m3u\0PLS playlist (*.pls)\0*.pls\0";
    ofn.lpstrDefExt = L"m3u8";
    ofn.lpstrFile = name;
    ofn.nMaxFile = 32768;
    ofn.lpstrTitle = L"Export Playlist File";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (GetSaveFileNameW(&ofn)) ExportPlaylist(name);
}

}  // namespace tunestack
