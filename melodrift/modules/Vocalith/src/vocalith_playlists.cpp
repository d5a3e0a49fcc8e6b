// The player's tracks as the user knows them (their tags) and playlist files
// of other players (M3U, M3U8, PLS), opened and saved.
#include "mediatags/playlist_files.h"
#include "mediatags/system_code_page.h"
#include "track_info_reader.h"
#include "vocalith_window.h"

#include <commdlg.h>

#include <algorithm>

namespace vocalith {

namespace {

// Playlists larger than this are not read.
constexpr LONGLONG kMaxPlaylistBytes = 16 * 1024 * 1024;

bool ReadWhole(const std::wstring& path, std::string& bytes) {
    CFileBytes file(path);
    if (!file.IsOpen() || file.Size() > static_cast<std::uint64_t>(kMaxPlaylistBytes)) return false;
    bytes.resize(static_cast<std::size_t>(file.Size()));
    return file.Read(0, bytes.data(), bytes.size()) == bytes.size();
}

// Files given on their own, up to this many, are read as they are listed (a few
// dropped files show their tags at once); more are read behind the list.
constexpr std::size_t kReadAtOnce = 64;

}  // namespace

const CVocalith::TrackTags& CVocalith::TagsFor(const std::wstring& path) {
    TrackTags& entry = m_tags[path];
    if (!entry.read) {
        TrackInfo info;
        ReadTrackInfo(path, info);
        entry.tags = std::move(info.tags);
        entry.missing = info.missing;
        entry.read = true;
        RedrawRows();
    }
    return entry;
}

CVocalith::TrackTags& CVocalith::KnownTags(const std::wstring& path) { return m_tags[path]; }

std::wstring CVocalith::NameOf(const TrackTags& t, const std::wstring& path) {
    if (t.tags.title.empty() && !t.listedTitle.empty()) return t.listedTitle;
    return mediatags::DisplayName(t.tags, mediatags::TitleOfPath(path));
}

std::wstring CVocalith::TrackName(const std::wstring& path) { return NameOf(TagsFor(path), path); }

std::wstring CVocalith::ListLine(const std::wstring& path) {
    const TrackTags& t = KnownTags(path);
    std::wstring line = NameOf(t, path);
    if (t.missing) line += L" (missing)";
    std::int64_t ms = t.tags.durationMs;
    if (ms < 0 && t.listedSeconds >= 0) ms = t.listedSeconds * 1000;
    if (ms >= 0) line += L"\t" + mediatags::FormatDuration(ms);
    return line;
}

void CVocalith::ReadBehind(int from) {
    std::vector<std::wstring> wanted;
    for (int i = std::max(from, 0); i < m_playlist.Count(); ++i) {
        TrackTags& t = KnownTags(m_playlist.At(i));
        if (t.read) continue;
        t.asked = false;
        wanted.push_back(m_playlist.At(i));
    }
    m_reader.Want(wanted, false);
}

void CVocalith::ReadFirst(int row) {
    if (row < 0 || row >= m_playlist.Count()) return;
    TrackTags& t = KnownTags(m_playlist.At(row));
    if (t.read || t.asked) return;
    t.asked = true;
    m_reader.Want({m_playlist.At(row)}, true);
}

void CVocalith::TakeInfo() {
    std::vector<std::pair<std::wstring, TrackInfo>> read = m_reader.Take();
    bool changed = false;
    for (auto& [path, info] : read) {
        const auto known = m_tags.find(path);
        if (known == m_tags.end() || known->second.read) continue;   // read meanwhile, to be played
        known->second.tags = std::move(info.tags);
        known->second.missing = info.missing;
        known->second.read = true;
        changed = true;
    }
    if (changed) RedrawRows();
}

void CVocalith::RedrawRows() {
    // The rows' text comes from what is known whenever they are drawn (ListProc).
    if (m_list) InvalidateRect(m_list, nullptr, FALSE);
}

LRESULT CALLBACK CVocalith::ListProc(HWND list, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<CVocalith*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (!self) return DefWindowProcW(list, message, w, l);
    if (message == LB_GETTEXT || message == LB_GETTEXTLEN) {
        // A list without data of its own: a row's text is the track's line.
        const int row = static_cast<int>(w);
        if (row < 0 || row >= self->m_playlist.Count()) return LB_ERR;
        const std::wstring line = self->ListLine(self->m_playlist.At(row));
        if (message == LB_GETTEXT) {
            if (!l) return LB_ERR;
            std::copy(line.c_str(), line.c_str() + line.size() + 1, reinterpret_cast<wchar_t*>(l));
        }
        return static_cast<LRESULT>(line.size());
    }
    return CallWindowProcW(self->m_listProc, list, message, w, l);
}

std::vector<std::wstring> CVocalith::ExpandPlaylists(const std::vector<std::wstring>& files) {
    std::vector<std::wstring> out;
    for (const std::wstring& f : files) {
        if (!mediatags::IsPlaylistFileName(f)) {
            if (files.size() <= kReadAtOnce) TagsFor(f);
            out.push_back(f);
            continue;
        }
        std::string bytes;
        if (!ReadWhole(f, bytes)) {
            SetError(L"Cannot open the playlist " + mediatags::TitleOfPath(f) + L": the file could not be read");
            continue;
        }
        const auto entries =
            mediatags::ParsePlaylist(bytes, mediatags::PlaylistFormatOf(f), mediatags::FolderOf(f), mediatags::SystemCodePage());
        // Listed at once with the playlist's own titles and lengths; the files are read behind.
        for (const mediatags::PlaylistEntry& e : entries) {
            TrackTags& t = m_tags[e.path];
            t = TrackTags();
            t.listedTitle = e.title;
            t.listedSeconds = e.seconds;
            out.push_back(e.path);
        }
    }
    return out;
}

bool CVocalith::SavePlaylist(const std::wstring& path) {
    std::vector<mediatags::PlaylistEntry> entries;
    for (const std::wstring& track : m_playlist.Tracks()) {
        mediatags::PlaylistEntry e;
        e.path = track;
        // What is known: a track not read yet keeps its playlist's title and length.
        const TrackTags& t = KnownTags(track);
        e.title = NameOf(t, track);
        e.seconds = t.tags.durationMs >= 0 ? (t.tags.durationMs + 500) / 1000 : t.listedSeconds;
        entries.push_back(e);
    }
    const std::string bytes =
        mediatags::WritePlaylist(entries, mediatags::PlaylistFormatOf(path), mediatags::FolderOf(path), mediatags::SystemCodePage());
    // Written beside, then put in place: a failed write leaves the old playlist as it was.
    const std::wstring temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

void CVocalith::ChoosePlaylistToOpen() {
    wchar_t name[32768] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_window, GA_ROOT);
    ofn.lpstrFilter = L"Playlists (*.m3u;*.m3u8;*.pls)\0*.m3u;*.m3u8;*.pls\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = 32768;
    ofn.lpstrTitle = L"Open Playlist";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return;
    AddFiles({name}, false);
}

void CVocalith::ChoosePlaylistToSave() {
    wchar_t name[32768] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_window, GA_ROOT);
    ofn.lpstrFilter = L"M3U8 playlist (UTF-8) (*.m3u8)\0*.m3u8\0M3U playlist (*.m3u)\0*.m3u\0PLS playlist (*.pls)\0*.pls\0";
    ofn.lpstrDefExt = L"m3u8";
    ofn.lpstrFile = name;
    ofn.nMaxFile = 32768;
    ofn.lpstrTitle = L"Save Playlist";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return;
    if (SavePlaylist(name)) {
        if (m_app) m_app->SetStatusText((L"Playlist saved to " + std::wstring(name)).c_str());
    } else {
        SetError(L"Cannot save the playlist to " + std::wstring(name));
    }
}

}  // namespace vocalith
