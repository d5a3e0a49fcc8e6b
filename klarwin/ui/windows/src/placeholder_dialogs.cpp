#include "klarwin/ui/placeholder_dialogs.h"

#include "resource.h"

CSecondaryDialog::CSecondaryDialog(UINT templateId, UINT bitmapId, CWnd* parent)
    : CBitmapDialog(templateId, parent), m_nBitmap(bitmapId) {}

const CMessageMap& CSecondaryDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSecondaryDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_CLOSE, &CSecondaryDialog::OnClose);
    return map;
}

BOOL CSecondaryDialog::OnInitDialog() {
    CBitmapDialog::OnInitDialog();
    SetBitmap(m_nBitmap);
    m_bDragEnabled = true;
    CenterWindow();
    return TRUE;
}

LRESULT CSecondaryDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}

#define KLARWIN_SECONDARY_DIALOG_IMPL(ClassName, templateId, bitmapId) \
    ClassName::ClassName(CWnd* parent) : CSecondaryDialog(templateId, bitmapId, parent) {}

KLARWIN_SECONDARY_DIALOG_IMPL(CSettingsDialog, IDD_SETTINGS, IDB_DIALOG_SMALL)
KLARWIN_SECONDARY_DIALOG_IMPL(CSendLogDialog, IDD_SEND_LOG, IDB_DIALOG_LARGE)
KLARWIN_SECONDARY_DIALOG_IMPL(CCustomSolnDialog, IDD_CUSTOM_SOLUTION, IDB_DIALOG_LARGE)
KLARWIN_SECONDARY_DIALOG_IMPL(CDownloadDialog, IDD_DOWNLOAD, IDB_DIALOG_SMALL)
