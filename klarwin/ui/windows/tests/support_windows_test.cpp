// The settings and support windows driven through their real windows: the
// options, the Run value and the scheduled scan through the Task Scheduler;
// the send-log window's checks and its submission to the loopback log
// service; the custom-solution window running what the service returns; and
// the download window following a real download from the loopback update
// server, and its abort. Screenshots of the four windows.
#include "klarwin/online/online_config.h"
#include "klarwin/online/online_services.h"
#include "klarwin/scan_schedule.h"
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/settings_dialog.h"
#include "klarwin/ui/support_dialogs.h"
#include "klarwin/ui/window_messages.h"
#include "online_test_support.h"
#include "resource.h"
#include "windows_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSettingsKeyPath[] = L"Software\\Klarwin";

HWND WaitTop(const std::wstring& title) {
    return uidriver::WaitForTopWindow({.title = title, .processId = GetCurrentProcessId()});
}

std::optional<std::wstring> RunValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

void DeleteRunValue() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin"); }

std::optional<DWORD> ReadLogId() {
    DWORD data = 0, size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID", RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

void SetLogId(std::optional<DWORD> id) {
    if (!id) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID");
        return;
    }
    const DWORD data = *id;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID", REG_DWORD, &data, sizeof data);
}

// Percent-encodes a query value (UTF-8).
std::wstring UrlEncode(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    std::wstring out;
    for (unsigned char c : utf8) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            wchar_t hex[4];
            swprintf(hex, 4, L"%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::wstring Widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void SetEditText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(uidriver::FindControl(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

// Waits for a message box, checks its title and text, and presses OK.
void ExpectBox(const std::wstring& title, const std::wstring& text) {
    uidriver::MessageBoxInfo box;
    ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, title, 30000))
        << "no message box for: " << std::string(text.begin(), text.end());
    EXPECT_EQ(box.text, text);
    EXPECT_TRUE(uidriver::AnswerMessageBox(box.hwnd, IDOK));
    uidriver::WaitForWindowGone(box.hwnd);
}

// The engine the windows reach, with the online services pointed at the
// loopback servers; the services' threads post to `mainWnd`.
class SupportWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        updatePort = ServerPort("update_port");
        logPort = ServerPort("log_port");
        ASSERT_NE(updatePort, 0);
        ASSERT_NE(logPort, 0);
        SetUpdateServer({L"127.0.0.1", updatePort});
        SetLogServer({L"127.0.0.1", logPort});
        ASSERT_EQ(HttpGet(logPort, L"/control"), "ok");
        ASSERT_EQ(HttpGet(updatePort, L"/control"), "ok");
        folder = TempFolder(L"kwsupport-test");
        program = folder + L"\\Klarwin.exe";
        std::ofstream(std::filesystem::path(program), std::ios::binary) << "the running program";
        options = kwtest::TestEngineOptions();
        engine = std::make_unique<CBriskoEngine>(options);
    }
    void UseOnlineServices(HWND mainWnd) {
        auto services = std::make_unique<COnlineServices>(mainWnd, program, L"3.0.5");
        online = services.get();
        engine->SetOnlineServices(std::move(services));
    }
    void TearDown() override {
        engine.reset();
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(folder), ec);
        SetUpdateServer({});
        SetLogServer({});
    }

    unsigned short updatePort = 0, logPort = 0;
    std::wstring folder, program;
    COnlineServices* online = nullptr;
    EngineOptions options;
    std::unique_ptr<CBriskoEngine> engine;
};

}  // namespace

// ---------------------------------------------------------------------------
// Settings

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
    INT_PTR result = 0;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Settings");
                            ASSERT_NE(wnd, nullptr);
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
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Settings");
                            ASSERT_NE(wnd, nullptr);
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
    INT_PTR result = 0;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Settings");
                            ASSERT_NE(wnd, nullptr);
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

// ---------------------------------------------------------------------------
// Send log

