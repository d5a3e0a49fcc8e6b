#include "klarwin/ui/scan_progress_dialog.h"

#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"

#include <commctrl.h>
#include <oleauto.h>

#include <cwchar>

namespace {

constexpr COLORREF kBlue = RGB(13, 90, 153);
constexpr COLORREF kCountRed = RGB(154, 0, 0);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr size_t kItemLimit = 70;

std::wstring Str(UINT id) { return fw::LoadResourceString(id); }

CBriskoEngine* Engine() { return CSingleton<CBriskoEngine>::GetInstance(); }

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
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_DIALOG_LARGE);
    m_bDragEnabled = true;
    SetWindowText(Str(IDS_PROGRESS_CAPTION));
    m_nSectionErrors = 0;
    m_bScanStarted = false;
    m_bScanCompleted = false;

    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - 528) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - 461) / 2;
    SetWindowPos(HWND_NOTOPMOST, x, y, 528, 481, SWP_NOACTIVATE);

    m_stop.SubclassDlgItem(IDC_STOP_SCAN, this);
    m_stop.LoadBitmaps(RGB(255, 0, 0), IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL);
    m_stop.SizeToBitmap();
    m_stop.MoveWindow(415, 398, 81, 21);
    m_stop.SetCaptionFont(8, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    m_stop.SetCaption(Str(IDS_STOP_SCAN));
    m_stop.SetCaptionRect({0, 0, 81, 21});

    m_title.SubclassDlgItem(IDC_TITLE, this);
    m_title.MoveWindow(50, 30, 181, 21);
    m_title.SetTextColor(kBlue);
    m_title.SetFont(14, FW_NORMAL);
    m_title.SetText(Str(IDS_PROGRESS_HEADING));

    m_note.SubclassDlgItem(IDC_SUBTITLE, this);
    m_note.MoveWindow(50, 90, 420, 21);
    m_note.SetTextColor(RGB(0, 0, 0));
    m_note.SetFont(9, FW_BOLD);
    m_note.SetText(Str(IDS_PROGRESS_NOTE));

    m_item.SubclassDlgItem(IDC_CURRENT_ITEM, this);
    m_item.MoveWindow(50, 110, 420, 21);
    m_item.SetTextColor(kGrey);
    m_item.SetFont(8, FW_NORMAL);
    m_item.SetText(L"");

    HWND bar = GetDlgItem(IDC_PROGRESS);
    ::MoveWindow(bar, 50, 130, 420, 21, TRUE);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(bar, PBM_SETSTEP, 8, 0);
    ::SendMessageW(bar, PBM_SETPOS, 0, 0);

    for (int i = 0; i < 12; ++i) {
        const int x0 = RowX(i);
        CXColorStatic& count = m_counts[i];
        count.SubclassDlgItem(kwui::kSectionCountIds[i], this);
        count.MoveWindow(x0, 227 + (i % 6) * 20, 25, 21);
        count.SetTextColor(kCountRed);
        count.SetFont(7, FW_NORMAL);
        count.SetText(L"(0)");

        CXColorStatic& name = m_names[i];
        name.SubclassDlgItem(kwui::kSectionLabelIds[i], this);
        name.MoveWindow(x0 + 25, RowY(i), 200, 21);
        name.SetTextColor(kBlue);
        name.SetFont(10, FW_NORMAL);
        name.SetText(Str(IDS_SECTION_NAME_FIRST + i));
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
    BSTR bstr = reinterpret_cast<BSTR>(wParam);
    std::wstring text = bstr ? std::wstring(bstr, SysStringLen(bstr)) : std::wstring();
    SysFreeString(bstr);
    m_item.SetText(ShortenItemText(text));
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
    std::wstring text = Str(IDS_SECTION_NOT_CHECKED_FORMAT);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, Str(IDS_SECTION_NAME_FIRST + i));
    m_names[i].SetText(text);
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
