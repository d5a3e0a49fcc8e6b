// Reading: the file's bytes are read here and handed to the system pull parser
// (XmlLite's IXmlReader) through a stream over memory; the reader's nodes are
// turned into enXml nodes as they come, so no second tree is built and copied.
// The bytes are read here rather than by the parser from the path, so that a
// path is never taken for a URL ("#" or "%" in a file name) and a directory or a
// wildcard pattern is refused before the parser sees it.
//
// Document type declarations are refused (the reader's own setting, and a
// document type node seen anyway fails the load), so no entity beyond the
// predefined ones and character references can be expanded; the reader's
// entity expansion limit is set low as a second guard.
#include "xml/enxml.h"

#include <windows.h>
#include <objbase.h>
#include <xmllite.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// The interface id, defined here: the MinGW import libraries lack it.
const IID kIID_IXmlReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

// Files above this size are refused: a 32-bit process holds the bytes and the tree at once.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;
// Entity expansions allowed in one document (only matters should a reader
// expand entities despite the refused document type declaration).
constexpr LONG_PTR kMaxEntityExpansion = 1000;
// Element nesting the reader accepts; the walk keeps no call stack per level.
constexpr LONG_PTR kMaxElementDepth = 100000;

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
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

// The whole file in memory.
enXmlLoadError ReadFileBytes(const std::wstring& path, std::vector<char>& bytes) {
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
    const DWORD count = static_cast<DWORD>(size.QuadPart);
    bytes.resize(count);
    DWORD done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, count - done, &got, nullptr) || got == 0)
            return enXmlLoadError::ReadFailed;  // the file shrank or the read failed: not the whole document
        done += got;
    }
    return enXmlLoadError::None;
}

// A read-only stream over bytes held by the caller, living on the caller's
// stack: the reader releases its reference before the bytes go away.
class MemoryStream final : public IStream {
public:
    MemoryStream(const char* data, std::size_t size) : m_data(data), m_size(size) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
            IsEqualIID(riid, IID_IStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG wanted, ULONG* got) override {
        const std::size_t left = m_size - m_position;
        const ULONG n = static_cast<ULONG>(wanted < left ? wanted : left);
        if (n > 0)
            std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        if (got)
            *got = n;
        return n == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        LONGLONG base = 0;
        if (origin == STREAM_SEEK_CUR)
            base = static_cast<LONGLONG>(m_position);
        else if (origin == STREAM_SEEK_END)
            base = static_cast<LONGLONG>(m_size);
        else if (origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        const LONGLONG target = base + move.QuadPart;
        if (target < 0)
            return STG_E_INVALIDFUNCTION;
        m_position = static_cast<std::size_t>(target) < m_size ? static_cast<std::size_t>(target) : m_size;
        if (position)
            position->QuadPart = m_position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat)
            return E_POINTER;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    bool Referenced() const { return m_refs != 0; }

private:
    const char* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
    LONG m_refs = 0;
};

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// The reader's factory from the system library, loaded once and kept.
CreateXmlReaderFn ReaderFactory() {
    static const CreateXmlReaderFn factory = [] {
        HMODULE module = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module)
            module = LoadLibraryW(L"xmllite.dll");  // systems without the search flags
        return module ? reinterpret_cast<CreateXmlReaderFn>(GetProcAddress(module, "CreateXmlReader")) : nullptr;
    }();
    return factory;
}

bool CreateReader(ComRef<IXmlReader>& reader) {
    const CreateXmlReaderFn factory = ReaderFactory();
    if (!factory || FAILED(factory(kIID_IXmlReader, reinterpret_cast<void**>(reader.Out()), nullptr)) || !reader)
        return false;
    // Readers that do not know one of these settings keep their defaults: a
    // document type node fails the load anyway, before any entity is used.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    reader->SetProperty(XmlReaderProperty_MaxEntityExpansion, kMaxEntityExpansion);
    reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxElementDepth);
    return true;
}

std::wstring_view QualifiedName(IXmlReader* reader, bool& ok) {
    const WCHAR* name = nullptr;
    UINT length = 0;
    if (FAILED(reader->GetQualifiedName(&name, &length)) || !name) {
        ok = false;
        return {};
    }
    return std::wstring_view(name, length);
}

std::wstring_view Value(IXmlReader* reader, bool& ok) {
    const WCHAR* value = nullptr;
    UINT length = 0;
    if (FAILED(reader->GetValue(&value, &length))) {
        ok = false;
        return {};
    }
    return value ? std::wstring_view(value, length) : std::wstring_view();
}

// Reads the document into `root` (a fresh node): the document element's name,
// attributes and children. Nodes that are not elements within it become
// nameless children; white space between elements is dropped.
enXmlLoadError ReadDocument(IXmlReader* reader, enXml& root, std::wstring& rootName) {
    enXml* current = nullptr;  // open element, null before and after the document element
    bool rootSeen = false;
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        bool ok = true;
        switch (type) {
        case XmlNodeType_Element: {
            if (rootSeen && !current)
                return enXmlLoadError::NotWellFormed;  // a second document element
            const bool empty = reader->IsEmptyElement() != FALSE;
            const std::wstring_view name = QualifiedName(reader, ok);
            if (!ok)
                return enXmlLoadError::ReadFailed;
            enXml* node;
            if (!current) {
                rootName.assign(name);
                node = &root;
                rootSeen = true;
            } else {
                node = new enXml(name);
                current->AddChild(node);
            }
            for (hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
                const std::wstring_view attributeName = QualifiedName(reader, ok);
                const std::wstring_view value = ok ? Value(reader, ok) : std::wstring_view();
                if (!ok)
                    return enXmlLoadError::ReadFailed;
                node->AppendAttribute(attributeName, value);
            }
            if (FAILED(hr))
                return enXmlLoadError::NotWellFormed;
            if (!empty)
                current = node;
            break;
        }
        case XmlNodeType_EndElement:
            if (!current)
                return enXmlLoadError::NotWellFormed;
            current = current == &root ? nullptr : current->GetParent();
            break;
        case XmlNodeType_Text:
        case XmlNodeType_CDATA:
        case XmlNodeType_Comment:
        case XmlNodeType_ProcessingInstruction:
            if (current)
                current->AddChild(new enXml());
            break;
        case XmlNodeType_DocumentType:
            return enXmlLoadError::NotWellFormed;
        default:  // declaration, white space
            break;
        }
    }
    if (hr != S_FALSE || !rootSeen || current)
        return enXmlLoadError::NotWellFormed;
    return enXmlLoadError::None;
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
        std::vector<char> bytes;
        result = ReadFileBytes(path, bytes);
        if (result != enXmlLoadError::None)
            return false;

        // Everything is read into a separate node first: a failure part way
        // leaves this node as it was.
        enXml read;
        std::wstring rootName;
        {
            MemoryStream stream(bytes.data(), bytes.size());
            ComRef<IXmlReader> reader;
            if (!CreateReader(reader)) {
                result = enXmlLoadError::ParserUnavailable;
                return false;
            }
            if (FAILED(reader->SetInput(static_cast<IStream*>(&stream)))) {
                result = enXmlLoadError::ParserUnavailable;
                return false;
            }
            result = ReadDocument(reader.Get(), read, rootName);
            reader->SetInput(nullptr);
        }
        if (result != enXmlLoadError::None)
            return false;

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
