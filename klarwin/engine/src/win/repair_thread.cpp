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

void CRepairErrorsThread::RepairOne(const CError& error) {
    const CRegistryItem& item = error.Item;
    HKEY root = reinterpret_cast<HKEY>(item.RootKey);
    if (error.ErrorType == kErrorFile) {
        if (!error.FilePath.empty()) DeleteFileW(error.FilePath.c_str());
        return;
    }
    if (error.ErrorType != kErrorValue && error.ErrorType != kErrorKey) return;

    // The backup line records what the registry holds now, so a restore puts
    // back exactly that, with its type.
    CRegistryItem recorded = item;
    bool valueExists = false;
    if (error.ErrorType == kErrorValue) valueExists = ReadValueForBackup(root, item.SubKey, item.ValueName, recorded);
    bool backedUp = AppendBackupLine(m_backupPath, error.ErrorType, recorded);

    if (IsProtectedError(error)) {
        if (m_setup.ignoreList) m_setup.ignoreList->Add(item);
        return;
    }
    // Nothing is removed that the backup does not hold.
    if (!backedUp) return;
    if (error.ErrorType == kErrorValue) {
        if (!valueExists) {
            // A value of a type the backup cannot hold is kept; a missing one
            // needs nothing.
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, item.SubKey.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, item.ValueName.c_str());
            RegCloseKey(key);
        }
    } else {
        // Only a key without subkeys is removed.
        RegDeleteKeyW(root, item.SubKey.c_str());
    }
}

int CRepairErrorsThread::Run() {
    m_backupPath = CreateBackupFile(m_setup.backupFolder);
    m_backupReady.store(true);
    Post(WM_REPAIR_START, static_cast<WPARAM>(m_count < 0 ? 0 : m_count), 0);

    for (int i = 0; i < m_count && i < m_work.GetSize() && !m_stop.load(); ++i) {
        const CError& error = m_work[i];
        PostText(WM_REPAIR_ITEM, RepairItemText(error));
        RepairOne(error);
        if (m_setup.counters && error.Section >= 0 && error.Section < kSectionCount)
            ++(*m_setup.counters)[error.Section].Repaired;
        m_processed.store(i + 1);
        Post(WM_REPAIR_PROGRESS, static_cast<WPARAM>(i + 1), 0);
        Pause(1000);
    }

    if (m_setup.ignoreList && !m_setup.ignoreFile.empty()) {
        std::filesystem::path file(m_setup.ignoreFile);
        EnsureFolder(file.parent_path().wstring());
        SaveIgnoreFile(file, *m_setup.ignoreList);
    }
    Pause(1000);
    m_running.store(false);
    Post(WM_REPAIR_DONE, 0, 0);
    return 1;
}
