#include "klarwin/system_report.h"

#include <wincrypt.h>
#include <psapi.h>

#include <map>

#include "fw/strutil.h"
#include "klarwin/report_text.h"

namespace {

class CHashMd5 {
public:
    CHashMd5() {
        if (CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
            !CryptCreateHash(m_provider, CALG_MD5, 0, 0, &m_hash))
            m_hash = 0;
    }
    ~CHashMd5() {
        if (m_hash) CryptDestroyHash(m_hash);
        if (m_provider) CryptReleaseContext(m_provider, 0);
    }
    CHashMd5(const CHashMd5&) = delete;
    CHashMd5& operator=(const CHashMd5&) = delete;

    bool Add(const void* data, std::size_t size) {
        const BYTE* p = static_cast<const BYTE*>(data);
        while (m_hash && size > 0) {
            DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
            if (!CryptHashData(m_hash, p, piece, 0)) return false;
            p += piece;
            size -= piece;
        }
        return m_hash != 0;
    }
    std::wstring Finish() {
        BYTE digest[16];
        DWORD length = sizeof digest;
        if (!m_hash || !CryptGetHashParam(m_hash, HP_HASHVAL, digest, &length, 0) || length != 16)
            return std::wstring();
        std::wstring out;
        for (BYTE b : digest) fw::AppendFormat(out, L"%02x", static_cast<unsigned>(b));
        return out;
    }

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTHASH m_hash = 0;
};

// Reads one value as text: at most 1024 bytes of data into a zero-filled
// buffer, whatever its type, up to the first NUL. False when the name or the
// data is over its limit or the value cannot be read.
bool EnumTextValue(HKEY key, DWORD index, std::wstring& name, std::wstring& data) {
    wchar_t nameBuffer[256];
    DWORD nameLength = 256;
    BYTE buffer[1024 + sizeof(wchar_t)] = {};
    DWORD size = 1024;
    LONG r = RegEnumValueW(key, index, nameBuffer, &nameLength, nullptr, nullptr, buffer, &size);
    if (r != ERROR_SUCCESS) return false;
    name.assign(nameBuffer, nameLength);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buffer);
    data.assign(text, wcsnlen(text, 512));
    return true;
}

std::vector<SystemReportData::RunEntry> ReadRunEntries(HKEY root) {
    std::vector<SystemReportData::RunEntry> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return entries;
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    for (DWORD i = 0; i < count; ++i) {
        SystemReportData::RunEntry e;
        if (EnumTextValue(key, i, e.Name, e.Data)) entries.push_back(std::move(e));
    }
    RegCloseKey(key);
    return entries;
}

}  // namespace

std::wstring CMD5::OfBytes(const void* data, std::size_t size) {
    CHashMd5 md5;
    if (!md5.Add(data, size)) return std::wstring();
    return md5.Finish();
}

std::wstring CMD5::OfFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    CHashMd5 md5;
    std::vector<BYTE> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0) break;
        if (!md5.Add(buffer.data(), read)) {
            ok = false;
            break;
        }
    }
    CloseHandle(file);
    return ok ? md5.Finish() : std::wstring();
}

void AppendStartupItems(HKEY root, CRegistryItemListEx& items) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    for (DWORD i = 0; i < count; ++i) {
        CRegistryItem item;
        if (!EnumTextValue(key, i, item.ValueName, item.ValueData)) continue;
        item.ValueType = kValueTypeNone;
        item.RootKey = reinterpret_cast<RootKeyHandle>(root);
        item.RootName = RootNameFromKey(item.RootKey);
        item.SubKey = kRunKeyPath;
        items.Add(std::move(item));
    }
    RegCloseKey(key);
}

CRegistryItemListEx GetStartupItems() {
    CRegistryItemListEx items;
    AppendStartupItems(HKEY_CURRENT_USER, items);
    AppendStartupItems(HKEY_LOCAL_MACHINE, items);
    return items;
}

