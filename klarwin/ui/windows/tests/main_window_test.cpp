// The main window: setting defaults, the problems display, the scan command's
// checks, the close button and the exit path, a whole scan through the
// progress window, and screenshots of both windows.
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kwtest;

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

HWND WaitForMainWindow() {
    return uidriver::WaitForTopWindow({.title = CScanDialog::kTitle, .processId = GetCurrentProcessId()});
}

void CloseMainWindow(HWND wnd) {
    PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
    uidriver::WaitForWindowGone(wnd);
}

// Settings as a later start finds them, without the Run value being touched.
void KnownSettings() {
    SetSetting(L"StartWithWindows", L"false");
    SetSetting(L"StartScanAtProgramStartup", L"false");
    SetSetting(L"ShowInTaskbarOnClose", L"true");
    SetSetting(L"AllowAutoUpdates", L"false");
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
        RunWithUser([&] { dlg.DoModal(); },
                    [&] {
                        HWND wnd = WaitForMainWindow();
                        ASSERT_NE(wnd, nullptr);
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
    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForMainWindow();
                    ASSERT_NE(wnd, nullptr);
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
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin");
    {
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [](UINT) {};
        RunWithUser([&] { dlg.DoModal(); }, [&] { CloseMainWindow(WaitForMainWindow()); });
        EXPECT_EQ(ReadSetting(L"StartWithWindows"), L"true");
        EXPECT_EQ(ReadSetting(L"StartScanAtProgramStartup"), L"false");
        EXPECT_EQ(ReadSetting(L"ShowInTaskbarOnClose"), L"true");
        EXPECT_EQ(ReadSetting(L"AllowAutoUpdates"), L"false");
    }
    wchar_t run[1024] = {};
    DWORD size = sizeof(run);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", RRF_RT_REG_SZ, nullptr, run, &size), ERROR_SUCCESS);
    wchar_t self[1024] = {};
    GetModuleFileNameW(nullptr, self, 1024);
    EXPECT_EQ(std::wstring(run), std::wstring(self));

    // A later start with start-with-Windows off neither deletes nor writes it.
    SetSetting(L"StartWithWindows", L"false");
    {
        CScanDialog dlg(false, &options);
        RunWithUser([&] { dlg.DoModal(); }, [&] { CloseMainWindow(WaitForMainWindow()); });
    }
    size = sizeof(run);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", RRF_RT_REG_SZ, nullptr, run, &size), ERROR_SUCCESS);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin");
    {
        CScanDialog dlg(false, &options);
        RunWithUser([&] { dlg.DoModal(); }, [&] { CloseMainWindow(WaitForMainWindow()); });
    }
    size = sizeof(run);
    EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", RRF_RT_REG_SZ, nullptr, run, &size), ERROR_SUCCESS);
    EXPECT_EQ(ReadSetting(L"StartWithWindows"), L"false");
}

TEST(KwWinMain, NoSectionSelectedAsksForASelection) {
    KnownSettings();
    const EngineOptions options = TestEngineOptions();
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForMainWindow();
                    ASSERT_NE(wnd, nullptr);
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
        RunWithUser([&] { dlg.DoModal(); },
                    [&] {
                        HWND wnd = WaitForMainWindow();
                        ASSERT_NE(wnd, nullptr);
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
    const EngineOptions options = TestEngineOptions(1.0);
    CScanProgressDialog progress;  // the long-lived progress window
    std::atomic<int> endCode{-1};
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [&](UINT code) { endCode = static_cast<int>(code); };
    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForMainWindow();
                    ASSERT_NE(wnd, nullptr);
                    uidriver::PostClick(uidriver::FindControl(wnd, IDC_NAV_SCAN));
                    HWND scan = uidriver::WaitForTopWindow({.title = L"Scan in Progress",
                                                            .processId = GetCurrentProcessId()});
                    ASSERT_NE(scan, nullptr);
                    // The scan's messages reach the progress window through the main window.
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
                    // What was found so far is shown; with nothing found, the good news.
                    HWND results = nullptr;
                    uidriver::MessageBoxInfo box;
                    ASSERT_TRUE(uidriver::WaitUntil([&] {
                        results = uidriver::FindTopWindow({.title = L"Repair Problems",
                                                           .processId = GetCurrentProcessId()});
                        if (results) return true;
                        for (HWND top : uidriver::FindTopWindows({.processId = GetCurrentProcessId()}))
                            if (uidriver::ReadMessageBox(top, box)) return true;
                        return false;
                    }));
                    if (results) {
                        EXPECT_GT(dlg.Engine().GetTotalErrorCount(), 0);
                        uidriver::PostClose(results);
                        EXPECT_TRUE(uidriver::WaitForWindowGone(results));
                    } else {
                        EXPECT_EQ(dlg.Engine().GetTotalErrorCount(), 0);
                        EXPECT_EQ(box.text.rfind(L"Good news!", 0), 0u);
                        uidriver::AnswerMessageBox(box.hwnd, IDNO);
                    }
                    EXPECT_TRUE(uidriver::WaitUntil([&] {
                        return uidriver::GetControlText(wnd, IDC_LAST_SCAN_DATE) == dlg.Engine().GetLastScanDate();
                    }));
                    EXPECT_NE(uidriver::GetControlText(wnd, IDC_LAST_SCAN_DATE), L"Not scanned yet");

                    // Without a scan the exit path ends the program.
                    PostMessageW(wnd, WM_COMMAND, ID_TRAY_EXIT, 0);
                    EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                });
    EXPECT_EQ(endCode.load(), 1);
}
