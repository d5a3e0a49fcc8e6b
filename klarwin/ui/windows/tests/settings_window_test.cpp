// The settings window through its real window: the options, the Run value
// and the scheduled scan through the Task Scheduler.
#include "klarwin/scan_schedule.h"
#include "klarwin/ui/settings_dialog.h"
#include "online_test_support.h"
#include "resource.h"
#include "support_windows_fixture.h"
#include "windows_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace kwsupport;

class KwSupportSettings : public SupportWindowsTest {
protected:
    // The Task Scheduler is reached through COM from this thread.
    void SetUp() override {
        CoInitialize(nullptr);
        SupportWindowsTest::SetUp();
        DeleteScanTask(L"Klarwin");
        DeleteRunValue();
    }
    void TearDown() override {
        DeleteScanTask(L"Klarwin");
        DeleteRunValue();
        kwtest::SetSetting(L"StartWithWindows", L"false");
        SupportWindowsTest::TearDown();
        CoUninitialize();
    }
};

TEST_F(KwSupportSettings, ReadsTheOptionsAndScheduleAndSavesAWeeklyScan) {
    // "true" without a Run value: the box follows the Run value.
    kwtest::SetSetting(L"StartWithWindows", L"true");
    kwtest::SetSetting(L"StartScanAtProgramStartup", L"true");
    kwtest::SetSetting(L"ShowInTaskbarOnClose", L"false");
    kwtest::SetSetting(L"AllowAutoUpdates", L"true");
    ASSERT_TRUE(engine->SetScanSchedule(kScheduleDaily, 8, 15, 0));

    CSettingsDialog dlg;
    INT_PTR result = RunWindow(dlg, {.title = L"Settings"}, [&](HWND wnd) {
        const RECT frame = uidriver::GetScreenRect(wnd);
        EXPECT_EQ(frame.right - frame.left, 450);
        EXPECT_EQ(frame.bottom - frame.top, 413);
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"SETTINGS");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_OPT_TRAY_ON_CLOSE_LABEL),
                  L"Minimize Klarwin to tray on close.");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDOK), L"Save");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_VIEW_REPORTS), L"View scan reports");
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_START_WITH_WINDOWS)),
                  BST_UNCHECKED);
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_SCAN_AT_STARTUP)),
                  BST_CHECKED);
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_TRAY_ON_CLOSE)),
                  BST_UNCHECKED);
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_AUTO_UPDATES)),
                  BST_CHECKED);
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_LANGUAGE), L"English");
        // The boxes carry their labels' texts as their names.
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_OPT_AUTO_UPDATES),
                  L"Check for updates automatically.");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DAY_WEDNESDAY), L"Wednesday");
        // Daily at 08:15: the time can be set, the days cannot.
        HWND schedule = uidriver::FindControl(wnd, IDC_SCHEDULE);
        HWND picker = uidriver::FindControl(wnd, IDC_SCAN_TIME);
        EXPECT_EQ(SendMessageW(schedule, CB_GETCURSEL, 0, 0), 1);
        SYSTEMTIME time = {};
        EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)),
                  GDT_VALID);
        EXPECT_EQ(time.wHour, 8);
        EXPECT_EQ(time.wMinute, 15);
        EXPECT_TRUE(uidriver::IsEnabled(picker));
        for (int id : CSettingsDialog::kDayIds)
            EXPECT_FALSE(uidriver::IsEnabled(uidriver::FindControl(wnd, id))) << id;

        // Weekly on Monday and Friday at 14:30.
        SendMessageW(schedule, CB_SETCURSEL, 2, 0);
        uidriver::PostCommand(wnd, IDC_SCHEDULE, CBN_SELCHANGE);
        HWND monday = uidriver::FindControl(wnd, IDC_DAY_MONDAY);
        HWND friday = uidriver::FindControl(wnd, IDC_DAY_FRIDAY);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::IsEnabled(monday); }));
        time.wHour = 14;
        time.wMinute = 30;
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
        uidriver::PostMouseClick(monday, {6, 6});
        uidriver::PostMouseClick(friday, {6, 6});
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            return uidriver::GetCheck(monday) == BST_CHECKED &&
                   uidriver::GetCheck(friday) == BST_CHECKED;
        }));
        // Tray on close switched on.
        HWND tray = uidriver::FindControl(wnd, IDC_OPT_TRAY_ON_CLOSE);
        uidriver::PostMouseClick(tray, {6, 6});
        EXPECT_TRUE(
            uidriver::WaitUntil([&] { return uidriver::GetCheck(tray) == BST_CHECKED; }));
        EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_settings").empty());
        uidriver::PostClick(uidriver::FindControl(wnd, IDOK));
        ExpectBox(L"Settings", L"Your settings have been successfully saved.");
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(result, IDOK);

    ScanSchedule saved;
    ASSERT_TRUE(ReadScanSchedule(L"Klarwin", saved));
    ASSERT_TRUE(saved.Exists);
    ASSERT_TRUE(saved.HasTrigger);
    EXPECT_EQ(saved.TriggerType, kTriggerWeekly);
    EXPECT_EQ(saved.Hour, 14);
    EXPECT_EQ(saved.Minute, 30);
    EXPECT_EQ(saved.DaysOfWeek, 0x22);
    EXPECT_EQ(kwtest::ReadSetting(L"StartWithWindows"), L"false");
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_EQ(kwtest::ReadSetting(L"StartScanAtProgramStartup"), L"true");
    EXPECT_EQ(kwtest::ReadSetting(L"ShowInTaskbarOnClose"), L"true");
    EXPECT_EQ(kwtest::ReadSetting(L"AllowAutoUpdates"), L"true");

    // The next opening shows the weekly schedule; "None" then turns the time
    // and the days off, and start with Windows writes the Run value.
    result = RunWindow(dlg, {.title = L"Settings"}, [&](HWND wnd) {
        HWND schedule = uidriver::FindControl(wnd, IDC_SCHEDULE);
        HWND picker = uidriver::FindControl(wnd, IDC_SCAN_TIME);
        EXPECT_EQ(SendMessageW(schedule, CB_GETCURSEL, 0, 0), 2);
        SYSTEMTIME time = {};
        SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
        EXPECT_EQ(time.wHour, 14);
        EXPECT_EQ(time.wMinute, 30);
        for (int i = 0; i < CSettingsDialog::kDayCount; ++i) {
            HWND day = uidriver::FindControl(wnd, CSettingsDialog::kDayIds[i]);
            EXPECT_TRUE(uidriver::IsEnabled(day)) << i;
            EXPECT_EQ(uidriver::GetCheck(day),
                      (CSettingsDialog::kDayBits[i] & 0x22) ? BST_CHECKED : BST_UNCHECKED)
                << i;
        }
        SendMessageW(schedule, CB_SETCURSEL, 0, 0);
        uidriver::PostCommand(wnd, IDC_SCHEDULE, CBN_SELCHANGE);
        // The time and all seven days are turned off.
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            bool anyOn = uidriver::IsEnabled(picker);
            for (int id : CSettingsDialog::kDayIds)
                anyOn = anyOn || uidriver::IsEnabled(uidriver::FindControl(wnd, id));
            return !anyOn;
        }));
        HWND start = uidriver::FindControl(wnd, IDC_OPT_START_WITH_WINDOWS);
        uidriver::PostMouseClick(start, {6, 6});
        EXPECT_TRUE(
            uidriver::WaitUntil([&] { return uidriver::GetCheck(start) == BST_CHECKED; }));
        uidriver::PostClick(uidriver::FindControl(wnd, IDOK));
        ExpectBox(L"Settings", L"Your settings have been successfully saved.");
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_TRUE(ReadScanSchedule(L"Klarwin", saved));
    EXPECT_TRUE(saved.Exists);  // the task stays, without its trigger
    EXPECT_FALSE(saved.HasTrigger);
    EXPECT_EQ(kwtest::ReadSetting(L"StartWithWindows"), L"true");
    EXPECT_EQ(RunValue(), engine->GetProgramPath());
}

