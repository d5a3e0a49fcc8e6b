#include "fw/win/registry.h"

#include <cstring>
#include <utility>

namespace {

constexpr REGSAM kWowMask = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

// RegDeleteKeyExW is needed only for the WOW64 views; looked up at run time so
// that the program still starts where advapi32 lacks it.
LONG DeleteKeyIn(HKEY parent, const wchar_t* subKey, REGSAM wow) {
    if (wow) {
        using Fn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
        HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
        Fn fn = advapi ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")))
                       : nullptr;
        if (fn) return fn(parent, subKey, wow, 0);
    }
    return RegDeleteKeyW(parent, subKey);
}

LONG QueryRaw(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
    data.clear();
    if (!key) return ERROR_INVALID_HANDLE;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        // Two spare bytes so that string data can always be terminated.
        data.resize(static_cast<std::size_t>(size) + 2);
        DWORD got = size;
        rc = RegQueryValueExW(key, name, nullptr, &type, data.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;  // the value grew in between
        if (rc != ERROR_SUCCESS) {
            data.clear();
            return rc;
        }
        data.resize(got);
        return ERROR_SUCCESS;
    }
    data.clear();
    return ERROR_MORE_DATA;
}

std::wstring UnitsOf(const std::vector<BYTE>& data) {
    std::wstring s(data.size() / 2, L'\0');
    if (!s.empty()) std::memcpy(&s[0], data.data(), s.size() * sizeof(wchar_t));
    return s;
}

}  // namespace

CRegKey::CRegKey(CRegKey&& other) noexcept : m_hKey(other.m_hKey), m_wow(other.m_wow) {
    other.m_hKey = nullptr;
}

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_hKey = std::exchange(other.m_hKey, nullptr);
        m_wow = other.m_wow;
    }
    return *this;
}

LONG CRegKey::Open(HKEY parent, const wchar_t* subKey, REGSAM access) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(parent, subKey, 0, access, &key);
    if (rc == ERROR_SUCCESS) {
        Close();
        m_hKey = key;
        m_wow = access & kWowMask;
    }
    return rc;
}

LONG CRegKey::Create(HKEY parent, const wchar_t* subKey, REGSAM access, bool* created, DWORD options) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(parent, subKey, 0, nullptr, options, access, nullptr, &key, &disposition);
    if (rc == ERROR_SUCCESS) {
        Close();
        m_hKey = key;
        m_wow = access & kWowMask;
    }
    if (created) *created = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return rc;
}

LONG CRegKey::Close() {
    LONG rc = ERROR_SUCCESS;
    if (m_hKey) rc = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    m_wow = 0;
    return rc;
}

void CRegKey::Attach(HKEY key) {
    Close();
    m_hKey = key;
}

HKEY CRegKey::Detach() {
    m_wow = 0;
    return std::exchange(m_hKey, nullptr);
}

LONG CRegKey::QueryValue(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) const {
    return QueryRaw(m_hKey, name, type, data);
}

LONG CRegKey::SetValue(const wchar_t* name, DWORD type, const void* data, std::size_t size) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    if (size > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(m_hKey, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

LONG CRegKey::QueryStringValue(const wchar_t* name, std::wstring& value) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG rc = QueryRaw(m_hKey, name, type, data);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    std::wstring s = UnitsOf(data);
    std::size_t nul = s.find(L'\0');
    if (nul != std::wstring::npos) s.resize(nul);
    value = std::move(s);
    return ERROR_SUCCESS;
}

LONG CRegKey::SetStringValue(const wchar_t* name, std::wstring_view value, DWORD type) {
    std::wstring s(value);
    return SetValue(name, type, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
}

LONG CRegKey::QueryDWORDValue(const wchar_t* name, DWORD& value) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG rc = QueryRaw(m_hKey, name, type, data);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || data.size() != sizeof(DWORD)) return ERROR_INVALID_DATA;
    std::memcpy(&value, data.data(), sizeof(DWORD));
    return ERROR_SUCCESS;
}

LONG CRegKey::SetDWORDValue(const wchar_t* name, DWORD value) {
    return SetValue(name, REG_DWORD, &value, sizeof value);
}

LONG CRegKey::QueryBinaryValue(const wchar_t* name, std::vector<BYTE>& value) const {
    DWORD type = 0;
    return QueryRaw(m_hKey, name, type, value);
}

