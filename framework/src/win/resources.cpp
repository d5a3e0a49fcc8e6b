#include "fw/win/resources.h"

#include "fw/win/app.h"
#include "fw/win/module.h"

#include <cstring>

namespace fw {

namespace {
HINSTANCE Module(HINSTANCE module) { return module ? module : AfxGetResourceHandle(); }
}  // namespace

bool TryLoadResourceString(UINT id, std::wstring& text, HINSTANCE module) {
    text.clear();
    // A string table block holds 16 counted strings; id / 16 + 1 names the block.
    HINSTANCE m = Module(module);
    HRSRC block = FindResourceW(m, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6) /* RT_STRING */);
    if (!block) return false;
    HGLOBAL loaded = LoadResource(m, block);
    const auto* p = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    DWORD bytes = SizeofResource(m, block);
    if (!p) return false;
    const WCHAR* end = p + bytes / sizeof(WCHAR);
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end) return false;
        p += 1 + *p;
    }
    if (p >= end) return false;
    UINT len = *p;
    if (len == 0 || p + 1 + len > end) return false;
    text.assign(reinterpret_cast<const wchar_t*>(p + 1), len);
    return true;
}

std::wstring LoadResourceString(UINT id, HINSTANCE module) {
    std::wstring text;
    TryLoadResourceString(id, text, module);
    return text;
}

HICON LoadResourceIcon(UINT id, int size, HINSTANCE module) {
    UINT flags = LR_SHARED | (size == 0 ? LR_DEFAULTSIZE : 0);
    return static_cast<HICON>(LoadImageW(Module(module), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, flags));
}

HMENU LoadResourceMenu(UINT id, HINSTANCE module) { return LoadMenuW(Module(module), MAKEINTRESOURCEW(id)); }

HACCEL LoadResourceAccelerators(UINT id, HINSTANCE module) {
    return LoadAcceleratorsW(Module(module), MAKEINTRESOURCEW(id));
}

ResourceData FindResourceData(const wchar_t* name, const wchar_t* type, HINSTANCE module) {
    ResourceData result;
    HINSTANCE m = Module(module);
    HRSRC found = FindResourceW(m, name, type);
    if (!found) return result;
    HGLOBAL loaded = LoadResource(m, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return result;
    result.data = data;
    result.size = SizeofResource(m, found);
    return result;
}

bool LoadResourceData(const wchar_t* name, const wchar_t* type, std::vector<BYTE>& bytes, HINSTANCE module) {
    bytes.clear();
    ResourceData found = FindResourceData(name, type, module);
    if (!found) return false;
    bytes.resize(found.size);
    if (found.size) std::memcpy(bytes.data(), found.data, found.size);
    return true;
}

// ---------------------------------------------------------------------------
// Paths

std::wstring GetModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);  // cut off: try a larger buffer
    }
}

std::wstring GetModuleFolder(HMODULE module) { return GetFolderPart(GetModulePath(module)); }

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    if (folder.empty()) return std::wstring(name);
    if (name.empty()) return std::wstring(folder);
    while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
    while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
    std::wstring out(folder);
    out.push_back(L'\\');
    out.append(name);
    return out;
}

std::wstring GetFolderPart(std::wstring_view path) {
    std::size_t pos = path.find_last_of(L"\\/");
    return pos == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, pos));
}

std::wstring GetFileNamePart(std::wstring_view path) {
    std::size_t pos = path.find_last_of(L"\\/");
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(pos + 1));
}

std::wstring GetFileTitle(std::wstring_view path) {
    std::wstring name = GetFileNamePart(path);
    std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace fw