TEST_F(KwSupportSettings, DefaultsEmptyOptionsAndCancelWritesNothing) {
    for (const wchar_t* name :
         {L"StartWithWindows", L"StartScanAtProgramStartup", L"ShowInTaskbarOnClose", L"AllowAutoUpdates"})
        kwtest::SetSetting(name, std::nullopt);
    CSettingsDialog dlg;
    INT_PTR result = RunWindow(dlg, {.title = L"Settings"}, [&](HWND wnd) {
        // No task: "None", nothing of the schedule can be set.
        EXPECT_EQ(SendMessageW(uidriver::FindControl(wnd, IDC_SCHEDULE), CB_GETCURSEL, 0, 0), 0);
        EXPECT_FALSE(uidriver::IsEnabled(uidriver::FindControl(wnd, IDC_SCAN_TIME)));
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_TRAY_ON_CLOSE)),
                  BST_CHECKED);
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(wnd, IDC_OPT_SCAN_AT_STARTUP)),
                  BST_UNCHECKED);
        HWND start = uidriver::FindControl(wnd, IDC_OPT_START_WITH_WINDOWS);
        EXPECT_EQ(uidriver::GetCheck(start), BST_UNCHECKED);
        uidriver::PostMouseClick(start, {6, 6});
        EXPECT_TRUE(
            uidriver::WaitUntil([&] { return uidriver::GetCheck(start) == BST_CHECKED; }));
        uidriver::PostClose(wnd);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(result, IDCANCEL);
    // The defaults were written on opening; Cancel left the Run value and the task alone.
    EXPECT_EQ(kwtest::ReadSetting(L"StartWithWindows"), L"true");
    EXPECT_EQ(kwtest::ReadSetting(L"StartScanAtProgramStartup"), L"false");
    EXPECT_EQ(kwtest::ReadSetting(L"ShowInTaskbarOnClose"), L"true");
    EXPECT_EQ(kwtest::ReadSetting(L"AllowAutoUpdates"), L"false");
    EXPECT_EQ(RunValue(), std::nullopt);
    ScanSchedule saved;
    ASSERT_TRUE(ReadScanSchedule(L"Klarwin", saved));
    EXPECT_FALSE(saved.Exists);
}