TEST(KwSupportEmail, AcceptsANamePartAnAtAndTwoDomainLabels) {
    EXPECT_TRUE(IsEmailFormValid(L"user@example.com"));
    EXPECT_TRUE(IsEmailFormValid(L"first.last@mail.example.org"));
    EXPECT_FALSE(IsEmailFormValid(L""));
    EXPECT_FALSE(IsEmailFormValid(L"user"));
    EXPECT_FALSE(IsEmailFormValid(L"@example.com"));    // nothing before the "@"
    EXPECT_FALSE(IsEmailFormValid(L"user@"));           // nothing after it
    EXPECT_FALSE(IsEmailFormValid(L"user@example"));    // no dot after it
    EXPECT_FALSE(IsEmailFormValid(L"user@example."));   // one label
    EXPECT_FALSE(IsEmailFormValid(L"user@.example"));   // one label
    EXPECT_FALSE(IsEmailFormValid(L"user.example.com"));
}

class KwSupportSendLog : public SupportWindowsTest {
protected:
    void SetUp() override {
        SupportWindowsTest::SetUp();
        UseOnlineServices(nullptr);
        SetLogId(std::nullopt);
        kwtest::SetSetting(L"Email", std::nullopt);
    }
    void TearDown() override {
        SetLogId(std::nullopt);
        kwtest::SetSetting(L"Email", std::nullopt);
        SupportWindowsTest::TearDown();
    }
    // Fills the three entries and presses "Send Report".
    static void Send(HWND wnd, const std::wstring& name, const std::wstring& email, const std::wstring& description) {
        SetEditText(wnd, IDC_NAME_EDIT, name);
        SetEditText(wnd, IDC_EMAIL_EDIT, email);
        SetEditText(wnd, IDC_DESCRIPTION_EDIT, description);
        uidriver::PostClick(uidriver::FindControl(wnd, IDOK));
    }
};

TEST_F(KwSupportSendLog, ChecksTheEntriesThenSubmitsTheReport) {
    CSendLogDialog dlg;
    INT_PTR result = 0;
    const std::wstring enterEmail =
        L"Please enter your email address to proceed.\r\nNOTE: please use the same email address you used to "
        L"register Klarwin upon purchase.";
    const std::wstring badEmail = L"Your email address is not correct; please verify and try again.";
    const std::wstring enterDescription =
        L"Please provide a full description of your problem.\r\nNOTE: the more details (error codes, error type, "
        L"etc.), the better chances we have to provide you with a relevant solution.";
    kwtest::RunWithUser(
        [&] { result = dlg.DoModal(); },
        [&] {
            HWND wnd = WaitTop(L"Send Report");
            ASSERT_NE(wnd, nullptr);
            const RECT frame = uidriver::GetScreenRect(wnd);
            EXPECT_EQ(frame.right - frame.left, 526);
            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"ADVANCED REPAIR");
            EXPECT_EQ(uidriver::GetControlText(wnd, IDOK), L"Send Report");
            // The report of this computer is shown.
            const std::wstring report = uidriver::GetControlText(wnd, IDC_REPORT_EDIT);
            EXPECT_NE(report.find(L".exe"), std::wstring::npos);
            EXPECT_EQ(report.find(L"<b>"), std::wstring::npos);

            Send(wnd, L"", L"user@example.com", L"Slow");
            ExpectBox(L"Klarwin", L"Please enter your Name to proceed.");
            Send(wnd, L"Ann", L"", L"Slow");
            ExpectBox(L"Klarwin", enterEmail);
            for (const wchar_t* address : {L"@example.com", L"user@example", L"user@"}) {
                Send(wnd, L"Ann", address, L"Slow");
                ExpectBox(L"Klarwin", badEmail);
            }
            Send(wnd, L"Ann", L"user@example.com", L"");
            ExpectBox(L"Klarwin", enterDescription);

            SetEditText(wnd, IDC_DESCRIPTION_EDIT, L"My PC is slow & shows <errors>");
            Sleep(500);  // drawn before the picture is taken
            EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_send_log").empty());
            uidriver::PostClick(uidriver::FindControl(wnd, IDOK));
            ExpectBox(L"Klarwin", L"Your report was sent successfully.");
            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
        });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadLogId(), 4711u);
    EXPECT_EQ(kwtest::ReadSetting(L"Email"), L"user@example.com");
    EXPECT_EQ(dlg.m_strEmail, L"user@example.com");

    // What the service received: the exact action, the entries, the escaped HTML report.
    const std::wstring last = Widen(HttpGet(logPort, L"/last"));
    const size_t lineEnd = last.find(L'\n');
    ASSERT_NE(lineEnd, std::wstring::npos);
    EXPECT_EQ(last.substr(0, lineEnd), L"\"" + GetLogNamespace() + L"ReportComputerLog\"");
    EXPECT_NE(last.find(L"<Email>user@example.com</Email>"), std::wstring::npos);
    EXPECT_NE(last.find(L"My PC is slow &amp; shows &lt;errors&gt;</Description>"), std::wstring::npos);
    EXPECT_NE(last.find(L"<ProductVersion>EN " + engine->GetProductVersion() + L"</ProductVersion>"),
              std::wstring::npos);
    EXPECT_NE(last.find(L"&lt;b&gt;"), std::wstring::npos);  // the HTML twin of the report
    EXPECT_EQ(last.find(L"Ann"), std::wstring::npos);        // the name is not sent
}

