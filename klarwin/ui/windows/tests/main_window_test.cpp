// The main window: setting defaults, the problems display, the scan command's
// checks, the close button and the exit path, a stopped and a clean scan
// through the progress window, the scan at start-up, the tray menu's marks,
// scans refused while results or a repair are open, Exit during a repair, and
// screenshots of both windows.
#include "klarwin/record_format.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "klarwin/ui/window_messages.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>

using namespace kwtest;

namespace {

constexpr wchar_t kHelpKey[] = L"Software\\Microsoft\\Windows\\Help";

void CloseMainWindow(HWND wnd) {
    PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
    uidriver::WaitForWindowGone(wnd);
}

void SetHelpValue(const std::wstring& name, const std::wstring& data) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHelpKey, name.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

struct ProblemsCase {
    std::optional<std::wstring> stored;
    std::wstring text;
    COLORREF colour;
    UINT bitmap;
};

}  // namespace

TEST(KwWinMain, ProblemsDisplayFollowsTheStoredCount) {
    KnownSettings();
    const COLORREF green = RGB(0, 255, 0), red = RGB(255, 0, 0);
    const ProblemsCase cases[] = {
        {std::nullopt, L"0 registry errors", green, IDB_HEALTH_0},
        {L"", L"0 registry errors", green, IDB_HEALTH_0},
        {L"0", L"0 registry errors", green, IDB_HEALTH_0},
        {L"25", L"25 registry errors", red, IDB_HEALTH_1},
        {L"31", L"31 registry errors", red, IDB_HEALTH_2},
        {L"61", L"61 registry errors", red, IDB_HEALTH_3},
        {L"91", L"91 registry errors", red, IDB_HEALTH_4},
        {L"121", L"121 registry errors", red, IDB_HEALTH_5},
        {L"abc", L"abc registry errors", red, IDB_HEALTH_0},  // the image stays as it was
    };
    const EngineOptions options = TestEngineOptions();
    for (const ProblemsCase& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        SetSetting(L"IgnoredErrorsCount", c.stored);
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [](UINT) {};
        RunMainWindow(dlg, [&](HWND wnd) {
            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_PROBLEMS), c.text);
            EXPECT_EQ(dlg.GetProblemsStatic().GetTextColor(), c.colour);
            EXPECT_EQ(dlg.GetStatusBitmapId(), c.bitmap);
            HWND image = uidriver::FindControl(wnd, IDC_STATUS_IMAGE);
            EXPECT_NE(SendMessageW(image, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
            const RECT place = uidriver::GetRectInParent(image);
            EXPECT_EQ(place.left, 480);
            EXPECT_EQ(place.top, 380);
            // The colour shows on the screen too.
            const RECT text = uidriver::GetRectInParent(uidriver::FindControl(wnd, IDC_PROBLEMS));
            EXPECT_TRUE(uidriver::WaitUntil(
                [&] { return uidriver::CountPixels(wnd, text, c.colour, 40) > 10; }, 3000));
            CloseMainWindow(wnd);
        });
    }
    SetSetting(L"IgnoredErrorsCount", std::nullopt);
}

