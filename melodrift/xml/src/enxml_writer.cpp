// The writer: a tree as UTF-16LE XML text with byte-order mark and declaration,
// one element per line, indented by tabs, CR LF line ends, "/>" for elements
// without children. Attribute names and values are escaped; element names are
// written as they are. Every string is written up to its first NUL.
#include "xml/enxml.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>

namespace {

constexpr std::wstring_view kDeclaration = L"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>";

std::wstring_view UpToNul(const std::wstring& text) {
    const std::size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? std::wstring_view(text) : std::wstring_view(text.data(), nul);
}

// Collects the text as UTF-16 code units; the bytes are made at the end.
class Writer {
public:
    void Unit(unsigned unit) { m_text.push_back(static_cast<char16_t>(unit)); }
    void Text(std::wstring_view text) {
        const std::size_t at = m_text.size();
        m_text.resize(at + text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
            m_text[at + i] = static_cast<char16_t>(text[i]);
    }
    void Ascii(std::string_view text) {
        for (char c : text)
            m_text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    void LineEnd() { Ascii("\r\n"); }
    void Tabs(std::size_t depth) { m_text.append(depth, u'\t'); }
    // & < > " ' become the predefined entities. TAB, LF and CR become character
    // references: written as they are, a reader would turn them into spaces.
    void Escaped(std::wstring_view text) {
        std::size_t run = 0;  // start of the characters not yet written
        for (std::size_t i = 0; i < text.size(); ++i) {
            std::string_view entity;
            switch (text[i]) {
            case L'&': entity = "&amp;"; break;
            case L'<': entity = "&lt;"; break;
            case L'>': entity = "&gt;"; break;
            case L'"': entity = "&quot;"; break;
            case L'\'': entity = "&apos;"; break;
            case L'\t': entity = "&#9;"; break;
            case L'\n': entity = "&#10;"; break;
            case L'\r': entity = "&#13;"; break;
            default: continue;
            }
            Text(text.substr(run, i - run));
            Ascii(entity);
            run = i + 1;
        }
        Text(text.substr(run));
    }

    // UTF-16LE bytes of everything written.
    void Bytes(std::string& out) const {
        out.resize(m_text.size() * 2);
        for (std::size_t i = 0; i < m_text.size(); ++i) {
            out[2 * i] = static_cast<char>(m_text[i] & 0xFF);
            out[2 * i + 1] = static_cast<char>(m_text[i] >> 8);
        }
    }

private:
    std::u16string m_text;
};

// A node without name, attributes or children stands for something that was not
// an element in the file (a comment, text); it is not written.
bool IsSkipped(const enXml& node) {
    return UpToNul(node.Name()).empty() && node.Attributes().empty() && !node.FirstChild();
}

bool IsWritable(const enXml& node) {
    if (!mdxml::IsXmlName(UpToNul(node.Name())))
        return false;
    const std::vector<enXmlAttribute>& attributes = node.Attributes();
    for (const enXmlAttribute& attribute : attributes) {
        if (!mdxml::IsXmlName(UpToNul(attribute.first)) || !mdxml::IsXmlText(UpToNul(attribute.second)))
            return false;
    }
    // Attribute names are compared as the XML reader does: exactly. Few
    // attributes are compared pairwise, many after sorting.
    if (attributes.size() <= 16) {
        for (std::size_t i = 1; i < attributes.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (UpToNul(attributes[i].first) == UpToNul(attributes[j].first))
                    return false;
            }
        }
        return true;
    }
    std::vector<std::wstring_view> names;
    names.reserve(attributes.size());
    for (const enXmlAttribute& attribute : attributes)
        names.push_back(UpToNul(attribute.first));
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// The first child at or after `node` that is written; null when none is left.
// `ok` turns false at a child that can be neither written nor skipped.
const enXml* NextWritten(const enXml* node, bool& ok) {
    for (; node; node = node->NextSibling()) {
        if (!IsSkipped(*node)) {
            ok = IsWritable(*node);
            return node;
        }
    }
    return nullptr;
}

void WriteStartTag(Writer& writer, const enXml& node, std::size_t depth) {
    writer.Tabs(depth);
    writer.Unit(L'<');
    writer.Text(UpToNul(node.Name()));
    for (const enXmlAttribute& attribute : node.Attributes()) {
        writer.Unit(L' ');
        writer.Escaped(UpToNul(attribute.first));
        writer.Ascii("=\"");
        writer.Escaped(UpToNul(attribute.second));
        writer.Unit(L'"');
    }
}

bool WriteText(const enXml& root, Writer& writer) {
    if (!IsWritable(root))
        return false;
    writer.Unit(0xFEFF);
    writer.Text(kDeclaration);
    writer.LineEnd();

    // Depth-first without recursion: each open element keeps the next child to write.
    struct Open {
        const enXml* node;
        const enXml* next;
    };
    std::vector<Open> open;
    bool ok = true;
    const enXml* first = NextWritten(root.FirstChild(), ok);
    if (!ok)
        return false;
    WriteStartTag(writer, root, 0);
    if (!first) {
        writer.Ascii("/>");
        writer.LineEnd();
        return true;
    }
    writer.Unit(L'>');
    writer.LineEnd();
    open.push_back({&root, first});
    while (!open.empty()) {
        Open& top = open.back();
        const enXml* node = top.next;
        if (!node) {
            writer.Tabs(open.size() - 1);
            writer.Ascii("</");
            writer.Text(UpToNul(top.node->Name()));
            writer.Unit(L'>');
            writer.LineEnd();
            open.pop_back();
            continue;
        }
        top.next = NextWritten(node->NextSibling(), ok);
        if (!ok)
            return false;
        const enXml* child = NextWritten(node->FirstChild(), ok);
        if (!ok)
            return false;
        WriteStartTag(writer, *node, open.size());
        if (child) {
            writer.Unit(L'>');
            writer.LineEnd();
            open.push_back({node, child});  // `top` is not used past this point
        } else {
            writer.Ascii("/>");
            writer.LineEnd();
        }
    }
    return true;
}

}  // namespace

bool enXml::SaveToBuffer(std::string& out) const {
    out.clear();
    try {
        Writer writer;
        if (WriteText(*this, writer)) {
            writer.Bytes(out);
            return true;
        }
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return false;
}
