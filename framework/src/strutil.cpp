#include "fw/strutil.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace fw {

// ===========================================================================
// Formatting
// ===========================================================================
namespace {

// Formats longer than this in width or precision are cut to it: a stray
// "%999999999d" must not allocate gigabytes.
constexpr int kMaxFieldWidth = 1 << 20;

enum class Length { None, hh, h, l, ll, z, j, t, L, I64, I32 };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alt = false;
    int width = 0;
    int precision = -1;  // -1: none given
    Length length = Length::None;
    bool wideMarker = false;  // MSVC's 'w' (%ws, %wc)
};

// Writes prefix (sign, "0x") and body into the field, padded to the width.
// zeroPad puts zeros between prefix and body instead of spaces in front.
void EmitField(std::wstring& out, const Spec& spec, std::wstring_view prefix, std::wstring_view body,
               bool zeroPad) {
    std::size_t len = prefix.size() + body.size();
    std::size_t width = static_cast<std::size_t>(spec.width);
    std::size_t pad = width > len ? width - len : 0;
    if (spec.left) {
        out.append(prefix);
        out.append(body);
        out.append(pad, L' ');
    } else if (zeroPad) {
        out.append(prefix);
        out.append(pad, L'0');
        out.append(body);
    } else {
        out.append(pad, L' ');
        out.append(prefix);
        out.append(body);
    }
}

void FormatInteger(std::wstring& out, const Spec& spec, wchar_t conv, unsigned long long magnitude,
                   bool negative) {
    unsigned base = 10;
    const char* digitsTable = "0123456789abcdef";
    if (conv == L'x' || conv == L'X' || conv == L'p') base = 16;
    if (conv == L'X' || conv == L'p') digitsTable = "0123456789ABCDEF";
    if (conv == L'o') base = 8;

    wchar_t tmp[72];
    int n = 0;
    for (unsigned long long v = magnitude; v != 0; v /= base)
        tmp[n++] = static_cast<wchar_t>(digitsTable[v % base]);

    std::wstring body;
    int precision = spec.precision < 0 ? 1 : spec.precision;
    if (conv == L'p') precision = static_cast<int>(2 * sizeof(void*));
    if (n < precision) body.append(static_cast<std::size_t>(precision - n), L'0');
    for (int i = n - 1; i >= 0; --i) body.push_back(tmp[i]);
    // '#' with octal: the first digit must be 0 (also for the value 0 with precision 0).
    if (spec.alt && conv == L'o' && (body.empty() || body[0] != L'0')) body.insert(body.begin(), L'0');

    std::wstring prefix;
    bool isSigned = conv == L'd' || conv == L'i';
    if (isSigned) {
        if (negative) prefix = L"-";
        else if (spec.plus) prefix = L"+";
        else if (spec.space) prefix = L" ";
    }
    if (spec.alt && magnitude != 0) {
        if (conv == L'x') prefix = L"0x";
        if (conv == L'X') prefix = L"0X";
    }
    bool zeroPad = spec.zero && !spec.left && spec.precision < 0;
    EmitField(out, spec, prefix, body, zeroPad);
}

// "1.5e+07" style: exponent of a to_chars scientific result.
int ExponentOf(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] == 'e') {
            int value = 0;
            std::from_chars(s + i + 2, s + n, value);
            return s[i + 1] == '-' ? -value : value;
        }
    }
    return 0;
}

// Removes trailing zeros of the fraction (and then a bare point) before any exponent.
std::string StripFractionZeros(std::string s) {
    std::size_t point = s.find('.');
    if (point == std::string::npos) return s;
    std::size_t expPos = s.find('e');
    std::size_t end = expPos == std::string::npos ? s.size() : expPos;
    std::size_t last = end;
    while (last > point + 1 && s[last - 1] == '0') --last;
    if (last == point + 1) last = point;
    s.erase(last, end - last);
    return s;
}

bool ToChars(std::string& dest, double value, std::chars_format fmt, int precision) {
    std::vector<char> buf(static_cast<std::size_t>(precision) + 400);
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, fmt, precision);
    if (r.ec != std::errc()) return false;
    dest.assign(buf.data(), r.ptr);
    return true;
}