TEST_F(KwSupportSendLog, ARejectedReportKeepsTheWindowAndTheStoredLog) {
    ASSERT_EQ(HttpGet(logPort, L"/control?accept=false"), "ok");
    SetLogId(12);
    kwtest::SetSetting(L"Email", L"earlier@example.com");
    CSendLogDialog dlg;
    INT_PTR result = 0;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Send Report");
                            ASSERT_NE(wnd, nullptr);
                            Send(wnd, L"Ann", L"user@example.com", L"Slow");
                            ExpectBox(L"Klarwin", L"There was some problem in sending the data. Please try again.");
                            ExpectBox(L"Klarwin", L"No internet connection available. Please check your connection.");
                            // The window stays with what was typed.
                            EXPECT_TRUE(uidriver::IsVisible(wnd));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_EMAIL_EDIT), L"user@example.com");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DESCRIPTION_EDIT), L"Slow");
                            uidriver::PostClick(uidriver::FindControl(wnd, IDCANCEL));
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(ReadLogId(), 12u);
    EXPECT_EQ(kwtest::ReadSetting(L"Email"), L"earlier@example.com");
}

// ---------------------------------------------------------------------------
// Custom solution

class KwSupportSolution : public SupportWindowsTest {
protected:
    void SetUp() override {
        SupportWindowsTest::SetUp();
        UseOnlineServices(nullptr);
        SetLogId(4711);
        kwtest::SetSetting(L"Email", L"user@example.com");
    }
    void TearDown() override {
        SetLogId(std::nullopt);
        kwtest::SetSetting(L"Email", std::nullopt);
        SupportWindowsTest::TearDown();
    }
};

TEST_F(KwSupportSolution, NoSolutionYetLeavesTheRunButtonDisabled) {
    CCustomSolnDialog dlg;
    kwtest::RunWithUser([&] { dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Custom Solution");
                            ASSERT_NE(wnd, nullptr);
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_SOLUTION_STATUS),
                                      L"Your customized PC repair solution is not available yet. Please allow 24-48 "
                                      L"hours. When the solution is ready, the button below will become active.");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_INSTRUCTIONS), L"Not Yet Available.");
                            EXPECT_FALSE(uidriver::IsEnabled(uidriver::FindControl(wnd, IDC_RUN_SOLUTION)));
                            uidriver::PostClose(wnd);
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
    EXPECT_TRUE(dlg.m_strSolution.empty());
    // Asked with the stored log.
    const std::wstring last = Widen(HttpGet(logPort, L"/last"));
    EXPECT_NE(last.find(L"<ID>4711</ID>"), std::wstring::npos);
    EXPECT_EQ(ReadLogId(), 4711u);
}

TEST_F(KwSupportSolution, AServiceFaultIsToldAndCountsAsNoSolution) {
    ASSERT_EQ(HttpGet(logPort, L"/control?status=1&commands=" + UrlEncode(L"2%C:\\nothing.txt") + L"&fault=http500"),
              "ok");
    CCustomSolnDialog dlg;
    kwtest::RunWithUser([&] { dlg.DoModal(); },
                        [&] {
                            // Asked while the window opens.
                            ExpectBox(L"Klarwin", L"Please connect to Internet so you can send your log data.");
                            HWND wnd = WaitTop(L"Custom Solution");
                            ASSERT_NE(wnd, nullptr);
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_INSTRUCTIONS), L"Not Yet Available.");
                            EXPECT_FALSE(uidriver::IsEnabled(uidriver::FindControl(wnd, IDC_RUN_SOLUTION)));
                            uidriver::PostClose(wnd);
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
    EXPECT_TRUE(dlg.m_strSolution.empty());
    EXPECT_EQ(ReadLogId(), 4711u);  // nothing was run, the stored log stays
}

