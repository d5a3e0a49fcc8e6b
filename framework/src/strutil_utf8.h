// UTF-8 and UTF-16 pieces shared by the string formatting and the conversions.
#pragma once

#include <cstddef>
#include <string>

namespace fw::detail {

inline bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Decodes one UTF-8 sequence at p (which is either NUL-terminated or holds at
// least `avail` bytes). Returns the bytes consumed (at least 1); `cp` is the
// code point, or U+FFFD for a maximal invalid subsequence.
std::size_t DecodeUtf8(const unsigned char* p, std::size_t avail, char32_t& cp);

// Appends `cp` as one UTF-16 unit or a surrogate pair.
void AppendCodePoint(std::wstring& out, char32_t cp);

}  // namespace fw::detail