void FormatFloat(std::wstring& out, const Spec& spec, wchar_t conv, double value) {
    bool upper = conv == L'F' || conv == L'E' || conv == L'G';
    wchar_t lowerConv = upper ? static_cast<wchar_t>(conv + (L'a' - L'A')) : conv;
    std::wstring prefix;
    if (std::signbit(value)) prefix = L"-";
    else if (spec.plus) prefix = L"+";
    else if (spec.space) prefix = L" ";
    double magnitude = std::fabs(value);

    if (!std::isfinite(magnitude)) {
        const wchar_t* text = std::isnan(magnitude) ? (upper ? L"NAN" : L"nan") : (upper ? L"INF" : L"inf");
        EmitField(out, spec, prefix, text, false);
        return;
    }

    int precision = spec.precision < 0 ? 6 : spec.precision;
    std::string text;
    bool ok = true;
    if (lowerConv == L'f') {
        ok = ToChars(text, magnitude, std::chars_format::fixed, precision);
        if (spec.alt && precision == 0) text += '.';
    } else if (lowerConv == L'e') {
        ok = ToChars(text, magnitude, std::chars_format::scientific, precision);
        if (ok && spec.alt && precision == 0) text.insert(text.find('e'), 1, '.');
    } else {  // g: %e or %f, whichever the exponent calls for, as C describes it
        int p = precision == 0 ? 1 : precision;
        std::string sci;
        ok = ToChars(sci, magnitude, std::chars_format::scientific, p - 1);
        int x = ok ? ExponentOf(sci.data(), sci.size()) : 0;
        if (ok && p > x && x >= -4) ok = ToChars(text, magnitude, std::chars_format::fixed, p - 1 - x);
        else text = sci;
        if (ok) {
            if (!spec.alt) text = StripFractionZeros(text);
            else if (text.find('.') == std::string::npos) {
                std::size_t e = text.find('e');
                text.insert(e == std::string::npos ? text.size() : e, 1, '.');
            }
        }
    }
    if (!ok) text = "?";
    std::wstring body;
    for (char c : text) body.push_back(static_cast<wchar_t>(upper && c == 'e' ? 'E' : c));
    EmitField(out, spec, prefix, body, spec.zero && !spec.left);
}

bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

void FormatWideString(std::wstring& out, const Spec& spec, const wchar_t* s) {
    if (!s) s = L"(null)";
    std::size_t len = 0;
    if (spec.precision < 0) {
        while (s[len]) ++len;
    } else {
        std::size_t limit = static_cast<std::size_t>(spec.precision);
        while (len < limit && s[len]) ++len;
        // A cut right after a high surrogate would split a pair: leave it out.
        if (len == limit && len > 0 && IsHighSurrogate(static_cast<unsigned>(s[len - 1]))) --len;
    }
    EmitField(out, spec, std::wstring_view(), std::wstring_view(s, len), false);
}

