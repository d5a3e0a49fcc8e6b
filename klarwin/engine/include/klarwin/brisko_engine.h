// CBriskoEngine: the one object through which Klarwin's windows reach the
// registry scan engine. It owns the error list, the per-section counters and
// the ignore list, starts and stops the scan and repair threads, keeps the
// settings and the last-scan date under HKEY_LOCAL_MACHINE "Software\Klarwin",
// manages the scheduled scan, and offers the backup, restore, start-up,
// system-report and HTML-report operations. The online operations (update
// check and download, log submission) are carried out by an
// IEngineOnlineServices object handed to the engine; without one they answer
// with failure.
//
//   CBriskoEngine engine;                         // the process-wide instance
//   CSingleton<CBriskoEngine>::GetInstance()->StartScan(enabled);
//
// The engine is used from the user-interface thread. Its worker threads
// report by posting messages to the notify window (by default the
// application's main window); they are always stopped and waited for before
// they are deleted, also when the engine is destroyed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "fw/singleton.h"
#include "klarwin/backup_files.h"
#include "klarwin/file_finder.h"
#include "klarwin/registry_scan_thread.h"
#include "klarwin/repair_messages.h"
#include "klarwin/repair_thread.h"
#include "klarwin/scan_messages.h"
#include "klarwin/scan_records.h"
#include "klarwin/scan_schedule.h"
#include "klarwin/system_report.h"

constexpr wchar_t kSettingsKey[] = L"Software\\Klarwin";
constexpr wchar_t kRunValueName[] = L"Klarwin";
constexpr wchar_t kNotScannedYet[] = L"Not scanned yet";
constexpr wchar_t kIgnoreFileName[] = L"log.dat";
constexpr wchar_t kUnresolvedFileName[] = L"unresolvederrors.dat";

// The online side of the engine: update check and download, the scan-log
// service and its solutions. The engine owns the object, forwards to it and,
// before it is destroyed, calls Shutdown, which must end (and wait for) every
// thread the services started.
class IEngineOnlineServices {
public:
    virtual ~IEngineOnlineServices() = default;
    virtual bool StartUpdateCheck() = 0;
    virtual bool StartUpdateDownload() = 0;
    // Stops the download, waits for its thread to end and releases it.
    virtual void StopUpdateDownload() = 0;
    // 1 when the log was accepted, -1 otherwise.
    virtual int SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                          const std::wstring& productVersion) = 0;
    virtual bool QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands) = 0;
    virtual void ApplySolution(std::wstring& log, const std::wstring& commands) = 0;
    virtual void Shutdown() = 0;
};

// Where the engine keeps its files and whom it tells; empty fields take the
// program's own places.
struct EngineOptions {
    std::wstring programPath;    // the program file (version resource, Run value, scheduled task)
    std::wstring backupFolder;   // "backup" beside the program file
    std::wstring dataFolder;     // "%APPDATA%\Klarwin": log.dat, unresolvederrors.dat
    std::wstring reportsFolder;  // "<common application data>\Klarwin": HTML reports
    HWND notifyWindow = nullptr; // null: the application's main window
    // Scale of the pauses of the scan and repair threads (1 normal, 0 none).
    double pacingScale = 1.0;
};

class CBriskoEngine : public CSingleton<CBriskoEngine> {
public:
    CBriskoEngine();
    explicit CBriskoEngine(const EngineOptions& options);
    ~CBriskoEngine();
    CBriskoEngine(const CBriskoEngine&) = delete;
    CBriskoEngine& operator=(const CBriskoEngine&) = delete;

    // ---- Scan and repair
    // Loads the ignore list, replaces a previous scan thread, clears the
    // counters and the errors, starts a scan of the enabled sections and
    // records the last-scan date. Refused (false) while a repair works on the
    // error list; false too when the thread could not be started. On false
    // the errors, counters and date are as they were.
    bool StartScan(const bool enable[kSectionCount]);
    void StopScan();
    CRegistryScanThread* GetScanThread() const { return m_scanThread; }
    bool IsScanRunning() const { return m_scanThread && m_scanThread->IsScanning(); }

    // Repairs the first `count` errors of the list. False (and nothing
    // started) while a scan or an earlier repair is still running; a scan
    // thread that has ended is released first.
    bool StartRepair(int count);
    // Stops a repair at its next safe point (after the error it works on, with
    // the ignore list saved), waits for it and releases it. The errors it did
    // not repair (no backup, unreadable, not deleted, not reached) are kept:
    // added to "unresolvederrors.dat", counted in "IgnoredErrorsCount" and as
    // ignored in their sections. Every way a repair ends comes here, also a
    // repair that ended by itself and one released by StartRepair or the
    // destructor. `report` (when given) receives what the repair did. Returns
    // how many errors were kept; -1 when they could not be saved.
    int StopRepair(RepairReport* report = nullptr);
    // Adds the errors to "unresolvederrors.dat" (after those it holds),
    // stores its new length as "IgnoredErrorsCount" and counts them as
    // ignored. Returns how many were added; -1 (nothing changed) when the file
    // could not be written.
    int KeepUnresolvedErrors(const CErrorListEx& errors);
    CRepairErrorsThread* GetRepairThread() const { return m_repairThread; }
    bool IsRepairRunning() const { return m_repairThread && m_repairThread->IsRunning(); }

    // Clears counters and errors and reads "unresolvederrors.dat"; each error
    // counts as found in its section.
    void LoadUnresolvedErrors();
    // Writes the list as "unresolvederrors.dat" (the folder is made when missing).
    bool SaveUnresolvedErrors(const CErrorListEx& errors);

