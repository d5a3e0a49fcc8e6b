// Wide-string helpers shared by both programs. Platform-neutral: wchar_t strings
// hold UTF-16 code units (on Linux each wchar_t holds one unit; values above
// 0xFFFF never occur in our strings and are treated as invalid units).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// ---------------------------------------------------------------------------
// Formatting
//
// printf-style formatting with the same result under MinGW, MSVC and Linux.
// Our own formatter, independent of the C library's wide printf:
//   flags        - + space 0 #
//   width        number or * (a negative * width means left-justified)
//   precision    .number or .* (a negative * precision counts as none)
//   length       hh h l ll z j t L, and I64 / I32 as MSVC writes them
//   conversions  d i u x X o c s f F e E g G p %
//   %s %ls %ws   const wchar_t*        %hs %S   const char* (UTF-8)
//   %c %lc       wchar_t (as int)      %hc %C   char (as int, one byte)
//   %p           the pointer as upper-case hex, 2 * sizeof(void*) digits
// A null string pointer prints "(null)". Floating-point output is exact (the
// shortest decimal that the C standard's printf gives in the "C" locale).
// Precision on strings counts UTF-16 units and never splits a surrogate pair.
// An unknown conversion is copied to the output as written and ends the
// reading of arguments for that position only.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, std::va_list args);

// Appends to `out` instead of returning a new string.
void AppendFormat(std::wstring& out, const wchar_t* format, ...);
void AppendFormatV(std::wstring& out, const wchar_t* format, std::va_list args);

// ---------------------------------------------------------------------------
// Splitting and trimming

// Splits at every occurrence of `separator` (a whole string, not a set of
// characters). An empty separator gives the whole text as one piece. With
// keepEmpty false, empty pieces are dropped; an empty text gives no pieces then,
// and one empty piece otherwise.
std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view separator,
                                bool keepEmpty = true);

// Joins the pieces with the separator between them.
std::wstring Join(const std::vector<std::wstring>& pieces, std::wstring_view separator);

// White space: space, tab, CR, LF, vertical tab, form feed, no-break space
// (U+00A0) and the ideographic space (U+3000).
bool IsSpace(wchar_t c);
std::wstring Trim(std::wstring_view text);
std::wstring TrimLeft(std::wstring_view text);
std::wstring TrimRight(std::wstring_view text);
// Trims the given set of characters instead of white space.
std::wstring Trim(std::wstring_view text, std::wstring_view characters);

// ---------------------------------------------------------------------------
// Case
//
// Simple one-to-one case mapping of ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic, in agreement with Windows' ordinal ignore-case comparison: no
// locale and no special casing (the Turkish dotted and dotless i, the Greek
// final sigma and the German sharp s stay as they are). Other units are left
// as they are.
wchar_t ToLower(wchar_t c);
wchar_t ToUpper(wchar_t c);
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);

// Case-insensitive ordinal comparison: unit by unit after ToUpper, as Windows'
// CompareStringOrdinal with ignore-case does. Result < 0, 0 or > 0.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix);
// Index of the first match at or after `start`, or std::wstring::npos.
// An empty needle matches at `start` when start <= text.size().
std::size_t FindNoCase(std::wstring_view text, std::wstring_view needle, std::size_t start = 0);

// ---------------------------------------------------------------------------
// UTF-8 <-> UTF-16 (on code units)
//
// Invalid input (a lone surrogate in UTF-16; a malformed, overlong or
// surrogate-encoding sequence in UTF-8) becomes U+FFFD, one per maximal invalid
// sequence; `lossless` (when given) tells whether the input was valid.
std::string ToUtf8(std::wstring_view text, bool* lossless = nullptr);
std::wstring FromUtf8(std::string_view text, bool* lossless = nullptr);

// ---------------------------------------------------------------------------
// Integer parsing with validity
//
// The whole text must be the number: optional surrounding white space, an
// optional sign ('-' only for signed results), then at least one digit of the
// base (2 to 36; base 16 also accepts a "0x"/"0X" prefix; base 0 picks 16 for
// "0x", 8 for a leading 0, otherwise 10). Overflow, stray characters or an empty
// text give false and leave `value` untouched.
bool ParseInt(std::wstring_view text, int& value, int base = 10);
bool ParseInt(std::wstring_view text, long long& value, int base = 10);
bool ParseUInt(std::wstring_view text, unsigned int& value, int base = 10);
bool ParseUInt(std::wstring_view text, unsigned long long& value, int base = 10);

}  // namespace fw
