#include "engine_test_support.h"

#include <algorithm>
#include <filesystem>

#include "fw/textfile.h"
#include "fw/win/registry.h"

namespace enginetest {

Recorder::Recorder() : MessageWindow(WM_SCAN_ERROR_FOUND, WM_BACKUP_FOUND) {}

void Recorder::Handle(UINT msg, WPARAM wParam, LPARAM /*lParam*/) {
    Message m{msg, wParam, {}};
    if (msg == WM_SCAN_PROGRESS_TEXT || msg == WM_REPAIR_ITEM || msg == WM_BACKUP_FOUND) {
        m.text = scantest::TakeBstr(wParam);
        m.wParam = 0;
    }
    if (msg != WM_SCAN_PROGRESS_TEXT) m_messages.push_back(m);
}

std::vector<Message> Recorder::Only(UINT message) const {
    std::vector<Message> out;
    for (const Message& m : m_messages)
        if (m.message == message) out.push_back(m);
    return out;
}

bool Recorder::PumpUntil(UINT message, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        for (const Message& m : m_messages)
            if (m.message == message) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Drain();
    }
}

EngineRun::EngineRun() : folder(std::filesystem::temp_directory_path().wstring()) {
    EngineOptions options;
    options.backupFolder = BackupFolder();
    options.dataFolder = DataFolder();
    options.reportsFolder = ReportsFolder();
    options.notifyWindow = recorder.Window();
    options.pacingScale = 0;
    engine = std::make_unique<CBriskoEngine>(options);
}

EngineRun::~EngineRun() { engine.reset(); }

bool EngineRun::Repair(int count) {
    if (!engine->StartRepair(count)) return false;
    return recorder.PumpUntilEnded(engine->GetRepairThread()->m_hThread);
}

bool EngineRun::Scan(std::initializer_list<int> sections) {
    bool enabled[kSectionCount] = {};
    for (int s : sections) enabled[s] = true;
    if (!engine->StartScan(enabled)) return false;
    return recorder.PumpUntilEnded(engine->GetScanThread()->m_hThread);
}

std::vector<std::wstring> EngineRun::BackupFiles() const {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(BackupFolder(), ec))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

SavedValue::SavedValue(HKEY root, std::wstring key, std::wstring name)
    : m_root(root), m_key(std::move(key)), m_name(std::move(name)) {
    CRegKey k;
    if (k.Open(m_root, m_key.c_str(), KEY_READ) == ERROR_SUCCESS)
        m_existed = k.QueryValue(m_name.c_str(), m_type, m_data) == ERROR_SUCCESS;
}

SavedValue::~SavedValue() {
    CRegKey k;
    if (m_existed) {
        if (k.Create(m_root, m_key.c_str(), KEY_WRITE) == ERROR_SUCCESS)
            k.SetValue(m_name.c_str(), m_type, m_data.data(), m_data.size());
    } else if (k.Open(m_root, m_key.c_str(), KEY_WRITE) == ERROR_SUCCESS) {
        k.DeleteValue(m_name.c_str());
    }
}

bool ReadValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& type, std::wstring& text,
               DWORD& number) {
    CRegKey k;
    if (k.Open(root, key.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    std::vector<BYTE> data;
    if (k.QueryValue(name.c_str(), type, data) != ERROR_SUCCESS) return false;
    text.clear();
    number = 0;
    if (type == REG_DWORD && data.size() == 4) memcpy(&number, data.data(), 4);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        text.assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
        if (!text.empty() && text.back() == L'\0') text.pop_back();
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ReadFileText(const std::wstring& path) {
    std::wstring text;
    fw::ReadUtf16Text(std::filesystem::path(path), text);
    return text;
}

}  // namespace enginetest
