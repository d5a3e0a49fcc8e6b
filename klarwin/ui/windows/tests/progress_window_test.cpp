// The scan progress window: what the scan thread's messages make it show, and
// how the user stops a scan.
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "resource.h"
#include "windows_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

using namespace kwtest;

namespace {

constexpr wchar_t kInterrupted[] = L"The scanning process has been interrupted by the user.";

HWND WaitForProgressWindow() {
    return uidriver::WaitForTopWindow({.title = L"Scan in Progress", .processId = GetCurrentProcessId()});
}

void PostText(HWND wnd, const std::wstring& text) {
    PostMessageW(wnd, WM_SCAN_PROGRESS_TEXT, reinterpret_cast<WPARAM>(SysAllocString(text.c_str())), 0);
}

}  // namespace

TEST(KwWinProgress, BarCutsAndCountsFollowTheScanMessages) {
    CMessageSink sink;
    EngineOptions options = TestEngineOptions();
    options.notifyWindow = sink.Handle();  // the real scan of no section reports elsewhere
    CBriskoEngine engine(options);
    CScanProgressDialog dlg;

    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForProgressWindow();
                    ASSERT_NE(wnd, nullptr);
                    HWND bar = uidriver::FindControl(wnd, IDC_PROGRESS);
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"REGISTRY SCAN");
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_STOP_SCAN), L"Stop Scan");
                    // The frame is the template's: a caption, 20 pixels above the bitmap.
                    EXPECT_TRUE(uidriver::GetStyle(wnd) & WS_CAPTION);
                    const RECT frame = uidriver::GetScreenRect(wnd);
                    EXPECT_EQ(frame.bottom - frame.top, 481);
                    EXPECT_TRUE(uidriver::WaitUntil([&] {
                        return uidriver::CountPixels(uidriver::FindControl(wnd, IDC_TITLE), RECT{0, 0, 181, 21},
                                                     RGB(13, 90, 153), 40) > 20 &&
                               uidriver::CountPixels(uidriver::FindControl(wnd, IDC_STOP_SCAN), RECT{10, 0, 70, 21},
                                                     RGB(255, 255, 255), 40) > 10;
                    }));
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_LABEL_SHORTCUTS), L"Program Shortcuts");
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_COUNT_ACTIVEX), L"(0)");
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_CURRENT_ITEM), L"");
                    EXPECT_EQ(ProgressPosition(bar), 0);

                    // Section 0 with twelve errors.
                    PostMessageW(wnd, WM_SCAN_SECTION_START, 0, 1);
                    for (int i = 0; i < 12; ++i) PostMessageW(wnd, WM_SCAN_ERROR_FOUND, 0, 1);
                    const std::wstring seventy(70, L'a');
                    PostText(wnd, seventy);
                    EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetControlText(wnd, IDC_CURRENT_ITEM) == seventy; }));
                    PostText(wnd, seventy + L"b");
                    EXPECT_TRUE(uidriver::WaitUntil(
                        [&] { return uidriver::GetControlText(wnd, IDC_CURRENT_ITEM) == seventy + L".."; }));
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_COUNT_ACTIVEX), L"(12)");
                    EXPECT_TRUE(uidriver::IsVisible(uidriver::FindControl(wnd, IDC_LOADING)));
                    EXPECT_EQ(uidriver::GetRectInParent(uidriver::FindControl(wnd, IDC_LOADING)).left, 25);
                    PostMessageW(wnd, WM_SCAN_SECTION_END, 0, 1);
                    EXPECT_TRUE(uidriver::WaitUntil([&] { return ProgressPosition(bar) == 8; }));
                    EXPECT_FALSE(uidriver::IsVisible(uidriver::FindControl(wnd, IDC_LOADING)));

                    // Section 11 counts again from one.
                    PostMessageW(wnd, WM_SCAN_SECTION_START, 11, 2);
                    PostMessageW(wnd, WM_SCAN_ERROR_FOUND, 11, 2);
                    EXPECT_TRUE(uidriver::WaitUntil(
                        [&] { return uidriver::GetControlText(wnd, IDC_COUNT_SHORTCUTS) == L"(1)"; }));
                    const RECT loading = uidriver::GetRectInParent(uidriver::FindControl(wnd, IDC_LOADING));
                    EXPECT_EQ(loading.left, 275);
                    EXPECT_EQ(loading.top, 225 + 5 * 20);
                    // A section that could not be checked says so in its row.
                    PostMessageW(wnd, WM_SCAN_SECTION_SKIPPED, 11, 2);
                    EXPECT_TRUE(uidriver::WaitUntil(
                        [&] { return uidriver::GetControlText(wnd, IDC_COUNT_SHORTCUTS) == L"(-)"; }));
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_LABEL_SHORTCUTS), L"Program Shortcuts: not checked");
                    PostMessageW(wnd, WM_SCAN_SECTION_END, 11, 2);
                    EXPECT_TRUE(uidriver::WaitUntil([&] { return ProgressPosition(bar) == 100; }));
                    EXPECT_EQ(uidriver::GetControlText(wnd, IDC_COUNT_ACTIVEX), L"(12)");

                    // A section that starts twice counts its second half from one.
                    PostMessageW(wnd, WM_SCAN_SECTION_START, 4, 3);
                    for (int i = 0; i < 3; ++i) PostMessageW(wnd, WM_SCAN_ERROR_FOUND, 4, 3);
                    PostMessageW(wnd, WM_SCAN_SECTION_START, 4, 4);
                    PostMessageW(wnd, WM_SCAN_ERROR_FOUND, 4, 4);
                    EXPECT_TRUE(uidriver::WaitUntil(
                        [&] { return uidriver::GetControlText(wnd, IDC_COUNT_STARTUP) == L"(1)"; }));

                    PostMessageW(wnd, WM_SCAN_COMPLETE, 0, 0);
                    uidriver::MessageBoxInfo box;
                    ASSERT_TRUE(uidriver::WaitForMessageBox(box));
                    EXPECT_EQ(box.title, L"Klarwin");
                    EXPECT_EQ(box.text, L"The scan completed successfully.");
                    uidriver::AnswerMessageBox(box.hwnd, IDOK);
                    EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                });
}

