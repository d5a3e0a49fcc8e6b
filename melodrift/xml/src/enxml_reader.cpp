// The reader: a document held in memory as an enXml tree, in one pass with no
// intermediate tree and no recursion (open elements are kept on a stack of its
// own, so the depth of a document costs no call stack).
//
// It checks what makes a document well-formed XML 1.0: names, matching end
// tags, quoted attribute values without '<', no attribute twice on an element,
// references to characters XML allows and to the five predefined entities only,
// comments, CDATA sections and processing instructions closed and free of what
// they may not hold, every character an XML character, one document element and
// nothing but comments, processing instructions and white space around it.
// A document type declaration is refused (no entity is ever expanded). Namespace
// prefixes are kept as part of the names.
#include "xml/enxml.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsSpace(wchar_t c) {
    return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD;
}

// ASCII characters that may stand in a name (after its first character), and
// those that may start one.
bool IsAsciiNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L'-' || c == L'.' || c == L':';
}

bool IsAsciiNameStart(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L':';
}

class Parser {
public:
    explicit Parser(std::wstring_view text) : m_p(text.data()), m_end(text.data() + text.size()) {}

    // Reads the document into `root` (a fresh node) and its name into `rootName`.
    bool Run(enXml& root, std::wstring& rootName) {
        if (m_p < m_end && *m_p == 0xFEFF)
            ++m_p;
        if (Ahead(L"<?xml") && m_p + 5 < m_end && IsSpace(m_p[5]) && !Declaration())
            return false;
        if (!Misc())
            return false;
        if (m_p >= m_end || *m_p != L'<')
            return false;  // no document element
        if (!Elements(root, rootName))
            return false;
        return Misc() && m_p == m_end;
    }

private:
    // One attribute of the start tag being read: its value views the text, or
    // (when it needed normalising) a stretch of m_value.
    struct Attribute {
        std::wstring_view name;
        std::wstring_view value;
        bool inValues = false;
        std::size_t valueAt = 0;
        std::size_t valueSize = 0;
    };

    const wchar_t* m_p;
    const wchar_t* m_end;
    bool Ahead(std::wstring_view what) const {
        return static_cast<std::size_t>(m_end - m_p) >= what.size() &&
               std::wstring_view(m_p, what.size()) == what;
    }

    bool SkipSpace() {
        const wchar_t* start = m_p;
        while (m_p < m_end && IsSpace(*m_p))
            ++m_p;
        return m_p != start;
    }

    // Steps over one XML character at m_p; false for anything else (a control
    // character, a lone surrogate, U+FFFE/U+FFFF, a unit above 0xFFFF).
    bool Char() {
        const std::uint32_t c = static_cast<std::uint32_t>(*m_p);
        if ((c >= 0x20 && c < 0xD800) || IsSpace(static_cast<wchar_t>(c)) || (c >= 0xE000 && c <= 0xFFFD)) {
            ++m_p;
            return true;
        }
        if (c >= 0xD800 && c <= 0xDBFF && m_p + 1 < m_end && m_p[1] >= 0xDC00 && m_p[1] <= 0xDFFF) {
            m_p += 2;
            return true;
        }
        return false;
    }

    // What stands between a name and its quoted value (S? '=' S?); true with m_p
    // at the opening quote.
    bool Equals() {
        SkipSpace();
        if (m_p >= m_end || *m_p != L'=')
            return false;
        ++m_p;
        SkipSpace();
        return m_p < m_end && (*m_p == L'"' || *m_p == L'\'');
    }

    // A name at m_p; empty (and m_p unchanged) when there is none.
    std::wstring_view Name() {
        const wchar_t* start = m_p;
        bool beyondAscii = false;
        while (m_p < m_end) {
            const wchar_t c = *m_p;
            if (c < 0x80) {
                if (!IsAsciiNameChar(c))
                    break;
            } else {
                beyondAscii = true;
            }
            ++m_p;
        }
        const std::wstring_view name(start, static_cast<std::size_t>(m_p - start));
        if (name.empty() || (beyondAscii ? !mdxml::IsXmlName(name) : !IsAsciiNameStart(name[0]))) {
            m_p = start;
            return {};
        }
        return name;
    }

