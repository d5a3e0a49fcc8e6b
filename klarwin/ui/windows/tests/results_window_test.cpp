// The results windows on errors put straight into the engine's list: rows,
// headline and count, the scroller and its wheel rule, the section window's
// "Cancel" and Escape, what closing and Escape store, a data folder that
// cannot take the unresolved file, and a repair stopped half-way.
#include "klarwin/record_format.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "resource.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace kwtest;

namespace {

HWND WaitForSection() { return WaitTop(L"Scanning results by section"); }

SCROLLINFO ScrollInfo(HWND wnd) {
    SCROLLINFO si = {sizeof si, SIF_ALL};
    GetScrollInfo(wnd, SB_VERT, &si);
    return si;
}

}  // namespace

TEST(KwWinResults, SevenRowsScrollByTheWheelAndEscapeStoresNothing) {
    const EngineOptions options = TestEngineOptions();
    CBriskoEngine engine(options);
    SeedErrors(engine, {{0, 1}, {1, 31}, {2, 61}, {3, 91}, {4, 121}, {6, 2}, {9, 3}});
    SetSetting(L"IgnoredErrorsCount", L"before");
    CreateDirectoryW(options.reportsFolder.c_str(), nullptr);
    const int reportsBefore = CountFiles(options.reportsFolder, L".html");
    CScanResultsDialog dlg;
    RunResultsWindow(dlg, [&](HWND wnd) {
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_HEADLINE), L"Attention!   310 registry errors were found");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_ERROR_COUNT), L"310");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"SCAN RESULT");
        HWND list = ChildDialog(wnd);
        ASSERT_NE(list, nullptr);
        const RECT place = uidriver::GetRectInParent(list);
        EXPECT_EQ(place.left, 40);
        EXPECT_EQ(place.top, 182);
        EXPECT_EQ(place.bottom - place.top, 176);
        ASSERT_EQ(dlg.Container().Rows().size(), 7u);
        EXPECT_EQ(dlg.Container().GetContentHeight(), 7 * 35);
        const SCROLLINFO si = ScrollInfo(list);
        EXPECT_EQ(si.nMax, 7 * 35 - 1);
        EXPECT_EQ(static_cast<int>(si.nPage), uidriver::GetClientSize(list).cy);
        // Each row's bar follows its count.
        const UINT bars[] = {IDB_SEVERITY_1, IDB_SEVERITY_2, IDB_SEVERITY_3, IDB_SEVERITY_4,
                             IDB_SEVERITY_5, IDB_SEVERITY_1, IDB_SEVERITY_1};
        for (int r = 0; r < 7; ++r)
            EXPECT_EQ(CScanResultContainer::SeverityBitmap(dlg.Container().Rows()[r]->count), bars[r]);
        EXPECT_EQ(CScanResultContainer::SeverityBitmap(0), 0u);
        EXPECT_EQ(CScanResultContainer::SeverityBitmap(30), static_cast<UINT>(IDB_SEVERITY_1));
        EXPECT_EQ(CScanResultContainer::SeverityBitmap(120), static_cast<UINT>(IDB_SEVERITY_4));
        // The list is grey and the first row's count is drawn in red.
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::CountPixels(list, {240, 10, 270, 30}, RGB(152, 2, 9), 40) > 0; }));
        EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_scan_results").empty());

        // One notch down with the default of three lines: 60 pixels.
        SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 3, nullptr, 0);
        PostMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return ScrollInfo(list).nPos == 60; }));
        EXPECT_EQ(dlg.Container().GetScrollOffset(), 60);
        // Far down stops at content - page; back up to the top.
        for (int i = 0; i < 4; ++i)
            PostMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            return dlg.Container().GetScrollOffset() == 7 * 35 - uidriver::GetClientSize(list).cy;
        }));
        PostMessageW(list, WM_VSCROLL, SB_TOP, 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return dlg.Container().GetScrollOffset() == 0; }));

        // The pointer over a row's details icon makes that row hot, and only that row.
        uidriver::PostMouseMove(list, {205, 2 * 35 + 15});
        EXPECT_TRUE(uidriver::WaitUntil([&] { return dlg.Container().Rows()[2]->hot; }));
        EXPECT_FALSE(dlg.Container().Rows()[1]->hot);
        uidriver::PostMouseMove(list, {100, 2 * 35 + 15});
        EXPECT_TRUE(uidriver::WaitUntil([&] { return !dlg.Container().Rows()[2]->hot; }));

        // Clearing a row clears all its errors.
        uidriver::PostMouseClick(list, {10, 35 + 15});
        EXPECT_TRUE(uidriver::WaitUntil([&] { return !dlg.Container().Rows()[1]->selected; }));
        for (int i = 1; i <= 31; ++i) EXPECT_FALSE(dlg.Container().Infos()[i]->selected);
        EXPECT_TRUE(dlg.Container().Infos()[0]->selected);
        EXPECT_TRUE(dlg.Container().Infos()[32]->selected);

        // The report is written into the reports folder and offered for viewing.
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_CREATE_REPORT));
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        const std::wstring parent = options.reportsFolder.substr(0, options.reportsFolder.rfind(L'\\'));
        EXPECT_EQ(box.text, L"The scan report has been saved in your Program Data folder (" + parent +
                                L"). Do you want to view the report on your browser now (html format)?");
        uidriver::AnswerMessageBox(box.hwnd, IDNO);
        uidriver::WaitForWindowGone(box.hwnd);
        EXPECT_EQ(CountFiles(options.reportsFolder, L".html"), reportsBefore + 1);

        uidriver::PostKey(wnd, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(engine.GetErrorList().GetSize(), 310);
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), L"before");
    EXPECT_EQ(GetFileAttributesW(engine.GetUnresolvedFilePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(KwWinResults, CloseCommandStoresEveryErrorAsUnresolved) {
    const EngineOptions options = TestEngineOptions();
    CBriskoEngine engine(options);
    SeedErrors(engine, {{2, 5}, {7, 7}});
    const CErrorListEx all = engine.GetErrorList();
    CScanResultsDialog dlg;
    RunResultsWindow(dlg, [&](HWND wnd) {
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_HEADLINE), L"Attention!   12 registry errors were found");
        PostMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(engine.GetErrorList().GetSize(), 0);
    EXPECT_EQ(engine.GetCounters()[2].Ignored, 5);
    EXPECT_EQ(engine.GetCounters()[7].Ignored, 7);
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), L"12");
    std::wstring expected;
    for (const CError& e : all) expected += FormatErrorLine(e);
    EXPECT_EQ(ReadUtf16(engine.GetUnresolvedFilePath()), expected);
    // What was stored comes back as the last results.
    engine.LoadUnresolvedErrors();
    EXPECT_EQ(engine.GetErrorList().GetSize(), 12);
    EXPECT_EQ(engine.GetCounters()[7].Found, 7);
}