TEST(KwWinMain, StartsWithTheControlTableFilledIn) {
    KnownSettings();
    const EngineOptions options = TestEngineOptions();
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    RunMainWindow(dlg, [&](HWND wnd) {
        const RECT frame = uidriver::GetScreenRect(wnd);
        EXPECT_EQ(frame.right - frame.left, 770);
        EXPECT_EQ(frame.bottom - frame.top, 571);
        for (int i = 0; i < 12; ++i) {
            HWND box = uidriver::FindControl(wnd, kwui::kSectionCheckIds[i]);
            EXPECT_EQ(uidriver::GetCheck(box), BST_CHECKED) << i;
            const RECT place = uidriver::GetRectInParent(box);
            EXPECT_EQ(place.left, i < 6 ? 280 : 510) << i;
            EXPECT_EQ(place.top, 225 + (i % 6) * 20) << i;
        }
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_LABEL_FONTS), L"Windows Fonts");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_CHECK_UPDATES), L"Update");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_HELP_BUTTON), L"Help");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE_VERSION),
                  L"Klarwin v" + dlg.Engine().GetProductVersion());
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_LAST_SCAN_DATE), dlg.Engine().GetLastScanDate());
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_UPDATE_STATUS), L"Checking...");
        // The start-up completion step enables the custom solution and
        // shows the companion offer (the companion is not installed here).
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::IsEnabled(uidriver::FindControl(wnd, IDC_NAV_SOLUTION)); }));
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::IsVisible(uidriver::FindControl(wnd, IDC_PROMOTION_LINK)); }));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_PROMOTION_LINK), L"Download Now");
        EXPECT_TRUE(dlg.IsTrayIconAdded());
        // The frame of the template: a thin border and no caption.
        const DWORD style = uidriver::GetStyle(wnd);
        EXPECT_NE(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
        EXPECT_TRUE(style & WS_BORDER);
        // The statics the template alone places sit where the artwork has their labels.
        const struct {
            int id;
            RECT art;
        } placed[] = {{IDC_PRODUCT_VERSION, {115, 486, 215, 501}},
                      {IDC_RELEASE_DATE, {115, 504, 215, 519}},
                      {IDC_UPDATE_STATUS, {115, 522, 200, 540}}};
        for (const auto& p : placed) {
            const RECT rc = uidriver::GetRectInParent(uidriver::FindControl(wnd, p.id));
            EXPECT_NEAR(rc.left, p.art.left, 2) << p.id;
            EXPECT_NEAR(rc.top, p.art.top, 2) << p.id;
            EXPECT_NEAR(rc.right, p.art.right, 2) << p.id;
            EXPECT_NEAR(rc.bottom, p.art.bottom, 2) << p.id;
        }
        // Texts drawn in the artwork are the window texts of the buttons that show them.
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_SCAN_NOW), L"Scan Now");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_NAV_SETTINGS), L"Settings");
        HWND link = uidriver::FindControl(wnd, IDC_PROMOTION_LINK);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::CountPixels(link, RECT{0, 0, 80, 14}, RGB(0, 0, 238), 60) > 10; }));
        Sleep(300);
        EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_main_window").empty());
        CloseMainWindow(wnd);
    });
    EXPECT_FALSE(dlg.IsTrayIconAdded());  // however the window ends, its icon goes
}

TEST(KwWinMain, FirstStartWritesDefaultsAndLaterStartsKeepTheRunValue) {
    const EngineOptions options = TestEngineOptions();
    for (const wchar_t* name : {L"StartWithWindows", L"StartScanAtProgramStartup", L"ShowInTaskbarOnClose",
                                L"AllowAutoUpdates", L"IgnoredErrorsCount"})
        SetSetting(name, std::nullopt);
    DeleteRunValue();
    {
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [](UINT) {};
        RunMainWindow(dlg, CloseMainWindow);
        EXPECT_EQ(ReadSetting(L"StartWithWindows"), L"true");
        EXPECT_EQ(ReadSetting(L"StartScanAtProgramStartup"), L"false");
        EXPECT_EQ(ReadSetting(L"ShowInTaskbarOnClose"), L"true");
        EXPECT_EQ(ReadSetting(L"AllowAutoUpdates"), L"false");
    }
    wchar_t self[1024] = {};
    GetModuleFileNameW(nullptr, self, 1024);
    ASSERT_EQ(RunValue(), std::optional<std::wstring>(self));

    // A later start with start-with-Windows off neither deletes nor writes it.
    SetSetting(L"StartWithWindows", L"false");
    {
        CScanDialog dlg(false, &options);
        RunMainWindow(dlg, CloseMainWindow);
    }
    EXPECT_NE(RunValue(), std::nullopt);
    DeleteRunValue();
    {
        CScanDialog dlg(false, &options);
        RunMainWindow(dlg, CloseMainWindow);
    }
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_EQ(ReadSetting(L"StartWithWindows"), L"false");
}

TEST(KwWinMain, NoSectionSelectedAsksForASelection) {
    KnownSettings();
    const EngineOptions options = TestEngineOptions();
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    RunMainWindow(dlg, [&](HWND wnd) {
        for (int id : kwui::kSectionCheckIds) uidriver::PostClick(uidriver::FindControl(wnd, id));
        for (int id : kwui::kSectionCheckIds)
            EXPECT_TRUE(uidriver::WaitUntil(
                [&] { return uidriver::GetCheck(uidriver::FindControl(wnd, id)) == BST_UNCHECKED; }));
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_SCAN_NOW));
        ExpectMessageBox(L"Please make a selection first!");
        EXPECT_EQ(uidriver::FindTopWindow({.title = L"Scan in Progress"}), nullptr);
        EXPECT_EQ(dlg.Engine().GetScanThread(), nullptr);
        CloseMainWindow(wnd);
    });
}

