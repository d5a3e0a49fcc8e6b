// The writer: a tree as UTF-16LE XML text with byte-order mark and declaration,
// one element per line, indented by tabs, CR LF line ends, "/>" for elements
// without children. Attribute names and values are escaped; element names are
// written as they are. Every string is written up to its first NUL.
//
// One pass over the tree: names and values are checked while they are copied
// straight into the output bytes; the usual character (an ASCII name
// character, a text unit below 0xD800 that needs no escape) costs a test or two
// and a store.
#include "xml/enxml.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"yes\"?>\r\n";

// Per ASCII character: whether it may start a name, whether it may continue one.
constexpr unsigned char kNameStart = 1;
constexpr unsigned char kNameMore = 2;
constexpr std::array<unsigned char, 128> kAsciiName = [] {
    std::array<unsigned char, 128> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':')
            table[c] = static_cast<unsigned char>(kNameStart | kNameMore);
        else if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            table[c] = kNameMore;
    }
    return table;
}();

// The escapes of attribute text, per character below 0x40 (empty: none).
// & < > " ' become the predefined entities. TAB, LF and CR become character
// references: written as they are, a reader would turn them into spaces.
constexpr std::array<std::string_view, 0x40> kEscapes = [] {
    std::array<std::string_view, 0x40> table{};
    table['&'] = "&amp;";
    table['<'] = "&lt;";
    table['>'] = "&gt;";
    table['"'] = "&quot;";
    table['\''] = "&apos;";
    table['\t'] = "&#9;";
    table['\n'] = "&#10;";
    table['\r'] = "&#13;";
    return table;
}();
constexpr std::size_t kLongestEscape = 6;  // "&quot;", in units

// Bit c set: the character c (below 0x40) is written as it is.
constexpr std::uint64_t kPlainBelow0x40 = [] {
    std::uint64_t bits = 0;
    for (unsigned c = 0x20; c < 0x40; ++c) {
        if (kEscapes[c].empty())
            bits |= std::uint64_t{1} << c;
    }
    return bits;
}();

// Writes UTF-16LE bytes straight into the caller's string, which grows as
// needed and is cut to the written length at the end. Only Room() and Value()
// make room; the other writes go into room made for them beforehand.
class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}

    // `expected` bytes are made room for at once: a large buffer that grows
    // step by step costs more in copies and fresh pages than in writing.
    void Start(std::size_t expected) {
        m_out.clear();
        m_out.resize(expected);
        m_at = m_out.data();
        m_end = m_at + m_out.size();
    }

    void Finish() { m_out.resize(static_cast<std::size_t>(m_at - m_out.data())); }

    void Room(std::size_t units) {
        if (static_cast<std::size_t>(m_end - m_at) < units * 2)
            Grow(units * 2);
    }

    void Unit(unsigned long unit) { Put(m_at, unit); }

    void Ascii(std::string_view text) {
        char* out = m_at;
        for (char c : text)
            Put(out, static_cast<unsigned char>(c));
        m_at = out;
    }

    void Tabs(std::size_t depth) {
        char* out = m_at;
        for (std::size_t i = 0; i < depth; ++i)
            Put(out, u'\t');
        m_at = out;
    }

    // Every string is written up to its first NUL.

    // A name as it is, in room for name.size() units; false when it is not an
    // XML name. The number of units written comes back through `length`.
    bool Name(std::wstring_view name, std::size_t& length) {
        char* out = m_at;
        std::size_t i = 0;
        if (!name.empty() && AsUnsigned(name[0]) < 0x80 && (kAsciiName[AsUnsigned(name[0])] & kNameStart)) {
            Put(out, AsUnsigned(name[0]));
            for (i = 1; i < name.size(); ++i) {
                const unsigned long c = AsUnsigned(name[i]);
                if (c >= 0x80 || !(kAsciiName[c] & kNameMore))
                    break;
                Put(out, c);
            }
        }
        if (i < name.size() && name[i] != L'\0') {
            if (AsUnsigned(name[i]) < 0x80)
                return false;
            // Beyond ASCII: the full rules, on the whole name.
            const std::wstring_view whole = UpToNul(name, i);
            if (!mdxml::IsXmlName(whole))
                return false;
            for (; i < whole.size(); ++i)
                Put(out, AsUnsigned(name[i]));
        }
        m_at = out;
        length = i;
        return i > 0;
    }

    // A name that Name() has accepted, cut to the length it answered.
    void KnownName(std::wstring_view name) {
        char* out = m_at;
        for (wchar_t c : name)
            Put(out, AsUnsigned(c));
        m_at = out;
    }

    // ="value" with the value escaped, making its own room; false at a
    // character XML cannot carry (surrogates only as well-formed pairs).
    bool Value(std::wstring_view text) {
        const std::size_t size = text.size();
        std::size_t i = 0;
        do {
            // Room for the worst case of a bounded piece (a pair that starts at
            // its last unit takes less than an escape) and the quotes.
            const std::size_t stop = std::min(size, i + kPiece);
            Room((stop - i) * kLongestEscape + 3);
            char* out = m_at;
            if (i == 0) {
                Put(out, u'=');
                Put(out, u'"');
            }
            while (i < stop) {
                const unsigned long c = AsUnsigned(text[i]);
                // The usual case: a unit below the surrogates that needs no escape.
                if (c < 0xD800 && (c >= 0x40 || ((kPlainBelow0x40 >> c) & 1) != 0)) {
                    Put(out, c);
                    ++i;
                    continue;
                }
                if (c < 0x40) {
                    if (c == 0) {
                        i = size;
                        break;
                    }
                    const std::string_view escape = kEscapes[c];
                    if (escape.empty())
                        return false;  // a control character
                    for (char e : escape)
                        Put(out, static_cast<unsigned char>(e));
                    ++i;
                    continue;
                }
                if (c <= 0xDBFF) {  // a high surrogate, with its low one
                    const unsigned long low = i + 1 < size ? AsUnsigned(text[i + 1]) : 0;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return false;
                    Put(out, c);
                    Put(out, low);
                    i += 2;
                    continue;
                }
                if (c <= 0xDFFF || c > 0xFFFD)
                    return false;  // a lone low surrogate, U+FFFE, U+FFFF, not a UTF-16 unit
                Put(out, c);
                ++i;
            }
            if (i >= size)
                Put(out, u'"');
            m_at = out;
        } while (i < size);
        return true;
    }

