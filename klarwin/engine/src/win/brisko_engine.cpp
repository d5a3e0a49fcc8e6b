#include "klarwin/brisko_engine.h"

#include <shellapi.h>
#include <shlobj.h>

#include <filesystem>
#include <vector>

#include "fw/strutil.h"
#include "fw/win/app.h"
#include "fw/win/registry.h"
#include "klarwin/path_check.h"
#include "klarwin/record_format.h"
#include "klarwin/version_info.h"

namespace {

std::wstring CurrentUserName() {
    wchar_t name[257];
    DWORD length = 257;
    if (!GetUserNameW(name, &length) || length == 0) return std::wstring();
    return std::wstring(name, length - 1);
}

std::wstring CommonAppDataFolder() {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

std::wstring ProgramFolderOf(const std::wstring& programPath) {
    std::size_t slash = programPath.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : programPath.substr(0, slash);
}

std::wstring CounterText(int value) {
    return fw::Format(L"%d", value);
}

}  // namespace

bool WriteHtmlReportFile(const std::wstring& folder, const HtmlReportHeader& header, const CArray<CError>& errors,
                         std::wstring& file) {
    if (folder.empty()) return false;
    std::string page = fw::ToUtf8(BuildHtmlReport(header, errors));
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring path;
    for (int attempt = 1; attempt <= 1000 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        path = folder + L"\\" + ReportFileName(header.Version, header.ScanDate, attempt);
        handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < page.size()) {
        DWORD piece = page.size() - done > 0x1000000 ? 0x1000000 : static_cast<DWORD>(page.size() - done);
        DWORD written = 0;
        ok = WriteFile(handle, page.data() + done, piece, &written, nullptr) && written == piece;
        done += written;
    }
    CloseHandle(handle);
    if (!ok) {
        // No half-written report is left behind.
        DeleteFileW(path.c_str());
        return false;
    }
    file = path;
    return true;
}

CBriskoEngine::CBriskoEngine() : CBriskoEngine(EngineOptions()) {}

CBriskoEngine::CBriskoEngine(const EngineOptions& options) : m_options(options) {
    m_programPath = options.programPath.empty() ? ProgramFilePath() : options.programPath;
    m_backupFolder =
        options.backupFolder.empty() ? ProgramFolderOf(m_programPath) + L"\\backup" : options.backupFolder;
    m_dataFolder = options.dataFolder.empty() ? ExpandEnvironment(L"%APPDATA%") + L"\\Klarwin" : options.dataFolder;
    if (options.reportsFolder.empty()) {
        std::wstring common = CommonAppDataFolder();
        if (!common.empty()) m_reportsFolder = common + L"\\Klarwin";
    } else {
        m_reportsFolder = options.reportsFolder;
    }

    m_backupFinder.SetCallback(&CBriskoEngine::OnBackupFound, this);

    CVersionInfo version(m_programPath);
    m_productVersion = version.GetString(L"ProductVersion");
    m_releaseDate = version.GetString(L"ReleaseDate");

    m_lastScanDate = ReadSetting(L"LastScanDate");
    if (m_lastScanDate.empty()) m_lastScanDate = kNotScannedYet;

    m_schedule.Account = CurrentUserName();
    m_schedule.Application = m_programPath;
}

CBriskoEngine::~CBriskoEngine() {
    StopScan();
    StopRepair();
    if (m_online) {
        m_online->Shutdown();
        m_online.reset();
    }
}

HWND CBriskoEngine::NotifyWindow() const {
    if (m_options.notifyWindow) return m_options.notifyWindow;
    CWnd* main = AfxGetMainWnd();
    return main ? main->GetSafeHwnd() : nullptr;
}

// ---------------------------------------------------------------------------
// Scan and repair

bool CBriskoEngine::StartScan(const bool enable[kSectionCount]) {
    // The repair thread reads the error list and adds to the ignore list.
    if (IsRepairRunning()) return false;
    LoadIgnoreList();
    StopScan();
    // The last results stay until a scan really starts.
    CErrorListEx previousErrors;
    previousErrors.Items().swap(m_errors.Items());
    const SectionCounters previousCounters = m_counters;
    m_counters.Reset();

    ScanSetup setup;
    setup.errors = &m_errors;
    setup.counters = &m_counters;
    setup.ignoreList = &m_ignoreList;
    setup.notifyWindow = NotifyWindow();
    setup.pacingScale = m_options.pacingScale;
    m_scanThread = new CRegistryScanThread(enable, setup);
    if (!m_scanThread->Start()) {
        delete m_scanThread;
        m_scanThread = nullptr;
        m_errors.Items().swap(previousErrors.Items());
        m_counters = previousCounters;
        return false;
    }
    m_lastScanDate = FormatLastScanDate(CurrentLocalTime());
    WriteSetting(L"LastScanDate", m_lastScanDate);
    return true;
}

void CBriskoEngine::StopScan() {
    if (!m_scanThread) return;
    m_scanThread->Stop();
    delete m_scanThread;
    m_scanThread = nullptr;
}

bool CBriskoEngine::StartRepair(int count) {
    // A running scan still appends to the list the repair would copy.
    if (IsScanRunning()) return false;
    StopScan();
    if (m_repairThread) {
        // Two repairs never work on the same list at once.
        if (m_repairThread->IsRunning()) return false;
        StopRepair();
    }
    RepairSetup setup;
    setup.errors = &m_errors;
    setup.counters = &m_counters;
    setup.ignoreList = &m_ignoreList;
    setup.ignoreFile = GetIgnoreFilePath();
    setup.backupFolder = m_backupFolder;
    setup.notifyWindow = NotifyWindow();
    setup.pacingScale = m_options.pacingScale;
    m_repairThread = new CRepairErrorsThread(setup, count);
    if (m_repairThread->Start()) return true;
    delete m_repairThread;
    m_repairThread = nullptr;
    return false;
}

int CBriskoEngine::StopRepair(RepairReport* report) {
    if (!m_repairThread) {
        if (report) *report = RepairReport();
        return 0;
    }
    m_repairThread->Stop();
    if (report) *report = m_repairThread->GetReport();
    const CErrorListEx left = m_repairThread->GetUnrepaired();
    delete m_repairThread;
    m_repairThread = nullptr;
    return KeepUnresolvedErrors(left);
}

int CBriskoEngine::KeepUnresolvedErrors(const CErrorListEx& errors) {
    if (errors.GetSize() == 0) return 0;
    // What the unresolved file holds already stays; these errors join it.
    CErrorListEx kept;
    LoadErrorFile(std::filesystem::path(GetUnresolvedFilePath()), kept);
    for (const CError& e : errors) kept.Add(e);
    if (!SaveUnresolvedErrors(kept)) return -1;
    for (const CError& e : errors)
        if (e.Section >= 0 && e.Section < kSectionCount) ++m_counters[e.Section].Ignored;
    WriteSetting(L"IgnoredErrorsCount", CounterText(static_cast<int>(kept.GetSize())));
    return static_cast<int>(errors.GetSize());
}

void CBriskoEngine::LoadUnresolvedErrors() {
    m_counters.Reset();
    m_errors.RemoveAll();
    EnsureFolder(m_dataFolder);
    LoadErrorFile(std::filesystem::path(GetUnresolvedFilePath()), m_errors);
    for (const CError& e : m_errors)
        if (e.Section >= 0 && e.Section < kSectionCount) ++m_counters[e.Section].Found;
}

bool CBriskoEngine::SaveUnresolvedErrors(const CErrorListEx& errors) {
    EnsureFolder(m_dataFolder);
    return SaveErrorFile(std::filesystem::path(GetUnresolvedFilePath()), errors) == RecordFileResult::Ok;
}

CErrorListEx CBriskoEngine::GetSectionErrors(int section) const {
    CErrorListEx list;
    for (const CError& e : m_errors)
        if (e.Section == section) list.Add(e);
    return list;
}

std::wstring CBriskoEngine::GetSectionFoundText(int s) const {
    return s >= 0 && s < kSectionCount ? CounterText(m_counters[s].Found) : CounterText(0);
}
std::wstring CBriskoEngine::GetSectionRepairedText(int s) const {
    return s >= 0 && s < kSectionCount ? CounterText(m_counters[s].Repaired) : CounterText(0);
}
std::wstring CBriskoEngine::GetSectionIgnoredText(int s) const {
    return s >= 0 && s < kSectionCount ? CounterText(m_counters[s].Ignored) : CounterText(0);
}
std::wstring CBriskoEngine::GetTotalFoundText() const { return CounterText(m_counters.TotalFound()); }
std::wstring CBriskoEngine::GetTotalRepairedText() const { return CounterText(m_counters.TotalRepaired()); }
std::wstring CBriskoEngine::GetTotalIgnoredText() const { return CounterText(m_counters.TotalIgnored()); }

bool CBriskoEngine::SaveIgnoreList() {
    EnsureFolder(m_dataFolder);
    return SaveIgnoreFile(std::filesystem::path(GetIgnoreFilePath()), m_ignoreList) == RecordFileResult::Ok;
}

void CBriskoEngine::LoadIgnoreList() {
    m_ignoreList.RemoveAll();
    LoadIgnoreFile(std::filesystem::path(GetIgnoreFilePath()), m_ignoreList);
}

// ---------------------------------------------------------------------------
// Settings

std::wstring CBriskoEngine::ReadSetting(const std::wstring& name) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::wstring();
    BYTE buffer[1024 + sizeof(wchar_t)] = {};
    DWORD size = 1024;
    DWORD type = 0;
    LONG r = RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer, &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::wstring();
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buffer);
    return std::wstring(text, wcsnlen(text, 512));
}

