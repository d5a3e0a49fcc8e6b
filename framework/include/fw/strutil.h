// Wide-string helpers shared by both programs. Platform-neutral: wchar_t strings
// hold UTF-16 code units (on Linux each wchar_t holds one unit).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace fw {

// printf-style formatting with the same result under MinGW, MSVC and Linux.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, std::va_list args);

}  // namespace fw
