#include "fw/strutil.h"

#include <cstdint>
#include <limits>

namespace fw {

// ===========================================================================
// Splitting and trimming
// ===========================================================================

std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view separator, bool keepEmpty) {
    std::vector<std::wstring> pieces;
    if (separator.empty()) {
        if (keepEmpty || !text.empty()) pieces.emplace_back(text);
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(separator, start);
        std::wstring_view piece = text.substr(start, pos == std::wstring_view::npos ? std::wstring_view::npos : pos - start);
        if (keepEmpty || !piece.empty()) pieces.emplace_back(piece);
        if (pos == std::wstring_view::npos) break;
        start = pos + separator.size();
    }
    return pieces;
}

std::wstring Join(const std::vector<std::wstring>& pieces, std::wstring_view separator) {
    std::wstring out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) out.append(separator);
        out.append(pieces[i]);
    }
    return out;
}

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' ||
           c == static_cast<wchar_t>(0x00A0) || c == static_cast<wchar_t>(0x3000);
}

std::wstring TrimLeft(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return std::wstring(text.substr(i));
}

std::wstring TrimRight(std::wstring_view text) {
    std::size_t n = text.size();
    while (n > 0 && IsSpace(text[n - 1])) --n;
    return std::wstring(text.substr(0, n));
}

std::wstring Trim(std::wstring_view text) {
    std::size_t i = 0, n = text.size();
    while (i < n && IsSpace(text[i])) ++i;
    while (n > i && IsSpace(text[n - 1])) --n;
    return std::wstring(text.substr(i, n - i));
}

std::wstring Trim(std::wstring_view text, std::wstring_view characters) {
    std::size_t first = text.find_first_not_of(characters);
    if (first == std::wstring_view::npos) return std::wstring();
    std::size_t last = text.find_last_not_of(characters);
    return std::wstring(text.substr(first, last - first + 1));
}

// ===========================================================================
// Case
// ===========================================================================

wchar_t ToUpper(wchar_t wc) {
    unsigned c = static_cast<unsigned>(wc);
    unsigned r = c;
    if (c < 0x80) {
        if (c >= 'a' && c <= 'z') r = c - 32;
    } else if (c >= 0xE0 && c <= 0xFE) {
        if (c != 0xF7) r = c - 32;
    } else if (c == 0xFF) {
        r = 0x178;
    } else if (c >= 0x100 && c <= 0x17E) {
        // Latin Extended-A: pairs, upper case first; the dotted and dotless I
        // (0x130, 0x131) and kra (0x138) have no simple partner here.
        if ((c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && (c & 1)) r = c - 1;
        else if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !(c & 1)) r = c - 1;
    } else if (c >= 0x3AC && c <= 0x3CE) {
        if (c == 0x3AC) r = 0x386;
        else if (c >= 0x3AD && c <= 0x3AF) r = c - 37;
        else if (c == 0x3C2) r = c;  // the final sigma stays, as in Windows' ordinal comparison
        else if (c >= 0x3B1 && c <= 0x3CB) r = c - 32;
        else if (c == 0x3CC) r = 0x38C;
        else if (c >= 0x3CD) r = c - 63;
    } else if (c >= 0x430 && c <= 0x52F) {
        if (c <= 0x44F) r = c - 32;
        else if (c <= 0x45F) r = c - 80;
        else if (c == 0x4CF) r = 0x4C0;
        else if (((c >= 0x461 && c <= 0x481) || (c >= 0x48B && c <= 0x4BF) || c >= 0x4D1) && (c & 1)) r = c - 1;
        else if (c >= 0x4C2 && c <= 0x4CE && !(c & 1)) r = c - 1;
    }
    return static_cast<wchar_t>(r);
}