std::vector<std::wstring> GetRunningProcessPaths() {
    // The list is asked for again with more room until it fits: no process
    // is dropped however many run.
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        DWORD room = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!EnumProcesses(ids.data(), room, &bytes)) return {};
        if (bytes < room || ids.size() >= (1u << 20)) break;
        ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));

    std::vector<std::wstring> paths;
    std::vector<wchar_t> name(32768);
    for (DWORD id : ids) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        if (!process) continue;
        HMODULE module = nullptr;
        DWORD needed = 0;
        DWORD length = 0;
        if (EnumProcessModules(process, &module, sizeof module, &needed))
            length = GetModuleFileNameExW(process, module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            DWORD size = static_cast<DWORD>(name.size());
            if (QueryFullProcessImageNameW(process, 0, name.data(), &size)) length = size;
        }
        CloseHandle(process);
        if (length > 0) paths.emplace_back(name.data(), length);
    }
    return paths;
}

SystemReportData GatherSystemReport() {
    SystemReportData data;
    data.MachineRun = ReadRunEntries(HKEY_LOCAL_MACHINE);
    data.UserRun = ReadRunEntries(HKEY_CURRENT_USER);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBrowserHelpersPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            LONG r = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r == ERROR_SUCCESS) data.BrowserHelpers.emplace_back(name, length);
            else if (r != ERROR_MORE_DATA) break;
        }
        RegCloseKey(key);
    }
    // A program running several times is read once.
    std::map<std::wstring, std::pair<long long, std::wstring>> files;
    for (std::wstring& path : GetRunningProcessPaths()) {
        auto found = files.find(path);
        if (found == files.end()) {
            long long size = -1;
            WIN32_FILE_ATTRIBUTE_DATA attributes;
            if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
                size = (static_cast<long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
            found = files.emplace(path, std::make_pair(size, CMD5::OfFile(path))).first;
        }
        SystemReportData::Process p;
        p.Path = std::move(path);
        p.Size = found->second.first;
        p.Digest = found->second.second;
        data.Processes.push_back(std::move(p));
    }
    return data;
}

void FormatSystemReport(const SystemReportData& data, std::wstring& text, std::wstring& html) {
    text.clear();
    html.clear();
    text += L"\r\nRunning Processes\r\n";
    html += L"\r\n<b>Running Processes</b>\r\n";
    for (const SystemReportData::Process& p : data.Processes) {
        text += p.Path + L"\r\n";
        AppendHtmlEscaped(html, p.Path);
        html += fw::Format(L", %lld, %s\r\n", p.Size < 0 ? 0LL : p.Size,
                           p.Digest.empty() ? L"N/A" : p.Digest.c_str());
    }
    auto runSection = [&](const wchar_t* textTitle, const wchar_t* htmlTitle,
                          const std::vector<SystemReportData::RunEntry>& entries) {
        text += L"\r\n";
        text += textTitle;
        html += L"\r\n";
        html += htmlTitle;
        for (const SystemReportData::RunEntry& e : entries) {
            text += L"ValueName= [" + e.Name + L"], " + e.Data + L"\r\n";
            html += L"<b>[";
            AppendHtmlEscaped(html, e.Name);
            html += L"]</b>, ";
            AppendHtmlEscaped(html, e.Data);
            html += L"\r\n";
        }
    };
    runSection(L"HKEY_LOCAL_MACHINE\r\n", L"<b>Startup registry items (LOCAL MACHINE)</b>\r\n", data.MachineRun);
    runSection(L"HKEY_CURRENT_USER\r\n", L"<b>Startup registry items (CURRENT USER)</b>\r\n", data.UserRun);
    text += L"\r\nBHO Items\r\n";
    html += L"\r\n<b>BHO Items</b>\r\n";
    for (const std::wstring& b : data.BrowserHelpers) {
        text += b + L"\r\n";
        AppendHtmlEscaped(html, b);
        html += L"\r\n";
    }
}

void BuildSystemReport(std::wstring& text, std::wstring& html) {
    FormatSystemReport(GatherSystemReport(), text, html);
}
