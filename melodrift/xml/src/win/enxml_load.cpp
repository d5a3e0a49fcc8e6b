// Reading: the file's bytes are handed to the system XML DOM parser (MSXML, the
// 6.0 document object, else 3.0), whose tree is then copied into enXml nodes.
// Documents with a document type declaration are refused before parsing.
// The bytes are read here rather than by the parser from the path, so that a
// path is never taken for a URL ("#" or "%" in a file name) and a directory or a
// wildcard pattern is refused before the parser sees it.
#include "xml/enxml.h"

#include <windows.h>
#include <msxml2.h>
#include <ole2.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// The interface ids, defined here: the MinGW import libraries lack some of them.
const IID kIID_IXMLDOMDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIID_IXMLDOMNode = {0x2933bf80, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Files above this size are refused: a 32-bit process holds the bytes, the DOM
// and the tree at once.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    void Reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** Out() {
        Reset();
        return &m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(m_s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* Out() {
        SysFreeString(m_s);
        m_s = nullptr;
        return &m_s;
    }
    std::wstring_view View() const { return m_s ? std::wstring_view(m_s, SysStringLen(m_s)) : std::wstring_view(); }

private:
    BSTR m_s = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Out() {
        VariantClear(&m_v);
        return &m_v;
    }
    // The text of a string value; empty for anything else.
    std::wstring_view Text() const {
        if (V_VT(&m_v) != VT_BSTR || !V_BSTR(&m_v))
            return {};
        return std::wstring_view(V_BSTR(&m_v), SysStringLen(V_BSTR(&m_v)));
    }

private:
    VARIANT m_v;
};

// COM on this thread for the time of one Load; a thread already in the
// multithreaded apartment is used as it is.
class ComScope {
public:
    ComScope() {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_uninitialize = SUCCEEDED(hr);
        m_usable = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
    }
    ~ComScope() {
        if (m_uninitialize)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Usable() const { return m_usable; }

private:
    bool m_uninitialize = false;
    bool m_usable = false;
};

class SafeArrayOwner {
public:
    explicit SafeArrayOwner(SAFEARRAY* array) : m_array(array) {}
    ~SafeArrayOwner() {
        if (m_array)
            SafeArrayDestroy(m_array);
    }
    SafeArrayOwner(const SafeArrayOwner&) = delete;
    SafeArrayOwner& operator=(const SafeArrayOwner&) = delete;
    SAFEARRAY* Get() const { return m_array; }
    SAFEARRAY* Release() { return std::exchange(m_array, nullptr); }

private:
    SAFEARRAY* m_array;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// The whole file as a byte array for the parser.
enXmlLoadError ReadFileBytes(const std::wstring& path, SAFEARRAY*& bytes) {
    bytes = nullptr;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return enXmlLoadError::ReadFailed;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return enXmlLoadError::ReadFailed;
    if (size.QuadPart > kMaxFileBytes)
        return enXmlLoadError::TooLarge;
    if (size.QuadPart == 0)
        return enXmlLoadError::NotWellFormed;
    const ULONG count = static_cast<ULONG>(size.QuadPart);
    SafeArrayOwner array(SafeArrayCreateVector(VT_UI1, 0, count));
    if (!array.Get())
        return enXmlLoadError::ReadFailed;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array.Get(), &data)))
        return enXmlLoadError::ReadFailed;
    ULONG done = 0;
    bool ok = true;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), static_cast<BYTE*>(data) + done, count - done, &got, nullptr) || got == 0) {
            ok = false;  // the file shrank or the read failed: not the whole document
            break;
        }
        done += got;
    }
    SafeArrayUnaccessData(array.Get());
    if (!ok)
        return enXmlLoadError::ReadFailed;
    bytes = array.Release();
    return enXmlLoadError::None;
}