wchar_t ToLower(wchar_t wc) {
    unsigned c = static_cast<unsigned>(wc);
    unsigned r = c;
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z') r = c + 32;
    } else if (c >= 0xC0 && c <= 0xDE) {
        if (c != 0xD7) r = c + 32;
    } else if (c == 0x178) {
        r = 0xFF;
    } else if (c >= 0x100 && c <= 0x17E) {
        if ((c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && !(c & 1)) r = c + 1;
        else if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c & 1)) r = c + 1;
    } else if (c >= 0x386 && c <= 0x3AB) {
        if (c == 0x386) r = 0x3AC;
        else if (c >= 0x388 && c <= 0x38A) r = c + 37;
        else if (c == 0x38C) r = 0x3CC;
        else if (c == 0x38E || c == 0x38F) r = c + 63;
        else if (c >= 0x391 && c != 0x3A2) r = c + 32;
    } else if (c >= 0x400 && c <= 0x52F) {
        if (c <= 0x40F) r = c + 80;
        else if (c <= 0x42F) r = c + 32;
        else if (c == 0x4C0) r = 0x4CF;
        else if (((c >= 0x460 && c <= 0x480) || (c >= 0x48A && c <= 0x4BE) || c >= 0x4D0) && !(c & 1)) r = c + 1;
        else if (c >= 0x4C1 && c <= 0x4CD && (c & 1)) r = c + 1;
    }
    return static_cast<wchar_t>(r);
}

std::wstring ToLower(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = ToLower(c);
    return out;
}

std::wstring ToUpper(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = ToUpper(c);
    return out;
}

namespace {
inline std::uint32_t Key(wchar_t c) { return static_cast<std::uint32_t>(ToUpper(c)); }
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t x = Key(a[i]), y = Key(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::wstring_view text, std::wstring_view needle, std::size_t start) {
    if (start > text.size() || needle.size() > text.size() - start) return std::wstring::npos;
    std::size_t last = text.size() - needle.size();
    for (std::size_t i = start; i <= last; ++i) {
        std::size_t k = 0;
        while (k < needle.size() && Key(text[i + k]) == Key(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::wstring::npos;
}

// ===========================================================================
// Integer parsing
// ===========================================================================
namespace {

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'z') return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    return 99;
}

template <class U>
bool ParseDigits(std::wstring_view digits, int base, U limit, U& magnitude) {
    if (base == 16 && digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X'))
        digits.remove_prefix(2);
    if (digits.empty()) return false;
    U value = 0;
    for (wchar_t c : digits) {
        int d = DigitValue(c);
        if (d >= base) return false;
        U ud = static_cast<U>(d);
        if (value > (limit - ud) / static_cast<U>(base)) return false;
        value = value * static_cast<U>(base) + ud;
    }
    magnitude = value;
    return true;
}

// Splits off white space and the sign; picks the base for base 0.
bool Prepare(std::wstring_view text, int& base, bool& negative, std::wstring_view& digits) {
    std::size_t i = 0, n = text.size();
    while (i < n && IsSpace(text[i])) ++i;
    while (n > i && IsSpace(text[n - 1])) --n;
    negative = false;
    if (i < n && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    digits = text.substr(i, n - i);
    if (base == 0) {
        if (digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) base = 16;
        else if (digits.size() > 1 && digits[0] == L'0') base = 8;
        else base = 10;
    }
    return base >= 2 && base <= 36;
}

template <class S>
bool ParseSigned(std::wstring_view text, S& value, int base) {
    using U = std::make_unsigned_t<S>;
    bool negative;
    std::wstring_view digits;
    if (!Prepare(text, base, negative, digits)) return false;
    U limit = negative ? static_cast<U>(std::numeric_limits<S>::max()) + 1u : static_cast<U>(std::numeric_limits<S>::max());
    U magnitude;
    if (!ParseDigits(digits, base, limit, magnitude)) return false;
    value = negative ? static_cast<S>(0 - magnitude) : static_cast<S>(magnitude);
    return true;
}

template <class U>
bool ParseUnsigned(std::wstring_view text, U& value, int base) {
    bool negative;
    std::wstring_view digits;
    if (!Prepare(text, base, negative, digits) || negative) return false;
    U magnitude;
    if (!ParseDigits(digits, base, std::numeric_limits<U>::max(), magnitude)) return false;
    value = magnitude;
    return true;
}

}  // namespace

bool ParseInt(std::wstring_view text, int& value, int base) { return ParseSigned(text, value, base); }
bool ParseInt(std::wstring_view text, long long& value, int base) { return ParseSigned(text, value, base); }
bool ParseUInt(std::wstring_view text, unsigned int& value, int base) { return ParseUnsigned(text, value, base); }
bool ParseUInt(std::wstring_view text, unsigned long long& value, int base) {
    return ParseUnsigned(text, value, base);
}

}  // namespace fw