bool CBriskoEngine::WriteSetting(const std::wstring& name, const std::wstring& value) {
    return WriteMachineString(kSettingsKey, name, value);
}

std::wstring CBriskoEngine::ReadRunEntry(const std::wstring& key) const {
    CRegKey k;
    if (k.Open(HKEY_LOCAL_MACHINE, key.c_str(), KEY_READ) != ERROR_SUCCESS) return std::wstring();
    std::wstring value;
    if (k.QueryStringValue(kRunValueName, value) != ERROR_SUCCESS) return std::wstring();
    return value;
}

bool CBriskoEngine::WriteMachineString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    CRegKey k;
    if (k.Create(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WRITE) != ERROR_SUCCESS) return false;
    return k.SetValue(name.c_str(), REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t)) == ERROR_SUCCESS;
}

bool CBriskoEngine::DeleteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    CRegKey k;
    if (k.Open(root, key.c_str(), KEY_WRITE) != ERROR_SUCCESS) return false;
    return k.DeleteValue(name.c_str()) == ERROR_SUCCESS;
}

void CBriskoEngine::SetStartWithWindows(bool on) {
    WriteSetting(L"StartWithWindows", on ? L"true" : L"false");
    if (on)
        WriteMachineString(kRunKeyPath, kRunValueName, m_programPath);
    else
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName);
}

