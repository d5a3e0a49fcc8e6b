#include "klarwin/ui/scan_progress_dialog.h"

#include "fw/win/module.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"

#include <commctrl.h>
#include <oleauto.h>

#include <cwchar>

namespace {

constexpr COLORREF kCountRed = RGB(154, 0, 0);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr size_t kItemLimit = 70;

using kwui::Engine;
using kwui::kBlack;
using kwui::kHeadingBlue;
using kwui::SetUpStatic;
using kwui::Str;

int RowX(int section) { return section < 6 ? 50 : 300; }
int RowY(int section) { return 225 + (section % 6) * 20; }

}  // namespace

CScanProgressDialog::CScanProgressDialog() : CBitmapDialog(IDD_SCAN_PROGRESS) {}
CScanProgressDialog::~CScanProgressDialog() = default;

const CMessageMap& CScanProgressDialog::GetThisMessageMap() {
    static const CMessageMap map =
        CMessageMap::Build<CScanProgressDialog>(&CBitmapDialog::GetThisMessageMap())
            .OnMessage(WM_SCAN_SECTION_START, &CScanProgressDialog::OnSectionStart)
            .OnMessage(WM_SCAN_ERROR_FOUND, &CScanProgressDialog::OnErrorFound)
            .OnMessage(WM_SCAN_PROGRESS_TEXT, &CScanProgressDialog::OnProgressText)
            .OnMessage(WM_SCAN_SECTION_END, &CScanProgressDialog::OnSectionEnd)
            .OnMessage(WM_SCAN_SECTION_SKIPPED, &CScanProgressDialog::OnSectionSkipped)
            .OnMessage(WM_SCAN_COMPLETE, &CScanProgressDialog::OnScanComplete)
            .OnMessage(WM_DESTROY, &CScanProgressDialog::OnDestroy)
            .OnCommand(IDC_STOP_SCAN, &CScanProgressDialog::OnStopScan);
    return map;
}

std::wstring CScanProgressDialog::ShortenItemText(const std::wstring& text) {
    if (text.size() <= kItemLimit) return text;
    return text.substr(0, kItemLimit) + L"..";
}

int CScanProgressDialog::ProgressAfterSection(int index) {
    // (i + 1) * 100 / 12 in single precision, truncated: 8, 16, 25, ... 100.
    const float position = static_cast<float>((index + 1) * 8.333333333333334);
    return static_cast<int>(position);
}

BOOL CScanProgressDialog::OnInitDialog() {
    m_nSectionErrors = 0;
    m_bScanStarted = false;
    m_bScanCompleted = false;
    kwui::OpenWindow(*this, IDB_DIALOG_LARGE, IDS_PROGRESS_CAPTION, 528, 481, 461);

    kwui::SetUpButton(m_stop, IDC_STOP_SCAN, this, IDB_BUTTON_SMALL, {415, 398, 81, 21}, Str(IDS_STOP_SCAN));
    kwui::SetUpHeading(m_title, this, {50, 30, 181, 21}, Str(IDS_PROGRESS_HEADING));
    SetUpStatic(m_note, IDC_SUBTITLE, this, {50, 90, 420, 21}, kBlack, 9, FW_BOLD, Str(IDS_PROGRESS_NOTE));
    SetUpStatic(m_item, IDC_CURRENT_ITEM, this, {50, 110, 420, 21}, kGrey, 8, FW_NORMAL, L"");

    HWND bar = GetDlgItem(IDC_PROGRESS);
    ::MoveWindow(bar, 50, 130, 420, 21, TRUE);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(bar, PBM_SETSTEP, 8, 0);
    ::SendMessageW(bar, PBM_SETPOS, 0, 0);

    for (int i = 0; i < 12; ++i) {
        const int x0 = RowX(i);
        SetUpStatic(m_counts[i], kwui::kSectionCountIds[i], this, {x0, 227 + (i % 6) * 20, 25, 21}, kCountRed, 7,
                    FW_NORMAL, L"(0)");
        SetUpStatic(m_names[i], kwui::kSectionLabelIds[i], this, {x0 + 25, RowY(i), 200, 21}, kHeadingBlue, 10,
                    FW_NORMAL, Str(IDS_SECTION_NAME_FIRST + i));
    }

    m_loading.SubclassDlgItem(IDC_LOADING, this);
    m_loading.MoveWindow(300, 325, 200, 21);
    if (m_loading.Load(fw::JoinPath(fw::GetModuleFolder(), L"Loading.gif"))) m_loading.Draw();

    // A scan refused by the engine (a repair still works on the error list)
    // or whose thread could not start would leave the window waiting for
    // nothing; the main window tells the user.
    CBriskoEngine* engine = Engine();
    m_bScanStarted = engine && engine->StartScan(m_bSections);
    if (!m_bScanStarted) PostMessage(WM_COMMAND, IDCANCEL);
    return TRUE;
}

