// The playlists document: a small XML reader and writer.
#include "tunestack/library_files.h"

#include "text_units.h"

namespace tunestack {

using units::PutText;
using units::PutUnit;
using units::SameAscii;

namespace {

// ---- Decoding the XML bytes into UTF-16 code units -------------------------------------

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        text.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

// Malformed sequences become U+FFFD.
std::u16string DecodeUtf8(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t length = 1;
        int extra = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        }
        if (extra > 0) {
            bool ok = i + static_cast<std::size_t>(extra) < bytes.size();
            for (int k = 1; ok && k <= extra; ++k) {
                const auto c = static_cast<unsigned char>(bytes[i + k]);
                if ((c & 0xC0) != 0x80) ok = false;
                else cp = (cp << 6) | (c & 0x3F);
            }
            if (ok) {
                length = static_cast<std::size_t>(extra) + 1;
                static const std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
                if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
            } else {
                cp = 0xFFFD;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return text;
}

std::u16string DecodeDocument(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (at(0) == 0xFF && at(1) == 0xFE) return DecodeUtf16(bytes.substr(2), false);
    if (at(0) == 0xFE && at(1) == 0xFF) return DecodeUtf16(bytes.substr(2), true);
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return DecodeUtf8(bytes.substr(3));
    if (at(0) == '<' && at(1) == 0) return DecodeUtf16(bytes, false);
    if (at(0) == 0 && at(1) == '<') return DecodeUtf16(bytes, true);
    return DecodeUtf8(bytes);
}

// ---- A small XML reader: elements and attributes, everything else skipped ----------------

class XmlReader {
public:
    explicit XmlReader(std::u16string text) : m_text(std::move(text)) {}

    std::optional<XmlNode> Document()
    {
        if (!SkipMisc(true)) return std::nullopt;
        if (!Peek(u'<')) return std::nullopt;
        XmlNode root;
        if (!Element(root, 1)) return std::nullopt;
        if (!SkipMisc(false)) return std::nullopt;
        if (m_pos != m_text.size()) return std::nullopt;
        return root;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    bool Peek(char16_t c) const { return !AtEnd() && m_text[m_pos] == c; }
    bool StartsWith(std::u16string_view s) const
    {
        return m_text.size() - m_pos >= s.size() && std::u16string_view(m_text).substr(m_pos, s.size()) == s;
    }
    static bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(m_text[m_pos])) ++m_pos;
    }
    bool SkipPast(std::u16string_view end)
    {
        const std::size_t found = std::u16string_view(m_text).find(end, m_pos);
        if (found == std::u16string_view::npos) return false;
        m_pos = found + end.size();
        return true;
    }
    static bool IsNameChar(char16_t c)
    {
        return !(IsSpace(c) || c == u'<' || c == u'>' || c == u'/' || c == u'=' || c == u'"' || c == u'\'' ||
                 c == u'&' || c == u'?' || c == u'!' || c == 0);
    }

    // Declarations, comments, processing instructions, a document type and
    // white space around the root element.
    bool SkipMisc(bool prolog)
    {
        for (;;) {
            SkipSpace();
            if (AtEnd()) return true;
            if (StartsWith(u"<?")) {
                if (!SkipPast(u"?>")) return false;
            } else if (StartsWith(u"<!--")) {
                if (!SkipPast(u"-->")) return false;
            } else if (prolog && StartsWith(u"<!DOCTYPE")) {
                if (!SkipDoctype()) return false;
            } else if (m_text[m_pos] == u'\uFEFF') {
                ++m_pos;   // a stray byte-order mark
            } else {
                return true;
            }
        }
    }
    bool SkipDoctype()
    {
        int brackets = 0;
        for (; !AtEnd(); ++m_pos) {
            const char16_t c = m_text[m_pos];
            if (c == u'[') ++brackets;
            else if (c == u']') --brackets;
            else if (c == u'>' && brackets <= 0) {
                ++m_pos;
                return true;
            }
        }
        return false;
    }

    bool Name(std::wstring& name)
    {
        const std::size_t start = m_pos;
        while (!AtEnd() && IsNameChar(m_text[m_pos])) ++m_pos;
        if (m_pos == start) return false;
        name.assign(m_text.begin() + static_cast<std::ptrdiff_t>(start), m_text.begin() + static_cast<std::ptrdiff_t>(m_pos));
        return true;
    }

    // An entity or character reference after the '&'.
    bool Reference(std::wstring& out)
    {
        const std::size_t semicolon = std::u16string_view(m_text).find(u';', m_pos);
        if (semicolon == std::u16string_view::npos || semicolon - m_pos > 12) return false;
        const std::u16string_view ref = std::u16string_view(m_text).substr(m_pos, semicolon - m_pos);
        m_pos = semicolon + 1;
        if (ref == u"lt") out.push_back(L'<');
        else if (ref == u"gt") out.push_back(L'>');
        else if (ref == u"amp") out.push_back(L'&');
        else if (ref == u"quot") out.push_back(L'"');
        else if (ref == u"apos") out.push_back(L'\'');
        else if (ref.size() >= 2 && ref[0] == u'#') {
            std::uint32_t cp = 0;
            const bool hex = ref[1] == u'x' || ref[1] == u'X';
            const std::u16string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty()) return false;
            for (char16_t d : digits) {
                std::uint32_t v = 0;
                if (d >= u'0' && d <= u'9') v = d - u'0';
                else if (hex && d >= u'a' && d <= u'f') v = d - u'a' + 10;
                else if (hex && d >= u'A' && d <= u'F') v = d - u'A' + 10;
                else return false;
                cp = cp * (hex ? 16 : 10) + v;
                if (cp > 0x10FFFF) return false;
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(static_cast<wchar_t>(cp));
            }
        } else {
            return false;
        }
        return true;
    }