TEST(KwWinMain, CloseButtonHidesOnlyForExactlyTrue) {
    KnownSettings();
    const EngineOptions options = TestEngineOptions();
    for (const wchar_t* value : {L"true", L"True", L"false"}) {
        SCOPED_TRACE(std::string(value, value + wcslen(value)));
        SetSetting(L"ShowInTaskbarOnClose", std::wstring(value));
        std::atomic<int> endCode{-1};
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [&](UINT code) { endCode = static_cast<int>(code); };
        const bool hides = std::wstring(value) == L"true";
        RunMainWindow(dlg, [&](HWND wnd) {
            uidriver::PostClick(uidriver::FindControl(wnd, IDC_CLOSE));
            if (hides) {
                EXPECT_TRUE(uidriver::WaitUntil([&] { return !IsWindowVisible(wnd); }));
                EXPECT_TRUE(IsWindow(wnd));
                EXPECT_EQ(endCode.load(), -1);
                // The tray's "Open Klarwin" brings it back.
                PostMessageW(wnd, WM_COMMAND, ID_TRAY_OPEN, 0);
                EXPECT_TRUE(uidriver::WaitUntil([&] { return IsWindowVisible(wnd) != FALSE; }));
                CloseMainWindow(wnd);
            } else {
                EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
            }
        });
        EXPECT_EQ(endCode.load(), hides ? -1 : 1);
        EXPECT_FALSE(dlg.IsTrayIconAdded());
    }
    SetSetting(L"ShowInTaskbarOnClose", L"true");
}

TEST(KwWinMain, ExitDuringAScanWaitsAndAWholeScanRunsThroughTheProgressWindow) {
    KnownSettings();
    // One broken help file: the scan below finds at least this one.
    const std::wstring name = L"KwWinMainHelp" + std::to_wstring(GetCurrentProcessId());
    SetHelpValue(name, L"C:\\" + name + L"-missing\\a.chm");
    // Long pauses after each section: the scan still runs when Exit comes.
    const EngineOptions options = TestEngineOptions(3.0);
    CScanProgressDialog progress;  // the long-lived progress window
    std::atomic<int> endCode{-1};
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [&](UINT code) { endCode = static_cast<int>(code); };
    RunMainWindow(dlg, [&](HWND wnd) {
        SelectSections(wnd, {3, 4, 5, 6, 7, 8, 9, 10, 11});
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_NAV_SCAN));
        HWND scan = uidriver::WaitForTopWindow({.title = L"Scan in Progress",
                                                .processId = GetCurrentProcessId()});
        ASSERT_NE(scan, nullptr);
        // The scan's messages reach the progress window through the main window.
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(scan, IDC_COUNT_HELP) != L"(0)"; }, 20000));
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return !uidriver::GetControlText(scan, IDC_CURRENT_ITEM).empty(); }, 20000));
        Sleep(500);
        EXPECT_FALSE(uidriver::SaveScreenshot(scan, L"klarwin_scan_progress").empty());

        PostMessageW(wnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        ExpectMessageBox(L"Please wait for the scan to complete.");
        EXPECT_TRUE(IsWindow(wnd));
        EXPECT_EQ(endCode.load(), -1);

        // A second scan command while this one runs is refused.
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_SCAN, 0);
        ExpectMessageBox(L"Scan in progress. Please wait.");

        uidriver::PostKey(scan, VK_ESCAPE);
        ExpectMessageBox(L"The scanning process has been interrupted by the user.");
        EXPECT_TRUE(uidriver::WaitForWindowGone(scan));
        // What was found so far is shown; closing the results keeps it all.
        HWND results = uidriver::WaitForTopWindow({.title = L"Repair Problems",
                                                   .processId = GetCurrentProcessId()});
        ASSERT_NE(results, nullptr);
        const int found = dlg.Engine().GetTotalErrorCount();
        EXPECT_GT(found, 0);
        uidriver::PostClose(results);
        EXPECT_TRUE(uidriver::WaitForWindowGone(results));
        const std::wstring unresolved = dlg.Engine().GetUnresolvedFilePath();
        EXPECT_NE(GetFileAttributesW(unresolved.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), std::to_wstring(found));
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            return uidriver::GetControlText(wnd, IDC_LAST_SCAN_DATE) == dlg.Engine().GetLastScanDate();
        }));
        EXPECT_NE(uidriver::GetControlText(wnd, IDC_LAST_SCAN_DATE), L"Not scanned yet");

        // A clean scan: the broken entry is gone and only help files are scanned.
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelpKey, name.c_str());
        SelectSections(wnd, {3});
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_SCAN_NOW));
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"", 30000));
        EXPECT_EQ(box.text, L"The scan completed successfully.");
        // The scan's thread has ended, but its flow goes on: a scan from the
        // tray now is refused over the end-of-scan message.
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_SCAN, 0);
        uidriver::MessageBoxInfo refusal;
        ASSERT_TRUE(WaitForOtherMessageBox(refusal, box.hwnd));
        EXPECT_EQ(refusal.text, L"Scan in progress. Please wait.");
        uidriver::AnswerMessageBox(refusal.hwnd, IDOK);
        uidriver::WaitForWindowGone(refusal.hwnd);
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"", 30000));
        EXPECT_EQ(box.text.rfind(L"Good news!", 0), 0u);
        uidriver::AnswerMessageBox(box.hwnd, IDNO);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return GetFileAttributesW(unresolved.c_str()) == INVALID_FILE_ATTRIBUTES; }));
        EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), L"0");
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_PROBLEMS) == L"0 registry errors"; }));

        // Without a scan the exit path ends the program.
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(endCode.load(), 1);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelpKey, name.c_str());
}

