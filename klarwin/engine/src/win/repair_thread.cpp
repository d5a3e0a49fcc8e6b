#include "klarwin/repair_thread.h"

#include <filesystem>

#include "fw/strutil.h"
#include "fw/win/com.h"
#include "klarwin/backup_files.h"
#include "klarwin/record_format.h"

std::wstring RepairItemText(const CError& error) {
    switch (error.ErrorType) {
        case kErrorFile: return error.FilePath;
        case kErrorValue:
            return error.Item.RootName + L"\\" + error.Item.SubKey + L"\\" + error.Item.ValueName;
        case kErrorKey: return error.Item.RootName + L"\\" + error.Item.SubKey;
        default: return std::wstring();
    }
}

bool IsProtectedError(const CError& error) {
    if (error.Protected) return true;
    const ScanSectionInfo* info = GetScanSectionInfo(error.Section);
    return info && info->Protected;
}

CRepairErrorsThread::CRepairErrorsThread(const RepairSetup& setup, int count) : m_count(count), m_setup(setup) {
    m_bAutoDelete = FALSE;
    // The thread works on its own copy of the errors it is asked to repair.
    if (setup.errors) {
        int n = count < 0 ? 0 : (count < setup.errors->GetSize() ? count : setup.errors->GetSize());
        m_work.Reserve(n);
        for (int i = 0; i < n; ++i) m_work.Add((*setup.errors)[i]);
    }
}

CRepairErrorsThread::~CRepairErrorsThread() {
    if (IsRunning()) Stop();
}

bool CRepairErrorsThread::Start() {
    m_bAutoDelete = FALSE;
    m_running.store(true);
    if (CreateThread()) return true;
    m_running.store(false);
    return false;
}

void CRepairErrorsThread::Stop() {
    RequestStop();
    Wait(INFINITE);
}

std::wstring CRepairErrorsThread::GetBackupPath() const {
    return m_backupReady.load() ? m_backupPath : std::wstring();
}

void CRepairErrorsThread::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_setup.notifyWindow) PostMessageW(m_setup.notifyWindow, message, wParam, lParam);
}

void CRepairErrorsThread::PostText(UINT message, const std::wstring& text) {
    if (!m_setup.notifyWindow) return;
    BSTR s = CBstr::Alloc(text);
    if (!s) return;
    if (!PostMessageW(m_setup.notifyWindow, message, reinterpret_cast<WPARAM>(s), 0)) SysFreeString(s);
}

void CRepairErrorsThread::Pause(DWORD milliseconds) {
    DWORD total = static_cast<DWORD>(milliseconds * (m_setup.pacingScale < 0 ? 0 : m_setup.pacingScale));
    // In small steps, so that a stop request is seen soon.
    while (total > 0 && !m_stop.load()) {
        DWORD step = total < 50 ? total : 50;
        Sleep(step);
        total -= step;
    }
}

namespace {

bool ValueExists(HKEY root, const std::wstring& subKey, const std::wstring& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

bool KeyExists(HKEY root, const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

CRepairErrorsThread::Outcome CRepairErrorsThread::RepairOne(const CError& error) {
    const CRegistryItem& item = error.Item;
    HKEY root = reinterpret_cast<HKEY>(item.RootKey);
    if (error.ErrorType == kErrorFile) {
        if (!error.FilePath.empty()) DeleteFileW(error.FilePath.c_str());
        return Outcome::Repaired;
    }
    if (error.ErrorType != kErrorValue && error.ErrorType != kErrorKey) return Outcome::Repaired;

    // The backup line records what the registry holds now, so a restore puts
    // back exactly that, with its type. What is gone already needs nothing,
    // and nothing is recorded for it: a restore must not create it.
    CRegistryItem recorded = item;
    if (error.ErrorType == kErrorValue) {
        if (!ValueExists(root, item.SubKey, item.ValueName)) return Outcome::Repaired;
        // A value of a type a backup line cannot hold is left as it is.
        if (!ReadValueForBackup(root, item.SubKey, item.ValueName, recorded)) return Outcome::NotBackedUp;
    } else if (!KeyExists(root, item.SubKey)) {
        return Outcome::Repaired;
    }
    // Nothing is changed, nor hidden, that the backup does not hold.
    if (!AppendBackupLine(m_backupPath, error.ErrorType, recorded)) return Outcome::NotBackedUp;

    if (IsProtectedError(error)) {
        if (m_setup.ignoreList) m_setup.ignoreList->Add(item);
        return Outcome::Repaired;
    }
    // A deletion that fails (access denied, a key with subkeys) still counts:
    // the location was handled and is in the backup.
    if (error.ErrorType == kErrorValue) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, item.SubKey.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, item.ValueName.c_str());
            RegCloseKey(key);
        }
    } else {
        // Only a key without subkeys is removed.
        RegDeleteKeyW(root, item.SubKey.c_str());
    }
    return Outcome::Repaired;
}

int CRepairErrorsThread::Run() {
    m_backupPath = CreateBackupFile(m_setup.backupFolder);
    m_backupReady.store(true);
    Post(WM_REPAIR_START, static_cast<WPARAM>(m_count < 0 ? 0 : m_count), 0);

    // The work list holds the first `count` errors (fewer when the list is shorter).
    const int total = static_cast<int>(m_work.GetSize());
    if (m_backupPath.empty()) {
        // Without a backup nothing could be undone: nothing is repaired.
        m_notBackedUp.store(total);
    } else {
        for (int i = 0; i < total && !m_stop.load(); ++i) {
            const CError& error = m_work[i];
            PostText(WM_REPAIR_ITEM, RepairItemText(error));
            const Outcome outcome = RepairOne(error);
            if (outcome == Outcome::NotBackedUp) m_notBackedUp.fetch_add(1);
            if (outcome == Outcome::Repaired && m_setup.counters && error.Section >= 0 &&
                error.Section < kSectionCount)
                ++(*m_setup.counters)[error.Section].Repaired;
            m_processed.store(i + 1);
            Post(WM_REPAIR_PROGRESS, static_cast<WPARAM>(i + 1), 0);
            Pause(1000);
        }
    }

    if (m_setup.ignoreList && !m_setup.ignoreFile.empty()) {
        std::filesystem::path file(m_setup.ignoreFile);
        EnsureFolder(file.parent_path().wstring());
        SaveIgnoreFile(file, *m_setup.ignoreList);
    }
    Pause(1000);
    m_running.store(false);
    Post(WM_REPAIR_DONE, static_cast<WPARAM>(m_notBackedUp.load()), m_stop.load() ? 1 : 0);
    return 1;
}