// ---------------------------------------------------------------------------
// Scheduled scan

bool CBriskoEngine::SetScanSchedule(int kind, int hour, int minute, int daysOfWeek) {
    CComInit com;
    return WriteScanSchedule(m_schedule, kind, hour, minute, daysOfWeek);
}

bool CBriskoEngine::GetScanSchedule(ScanSchedule& schedule) const {
    CComInit com;
    return ReadScanSchedule(m_schedule.TaskName, schedule) && schedule.Exists;
}

// ---------------------------------------------------------------------------
// Backups

void CBriskoEngine::OnBackupFound(CFileFinder* finder, int event, void* userData) {
    if (event != kFinderFileFound) return;
    auto* engine = static_cast<CBriskoEngine*>(userData);
    HWND window = engine->NotifyWindow();
    if (!window) return;
    BSTR path = CBstr::Alloc(finder->GetLastFound());
    if (path && !PostMessageW(window, WM_BACKUP_FOUND, reinterpret_cast<WPARAM>(path), 0)) SysFreeString(path);
}

int CBriskoEngine::ListBackups() {
    m_backupFinder.RemoveAll();
    DWORD attributes = GetFileAttributesW(m_backupFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return m_backupFinder.FindFiles(m_backupFolder, L"*.dat", false);
}

bool CBriskoEngine::RestoreBackup(const std::wstring& path, RestoreReport* report) {
    return RestoreBackupFile(path, GetIgnoreFilePath(), report) == RestoreResult::Ok;
}

// ---------------------------------------------------------------------------
// HTML report

bool CBriskoEngine::CreateHtmlReport(std::wstring& folder, std::wstring& file) {
    if (m_reportsFolder.empty()) return false;
    HtmlReportHeader header;
    header.Version = m_productVersion;
    header.ReleaseDate = m_releaseDate;
    header.ScanDate = CurrentLocalTime();
    std::wstring written;
    if (!WriteHtmlReportFile(m_reportsFolder, header, m_errors, written)) return false;
    std::size_t slash = m_reportsFolder.find_last_of(L'\\');
    folder = slash == std::wstring::npos ? m_reportsFolder : m_reportsFolder.substr(0, slash);
    file = written;
    return true;
}

void CBriskoEngine::OpenReportsFolder() {
    if (m_reportsFolder.empty()) return;
    ShellExecuteW(nullptr, L"open", m_reportsFolder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// ---------------------------------------------------------------------------
// Online operations

void CBriskoEngine::SetOnlineServices(std::unique_ptr<IEngineOnlineServices> services) {
    if (m_online) m_online->Shutdown();
    m_online = std::move(services);
}

bool CBriskoEngine::StartUpdateCheck() {
    return m_online && m_online->StartUpdateCheck();
}

bool CBriskoEngine::StartUpdateDownload() {
    return m_online && m_online->StartUpdateDownload();
}

void CBriskoEngine::StopUpdateDownload() {
    if (m_online) m_online->StopUpdateDownload();
}

long CBriskoEngine::ReadLogId() const {
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_READ) != ERROR_SUCCESS) return -1;
    DWORD id = 0;
    if (key.QueryDWORDValue(L"LogID", id) != ERROR_SUCCESS) return -1;
    return static_cast<long>(id);
}

bool CBriskoEngine::HasSubmittedLog() const {
    return !ReadSetting(L"Email").empty() && ReadLogId() > 0;
}

int CBriskoEngine::SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                             const std::wstring& productVersion) {
    return m_online ? m_online->SubmitLog(email, description, log, productVersion) : -1;
}

bool CBriskoEngine::QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands) {
    return m_online && m_online->QueryLogStatus(comments, solutionCommands);
}

void CBriskoEngine::ApplySolution(std::wstring& log, const std::wstring& commands) {
    if (!m_online) return;
    m_online->ApplySolution(log, commands);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, L"LogID");
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, L"Email");
}
