#include "host_dialogs.h"

#include "../res/resource.h"
#include "fw/strutil.h"
#include "host_resources.h"

namespace {
constexpr wchar_t kOwner[] = ORVO_MAIN_FRAME_NAME;
}

// ---- CChooseModuleMusicDlg ----------------------------------------------------------

CChooseModuleMusicDlg::CChooseModuleMusicDlg(IApplication* app, CWnd* parent)
    : CDialog(IDD_CHOOSE_MODULE, parent), m_app(app) {}

const CMessageMap& CChooseModuleMusicDlg::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CChooseModuleMusicDlg>(&CDialog::GetThisMessageMap())
        .OnCommand(IDC_YES_OK, &CChooseModuleMusicDlg::OnOk)
        .OnCommand(IDC_NO_CANCEL, &CChooseModuleMusicDlg::OnCancelButton);
    return map;
}

INT_PTR CChooseModuleMusicDlg::DoModal() {
    mdhost::CDialogResourceScope scope(IDD_CHOOSE_MODULE);
    return CDialog::DoModal();
}

BOOL CChooseModuleMusicDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    wchar_t current[261] = {};
    bool sonicut = m_app && m_app->ReadSetting(kOwner, L"AutoOpen", current, 261) &&
                   fw::EqualsNoCase(current, L"Sonicut");
    CheckDlgButton(IDC_RADIO_VOCALITH, sonicut ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(IDC_RADIO_VOCALITH_STUDIO, BST_UNCHECKED);
    CheckDlgButton(IDC_RADIO_SONICUT, sonicut ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_CHECK_ASK, BST_UNCHECKED);
    // Two choices are offered: Sonicut takes the place of Vocalith Studio.
    HWND studio = GetDlgItem(IDC_RADIO_VOCALITH_STUDIO);
    HWND sonicutButton = GetDlgItem(IDC_RADIO_SONICUT);
    if (studio && sonicutButton) {
        RECT r = {};
        ::GetWindowRect(studio, &r);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::ShowWindow(studio, SW_HIDE);
        ::SetWindowPos(sonicutButton, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    return TRUE;
}

void CChooseModuleMusicDlg::OnOk() {
    const wchar_t* module = L"Sonicut";
    if (IsDlgButtonChecked(IDC_RADIO_VOCALITH) == BST_CHECKED) module = L"Vocalith";
    else if (IsDlgButtonChecked(IDC_RADIO_VOCALITH_STUDIO) == BST_CHECKED) module = L"Vocalith Studio";
    if (m_app) {
        m_app->WriteSetting(kOwner, L"AutoOpen", module);
        m_app->WriteSetting(kOwner, L"AutoOpen_AskMe", IsDlgButtonChecked(IDC_CHECK_ASK) == BST_CHECKED ? L"No" : L"Yes");
    }
    EndDialog(IDOK);
}

void CChooseModuleMusicDlg::OnCancelButton() { EndDialog(IDCANCEL); }

// ---- CDefaultPlayerDlg -------------------------------------------------------------

CDefaultPlayerDlg::CDefaultPlayerDlg(IApplication* app, CWnd* parent)
    : CDialog(IDD_DEFAULT_PLAYER, parent), m_app(app) {}

const CMessageMap& CDefaultPlayerDlg::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CDefaultPlayerDlg>(&CDialog::GetThisMessageMap())
        .OnCommand(IDC_YES_OK, &CDefaultPlayerDlg::OnYes)
        .OnCommand(IDC_NO_CANCEL, &CDefaultPlayerDlg::OnNo);
    return map;
}

INT_PTR CDefaultPlayerDlg::DoModal() {
    mdhost::CDialogResourceScope scope(IDD_DEFAULT_PLAYER);
    return CDialog::DoModal();
}

BOOL CDefaultPlayerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CheckDlgButton(IDC_CHECK_ASK, BST_CHECKED);
    return TRUE;
}

void CDefaultPlayerDlg::WriteAnswer() {
    if (m_app)
        m_app->WriteSetting(kOwner, L"CheckDefaultPlayer",
                            IsDlgButtonChecked(IDC_CHECK_ASK) == BST_CHECKED ? L"Yes" : L"No");
}

void CDefaultPlayerDlg::OnYes() {
    WriteAnswer();
    EndDialog(IDYES);
}

void CDefaultPlayerDlg::OnNo() {
    WriteAnswer();
    EndDialog(IDNO);
}
