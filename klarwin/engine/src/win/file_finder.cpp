#include "klarwin/file_finder.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A folder that stands for another place: a junction or symbolic link (the
// reparse tag says so), or a reparse point whose tag the system does not give.
bool IsFolderLink(const WIN32_FIND_DATAW& data) {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    DWORD tag = data.dwReserved0;
    return tag == 0 || IsReparseTagNameSurrogate(tag);
}

}  // namespace

int CFileFinder::FindFiles(const std::wstring& baseFolder, const std::wstring& mask, bool recursive) {
    m_stop.store(false);
    Search(baseFolder, mask, recursive);
    return m_found.GetSize();
}

void CFileFinder::Search(std::wstring folder, const std::wstring& mask, bool recursive) {
    if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder += L'\\';

    WIN32_FIND_DATAW data;
    if (recursive) {
        HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (IsStopped()) break;
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(data.cFileName)) continue;
                if (IsFolderLink(data)) continue;
                Search(folder + data.cFileName, mask, recursive);
            } while (!IsStopped() && FindNextFileW(find, &data));
            FindClose(find);
        }
    }
    if (IsStopped()) return;

    m_currentFolder = folder;
    Raise(kFinderFolderStarted);

    HANDLE find = FindFirstFileW((folder + mask).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (IsStopped()) break;
        if (IsDotEntry(data.cFileName)) continue;
        if (!MatchesFileMask(data.cFileName, mask)) continue;
        std::wstring path = folder + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) path += L'\\';
        m_found.Add(std::move(path));
        Raise(kFinderFileFound);
    } while (!IsStopped() && FindNextFileW(find, &data));
    FindClose(find);
}

CPath CFileFinder::GetFoundPath(int index) const {
    if (index < 0 || index >= m_found.GetSize()) return CPath();
    return CPath(m_found[index]);
}
