// Writing to a file: the document is put together in memory, written to a
// temporary file beside the target and then moved over it, so that a failure
// part way (a full disk, a path that is a directory) never leaves the previous
// file cut short.
#include "xml/enxml.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

namespace {

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return L".";
    if (slash == 0 || (slash == 2 && path[1] == L':'))
        return path.substr(0, slash + 1);  // "\x.xml", "C:\x.xml": the root itself
    return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

bool enXml::Save(const std::wstring& path) const {
    if (path.empty())
        return false;
    try {
        std::string bytes;
        if (!SaveToBuffer(bytes))
            return false;
        // A directory in place of the file is refused before anything is written.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;

        wchar_t temporary[MAX_PATH + 1] = {};
        if (!GetTempFileNameW(FolderOf(path).c_str(), L"mdx", 0, temporary))
            return false;
        HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DeleteFileW(temporary);
            return false;
        }
        const bool written = WriteAll(file, bytes);
        const bool closed = CloseHandle(file) != FALSE;
        if (!written || !closed || !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileW(temporary);
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