TEST(KwWinResults, SectionWindowCancelRestoresChecksAndEscapeKeepsThem) {
    const EngineOptions options = TestEngineOptions();
    CBriskoEngine engine(options);
    SeedErrors(engine, {{1, 2}, {5, 6}, {8, 1}});
    CScanResultsDialog dlg;
    RunResultsWindow(dlg, [&](HWND wnd) {
        HWND list = ChildDialog(wnd);
        auto& infos = dlg.Container().Infos();
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(pass == 0 ? "Cancel" : "Escape");
            uidriver::PostMouseClick(list, {205, 35 + 15});  // details icon of the second row
            HWND section = WaitForSection();
            ASSERT_NE(section, nullptr);
            EXPECT_EQ(uidriver::GetControlText(section, IDC_TITLE), engine.GetSectionName(5));
            EXPECT_EQ(uidriver::GetControlText(section, IDC_HEADLINE),
                      L"6 Problem(s) were found in this section.");
            HWND errors = ChildDialog(section);
            ASSERT_NE(errors, nullptr);
            uidriver::PostMouseClick(errors, {100, 10});
            uidriver::PostMouseClick(errors, {100, 130});
            EXPECT_TRUE(uidriver::WaitUntil([&] { return !infos[2]->selected && !infos[4]->selected; }));
            EXPECT_TRUE(infos[3]->selected);
            if (pass == 0) {
                EXPECT_FALSE(uidriver::SaveScreenshot(section, L"klarwin_section_results").empty());
                uidriver::PostClick(uidriver::FindControl(section, IDC_CANCEL_SECTION));
                EXPECT_TRUE(uidriver::WaitForWindowGone(section));
                EXPECT_TRUE(infos[2]->selected);
                EXPECT_TRUE(infos[4]->selected);
            } else {
                uidriver::PostKey(section, VK_ESCAPE);
                EXPECT_TRUE(uidriver::WaitForWindowGone(section));
                EXPECT_FALSE(infos[2]->selected);
                EXPECT_FALSE(infos[4]->selected);
            }
        }
        // The section row itself keeps its check mark and count.
        EXPECT_TRUE(dlg.Container().Rows()[1]->selected);
        EXPECT_EQ(dlg.Container().Rows()[1]->count, 6);
        uidriver::PostKey(wnd, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    // A registry error shows its reason, a file error its path, each "\" followed by a blank.
    EXPECT_EQ(CSectionResultsContainer::DetailText(MakeError(0, 1, 1)),
              L"The file C:\\ KwWin2\\ missing1.dll does not exist");
    EXPECT_EQ(CSectionResultsContainer::DetailText(MakeError(0, 2, 0)), L"C:\\ KwWin2\\ Folder\\ missing2.dll");
}

TEST(KwWinResults, UnresolvedFileThatCannotBeCreatedChangesNothing) {
    EngineOptions options = TestEngineOptions();
    // A file where the data folder should be: neither folder nor file can be made.
    const std::wstring blocker = options.dataFolder + L"\\blocker";
    HANDLE file = CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    options.dataFolder = blocker + L"\\Klarwin";
    options.reportsFolder = blocker + L"\\Reports";
    CBriskoEngine engine(options);
    SeedErrors(engine, {{3, 2}, {4, 3}});
    SetSetting(L"IgnoredErrorsCount", L"7");
    CScanResultsDialog dlg;
    RunResultsWindow(dlg, [&](HWND wnd) {
        PostMessageW(wnd, WM_CLOSE, 0, 0);
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_NE(box.text.find(L"could not be saved"), std::wstring::npos);
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        // Still open, nothing lost.
        Sleep(200);
        EXPECT_TRUE(IsWindow(wnd));
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_REPAIR_PROBLEMS));
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_NE(box.text.find(L"could not be saved"), std::wstring::npos);
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        Sleep(200);
        EXPECT_TRUE(IsWindow(wnd));
        // Nor can a report be written there.
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_CREATE_REPORT));
        ExpectMessageBox(L"The program could not generate a report at this time. Please retry.");
        uidriver::PostKey(wnd, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_EQ(engine.GetErrorList().GetSize(), 5);
    EXPECT_EQ(engine.GetCounters()[3].Ignored, 0);
    EXPECT_EQ(engine.GetCounters()[4].Ignored, 0);
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), L"7");
    DeleteFileW(blocker.c_str());
}

