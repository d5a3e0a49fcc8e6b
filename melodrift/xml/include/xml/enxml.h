// The XML element tree of every structured file of the player host (skins,
// presets, surround settings, playlists) and the currency of the skin layer.
//
//   coTree  an intrusive tree node: first child, next sibling, parent, last child.
//           A parent owns its children; destroying a node unlinks it from its
//           parent and destroys its whole subtree.
//   enXml   an element: name, ordered attributes, children, a caller's tag.
//           Names of children and attributes match case-insensitively (ASCII
//           letters, as the C runtime's _wcsicmp does in the "C" locale).
//
// Strings hold UTF-16 code units. The tree's strings, attribute lists and
// nodes live in one pool of this module (mdxml::TreeMemory): a skin of tens of
// thousands of elements is hundreds of thousands of small blocks, which the
// pool hands out and takes back far faster than the system heap does.
//
// The tree, the lookups, the reader (LoadFromBuffer) and the writer (SaveToBuffer)
// need no Windows header and live in the library melodrift_xml_core. Load (from
// a file) and Save (to a file) live in the Windows library melodrift_xml.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class enXml;

namespace mdxml {

// The memory every tree's nodes, names, values and attribute lists come from:
// small blocks pooled by size, safe to use from any thread, living as long as
// the module (never destroyed, so that a tree may outlive static objects).
std::pmr::memory_resource* TreeMemory();

}  // namespace mdxml

class coTree {
public:
    coTree() = default;
    // Unlinks the node from its parent, then destroys every child in list order.
    virtual ~coTree();

    coTree(const coTree&) = delete;
    coTree& operator=(const coTree&) = delete;

protected:
    coTree* m_pFirstChild = nullptr;   // head of the child list
    coTree* m_pNextSibling = nullptr;  // next node in the parent's list
    enXml* m_pParent = nullptr;        // owning element; null for a root or a detached node
    coTree* m_pLastChild = nullptr;    // tail of the child list (constant-time append)

    bool UnlinkChild(coTree* child);

    friend class enXml;
};

// A name or value of the tree (UTF-16 code units in the tree's memory). It
// converts to std::wstring_view; std::wstring takes it by assign or construction.
using enXmlString = std::pmr::wstring;

// One attribute: (name, value).
using enXmlAttribute = std::pair<enXmlString, enXmlString>;
using enXmlAttributes = std::pmr::vector<enXmlAttribute>;

// Why a Load failed (optional detail; the result of Load is the bool).
enum class enXmlLoadError {
    None = 0,
    NoFile,             // empty path, missing file, a directory or a wildcard pattern
    ReadFailed,         // the file exists but could not be opened or read
    TooLarge,           // larger than the reader accepts
    ParserUnavailable,  // the system XML parser could not be started
    NotWellFormed,      // the parser rejected the document
};

class enXml : public coTree {
public:
    enXml() = default;
    explicit enXml(std::wstring_view name) : m_name(name, mdxml::TreeMemory()) {}
    ~enXml() override;

    // Nodes come from the tree's memory too (a node made by `new` here and
    // deleted in another module goes back through its virtual destructor).
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;

    std::wstring GetName() const { return std::wstring(m_name); }
    const enXmlString& Name() const { return m_name; }

    std::int32_t GetTag() const { return m_tag; }
    void SetTag(std::int32_t tag) { m_tag = tag; }

    // Iteration over the child list, in order.
    enXml* FirstChild() const { return static_cast<enXml*>(m_pFirstChild); }
    enXml* LastChild() const { return static_cast<enXml*>(m_pLastChild); }
    enXml* NextSibling() const { return static_cast<enXml*>(m_pNextSibling); }
    enXml* GetParent() const { return m_pParent; }
    int GetChildCount() const;

    // First child whose name equals `name` case-insensitively, or null.
    enXml* FindChild(std::wstring_view name) const;

    // First attribute whose name matches case-insensitively, or null. The pointer
    // stays valid until the next SetAttribute or Load on this node.
    const enXmlAttribute* FindAttribute(std::wstring_view name) const;
    enXmlAttribute* FindAttribute(std::wstring_view name);
    const enXmlAttributes& Attributes() const { return m_attributes; }

    // The getters answer false and leave `out` untouched when the attribute is absent.
    bool GetAttribute(std::wstring_view name, std::wstring& out) const;
    // Parsed as _wtoi does: leading white space, optional sign, decimal digits up
    // to the first other character; no digits gives 0; out of range saturates.
    bool GetAttributeInt(std::wstring_view name, std::int32_t& out) const;
    // Parsed as atof does ('.' as decimal point) from at most the first 99
    // characters, then narrowed to float.
    bool GetAttributeFloat(std::wstring_view name, float& out) const;

