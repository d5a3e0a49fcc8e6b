// Tunestack's track list sorted by its columns (track_sort.h), and playlist
// files of other players (M3U, M3U8, PLS) imported as playlists of the
// library and exported.
#include "mediatags/playlist_files.h"
#include "mediatags/system_code_page.h"
#include "tunestack_window.h"

#include <commdlg.h>

#include <algorithm>

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
    if (id < 0 || static_cast<std::size_t>(id) >= m_library.Files().size()) return track.title;
    return TitleText(m_library.Files()[static_cast<std::size_t>(id)], track, IsMissing(id));
}

void CTunestackWindow::SortRows()
{
    m_sorter.Sort(m_sortColumn, m_sortDescending, KnownTracks{m_library.Files(), m_info, m_missing}, m_rows, m_rowIndex);
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
        m_sorter.Forget(static_cast<std::size_t>(id));
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