TEST_F(KwSupportSolution, RunsTheSolutionTheServiceReturns) {
    const std::wstring victim = folder + L"\\unwanted.txt";
    std::ofstream(std::filesystem::path(victim)) << "remove me";
    const std::wstring comments = L"Close your browsers, then run the solution.";
    ASSERT_EQ(HttpGet(logPort, L"/control?status=1&comments=" + UrlEncode(comments) + L"&commands=" +
                                   UrlEncode(L"2%" + victim + L";")),
              "ok");
    CCustomSolnDialog dlg;
    INT_PTR result = 0;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Custom Solution");
                            ASSERT_NE(wnd, nullptr);
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_SOLUTION_STATUS),
                                      L"The solution is available. Please read the instructions below.");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_INSTRUCTIONS), comments);
                            HWND run = uidriver::FindControl(wnd, IDC_RUN_SOLUTION);
                            EXPECT_TRUE(uidriver::IsEnabled(run));
                            EXPECT_EQ(uidriver::GetText(run), L"Run Custom Solution");
                            EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_custom_solution").empty());
                            uidriver::PostClick(run);
                            // The log of what was done; the window stays.
                            uidriver::MessageBoxInfo box;
                            ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"", 30000));
                            EXPECT_EQ(box.text, L"File = " + victim + L" has been deleted\r\n");
                            uidriver::AnswerMessageBox(box.hwnd, IDOK);
                            uidriver::WaitForWindowGone(box.hwnd);
                            EXPECT_TRUE(uidriver::IsVisible(wnd));
                            uidriver::PostClose(wnd);
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(GetFileAttributesW(victim.c_str()), INVALID_FILE_ATTRIBUTES);
    // The stored log is forgotten after a run.
    EXPECT_EQ(ReadLogId(), std::nullopt);
    EXPECT_EQ(kwtest::ReadSetting(L"Email"), std::nullopt);

    // A solution with nothing left to do ends with the success text and closes the window.
    ASSERT_EQ(HttpGet(logPort, L"/control?status=1&comments=" + UrlEncode(comments)), "ok");
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = WaitTop(L"Custom Solution");
                            ASSERT_NE(wnd, nullptr);
                            uidriver::PostClick(uidriver::FindControl(wnd, IDC_RUN_SOLUTION));
                            uidriver::MessageBoxInfo box;
                            ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"", 30000));
                            EXPECT_EQ(box.text,
                                      L"Our staff has thoroughly checked / repaired your Windows registry;\nyour "
                                      L"computer is now free from registry errors caused by spyware, adware and "
                                      L"other type of malware. Click OK to proceed.");
                            uidriver::AnswerMessageBox(box.hwnd, IDOK);
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
    EXPECT_EQ(result, IDOK);
}

// ---------------------------------------------------------------------------
// Download

TEST(KwSupportDownloadTexts, SpeedElapsedTimeAndSize) {
    DownloadProgressTexts t = FormatDownloadProgress(300 * 1024, 1000);
    EXPECT_EQ(t.kilobytes, 300);
    EXPECT_EQ(t.downloaded, L"300 KB");
    EXPECT_EQ(t.speed, L"300.0 KB per sec");
    EXPECT_EQ(t.elapsed, L"0 mins 1 secs");
    // Rounded to the nearest second.
    t = FormatDownloadProgress(300 * 1024 + 1023, 1499);
    EXPECT_EQ(t.kilobytes, 300);
    EXPECT_EQ(t.speed, L"300.0 KB per sec");
    t = FormatDownloadProgress(1024 * 1024, 125500);
    EXPECT_EQ(t.speed, L"8.1 KB per sec");  // 1024 KB in 126 s
    EXPECT_EQ(t.elapsed, L"2 mins 6 secs");
    // Before the first whole second: the time that really passed, never a division by zero.
    t = FormatDownloadProgress(10 * 1024, 250);
    EXPECT_EQ(t.speed, L"40.0 KB per sec");
    EXPECT_EQ(t.elapsed, L"0 mins 0 secs");
    t = FormatDownloadProgress(10 * 1024, 0);
    EXPECT_EQ(t.speed, L"Initializing..");
    EXPECT_EQ(t.elapsed, L"0 mins 0 secs");
}