    // Replaces the value of the first attribute matching case-insensitively (its
    // stored name keeps its letter case), or appends (name, value).
    void SetAttribute(std::wstring_view name, std::wstring_view value);
    // Appends (name, value) without looking for an attribute of that name (the
    // reader keeps a document's attributes as they come).
    void AppendAttribute(std::wstring_view name, std::wstring_view value);
    // Makes room for `count` attributes in all (for a reader that knows how many follow).
    void ReserveAttributes(std::size_t count) { m_attributes.reserve(count); }

    // Links `child` into this node's list: behind `after` when that is a child
    // of this node, else at the end. A child of another parent is moved. A null
    // child, this node itself or one of its ancestors is ignored.
    void AddChild(enXml* child, enXml* after = nullptr);
    // Unlinks `child` without destroying it; a node that is not a child is left alone.
    void RemoveChild(enXml* child);

    // Reads the document element of an XML file into this node (name, attributes
    // and children are added to what the node holds). False, with the node
    // unchanged, for a missing file, a directory, or a document that does not
    // parse. Besides the encodings LoadFromBuffer reads, an ASCII-based code
    // page the document's declaration names (windows-1251, koi8-r, ...) is
    // converted by the system. Windows only (melodrift_xml).
    bool Load(const std::wstring& path, enXmlLoadError* error = nullptr);

    // Reads a whole document held in memory into this node, as Load does with
    // a file's bytes: UTF-8 (with or without byte-order mark), UTF-16 in either
    // byte order (told by its byte-order mark or by the zero bytes of its first
    // character), or ISO-8859-1 / US-ASCII when the declaration names them;
    // other declared encodings are NotWellFormed here. The document must be
    // well-formed XML 1.0 without a document type declaration. Elements become
    // named children; text with more than white space, CDATA sections, comments
    // and processing instructions inside the document element become nameless,
    // empty children; white space between elements is dropped. Attributes keep
    // document order, values normalised as XML asks. False, with the node
    // unchanged, when the document is refused.
    bool LoadFromBuffer(std::string_view bytes, enXmlLoadError* error = nullptr);
    // The same for a document already decoded to UTF-16 code units (a leading
    // byte-order mark is stepped over).
    bool LoadFromText(std::wstring_view text, enXmlLoadError* error = nullptr);

    // Writes this node as the document element: UTF-16LE with byte-order mark,
    // declaration, one element per line indented by tabs, CR LF line ends,
    // "/>" for an element without children. In attribute names and values
    // & < > " ' are written as the predefined entities and TAB, LF, CR as
    // character references (so that they read back unchanged); every string
    // ends at its first NUL. The
    // file is replaced only when the whole document was written; on failure the
    // result is false and an existing file keeps its content. Windows only.
    bool Save(const std::wstring& path) const;

    // The bytes Save writes. False (and `out` cleared) when the tree cannot be
    // written as a well-formed document: a nameless root, a name that is not an
    // XML name, the same attribute name twice on one element, a character XML
    // cannot carry, or a nameless node that holds attributes or children.
    // Nameless nodes without content (read from comments or text) are skipped.
    bool SaveToBuffer(std::string& out) const;

    // true when `path` names an existing file that is not a directory (no
    // wildcard matching). Windows only.
    static bool FileExists(const std::wstring& path);

private:
    enXmlAttributes m_attributes{mdxml::TreeMemory()};
    enXmlString m_name{mdxml::TreeMemory()};
    std::int32_t m_tag = 0;
};

namespace mdxml {

// ASCII-only case-insensitive equality (letters A-Z/a-z fold; nothing else does).
bool NameEquals(std::wstring_view a, std::wstring_view b);

// The number parsers behind GetAttributeInt / GetAttributeFloat.
std::int32_t ParseInt(std::wstring_view text);
float ParseFloat(std::wstring_view text);

// What a document's bytes are in: the byte-order mark, else UTF-16 when one of
// the first two bytes is zero, else the encoding the declaration names (UTF-8
// when it names none; `declaredName` receives the name as written).
enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Latin1, Other };
TextEncoding DetectEncoding(std::string_view bytes, std::string* declaredName = nullptr);

// XML 1.0 (fifth edition) Name production, and whether every code unit of
// `text` is an XML character (surrogates only as well-formed pairs).
bool IsXmlName(std::wstring_view name);
bool IsXmlText(std::wstring_view text);

}  // namespace mdxml