// Whether the prolog of the document (what stands before its first element)
// holds a document type declaration. Such documents are refused before the
// parser sees them: not every parser honours ProhibitDTD, and a declaration's
// entities could otherwise multiply without bound. The prolog is read as
// UTF-16 (little or big endian, told by its zero bytes) or as an ASCII-based
// encoding; it is markup, so its letters are ASCII in every encoding the
// parser takes.
bool PrologHasDoctype(const BYTE* bytes, ULONG count) {
    ULONG start = 0, step = 1, offset = 0;
    if (count >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        start = 2;
    if (count >= start + 2 && (bytes[start] == 0 || bytes[start + 1] == 0)) {
        step = 2;
        offset = bytes[start] == 0 ? 1 : 0;  // big endian: the low byte comes second
    }
    // Character i, or 1 for a UTF-16 unit beyond ASCII.
    auto at = [&](ULONG i) {
        const ULONG p = start + i * step;
        if (step == 2 && bytes[p + 1 - offset] != 0)
            return '\1';
        return static_cast<char>(bytes[p + offset]);
    };
    const ULONG chars = (count - start) / step;
    char closing = 0;  // inside a comment ('-') or a processing instruction ('?')
    for (ULONG i = 0; i < chars; ++i) {
        if (closing != 0) {
            if (closing == '-' && at(i) == '-' && i + 2 < chars && at(i + 1) == '-' && at(i + 2) == '>') {
                closing = 0;
                i += 2;
            } else if (closing == '?' && at(i) == '?' && i + 1 < chars && at(i + 1) == '>') {
                closing = 0;
                i += 1;
            }
            continue;
        }
        if (at(i) != '<' || i + 1 >= chars)
            continue;
        const char next = at(i + 1);
        if (next == '?') {
            closing = '?';  // the declaration or a processing instruction
            i += 1;
            continue;
        }
        if (next == '!' && i + 3 < chars && at(i + 2) == '-' && at(i + 3) == '-') {
            closing = '-';
            i += 3;
            continue;
        }
        // The first element ends the prolog; any other "<!" there than a
        // comment is a document type declaration (or not well-formed anyway).
        return next == '!';
    }
    return false;
}

bool CreateDocument(ComRef<IXMLDOMDocument2>& document) {
    static const wchar_t* const kProgIds[] = {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"};
    for (const wchar_t* progId : kProgIds) {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(progId, &clsid)))
            continue;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIID_IXMLDOMDocument2,
                                       reinterpret_cast<void**>(document.Out()))) &&
            document)
            return true;
    }
    return false;
}

void SetBoolProperty(IXMLDOMDocument2* document, const wchar_t* name, bool value) {
    BSTR bstrName = SysAllocString(name);
    if (!bstrName)
        return;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    document->setProperty(bstrName, v);  // an older parser without the property keeps its default
    SysFreeString(bstrName);
}

bool ReadNodeName(IXMLDOMNode* node, std::wstring& name) {
    Bstr bstr;
    if (FAILED(node->get_nodeName(bstr.Out())))
        return false;
    name.assign(bstr.View());
    return true;
}

// The attributes of one DOM element, in document order, appended to `target`.
bool ReadAttributes(IXMLDOMNode* element, enXml& target) {
    ComRef<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(element->get_attributes(attributes.Out())) || !attributes)
        return true;
    long count = 0;
    if (FAILED(attributes->get_length(&count)))
        return false;
    std::wstring name;
    for (long i = 0; i < count; ++i) {
        ComRef<IXMLDOMNode> attribute;
        if (FAILED(attributes->get_item(i, attribute.Out())) || !attribute)
            return false;
        if (!ReadNodeName(attribute.Get(), name))
            return false;
        Variant value;
        if (FAILED(attribute->get_nodeValue(value.Out())))
            return false;
        target.AppendAttribute(name, value.Text());
    }
    return true;
}

