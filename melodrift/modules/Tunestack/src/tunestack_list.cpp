// The Tunestack window's views of the library: the playlists, the track list
// (a virtual list view over the rows of the entry shown) and its tags.
#include "tunestack_window.h"

#include "tunestack_window_parts.h"

#include <algorithm>
#include <memory>
#include <numeric>

namespace tunestack {

// ---- Library and views ------------------------------------------------------------------------

void CTunestackWindow::Save()
{
    // The bytes are made here (the library changes only on this thread) and
    // written behind the window; a newer save replaces one not yet written.
    auto files = std::make_shared<const std::string>(m_library.FileListBytes());
    auto playlists = std::make_shared<const std::string>(m_library.PlaylistsBytes());
    m_libraryWriter.Hand([this, files, playlists] { return m_store.Save(*files, *playlists); });
    if (m_cacheDirty) SaveTagCache();
}

void CTunestackWindow::RefreshPlaylists(int select)
{
    ListView_DeleteAllItems(m_playlists);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kAllTracks);
    ListView_InsertItem(m_playlists, &item);
    const auto playlists = m_library.Playlists();
    for (std::size_t i = 0; i < playlists.size(); ++i) {
        const std::wstring* name = playlists[i]->Attribute(L"Name");
        std::wstring text = name ? *name : std::wstring();
        item.iItem = static_cast<int>(i) + 1;
        item.pszText = text.data();
        ListView_InsertItem(m_playlists, &item);
    }
    select = std::clamp(select, 0, static_cast<int>(playlists.size()));
    ListView_SetItemState(m_playlists, select, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(m_playlists, select, FALSE);
    RefreshTarget();
    ShowEntry(select);
}

void CTunestackWindow::RefreshTarget()
{
    const int previous = static_cast<int>(SendMessageW(m_target, CB_GETCURSEL, 0, 0));
    SendMessageW(m_target, CB_RESETCONTENT, 0, 0);
    for (XmlNode* playlist : m_library.Playlists()) {
        const std::wstring* name = playlist->Attribute(L"Name");
        SendMessageW(m_target, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name ? name->c_str() : L""));
    }
    const int count = static_cast<int>(SendMessageW(m_target, CB_GETCOUNT, 0, 0));
    SendMessageW(m_target, CB_SETCURSEL, previous >= 0 && previous < count ? previous : (count > 0 ? 0 : -1), 0);
}

void CTunestackWindow::ShowEntry(int entry)
{
    m_entry = entry;
    // The new rows are made whole and swapped in (the list may hold a large library).
    std::vector<std::int32_t> rows;
    if (XmlNode* playlist = CurrentPlaylist()) {
        rows = Library::Tracks(*playlist);
    } else {
        m_entry = 0;
        rows.resize(m_library.Files().size());
        std::iota(rows.begin(), rows.end(), 0);
    }
    std::vector<std::size_t> index(rows.size());
    std::iota(index.begin(), index.end(), std::size_t{0});
    m_rows.swap(rows);
    m_rowIndex.swap(index);
    SortRows();
    // (Clearing the selection of every row costs a walk over all of them.)
    if (ListView_GetSelectedCount(m_tracks) > 0) ListView_SetItemState(m_tracks, -1, 0, LVIS_SELECTED);
    ListView_SetItemCountEx(m_tracks, static_cast<int>(m_rows.size()), 0);
    InvalidateRect(m_tracks, nullptr, TRUE);
    const std::wstring count = std::to_wstring(m_rows.size()) + (m_rows.size() == 1 ? L" track" : L" tracks");
    const std::wstring name = m_entry == 0 ? std::wstring(kAllTracks) : ListText(m_playlists, m_entry);
    SetStatus(name + L": " + count);
}

XmlNode* CTunestackWindow::CurrentPlaylist()
{
    if (m_entry <= 0) return nullptr;
    const auto playlists = m_library.Playlists();
    return static_cast<std::size_t>(m_entry) <= playlists.size() ? playlists[static_cast<std::size_t>(m_entry) - 1] : nullptr;
}

