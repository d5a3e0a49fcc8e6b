#include "languages.h"

#include "fw/strutil.h"
#include "paths.h"

#include <algorithm>
#include <vector>

namespace {

// A string of a library loaded as data (its code never runs); up to 100 characters.
std::wstring LibraryString(HMODULE library, UINT id) {
    wchar_t buffer[101] = {};
    int n = LoadStringW(library, id, buffer, 101);
    return n > 0 ? std::wstring(buffer, static_cast<std::size_t>(n)) : std::wstring();
}

// The files of a folder that match a pattern, in name order.
std::vector<std::wstring> ListFiles(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return fw::CompareNoCase(a, b) < 0; });
    return names;
}

}  // namespace

void CLanguageList::Discover(const std::wstring& programFolder) {
    std::wstring folder = programFolder;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    folder += L"\\Language\\";
    for (const std::wstring& name : ListFiles(folder + L"*.dll")) {
        LanguageEntry e;
        e.Path = folder + name;
        m_entries.Add(e);
    }
    for (int i = 0; i < m_entries.GetSize();) {
        LanguageEntry& e = m_entries[i];
        HMODULE library = LoadLibraryExW(e.Path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        bool keep = false;
        if (library) {
            e.Name = LibraryString(library, kNameString);
            if (!e.Name.empty()) {
                e.ShortName = LibraryString(library, kShortNameString);
                keep = !e.ShortName.empty();
            }
            FreeLibrary(library);
        }
        if (!keep) {
            m_entries.RemoveAt(i);  // the same index again
            continue;
        }
        if (fw::EqualsNoCase(e.Name, L"English") && i > 0) {
            LanguageEntry moved = e;
            m_entries.RemoveAt(i);
            m_entries.InsertAt(0, moved);
        }
        ++i;
    }
}

const wchar_t* CLanguageList::ShortCodeForCodePage(UINT cp) {
    switch (cp) {
    case 932: case 10001: case 20290: case 50220: case 50221: case 50222: return L"jpn";
    case 855: case 866: case 1251: case 10007: case 20866: case 20880: case 21025: case 28595: return L"rus";
    case 1258: return L"viet";
    default: return L"eng";
    }
}

void CLanguageList::SaveEntry(const LanguageEntry& e, const std::wstring& iniPath) {
    mdhost::EnsureUnicodeProfile(iniPath);
    WritePrivateProfileStringW(L"Language", L"Path", e.Path.c_str(), iniPath.c_str());
    WritePrivateProfileStringW(L"Language", L"Name", e.Name.c_str(), iniPath.c_str());
    WritePrivateProfileStringW(L"Language", L"ShortName", e.ShortName.c_str(), iniPath.c_str());
}

bool CLanguageList::SaveChoice(const std::wstring& name, const std::wstring& iniPath) const {
    for (const LanguageEntry& e : m_entries) {
        if (e.Name != name) continue;
        SaveEntry(e, iniPath);
        return true;
    }
    return false;
}

void CLanguageList::ReadChoice(const std::wstring& iniPath, UINT codePage, std::wstring& name,
                               std::wstring& shortName) {
    name = mdhost::ReadProfileString(iniPath, L"Language", L"Name", L"", 100);
    shortName = mdhost::ReadProfileString(iniPath, L"Language", L"ShortName", L"", 100);
    if (!name.empty()) return;

    // First run: choose by the system's code page.
    bool hasEnglish = std::any_of(m_entries.begin(), m_entries.end(),
                                  [](const LanguageEntry& e) { return e.Name == L"English"; });
    if (!hasEnglish) {
        LanguageEntry english;
        english.Name = L"English";
        english.ShortName = L"Eng";
        m_entries.InsertAt(0, english);
    }
    const wchar_t* code = ShortCodeForCodePage(codePage);
    const LanguageEntry* chosen = nullptr;
    for (const LanguageEntry& e : m_entries)
        if (!chosen && fw::EqualsNoCase(e.ShortName, code)) chosen = &e;
    for (const LanguageEntry& e : m_entries)
        if (!chosen && e.Name == L"English") chosen = &e;
    // The chosen entry itself: a name can stand on two entries ("English"
    // twice), and the one chosen by its short name is the one to keep.
    if (chosen) SaveEntry(*chosen, iniPath);
    // The values just stored, so that the caller marks the language in use at once.
    name = mdhost::ReadProfileString(iniPath, L"Language", L"Name", L"", 100);
    shortName = mdhost::ReadProfileString(iniPath, L"Language", L"ShortName", L"", 100);
}

void CLanguageList::MarkSelected(const std::wstring& name) {
    bool found = false;
    for (LanguageEntry& e : m_entries) {
        e.Selected = (!found && e.Name == name) ? 1 : 0;
        if (e.Selected) found = true;
    }
}