namespace {

// Stands in for the main window: takes what the download thread posts and
// re-posts the download messages to the open download window.
class CRelay {
public:
    CRelay() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CRelay::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KwSupportRelay";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CRelay() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    std::atomic<int> installed{0}, failed{0}, progress{0};
    // Pumps this thread's messages until `condition` holds.
    bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        while (!condition()) {
            if (GetTickCount64() > end) return false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
        return true;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CRelay*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            if (message == WM_DOWNLOAD_START || message == WM_DOWNLOAD_PROGRESS || message == WM_DOWNLOAD_COMPLETE) {
                if (message == WM_DOWNLOAD_PROGRESS) ++self->progress;
                CDownloadDialog* dlg = CDownloadDialog::GetInstance();
                if (dlg && dlg->m_hWnd && IsWindow(dlg->m_hWnd)) PostMessageW(dlg->m_hWnd, message, wParam, lParam);
                return 1;
            }
            if (message == WM_UPDATE_INSTALLED) ++self->installed;
            if (message == WM_UPDATE_FAILED) {
                ++self->failed;
                // As the main window does: an open download window tells the user.
                CDownloadDialog* dlg = CDownloadDialog::GetInstance();
                if (dlg && dlg->m_hWnd && IsWindow(dlg->m_hWnd)) SendMessageW(dlg->m_hWnd, message, wParam, lParam);
                return 1;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

std::uintmax_t FileSize(const std::wstring& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(path), ec);
    return ec ? 0 : size;
}

}  // namespace

class KwSupportDownload : public SupportWindowsTest {
protected:
    void SetUp() override {
        SupportWindowsTest::SetUp();
        UseOnlineServices(relay.Handle());
    }
    void TearDown() override {
        SupportWindowsTest::TearDown();  // joins the download thread
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CRelay relay;
};

// The stand-in for a new Klarwin that the update server sends, and its size.
std::wstring MarkerUnixPath() { return Widen(KWONLINE_MARKER_UNIX_PATH); }
std::uintmax_t MarkerSize() { return FileSize(L"Z:" + MarkerUnixPath()); }

TEST_F(KwSupportDownload, FollowsARealDownloadToItsEnd) {
    // A new program (some hundred KB) in blocks of 4096, 50 ms apart.
    const std::uintmax_t size = MarkerSize();
    ASSERT_GT(size, 100u * 1024);
    ASSERT_EQ(HttpGet(updatePort, L"/control?exe_file=" + MarkerUnixPath()), "ok");
    CDownloadDialog dlg;
    ASSERT_TRUE(engine->StartUpdateDownload());
    INT_PTR result = 0;
    std::wstring sizeText;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = uidriver::WaitForTopWindow(
                                {.className = L"#32770", .processId = GetCurrentProcessId()});
                            ASSERT_NE(wnd, nullptr);
                            const RECT frame = uidriver::GetScreenRect(wnd);
                            EXPECT_EQ(frame.right - frame.left, 450);
                            EXPECT_EQ(frame.bottom - frame.top, 393);
                            EXPECT_EQ(uidriver::GetStyle(wnd) & (WS_CAPTION | WS_BORDER), 0u);
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"DOWNLOADING");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDABORT), L"Abort");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED_LABEL), L"Download Speed:");
                            // Part way: the size is known and a good part has arrived.
                            HWND bar = uidriver::FindControl(wnd, IDC_PROGRESS);
                            EXPECT_TRUE(
                                uidriver::WaitUntil([&] { return kwtest::ProgressPosition(bar) >= 60; }, 30000));
                            sizeText = uidriver::GetControlText(wnd, IDC_DL_SIZE);
                            EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_download").empty());
                            // The window ends by itself when the download is complete.
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 60000));
                        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(sizeText, std::to_wstring(size / 1024) + L" KB");
    EXPECT_GT(relay.progress.load(), 1);
    EXPECT_TRUE(relay.PumpUntil([&] { return relay.installed.load() == 1; }, 30000));
    EXPECT_EQ(relay.failed.load(), 0);
    EXPECT_EQ(FileSize(program), size);
}