// Decodes one UTF-8 sequence at p (which is either NUL-terminated or holds at
// least `avail` bytes). Returns the bytes consumed (at least 1); `cp` is the
// code point, or U+FFFD for a maximal invalid subsequence.
std::size_t DecodeUtf8(const unsigned char* p, std::size_t avail, char32_t& cp) {
    unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        cp = b0 & 0x0Fu;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        cp = b0 & 0x07u;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        cp = 0xFFFD;
        return 1;
    }
    for (std::size_t i = 1; i < need; ++i) {
        if (i >= avail) {
            cp = 0xFFFD;
            return i;
        }
        unsigned char b = p[i];
        unsigned char min = i == 1 ? lo : 0x80, max = i == 1 ? hi : 0xBF;
        if (b < min || b > max) {
            cp = 0xFFFD;
            return i;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    return need;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

void FormatNarrowString(std::wstring& out, const Spec& spec, const char* s) {
    std::wstring text;
    if (!s) {
        text = L"(null)";
    } else {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
        std::size_t limit = spec.precision < 0 ? std::wstring::npos : static_cast<std::size_t>(spec.precision);
        while (*p && text.size() < limit) {
            char32_t cp;
            p += DecodeUtf8(p, 4, cp);  // stops at the terminating NUL (never a continuation byte)
            AppendCodePoint(text, cp);
        }
        if (text.size() > limit) text.resize(limit - (IsHighSurrogate(text[limit - 1]) ? 1 : 0));
    }
    Spec plain = spec;
    plain.precision = -1;
    FormatWideString(out, plain, text.c_str());
}

long long ReadSigned(std::va_list* ap, Length length) {
    switch (length) {
    case Length::hh: return static_cast<signed char>(va_arg(*ap, int));
    case Length::h: return static_cast<short>(va_arg(*ap, int));
    case Length::l: return va_arg(*ap, long);
    case Length::ll:
    case Length::L:
    case Length::I64: return va_arg(*ap, long long);
    case Length::z:
    case Length::t: return va_arg(*ap, std::ptrdiff_t);
    case Length::j: return static_cast<long long>(va_arg(*ap, std::intmax_t));
    default: return va_arg(*ap, int);
    }
}

unsigned long long ReadUnsigned(std::va_list* ap, Length length) {
    switch (length) {
    case Length::hh: return static_cast<unsigned char>(va_arg(*ap, unsigned int));
    case Length::h: return static_cast<unsigned short>(va_arg(*ap, unsigned int));
    case Length::l: return va_arg(*ap, unsigned long);
    case Length::ll:
    case Length::L:
    case Length::I64: return va_arg(*ap, unsigned long long);
    case Length::z:
    case Length::t: return va_arg(*ap, std::size_t);
    case Length::j: return static_cast<unsigned long long>(va_arg(*ap, std::uintmax_t));
    default: return va_arg(*ap, unsigned int);
    }
}

int ReadNumber(const wchar_t*& p) {
    long long n = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (n < kMaxFieldWidth) n = n * 10 + (*p - L'0');
        ++p;
    }
    return n > kMaxFieldWidth ? kMaxFieldWidth : static_cast<int>(n);
}

void FormatInto(std::wstring& out, const wchar_t* format, std::va_list* ap) {
    if (!format) return;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            const wchar_t* start = p;
            while (*p && *p != L'%') ++p;
            out.append(start, static_cast<std::size_t>(p - start));
            continue;
        }
        const wchar_t* specStart = p++;
        Spec spec;
        for (;; ++p) {
            if (*p == L'-') spec.left = true;
            else if (*p == L'+') spec.plus = true;
            else if (*p == L' ') spec.space = true;
            else if (*p == L'0') spec.zero = true;
            else if (*p == L'#') spec.alt = true;
            else break;
        }
        if (*p == L'*') {
            ++p;
            int w = va_arg(*ap, int);
            if (w < 0) {
                spec.left = true;
                w = w == std::numeric_limits<int>::min() ? kMaxFieldWidth : -w;
            }
            spec.width = w > kMaxFieldWidth ? kMaxFieldWidth : w;
        } else {
            spec.width = ReadNumber(p);
        }
        if (*p == L'.') {
            ++p;
            if (*p == L'*') {
                ++p;
                int prec = va_arg(*ap, int);
                spec.precision = prec < 0 ? -1 : (prec > kMaxFieldWidth ? kMaxFieldWidth : prec);
            } else {
                spec.precision = ReadNumber(p);
            }
        }
        switch (*p) {
        case L'h':
            ++p;
            if (*p == L'h') {
                ++p;
                spec.length = Length::hh;
            } else {
                spec.length = Length::h;
            }
            break;
        case L'l':
            ++p;
            if (*p == L'l') {
                ++p;
                spec.length = Length::ll;
            } else {
                spec.length = Length::l;
            }
            break;
        case L'z': ++p; spec.length = Length::z; break;
        case L'j': ++p; spec.length = Length::j; break;
        case L't': ++p; spec.length = Length::t; break;
        case L'L': ++p; spec.length = Length::L; break;
        case L'w': ++p; spec.wideMarker = true; break;
        case L'I':
            if (p[1] == L'6' && p[2] == L'4') {
                p += 3;
                spec.length = Length::I64;
            } else if (p[1] == L'3' && p[2] == L'2') {
                p += 3;
                spec.length = Length::I32;
            }
            break;
        default: break;
        }

        wchar_t conv = *p;
        if (conv) ++p;
        switch (conv) {
        case L'd':
        case L'i': {
            long long v = ReadSigned(ap, spec.length);
            unsigned long long mag = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
            FormatInteger(out, spec, conv, mag, v < 0);
            break;
        }
        case L'u':
        case L'x':
        case L'X':
        case L'o':
            FormatInteger(out, spec, conv, ReadUnsigned(ap, spec.length), false);
            break;
        case L'p': {
            Spec ptrSpec = spec;
            ptrSpec.precision = -1;
            ptrSpec.alt = false;
            FormatInteger(out, ptrSpec, L'p', reinterpret_cast<std::uintptr_t>(va_arg(*ap, void*)), false);
            break;
        }
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G': {
            double v = spec.length == Length::L ? static_cast<double>(va_arg(*ap, long double)) : va_arg(*ap, double);
            FormatFloat(out, spec, conv, v);
            break;
        }
        case L'c':
        case L'C': {
            int v = va_arg(*ap, int);
            wchar_t ch;
            bool narrow = (conv == L'C' || spec.length == Length::h) && !spec.wideMarker && spec.length != Length::l;
            if (narrow) ch = static_cast<wchar_t>(static_cast<unsigned char>(v));  // one byte, as Latin-1
            else ch = static_cast<wchar_t>(v);
            EmitField(out, spec, std::wstring_view(), std::wstring_view(&ch, 1), false);
            break;
        }
        case L's':
        case L'S': {
            bool narrow = (conv == L'S' || spec.length == Length::h) && !spec.wideMarker && spec.length != Length::l;
            if (narrow) FormatNarrowString(out, spec, va_arg(*ap, const char*));
            else FormatWideString(out, spec, va_arg(*ap, const wchar_t*));
            break;
        }
        case L'%':
            out.push_back(L'%');
            break;
        default:
            // Unknown (or %n, which we never honour): copy the text as written.
            out.append(specStart, static_cast<std::size_t>(p - specStart));
            break;
        }
    }
}

}  // namespace