// Copies the attributes and the children of the DOM element `root` into
// `target`. Children of any kind become nodes; those that are not elements stay
// nameless and empty. Walks with its own stack, so the depth of a document
// costs no call stack.
bool CopyTree(IXMLDOMNode* root, enXml& target) {
    struct Pending {
        ComRef<IXMLDOMNode> dom;
        enXml* node;
    };
    std::vector<Pending> pending;
    ComRef<IXMLDOMNode> first;
    root->AddRef();
    *first.Out() = root;
    pending.push_back({std::move(first), &target});
    std::wstring name;
    while (!pending.empty()) {
        Pending item = std::move(pending.back());
        pending.pop_back();
        if (!ReadAttributes(item.dom.Get(), *item.node))
            return false;
        ComRef<IXMLDOMNode> child;
        if (FAILED(item.dom->get_firstChild(child.Out())))
            return false;
        while (child) {
            DOMNodeType type = NODE_INVALID;
            if (FAILED(child->get_nodeType(&type)))
                return false;
            const bool isElement = type == NODE_ELEMENT;
            if (isElement && !ReadNodeName(child.Get(), name))
                return false;
            enXml* node = isElement ? new enXml(name) : new enXml();
            item.node->AddChild(node);
            ComRef<IXMLDOMNode> next;
            if (FAILED(child->get_nextSibling(next.Out())))
                return false;
            if (isElement)
                pending.push_back({std::move(child), node});
            child = std::move(next);
        }
    }
    return true;
}

}  // namespace

bool enXml::FileExists(const std::wstring& path) {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool enXml::Load(const std::wstring& path, enXmlLoadError* error) {
    enXmlLoadError dummy;
    enXmlLoadError& result = error ? *error : dummy;
    result = enXmlLoadError::None;
    if (!FileExists(path)) {
        result = enXmlLoadError::NoFile;
        return false;
    }
    try {
        ComScope com;
        if (!com.Usable()) {
            result = enXmlLoadError::ParserUnavailable;
            return false;
        }
        SAFEARRAY* rawBytes = nullptr;
        result = ReadFileBytes(path, rawBytes);
        SafeArrayOwner bytes(rawBytes);
        if (result != enXmlLoadError::None)
            return false;

        {
            void* data = nullptr;
            if (FAILED(SafeArrayAccessData(bytes.Get(), &data))) {
                result = enXmlLoadError::ReadFailed;
                return false;
            }
            const bool doctype = PrologHasDoctype(static_cast<const BYTE*>(data), bytes.Get()->rgsabound[0].cElements);
            SafeArrayUnaccessData(bytes.Get());
            if (doctype) {
                result = enXmlLoadError::NotWellFormed;
                return false;
            }
        }

        ComRef<IXMLDOMDocument2> document;
        if (!CreateDocument(document)) {
            result = enXmlLoadError::ParserUnavailable;
            return false;
        }
        document->put_async(VARIANT_FALSE);
        document->put_validateOnParse(VARIANT_FALSE);
        document->put_resolveExternals(VARIANT_FALSE);
        document->put_preserveWhiteSpace(VARIANT_FALSE);
        SetBoolProperty(document.Get(), L"ProhibitDTD", true);

        VARIANT source;
        VariantInit(&source);
        V_VT(&source) = VT_ARRAY | VT_UI1;
        V_ARRAY(&source) = bytes.Get();
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (FAILED(document->load(source, &loaded)) || loaded != VARIANT_TRUE) {
            result = enXmlLoadError::NotWellFormed;
            return false;
        }
        ComRef<IXMLDOMElement> element;
        if (FAILED(document->get_documentElement(element.Out())) || !element) {
            result = enXmlLoadError::NotWellFormed;
            return false;
        }
        ComRef<IXMLDOMNode> rootNode;
        if (FAILED(element->QueryInterface(kIID_IXMLDOMNode, reinterpret_cast<void**>(rootNode.Out()))) || !rootNode) {
            result = enXmlLoadError::ReadFailed;
            return false;
        }

        // Everything is read into a separate node first: a failure part way
        // leaves this node as it was.
        std::wstring rootName;
        if (!ReadNodeName(rootNode.Get(), rootName)) {
            result = enXmlLoadError::ReadFailed;
            return false;
        }
        enXml read;
        if (!CopyTree(rootNode.Get(), read)) {
            result = enXmlLoadError::ReadFailed;
            return false;
        }
        m_attributes.reserve(m_attributes.size() + read.m_attributes.size());
        m_name = std::move(rootName);
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
