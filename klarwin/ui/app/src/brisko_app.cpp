#include "klarwin/ui/brisko_app.h"

#include "fw/win/module.h"
#include "klarwin/online/online_services.h"
#include "klarwin/online/solution_runner.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "klarwin/ui/settings_dialog.h"
#include "klarwin/ui/support_dialogs.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>

namespace kwapp {

TokenState QueryProcessTokenElevation() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return TokenState::CannotOpen;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    if (!ok) return TokenState::QueryFailed;
    return elevation.TokenIsElevated ? TokenState::Elevated : TokenState::NotElevated;
}

bool NeedsElevation(DWORD platformId, DWORD majorVersion, TokenState token) {
    if (platformId != VER_PLATFORM_WIN32_NT || majorVersion <= 5) return false;
    return token == TokenState::QueryFailed || token == TokenState::NotElevated;
}

std::wstring SingleInstanceMutexName(DWORD majorVersion, const std::wstring& userName) {
    if (majorVersion == 4) return L"MutexBrisko";
    return L"Global\\MutexBrisko" + userName;
}

bool IsScanCommandLine(const wchar_t* commandLine) { return commandLine && wcscmp(commandLine, L"-scan") == 0; }

bool RelaunchElevated(const std::wstring& program, const std::wstring& parameters) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = L"";
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

StartupDecision DecideStartup(bool firstInstance, bool needsElevation, const wchar_t* commandLine) {
    StartupDecision d;
    if (!firstInstance) {
        d.action = StartupAction::BringFirstForward;
        d.relaunch = needsElevation;
        return d;
    }
    if (needsElevation) {
        d.action = StartupAction::RelaunchElevatedAndEnd;
        d.relaunch = true;
        if (IsScanCommandLine(commandLine)) d.relaunchParameters = L"-scan";
        return d;
    }
    d.action = StartupAction::Run;
    d.scanOnStart = IsScanCommandLine(commandLine);
    return d;
}

bool BringWindowForward(const wchar_t* title) {
    HWND wnd = FindWindowW(nullptr, title);
    if (!wnd) return false;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(wnd, &placement);
    ShowWindow(wnd, SW_SHOW);
    ShowWindow(wnd, SW_RESTORE);
    SetForegroundWindow(wnd);
    return true;
}

}  // namespace kwapp

namespace {

OSVERSIONINFOW ReadVersion() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    GetVersionExW(&version);
    return version;
}

std::wstring ReadUserName() {
    wchar_t name[80] = {};
    DWORD size = 80;
    if (!GetUserNameW(name, &size)) return L"";
    return name;
}

}  // namespace

CBriskoApp::CBriskoApp() : CWinApp(L"Klarwin") {
    m_relaunchElevated = [](const std::wstring& parameters) {
        return kwapp::RelaunchElevated(fw::GetModulePath(), parameters);
    };
}

const CMessageMap& CBriskoApp::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CBriskoApp>(&CWinApp::GetThisMessageMap());
    return map;
}

BOOL CBriskoApp::InitInstance() {
    const OSVERSIONINFOW version = ReadVersion();
    const std::wstring mutexName = kwapp::SingleInstanceMutexName(version.dwMajorVersion, ReadUserName());
    // Held for the life of the process; the system frees it at the end.
    m_hSingleInstanceMutex = CreateMutexW(nullptr, TRUE, mutexName.c_str());
    const bool first = m_hSingleInstanceMutex && WaitForSingleObject(m_hSingleInstanceMutex, 0) == WAIT_OBJECT_0;
    const bool needsElevation =
        kwapp::NeedsElevation(version.dwPlatformId, version.dwMajorVersion, m_queryTokenElevation());

    const kwapp::StartupDecision decision = kwapp::DecideStartup(first, needsElevation, m_lpCmdLine);
    if (decision.action == kwapp::StartupAction::BringFirstForward) {
        if (decision.relaunch) m_relaunchElevated(L"");
        kwapp::BringWindowForward(CScanDialog::kTitle);
        return FALSE;
    }
    if (decision.action == kwapp::StartupAction::RelaunchElevatedAndEnd) {
        m_relaunchElevated(decision.relaunchParameters);
        return FALSE;
    }

    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
    InitCommonControlsEx(&icc);
    CWinApp::InitInstance();

    // The windows that live until the process ends, each the one instance of
    // its class; their dialog windows exist only while they are shown.
    new CScanProgressDialog();
    new CManageStartupDialog();
    new CSettingsDialog();
    new CRepairErrorsDialog();
    new CRestoreBackupsDialog();
    new CSendLogDialog();
    new CCustomSolnDialog();
    new CSolutionRunner();
    new CResultStatus();
    new CDownloadDialog();

    CoInitialize(nullptr);
    {
        CScanDialog dlg(decision.scanOnStart);
        // Update server and log service; they post to the main window.
        dlg.Engine().SetOnlineServices(std::make_unique<COnlineServices>());
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        CoUninitialize();
    }
    return FALSE;
}