TEST(KwWinMain, ScansByItselfAtStartAndTheTrayMenuFollowsTheRunValue) {
    KnownSettings();
    SetSetting(L"StartScanAtProgramStartup", L"true");
    const std::wstring name = L"KwWinMainAuto" + std::to_wstring(GetCurrentProcessId());
    SetHelpValue(name, L"C:\\" + name + L"-missing\\a.chm");
    const EngineOptions options = TestEngineOptions(1.0);
    CScanProgressDialog progress;
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    wchar_t self[1024] = {};
    GetModuleFileNameW(nullptr, self, 1024);
    RunMainWindow(dlg, [&](HWND wnd) {
        // Nobody pressed a button: the setting starts the scan.
        HWND scan = uidriver::WaitForTopWindow({.title = L"Scan in Progress",
                                                .processId = GetCurrentProcessId()});
        ASSERT_NE(scan, nullptr);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(scan, IDC_COUNT_HELP) != L"(0)"; }, 60000));
        uidriver::PostKey(scan, VK_ESCAPE);
        // Stopped, or over already: either way the broken entry is among the results.
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_TRUE(box.text == L"The scanning process has been interrupted by the user." ||
                    box.text == L"The scan completed successfully.");
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        HWND results = uidriver::WaitForTopWindow({.title = L"Repair Problems",
                                                   .processId = GetCurrentProcessId()});
        ASSERT_NE(results, nullptr);
        uidriver::PostKey(results, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(results));

        // The tray menu's check marks show the setting; its commands
        // change the setting and the Run value together.
        auto marks = [&] {
            PostMessageW(wnd, WM_TRAY_NOTIFY, IDI_KLARWIN, WM_RBUTTONUP);
            HWND menu = uidriver::WaitForTopWindow({.className = L"#32768",
                                                    .processId = GetCurrentProcessId()});
            EXPECT_NE(menu, nullptr);
            HMENU tray = dlg.GetTrayPopup();
            const bool yes = GetMenuState(tray, ID_TRAY_STARTUP_YES, MF_BYCOMMAND) & MF_CHECKED;
            const bool no = GetMenuState(tray, ID_TRAY_STARTUP_NO, MF_BYCOMMAND) & MF_CHECKED;
            // What EndMenu posts: the menu loop of the window's thread ends.
            PostMessageW(wnd, WM_CANCELMODE, 0, 0);
            EXPECT_TRUE(uidriver::WaitForWindowGone(menu, uidriver::kDefaultTimeoutMs, true));
            return std::make_pair(yes, no);
        };
        EXPECT_EQ(marks(), std::make_pair(false, true));  // "StartWithWindows" is "false"
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_STARTUP_YES, 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return ReadSetting(L"StartWithWindows") == L"true"; }));
        EXPECT_EQ(RunValue(), std::optional<std::wstring>(self));
        EXPECT_EQ(marks(), std::make_pair(true, false));
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_STARTUP_NO, 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return ReadSetting(L"StartWithWindows") == L"false"; }));
        EXPECT_EQ(RunValue(), std::nullopt);
        EXPECT_EQ(marks(), std::make_pair(false, true));
        CloseMainWindow(wnd);
    });
    SetSetting(L"StartScanAtProgramStartup", L"false");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelpKey, name.c_str());
}

