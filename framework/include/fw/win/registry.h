// CRegKey: an open registry key that closes itself. Every operation answers
// with the system's result code (ERROR_SUCCESS when it worked) and never
// throws; string values come and go as std::wstring.
//
//   CRegKey key;
//   if (key.Create(HKEY_CURRENT_USER, L"Software\\Klarwin") == ERROR_SUCCESS)
//       key.SetStringValue(L"StartWithWindows", L"true");
//
// The access mask given to Open/Create may carry KEY_WOW64_64KEY or
// KEY_WOW64_32KEY; the key remembers it for the deletions it does.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CRegKey {
public:
    CRegKey() noexcept = default;
    explicit CRegKey(HKEY key) noexcept : m_hKey(key) {}
    ~CRegKey() { Close(); }
    CRegKey(CRegKey&& other) noexcept;
    CRegKey& operator=(CRegKey&& other) noexcept;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access = KEY_READ | KEY_WRITE);
    // Opens the key, creating it (and missing parents) when needed. `created`
    // (when given) tells whether it was new.
    LONG Create(HKEY parent, const wchar_t* subKey, REGSAM access = KEY_READ | KEY_WRITE, bool* created = nullptr,
                DWORD options = REG_OPTION_NON_VOLATILE);
    LONG Close();

    bool IsOpen() const { return m_hKey != nullptr; }
    operator HKEY() const { return m_hKey; }
    void Attach(HKEY key);
    HKEY Detach();

    // String values. Query accepts REG_SZ and REG_EXPAND_SZ (not expanded) and
    // copes with data that lacks its terminator or has an odd byte count; the
    // text ends at the first NUL. A value of another type gives ERROR_INVALID_DATA.
    LONG QueryStringValue(const wchar_t* name, std::wstring& value) const;
    LONG SetStringValue(const wchar_t* name, std::wstring_view value, DWORD type = REG_SZ);

    // REG_DWORD values (exactly four bytes; anything else is ERROR_INVALID_DATA).
    LONG QueryDWORDValue(const wchar_t* name, DWORD& value) const;
    LONG SetDWORDValue(const wchar_t* name, DWORD value);

    // REG_BINARY values (Query accepts data of any type and returns its bytes).
    LONG QueryBinaryValue(const wchar_t* name, std::vector<BYTE>& value) const;
    LONG SetBinaryValue(const wchar_t* name, const void* data, std::size_t size);

    // REG_MULTI_SZ values as a list of strings.
    LONG QueryMultiStringValue(const wchar_t* name, std::vector<std::wstring>& value) const;
    LONG SetMultiStringValue(const wchar_t* name, const std::vector<std::wstring>& value);

    // Any value as its type and raw bytes, and back.
    LONG QueryValue(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) const;
    LONG SetValue(const wchar_t* name, DWORD type, const void* data, std::size_t size);

    // Enumeration by index (ERROR_NO_MORE_ITEMS after the last).
    LONG EnumKey(DWORD index, std::wstring& name) const;
    LONG EnumValue(DWORD index, std::wstring& name, DWORD* type = nullptr) const;
    // All names at once.
    LONG GetSubKeyNames(std::vector<std::wstring>& names) const;
    LONG GetValueNames(std::vector<std::wstring>& names) const;

    bool ValueExists(const wchar_t* name) const;

    LONG DeleteValue(const wchar_t* name);
    // Deletes a sub-key that has no sub-keys of its own.
    LONG DeleteSubKey(const wchar_t* subKey);
    // Deletes a sub-key with everything below it.
    LONG RecurseDeleteKey(const wchar_t* subKey);

    // Deletes parent\subKey with everything below it; a missing key is success.
    static LONG DeleteTree(HKEY parent, const wchar_t* subKey, REGSAM wowFlags = 0);
    // True when parent\subKey can be opened for reading.
    static bool KeyExists(HKEY parent, const wchar_t* subKey, REGSAM wowFlags = 0);

    HKEY m_hKey = nullptr;

private:
    REGSAM m_wow = 0;  // KEY_WOW64_* bits of the access it was opened with
};
