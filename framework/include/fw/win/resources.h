// Loading resources from the resource module (AfxGetResourceHandle(), which is
// the program itself unless a language library was made the resource module),
// or from the module given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fw {

// The string table entry, or an empty string when there is none.
std::wstring LoadResourceString(UINT id, HINSTANCE module = nullptr);
// The same, telling a missing entry (false) from an empty one.
bool TryLoadResourceString(UINT id, std::wstring& text, HINSTANCE module = nullptr);

// An icon of the given size (0: the system's large icon size). The icon is
// shared by the system: never destroy it.
HICON LoadResourceIcon(UINT id, int size = 0, HINSTANCE module = nullptr);

// A menu (destroy it, or let the window it is set on destroy it) and an
// accelerator table (freed with the module). Null when missing.
HMENU LoadResourceMenu(UINT id, HINSTANCE module = nullptr);
HACCEL LoadResourceAccelerators(UINT id, HINSTANCE module = nullptr);

// The bytes of a raw resource (valid as long as the module stays loaded).
struct ResourceData {
    const void* data = nullptr;
    DWORD size = 0;
    explicit operator bool() const { return data != nullptr; }
};
ResourceData FindResourceData(const wchar_t* name, const wchar_t* type, HINSTANCE module = nullptr);
// A copy of them; false when the resource is missing.
bool LoadResourceData(const wchar_t* name, const wchar_t* type, std::vector<BYTE>& bytes, HINSTANCE module = nullptr);

}  // namespace fw