    // A reference at m_p ('&' ... ';'): the character it stands for as UTF-16
    // units appended to `out` (when given). False for a malformed reference, a
    // character XML does not allow, or an entity other than the predefined five.
    bool Reference(std::wstring* out) {
        ++m_p;  // '&'
        std::uint32_t code = 0;
        if (m_p < m_end && *m_p == L'#') {
            ++m_p;
            const bool hex = m_p < m_end && *m_p == L'x';
            if (hex)
                ++m_p;
            const wchar_t* digits = m_p;
            for (; m_p < m_end && *m_p != L';'; ++m_p) {
                const wchar_t c = *m_p;
                unsigned digit;
                if (c >= L'0' && c <= L'9')
                    digit = static_cast<unsigned>(c - L'0');
                else if (hex && c >= L'a' && c <= L'f')
                    digit = static_cast<unsigned>(c - L'a' + 10);
                else if (hex && c >= L'A' && c <= L'F')
                    digit = static_cast<unsigned>(c - L'A' + 10);
                else
                    return false;
                code = code * (hex ? 16 : 10) + digit;
                if (code > 0x10FFFF)
                    return false;
            }
            if (m_p == digits || m_p >= m_end)
                return false;
            ++m_p;  // ';'
            const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                                 (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
            if (!allowed)
                return false;
        } else {
            const std::wstring_view name = Name();
            if (m_p >= m_end || *m_p != L';')
                return false;
            ++m_p;
            if (name == L"amp")
                code = L'&';
            else if (name == L"lt")
                code = L'<';
            else if (name == L"gt")
                code = L'>';
            else if (name == L"quot")
                code = L'"';
            else if (name == L"apos")
                code = L'\'';
            else
                return false;  // no document type declaration defines any other
        }
        if (out) {
            if (code >= 0x10000) {
                out->push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
                out->push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                out->push_back(static_cast<wchar_t>(code));
            }
        }
        return true;
    }

    // A quoted attribute value at m_p, normalised as XML asks (each literal TAB,
    // LF, CR or CR LF becomes a space; references stand for their characters).
    // The value views the text itself when nothing needed a change; otherwise it
    // is appended to m_value.
    bool AttributeValue(Attribute& attribute) {
        const wchar_t quote = *m_p++;
        const wchar_t* start = m_p;
        while (m_p < m_end) {
            const wchar_t c = *m_p;
            if (c == quote) {
                attribute.value = std::wstring_view(start, static_cast<std::size_t>(m_p - start));
                ++m_p;
                return true;
            }
            if (c < 0x20 || c >= 0xD800 || c == L'&' || c == L'<')
                break;
            ++m_p;
        }
        attribute.inValues = true;
        attribute.valueAt = m_value.size();
        m_value.append(start, m_p);
        while (m_p < m_end) {
            const wchar_t c = *m_p;
            if (c == quote) {
                attribute.valueSize = m_value.size() - attribute.valueAt;
                ++m_p;
                return true;
            }
            if (c == L'<')
                return false;
            if (c == L'&') {
                if (!Reference(&m_value))
                    return false;
                continue;
            }
            if (IsSpace(c)) {
                m_value.push_back(L' ');
                ++m_p;
                if (c == 0xD && m_p < m_end && *m_p == 0xA)
                    ++m_p;
                continue;
            }
            const wchar_t* at = m_p;
            if (!Char())
                return false;
            m_value.append(at, m_p);
        }
        return false;
    }

    // Character data up to the next '<' (or the end); `content` says whether it
    // held more than white space.
    bool Text(bool& content) {
        content = false;
        while (m_p < m_end) {
            const wchar_t c = *m_p;
            if (c == L'<')
                return true;
            if (c > 0x20 && c < 0xD800 && c != L'&' && c != L']') {
                content = true;
                ++m_p;
            } else if (IsSpace(c)) {
                ++m_p;
            } else if (c == L'&') {
                content = true;
                if (!Reference(nullptr))
                    return false;
            } else if (c == L']') {
                if (Ahead(L"]]>"))
                    return false;  // the end of a CDATA section that never began
                content = true;
                ++m_p;
            } else {
                content = true;
                if (!Char())
                    return false;
            }
        }
        return true;
    }

    // Characters up to `terminator` (which is stepped over); false when it never comes
    // or a character on the way is not an XML character.
    bool Until(std::wstring_view terminator) {
        while (m_p < m_end) {
            if (*m_p == terminator[0] && Ahead(terminator)) {
                m_p += terminator.size();
                return true;
            }
            if (!Char())
                return false;
        }
        return false;
    }

    // "<!--" seen: the comment, which may not hold "--" but at its end.
    bool Comment() {
        m_p += 4;
        if (!Until(L"--") || m_p >= m_end || *m_p != L'>')
            return false;
        ++m_p;
        return true;
    }

    // "<?" seen: a processing instruction, whose target may not be "xml".
    bool ProcessingInstruction() {
        m_p += 2;
        const std::wstring_view target = Name();
        if (target.empty())
            return false;
        if (target.size() == 3 && (target[0] | 0x20) == L'x' && (target[1] | 0x20) == L'm' &&
            (target[2] | 0x20) == L'l')
            return false;  // a declaration anywhere but at the very start
        if (Ahead(L"?>")) {
            m_p += 2;
            return true;
        }
        return SkipSpace() && Until(L"?>");
    }

    // "<?xml " at the start: version first, then encoding and standalone, each at
    // most once and in that order.
    bool Declaration() {
        m_p += 5;
        static const std::wstring_view kNames[] = {L"version", L"encoding", L"standalone"};
        std::size_t next = 0;  // index of the first name still allowed
        for (;;) {
            const bool space = SkipSpace();
            if (Ahead(L"?>")) {
                m_p += 2;
                return next > 0;  // the version is required
            }
            if (!space)
                return false;
            const std::wstring_view name = Name();
            std::size_t which = next;
            while (which < 3 && name != kNames[which])
                ++which;
            if (which == 3 || (next == 0 && which != 0))
                return false;
            next = which + 1;
            if (!Equals())
                return false;
            const wchar_t quote = *m_p++;
            const wchar_t* start = m_p;
            while (m_p < m_end && *m_p != quote && *m_p != L'<' && *m_p != L'&' && *m_p >= 0x20 && *m_p < 0x7F)
                ++m_p;
            if (m_p >= m_end || *m_p != quote || m_p == start)
                return false;
            const std::wstring_view value(start, static_cast<std::size_t>(m_p - start));
            ++m_p;
            if (which == 0 && (value.size() < 3 || value.substr(0, 2) != L"1." ||
                               value.find_first_not_of(L"0123456789", 2) != std::wstring_view::npos))
                return false;
            if (which == 2 && value != L"yes" && value != L"no")
                return false;
        }
    }

    // Comments, processing instructions and white space (before and after the
    // document element). Stops at anything else.
    bool Misc() {
        for (;;) {
            SkipSpace();
            if (Ahead(L"<!--")) {
                if (!Comment())
                    return false;
            } else if (Ahead(L"<?")) {
                if (!ProcessingInstruction())
                    return false;
            } else if (Ahead(L"<!")) {
                return false;  // a document type declaration, or nothing XML knows
            } else {
                return true;
            }
        }
    }

    // The document element and everything within it, m_p at its '<'.
    bool Elements(enXml& root, std::wstring& rootName) {
        std::vector<enXml*> open;  // the open elements, innermost last
        for (;;) {
            // m_p is at a '<'.
            if (Ahead(L"</")) {
                if (open.empty())
                    return false;  // an end tag first
                m_p += 2;
                const std::wstring_view name = Name();
                enXml* closing = open.back();
                if (name.empty() || name != (closing == &root ? std::wstring_view(rootName) : closing->Name()))
                    return false;
                SkipSpace();
                if (m_p >= m_end || *m_p != L'>')
                    return false;
                ++m_p;
                open.pop_back();
                if (open.empty())
                    return true;
            } else if (Ahead(L"<!--") || Ahead(L"<?") || Ahead(L"<![CDATA[")) {
                if (open.empty())
                    return false;
                bool ok;
                if (m_p[1] == L'?')
                    ok = ProcessingInstruction();
                else if (m_p[2] == L'-')
                    ok = Comment();
                else
                    ok = (m_p += 9, Until(L"]]>"));
                if (!ok)
                    return false;
                open.back()->AddChild(new enXml());
            } else {
                ++m_p;  // '<'
                const std::wstring_view name = Name();
                if (name.empty())
                    return false;
                enXml* node;
                if (open.empty()) {
                    rootName.assign(name);
                    node = &root;
                } else {
                    node = new enXml(name);
                    open.back()->AddChild(node);
                }
                bool empty = false;
                if (!StartTagRest(*node, empty))
                    return false;
                if (!empty)
                    open.push_back(node);
                else if (open.empty())
                    return true;  // an empty document element
            }
            bool content = false;
            if (!Text(content) || m_p >= m_end)
                return false;  // the document ends inside an element
            if (content)
                open.back()->AddChild(new enXml());
        }
    }

    // The attributes of a start tag and its end ('>' or "/>"). They are gathered
    // first, so that the node's list is made once at its final size.
    bool StartTagRest(enXml& node, bool& empty) {
        m_attributes.clear();
        m_value.clear();
        for (;;) {
            const bool space = SkipSpace();
            if (m_p >= m_end)
                return false;
            if (*m_p == L'>' || *m_p == L'/') {
                if (*m_p == L'/') {
                    if (m_p + 1 >= m_end || m_p[1] != L'>')
                        return false;
                    ++m_p;
                    empty = true;
                }
                ++m_p;
                node.ReserveAttributes(m_attributes.size());
                for (const Attribute& attribute : m_attributes) {
                    node.AppendAttribute(attribute.name, attribute.inValues
                                                             ? std::wstring_view(m_value).substr(attribute.valueAt,
                                                                                                 attribute.valueSize)
                                                             : attribute.value);
                }
                return true;
            }
            if (!space)
                return false;
            Attribute attribute;
            attribute.name = Name();
            if (attribute.name.empty())
                return false;
            for (const Attribute& earlier : m_attributes) {
                if (earlier.name == attribute.name)
                    return false;  // the same attribute twice
            }
            if (!Equals() || !AttributeValue(attribute))
                return false;
            m_attributes.push_back(attribute);
        }
    }

    std::vector<Attribute> m_attributes;  // of the start tag being read
    std::wstring m_value;                 // its attribute values that needed normalising
};

}  // namespace

bool enXml::LoadFromText(std::wstring_view text, enXmlLoadError* error) {
    enXmlLoadError dummy;
    enXmlLoadError& result = error ? *error : dummy;
    result = enXmlLoadError::None;
    try {
        // Everything is read into a separate node first: a failure part way
        // leaves this node as it was.
        enXml read;
        std::wstring rootName;
        if (!Parser(text).Run(read, rootName)) {
            result = enXmlLoadError::NotWellFormed;
            return false;
        }
        m_attributes.reserve(m_attributes.size() + read.m_attributes.size());
        m_name.assign(rootName);
        m_tag = 0;
        for (enXmlAttribute& attribute : read.m_attributes)
            m_attributes.push_back(std::move(attribute));
        while (enXml* child = read.FirstChild())
            AddChild(child);
        return true;
    } catch (const std::bad_alloc&) {
        result = enXmlLoadError::TooLarge;
        return false;
    }
}
