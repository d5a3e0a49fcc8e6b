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
    m_outcomes.assign(static_cast<std::size_t>(m_work.GetSize()), Outcome::NotReached);
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

// Whether a registry location is there: a location that cannot be looked at
// (access denied) is neither there nor gone.
enum class Presence { Gone, Present, Unknown };

Presence PresenceOf(LONG rc) {
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) return Presence::Present;
    return rc == ERROR_FILE_NOT_FOUND ? Presence::Gone : Presence::Unknown;
}

Presence ValuePresence(HKEY root, const std::wstring& subKey, const std::wstring& valueName) {
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return PresenceOf(rc);
    const Presence found = PresenceOf(RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    return found;
}

Presence KeyPresence(HKEY root, const std::wstring& subKey) {
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) RegCloseKey(key);
    return PresenceOf(rc);
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
    const bool isProtected = IsProtectedError(error);
    const Presence presence = error.ErrorType == kErrorValue ? ValuePresence(root, item.SubKey, item.ValueName)
                                                             : KeyPresence(root, item.SubKey);
    if (presence == Presence::Gone) return Outcome::Repaired;
    // A value that cannot be read, or of a type a backup line cannot hold,
    // could not be put back: it is left as it is. Hiding a protected one
    // changes nothing in the registry (a restore deletes the ignore list).
    if (presence == Presence::Unknown ||
        (error.ErrorType == kErrorValue && !ReadValueForBackup(root, item.SubKey, item.ValueName, recorded))) {
        if (!isProtected) return Outcome::Unreadable;
        if (m_setup.ignoreList) m_setup.ignoreList->Add(item);
        return Outcome::Repaired;
    }
    // Nothing is changed, nor hidden, that the backup does not hold.
    if (!AppendBackupLine(m_backupPath, error.ErrorType, recorded)) return Outcome::NotBackedUp;

    if (isProtected) {
        if (m_setup.ignoreList) m_setup.ignoreList->Add(item);
        return Outcome::Repaired;
    }
    // A deletion that fails (access denied, a key with subkeys) leaves the
    // error where it was; a location gone meanwhile needs nothing.
    LONG rc;
    if (error.ErrorType == kErrorValue) {
        HKEY key = nullptr;
        rc = RegOpenKeyExW(root, item.SubKey.c_str(), 0, KEY_SET_VALUE, &key);
        if (rc == ERROR_SUCCESS) {
            rc = RegDeleteValueW(key, item.ValueName.c_str());
            RegCloseKey(key);
        }
    } else {
        // Only a key without subkeys is removed.
        rc = RegDeleteKeyW(root, item.SubKey.c_str());
    }
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? Outcome::Repaired : Outcome::NotDeleted;
}

RepairReport CRepairErrorsThread::GetReport() const {
    RepairReport report;
    report.workCount = static_cast<int>(m_work.GetSize());
    for (std::size_t i = 0; i < m_outcomes.size(); ++i) {
        switch (m_outcomes[i]) {
            case Outcome::Repaired: ++report.repaired; break;
            case Outcome::NotBackedUp: ++report.notBackedUp; break;
            case Outcome::Unreadable: report.unreadable.Add(RepairItemText(m_work[static_cast<int>(i)])); break;
            case Outcome::NotDeleted: report.notDeleted.Add(RepairItemText(m_work[static_cast<int>(i)])); break;
            case Outcome::NotReached: ++report.notReached; break;
        }
    }
    return report;
}

CErrorListEx CRepairErrorsThread::GetUnrepaired() const {
    CErrorListEx left;
    for (std::size_t i = 0; i < m_outcomes.size(); ++i)
        if (m_outcomes[i] != Outcome::Repaired) left.Add(m_work[static_cast<int>(i)]);
    return left;
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
        m_outcomes.assign(static_cast<std::size_t>(total), Outcome::NotBackedUp);
    } else {
        for (int i = 0; i < total && !m_stop.load(); ++i) {
            const CError& error = m_work[i];
            PostText(WM_REPAIR_ITEM, RepairItemText(error));
            const Outcome outcome = RepairOne(error);
            m_outcomes[static_cast<std::size_t>(i)] = outcome;
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
