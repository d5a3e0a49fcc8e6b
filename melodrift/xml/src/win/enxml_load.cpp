// Reading a file: its bytes are read whole and handed to the reader of the core
// library (enXml::LoadFromBuffer; a UTF-16LE document as it lies, LoadFromText). A document in an ASCII-based code page that
// the core does not decode itself (its declaration names it) is converted to
// UTF-16 by the system first.
// The path is opened as a file name, never taken for a URL ("#" or "%" in a
// file name), and a directory or a wildcard pattern is refused.
#include "xml/enxml.h"

#include <windows.h>

#include <new>
#include <string>
#include <string_view>

#include "../text_buffer.h"

static_assert(sizeof(wchar_t) == 2, "Windows keeps UTF-16 code units in wchar_t");

namespace {

// Files above this size are refused: a 32-bit process holds the bytes, their
// UTF-16 form and the tree at once.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

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

// The whole file. It is read into 16-bit units, so that a UTF-16LE document
// (what the writer makes) is read where it lies, without a copy.
enXmlLoadError ReadFileUnits(const std::wstring& path, std::wstring& units, std::string_view& bytes) {
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
    units.resize((count + 1) / 2);
    char* data = reinterpret_cast<char*>(units.data());
    DWORD done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), data + done, count - done, &got, nullptr) || got == 0)
            return enXmlLoadError::ReadFailed;  // the file shrank or the read failed: not the whole document
        done += got;
    }
    bytes = std::string_view(data, count);
    return enXmlLoadError::None;
}

// The Windows code page of an encoding name a declaration may give; 0 for one
// the system is not asked about.
UINT CodePageOf(std::string_view name) {
    static const struct {
        const char* name;
        UINT codePage;
    } kNames[] = {
        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
        {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
        {"windows-1258", 1258}, {"windows-874", 874},   {"cp1250", 1250},       {"cp1251", 1251},
        {"cp1252", 1252},       {"iso-8859-2", 28592},  {"iso-8859-3", 28593},  {"iso-8859-4", 28594},
        {"iso-8859-5", 28595},  {"iso-8859-6", 28596},  {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
        {"iso-8859-9", 28599},  {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"koi8-r", 20866},
        {"koi8-u", 21866},      {"ibm866", 866},        {"cp866", 866},         {"shift_jis", 932},
        {"gb2312", 936},        {"gbk", 936},           {"big5", 950},          {"euc-kr", 51949},
        {"euc-jp", 51932},
    };
    for (const auto& entry : kNames) {
        const std::string_view known = entry.name;
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < known.size() && same; ++i) {
            const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
            same = c == known[i];
        }
        if (same)
            return entry.codePage;
    }
    return 0;
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
        mdxml::TextBuffer buffer;  // the file's bytes, as 16-bit units
        std::wstring& units = buffer.units;
        std::string_view bytes;
        result = ReadFileUnits(path, units, bytes);
        if (result != enXmlLoadError::None)
            return false;
        std::string encoding;
        switch (mdxml::DetectEncoding(bytes, &encoding)) {
        case mdxml::TextEncoding::Utf16LE:
            if (bytes.size() % 2 != 0) {
                result = enXmlLoadError::NotWellFormed;
                return false;
            }
            return LoadFromText(units, error);  // wchar_t is UTF-16LE here
        case mdxml::TextEncoding::Other:
            break;
        default:
            return LoadFromBuffer(bytes, error);
        }

        const UINT codePage = CodePageOf(encoding);
        const int count = static_cast<int>(bytes.size());
        const int length =
            codePage ? MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), count, nullptr, 0) : 0;
        if (length <= 0) {
            result = enXmlLoadError::NotWellFormed;  // an encoding this system cannot read, or bytes not in it
            return false;
        }
        std::wstring text(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), count, text.data(), length);
        return LoadFromText(text, error);
    } catch (const std::bad_alloc&) {
        result = enXmlLoadError::TooLarge;
        return false;
    }
}
