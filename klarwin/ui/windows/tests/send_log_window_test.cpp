// The send-log window: its checks of the entries and its submission to the
// loopback log service; a screenshot of it.
#include "klarwin/online/online_config.h"
#include "klarwin/ui/support_dialogs.h"
#include "online_test_support.h"
#include "resource.h"
#include "support_windows_fixture.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

using namespace kwsupport;

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
    result = RunWindow(dlg, {.title = L"Send Report"}, [&](HWND wnd) {
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
    INT_PTR result = RunWindow(dlg, {.title = L"Send Report"}, [&](HWND wnd) {
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
