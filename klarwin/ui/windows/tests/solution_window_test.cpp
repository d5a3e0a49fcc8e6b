// The custom-solution window asking the loopback log service for a solution
// and running what it returns; a screenshot of it.
#include "klarwin/ui/support_dialogs.h"
#include "online_test_support.h"
#include "resource.h"
#include "support_windows_fixture.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace kwsupport;

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
    RunWindow(dlg, {.title = L"Custom Solution"}, [&](HWND wnd) {
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
    INT_PTR result = RunWindow(dlg, {.title = L"Custom Solution"}, [&](HWND wnd) {
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
    result = RunWindow(dlg, {.title = L"Custom Solution"}, [&](HWND wnd) {
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
