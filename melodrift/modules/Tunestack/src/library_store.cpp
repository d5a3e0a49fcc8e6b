// Tunestack's files on disk.
#include "library_store.h"

#include <shlobj.h>

#include <algorithm>

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

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::wstring& path)
        : m_file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
        LARGE_INTEGER size = {};
        if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
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
        LARGE_INTEGER at = {};
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN)) return 0;
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        if (!ReadFile(m_file, buffer, want, &read, nullptr)) return 0;
        return read;
    }

private:
    HANDLE m_file;
    std::uint64_t m_size = 0;
};

void Scan(const std::wstring& folder, int depth, std::size_t limit, const std::atomic<bool>* cancel,
          std::vector<std::wstring>& out)
{
    if (depth > 64 || out.size() >= limit || (cancel && *cancel)) return;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Junctions and folder links could lead round in a circle.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Scan(path, depth + 1, limit, cancel, out);
        } else if (IsSupportedAudioFile(name) && out.size() < limit) {
            out.push_back(path);
        }
    } while (out.size() < limit && !(cancel && *cancel) && FindNextFileW(search, &found));
    FindClose(search);
}

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

std::vector<std::wstring> ScanFolder(const std::wstring& folder, std::size_t limit, const std::atomic<bool>* cancel)
{
    std::wstring root = folder;
    while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    if (root.size() == 3 && root.back() == L'\\') root.pop_back();   // "C:\" scans as "C:"
    std::vector<std::wstring> files;
    Scan(root, 0, limit, cancel, files);
    std::sort(files.begin(), files.end());
    return files;
}

TrackInfo ReadFileTrackInfo(const std::wstring& path)
{
    TrackInfo info;
    FileSource source(path);
    if (source.IsOpen()) ReadTrackInfo(source, info);
    return info;
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

bool LibraryStore::Save(const Library& library)
{
    EnsureFolder(m_folder.substr(0, m_folder.size() - 1));
    const bool files = SaveOne(FileListPath(), library.FileListBytes(), m_badFileList);
    const bool playlists = SaveOne(PlaylistsPath(), library.PlaylistsBytes(), m_badPlaylists);
    return files && playlists;
}

}  // namespace tunestack