TEST(KwWinMain, OpenResultsOrARepairRefuseScansAndExitStopsTheRepairAtASafePoint) {
    KnownSettings();
    // Twenty broken values left from a last scan, repaired at one per second.
    const std::wstring key = L"Software\\KwWinMainRepair" + std::to_wstring(GetCurrentProcessId());
    const EngineOptions options = TestEngineOptions(1.0);
    CErrorListEx last;
    for (int i = 0; i < 20; ++i) {
        const std::wstring value = L"v" + std::to_wstring(i);
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), REG_SZ, L"x", 2 * sizeof(wchar_t));
        CError e;
        e.ErrorType = kErrorValue;
        e.Section = kSectionSoundFiles;
        e.Title = L"The file is missing or invalid.";
        e.Item.RootKey = reinterpret_cast<RootKeyHandle>(HKEY_CURRENT_USER);
        e.Item.RootName = L"HKEY_CURRENT_USER";
        e.Item.SubKey = key;
        e.Item.ValueName = value;
        last.Add(e);
    }
    const std::wstring unresolved = options.dataFolder + L"\\unresolvederrors.dat";
    ASSERT_EQ(SaveErrorFile(std::filesystem::path(unresolved), last), RecordFileResult::Ok);
    CScanProgressDialog progress;
    CRepairErrorsDialog repair;
    CResultStatus summary;
    std::atomic<int> endCode{-1};
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [&](UINT code) { endCode = static_cast<int>(code); };
    RunMainWindow(dlg, [&](HWND wnd) {
        const DWORD self = GetCurrentProcessId();
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_VIEW_LAST_RESULTS));
        HWND results = uidriver::WaitForTopWindow({.title = L"Repair Problems", .processId = self});
        ASSERT_NE(results, nullptr);
        // A scan now would empty the list the results window shows.
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_SCAN, 0);
        ExpectMessageBox(L"The results of the last scan are still open. Please finish or close them "
                         L"before starting a new scan.");
        EXPECT_EQ(dlg.Engine().GetErrorList().GetSize(), 20);

        HWND rep = PressRepair(results);
        ASSERT_NE(rep, nullptr);
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_SCAN, 0);
        ExpectMessageBox(L"The results of the last scan are still open. Please finish or close them "
                         L"before starting a new scan.");
        EXPECT_EQ(dlg.Engine().GetScanThread(), nullptr);

        // Exit asks; "No" lets the repair go on.
        uidriver::MessageBoxInfo box;
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_EQ(box.text.rfind(L"A repair is in progress.", 0), 0u);
        uidriver::AnswerMessageBox(box.hwnd, IDNO);
        uidriver::WaitForWindowGone(box.hwnd);
        EXPECT_TRUE(dlg.Engine().IsRepairRunning());
        EXPECT_EQ(endCode.load(), -1);
        // "Yes" stops it after the error it works on, and the program ends.
        PostMessageW(wnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        uidriver::AnswerMessageBox(box.hwnd, IDYES);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return endCode.load() == 1; }));
        // Where the process goes on (here), the windows close without a success message.
        EXPECT_TRUE(uidriver::WaitForWindowGone(rep));
        HWND sum = uidriver::WaitForTopWindow({.title = L"Repair results summary", .processId = self});
        ASSERT_NE(sum, nullptr);
        uidriver::PostClick(uidriver::FindControl(sum, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(results));
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    // What was repaired is gone; what was not is kept as unresolved, and counted.
    const int repaired = dlg.Engine().GetCounters().TotalRepaired();
    EXPECT_GE(repaired, 1);
    EXPECT_LT(repaired, 20);
    CErrorListEx kept;
    ASSERT_EQ(LoadErrorFile(std::filesystem::path(unresolved), kept), RecordFileResult::Ok);
    ASSERT_EQ(kept.GetSize(), 20 - repaired);
    EXPECT_TRUE(kept[0].Item.ValueName == L"v" + std::to_wstring(repaired));
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), std::to_wstring(20 - repaired));
    int remaining = 0;
    for (int i = 0; i < 20; ++i) {
        const std::wstring value = L"v" + std::to_wstring(i);
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            ++remaining;
    }
    EXPECT_EQ(remaining, 20 - repaired);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    SetSetting(L"IgnoredErrorsCount", std::nullopt);
}
