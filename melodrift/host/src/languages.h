// The user-interface languages: language DLLs in the program's "Language"
// folder, each carrying its display name (string 19001) and short code
// (string 19002), and the choice kept in Language.ini of the data folder.
#pragma once

#include "fw/array.h"

#include <windows.h>

#include <string>

struct LanguageEntry {
    std::wstring Path;       // full path of the DLL
    std::wstring Name;       // string 19001
    std::wstring ShortName;  // string 19002
    BYTE Selected = 0;       // 1 for the language in use
};

class CLanguageList {
public:
    static constexpr UINT kNameString = 19001;
    static constexpr UINT kShortNameString = 19002;

    // <programFolder>Language\*.dll in name order; libraries that do not load
    // or lack either string are dropped; entries named "English" move to the front.
    void Discover(const std::wstring& programFolder);

    // The stored choice of Language.ini (`iniPath`). On the first run (no name
    // stored) a language is chosen by the ANSI code page, stored, and returned.
    void ReadChoice(const std::wstring& iniPath, UINT codePage, std::wstring& name, std::wstring& shortName);
    // Stores the entry of that name (exact); false and nothing written when no entry bears it.
    bool SaveChoice(const std::wstring& name, const std::wstring& iniPath) const;
    // Stores this entry (also when another one bears the same name).
    static void SaveEntry(const LanguageEntry& entry, const std::wstring& iniPath);
    // Sets Selected on the first entry of exactly that name and clears it elsewhere.
    void MarkSelected(const std::wstring& name);

    // "jpn", "rus", "viet" or "eng" for an ANSI code page.
    static const wchar_t* ShortCodeForCodePage(UINT codePage);

    CArray<LanguageEntry> m_entries;
};