std::vector<int> CTunestackWindow::SelectedRows() const
{
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(m_tracks, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(m_tracks, row, LVNI_SELECTED)) {
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::int32_t> CTunestackWindow::SelectedFileIds() const
{
    std::vector<std::int32_t> ids;
    for (int row : SelectedRows()) {
        if (static_cast<std::size_t>(row) < m_rows.size()) {
            const std::int32_t id = m_rows[static_cast<std::size_t>(row)];
            if (id >= 0 && static_cast<std::size_t>(id) < m_library.Files().size()) ids.push_back(id);
        }
    }
    return ids;
}

const TrackInfo& CTunestackWindow::InfoFor(std::int32_t id)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_library.Files().size()) return m_unknown;
    if (m_info.size() < m_library.Files().size()) m_info.resize(m_library.Files().size());
    const auto& slot = m_info[static_cast<std::size_t>(id)];
    if (slot) return *slot;
    if (m_asked.size() < m_library.Files().size()) m_asked.resize(m_library.Files().size(), 0);
    std::uint8_t& asked = m_asked[static_cast<std::size_t>(id)];
    if (asked < 2) {
        // Asked for a row on screen: ahead of the files read in the background.
        asked = 2;
        std::lock_guard<std::mutex> guard(m_tagLock);
        m_tagWanted.push_front({m_library.Files()[static_cast<std::size_t>(id)]});
        m_tagWake.notify_one();
    }
    return m_unknown;
}

const TrackInfo& CTunestackWindow::InfoNow(std::int32_t id)
{
    if (id < 0 || static_cast<std::size_t>(id) >= m_library.Files().size()) return m_unknown;
    if (m_info.size() < m_library.Files().size()) m_info.resize(m_library.Files().size());
    if (!m_info[static_cast<std::size_t>(id)]) {
        TrackInfo info;
        ReadFileTrackInfo(m_library.Files()[static_cast<std::size_t>(id)], info);
        SetInfo(id, info, 0, 0);
    }
    return *m_info[static_cast<std::size_t>(id)];
}

// ---- Notifications -------------------------------------------------------------------------------

LRESULT CTunestackWindow::OnNotify(NMHDR* header)
{
    if (header->hwndFrom == m_playlists) {
        switch (header->code) {
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED) && change->iItem != m_entry) {
                ShowEntry(change->iItem);
                WriteSetting(L"Playlist", m_entry > 0 ? ListText(m_playlists, m_entry) : std::wstring());
            }
            return 0;
        }
        case LVN_BEGINLABELEDITW:
            return reinterpret_cast<NMLVDISPINFOW*>(header)->item.iItem <= 0;   // "All tracks" keeps its name
        case LVN_ENDLABELEDITW: {
            const auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            const int entry = info->item.iItem;
            if (!info->item.pszText || !info->item.pszText[0] || entry <= 0) return FALSE;
            const auto playlists = m_library.Playlists();
            if (static_cast<std::size_t>(entry) > playlists.size()) return FALSE;
            playlists[static_cast<std::size_t>(entry) - 1]->SetAttribute(L"Name", info->item.pszText);
            Save();
            WriteSetting(L"Playlist", info->item.pszText);
            RefreshTarget();
            SetStatus(std::wstring(info->item.pszText) + L": " + std::to_wstring(m_rows.size()) +
                      (m_rows.size() == 1 ? L" track" : L" tracks"));
            return TRUE;
        }
        case LVN_KEYDOWN:
            if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) OnDeletePlaylist();
            return 0;
        default: return 0;
        }
    }
    if (header->hwndFrom == m_tracks) {
        switch (header->code) {
        case LVN_GETDISPINFOW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0) return 0;
            info->item.pszText[0] = L'\0';
            const int row = info->item.iItem;
            if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return 0;
            const std::int32_t id = m_rows[static_cast<std::size_t>(row)];
            const bool known = id >= 0 && static_cast<std::size_t>(id) < m_library.Files().size();
            std::wstring text;
            if (!known) {
                if (info->item.iSubItem == 0) text = L"(not in the library)";
            } else {
                const std::wstring& path = m_library.Files()[static_cast<std::size_t>(id)];
                const TrackInfo& track = InfoFor(id);
                switch (info->item.iSubItem) {
                case 0: text = TitleFor(id); break;
                case 1: text = track.artist; break;
                case 2: text = track.album; break;
                case 3: text = track.track > 0 ? std::to_wstring(track.track) : std::wstring(); break;
                case 4: text = FormatDuration(track.durationMs); break;
                case 5: text = path; break;
                default: break;
                }
            }
            lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
            return 0;
        }
        case NM_DBLCLK:
        case NM_RETURN:
            OnCommand(ID_TS_PLAY_SELECTED);
            return 0;
        case LVN_COLUMNCLICK: {
            // A click on a column sorts by it; a second click turns the order round.
            const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
            m_sortDescending = column == m_sortColumn ? !m_sortDescending : false;
            m_sortColumn = column;
            ShowEntry(m_entry);
            return 0;
        }
        case LVN_KEYDOWN:
            if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) OnRemoveFromPlaylist();
            return 0;
        default: return 0;
        }
    }
    return 0;
}

}  // namespace tunestack