LONG CRegKey::SetBinaryValue(const wchar_t* name, const void* data, std::size_t size) {
    return SetValue(name, REG_BINARY, data, size);
}

LONG CRegKey::QueryMultiStringValue(const wchar_t* name, std::vector<std::wstring>& value) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG rc = QueryRaw(m_hKey, name, type, data);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
    std::wstring all = UnitsOf(data);
    value.clear();
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos) end = all.size();
        if (end == start) break;  // the empty string that ends the list
        value.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

LONG CRegKey::SetMultiStringValue(const wchar_t* name, const std::vector<std::wstring>& value) {
    std::wstring all;
    for (const std::wstring& s : value) {
        if (s.empty() || s.find(L'\0') != std::wstring::npos) return ERROR_INVALID_PARAMETER;
        all += s;
        all.push_back(L'\0');
    }
    all.push_back(L'\0');
    return SetValue(name, REG_MULTI_SZ, all.data(), all.size() * sizeof(wchar_t));
}

LONG CRegKey::EnumKey(DWORD index, std::wstring& name) const {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    wchar_t buf[256];  // key names are at most 255 characters
    DWORD len = 256;
    LONG rc = RegEnumKeyExW(m_hKey, index, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) name.assign(buf, len);
    return rc;
}

LONG CRegKey::EnumValue(DWORD index, std::wstring& name, DWORD* type) const {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    DWORD maxLen = 0;
    LONG rc = RegQueryInfoKeyW(m_hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen,
                               nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    // Value names may be up to 16383 characters; grow if another writer added a longer one.
    std::vector<wchar_t> buf(static_cast<std::size_t>(maxLen) + 2);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD len = static_cast<DWORD>(buf.size());
        DWORD t = 0;
        rc = RegEnumValueW(m_hKey, index, buf.data(), &len, nullptr, &t, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            buf.resize(32768);
            continue;
        }
        if (rc == ERROR_SUCCESS) {
            name.assign(buf.data(), len);
            if (type) *type = t;
        }
        return rc;
    }
    return rc;
}

LONG CRegKey::GetSubKeyNames(std::vector<std::wstring>& names) const {
    names.clear();
    std::wstring name;
    for (DWORD i = 0;; ++i) {
        LONG rc = EnumKey(i, name);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.push_back(name);
    }
}

LONG CRegKey::GetValueNames(std::vector<std::wstring>& names) const {
    names.clear();
    std::wstring name;
    for (DWORD i = 0;; ++i) {
        LONG rc = EnumValue(i, name);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.push_back(name);
    }
}

bool CRegKey::ValueExists(const wchar_t* name) const {
    return m_hKey && RegQueryValueExW(m_hKey, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LONG CRegKey::DeleteValue(const wchar_t* name) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return RegDeleteValueW(m_hKey, name);
}

LONG CRegKey::DeleteSubKey(const wchar_t* subKey) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return DeleteKeyIn(m_hKey, subKey, m_wow);
}

LONG CRegKey::RecurseDeleteKey(const wchar_t* subKey) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return DeleteTree(m_hKey, subKey, m_wow);
}

LONG CRegKey::DeleteTree(HKEY parent, const wchar_t* subKey, REGSAM wowFlags) {
    if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;  // never the parent itself
    wowFlags &= kWowMask;
    CRegKey key;
    LONG rc = key.Open(parent, subKey, KEY_READ | KEY_WRITE | DELETE | wowFlags);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    // Collect the names first: deleting while enumerating shifts the indices.
    std::vector<std::wstring> children;
    rc = key.GetSubKeyNames(children);
    if (rc != ERROR_SUCCESS) return rc;
    for (const std::wstring& child : children) {
        rc = DeleteTree(key, child.c_str(), wowFlags);
        if (rc != ERROR_SUCCESS) return rc;
    }
    key.Close();
    rc = DeleteKeyIn(parent, subKey, wowFlags);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

bool CRegKey::KeyExists(HKEY parent, const wchar_t* subKey, REGSAM wowFlags) {
    CRegKey key;
    return key.Open(parent, subKey, KEY_READ | (wowFlags & kWowMask)) == ERROR_SUCCESS;
}
