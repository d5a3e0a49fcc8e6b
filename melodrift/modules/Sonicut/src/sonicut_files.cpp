// The Sonicut window's files: the file recorded to (chosen in the save
// dialog or named by the date), and its writing.
#include "sonicut_parts.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>

namespace sonicut {

bool CFileOutput::WriteAt(std::uint64_t offset, const void* data, std::size_t bytes)
{
    if (m_file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN)) return false;
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(m_file, p, chunk, &written, nullptr) || written != chunk) return false;
        p += chunk;
        bytes -= chunk;
    }
    return true;
}

void CFileOutput::Close()
{
    if (m_file != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(m_file);
        CloseHandle(m_file);
    }
    m_file = INVALID_HANDLE_VALUE;
}

std::wstring WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// "Recording <date> <time>.wav" in the folder used last (else the music folder).
std::wstring CSonicutWindow::DefaultFileName() const
{
    std::wstring folder = ReadSetting(L"Folder");
    if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        wchar_t music[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, music))) {
            folder = music;
        } else if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, music))) {
            folder = music;
        }
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t name[64] = {};
    std::swprintf(name, 64, L"Recording %04u-%02u-%02u %02u-%02u-%02u.wav", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return folder.empty() ? std::wstring(name) : folder + L"\\" + name;
}

void CSonicutWindow::ChooseFile()
{
    std::wstring current = WindowText(m_file);
    wchar_t file[MAX_PATH] = {};
    const std::wstring name = current.substr(current.find_last_of(L"\\/") == std::wstring::npos ? 0 : current.find_last_of(L"\\/") + 1);
    lstrcpynW(file, name.c_str(), MAX_PATH);
    const std::wstring folder = FolderOf(current);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    ofn.lpstrFilter = L"WAV files (*.wav)\0*.wav\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = L"Record to";
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return;
    SetWindowTextW(m_file, file);
    m_confirmedPath = file;
    WriteSetting(L"Folder", FolderOf(file));
}

}  // namespace sonicut
