// The whole way through the real windows on the test prefix's registry:
// broken entries in three sections, a scan from the main window, the results
// and section windows, a repair with its progress and summary, the unresolved
// file and the problems display, restoring the repair's backup, deleting
// backups by multiple selection, restoring a damaged backup in part and
// removing a start-up entry; and a repair that cannot write its backup.
#include "fw/textfile.h"
#include "klarwin/record_format.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"
#include "windows_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace kwtest;

namespace {

const std::wstring kHelp = L"Software\\Microsoft\\Windows\\Help";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kSharedDlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

bool ValueExists(const std::wstring& key, const std::wstring& name) {
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& data) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void SetDword(const std::wstring& key, const std::wstring& name, DWORD data) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), REG_DWORD, &data, sizeof data);
}

void EmptyFolder(const std::wstring& folder) {
    std::error_code ec;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), ec))
        std::filesystem::remove(entry.path(), ec);
}

int FindListRow(HWND list, const std::wstring& text) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[512] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = buffer;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        if (text == buffer) return i;
    }
    return -1;
}

}  // namespace

TEST(KwWinRepairFlow, ScanResultsRepairSummaryRestoreAndStartup) {
    KnownSettings();
    const std::wstring id = L"KwWin2Flow" + std::to_wstring(GetCurrentProcessId());
    const std::wstring missing = L"C:\\" + id + L"-missing\\";
    // Help files: two, start-up: one, shared DLLs: three.
    SetString(kHelp, id + L"a.chm", missing + L"a.chm");
    SetString(kHelp, id + L"b.chm", missing + L"b.chm");
    SetString(kRun, id, missing + L"run.exe");
    for (int i = 0; i < 3; ++i) SetDword(kSharedDlls, missing + L"shared" + std::to_wstring(i) + L".dll", 1);

    const EngineOptions options = TestEngineOptions();
    EmptyFolder(options.backupFolder);
    CScanProgressDialog progress;
    CRepairErrorsDialog repair;
    CResultStatus summary;
    CRestoreBackupsDialog restore;
    CManageStartupDialog startup;
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    CErrorListEx kept;

    RunMainWindow(dlg, [&](HWND wnd) {
        const std::set<int> wanted = {kSectionHelpFiles, kSectionStartup, kSectionSharedDlls};
        // Results: three rows with the sections' counts.
        HWND results = ScanToResults(wnd, wanted);
        ASSERT_NE(results, nullptr);
        CScanResultsDialog* res = CScanResultsDialog::GetInstance();
        ASSERT_NE(res, nullptr);
        CBriskoEngine& engine = dlg.Engine();
        auto& rows = res->Container().Rows();
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(res->Container().GetContentHeight(), 3 * 35);
        int sharedRow = -1;
        for (const CSectionResultInfo* row : rows) {
            EXPECT_TRUE(wanted.count(row->section));
            EXPECT_EQ(row->count, engine.GetCounters()[row->section].Found);
            EXPECT_NE(CScanResultContainer::SeverityBitmap(row->count), 0u);
            if (row->section == kSectionSharedDlls) sharedRow = row->row;
        }
        ASSERT_GE(sharedRow, 0);
        EXPECT_GE(rows[sharedRow]->count, 3);
        const int total = static_cast<int>(engine.GetErrorList().GetSize());
        EXPECT_EQ(uidriver::GetControlText(results, IDC_HEADLINE),
                  L"Attention!   " + std::to_wstring(total) + L" registry errors were found");

        // Section window: two errors cleared, "Cancel" brings them back, Escape keeps them off.
        HWND list = ChildDialog(results);
        auto& infos = res->Container().Infos();
        const int first = rows[sharedRow]->firstError;
        for (int pass = 0; pass < 2; ++pass) {
            uidriver::PostMouseClick(list, {205, sharedRow * 35 + 15});
            HWND section = WaitTop(L"Scanning results by section");
            ASSERT_NE(section, nullptr);
            HWND errors = ChildDialog(section);
            uidriver::PostMouseClick(errors, {100, 10});
            uidriver::PostMouseClick(errors, {100, 70});
            EXPECT_TRUE(uidriver::WaitUntil(
                [&] { return !infos[first]->selected && !infos[first + 1]->selected; }));
            if (pass == 0)
                uidriver::PostClick(uidriver::FindControl(section, IDC_CANCEL_SECTION));
            else
                uidriver::PostKey(section, VK_ESCAPE);
            EXPECT_TRUE(uidriver::WaitForWindowGone(section));
            EXPECT_EQ(infos[first]->selected, pass == 0);
            EXPECT_EQ(infos[first + 1]->selected, pass == 0);
        }
        // The shared DLL section's check mark off: all its errors stay unresolved.
        uidriver::PostMouseClick(list, {10, sharedRow * 35 + 15});
        ASSERT_TRUE(uidriver::WaitUntil([&] { return !rows[sharedRow]->selected; }));
        for (const CError& e : engine.GetErrorList())
            if (e.Section == kSectionSharedDlls) kept.Add(e);
        const int repairCount = total - static_cast<int>(kept.GetSize());

        HWND rep = PressRepair(results);
        ASSERT_NE(rep, nullptr);
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_EQ(box.text, L"All the issues have been repaired successfully. Click OK to proceed.");
        EXPECT_EQ(box.title, L"Klarwin");
        HWND bar = uidriver::FindControl(rep, IDC_PROGRESS);
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), repairCount);
        EXPECT_EQ(ProgressPosition(bar), repairCount);
        EXPECT_FALSE(uidriver::GetControlText(rep, IDC_REPAIR_ITEM).empty());
        EXPECT_EQ(uidriver::GetControlText(rep, IDCANCEL), L"Close");
        EXPECT_FALSE(uidriver::SaveScreenshot(rep, L"klarwin_repair").empty());
        uidriver::AnswerMessageBox(box.hwnd, IDOK);

        HWND sum = WaitTop(L"Repair results summary");
        ASSERT_NE(sum, nullptr);
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_FOUND), std::to_wstring(total));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_REPAIRED), std::to_wstring(repairCount));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_IGNORED), std::to_wstring(kept.GetSize()));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_SUMMARY_IGNORED_SHARED_DLL),
                  std::to_wstring(kept.GetSize()));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_SUMMARY_REPAIRED_SHARED_DLL), L"0");
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_SUMMARY_FOUND_HELP),
                  std::to_wstring(engine.GetCounters()[kSectionHelpFiles].Found));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_SUMMARY_REPAIRED_HELP),
                  std::to_wstring(engine.GetCounters()[kSectionHelpFiles].Found));
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_SUMMARY_NAME_STARTUP),
                  engine.GetSectionName(kSectionStartup));
        EXPECT_FALSE(uidriver::SaveScreenshot(sum, L"klarwin_repair_summary").empty());
        uidriver::PostClick(uidriver::FindControl(sum, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(sum));
        EXPECT_TRUE(uidriver::WaitForWindowGone(results));

        // What was kept, and what the main window shows of it.
        std::wstring expected;
        for (const CError& e : kept) expected += FormatErrorLine(e);
        EXPECT_EQ(ReadUtf16(engine.GetUnresolvedFilePath()), expected);
        EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), std::to_wstring(kept.GetSize()));
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            return uidriver::GetControlText(wnd, IDC_PROBLEMS) ==
                   std::to_wstring(kept.GetSize()) + L" registry errors";
        }));
        EXPECT_FALSE(ValueExists(kHelp, id + L"a.chm"));
        EXPECT_FALSE(ValueExists(kHelp, id + L"b.chm"));
        EXPECT_FALSE(ValueExists(kRun, id));
        EXPECT_TRUE(ValueExists(kSharedDlls, missing + L"shared0.dll"));

        // Restore the repair's backup.
        ASSERT_EQ(CountFiles(options.backupFolder, L".dat"), 1);
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_NAV_RESTORE));
        HWND rest = WaitTop(L"Restore Backups");
        ASSERT_NE(rest, nullptr);
        HWND backups = uidriver::FindControl(rest, IDC_BACKUP_LIST);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return SendMessageW(backups, LB_GETCOUNT, 0, 0) == 1; }));
        EXPECT_EQ(restore.m_BackupPaths.GetSize(), 1);
        EXPECT_FALSE(uidriver::SaveScreenshot(rest, L"klarwin_restore").empty());
        uidriver::PostClick(uidriver::FindControl(rest, IDC_RESTORE_BACKUP));
        ExpectMessageBox(L"Please make a single selection first.");
        SendMessageW(backups, LB_SETSEL, TRUE, 0);
        uidriver::PostClick(uidriver::FindControl(rest, IDC_RESTORE_BACKUP));
        ExpectMessageBox(L"A previous registry configuration has been successfully restored.");
        EXPECT_TRUE(ValueExists(kHelp, id + L"a.chm"));
        EXPECT_TRUE(ValueExists(kHelp, id + L"b.chm"));
        EXPECT_TRUE(ValueExists(kRun, id));
        EXPECT_EQ(CountFiles(options.backupFolder, L".dat"), 0);
        EXPECT_EQ(SendMessageW(backups, LB_GETCOUNT, 0, 0), 1);  // until opened again
        uidriver::PostClick(uidriver::FindControl(rest, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(rest));

        // Three backups, damaged after their first line; "Select / Deselect All" and delete.
        const std::wstring damaged = L"1::HKEY_LOCAL_MACHINE::REG_SZ::" + kHelp + L"::ValueName=" + id +
                                     L"c.chm::" + missing + L"c.chm::;;\r\n1::short::;;\r\n";
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(fw::WriteUtf16File(std::filesystem::path(options.backupFolder) /
                                               (L"backup" + std::to_wstring(i) + L".dat"),
                                           damaged, false));
        }
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_NAV_RESTORE));
        rest = WaitTop(L"Restore Backups");
        ASSERT_NE(rest, nullptr);
        backups = uidriver::FindControl(rest, IDC_BACKUP_LIST);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return SendMessageW(backups, LB_GETCOUNT, 0, 0) == 3; }));
        uidriver::PostClick(uidriver::FindControl(rest, IDC_SELECT_ALL));
        EXPECT_TRUE(uidriver::WaitUntil([&] { return SendMessageW(backups, LB_GETSELCOUNT, 0, 0) == 3; }));
        SendMessageW(backups, LB_SETSEL, FALSE, 2);
        const std::wstring third = restore.m_BackupPaths[2];
        uidriver::PostClick(uidriver::FindControl(rest, IDC_DELETE_BACKUPS));
        EXPECT_TRUE(uidriver::WaitUntil([&] { return SendMessageW(backups, LB_GETCOUNT, 0, 0) == 1; }));
        EXPECT_EQ(CountFiles(options.backupFolder, L".dat"), 1);
        EXPECT_NE(GetFileAttributesW(third.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(restore.m_BackupPaths.GetSize(), 1);
        // Restoring the third applies what it can and says what it could not;
        // the backup stays, and so does the window.
        SendMessageW(backups, LB_SETSEL, TRUE, 0);
        SendMessageW(backups, LB_SETCARETINDEX, 0, FALSE);
        uidriver::PostClick(uidriver::FindControl(rest, IDC_RESTORE_BACKUP));
        uidriver::MessageBoxInfo partial;
        ASSERT_TRUE(uidriver::WaitForMessageBox(partial));
        EXPECT_EQ(partial.text.rfind(L"The previous registry configuration could only be restored in "
                                     L"part: 1 entries were restored.", 0),
                  0u);
        EXPECT_NE(partial.text.find(L"damaged"), std::wstring::npos);
        uidriver::AnswerMessageBox(partial.hwnd, IDOK);
        uidriver::WaitForWindowGone(partial.hwnd);
        EXPECT_TRUE(ValueExists(kHelp, id + L"c.chm"));
        EXPECT_NE(GetFileAttributesW(third.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(IsWindow(rest));
        EXPECT_EQ(SendMessageW(backups, LB_GETCOUNT, 0, 0), 1);
        uidriver::PostKey(rest, VK_ESCAPE);
        EXPECT_TRUE(uidriver::WaitForWindowGone(rest));

        // The start-up manager removes the restored Run value.
        uidriver::PostClick(uidriver::FindControl(wnd, IDC_NAV_STARTUP));
        HWND man = WaitTop(L"Manage Windows Startup");
        ASSERT_NE(man, nullptr);
        HWND items = uidriver::FindControl(man, IDC_STARTUP_LIST);
        uidriver::PostClick(uidriver::FindControl(man, IDC_REMOVE_SELECTED));
        ExpectMessageBox(L"Please first select an item to be removed.");
        const int row = FindListRow(items, id);
        ASSERT_GE(row, 0);
        EXPECT_FALSE(uidriver::SaveScreenshot(man, L"klarwin_manage_startup").empty());
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(items, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageW(items, LVM_SETSELECTIONMARK, 0, row);
        uidriver::PostClick(uidriver::FindControl(man, IDC_REMOVE_SELECTED));
        ExpectMessageBox(L"The selected application has been removed from Windows startup successfully.");
        EXPECT_FALSE(ValueExists(kRun, id));
        EXPECT_EQ(FindListRow(items, id), -1);
        uidriver::PostClick(uidriver::FindControl(man, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(man));

        PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
        uidriver::WaitForWindowGone(wnd);
    });

    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelp.c_str(), (id + L"a.chm").c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelp.c_str(), (id + L"b.chm").c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelp.c_str(), (id + L"c.chm").c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRun.c_str(), id.c_str());
    for (int i = 0; i < 3; ++i)
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedDlls.c_str(),
                           (missing + L"shared" + std::to_wstring(i) + L".dll").c_str());
    EmptyFolder(options.backupFolder);
}

// A file named "backup" where the backup folder should be: the repair changes
// nothing, says so, and every error it was given is kept with the last
// results (the unresolved file, the stored count, the main window).
TEST(KwWinRepairFlow, ARepairWithoutABackupKeepsEveryErrorUnresolved) {
    KnownSettings();
    const std::wstring id = L"KwWin2NoBackup" + std::to_wstring(GetCurrentProcessId());
    const std::wstring missing = L"C:\\" + id + L"-missing\\";
    EngineOptions options = TestEngineOptions();
    const std::wstring folder = options.dataFolder + L"\\" + id;
    CreateDirectoryW(folder.c_str(), nullptr);
    options.backupFolder = folder + L"\\backup";
    HANDLE file = CreateFileW(options.backupFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    SetString(kHelp, id + L"a.chm", missing + L"a.chm");
    SetString(kHelp, id + L"b.chm", missing + L"b.chm");
    SetSetting(L"IgnoredErrorsCount", L"0");
    CScanProgressDialog progress;
    CRepairErrorsDialog repair;
    CResultStatus summary;
    CScanDialog dlg(false, &options);
    dlg.m_endProcess = [](UINT) {};
    CErrorListEx scanned;

    RunMainWindow(dlg, [&](HWND wnd) {
        HWND results = ScanToResults(wnd, {kSectionHelpFiles});
        ASSERT_NE(results, nullptr);
        scanned = dlg.Engine().GetErrorList();
        ASSERT_GE(scanned.GetSize(), 2);
        ASSERT_NE(PressRepair(results), nullptr);
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_EQ(box.text, L"Nothing has been repaired: no registry backup could be written in the folder \"" +
                                options.backupFolder +
                                L"\", and no change is made that could not be undone. Please make sure the "
                                L"folder can be written and try again.\n\nThe issues left are kept with the "
                                L"results of your last scan.");
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        HWND sum = WaitTop(L"Repair results summary");
        ASSERT_NE(sum, nullptr);
        const std::wstring total = std::to_wstring(scanned.GetSize());
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_FOUND), total);
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_REPAIRED), L"0");
        EXPECT_EQ(uidriver::GetControlText(sum, IDC_TOTAL_IGNORED), total);
        uidriver::PostClick(uidriver::FindControl(sum, IDC_CLOSE_WINDOW));
        EXPECT_TRUE(uidriver::WaitForWindowGone(results));
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_PROBLEMS) == total + L" registry errors"; }));
        PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
        uidriver::WaitForWindowGone(wnd);
    });
    EXPECT_TRUE(ValueExists(kHelp, id + L"a.chm"));
    EXPECT_TRUE(ValueExists(kHelp, id + L"b.chm"));
    std::wstring expected;
    for (const CError& e : scanned) expected += FormatErrorLine(e);
    EXPECT_EQ(ReadUtf16(dlg.Engine().GetUnresolvedFilePath()), expected);
    EXPECT_EQ(ReadSetting(L"IgnoredErrorsCount"), std::to_wstring(scanned.GetSize()));

    // A repair that left some errors for other reasons names each reason and entry.
    RepairReport report;
    report.workCount = 5;
    report.repaired = 2;
    report.notBackedUp = 1;
    report.unreadable.Add(L"HKEY_CURRENT_USER\\K\\binary");
    report.notDeleted.Add(L"HKEY_CURRENT_USER\\K\\Parent");
    EXPECT_EQ(CRepairErrorsDialog::DoneText(report, L"C:\\b", false),
              L"1 of the issues have not been repaired: their registry backup could not be written in the folder "
              L"\"C:\\b\", so they were left unchanged.\n\n1 of the issues have not been repaired: these registry "
              L"entries could not be read, or hold a kind of data a backup cannot keep, so they were left "
              L"unchanged:\nHKEY_CURRENT_USER\\K\\binary\n\n1 of the issues could not be removed from the registry "
              L"(access denied, or a key that still has subkeys):\nHKEY_CURRENT_USER\\K\\Parent\n\nThe other "
              L"issues have been repaired.\n\nThe issues left could not be saved with the results of your last scan.");

    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelp.c_str(), (id + L"a.chm").c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHelp.c_str(), (id + L"b.chm").c_str());
    DeleteFileW(options.backupFolder.c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(dlg.Engine().GetUnresolvedFilePath().c_str());
    SetSetting(L"IgnoredErrorsCount", std::nullopt);
}
