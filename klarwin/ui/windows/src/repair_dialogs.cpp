#include "klarwin/ui/repair_dialogs.h"

#include "fw/win/resources.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/dialog_setup.h"
#include "resource.h"

#include <commctrl.h>
#include <oleauto.h>

#include <ctime>
#include <cwchar>
#include <vector>

namespace {

using kwui::kBlack;
using kwui::kHeadingBlue;

using kwui::Engine;
using kwui::SetUpButton;
using kwui::SetUpStatic;
using kwui::Str;
using kwui::TakeString;

}  // namespace

// ---------------------------------------------------------------------------
// Repair window

CRepairErrorsDialog::CRepairErrorsDialog(CWnd* parent) : CBitmapDialog(IDD_REPAIR_ERRORS, parent) {}

const CMessageMap& CRepairErrorsDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CRepairErrorsDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_REPAIR_START, &CRepairErrorsDialog::OnRepairStart)
                                       .OnMessage(WM_REPAIR_PROGRESS, &CRepairErrorsDialog::OnRepairProgress)
                                       .OnMessage(WM_REPAIR_ITEM, &CRepairErrorsDialog::OnRepairItem)
                                       .OnMessage(WM_REPAIR_DONE, &CRepairErrorsDialog::OnRepairDone)
                                       .OnMessage(WM_CLOSE, &CRepairErrorsDialog::OnClose)
                                       .OnMessage(WM_DESTROY, &CRepairErrorsDialog::OnDestroy)
                                       .OnCommand(IDCANCEL, &CRepairErrorsDialog::OnAbort);
    return map;
}

BOOL CRepairErrorsDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_SMALL, IDS_REPAIR_CAPTION, 450, 413, 393);

    SetUpButton(m_abort, IDCANCEL, this, IDB_BUTTON_SMALL, {340, 350, 81, 21}, Str(IDS_ABORT));
    kwui::SetUpHeading(m_title, this, {50, 30, 181, 21}, Str(IDS_REPAIR_HEADING));
    SetUpStatic(m_note, IDC_REPAIR_NOTE, this, {50, 70, 350, 21}, kBlack, 8, FW_BOLD, Str(IDS_REPAIR_NOTE));
    SetUpStatic(m_item, IDC_REPAIR_ITEM, this, {50, 160, 351, 30}, kBlack, 8, FW_NORMAL, L"");
    ::MoveWindow(GetDlgItem(IDC_PROGRESS), 50, 210, 351, 21, TRUE);

    // A repair the engine refuses would leave this window waiting for ever.
    CBriskoEngine* engine = Engine();
    if (!engine || !engine->StartRepair(static_cast<int>(engine->GetErrorList().GetSize()))) {
        // The errors chosen for it go back with the unresolved ones.
        if (engine) engine->KeepUnresolvedErrors(engine->GetErrorList());
        MessageBox(Str(IDS_REPAIR_NOT_STARTED).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK | MB_ICONEXCLAMATION);
        PostMessage(WM_CLOSE);
    }
    return TRUE;
}

LRESULT CRepairErrorsDialog::OnRepairStart(WPARAM wParam, LPARAM) {
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(wParam)));
    return 1;
}

LRESULT CRepairErrorsDialog::OnRepairProgress(WPARAM wParam, LPARAM) {
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, wParam);
    return 1;
}

LRESULT CRepairErrorsDialog::OnRepairItem(WPARAM wParam, LPARAM) {
    m_item.SetText(TakeString(wParam));
    return 1;
}

namespace {

// `format` with its "%d" and "%s" filled in.
std::wstring Fill(UINT format, int number, const std::wstring& folder = std::wstring()) {
    std::wstring text = Str(format);
    size_t at = text.find(L"%d");
    if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(number));
    at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, folder);
    return text;
}

// A few entries, one a line; a long list would not fit the box.
std::wstring EntryLines(const CStringArrayEx& entries) {
    constexpr int kShown = 10;
    std::wstring text;
    for (int i = 0; i < entries.GetSize() && i < kShown; ++i) text += L"\n" + entries[i];
    if (entries.GetSize() > kShown) text += L"\n...";
    return text;
}

}  // namespace

