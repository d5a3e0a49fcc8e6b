#include "klarwin/ui/support_dialogs.h"

#include "fw/win/app.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/window_messages.h"
#include "resource.h"

#include <commctrl.h>

#include <cwchar>
#include <vector>

namespace {

using kwui::Engine;
using kwui::kBlack;
using kwui::SetUpButton;
using kwui::SetUpStatic;
using kwui::Str;

// The non-empty pieces of `text` between the separators, as a tokenizer cuts
// them (runs of separators are one, leading and trailing ones are skipped).
std::vector<std::wstring> Tokens(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> tokens;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(separator, at);
        if (start == std::wstring::npos) break;
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        tokens.push_back(text.substr(start, end - start));
        at = end;
    }
    return tokens;
}

std::wstring FormatNumber(UINT formatId, long long n) {
    wchar_t text[128] = {};
    swprintf(text, 128, Str(formatId).c_str(), static_cast<int>(n));
    return text;
}

unsigned long long SteadyMilliseconds() { return GetTickCount64(); }

}  // namespace

bool IsEmailFormValid(const std::wstring& address) {
    // The first two pieces around "@": the name and the domain; the domain's
    // first two pieces around ".".
    const std::vector<std::wstring> parts = Tokens(address, L'@');
    if (parts.size() < 2) return false;
    return Tokens(parts[1], L'.').size() >= 2;
}

// ---------------------------------------------------------------------------
// Send-log window

CSendLogDialog::CSendLogDialog(CWnd* parent) : CBitmapDialog(IDD_SEND_LOG, parent) {}

const CMessageMap& CSendLogDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSendLogDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_CLOSE, &CSendLogDialog::OnClose)
                                       .OnCommand(IDOK, &CSendLogDialog::OnSendReport);
    return map;
}

BOOL CSendLogDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_LARGE, IDS_SEND_LOG_CAPTION, 526, 481, 461);

    kwui::SetUpButtonRow(this, IDB_BUTTON_SMALL, 413,
                         {{&m_send, IDOK, IDS_SEND_REPORT, 310}, {&m_cancel, IDCANCEL, IDS_CANCEL, 400}});

    kwui::SetUpHeading(m_title, this, {50, 30, 331, 21}, Str(IDS_ADVANCED_REPAIR));
    SetUpStatic(m_intro, IDC_SUBTITLE, this, {50, 70, 241, 21}, kBlack, 9, FW_BOLD, Str(IDS_LOG_INTRO));
    SetUpStatic(m_text, IDC_LOG_TEXT, this, {50, 90, 421, 63}, kBlack, 8, FW_NORMAL, Str(IDS_LOG_TEXT));

    ::MoveWindow(GetDlgItem(IDC_REPORT_EDIT), 50, 140, 430, 120, TRUE);
    SetUpStatic(m_nameLabel, IDC_NAME_LABEL, this, {50, 270, 50, 21}, kBlack, 9, FW_BOLD, Str(IDS_NAME_LABEL));
    ::MoveWindow(GetDlgItem(IDC_NAME_EDIT), 130, 270, 140, 21, TRUE);
    SetUpStatic(m_emailLabel, IDC_EMAIL_LABEL, this, {280, 270, 50, 21}, kBlack, 9, FW_BOLD, Str(IDS_EMAIL_LABEL));
    ::MoveWindow(GetDlgItem(IDC_EMAIL_EDIT), 330, 270, 150, 21, TRUE);
    SetUpStatic(m_descriptionLabel, IDC_DESCRIPTION_LABEL, this, {50, 300, 70, 21}, kBlack, 9, FW_BOLD,
                Str(IDS_DESCRIPTION_LABEL));
    ::MoveWindow(GetDlgItem(IDC_DESCRIPTION_EDIT), 130, 300, 350, 100, TRUE);
    ::ShowScrollBar(GetDlgItem(IDC_DESCRIPTION_EDIT), SB_VERT, TRUE);

    m_strEmail.clear();
    m_strDescription.clear();
    SetDlgItemText(IDC_EMAIL_EDIT, m_strEmail);
    SetDlgItemText(IDC_DESCRIPTION_EDIT, m_strDescription);
    SetDlgItemText(IDC_NAME_EDIT, L"");

    // The plain text is shown; the HTML twin is what the service receives.
    m_strReport.clear();
    m_strReportHtml.clear();
    if (CBriskoEngine* engine = Engine()) engine->BuildSystemReport(m_strReport, m_strReportHtml);
    SetDlgItemText(IDC_REPORT_EDIT, m_strReport);
    // The typing starts at the name; the report stays at its first line
    // (focus given to it by the dialog would select it all and scroll to its end).
    GotoDlgCtrl(GetDlgItem(IDC_NAME_EDIT));
    return FALSE;
}

