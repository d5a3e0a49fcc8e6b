// The windows that drive the engine's repair, backup and start-up operations:
// CRepairErrorsDialog runs the repair thread over the errors left in the
// engine's list and shows its progress; CRestoreBackupsDialog lists the dated
// backup files, restores one or deletes several; CManageStartupDialog lists
// the programs that start with Windows and removes one. The engine's threads
// post to the main window, which re-posts their messages here unchanged.
#pragma once

#include "fw/singleton.h"
#include "klarwin/backup_files.h"
#include "klarwin/repair_thread.h"
#include "klarwin/scan_records.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/check_box.h"
#include "klarwin/ui/color_static.h"
#include "klarwin/ui/item_list.h"

#include <string>

class CRepairErrorsDialog : public CBitmapDialog, public CSingleton<CRepairErrorsDialog> {
public:
    explicit CRepairErrorsDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    // Stops and releases the repair thread, then ends the window.
    void OnAbort();

    // The completion message: success, or which errors were left unrepaired
    // and why (no backup in `backupFolder`, entries that could not be read or
    // removed), and whether those left were saved with the last results.
    static std::wstring DoneText(const RepairReport& report, const std::wstring& backupFolder,
                                 bool leftSaved = true);

protected:
    LRESULT OnRepairStart(WPARAM wParam, LPARAM lParam);
    LRESULT OnRepairProgress(WPARAM wParam, LPARAM lParam);
    LRESULT OnRepairItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnRepairDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

private:
    CXColorStatic m_title, m_note, m_item;
    CBitmapButtonEx m_abort;
};

class CRestoreBackupsDialog : public CBitmapDialog, public CSingleton<CRestoreBackupsDialog> {
public:
    explicit CRestoreBackupsDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnRestore();
    void OnDeleteBackups();
    void OnSelectAll();

    // The list text of a backup created at `created` (local time).
    static std::wstring FormatBackupTime(const FILETIME& created);
    // What the user is told when a restore did not apply the whole backup.
    static std::wstring RestoreFailureText(const RestoreReport& report);

    CStringArrayEx m_BackupPaths;

protected:
    LRESULT OnBackupFound(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

private:
    CXColorStatic m_title, m_text, m_selectAllLabel;
    CCheckBox m_selectAll;
    CBitmapButtonEx m_delete, m_restore, m_close;
};

class CManageStartupDialog : public CBitmapDialog, public CSingleton<CManageStartupDialog> {
public:
    explicit CManageStartupDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void FillList();
    void OnRemoveSelected();

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    CItemListCtrl m_list;
    CXColorStatic m_title;
    CBitmapButtonEx m_remove, m_close;
};