std::wstring CRepairErrorsDialog::DoneText(const RepairReport& report, const std::wstring& backupFolder,
                                           bool leftSaved) {
    if (report.Left() == 0) return Str(IDS_REPAIR_DONE);
    std::wstring text;
    auto add = [&text](const std::wstring& part) { text += (text.empty() ? L"" : L"\n\n") + part; };
    if (report.notBackedUp > 0)
        add(Fill(report.notBackedUp >= report.workCount ? IDS_REPAIR_NO_BACKUP : IDS_REPAIR_PART_BACKUP,
                 report.notBackedUp, backupFolder));
    const int unreadable = static_cast<int>(report.unreadable.GetSize());
    if (unreadable > 0) add(Fill(IDS_REPAIR_UNREADABLE, unreadable) + EntryLines(report.unreadable));
    const int notDeleted = static_cast<int>(report.notDeleted.GetSize());
    if (notDeleted > 0) add(Fill(IDS_REPAIR_NOT_DELETED, notDeleted) + EntryLines(report.notDeleted));
    if (report.repaired > 0) add(Str(IDS_REPAIR_REST_DONE));
    add(Str(leftSaved ? IDS_REPAIR_LEFT_KEPT : IDS_REPAIR_LEFT_NOT_SAVED));
    return text;
}

LRESULT CRepairErrorsDialog::OnRepairDone(WPARAM, LPARAM lParam) {
    m_abort.SetCaption(Str(IDS_CLOSE));
    m_abort.SetCaptionRect({0, 0, 81, 21});
    if (lParam != 0) {
        // Stopped before its end (the program is exiting): no success to report.
        SendMessage(WM_CLOSE);
        return 1;
    }
    // The thread has ended: it is released, and the errors it left are kept
    // with the last results before the user is told about them.
    CBriskoEngine* engine = Engine();
    RepairReport report;
    const int kept = engine ? engine->StopRepair(&report) : 0;
    const std::wstring folder = engine ? engine->GetBackupFolder() : std::wstring();
    MessageBox(DoneText(report, folder, kept >= 0).c_str(), Str(IDS_APP_NAME).c_str(),
               report.Left() > 0 ? MB_OK | MB_ICONEXCLAMATION : MB_OK);
    SendMessage(WM_CLOSE);
    return 1;
}

LRESULT CRepairErrorsDialog::OnClose(WPARAM, LPARAM) {
    OnAbort();
    return 0;
}

LRESULT CRepairErrorsDialog::OnDestroy(WPARAM, LPARAM) {
    kwui::FreeQueuedStrings(m_hWnd);
    return Default();
}

void CRepairErrorsDialog::OnAbort() {
    // Stops the thread, waits for it without a time-out and releases it; the
    // errors it did not repair are kept with the last results.
    if (CBriskoEngine* engine = Engine()) engine->StopRepair();
    OnCancel();
}

// ---------------------------------------------------------------------------
// Restore window

CRestoreBackupsDialog::CRestoreBackupsDialog(CWnd* parent) : CBitmapDialog(IDD_RESTORE_BACKUPS, parent) {}

const CMessageMap& CRestoreBackupsDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CRestoreBackupsDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_BACKUP_FOUND, &CRestoreBackupsDialog::OnBackupFound)
                                       .OnMessage(WM_CLOSE, &CRestoreBackupsDialog::OnClose)
                                       .OnMessage(WM_DESTROY, &CRestoreBackupsDialog::OnDestroy)
                                       .OnCommand(IDC_RESTORE_BACKUP, &CRestoreBackupsDialog::OnRestore)
                                       .OnCommand(IDC_DELETE_BACKUPS, &CRestoreBackupsDialog::OnDeleteBackups)
                                       .OnCommand(IDC_SELECT_ALL, &CRestoreBackupsDialog::OnSelectAll)
                                       .OnCommand(IDC_CLOSE_WINDOW, &CRestoreBackupsDialog::OnCancel);
    return map;
}