TEST_F(KwSupportDownload, AbortStopsTheDownloadAndKeepsTheProgram) {
    // The server sends the first block, then holds the connection without a word.
    ASSERT_EQ(HttpGet(updatePort, L"/control?exe_size=2000000&hold=exe"), "ok");
    const std::uintmax_t before = FileSize(program);
    CDownloadDialog dlg;
    ASSERT_TRUE(engine->StartUpdateDownload());
    INT_PTR result = 0;
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            HWND wnd = uidriver::WaitForTopWindow(
                                {.className = L"#32770", .processId = GetCurrentProcessId()});
                            ASSERT_NE(wnd, nullptr);
                            ASSERT_TRUE(uidriver::WaitUntil([&] {
                                return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"4 KB";
                            }, 20000));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SIZE), L"1953 KB");
                            uidriver::PostClick(uidriver::FindControl(wnd, IDABORT));
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 20000));
                        });
    EXPECT_EQ(result, IDCANCEL);
    // The thread ended within the abort's wait of a second (else it would be
    // set aside): nothing more arrives, the program file is as it was.
    EXPECT_EQ(online->GetThreadsSetAside(), 0u);
    relay.PumpUntil([] { return false; }, 1000);
    EXPECT_EQ(relay.installed.load(), 0);
    EXPECT_EQ(relay.failed.load(), 0);
    EXPECT_EQ(FileSize(program), before);

    // Without the size file the window is told, tells the user and closes.
    ASSERT_EQ(HttpGet(updatePort, L"/control?nolength=appsize"), "ok");
    ASSERT_TRUE(engine->StartUpdateDownload());
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            ExpectBox(L"Klarwin",
                                      L"The new version was not downloaded successfully. You need to download it again");
                        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(relay.failed.load(), 1);
    EXPECT_EQ(FileSize(program), before);
}

TEST_F(KwSupportDownload, ProgressTextsFollowTheClock) {
    // The messages as the main window re-posts them, with a clock the test sets.
    std::atomic<unsigned long long> now{5000};
    CDownloadDialog dlg;
    dlg.m_clock = [&] { return now.load(); };
    kwtest::RunWithUser([&] { dlg.DoModal(); },
                        [&] {
                            HWND wnd = uidriver::WaitForTopWindow(
                                {.className = L"#32770", .processId = GetCurrentProcessId()});
                            ASSERT_NE(wnd, nullptr);
                            HWND bar = uidriver::FindControl(wnd, IDC_PROGRESS);
                            PostMessageW(wnd, WM_DOWNLOAD_START, 1000 * 1024, 0);
                            EXPECT_TRUE(uidriver::WaitUntil(
                                [&] { return uidriver::GetControlText(wnd, IDC_DL_SIZE) == L"1000 KB"; }));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"Initializing..");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_ELAPSED), L"0 mins 0 secs");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED), L"0 KB");
                            EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);
                            // At once: no whole second yet.
                            PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 4096, 0);
                            EXPECT_TRUE(uidriver::WaitUntil(
                                [&] { return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"4 KB"; }));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"Initializing..");
                            now = 6000;
                            PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 300 * 1024, 0);
                            EXPECT_TRUE(uidriver::WaitUntil(
                                [&] { return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"300 KB"; }));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"300.0 KB per sec");
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_ELAPSED), L"0 mins 1 secs");
                            EXPECT_EQ(kwtest::ProgressPosition(bar), 300);
                            now = 5000 + 61000;
                            PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 610 * 1024, 0);
                            EXPECT_TRUE(uidriver::WaitUntil(
                                [&] { return uidriver::GetControlText(wnd, IDC_DL_ELAPSED) == L"1 mins 1 secs"; }));
                            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"10.0 KB per sec");
                            PostMessageW(wnd, WM_DOWNLOAD_COMPLETE, 0, 0);
                            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                        });
}

