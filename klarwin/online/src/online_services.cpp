#include "klarwin/online/online_services.h"

#include "fw/win/app.h"
#include "fw/win/wnd.h"
#include "klarwin/online/solution_runner.h"
#include "klarwin/version_info.h"

namespace {

std::wstring OwnProgramPath() {
    std::wstring path(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
}

}  // namespace

COnlineServices::COnlineServices(HWND mainWnd, const std::wstring& programPath, const std::wstring& ownVersion)
    : m_mainWnd(mainWnd),
      m_programPath(programPath.empty() ? OwnProgramPath() : programPath),
      m_ownVersion(ownVersion) {
    if (m_ownVersion.empty()) m_ownVersion = CVersionInfo(m_programPath).GetString(L"ProductVersion");
}

COnlineServices::~COnlineServices() {
    Shutdown();
}

HWND COnlineServices::MainWindow() const {
    if (m_mainWnd) return m_mainWnd;
    CWnd* main = AfxGetMainWnd();
    return main ? main->GetSafeHwnd() : nullptr;
}

bool COnlineServices::Replacing(const CAutoFindNewVersion&) { return false; }

bool COnlineServices::Replacing(const CDownloadAppNewVersion& download) { return download.Replacing(); }

template <class T>
void COnlineServices::End(std::unique_ptr<T>& thread) {
    if (!thread) return;
    thread->Stop();
    // A swap of the program file that has begun is never cut (the process may
    // end next): it takes two renames, and a third to roll back.
    if (thread->Wait(kStopWaitMs) || (Replacing(*thread) && thread->Wait(INFINITE)))
        thread.reset();
    else
        m_setAside.push_back(std::move(thread));  // still inside WinINet: deleted once it has ended
    DeleteEndedThreads(0);
}

void COnlineServices::DeleteEndedThreads(DWORD waitMs) {
    for (auto it = m_setAside.begin(); it != m_setAside.end();) {
        if ((*it)->Wait(waitMs))
            it = m_setAside.erase(it);
        else
            ++it;
    }
}

void COnlineServices::EndCheck() { End(m_check); }

void COnlineServices::EndDownload() { End(m_download); }

bool COnlineServices::StartUpdateCheck() {
    EndCheck();
    m_check = std::make_unique<CAutoFindNewVersion>(MainWindow(), m_ownVersion);
    if (!m_check->CreateThread()) {
        m_check.reset();
        return false;
    }
    m_check->RequestCheck();
    return true;
}

bool COnlineServices::StartUpdateDownload() {
    EndDownload();
    m_download = std::make_unique<CDownloadAppNewVersion>(MainWindow(), m_programPath, m_ownVersion);
    if (!m_download->CreateThread()) {
        m_download.reset();
        return false;
    }
    return true;
}

void COnlineServices::StopUpdateDownload() { EndDownload(); }

int COnlineServices::SubmitLog(const std::wstring& email, const std::wstring& description, const std::wstring& log,
                               const std::wstring& productVersion) {
    return m_client.SubmitLog(email, description, log, productVersion);
}

bool COnlineServices::QueryLogStatus(std::wstring& comments, std::wstring& solutionCommands) {
    return m_client.QueryLogStatus(comments, solutionCommands);
}

void COnlineServices::ApplySolution(std::wstring& log, const std::wstring& commands) {
    // The application keeps one runner for the whole process; without it a
    // runner lives for this call only.
    CSolutionRunner* runner = CSolutionRunner::GetInstance();
    if (runner) {
        runner->ParseSolution(commands);
        log = runner->RunSolution();
        return;
    }
    CSolutionRunner local;
    local.ParseSolution(commands);
    log = local.RunSolution();
}

void COnlineServices::Shutdown() {
    EndCheck();
    EndDownload();
    // A stopped thread that has not ended yet posts nothing more and holds
    // nothing of this object. Rather than wait for it, it is left to end on
    // its own (the process may be about to end too).
    DeleteEndedThreads(kStopWaitMs);
    for (std::unique_ptr<CWinThread>& thread : m_setAside) {
        if (thread->Wait(0)) continue;
        (void)thread.release();
    }
    m_setAside.clear();
}