BOOL CRestoreBackupsDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_SMALL, IDS_RESTORE_CAPTION, 450, 413, 393);

    kwui::SetUpHeading(m_title, this, {35, 30, 220, 31}, Str(IDS_RESTORE_HEADING));
    SetUpStatic(m_text, IDC_SUBTITLE, this, {35, 65, 381, 42}, kBlack, 8, FW_NORMAL, Str(IDS_RESTORE_NOTE));
    SetUpStatic(m_selectAllLabel, IDC_SELECT_ALL_LABEL, this, {50, 110, 151, 21}, kHeadingBlue, 8, FW_NORMAL,
                Str(IDS_SELECT_ALL));
    m_selectAll.SubclassDlgItem(IDC_SELECT_ALL, this);
    m_selectAll.LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
    m_selectAll.MoveWindow(35, 110, 13, 13);

    kwui::SetUpButtonRow(this, IDB_BUTTON_SMALL, 350,
                         {{&m_delete, IDC_DELETE_BACKUPS, IDS_DELETE, 135},
                          {&m_restore, IDC_RESTORE_BACKUP, IDS_RESTORE, 235},
                          {&m_close, IDC_CLOSE_WINDOW, IDS_CLOSE, 335}});

    SendDlgItemMessage(IDC_BACKUP_LIST, LB_RESETCONTENT);
    m_BackupPaths.RemoveAll();
    if (CBriskoEngine* engine = Engine()) engine->ListBackups();
    return TRUE;
}

LRESULT CRestoreBackupsDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}

LRESULT CRestoreBackupsDialog::OnDestroy(WPARAM, LPARAM) {
    kwui::FreeQueuedStrings(m_hWnd);
    return Default();
}

std::wstring CRestoreBackupsDialog::FormatBackupTime(const FILETIME& created) {
    ULARGE_INTEGER value;
    value.LowPart = created.dwLowDateTime;
    value.HighPart = created.dwHighDateTime;
    // 100-ns intervals since 1601 to seconds since 1970.
    const time_t seconds = static_cast<time_t>(value.QuadPart / 10000000ULL - 11644473600ULL);
    struct tm local = {};
    if (localtime_s(&local, &seconds) != 0) return std::wstring();
    wchar_t text[256] = {};
    wcsftime(text, 256, Str(IDS_BACKUP_DATE_FORMAT).c_str(), &local);
    return text;
}

LRESULT CRestoreBackupsDialog::OnBackupFound(WPARAM wParam, LPARAM) {
    const std::wstring path = TakeString(wParam);
    m_BackupPaths.Add(path);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    std::wstring text;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) text = FormatBackupTime(data.ftCreationTime);
    SendDlgItemMessage(IDC_BACKUP_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return 1;
}

void CRestoreBackupsDialog::OnRestore() {
    const int caret = static_cast<int>(SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETCURSEL));
    const int selected = static_cast<int>(SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETSELCOUNT));
    const std::wstring app = Str(IDS_APP_NAME);
    if (caret < 0 || selected != 1) {
        MessageBox(Str(IDS_SINGLE_SELECTION).c_str(), app.c_str(), MB_OK);
        return;
    }
    int index = -1;
    SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&index));
    if (index < 0 || index >= static_cast<int>(m_BackupPaths.GetSize())) return;
    const std::wstring path = m_BackupPaths[index];
    CBriskoEngine* engine = Engine();
    RestoreReport report;
    if (!engine || !engine->RestoreBackup(path, &report)) {
        // The backup stays on disk and in the list: it is the only copy of
        // what it holds, and the user may try again.
        MessageBox(RestoreFailureText(report).c_str(), app.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    DeleteFileW(path.c_str());
    MessageBox(Str(IDS_RESTORED).c_str(), app.c_str(), MB_OK);
}

std::wstring CRestoreBackupsDialog::RestoreFailureText(const RestoreReport& report) {
    if (report.Result == RestoreResult::NotFound || report.Result == RestoreResult::ReadError)
        return Str(IDS_RESTORE_UNREADABLE);
    std::wstring text = Str(IDS_RESTORE_PARTIAL);
    const size_t at = text.find(L"%d");
    if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(report.Restored));
    if (report.Damaged) text += L"\n\n" + Str(IDS_RESTORE_DAMAGED);
    if (report.NotWritten.GetSize() > 0) {
        text += L"\n\n" + Str(IDS_RESTORE_NOT_WRITTEN);
        // A few of them name the problem; a long list would not fit the box.
        constexpr int kShown = 10;
        const int count = static_cast<int>(report.NotWritten.GetSize());
        for (int i = 0; i < count && i < kShown; ++i) text += L"\n" + report.NotWritten[i];
        if (count > kShown) text += L"\n...";
    }
    return text;
}

