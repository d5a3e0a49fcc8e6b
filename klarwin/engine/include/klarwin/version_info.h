// CVersionInfo: strings of a file's version resource, read under the last
// language and code page its "\VarFileInfo\Translation" lists.
//
//   CVersionInfo info(ProgramFilePath());
//   std::wstring version = info.GetString(L"ProductVersion");
#pragma once

#include <string>
#include <vector>

constexpr wchar_t kNoVersionInfo[] = L"<no version info found>";

class CVersionInfo {
public:
    explicit CVersionInfo(const std::wstring& file);

    bool HasVersionInfo() const { return !m_data.empty(); }
    // The string of that name; "<no version info found>" for a file without
    // version resource, empty when the resource lacks the string.
    std::wstring GetString(const wchar_t* name) const;
    // "\StringFileInfo\%04x%04x\" of the translation used (empty without resource).
    const std::wstring& GetPrefix() const { return m_prefix; }

private:
    std::vector<unsigned char> m_data;
    std::wstring m_prefix;
};