void AppendFormatV(std::wstring& out, const wchar_t* format, std::va_list args) {
    std::va_list ap;
    va_copy(ap, args);
    FormatInto(out, format, &ap);
    va_end(ap);
}

void AppendFormat(std::wstring& out, const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    AppendFormatV(out, format, args);
    va_end(args);
}

std::wstring FormatV(const wchar_t* format, std::va_list args) {
    std::wstring out;
    AppendFormatV(out, format, args);
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::wstring s = FormatV(format, args);
    va_end(args);
    return s;
}

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
// UTF-8 <-> UTF-16
// ===========================================================================

std::string ToUtf8(std::wstring_view text, bool* lossless) {
    std::string out;
    out.reserve(text.size());
    bool valid = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t u = static_cast<std::uint32_t>(text[i]);
        std::uint32_t cp = u;
        if (u > 0xFFFF || IsLowSurrogate(u)) {
            cp = 0xFFFD;
            valid = false;
        } else if (IsHighSurrogate(u)) {
            std::uint32_t next = i + 1 < text.size() ? static_cast<std::uint32_t>(text[i + 1]) : 0;
            if (IsLowSurrogate(next)) {
                cp = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
                valid = false;
            }
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    if (lossless) *lossless = valid;
    return out;
}

std::wstring FromUtf8(std::string_view text, bool* lossless) {
    std::wstring out;
    out.reserve(text.size());
    bool valid = true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        std::size_t used = DecodeUtf8(p + i, text.size() - i, cp);
        // DecodeUtf8 maps invalid input to U+FFFD; a literal U+FFFD is 3 bytes EF BF BD.
        if (cp == 0xFFFD && !(used == 3 && p[i] == 0xEF && p[i + 1] == 0xBF && p[i + 2] == 0xBD)) valid = false;
        AppendCodePoint(out, cp);
        i += used;
    }
    if (lossless) *lossless = valid;
    return out;
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
