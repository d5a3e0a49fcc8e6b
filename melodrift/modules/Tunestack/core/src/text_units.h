// What the library's file formats share: ASCII letter case folded, and
// UTF-16LE code units appended to a byte string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunestack::units {

inline wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline bool SameAscii(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

inline void PutUnit(std::string& out, std::uint32_t unit)
{
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

inline void PutText(std::string& out, std::wstring_view text)
{
    for (wchar_t c : text) PutUnit(out, static_cast<std::uint32_t>(c) & 0xFFFF);
}

}  // namespace tunestack::units
