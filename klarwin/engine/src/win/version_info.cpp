#include "klarwin/version_info.h"

#include <windows.h>

#include "fw/strutil.h"

CVersionInfo::CVersionInfo(const std::wstring& file) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) return;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return;
    struct Translation {
        WORD Language;
        WORD CodePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof(Translation))
        return;
    const Translation& last = translations[length / sizeof(Translation) - 1];
    m_prefix = fw::Format(L"\\StringFileInfo\\%04x%04x\\", last.Language, last.CodePage);
    m_data = std::move(data);
}

std::wstring CVersionInfo::GetString(const wchar_t* name) const {
    if (m_data.empty()) return kNoVersionInfo;
    std::wstring query = m_prefix + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    // VerQueryValueW wants a writable block.
    std::vector<unsigned char> block(m_data);
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return std::wstring();
    std::wstring text(value, length);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}