LRESULT CScanProgressDialog::OnDestroy(WPARAM, LPARAM) {
    kwui::FreeQueuedStrings(m_hWnd);
    return Default();
}

LRESULT CScanProgressDialog::OnSectionStart(WPARAM wParam, LPARAM) {
    const int i = static_cast<int>(wParam);
    m_nSectionErrors = 0;
    if (i < 0 || i >= 12) return 1;
    m_loading.ShowWindow(SW_SHOW);
    m_loading.MoveWindow(i < 6 ? 25 : 275, RowY(i), 21, 21);
    return 1;
}

LRESULT CScanProgressDialog::OnErrorFound(WPARAM wParam, LPARAM) {
    const int i = static_cast<int>(wParam);
    ++m_nSectionErrors;
    if (i < 0 || i >= 12) return 1;
    wchar_t text[32];
    swprintf(text, 32, L"(%d)", m_nSectionErrors);
    m_counts[i].SetText(text);
    return 1;
}

LRESULT CScanProgressDialog::OnProgressText(WPARAM wParam, LPARAM) {
    m_item.SetText(ShortenItemText(kwui::TakeString(wParam)));
    return 1;
}

LRESULT CScanProgressDialog::OnSectionEnd(WPARAM wParam, LPARAM) {
    const int i = static_cast<int>(wParam);
    m_loading.ShowWindow(SW_HIDE);
    if (i >= 0 && i < 12) SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, ProgressAfterSection(i));
    return 1;
}

LRESULT CScanProgressDialog::OnSectionSkipped(WPARAM wParam, LPARAM) {
    const int i = static_cast<int>(wParam);
    if (i < 0 || i >= 12) return 1;
    m_counts[i].SetText(L"(-)");
    m_names[i].SetText(kwui::FormatString(IDS_SECTION_NOT_CHECKED_FORMAT, Str(IDS_SECTION_NAME_FIRST + i)));
    return 1;
}

LRESULT CScanProgressDialog::OnScanComplete(WPARAM, LPARAM) {
    m_bScanCompleted = true;
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, 100);
    MessageBox(Str(IDS_SCAN_COMPLETED).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
    OnOK();
    return 1;
}

bool CScanProgressDialog::StopScan() {
    CBriskoEngine* engine = Engine();
    if (!engine || !engine->GetScanThread()) return false;
    engine->StopScan();
    return true;
}

void CScanProgressDialog::ShowInterrupted() {
    MessageBox(Str(IDS_SCAN_INTERRUPTED).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK);
}

void CScanProgressDialog::OnStopScan() {
    StopScan();
    ShowInterrupted();
    OnOK();
}

void CScanProgressDialog::OnOK() {
    CBriskoEngine* engine = Engine();
    if (engine && engine->IsScanRunning()) {
        StopScan();
        ShowInterrupted();
    }
    CBitmapDialog::OnOK();
}

void CScanProgressDialog::OnCancel() {
    CBriskoEngine* engine = Engine();
    if (engine && engine->IsScanRunning()) {
        StopScan();
        ShowInterrupted();
    }
    CBitmapDialog::OnCancel();
}
