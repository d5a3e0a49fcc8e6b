// Reading a document from its bytes: the encoding found (byte-order mark,
// the declaration) and the bytes decoded into the text the reader takes, in
// buffers kept from one reading to the next.
#include "xml/enxml.h"

#include <cstddef>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "text_buffer.h"

namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool AsciiEqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// Appends the UTF-8 bytes as UTF-16 units; false for a malformed sequence, an
// overlong form, an encoded surrogate or a code point beyond U+10FFFF.
bool DecodeUtf8(std::string_view bytes, std::wstring& out) {
    out.resize(bytes.size());  // never more units than bytes
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    wchar_t* o = out.data();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            *o++ = static_cast<wchar_t>(c);
            ++p;
            continue;
        }
        unsigned length, code, minimum;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, code = c & 0x1F, minimum = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, code = c & 0x0F, minimum = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, code = c & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length)
            return false;
        for (unsigned i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            *o++ = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            *o++ = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            *o++ = static_cast<wchar_t>(code);
        }
        p += length;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return true;
}

bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::wstring& out) {
    if (bytes.size() % 2 != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    out.resize(bytes.size() / 2);
    const unsigned high = bigEndian ? 0 : 1;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<wchar_t>(p[2 * i + high] << 8 | p[2 * i + (1 - high)]);
    return true;
}

}  // namespace

namespace mdxml {

TextEncoding DetectEncoding(std::string_view bytes, std::string* declaredName) {
    if (declaredName)
        declaredName->clear();
    const auto byte = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        return TextEncoding::Utf8;
    if (byte(0) == 0xFF && byte(1) == 0xFE)
        return TextEncoding::Utf16LE;
    if (byte(0) == 0xFE && byte(1) == 0xFF)
        return TextEncoding::Utf16BE;
    // Markup begins with an ASCII character: UTF-16 shows as one zero byte in its first two.
    if (bytes.size() >= 2 && (byte(0) == 0) != (byte(1) == 0))
        return byte(0) == 0 ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;

    // An ASCII-based encoding: the declaration's encoding name, if any.
    constexpr std::string_view kStart = "<?xml";
    if (bytes.substr(0, kStart.size()) != kStart)
        return TextEncoding::Utf8;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return TextEncoding::Utf8;
    at += 8;
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '=' || declaration[at] == '\t' ||
                                       declaration[at] == '\r' || declaration[at] == '\n'))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return TextEncoding::Utf8;  // the reader refuses the declaration itself
    const std::size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos)
        return TextEncoding::Utf8;
    const std::string_view name = declaration.substr(at + 1, close - at - 1);
    if (declaredName)
        declaredName->assign(name);
    // A document in 8-bit units that calls itself UTF-16 is read as the UTF-8 it is.
    for (std::string_view utf : {"UTF-8", "UTF8", "UTF-16", "UTF16", "US-ASCII", "ASCII"}) {
        if (AsciiEqualsNoCase(name, utf))
            return TextEncoding::Utf8;
    }
    for (std::string_view latin1 : {"ISO-8859-1", "ISO8859-1", "LATIN1", "L1"}) {
        if (AsciiEqualsNoCase(name, latin1))
            return TextEncoding::Latin1;
    }
    return TextEncoding::Other;
}

namespace {

std::mutex g_keptLock;
std::wstring g_kept[2];

}  // namespace

TextBuffer::TextBuffer() {
    std::lock_guard<std::mutex> hold(g_keptLock);
    std::wstring& fuller = g_kept[0].capacity() >= g_kept[1].capacity() ? g_kept[0] : g_kept[1];
    units.swap(fuller);
}

TextBuffer::~TextBuffer() {
    if (units.capacity() > kKeptUnits)
        return;
    units.clear();
    std::lock_guard<std::mutex> hold(g_keptLock);
    std::wstring& smaller = g_kept[0].capacity() <= g_kept[1].capacity() ? g_kept[0] : g_kept[1];
    if (units.capacity() > smaller.capacity())
        units.swap(smaller);
}

}  // namespace mdxml

bool enXml::LoadFromBuffer(std::string_view bytes, enXmlLoadError* error) {
    enXmlLoadError dummy;
    enXmlLoadError& result = error ? *error : dummy;
    result = enXmlLoadError::NotWellFormed;
    try {
        mdxml::TextBuffer buffer;
        std::wstring& text = buffer.units;
        bool decoded = false;
        switch (mdxml::DetectEncoding(bytes)) {
        case mdxml::TextEncoding::Utf8:
            decoded = DecodeUtf8(bytes, text);
            break;
        case mdxml::TextEncoding::Utf16LE:
            decoded = DecodeUtf16(bytes, false, text);
            break;
        case mdxml::TextEncoding::Utf16BE:
            decoded = DecodeUtf16(bytes, true, text);
            break;
        case mdxml::TextEncoding::Latin1:
            text.resize(bytes.size());
            for (std::size_t i = 0; i < bytes.size(); ++i)
                text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
            decoded = true;
            break;
        case mdxml::TextEncoding::Other:
            break;  // an encoding only Load knows (through the system)
        }
        if (!decoded)
            return false;
        return LoadFromText(text, error);  // which steps over a byte-order mark
    } catch (const std::bad_alloc&) {
        result = enXmlLoadError::TooLarge;
        return false;
    }
}