TEST(KwWinProgress, PositionOfEachFinishedSection) {
    const int expected[12] = {8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(CScanProgressDialog::ProgressAfterSection(i), expected[i]) << i;
    EXPECT_EQ(CScanProgressDialog::ShortenItemText(L""), L"");
    EXPECT_EQ(CScanProgressDialog::ShortenItemText(std::wstring(200, L'x')), std::wstring(70, L'x') + L"..");
}

TEST(KwWinProgress, EscapeStopsARunningScan) {
    CMessageSink sink;
    EngineOptions options = TestEngineOptions(1.0);
    options.notifyWindow = sink.Handle();
    CBriskoEngine engine(options);
    CScanProgressDialog dlg;
    for (bool& on : dlg.m_bSections) on = true;

    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForProgressWindow();
                    ASSERT_NE(wnd, nullptr);
                    ASSERT_TRUE(uidriver::WaitUntil([&] { return engine.IsScanRunning(); }));
                    uidriver::PostKey(wnd, VK_ESCAPE);
                    uidriver::MessageBoxInfo box;
                    ASSERT_TRUE(uidriver::WaitForMessageBox(box));
                    EXPECT_EQ(box.title, L"Klarwin");
                    EXPECT_EQ(box.text, kInterrupted);
                    uidriver::AnswerMessageBox(box.hwnd, IDOK);
                    EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                });
    EXPECT_EQ(engine.GetScanThread(), nullptr);
}

TEST(KwWinProgress, StopButtonStopsAndEndsEvenWhenTheScanIsOver) {
    CMessageSink sink;
    EngineOptions options = TestEngineOptions();
    options.notifyWindow = sink.Handle();
    CBriskoEngine engine(options);
    CScanProgressDialog dlg;  // no section: the scan thread ends at once

    RunWithUser([&] { dlg.DoModal(); },
                [&] {
                    HWND wnd = WaitForProgressWindow();
                    ASSERT_NE(wnd, nullptr);
                    ASSERT_TRUE(uidriver::WaitUntil([&] { return !engine.IsScanRunning(); }));
                    uidriver::PostClick(uidriver::FindControl(wnd, IDC_STOP_SCAN));
                    ExpectMessageBox(kInterrupted);
                    EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
                });
    EXPECT_EQ(engine.GetScanThread(), nullptr);
}

// What a window about to go still has in its queue: the strings are freed,
// the other messages stay.
TEST(KwWinProgress, StringsOfUnreadPostsAreFreed) {
    CMessageSink sink;
    PostText(sink.Handle(), L"a");
    PostMessageW(sink.Handle(), WM_REPAIR_ITEM, reinterpret_cast<WPARAM>(SysAllocString(L"b")), 0);
    PostMessageW(sink.Handle(), WM_SCAN_SECTION_END, 3, 0);
    PostMessageW(sink.Handle(), WM_BACKUP_FOUND, reinterpret_cast<WPARAM>(SysAllocString(L"c")), 0);
    EXPECT_EQ(kwui::FreeQueuedStrings(sink.Handle()), 3);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, sink.Handle(), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_SCAN_SECTION_END);
    EXPECT_FALSE(PeekMessageW(&msg, sink.Handle(), 0, 0, PM_REMOVE));
    EXPECT_EQ(sink.StringsFreed(), 0);
}
