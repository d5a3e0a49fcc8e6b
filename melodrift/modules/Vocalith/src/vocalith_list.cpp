// The playlist as the window shows it: tracks added (playlist files among
// them expanded), removed, listed, chosen, and kept in the settings.
#include "vocalith_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <map>

namespace vocalith {

// ---- Playlist ------------------------------------------------------------------

void CVocalith::AddFiles(const std::vector<std::wstring>& chosen, bool playFirst) {
    // A playlist file adds its entries (those whose files are missing too, shown as missing).
    const std::vector<std::wstring> files = ExpandPlaylists(chosen);
    const int before = m_playlist.Count();
    int first = -1;
    for (const std::wstring& f : files) {
        if (f.empty()) continue;
        int index = -1;
        // A file opened again (from the command line, say) is played where it already stands.
        if (playFirst) {
            for (int i = 0; i < m_playlist.Count() && index < 0; ++i)
                if (_wcsicmp(m_playlist.At(i).c_str(), f.c_str()) == 0) index = i;
        }
        if (index < 0) index = m_playlist.Add(f);
        if (first < 0) first = index;
    }
    RefreshList();
    ReadBehind(before);
    SaveList();
    if (playFirst && first >= 0) PlayTrack(first);
    else if (m_playing >= 0) ArmNext();   // the next track may be another now
}

void CVocalith::RemoveTrack(int index) {
    if (index < 0 || index >= m_playlist.Count()) return;
    if (index == m_playing) {
        Stop();
    } else if (m_playing > index) {
        --m_playing;
    }
    m_playlist.Remove(index);
    RefreshList();
    SaveList();
    if (m_playing >= 0) ArmNext();
}

void CVocalith::RefreshList() {
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    // Nothing is read here: a row shows what is known when it is drawn, the reader fills in the rest.
    if (m_playlist.Empty()) m_reader.Forget();
    SendMessageW(m_list, LB_SETCOUNT, static_cast<WPARAM>(m_playlist.Count()), 0);
    if (m_playlist.Current() >= 0) SelectTrack(m_playlist.Current());
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
    if (m_player) m_player->SetCanPlay(kName, m_playlist.Empty() ? FALSE : TRUE);
}

namespace {

// A list up to this long is kept a track a key ("Track0", ...), a longer one in
// blocks of paths joined by '|' ("TrackBlock0", ...): the settings file is
// written again for each key, and a key a track makes a long list slow to keep.
constexpr int kKeyedTracks = 100;
constexpr std::size_t kBlockChars = 1000000;

std::wstring Numbered(const wchar_t* name, int number) { return name + std::to_wstring(number); }

}  // namespace

void CVocalith::SaveList() {
    if (!m_app || m_restoring) return;
    std::map<std::wstring, std::wstring> wanted;
    const std::vector<std::wstring>& tracks = m_playlist.Tracks();
    if (m_playlist.Count() <= kKeyedTracks) {
        for (int i = 0; i < m_playlist.Count(); ++i) wanted[Numbered(L"Track", i)] = tracks[static_cast<std::size_t>(i)];
    } else {
        std::wstring block;
        int blocks = 0;
        for (const std::wstring& track : tracks) {
            if (!block.empty() && block.size() + 1 + track.size() > kBlockChars) {
                wanted[Numbered(L"TrackBlock", blocks++)] = block;
                block.clear();
            }
            if (!block.empty()) block += L'|';
            block += track;
        }
        wanted[Numbered(L"TrackBlock", blocks)] = block;
    }
    wanted[L"Tracks"] = std::to_wstring(m_playlist.Count());
    wanted[L"Current"] = std::to_wstring(m_playlist.Current());
    if (wanted == m_saved) return;
    // Each key written rewrites the settings file, which takes long with a
    // long list in it: the writer's thread does it, with the whole list (a
    // snapshot not yet begun is replaced by the next).
    m_saved = wanted;
    m_listWriter.Hand([this, wanted = std::move(wanted)] { return WriteList(wanted); });
}

bool CVocalith::WriteList(const std::map<std::wstring, std::wstring>& wanted) {
    // Only what changed: playing another track writes one key. A key that
    // could not be written counts as unknown, and is written again next time.
    bool ok = true;
    for (const auto& [key, value] : wanted) {
        const auto written = m_written.find(key);
        if (written != m_written.end() && written->second == value) continue;
        if (m_app->WriteSetting(kName, key.c_str(), value.c_str())) {
            m_written[key] = value;
        } else {
            m_written.erase(key);
            ok = false;
        }
    }
    for (auto at = m_written.begin(); at != m_written.end();) {
        if (wanted.count(at->first)) {
            ++at;
        } else if (m_app->DeleteSetting(kName, at->first.c_str())) {
            at = m_written.erase(at);
        } else {
            ok = false;
            ++at;
        }
    }
    return ok;
}

void CVocalith::FinishSaving() { m_listWriter.Finish(); }

void CVocalith::LoadList() {
    if (!m_app) return;
    FinishSaving();
    m_saved.clear();
    wchar_t value[32] = {};
    const auto read = [&](const std::wstring& key, std::vector<wchar_t>& buffer) {
        if (!m_app->ReadSetting(kName, key.c_str(), buffer.data(), static_cast<int>(buffer.size()))) return false;
        m_saved[key] = buffer.data();
        return true;
    };
    const int count = m_app->ReadSetting(kName, L"Tracks", value, 32) ? std::clamp(_wtoi(value), 0, 100000) : 0;
    m_saved[L"Tracks"] = value;
    m_restoring = true;
    std::vector<wchar_t> text(kBlockChars + 1);
    if (count > kKeyedTracks) {
        for (int b = 0; m_playlist.Count() < count && read(Numbered(L"TrackBlock", b), text); ++b) {
            for (const wchar_t* p = text.data(); *p;) {
                const wchar_t* end = wcschr(p, L'|');
                const std::wstring path = end ? std::wstring(p, end) : std::wstring(p);
                if (!path.empty() && m_playlist.Count() < count) m_playlist.Add(path);
                p = end ? end + 1 : p + path.size();
            }
        }
    }
    // A track a key: a short list, or a long one as kept before there were blocks.
    if (m_playlist.Empty()) {
        for (int i = 0; i < count; ++i)
            if (read(Numbered(L"Track", i), text)) m_playlist.Add(text.data());
    }
    if (m_app->ReadSetting(kName, L"Current", value, 32)) {
        m_saved[L"Current"] = value;
        m_playlist.SetCurrent(_wtoi(value));
    }
    m_restoring = false;
    m_written = m_saved;
    RefreshList();
    ReadBehind(0);
}

std::vector<std::wstring> ChooseAudioFiles(HWND owner, const wchar_t* title, const wchar_t* filter) {
    std::vector<wchar_t> buffer(65536, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return {};
    // One name: the full path; several: the folder, then the names, each ended by a NUL.
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) parts.emplace_back(p);
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> files;
    for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

void CVocalith::ChooseFiles() {
    const std::vector<std::wstring> files = ChooseAudioFiles(
        GetAncestor(m_window, GA_ROOT), L"Add Files to Playlist",
        VOCALITH_AUDIO_FILTER L"Playlists (*.m3u;*.m3u8;*.pls)\0*.m3u;*.m3u8;*.pls\0All files (*.*)\0*.*\0");
    if (!files.empty()) AddFiles(files, false);
}

void CVocalith::ChooseFromLibrary() {
    if (!m_app) return;
    const ORVO_TEXT_LIST* chosen = m_app->ChooseFromLibrary();
    if (!chosen || chosen->Count <= 0 || !chosen->Items) return;
    std::vector<std::wstring> files;
    for (int i = 0; i < chosen->Count; ++i)
        if (chosen->Items[i]) files.emplace_back(chosen->Items[i]);
    AddFiles(files, false);
}

std::vector<int> CVocalith::SelectedTracks() const {
    std::vector<int> out;
    const int count = static_cast<int>(SendMessageW(m_list, LB_GETSELCOUNT, 0, 0));
    if (count <= 0) return out;
    out.resize(static_cast<std::size_t>(count));
    const int got = static_cast<int>(SendMessageW(m_list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(out.data())));
    out.resize(static_cast<std::size_t>(std::max(0, got)));
    std::sort(out.begin(), out.end());
    return out;
}

int CVocalith::FocusedTrack() const {
    const int caret = static_cast<int>(SendMessageW(m_list, LB_GETCARETINDEX, 0, 0));
    if (caret >= 0 && SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(caret), 0) > 0) return caret;
    const std::vector<int> selected = SelectedTracks();
    return selected.empty() ? -1 : selected.front();
}

void CVocalith::SelectTrack(int index) {
    SendMessageW(m_list, LB_SETSEL, FALSE, -1);
    SendMessageW(m_list, LB_SETSEL, TRUE, index);
    SendMessageW(m_list, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
}

}  // namespace vocalith
