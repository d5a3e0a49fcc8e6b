// The system's code page (Windows' ANSI code page) for the playlist files, for
// the modules' Windows side; the playlist code itself stays platform-neutral.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "mediatags/playlist_files.h"

namespace mediatags {

inline std::wstring DecodeSystemCodePage(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

// False when a character has no place in the code page (nothing is replaced by a look-alike).
inline bool EncodeSystemCodePage(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    if (text.empty()) return true;
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, &lost);
    if (n <= 0 || lost) return false;
    bytes.resize(static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                        &lost);
    return !lost;
}

inline const CodePage& SystemCodePage()
{
    static const CodePage codePage{&DecodeSystemCodePage, &EncodeSystemCodePage};
    return codePage;
}

}  // namespace mediatags