namespace {

// Stands in for the threads' view of the program: what they post reaches the
// main window that is open.
class CToMainWindow {
public:
    CToMainWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CToMainWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KwSupportToMainWindow";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~CToMainWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message >= WM_UPDATE_AVAILABLE && message <= WM_DOWNLOAD_PROGRESS) {
            CScanDialog* main = CScanDialog::GetInstance();
            if (main && main->m_hWnd) PostMessageW(main->m_hWnd, message, wParam, lParam);
            return 1;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

}  // namespace

// The update from the main window's "Update" button: no update ("Not ready
// yet" and its message, once); then a download that is no program (discarded,
// the user told); then the question, the download window fed through the main
// window, the new program in place and the success message.
TEST(KwSupportUpdateFlow, UpdateButtonDownloadsThroughTheDownloadWindow) {
    const unsigned short updatePort = ServerPort("update_port");
    ASSERT_NE(updatePort, 0);
    SetUpdateServer({L"127.0.0.1", updatePort});
    ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.5"), "ok");
    kwtest::SetSetting(L"StartWithWindows", L"false");
    kwtest::SetSetting(L"StartScanAtProgramStartup", L"false");
    kwtest::SetSetting(L"ShowInTaskbarOnClose", L"true");
    kwtest::SetSetting(L"AllowAutoUpdates", L"false");
    const std::wstring folder = TempFolder(L"kwsupport-update");
    const std::wstring program = folder + L"\\Klarwin.exe";
    std::ofstream(std::filesystem::path(program), std::ios::binary) << "the running program";

    CToMainWindow toMain;
    const EngineOptions options = kwtest::TestEngineOptions();
    {
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [](UINT) {};
        dlg.Engine().SetOnlineServices(std::make_unique<COnlineServices>(toMain.Handle(), program, L"3.0.5"));
        kwtest::RunWithUser(
            [&] { dlg.DoModal(); },
            [&] {
                HWND wnd = WaitTop(CScanDialog::kTitle);
                ASSERT_NE(wnd, nullptr);
                // The start-up check finds no other version and only says so.
                EXPECT_TRUE(uidriver::WaitUntil(
                    [&] { return uidriver::GetControlText(wnd, IDC_UPDATE_STATUS) == L"Not ready yet"; }, 30000));
                uidriver::PostClick(uidriver::FindControl(wnd, IDC_CHECK_UPDATES));
                ExpectBox(L"Updates",
                          L"No updates available. The latest version of Klarwin is already installed on your PC.");
                EXPECT_EQ(uidriver::GetControlText(wnd, IDC_UPDATE_STATUS), L"Not ready yet");

                uidriver::MessageBoxInfo box;
                const auto askAndAgree = [&] {
                    uidriver::PostClick(uidriver::FindControl(wnd, IDC_CHECK_UPDATES));
                    ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"Klarwin", 30000));
                    EXPECT_EQ(box.text, L"A new version of Klarwin is available. Do you want to download it now?");
                    uidriver::AnswerMessageBox(box.hwnd, IDYES);
                    uidriver::WaitForWindowGone(box.hwnd);
                };
                // Bytes that are no program: downloaded, then discarded with a word.
                ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.6&exe_size=100000"), "ok");
                askAndAgree();
                ExpectBox(L"Klarwin", L"The downloaded file is not a new version of Klarwin and has been discarded. "
                                      L"Your Klarwin has not been changed.");
                EXPECT_EQ(uidriver::GetControlText(wnd, IDC_UPDATE_STATUS), L"Available");

                // A new program.
                ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.6&exe_file=" + MarkerUnixPath()), "ok");
                askAndAgree();
                // The download window follows the download and ends by itself.
                HWND download = nullptr;
                EXPECT_TRUE(uidriver::WaitUntil([&] {
                    download = nullptr;
                    for (HWND top : uidriver::FindTopWindows({.className = L"#32770",
                                                                .processId = GetCurrentProcessId()}))
                        if (uidriver::GetControlText(top, IDC_TITLE) == L"DOWNLOADING") download = top;
                    return download != nullptr;
                }, 30000));
                // The download window has a standard button too: the message box is told by its text.
                const std::wstring congratulations =
                    L"Congratulations! You have successfully updated Klarwin 2011.\nThe program will be "
                    L"automatically restarted. Please click OK to proceed.";
                EXPECT_TRUE(uidriver::WaitUntil([&] {
                    for (HWND top : uidriver::FindTopWindows({.className = L"#32770",
                                                                .processId = GetCurrentProcessId()}))
                        if (uidriver::ReadMessageBox(top, box) && box.text == congratulations) return true;
                    return false;
                }, 60000));
                uidriver::AnswerMessageBox(box.hwnd, IDOK);
                uidriver::WaitForWindowGone(box.hwnd);
                EXPECT_TRUE(uidriver::WaitForWindowGone(download));
                PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
                EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 30000));
            });
    }
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(program), ec), MarkerSize());
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    SetUpdateServer({});
}