    CErrorListEx& GetErrorList() { return m_errors; }
    CErrorListEx GetSectionErrors(int section) const;
    SectionCounters& GetCounters() { return m_counters; }
    std::wstring GetSectionName(int section) const { return GetScanSectionName(section); }
    std::wstring GetSectionFoundText(int section) const;
    std::wstring GetSectionRepairedText(int section) const;
    std::wstring GetSectionIgnoredText(int section) const;
    std::wstring GetTotalFoundText() const;
    std::wstring GetTotalRepairedText() const;
    std::wstring GetTotalIgnoredText() const;
    int GetTotalErrorCount() const { return m_counters.TotalFound(); }

    const std::wstring& GetProductVersion() const { return m_productVersion; }
    const std::wstring& GetReleaseDate() const { return m_releaseDate; }
    const std::wstring& GetLastScanDate() const { return m_lastScanDate; }

    void AddToIgnoreList(const CRegistryItem& item) { m_ignoreList.Add(item); }
    bool SaveIgnoreList();
    void LoadIgnoreList();
    CArray<CRegistryItem>& GetIgnoreList() { return m_ignoreList; }

    // ---- Settings (REG_SZ values under HKEY_LOCAL_MACHINE "Software\Klarwin")
    std::wstring ReadSetting(const std::wstring& name) const;
    bool WriteSetting(const std::wstring& name, const std::wstring& value);
    // The value "Klarwin" under the HKEY_LOCAL_MACHINE key (empty when missing).
    std::wstring ReadRunEntry(const std::wstring& key) const;
    bool WriteMachineString(const std::wstring& key, const std::wstring& name, const std::wstring& value);
    bool DeleteRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name);
    // "StartWithWindows" and the Run value "Klarwin" together.
    void SetStartWithWindows(bool on);

    // ---- Scheduled scan (kind 0 none, 1 daily, 2 weekly)
    bool SetScanSchedule(int kind, int hour, int minute, int daysOfWeek);
    // True when the work item exists; `schedule` tells its trigger.
    bool GetScanSchedule(ScanSchedule& schedule) const;
    const ScheduleSettings& GetScheduleSettings() const { return m_schedule; }

    // ---- Start-up items and system report
    CRegistryItemListEx GetStartupItems() const { return ::GetStartupItems(); }
    void BuildSystemReport(std::wstring& text, std::wstring& html) const { ::BuildSystemReport(text, html); }

    // ---- Backups
    // Posts WM_BACKUP_FOUND for every ".dat" file of the backup folder;
    // returns how many there are.
    int ListBackups();
    // True when every line of the file was applied; `report` (when given)
    // tells what was and was not restored.
    bool RestoreBackup(const std::wstring& path, RestoreReport* report = nullptr);

    // ---- HTML report
    // Writes the report of the error list; `folder` is the reports folder and
    // `file` the new report. False when no report could be written.
    bool CreateHtmlReport(std::wstring& folder, std::wstring& file);
    void OpenReportsFolder();

    // ---- Online operations
    void SetOnlineServices(std::unique_ptr<IEngineOnlineServices> services);
    IEngineOnlineServices* GetOnlineServices() const { return m_online.get(); }
    bool StartUpdateCheck();
    bool StartUpdateDownload();
    // The download window's abort: the download thread is stopped, waited for
    // and released; the program file stays as it is.
    void StopUpdateDownload();
    // "Email" is not empty and "LogID" is greater than 0.
    bool HasSubmittedLog() const;
    int SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                  const std::wstring& productVersion);
    bool QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands);
    // Runs the solution and forgets the stored log ("LogID", "Email").
    void ApplySolution(std::wstring& log, const std::wstring& commands);
    // "LogID" as stored (REG_DWORD), -1 when missing.
    long ReadLogId() const;

    // ---- Places
    const std::wstring& GetProgramPath() const { return m_programPath; }
    const std::wstring& GetBackupFolder() const { return m_backupFolder; }
    const std::wstring& GetDataFolder() const { return m_dataFolder; }
    const std::wstring& GetReportsFolder() const { return m_reportsFolder; }
    std::wstring GetIgnoreFilePath() const { return m_dataFolder + L"\\" + kIgnoreFileName; }
    std::wstring GetUnresolvedFilePath() const { return m_dataFolder + L"\\" + kUnresolvedFileName; }
    void SetNotifyWindow(HWND window) { m_options.notifyWindow = window; }
    void SetPacingScale(double scale) { m_options.pacingScale = scale; }

private:
    HWND NotifyWindow() const;
    static void OnBackupFound(CFileFinder* finder, int event, void* userData);

    EngineOptions m_options;
    std::wstring m_programPath;
    std::wstring m_backupFolder;
    std::wstring m_dataFolder;
    std::wstring m_reportsFolder;

    CErrorListEx m_errors;
    SectionCounters m_counters;
    CArray<CRegistryItem> m_ignoreList;
    CFileFinder m_backupFinder;

    std::wstring m_productVersion;
    std::wstring m_releaseDate;
    std::wstring m_lastScanDate;
    ScheduleSettings m_schedule;

    CRegistryScanThread* m_scanThread = nullptr;
    CRepairErrorsThread* m_repairThread = nullptr;
    std::unique_ptr<IEngineOnlineServices> m_online;
};

// Writes the HTML report of `errors` as a new file "krw_<version>_<time>.html"
// in `folder` (which must exist), UTF-8 without byte-order mark. A name
// already taken in the same second gets "_2", "_3", ...; no report is ever
// replaced. `file` receives the full path. False when nothing was written.
bool WriteHtmlReportFile(const std::wstring& folder, const HtmlReportHeader& header, const CArray<CError>& errors,
                         std::wstring& file);
