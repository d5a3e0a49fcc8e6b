// CBriskoApp: Klarwin's application object. Its start-up runs the single
// instance rule (a second start brings the first window forward and ends),
// relaunches the program elevated where Windows needs that, creates the
// long-lived windows and runs the main window modally; the process ends when
// the start-up returns.
//
// The elevation test and the relaunch are reached through replaceable
// functions, so that both branches can be exercised on systems (and under
// Wine) where every process already runs elevated.
#pragma once

#include "fw/win/app.h"

#include <functional>
#include <string>

namespace kwapp {

// What the query of the process token found out.
enum class TokenState { CannotOpen, QueryFailed, NotElevated, Elevated };

// The process token's TokenElevation.
TokenState QueryProcessTokenElevation();

// Whether the process must be relaunched elevated: on NT from Vista on, when
// the token is not elevated (a token that cannot be opened counts as elevated).
bool NeedsElevation(DWORD platformId, DWORD majorVersion, TokenState token);

// The single-instance mutex: "MutexBrisko" on NT 4, otherwise
// "Global\MutexBrisko" followed by the user name.
std::wstring SingleInstanceMutexName(DWORD majorVersion, const std::wstring& userName);

// True only for the exact command line "-scan".
bool IsScanCommandLine(const wchar_t* commandLine);

// Starts `program` with the verb "runas" and the parameters (wide throughout,
// so any folder name works). The result of the start is returned, though the
// application does not act on it.
bool RelaunchElevated(const std::wstring& program, const std::wstring& parameters);

// What the start-up decides before any window exists.
enum class StartupAction {
    BringFirstForward,              // another instance runs
    RelaunchElevatedAndEnd,         // first instance without the rights it needs
    Run,                            // create the windows and run the main window
};
struct StartupDecision {
    StartupAction action = StartupAction::Run;
    bool relaunch = false;          // relaunch elevated before ending
    std::wstring relaunchParameters;
    bool scanOnStart = false;
};
StartupDecision DecideStartup(bool firstInstance, bool needsElevation, const wchar_t* commandLine);

// Shows, restores and brings to the front the window with the exact title.
// False when there is none.
bool BringWindowForward(const wchar_t* title);

}  // namespace kwapp

class CBriskoApp : public CWinApp {
public:
    CBriskoApp();

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL InitInstance() override;

    HANDLE m_hSingleInstanceMutex = nullptr;

    // The token query and the elevated relaunch (the program's own path and
    // the parameters); replaceable for tests.
    std::function<kwapp::TokenState()> m_queryTokenElevation = kwapp::QueryProcessTokenElevation;
    std::function<bool(const std::wstring&)> m_relaunchElevated;
};
