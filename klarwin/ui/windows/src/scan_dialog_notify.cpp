// The main window's side that answers what comes from outside it: the tray
// icon and its menu, the engine's threads' messages relayed to the window that
// shows them, and the update check's answers.
#include "klarwin/ui/scan_dialog.h"

#include "fw/win/app.h"
#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/support_dialogs.h"
#include "klarwin/ui/window_messages.h"
#include "resource.h"

#include <oleauto.h>
#include <shellapi.h>
#include <wininet.h>

#include <cwchar>

namespace {

using kwui::OpenWindowOf;
using kwui::RunSingleton;
using kwui::Str;

}  // namespace

void CScanDialog::SetUpTray() {
    HICON big = fw::LoadResourceIcon(IDI_KLARWIN, GetSystemMetrics(SM_CXICON));
    HICON small = fw::LoadResourceIcon(IDI_KLARWIN, GetSystemMetrics(SM_CXSMICON));
    m_nid.cbSize = sizeof(m_nid);
    m_nid.hWnd = m_hWnd;
    m_nid.uID = IDI_KLARWIN;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.hIcon = small;
    wcsncpy(m_nid.szTip, kTitle, sizeof(m_nid.szTip) / sizeof(m_nid.szTip[0]) - 1);
    m_bTrayIconAdded = Shell_NotifyIconW(NIM_ADD, &m_nid) != FALSE;
    m_trayMenu.LoadMenu(IDR_TRAY_MENU);
    SetIcon(big, true);
    SetIcon(small, false);
}

void CScanDialog::RemoveTrayIcon() {
    if (!m_bTrayIconAdded) return;
    Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_bTrayIconAdded = false;
}

void CScanDialog::OnCheckUpdates() {
    m_bReportUpdateResult = true;
    if (InternetGetConnectedState(nullptr, 0) != TRUE) {
        MessageBox(Str(IDS_NO_CONNECTION).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
        return;
    }
    m_bUpdatePromptPending = true;
    m_engine->StartUpdateCheck();
}

void CScanDialog::OnTrayOpen() {
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
}

void CScanDialog::OnTrayScan() {
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
    OnScan();
}

void CScanDialog::OnTrayLanguage() {}

void CScanDialog::OnTrayStartupYes() { m_engine->SetStartWithWindows(true); }

void CScanDialog::OnTrayStartupNo() { m_engine->SetStartWithWindows(false); }

LRESULT CScanDialog::OnTrayNotify(WPARAM, LPARAM lParam) {
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
        ShowWindow(SW_SHOWNORMAL);
        SetForegroundWindow(m_hWnd);
        break;
    case WM_RBUTTONUP: {
        POINT pt;
        GetCursorPos(&pt);
        SetForegroundWindow(m_hWnd);
        HMENU tray = m_trayMenu.GetSubMenu(0);
        if (!tray) break;
        const bool on = SettingOn(L"StartWithWindows");
        CheckMenuItem(tray, ID_TRAY_STARTUP_YES, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(tray, ID_TRAY_STARTUP_NO, MF_BYCOMMAND | (on ? MF_UNCHECKED : MF_CHECKED));
        TrackPopupMenu(tray, TPM_RIGHTALIGN, pt.x, pt.y, 0, m_hWnd, nullptr);
        PostMessage(WM_NULL);
        break;
    }
    default:
        break;
    }
    return 1;
}

void CScanDialog::Relay(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    if (target && ::PostMessageW(target, message, wParam, lParam)) return;
    // Nobody takes the message: the string it carries would be lost.
    if (MessageCarriesString(message)) SysFreeString(reinterpret_cast<BSTR>(wParam));
}

HWND CScanDialog::RelayTarget(int target) {
    switch (target) {
    case 0: return OpenWindowOf(CScanProgressDialog::GetInstance());
    case 1: return OpenWindowOf(CRepairErrorsDialog::GetInstance());
    case 2: return OpenWindowOf(CRestoreBackupsDialog::GetInstance());
    case 3: return OpenWindowOf(CDownloadDialog::GetInstance());
    default: return nullptr;
    }
}

LRESULT CScanDialog::OnIgnore(WPARAM, LPARAM) { return 1; }

LRESULT CScanDialog::OnUpdateAvailable(WPARAM, LPARAM) {
    m_updateStatus.SetTextColor(RGB(255, 255, 0));
    m_updateStatus.SetFont(8, FW_BOLD);
    m_updateStatus.SetText(Str(IDS_UPDATE_STATUS_AVAILABLE));
    const RECT area = {115, 522, 200, 542};
    InvalidateRect(&area, true);
    if (m_bUpdatePromptPending) {
        m_bUpdatePromptPending = false;
        AskDownload();
    } else if (m_bReportUpdateResult) {
        AskDownload();
        m_bReportUpdateResult = false;
    }
    return 1;
}

void CScanDialog::AskDownload() {
    if (MessageBox(Str(IDS_UPDATE_ASK).c_str(), Str(IDS_APP_NAME).c_str(), MB_YESNO) != IDYES) return;
    m_engine->StartUpdateDownload();
    RunSingleton<CDownloadDialog>(this);
}

LRESULT CScanDialog::OnUpdateNone(WPARAM, LPARAM) {
    m_updateStatus.SetText(Str(IDS_UPDATE_STATUS_NONE));
    const RECT area = {115, 522, 200, 542};
    InvalidateRect(&area, true);
    if (m_bReportUpdateResult) {
        MessageBox(Str(IDS_NO_UPDATES).c_str(), Str(IDS_UPDATES_TITLE).c_str(), MB_OK);
        m_bReportUpdateResult = false;
    }
    return 1;
}

LRESULT CScanDialog::OnUpdateInstalled(WPARAM, LPARAM) {
    AfxMessageBox(Str(IDS_UPDATE_INSTALLED).c_str(), MB_ICONINFORMATION | MB_TOPMOST);
    const std::wstring folder = fw::GetModuleFolder();
    const std::wstring program = folder + L"\\rebooter.exe";
    ShellExecuteW(m_hWnd, L"open", program.c_str(), nullptr, folder.c_str(), SW_SHOW);
    return 1;
}

LRESULT CScanDialog::OnUpdateFailed(WPARAM wParam, LPARAM) {
    // An open download window tells the user and closes (sent, so that it
    // cannot close first and leave the message untold).
    if (HWND download = RelayTarget(3)) {
        ::SendMessageW(download, WM_UPDATE_FAILED, wParam, 0);
        return 1;
    }
    MessageBox(UpdateFailedText(wParam).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
    return 1;
}
