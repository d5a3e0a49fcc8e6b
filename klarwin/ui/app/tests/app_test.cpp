// Klarwin's start-up: the command line, the single-instance rule, elevation,
// the setting defaults and the ways the program ends, on the real program.
#include "fw/strutil.h"
#include "klarwin/ui/brisko_app.h"
#include "klarwin/ui/scan_dialog.h"
#include "resource.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace kwapp;

namespace {

std::wstring KlarwinPath() {
    std::wstring path = L"Z:";
    for (const char* c = KLARWIN_EXE_PATH; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

void SetSetting(const wchar_t* name, const wchar_t* value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", name, REG_SZ, value,
                    static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

// Settings of a later start that neither scans nor touches the Run value.
void QuietSettings() {
    SetSetting(L"StartWithWindows", L"false");
    SetSetting(L"StartScanAtProgramStartup", L"false");
    SetSetting(L"ShowInTaskbarOnClose", L"true");
    SetSetting(L"AllowAutoUpdates", L"false");
}

HWND WaitForMain(const uidriver::CProcess& process, DWORD timeoutMs = 20000) {
    return uidriver::WaitForTopWindow({.title = CScanDialog::kTitle, .processId = process.Id()}, timeoutMs);
}

HWND FindProgress(DWORD processId) {
    return uidriver::FindTopWindow({.title = L"Scan in Progress", .processId = processId});
}

}  // namespace

TEST(KwWinAppStartup, OnlyTheExactScanCommandLineScans) {
    EXPECT_TRUE(IsScanCommandLine(L"-scan"));
    for (const wchar_t* other : {L"", L" -scan", L"-scan ", L"-SCAN", L"-scan x", L"/scan", L"scan"})
        EXPECT_FALSE(IsScanCommandLine(other)) << std::string(other, other + wcslen(other));
    EXPECT_FALSE(IsScanCommandLine(nullptr));

    EXPECT_TRUE(DecideStartup(true, false, L"-scan").scanOnStart);
    EXPECT_FALSE(DecideStartup(true, false, L" -scan").scanOnStart);
    EXPECT_EQ(DecideStartup(true, false, L"-scan x").action, StartupAction::Run);
}

TEST(KwWinAppStartup, ElevationBranchesThroughTheTokenSeam) {
    // Only NT from Vista on asks the token.
    EXPECT_FALSE(NeedsElevation(VER_PLATFORM_WIN32_NT, 5, TokenState::NotElevated));
    EXPECT_FALSE(NeedsElevation(VER_PLATFORM_WIN32_WINDOWS, 6, TokenState::NotElevated));
    EXPECT_TRUE(NeedsElevation(VER_PLATFORM_WIN32_NT, 6, TokenState::NotElevated));
    EXPECT_TRUE(NeedsElevation(VER_PLATFORM_WIN32_NT, 10, TokenState::QueryFailed));
    EXPECT_FALSE(NeedsElevation(VER_PLATFORM_WIN32_NT, 6, TokenState::CannotOpen));
    EXPECT_FALSE(NeedsElevation(VER_PLATFORM_WIN32_NT, 6, TokenState::Elevated));
    // Wine runs every process elevated.
    EXPECT_EQ(QueryProcessTokenElevation(), TokenState::Elevated);

    // A first instance without rights relaunches, passing "-scan" on only when
    // it was the exact command line, and ends.
    StartupDecision d = DecideStartup(true, true, L"-scan");
    EXPECT_EQ(d.action, StartupAction::RelaunchElevatedAndEnd);
    EXPECT_TRUE(d.relaunch);
    EXPECT_EQ(d.relaunchParameters, L"-scan");
    d = DecideStartup(true, true, L"-scan x");
    EXPECT_EQ(d.relaunchParameters, L"");
    EXPECT_FALSE(d.scanOnStart);
    // A second instance relaunches (without parameters) only when it lacks the rights.
    d = DecideStartup(false, true, L"-scan");
    EXPECT_EQ(d.action, StartupAction::BringFirstForward);
    EXPECT_TRUE(d.relaunch);
    EXPECT_EQ(d.relaunchParameters, L"");
    EXPECT_FALSE(DecideStartup(false, false, L"").relaunch);

    EXPECT_EQ(SingleInstanceMutexName(4, L"anna"), L"MutexBrisko");
    EXPECT_EQ(SingleInstanceMutexName(6, L"anna"), L"Global\\MutexBriskoanna");
}

TEST(KwWinAppProcess, ScanStartsOnlyForTheExactArgument) {
    QuietSettings();
    {
        uidriver::CProcess klarwin;
        ASSERT_TRUE(klarwin.Start(KlarwinPath(), L"-scan"));
        ASSERT_NE(WaitForMain(klarwin), nullptr);
        EXPECT_NE(uidriver::WaitForTopWindow({.title = L"Scan in Progress", .processId = klarwin.Id()}, 20000),
                  nullptr);
        klarwin.Terminate();
    }
    for (const wchar_t* args : {L"-SCAN", L"-scan x"}) {
        SCOPED_TRACE(std::string(args, args + wcslen(args)));
        uidriver::CProcess klarwin;
        ASSERT_TRUE(klarwin.Start(KlarwinPath(), args));
        ASSERT_NE(WaitForMain(klarwin), nullptr);
        Sleep(2500);  // the first paint and the start-up step are long over
        EXPECT_EQ(FindProgress(klarwin.Id()), nullptr);
        klarwin.Terminate();
    }
}

TEST(KwWinAppProcess, SecondStartRestoresTheFirstAndEnds) {
    QuietSettings();
    uidriver::CProcess first;
    ASSERT_TRUE(first.Start(KlarwinPath()));
    HWND wnd = WaitForMain(first);
    ASSERT_NE(wnd, nullptr);
    ShowWindow(wnd, SW_HIDE);  // as the close button leaves it in the tray
    ASSERT_TRUE(uidriver::WaitUntil([&] { return !IsWindowVisible(wnd); }));

    uidriver::CProcess second;
    ASSERT_TRUE(second.Start(KlarwinPath()));
    DWORD code = 0;
    EXPECT_TRUE(second.WaitForExit(20000, &code));
    EXPECT_TRUE(uidriver::WaitUntil([&] { return IsWindowVisible(wnd) != FALSE; }));
    EXPECT_EQ(uidriver::FindTopWindows({.title = CScanDialog::kTitle, .processId = second.Id()}).size(), 0u);
    first.Terminate();
    second.Terminate();
}

TEST(KwWinAppProcess, CloseButtonEndsTheProgramUnlessExactlyTrue) {
    QuietSettings();
    SetSetting(L"ShowInTaskbarOnClose", L"True");
    {
        uidriver::CProcess klarwin;
        ASSERT_TRUE(klarwin.Start(KlarwinPath()));
        HWND wnd = WaitForMain(klarwin);
        ASSERT_NE(wnd, nullptr);
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_CLOSE));
        DWORD code = 0;
        EXPECT_TRUE(klarwin.WaitForExit(20000, &code));
        EXPECT_EQ(code, 1u);
    }
    SetSetting(L"ShowInTaskbarOnClose", L"true");
    {
        uidriver::CProcess klarwin;
        ASSERT_TRUE(klarwin.Start(KlarwinPath()));
        HWND wnd = WaitForMain(klarwin);
        ASSERT_NE(wnd, nullptr);
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_CLOSE));
        EXPECT_TRUE(uidriver::WaitUntil([&] { return !IsWindowVisible(wnd); }));
        EXPECT_FALSE(klarwin.WaitForExit(1000));
        klarwin.Terminate();
    }
}

