#include "settings.h"

#include "fw/strutil.h"
#include "fw/textfile.h"
#include "paths.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

CHostSettings::CHostSettings(std::wstring path) : m_path(std::move(path)) { mdhost::EnsureUnicodeProfile(m_path); }

std::wstring CHostSettings::Read(const std::wstring& section, const wchar_t* key, const wchar_t* defaultValue,
                                 std::size_t maxChars) const {
    std::lock_guard one(m_fileLock);
    return mdhost::ReadProfileString(m_path, section.c_str(), key, defaultValue ? defaultValue : L"", maxChars);
}

bool CHostSettings::Write(const std::wstring& section, const wchar_t* key, const wchar_t* value) const {
    std::lock_guard one(m_fileLock);
    return WritePrivateProfileStringW(section.c_str(), key, value, m_path.c_str()) != FALSE;
}

int CHostSettings::ReadInt(const std::wstring& section, const wchar_t* key, int defaultValue) const {
    return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key, defaultValue, m_path.c_str()));
}

namespace {

// The file's text and how it was stored.
bool ReadText(const std::wstring& path, std::wstring& text, bool& unicode) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return false;
    std::stringstream s;
    s << in.rdbuf();
    std::string bytes = s.str();
    unicode = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
              static_cast<unsigned char>(bytes[1]) == 0xFE;
    if (unicode) return fw::DecodeUtf16Le(std::string_view(bytes).substr(2), text);
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.assign(static_cast<std::size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return true;
}

bool WriteText(const std::wstring& path, const std::wstring& text, bool unicode) {
    if (unicode) return fw::WriteUtf16File(path, text, true);
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    std::wstring temp = path + L".tmp";
    {
        std::ofstream out(std::filesystem::path(temp), std::ios::binary | std::ios::trunc);
        if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            out.close();
            DeleteFileW(temp.c_str());
            return false;
        }
    }
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temp.c_str());
    return false;
}

}  // namespace

bool CHostSettings::DeleteOwnerKey(const std::wstring& owner, const std::wstring& key) const {
    std::lock_guard one(m_fileLock);
    // Whatever the profile functions still hold goes to the file first.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_path.c_str());
    std::wstring text;
    bool unicode = false;
    if (!ReadText(m_path, text, unicode)) return false;
    // Lines with their own endings, so that the rest of the file is written back unchanged.
    std::vector<std::wstring> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    // Section and key names are matched as the profile functions match them:
    // letter case ignored, blanks around the key ignored.
    const std::wstring section = OwnerSection(owner);
    auto isHeader = [&](const std::wstring& line) {
        std::wstring t = fw::Trim(line);
        return t.size() >= 2 && t.front() == L'[' && t.back() == L']' &&
               fw::EqualsNoCase(fw::Trim(std::wstring_view(t).substr(1, t.size() - 2)), section);
    };
    auto isKey = [&](const std::wstring& line) {
        std::size_t eq = line.find(L'=');
        return eq != std::wstring::npos && fw::EqualsNoCase(fw::Trim(std::wstring_view(line).substr(0, eq)), key);
    };
    std::size_t i = 0;
    while (i < lines.size() && !isHeader(lines[i])) ++i;
    if (i == lines.size()) return false;
    for (++i; i < lines.size() && fw::TrimLeft(lines[i]).rfind(L'[', 0) != 0; ++i) {
        if (isKey(lines[i])) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            std::wstring rewritten;
            for (const std::wstring& line : lines) rewritten += line;
            // A file that could not be rewritten still holds the key: no success then.
            bool written = WriteText(m_path, rewritten, unicode);
            WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_path.c_str());
            return written;
        }
    }
    return true;
}
