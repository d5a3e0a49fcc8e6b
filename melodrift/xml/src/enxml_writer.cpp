// The writer: a tree as UTF-16LE XML text with byte-order mark and declaration,
// one element per line, indented by tabs, CR LF line ends, "/>" for elements
// without children. Attribute names and values are escaped; element names are
// written as they are. Every string is written up to its first NUL.
#include "xml/enxml.h"

#include <algorithm>
#include <cstddef>
#include <new>

namespace {

constexpr std::wstring_view kDeclaration = L"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>";

std::wstring_view UpToNul(const std::wstring& text) {
    const std::size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? std::wstring_view(text) : std::wstring_view(text.data(), nul);
}

class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}

    void Unit(unsigned unit) {
        m_out.push_back(static_cast<char>(unit & 0xFF));
        m_out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    void Text(std::wstring_view text) {
        for (wchar_t c : text)
            Unit(static_cast<unsigned>(c));
    }
    void Ascii(const char* text) {
        for (; *text; ++text)
            Unit(static_cast<unsigned char>(*text));
    }
    void LineEnd() { Ascii("\r\n"); }
    void Tabs(std::size_t depth) {
        for (std::size_t i = 0; i < depth; ++i)
            Unit(0x09);
    }
    // & < > " ' become the predefined entities. TAB, LF and CR become character
    // references: written as they are, a reader would turn them into spaces.
    void Escaped(std::wstring_view text) {
        for (wchar_t c : text) {
            switch (c) {
            case L'&': Ascii("&amp;"); break;
            case L'<': Ascii("&lt;"); break;
            case L'>': Ascii("&gt;"); break;
            case L'"': Ascii("&quot;"); break;
            case L'\'': Ascii("&apos;"); break;
            case L'\t': Ascii("&#9;"); break;
            case L'\n': Ascii("&#10;"); break;
            case L'\r': Ascii("&#13;"); break;
            default: Unit(static_cast<unsigned>(c)); break;
            }
        }
    }

private:
    std::string& m_out;
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
    std::vector<std::wstring_view> names;
    names.reserve(attributes.size());
    for (const enXmlAttribute& attribute : attributes) {
        const std::wstring_view name = UpToNul(attribute.first);
        if (!mdxml::IsXmlName(name) || !mdxml::IsXmlText(UpToNul(attribute.second)))
            return false;
        names.push_back(name);
    }
    // Attribute names are compared as the XML reader does: exactly.
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

bool WriteDocument(const enXml& root, std::string& out) {
    if (!IsWritable(root))
        return false;
    Writer writer(out);
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
        if (WriteDocument(*this, out))
            return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return false;
}