void CSendLogDialog::Tell(UINT stringId) {
    MessageBox(Str(stringId).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
}

void CSendLogDialog::OnSendReport() {
    m_strEmail = GetDlgItemText(IDC_EMAIL_EDIT);
    m_strDescription = GetDlgItemText(IDC_DESCRIPTION_EDIT);
    if (GetDlgItemText(IDC_NAME_EDIT).empty()) return Tell(IDS_ENTER_NAME);
    if (m_strEmail.empty()) return Tell(IDS_ENTER_EMAIL);
    if (!IsEmailFormValid(m_strEmail)) return Tell(IDS_BAD_EMAIL);
    if (m_strDescription.empty()) return Tell(IDS_ENTER_DESCRIPTION);

    // The name is asked for but not sent.
    CBriskoEngine* engine = Engine();
    const int result =
        engine ? engine->SubmitLog(m_strEmail, m_strDescription, m_strReportHtml,
                                   kwui::FormatString(IDS_LOG_LANGUAGE_FORMAT, engine->GetProductVersion()))
               : -1;
    if (result == 1) {
        OnOK();
        return;
    }
    Tell(IDS_NO_CONNECTION);
}

LRESULT CSendLogDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}

// ---------------------------------------------------------------------------
// Custom-solution window

CCustomSolnDialog::CCustomSolnDialog(CWnd* parent) : CBitmapDialog(IDD_CUSTOM_SOLUTION, parent) {}

const CMessageMap& CCustomSolnDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CCustomSolnDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_CLOSE, &CCustomSolnDialog::OnClose)
                                       .OnCommand(IDC_RUN_SOLUTION, &CCustomSolnDialog::OnRunSolution);
    return map;
}

BOOL CCustomSolnDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_LARGE, IDS_SOLUTION_CAPTION, 528, 481, 461);

    SetUpButton(m_run, IDC_RUN_SOLUTION, this, IDB_BUTTON_WIDE, {380, 398, 118, 21}, Str(IDS_RUN_SOLUTION));

    kwui::SetUpHeading(m_title, this, {50, 30, 331, 21}, Str(IDS_ADVANCED_REPAIR));
    // The label ends where the status text begins: a transparent static
    // repaints the background under all of its rectangle.
    SetUpStatic(m_statusLabel, IDC_STATUS_LABEL, this, {50, 90, 100, 21}, kBlack, 9, FW_BOLD,
                Str(IDS_SOLUTION_STATUS_LABEL));
    SetUpStatic(m_status, IDC_SOLUTION_STATUS, this, {150, 90, 301, 42}, kBlack, 9, FW_NORMAL, L"");
    SetUpStatic(m_instructionsLabel, IDC_INSTRUCTIONS_LABEL, this, {50, 165, 251, 21}, kBlack, 9, FW_BOLD,
                Str(IDS_INSTRUCTIONS_LABEL));

    m_strSolution.clear();
    std::wstring instructions, solution;
    CBriskoEngine* engine = Engine();
    if (engine && engine->QueryLogStatus(instructions, solution)) {
        m_status.SetText(Str(IDS_SOLUTION_AVAILABLE));
        SetDlgItemText(IDC_INSTRUCTIONS, instructions);
        m_strSolution = solution;
        m_run.EnableWindow(true);
    } else {
        m_status.SetText(Str(IDS_SOLUTION_PENDING));
        SetDlgItemText(IDC_INSTRUCTIONS, Str(IDS_SOLUTION_NOT_YET));
        m_run.EnableWindow(false);
    }
    GotoDlgCtrl(m_run.m_hWnd);
    return FALSE;  // the focus is set
}

void CCustomSolnDialog::OnRunSolution() {
    std::wstring log;
    if (CBriskoEngine* engine = Engine()) engine->ApplySolution(log, m_strSolution);
    AfxMessageBox(log.c_str(), MB_OK);
    if (log == Str(IDS_SOLUTION_DONE)) OnOK();
}

LRESULT CCustomSolnDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}

// ---------------------------------------------------------------------------
// Download window

DownloadProgressTexts FormatDownloadProgress(unsigned long long bytes, unsigned long long elapsedMs) {
    DownloadProgressTexts texts;
    const long long kilobytes = static_cast<long long>(bytes / 1024);
    texts.kilobytes = static_cast<int>(kilobytes);
    texts.downloaded = FormatNumber(IDS_KB_FORMAT, kilobytes);
    // Whole seconds, rounded to the nearest one.
    const unsigned long long seconds = (elapsedMs + 500) / 1000;
    wchar_t text[128] = {};
    if (seconds > 0) {
        swprintf(text, 128, Str(IDS_SPEED_FORMAT).c_str(), static_cast<double>(kilobytes) / static_cast<double>(seconds));
        texts.speed = text;
    } else if (elapsedMs > 0) {
        // Less than half a second: the speed over the time that really passed.
        swprintf(text, 128, Str(IDS_SPEED_FORMAT).c_str(),
                 static_cast<double>(kilobytes) * 1000.0 / static_cast<double>(elapsedMs));
        texts.speed = text;
    } else {
        texts.speed = Str(IDS_SPEED_INITIALIZING);
    }
    swprintf(text, 128, Str(IDS_ELAPSED_FORMAT).c_str(), static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    texts.elapsed = text;
    return texts;
}

CDownloadDialog::CDownloadDialog(CWnd* parent)
    : CBitmapDialog(IDD_DOWNLOAD, parent), m_clock(&SteadyMilliseconds) {
    kwui::InitControls(ICC_PROGRESS_CLASS);
}

const CMessageMap& CDownloadDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CDownloadDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_DOWNLOAD_START, &CDownloadDialog::OnDownloadStart)
                                       .OnMessage(WM_DOWNLOAD_COMPLETE, &CDownloadDialog::OnDownloadComplete)
                                       .OnMessage(WM_DOWNLOAD_PROGRESS, &CDownloadDialog::OnDownloadProgress)
                                       .OnMessage(WM_UPDATE_FAILED, &CDownloadDialog::OnUpdateFailed)
                                       .OnMessage(WM_CLOSE, &CDownloadDialog::OnClose)
                                       .OnCommand(IDABORT, &CDownloadDialog::OnAbortDownload)
                                       .OnCommand(IDCANCEL, &CDownloadDialog::OnAbortDownload);
    return map;
}