    bool Element(XmlNode& node, int depth)
    {
        if (depth > kMaxXmlDepth) return false;
        ++m_pos;   // '<'
        if (!Name(node.name)) return false;
        for (;;) {
            const std::size_t before = m_pos;
            SkipSpace();
            if (AtEnd()) return false;
            if (StartsWith(u"/>")) {
                m_pos += 2;
                return true;
            }
            if (Peek(u'>')) {
                ++m_pos;
                break;
            }
            if (m_pos == before) return false;   // attributes are separated by white space
            std::wstring key;
            if (!Name(key)) return false;
            SkipSpace();
            if (!Peek(u'=')) return false;
            ++m_pos;
            SkipSpace();
            if (AtEnd() || (m_text[m_pos] != u'"' && m_text[m_pos] != u'\'')) return false;
            const char16_t quote = m_text[m_pos++];
            std::wstring value;
            for (;;) {
                if (AtEnd()) return false;
                const char16_t c = m_text[m_pos];
                if (c == quote) {
                    ++m_pos;
                    break;
                }
                if (c == u'<') return false;
                ++m_pos;
                if (c == u'&') {
                    if (!Reference(value)) return false;
                } else {
                    value.push_back(static_cast<wchar_t>(c));
                }
            }
            for (const auto& attribute : node.attributes) {
                if (attribute.first == key) return false;   // repeated attribute
            }
            node.attributes.emplace_back(std::move(key), std::move(value));
        }
        // Content: child elements; text, comments, CDATA and instructions are skipped.
        for (;;) {
            if (AtEnd()) return false;
            const char16_t c = m_text[m_pos];
            if (c != u'<') {
                if (c == u'&') {
                    ++m_pos;
                    std::wstring ignored;
                    if (!Reference(ignored)) return false;
                } else {
                    ++m_pos;
                }
                continue;
            }
            if (StartsWith(u"</")) {
                m_pos += 2;
                std::wstring closing;
                if (!Name(closing) || closing != node.name) return false;
                SkipSpace();
                if (!Peek(u'>')) return false;
                ++m_pos;
                return true;
            }
            if (StartsWith(u"<!--")) {
                if (!SkipPast(u"-->")) return false;
            } else if (StartsWith(u"<![CDATA[")) {
                if (!SkipPast(u"]]>")) return false;
            } else if (StartsWith(u"<?")) {
                if (!SkipPast(u"?>")) return false;
            } else {
                XmlNode child;
                if (!Element(child, depth + 1)) return false;
                node.children.push_back(std::move(child));
            }
        }
    }

    std::u16string m_text;
    std::size_t m_pos = 0;
};

void PutEscaped(std::string& out, std::wstring_view value)
{
    for (wchar_t c : value) {
        switch (c) {
        case L'&': PutText(out, L"&amp;"); break;
        case L'<': PutText(out, L"&lt;"); break;
        case L'>': PutText(out, L"&gt;"); break;
        case L'"': PutText(out, L"&quot;"); break;
        case L'\t': PutText(out, L"&#9;"); break;
        case L'\n': PutText(out, L"&#10;"); break;
        case L'\r': PutText(out, L"&#13;"); break;
        default:
            // Other control characters cannot stand in XML 1.0; they are dropped.
            if ((static_cast<std::uint32_t>(c) & 0xFFFF) >= 0x20) PutUnit(out, static_cast<std::uint32_t>(c) & 0xFFFF);
            break;
        }
    }
}

void PutElement(std::string& out, const XmlNode& node, int depth)
{
    for (int i = 0; i < depth; ++i) PutUnit(out, L'\t');
    PutUnit(out, L'<');
    PutText(out, node.name);
    for (const auto& [key, value] : node.attributes) {
        PutUnit(out, L' ');
        PutText(out, key);
        PutText(out, L"=\"");
        PutEscaped(out, value);
        PutUnit(out, L'"');
    }
    if (node.children.empty()) {
        PutText(out, L"/>\r\n");
        return;
    }
    PutText(out, L">\r\n");
    for (const XmlNode& child : node.children) PutElement(out, child, depth + 1);
    for (int i = 0; i < depth; ++i) PutUnit(out, L'\t');
    PutText(out, L"</");
    PutText(out, node.name);
    PutText(out, L">\r\n");
}

}  // namespace

const std::wstring* XmlNode::Attribute(std::wstring_view key) const
{
    for (const auto& attribute : attributes) {
        if (SameAscii(attribute.first, key)) return &attribute.second;
    }
    return nullptr;
}

void XmlNode::SetAttribute(std::wstring_view key, std::wstring value)
{
    for (auto& attribute : attributes) {
        if (SameAscii(attribute.first, key)) {
            attribute.second = std::move(value);
            return;
        }
    }
    attributes.emplace_back(std::wstring(key), std::move(value));
}

std::optional<std::int32_t> XmlNode::TrackId() const
{
    const std::wstring* id = Attribute(L"id");
    if (!id) return std::nullopt;
    std::wstring_view text = *id;
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<XmlNode> ParseXml(std::string_view bytes)
{
    XmlReader reader(DecodeDocument(bytes));
    return reader.Document();
}

std::string SerializeXml(const XmlNode& root)
{
    std::string out("\xFF\xFE", 2);
    PutText(out, L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n");
    PutElement(out, root, 0);
    return out;
}

}  // namespace tunestack
