// Name matching, the attribute number parsers and the XML character classes.
#include "xml/enxml.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace mdxml {

namespace {

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsSpace(unsigned c) {
    return c == 0x20 || (c >= 0x09 && c <= 0x0D);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decimal exponent of the first significant digit of a decimal number text
// (0.05 -> -2, 123 -> 2); used to tell overflow from underflow.
long long DecimalMagnitude(const char* p, const char* end) {
    long long position = 0;     // digits before the point, minus leading zeros
    long long firstNonZero = 0; // (negative) index of the first nonzero digit after the point
    bool seenNonZero = false;
    bool afterPoint = false;
    long long fractionIndex = 0;
    for (; p < end; ++p) {
        if (*p == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!IsDigit(*p))
            break;
        if (!afterPoint) {
            if (*p != '0' || seenNonZero) {
                seenNonZero = true;
                ++position;
            }
        } else {
            --fractionIndex;
            if (!seenNonZero && *p != '0') {
                seenNonZero = true;
                firstNonZero = fractionIndex;
            }
        }
    }
    long long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-'))
            negative = *p++ == '-';
        for (; p < end && IsDigit(*p); ++p) {
            if (exponent < 100000000)
                exponent = exponent * 10 + (*p - '0');
        }
        if (negative)
            exponent = -exponent;
    }
    return (position > 0 ? position - 1 : firstNonZero) + exponent;
}

}  // namespace

bool NameEquals(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

std::int32_t ParseInt(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    // Accumulated as a negative number so that INT32_MIN needs no special case.
    constexpr long long lowest = std::numeric_limits<std::int32_t>::min();
    constexpr long long highest = std::numeric_limits<std::int32_t>::max();
    long long value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (!saturated) {
            value = value * 10 - (text[i] - L'0');
            if (value < lowest)
                saturated = true;
        }
    }
    if (saturated)
        return negative ? static_cast<std::int32_t>(lowest) : static_cast<std::int32_t>(highest);
    if (!negative)
        return value < -highest ? static_cast<std::int32_t>(highest) : static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value);
}

float ParseFloat(std::wstring_view text) {
    // The value is taken as narrow text of at most 99 characters; a character
    // outside ASCII cannot be part of a number and ends the text there.
    char buffer[100];
    std::size_t length = 0;
    for (; length < text.size() && length < 99; ++length) {
        const wchar_t c = text[length];
        if (c == 0 || static_cast<unsigned long>(c) > 0x7F)
            break;
        buffer[length] = static_cast<char>(c);
    }
    const char* p = buffer;
    const char* end = buffer + length;
    while (p < end && IsSpace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';

    // No number at all gives 0 without a sign, as the C library answers.
    double value = 0.0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && (end - p > 2) &&
        (IsHexDigit(p[2]) || (p[2] == '.' && end - p > 3 && IsHexDigit(p[3])))) {
        const char* hex = p + 2;
        std::from_chars_result r = std::from_chars(hex, end, value, std::chars_format::hex);
        if (r.ec == std::errc::result_out_of_range) {
            // The sign of the binary exponent tells overflow from underflow.
            const char* e = hex;
            while (e < r.ptr && *e != 'p' && *e != 'P')
                ++e;
            const bool tiny = e + 1 < r.ptr && e[1] == '-';
            value = tiny ? 0.0 : HUGE_VAL;
        } else if (r.ec != std::errc()) {
            return 0.0f;
        }
    } else {
        if (p < end && (*p == '-' || *p == '+'))
            return 0.0f;  // a second sign: from_chars would take it, the C library does not
        std::from_chars_result r = std::from_chars(p, end, value, std::chars_format::general);
        if (r.ec == std::errc::result_out_of_range)
            value = DecimalMagnitude(p, r.ptr) > 0 ? HUGE_VAL : 0.0;
        else if (r.ec != std::errc())
            return 0.0f;
    }
    if (negative)
        value = -value;
    // IEEE narrowing: beyond the float range gives infinity, as the FPU does.
    return static_cast<float>(value);
}

namespace {

bool IsNameStart(unsigned long c) {
    return c == ':' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(unsigned long c) {
    return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool IsXmlChar(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes the code point at text[i] (a surrogate pair counts as one); a lone
// surrogate or a unit above 0xFFFF comes back as 0xFFFFFFFF, which no class holds.
unsigned long NextCodePoint(std::wstring_view text, std::size_t& i) {
    const unsigned long unit = static_cast<unsigned long>(text[i++]);
    if (unit > 0xFFFF)
        return 0xFFFFFFFFUL;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (i < text.size()) {
            const unsigned long low = static_cast<unsigned long>(text[i]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++i;
                return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            }
        }
        return 0xFFFFFFFFUL;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return 0xFFFFFFFFUL;
    return unit;
}

}  // namespace

bool IsXmlName(std::wstring_view name) {
    if (name.empty())
        return false;
    std::size_t i = 0;
    if (!IsNameStart(NextCodePoint(name, i)))
        return false;
    while (i < name.size()) {
        const wchar_t c = name[i];
        // Most names are ASCII letters, digits and the few ASCII punctuation
        // characters names allow.
        if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
            c == L'-' || c == L'.' || c == L':') {
            ++i;
            continue;
        }
        if (!IsNameChar(NextCodePoint(name, i)))
            return false;
    }
    return true;
}

bool IsXmlText(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c >= 0x20 && c < 0xD800) {  // the usual case: no check beyond this
            ++i;
            continue;
        }
        if (!IsXmlChar(NextCodePoint(text, i)))
            return false;
    }
    return true;
}

}  // namespace mdxml
