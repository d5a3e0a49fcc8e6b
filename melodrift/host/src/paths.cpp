#include "paths.h"

#include "fw/strutil.h"
#include "fw/win/module.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace mdhost {

const std::wstring& ProgramFolder() {
    static const std::wstring folder = fw::GetModuleFolder(nullptr) + L"\\";
    return folder;
}

std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* defaultValue, std::size_t maxChars) {
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD n = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       path.c_str());
    return std::wstring(buffer.data(), n);
}

namespace {

bool IsPlainFolderName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
    for (wchar_t c : name)
        if (c < 32) return false;
    return name.back() != L' ' && name.back() != L'.';
}

bool EnsureFolder(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
}

}  // namespace

std::wstring ReadProductFolderName(const std::wstring& programFolder) {
    std::wstring name =
        ReadProfileString(programFolder + L"appdatadefault.ini", L"General", L"Name", kDefaultProductFolder, 99);
    return IsPlainFolderName(name) ? name : std::wstring(kDefaultProductFolder);
}

std::wstring GetDataFilePath(const std::wstring& fileName, const std::wstring& productFolder) {
    if (fileName.empty()) return std::wstring();
    wchar_t common[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, common)))
        common[0] = L'\0';
    std::wstring product = productFolder.empty() ? ReadProductFolderName(ProgramFolder()) : productFolder;
    std::wstring corvena = fw::JoinPath(common, L"Corvena");
    EnsureFolder(corvena);
    std::wstring folder = fw::JoinPath(corvena, product);
    EnsureFolder(folder);
    return fw::JoinPath(folder, fileName);
}

std::wstring GetLanguageFilePath(const std::wstring& folder, const std::wstring& fileName) {
    std::wstring shortName = ReadProfileString(GetDataFilePath(L"Language.ini"), L"Language", L"ShortName", L"eng", 8);
    return ProgramFolder() + folder + L"\\" + shortName + L"\\" + fileName;
}

std::wstring GetProgramRelativePath(const std::wstring& name, const std::wstring& programFolder) {
    if (name.size() > 2 && name[1] == L':') return name;
    return programFolder + name;
}

std::wstring HelpFilePath(const std::wstring& programFolder) { return programFolder + L"Help\\Melodrift.html"; }

std::wstring ReadOnlineAddress(const std::wstring& programFolder, const wchar_t* key) {
    std::wstring address =
        fw::Trim(ReadProfileString(programFolder + L"appdatadefault.ini", L"Online", key, L"", 1024));
    // Handed to the shell: a web address, never a program or a document of the computer.
    for (const wchar_t* scheme : {L"https://", L"http://"}) {
        std::wstring_view s(scheme);
        if (address.size() > s.size() && fw::EqualsNoCase(std::wstring_view(address).substr(0, s.size()), s) &&
            address.find_first_of(L" \"<>") == std::wstring::npos)
            return address;
    }
    return {};
}

void EnsureUnicodeProfile(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;  // exists already (or cannot be made: the profile functions decide)
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(h, bom, sizeof bom, &written, nullptr);
    CloseHandle(h);
}

}  // namespace mdhost
