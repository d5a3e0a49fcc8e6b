// Tunestack's files on disk.
#include "library_store.h"

#include <shlobj.h>

#include <algorithm>
#include <set>

namespace tunestack {

namespace {

bool IsPlainFolderName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
    for (wchar_t c : name) {
        if (c < 32) return false;
    }
    return name.back() != L' ' && name.back() != L'.';
}

void EnsureFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    CreateDirectoryW(folder.c_str(), nullptr);
}

// A file read for its tags: the first 64 KiB in one read (where every reader
// finds nearly all it needs), anything further from the file itself.
class FileSource : public ByteSource {
public:
    explicit FileSource(const std::wstring& path)
        : m_file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
        LARGE_INTEGER size = {};
        if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
        if (m_file != INVALID_HANDLE_VALUE) {
            m_head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(m_size, kHead)));
            DWORD read = 0;
            if (!m_head.empty() && !ReadFile(m_file, m_head.data(), static_cast<DWORD>(m_head.size()), &read, nullptr)) read = 0;
            m_head.resize(read);
        }
    }
    ~FileSource() override
    {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    std::uint64_t Size() const override { return m_size; }
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (!IsOpen() || offset >= m_size) return 0;
        if (offset + count <= m_head.size()) {
            std::copy_n(m_head.data() + offset, count, static_cast<char*>(buffer));
            return count;
        }
        LARGE_INTEGER at = {};
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN)) return 0;
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        if (!ReadFile(m_file, buffer, want, &read, nullptr)) return 0;
        return read;
    }

private:
    static constexpr std::uint64_t kHead = 64 * 1024;
    HANDLE m_file;
    std::uint64_t m_size = 0;
    std::vector<char> m_head;
};

struct FolderIdentity {
    DWORD volume;
    DWORD high;
    DWORD low;
    bool operator<(const FolderIdentity& o) const
    {
        return volume != o.volume ? volume < o.volume : high != o.high ? high < o.high : low < o.low;
    }
};

// The folder's identity on its volume: the same folder reached under two
// names (a link the listing does not mark as one) gives the same identity.
bool IdentityOf(const std::wstring& folder, FolderIdentity& identity)
{
    HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool ok = GetFileInformationByHandle(handle, &info) != FALSE;
    CloseHandle(handle);
    if (!ok || (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0)) return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

struct Walk {
    std::size_t limit;
    const std::atomic<bool>* cancel;
    const std::function<void(const std::wstring&, std::size_t)>& onFolder;
    WalkProblems& problems;
    std::vector<WalkedFile>& out;
    std::set<FolderIdentity> seen;

    bool Stopped() const { return out.size() >= limit || (cancel && *cancel); }

    void Folder(const std::wstring& folder, int depth)
    {
        if (depth > 64 || Stopped()) return;
        FolderIdentity identity = {};
        if (IdentityOf(folder, identity) && !seen.insert(identity).second) {
            ++problems.loops;
            return;
        }
        if (onFolder) onFolder(folder, out.size());
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE) {
            ++problems.unreadableFolders;
            return;
        }
        std::vector<std::wstring> folders;
        do {
            const wchar_t* name = found.cFileName;
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // Junctions and folder links could lead round in a circle.
                if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ++problems.links;
                else folders.push_back(folder + L"\\" + name);
            } else if (IsSupportedAudioFile(name) && out.size() < limit) {
                WalkedFile file;
                file.path = folder + L"\\" + name;
                file.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                file.time = (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                            found.ftLastWriteTime.dwLowDateTime;
                out.push_back(std::move(file));
            }
        } while (!Stopped() && FindNextFileW(search, &found));
        FindClose(search);
        for (const std::wstring& sub : folders) Folder(sub, depth + 1);
    }
};

}  // namespace

std::wstring DataFolder(const std::wstring& programFolder)
{
    wchar_t buffer[100] = {};
    GetPrivateProfileStringW(L"General", L"Name", L"Cantorel Voro 5.0", buffer, 100,
                             (programFolder + L"appdatadefault.ini").c_str());
    std::wstring product = buffer;
    if (!IsPlainFolderName(product)) product = L"Cantorel Voro 5.0";
    wchar_t common[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, common))) {
        common[0] = L'\0';
    }
    std::wstring folder = std::wstring(common) + L"\\Corvena";
    EnsureFolder(folder);
    folder += L"\\" + product;
    EnsureFolder(folder);
    return folder + L"\\";
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    if (!ok) bytes.clear();
    return ok;
}

bool WriteFileAtomically(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    if (ok) ok = MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

std::vector<WalkedFile> WalkFolder(const std::wstring& folder, WalkProblems& problems, std::size_t limit,
                                   const std::atomic<bool>* cancel,
                                   const std::function<void(const std::wstring&, std::size_t)>& onFolder)
{
    std::wstring root = folder;
    while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    if (root.size() == 3 && root.back() == L'\\') root.pop_back();   // "C:\" walks as "C:"
    std::vector<WalkedFile> files;
    Walk walk{limit, cancel, onFolder, problems, files, {}};
    walk.Folder(root, 0);
    std::sort(files.begin(), files.end(), [](const WalkedFile& a, const WalkedFile& b) { return a.path < b.path; });
    return files;
}

bool ReadFileTrackInfo(const std::wstring& path, TrackInfo& info)
{
    info = TrackInfo();
    FileSource source(path);
    if (!source.IsOpen()) return false;
    ReadTrackInfo(source, info);
    return true;
}

LibraryStore::LibraryStore(std::wstring folder) : m_folder(std::move(folder)) {}

bool LibraryStore::Load(Library& library)
{
    // An empty file holds nothing to keep; anything else unreadable is kept aside at the next save.
    std::string bytes;
    m_badFileList = false;
    if (!ReadWholeFile(FileListPath(), bytes) || !library.LoadFileList(bytes)) {
        m_badFileList = !bytes.empty();
        library.LoadFileList(std::string("\xFF\xFE", 2));
    }
    m_badPlaylists = false;
    if (!ReadWholeFile(PlaylistsPath(), bytes) || !library.LoadPlaylists(bytes)) {
        m_badPlaylists = !bytes.empty();
        library.LoadPlaylists("<Library/>");
    }
    return !HadBadFile();
}

bool LibraryStore::SaveOne(const std::wstring& path, const std::string& bytes, bool& bad)
{
    if (bad) {
        // The unreadable file is kept beside the new one.
        if (!MoveFileExW(path.c_str(), (path + L".bad").c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        bad = false;
    }
    return WriteFileAtomically(path, bytes);
}

bool LibraryStore::Save(const std::string& fileList, const std::string& playlistBytes)
{
    EnsureFolder(m_folder.substr(0, m_folder.size() - 1));
    const bool files = SaveOne(FileListPath(), fileList, m_badFileList);
    const bool playlists = SaveOne(PlaylistsPath(), playlistBytes, m_badPlaylists);
    return files && playlists;
}

}  // namespace tunestack