TEST(KwWinResults, EscapeDuringARepairStopsItKeepsTheRestAndTheSummaryFollows) {
    const EngineOptions options = TestEngineOptions(1.0);  // with the repair's pauses
    CBriskoEngine engine(options);
    SeedErrors(engine, {{0, 150}, {9, 150}});
    const CErrorListEx all = engine.GetErrorList();
    CScanResultsDialog dlg;
    CRepairErrorsDialog repair;
    CResultStatus summary;
    int repaired = -1;
    RunResultsWindow(dlg, [&](HWND wnd) {
        HWND rep = PressRepair(wnd);
        ASSERT_NE(rep, nullptr);
        EXPECT_EQ(uidriver::GetControlText(rep, IDC_TITLE), L"REPAIRING");
        EXPECT_EQ(uidriver::GetControlText(rep, IDCANCEL), L"Abort");
        uidriver::PostKey(rep, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(rep));
        EXPECT_EQ(engine.GetRepairThread(), nullptr);
        HWND sum = uidriver::WaitForTopWindow(
            {.title = L"Repair results summary", .processId = GetCurrentProcessId()});
        ASSERT_NE(sum, nullptr);
        repaired = engine.GetCounters().TotalRepaired();
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_FOUND), L"300");
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_IGNORED), std::to_wstring(300 - repaired));
        uidriver::PostClick(uidriver::FindControl(sum, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
    EXPECT_TRUE(dlg.m_bRepairDone);
    // What the stop left is kept with the last results, in list order.
    ASSERT_GE(repaired, 0);
    EXPECT_LT(repaired, 300);
    std::wstring expected;
    for (int i = repaired; i < all.GetSize(); ++i) expected += FormatErrorLine(all[i]);
    EXPECT_EQ(ReadUtf16(engine.GetUnresolvedFilePath()), expected);
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), std::to_wstring(300 - repaired));
}
