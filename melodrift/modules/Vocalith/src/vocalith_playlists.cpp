// The player's tracks as the user knows them (their tags) and playlist files
// of other players (M3U, M3U8, PLS), opened and saved.
#include "mediatags/playlist_files.h"
#include "mediatags/system_code_page.h"
#include "vocalith_window.h"

#include <commdlg.h>

#include <algorithm>

namespace vocalith {

namespace {

// Playlists larger than this are not read.
constexpr LONGLONG kMaxPlaylistBytes = 16 * 1024 * 1024;

class CFileBytes : public mediatags::ByteSource {
public:
    explicit CFileBytes(const std::wstring& path) {
        m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size = {};
        if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
    }
    ~CFileBytes() override {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    }
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    std::uint64_t Size() const override { return m_size; }
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        if (offset >= m_size) return 0;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>({count, m_size - offset, 1u << 24}));
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) || !ReadFile(m_file, buffer, want, &got, nullptr)) return 0;
        return got;
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::uint64_t m_size = 0;
};

bool ReadWhole(const std::wstring& path, std::string& bytes) {
    CFileBytes file(path);
    if (!file.IsOpen() || file.Size() > static_cast<std::uint64_t>(kMaxPlaylistBytes)) return false;
    bytes.resize(static_cast<std::size_t>(file.Size()));
    return file.Read(0, bytes.data(), bytes.size()) == bytes.size();
}

}  // namespace

const CVocalith::TrackTags& CVocalith::TagsFor(const std::wstring& path) {
    auto found = m_tags.find(path);
    if (found != m_tags.end()) return found->second;
    TrackTags& entry = m_tags[path];
    CFileBytes file(path);
    if (!file.IsOpen()) {
        entry.missing = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    } else {
        mediatags::ReadMediaTags(file, entry.tags);
    }
    return entry;
}

std::wstring CVocalith::TrackName(const std::wstring& path) {
    const TrackTags& t = TagsFor(path);
    if (t.tags.title.empty() && !t.listedTitle.empty()) return t.listedTitle;
    return mediatags::DisplayName(t.tags, mediatags::TitleOfPath(path));
}

std::wstring CVocalith::ListLine(const std::wstring& path) {
    const TrackTags& t = TagsFor(path);
    std::wstring line = TrackName(path);
    if (t.missing) line += L" (missing)";
    std::int64_t ms = t.tags.durationMs;
    if (ms < 0 && t.listedSeconds >= 0) ms = t.listedSeconds * 1000;
    if (ms >= 0) line += L"\t" + mediatags::FormatDuration(ms);
    return line;
}

std::vector<std::wstring> CVocalith::ExpandPlaylists(const std::vector<std::wstring>& files) {
    std::vector<std::wstring> out;
    for (const std::wstring& f : files) {
        if (!mediatags::IsPlaylistFileName(f)) {
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
        for (const mediatags::PlaylistEntry& e : entries) {
            TrackTags& t = m_tags[e.path];
            t = TrackTags();
            t.listedTitle = e.title;
            t.listedSeconds = e.seconds;
            CFileBytes file(e.path);
            if (file.IsOpen()) mediatags::ReadMediaTags(file, t.tags);
            else t.missing = GetFileAttributesW(e.path.c_str()) == INVALID_FILE_ATTRIBUTES;
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
        const TrackTags& t = TagsFor(track);
        e.title = TrackName(track);
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
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
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
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn)) return;
    if (SavePlaylist(name)) {
        if (m_app) m_app->SetStatusText((L"Playlist saved to " + std::wstring(name)).c_str());
    } else {
        SetError(L"Cannot save the playlist to " + std::wstring(name));
    }
}

}  // namespace vocalith