void CRestoreBackupsDialog::OnDeleteBackups() {
    if (static_cast<int>(SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETCURSEL)) < 0) {
        MessageBox(Str(IDS_SELECTION_FIRST).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
        return;
    }
    const int count = static_cast<int>(SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETSELCOUNT));
    if (count <= 0) return;
    std::vector<int> indexes(static_cast<size_t>(count));
    const int got = static_cast<int>(
        SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(indexes.data())));
    for (int k = got - 1; k >= 0; --k) {
        const int index = indexes[k];
        if (index < 0 || index >= static_cast<int>(m_BackupPaths.GetSize())) continue;
        DeleteFileW(m_BackupPaths[index].c_str());
        SendDlgItemMessage(IDC_BACKUP_LIST, LB_DELETESTRING, index);
        m_BackupPaths.RemoveAt(index);
    }
}

void CRestoreBackupsDialog::OnSelectAll() {
    const bool on = SendDlgItemMessage(IDC_SELECT_ALL, BM_GETCHECK) == BST_CHECKED;
    const int count = static_cast<int>(SendDlgItemMessage(IDC_BACKUP_LIST, LB_GETCOUNT));
    for (int i = 0; i < count; ++i) SendDlgItemMessage(IDC_BACKUP_LIST, LB_SETSEL, on ? TRUE : FALSE, i);
}

// ---------------------------------------------------------------------------
// Start-up manager

CManageStartupDialog::CManageStartupDialog(CWnd* parent) : CBitmapDialog(IDD_MANAGE_STARTUP, parent) {}

const CMessageMap& CManageStartupDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CManageStartupDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_CLOSE, &CManageStartupDialog::OnClose)
                                       .OnCommand(IDC_REMOVE_SELECTED, &CManageStartupDialog::OnRemoveSelected)
                                       .OnCommand(IDC_CLOSE_WINDOW, &CManageStartupDialog::OnCancel);
    return map;
}

BOOL CManageStartupDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_LARGE, IDS_STARTUP_CAPTION, 528, 481, 461);

    m_list.SubclassDlgItem(IDC_STARTUP_LIST, this);
    m_list.InsertColumn(0, Str(IDS_COLUMN_PROGRAM), LVCFMT_LEFT, 120);
    m_list.InsertColumn(1, Str(IDS_COLUMN_FILE_NAME), LVCFMT_LEFT, 165);
    m_list.InsertColumn(2, Str(IDS_COLUMN_LOCATION), LVCFMT_LEFT, 165);
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);

    SetUpStatic(m_title, IDC_STARTUP_TITLE, this, {50, 30, 181, 21}, kHeadingBlue, 14, FW_NORMAL,
                Str(IDS_STARTUP_HEADING));
    SetUpButton(m_remove, IDC_REMOVE_SELECTED, this, IDB_BUTTON_WIDE, {290, 416, 118, 21}, Str(IDS_REMOVE_SELECTED));
    SetUpButton(m_close, IDC_CLOSE_WINDOW, this, IDB_BUTTON_SMALL, {420, 416, 81, 21}, Str(IDS_CLOSE));
    FillList();
    return TRUE;
}

LRESULT CManageStartupDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}

void CManageStartupDialog::FillList() {
    m_list.DeleteAllItems();
    CBriskoEngine* engine = Engine();
    if (!engine) return;
    const CRegistryItemListEx items = engine->GetStartupItems();
    for (int i = 0; i < static_cast<int>(items.GetSize()); ++i) {
        const CRegistryItem& item = items[i];
        const int row = m_list.InsertItem(i, item.ValueName);
        m_list.SetItemText(row, 1, item.ValueData);
        m_list.SetItemText(row, 2, item.RootName + L"\\" + item.SubKey);
    }
}

void CManageStartupDialog::OnRemoveSelected() {
    const std::wstring app = Str(IDS_APP_NAME);
    const int mark = m_list.GetSelectionMark();
    if (mark < 0) {
        MessageBox(Str(IDS_SELECT_ITEM_FIRST).c_str(), app.c_str(), MB_ICONEXCLAMATION);
        return;
    }
    if (CBriskoEngine* engine = Engine()) {
        const CRegistryItemListEx items = engine->GetStartupItems();
        if (mark < static_cast<int>(items.GetSize())) {
            const CRegistryItem& item = items[mark];
            engine->DeleteRegistryValue(reinterpret_cast<HKEY>(item.RootKey), item.SubKey, item.ValueName);
        }
    }
    FillList();
    MessageBox(Str(IDS_STARTUP_REMOVED).c_str(), app.c_str(), MB_ICONEXCLAMATION);
}