private:
    static constexpr std::size_t kPiece = 4096;  // units of text between two room checks

    // wchar_t is signed on some platforms: a negative value becomes a large
    // number, which no check lets through.
    static unsigned long AsUnsigned(wchar_t c) { return static_cast<unsigned long>(c); }

    static std::wstring_view UpToNul(std::wstring_view text, std::size_t from) {
        const std::size_t nul = text.find(L'\0', from);
        return nul == std::wstring_view::npos ? text : text.substr(0, nul);
    }

    static void Put(char*& out, unsigned long unit) {
        out[0] = static_cast<char>(unit & 0xFF);
        out[1] = static_cast<char>((unit >> 8) & 0xFF);
        out += 2;
    }

    void Grow(std::size_t bytes);

    std::string& m_out;
    char* m_at = nullptr;   // next byte to write
    char* m_end = nullptr;  // end of the room in m_out
};

void Writer::Grow(std::size_t bytes) {
    const std::size_t used = static_cast<std::size_t>(m_at - m_out.data());
    m_out.resize(std::max(used + bytes, m_out.size() + m_out.size() / 2));
    m_at = m_out.data() + used;
    m_end = m_out.data() + m_out.size();
}

bool IsNameless(std::wstring_view name) {
    return name.empty() || name[0] == L'\0';
}

// A node without name, attributes or children stands for something that was not
// an element in the file (a comment, text); it is not written.
bool IsSkipped(const enXml& node) {
    return IsNameless(node.Name()) && node.Attributes().empty() && !node.FirstChild();
}

// The first child at or after `node` that is written; null when none is left.
const enXml* NextWritten(const enXml* node) {
    while (node && IsSkipped(*node))
        node = node->NextSibling();
    return node;
}

class TreeWriter {
public:
    explicit TreeWriter(std::string& out) : m_writer(out) {}

    bool Write(const enXml& root) {
        m_writer.Start(ExpectedSize(root));
        m_writer.Room(1 + kDeclaration.size());
        m_writer.Unit(0xFEFF);  // the byte-order mark
        m_writer.Ascii(kDeclaration);
        if (!WriteTree(root))
            return false;
        m_writer.Finish();
        return true;
    }

private:
    // Depth-first without recursion: each open element keeps the next child to
    // write and the length of its name.
    struct Open {
        const enXml* node;
        const enXml* next;
        std::size_t nameLength;
    };