TEST(KwWinAppProcess, ElevatedRelaunchWorksFromAFolderOutsideTheCodePage) {
    QuietSettings();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"Kl\u00e4rwin \u6d4b\u8bd5 \u0436";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path copy = folder / L"Klarwin.exe";
    ASSERT_TRUE(std::filesystem::copy_file(KlarwinPath(), copy, std::filesystem::copy_options::overwrite_existing, ec))
        << ec.message();

    // Under Wine "runas" just starts the program (every process is elevated).
    ASSERT_TRUE(RelaunchElevated(copy.wstring(), L""));
    // Its process is not known here: the window is told apart by its program.
    HWND wnd = nullptr;
    uidriver::WaitUntil([&] {
        for (HWND top : uidriver::FindTopWindows({.title = CScanDialog::kTitle, .processId = uidriver::kAnyProcess}))
            if (fw::EqualsNoCase(uidriver::ProcessImage(top), copy.wstring())) wnd = top;
        return wnd != nullptr;
    }, 20000);
    ASSERT_NE(wnd, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    wchar_t image[1024] = {};
    DWORD size = 1024;
    QueryFullProcessImageNameW(process, 0, image, &size);
    EXPECT_EQ(_wcsicmp(image, copy.wstring().c_str()), 0);
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
    std::filesystem::remove_all(folder, ec);
}
