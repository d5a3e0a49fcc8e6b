#include "message_bus.h"

#include "fw/strutil.h"
#include "module_registry.h"

#include <ctime>

namespace {

struct Lock {
    explicit Lock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~Lock() { LeaveCriticalSection(&m_cs); }
    CRITICAL_SECTION& m_cs;
};

const wchar_t* ResultLine(std::int32_t result) {
    switch (result) {
    case MESSAGE_OK: return L"Result: MESSAGE_OK\n";
    case MESSAGE_RECIPIER_NOT_FOUND: return L"Result: MESSAGE_RECIPIER_NOT_FOUND\n";
    case MESSAGE_SENDER_NOT_FOUND: return L"Result: MESSAGE_SENDER_NOT_FOUND\n";
    case MESSAGE_RECIPIER_ERROR: return L"Result: MESSAGE_RECIPIER_ERROR\n";
    case MESSAGE_INTERNAL_ERROR: return L"Result: MESSAGE_INTERNAL_ERROR\n";
    default: return L"";
    }
}

std::wstring LocalClock(std::int64_t seconds) {
    // Seconds since 1970 to a FILETIME (100 ns since 1601), then local time of that day.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME ft = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc = {}, local = {};
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    return fw::Format(L"%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
}

}  // namespace

CMessageBus::CMessageBus(const CModuleRegistry& registry) : m_registry(registry) { InitializeCriticalSection(&m_lock); }

CMessageBus::~CMessageBus() { DeleteCriticalSection(&m_lock); }

int CMessageBus::Send(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) {
    auto item = std::make_unique<_MESSAGE_QUERY_ITEM_>();
    item->Time = static_cast<std::int64_t>(std::time(nullptr));
    item->Recipient = recipient ? recipient : L"";
    item->Sender = sender ? sender : L"";
    item->Message = message ? message : L"";
    _MESSAGE_QUERY_ITEM_* record = item.get();
    {
        Lock lock(m_lock);
        m_items.push_back(std::move(item));
    }
    auto finish = [&](int result) {
        Lock lock(m_lock);
        record->Result = result;
        return result;
    };

    const CModuleEntry* to = nullptr;
    const CModuleEntry* from = nullptr;
    for (const CModuleEntry* e : m_registry.Entries()) {
        if (!e->Info.Name) continue;
        if (fw::EqualsNoCase(e->Info.Name, record->Recipient)) to = e;
        if (fw::EqualsNoCase(e->Info.Name, record->Sender)) from = e;
    }
    const bool toReserved = fw::EqualsNoCase(record->Recipient, ORVO_ALL_MODULES_NAME) ||
                            fw::EqualsNoCase(record->Recipient, ORVO_MAIN_FRAME_NAME);
    if (!to && !toReserved) return finish(MESSAGE_RECIPIER_NOT_FOUND);
    if (!from && !fw::EqualsNoCase(record->Sender, ORVO_MAIN_FRAME_NAME)) return finish(MESSAGE_SENDER_NOT_FOUND);
    // A reserved recipient is no module: nothing is delivered.
    if (!to || !to->OrvoPassMessage) return finish(MESSAGE_RECIPIER_ERROR);
    int handled = to->OrvoPassMessage(to->Window, record->Sender.c_str(), record->Message.c_str());
    return finish(handled != 0 ? MESSAGE_OK : MESSAGE_RECIPIER_ERROR);
}

std::size_t CMessageBus::GetItemCount() const {
    Lock lock(m_lock);
    return m_items.size();
}

_MESSAGE_QUERY_ITEM_ CMessageBus::GetItem(std::size_t i) const {
    Lock lock(m_lock);
    return i < m_items.size() ? *m_items[i] : _MESSAGE_QUERY_ITEM_();
}

std::wstring CMessageBus::LogPathFor(const std::wstring& programPath) {
    std::size_t dot = programPath.rfind(L'.');
    if (dot == std::wstring::npos) return std::wstring();
    return programPath.substr(0, dot) + L".log";
}

bool CMessageBus::WriteLog(const std::wstring& logPath) const {
    if (logPath.empty()) return false;
    std::wstring text;
    {
        Lock lock(m_lock);
        for (const auto& item : m_items) {
            text += L"Time: " + LocalClock(item->Time) + L"\n";
            text += L"Recipient: " + item->Recipient + L"\n";
            text += L"Sender: " + item->Sender + L"\n";
            text += L"Message: " + item->Message + L"\n";
            text += ResultLine(item->Result);
            text += L"\n";
        }
    }
    std::string bytes = fw::ToUtf8(text);
    HANDLE h = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

void CMessageBus::WriteModulesOrder(const std::wstring& configPath) const {
    const wchar_t* section = L"MODULES_ORDER";
    const wchar_t* none = L"none__none";
    auto read = [&](const std::wstring& key) {
        wchar_t buffer[64] = {};
        GetPrivateProfileStringW(section, key.c_str(), none, buffer, 64, configPath.c_str());
        return std::wstring(buffer);
    };
    for (int i = 1; read(L"_" + std::to_wstring(i)) != none; ++i)
        WritePrivateProfileStringW(section, (L"_" + std::to_wstring(i)).c_str(), L"", configPath.c_str());
    int i = 0;
    for (const CModuleEntry* e : m_registry.Entries())
        WritePrivateProfileStringW(section, (L"_" + std::to_wstring(++i)).c_str(), e->Name(), configPath.c_str());
}
