// COnlineServices: the engine's online side (update check and download, the
// log service, the solution runner), handed to the engine once at start-up:
//
//   engine.SetOnlineServices(std::make_unique<COnlineServices>());
//   engine.StartUpdateCheck();      // the check is requested at once
//
// The threads report to the main window given here; without one, to the
// application's main window at the time a thread starts. Shutdown (called by
// the engine before deleting the object) stops both threads and waits for them.
//
// A stopped thread ends at once (it leaves a WinINet call in progress to its
// session); one that has not within kStopWaitMs is set aside and deleted once
// it has ended. Only a swap of the program file that has begun is waited for
// to its end: two renames, never cut by the end of the process.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "klarwin/brisko_engine.h"
#include "klarwin/online/log_service.h"
#include "klarwin/online/update_threads.h"

class COnlineServices : public IEngineOnlineServices {
public:
    // programPath: the program file the download replaces (default: this
    // process's file); ownVersion: compared with the server's (default: the
    // program file's "ProductVersion").
    explicit COnlineServices(HWND mainWnd = nullptr, const std::wstring& programPath = {},
                             const std::wstring& ownVersion = {});
    ~COnlineServices() override;

    bool StartUpdateCheck() override;
    bool StartUpdateDownload() override;
    int SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                  const std::wstring& productVersion) override;
    bool QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands) override;
    // Parses and runs the commands; the engine then forgets the stored log.
    void ApplySolution(std::wstring& log, const std::wstring& commands) override;
    void Shutdown() override;

    // For the windows: the running threads (null when none was started).
    CAutoFindNewVersion* GetUpdateCheck() const { return m_check.get(); }
    CDownloadAppNewVersion* GetDownload() const { return m_download.get(); }
    // Stops the download (the download window's abort), waits for the thread
    // at most kStopWaitMs and releases it; the thread posts nothing more and
    // the program file is left as it is.
    void StopUpdateDownload() override;

    static constexpr DWORD kStopWaitMs = 1000;
    // Stopped threads that had not ended within kStopWaitMs.
    size_t GetThreadsSetAside() const { return m_setAside.size(); }

    CLogServiceClient& GetLogClient() { return m_client; }
    const std::wstring& GetOwnVersion() const { return m_ownVersion; }

private:
    HWND MainWindow() const;
    void EndCheck();
    void EndDownload();
    template <class T>
    void End(std::unique_ptr<T>& thread);
    static bool Replacing(const CAutoFindNewVersion&);
    static bool Replacing(const CDownloadAppNewVersion& download);
    // Deletes the set-aside threads that have ended, waiting for each at most waitMs.
    void DeleteEndedThreads(DWORD waitMs);

    HWND m_mainWnd;
    std::wstring m_programPath;
    std::wstring m_ownVersion;
    std::unique_ptr<CAutoFindNewVersion> m_check;
    std::unique_ptr<CDownloadAppNewVersion> m_download;
    std::vector<std::unique_ptr<CWinThread>> m_setAside;
    CLogServiceClient m_client;
};
