// printf-style formatting into wide strings, the same on every runtime.
#include "fw/strutil.h"

#include "strutil_utf8.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace fw {

using detail::AppendCodePoint;
using detail::DecodeUtf8;
using detail::IsHighSurrogate;

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

}  // namespace fw