    bool WriteTree(const enXml& root);

    // The document's size in bytes when no string holds a NUL and nothing is
    // escaped, plus a margin for some escapes; read from the string sizes alone.
    static std::size_t ExpectedSize(const enXml& root) {
        std::size_t units = 128;  // byte-order mark and declaration
        std::size_t depth = 0;
        const enXml* node = &root;
        for (;;) {
            units += depth + node->Name().size() + 5;  // "<name/>" CR LF, or "<name>" CR LF
            for (const enXmlAttribute& attribute : node->Attributes())
                units += attribute.first.size() + attribute.second.size() + 4;
            if (const enXml* child = node->FirstChild()) {
                units += depth + node->Name().size() + 5;  // "</name>" CR LF
                node = child;
                ++depth;
                continue;
            }
            while (node != &root && !node->NextSibling()) {
                node = node->GetParent();
                --depth;
            }
            if (node == &root)
                break;
            node = node->NextSibling();
        }
        return (units + units / 32) * 2;
    }

    // The start tag, checked, with its line end; an element without children
    // is closed in it. The length of the name comes back.
    bool StartTag(const enXml& node, std::size_t depth, bool empty, std::size_t& nameLength) {
        m_writer.Room(depth + 1 + node.Name().size());
        m_writer.Tabs(depth);
        m_writer.Unit(u'<');
        if (!m_writer.Name(node.Name(), nameLength))
            return false;
        const enXmlAttributes& attributes = node.Attributes();
        if (!attributes.empty()) {
            m_names.clear();
            for (const enXmlAttribute& attribute : attributes) {
                m_writer.Room(1 + attribute.first.size());
                m_writer.Unit(u' ');
                std::size_t length = 0;
                // An XML name holds no character that is escaped: written as it is.
                if (!m_writer.Name(attribute.first, length))
                    return false;
                m_names.emplace_back(attribute.first.data(), length);
                if (!m_writer.Value(attribute.second))
                    return false;
            }
            if (HasDuplicateName())
                return false;
        }
        m_writer.Room(4);
        m_writer.Ascii(empty ? "/>\r\n" : ">\r\n");
        return true;
    }

    // Attribute names are compared as the XML reader does: exactly. Few
    // attributes are compared pairwise, many after sorting.
    bool HasDuplicateName() {
        if (m_names.size() <= 16) {
            for (std::size_t i = 1; i < m_names.size(); ++i) {
                for (std::size_t j = 0; j < i; ++j) {
                    if (m_names[i] == m_names[j])
                        return true;
                }
            }
            return false;
        }
        std::sort(m_names.begin(), m_names.end());
        return std::adjacent_find(m_names.begin(), m_names.end()) != m_names.end();
    }

    Writer m_writer;
    std::vector<std::wstring_view> m_names;  // of the element being written, reused
};

bool TreeWriter::WriteTree(const enXml& root) {
    std::vector<Open> open;
    const enXml* first = NextWritten(root.FirstChild());
    std::size_t nameLength = 0;
    if (!StartTag(root, 0, !first, nameLength))
        return false;
    if (first)
        open.push_back({&root, first, nameLength});
    while (!open.empty()) {
        Open& top = open.back();
        const enXml* node = top.next;
        if (!node) {
            const std::size_t depth = open.size() - 1;
            m_writer.Room(depth + top.nameLength + 5);
            m_writer.Tabs(depth);
            m_writer.Ascii("</");
            m_writer.KnownName(std::wstring_view(top.node->Name().data(), top.nameLength));
            m_writer.Ascii(">\r\n");
            open.pop_back();
            continue;
        }
        top.next = NextWritten(node->NextSibling());
        const enXml* child = NextWritten(node->FirstChild());
        if (!StartTag(*node, open.size(), !child, nameLength))
            return false;
        if (child)
            open.push_back({node, child, nameLength});  // `top` is not used past this point
    }
    return true;
}

}  // namespace

bool enXml::SaveToBuffer(std::string& out) const {
    try {
        TreeWriter writer(out);
        if (writer.Write(*this))
            return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return false;
}