BOOL CDownloadDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_SMALL, 0, 450, 393, 393);

    SetUpButton(m_abort, IDABORT, this, IDB_BUTTON_SMALL, {340, 340, 81, 21}, Str(IDS_ABORT));
    kwui::SetUpHeading(m_title, this, {50, 30, 181, 21}, Str(IDS_DOWNLOAD_HEADING));
    SetUpStatic(m_note, IDC_SUBTITLE, this, {50, 90, 350, 21}, kBlack, 9, FW_BOLD, Str(IDS_DOWNLOAD_NOTE));
    ::MoveWindow(GetDlgItem(IDC_PROGRESS), 50, 150, 350, 21, TRUE);
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE32, 0, 0);
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, 0);

    const int labelIds[4] = {IDC_DL_DOWNLOADED_LABEL, IDC_DL_SPEED_LABEL, IDC_DL_SIZE_LABEL, IDC_DL_ELAPSED_LABEL};
    const UINT labelTexts[4] = {IDS_DL_DOWNLOADED_LABEL, IDS_DL_SPEED_LABEL, IDS_DL_SIZE_LABEL, IDS_DL_ELAPSED_LABEL};
    const int valueIds[4] = {IDC_DL_DOWNLOADED, IDC_DL_SPEED, IDC_DL_SIZE, IDC_DL_ELAPSED};
    CXColorStatic* values[4] = {&m_downloaded, &m_speed, &m_size, &m_elapsed};
    for (int i = 0; i < 4; ++i) {
        const int y = 200 + 30 * i;
        SetUpStatic(m_labels[i], labelIds[i], this, {50, y, 120, 21}, kBlack, 9, FW_NORMAL, Str(labelTexts[i]));
        SetUpStatic(*values[i], valueIds[i], this, {250, y, 120, 21}, kBlack, 9, FW_NORMAL, L"");
    }
    m_start = m_clock();
    return TRUE;
}

LRESULT CDownloadDialog::OnDownloadStart(WPARAM wParam, LPARAM) {
    m_start = m_clock();
    const int kilobytes = static_cast<int>(static_cast<unsigned long>(wParam) / 1024);
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE32, 0, kilobytes);
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, 0);
    m_size.SetText(FormatNumber(IDS_KB_FORMAT, kilobytes));
    m_elapsed.SetText(Str(IDS_ELAPSED_ZERO));
    m_speed.SetText(Str(IDS_SPEED_INITIALIZING));
    m_downloaded.SetText(FormatNumber(IDS_KB_FORMAT, 0));
    return 1;
}

LRESULT CDownloadDialog::OnDownloadProgress(WPARAM wParam, LPARAM) {
    const unsigned long long now = m_clock();
    const DownloadProgressTexts texts =
        FormatDownloadProgress(static_cast<unsigned long>(wParam), now >= m_start ? now - m_start : 0);
    m_speed.SetText(texts.speed);
    m_elapsed.SetText(texts.elapsed);
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(texts.kilobytes));
    m_downloaded.SetText(texts.downloaded);
    return 1;
}

LRESULT CDownloadDialog::OnDownloadComplete(WPARAM, LPARAM) {
    OnCancel();
    return 1;
}

std::wstring UpdateFailedText(WPARAM reason) {
    return Str(reason == kUpdateFailedNotAProgram ? IDS_UPDATE_REJECTED : IDS_DOWNLOAD_FAILED);
}

LRESULT CDownloadDialog::OnUpdateFailed(WPARAM wParam, LPARAM) {
    // The thread has ended: nothing more will come to this window.
    MessageBox(UpdateFailedText(wParam).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
    OnCancel();
    return 1;
}

void CDownloadDialog::OnAbortDownload() {
    if (CBriskoEngine* engine = Engine()) engine->StopUpdateDownload();
    OnCancel();
}

LRESULT CDownloadDialog::OnClose(WPARAM, LPARAM) {
    OnAbortDownload();
    return 0;
}
