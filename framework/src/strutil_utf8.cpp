// UTF-8 <-> UTF-16 conversion.
#include "fw/strutil.h"

#include "strutil_utf8.h"

#include <cstdint>

namespace fw {

namespace detail {

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

}  // namespace detail

using detail::AppendCodePoint;
using detail::DecodeUtf8;
using detail::IsHighSurrogate;
using detail::IsLowSurrogate;

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

}  // namespace fw
