#include "klarwin/ui/scan_dialog.h"

#include "fw/win/app.h"
#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_progress_dialog.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "klarwin/ui/section_controls.h"
#include "klarwin/ui/settings_dialog.h"
#include "klarwin/ui/support_dialogs.h"
#include "klarwin/ui/window_messages.h"
#include "resource.h"

#include <shlobj.h>
#include <wininet.h>

#include <cwchar>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr wchar_t kContactPage[] = L"https://www.klarwin.example/contact";
constexpr wchar_t kCompanionPage[] = L"https://www.vantrel.example/download";

using kwui::FormatString;
using kwui::OpenWindowOf;
using kwui::RunSingleton;
using kwui::SetUpStatic;
using kwui::Str;

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CompanionInstalled() {
    const int folders[] = {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86};
    for (int csidl : folders) {
        wchar_t base[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathW(nullptr, base, csidl, FALSE)) continue;
        if (FileExists(std::wstring(base) + L"\\Van Trel\\Vantrel.exe")) return true;
        if (FileExists(std::wstring(base) + L"\\Vantrel\\Vantrel.exe")) return true;
    }
    return false;
}

}  // namespace

CScanDialog::CScanDialog(bool scanOnStart, const EngineOptions* options, CWnd* parent)
    : CBitmapDialog(IDD_SCAN, parent),
      m_bScanOnStart(scanOnStart),
      m_engine(options ? std::make_unique<CBriskoEngine>(*options) : std::make_unique<CBriskoEngine>()) {
    m_endProcess = [](UINT code) { ExitProcess(code); };
}

CScanDialog::~CScanDialog() = default;

// The engine's threads' messages go on to the window that shows them
// (scan_dialog_notify.cpp).
template <UINT Message, int Target>
LRESULT CScanDialog::RelayTo(WPARAM wParam, LPARAM lParam) {
    Relay(RelayTarget(Target), Message, wParam, lParam);
    return 1;
}

const CMessageMap& CScanDialog::GetThisMessageMap() {
    static const CMessageMap map =
        CMessageMap::Build<CScanDialog>(&CBitmapDialog::GetThisMessageMap())
            .OnMessage(WM_PAINT, &CScanDialog::OnPaint)
            .OnMessage(WM_STARTUP_SCAN, &CScanDialog::OnStartupScan)
            .OnMessage(WM_TRAY_NOTIFY, &CScanDialog::OnTrayNotify)
            .OnMessage(WM_SCAN_ERROR_FOUND, &CScanDialog::RelayTo<WM_SCAN_ERROR_FOUND, 0>)
            .OnMessage(WM_SCAN_PROGRESS_TEXT, &CScanDialog::RelayTo<WM_SCAN_PROGRESS_TEXT, 0>)
            .OnMessage(WM_SCAN_UNUSED_810E, &CScanDialog::OnIgnore)
            .OnMessage(WM_SCAN_COMPLETE, &CScanDialog::RelayTo<WM_SCAN_COMPLETE, 0>)
            .OnMessage(WM_SCAN_SECTION_START, &CScanDialog::RelayTo<WM_SCAN_SECTION_START, 0>)
            .OnMessage(WM_SCAN_SECTION_END, &CScanDialog::RelayTo<WM_SCAN_SECTION_END, 0>)
            .OnMessage(WM_SCAN_SECTION_SKIPPED, &CScanDialog::RelayTo<WM_SCAN_SECTION_SKIPPED, 0>)
            .OnMessage(WM_REPAIR_START, &CScanDialog::RelayTo<WM_REPAIR_START, 1>)
            .OnMessage(WM_REPAIR_PROGRESS, &CScanDialog::RelayTo<WM_REPAIR_PROGRESS, 1>)
            .OnMessage(WM_REPAIR_ITEM, &CScanDialog::RelayTo<WM_REPAIR_ITEM, 1>)
            .OnMessage(WM_REPAIR_DONE, &CScanDialog::RelayTo<WM_REPAIR_DONE, 1>)
            .OnMessage(WM_BACKUP_FOUND, &CScanDialog::RelayTo<WM_BACKUP_FOUND, 2>)
            .OnMessage(WM_UPDATE_AVAILABLE, &CScanDialog::OnUpdateAvailable)
            .OnMessage(WM_UPDATE_NONE, &CScanDialog::OnUpdateNone)
            .OnMessage(WM_UPDATE_INSTALLED, &CScanDialog::OnUpdateInstalled)
            .OnMessage(WM_UPDATE_FAILED, &CScanDialog::OnUpdateFailed)
            .OnMessage(WM_DOWNLOAD_START, &CScanDialog::RelayTo<WM_DOWNLOAD_START, 3>)
            .OnMessage(WM_DOWNLOAD_COMPLETE, &CScanDialog::RelayTo<WM_DOWNLOAD_COMPLETE, 3>)
            .OnMessage(WM_DOWNLOAD_PROGRESS, &CScanDialog::RelayTo<WM_DOWNLOAD_PROGRESS, 3>)
            .OnMessage(WM_STARTUP_COMPLETE, &CScanDialog::OnStartupComplete)
            .OnMessage(WM_DESTROY, &CScanDialog::OnDestroy)
            .OnCommand(IDC_SCAN_NOW, &CScanDialog::OnScan)
            .OnCommand(IDC_NAV_SCAN, &CScanDialog::OnScan)
            .OnCommand(IDC_VIEW_LAST_RESULTS, &CScanDialog::OnViewLastResults)
            .OnCommand(IDC_NAV_SETTINGS, &CScanDialog::OnSettings)
            .OnCommand(IDC_NAV_RESTORE, &CScanDialog::OnRestore)
            .OnCommand(IDC_NAV_STARTUP, &CScanDialog::OnManageStartup)
            .OnCommand(IDC_NAV_SOLUTION, &CScanDialog::OnCustomSolution)
            .OnCommand(IDC_CHECK_UPDATES, &CScanDialog::OnCheckUpdates)
            .OnCommand(ID_TRAY_CHECK_UPDATES, &CScanDialog::OnCheckUpdates)
            .OnCommand(IDC_HELP_BUTTON, &CScanDialog::OnHelp)
            .OnCommand(IDC_MINIMIZE, &CScanDialog::OnMinimise)
            .OnCommand(IDC_CLOSE, &CScanDialog::OnCloseButton)
            .OnCommand(ID_TRAY_EXIT, &CScanDialog::ExitProgram)
            .OnCommand(ID_TRAY_OPEN, &CScanDialog::OnTrayOpen)
            .OnCommand(ID_TRAY_SCAN, &CScanDialog::OnTrayScan)
            .OnCommand(ID_TRAY_LANGUAGE_ENGLISH, &CScanDialog::OnTrayLanguage)
            .OnCommand(ID_TRAY_STARTUP_YES, &CScanDialog::OnTrayStartupYes)
            .OnCommand(ID_TRAY_STARTUP_NO, &CScanDialog::OnTrayStartupNo);
    return map;
}

bool CScanDialog::SettingOn(const wchar_t* name) const { return m_engine->ReadSetting(name) == L"true"; }

void CScanDialog::ApplySettingDefaults() {
    struct Default {
        const wchar_t* name;
        const wchar_t* value;
    };
    static const Default defaults[] = {{L"StartWithWindows", L"true"},
                                       {L"StartScanAtProgramStartup", L"false"},
                                       {L"ShowInTaskbarOnClose", L"true"},
                                       {L"AllowAutoUpdates", L"false"}};
    for (const Default& d : defaults) {
        if (!m_engine->ReadSetting(d.name).empty()) continue;
        if (std::wstring(d.name) == L"StartWithWindows")
            m_engine->SetStartWithWindows(true);  // the setting and the Run value
        else
            m_engine->WriteSetting(d.name, d.value);
    }
}

BOOL CScanDialog::OnInitDialog() {
    CBitmapDialog::OnInitDialog();
    ApplySettingDefaults();
    // The engine's threads report to this window.
    m_engine->SetNotifyWindow(m_hWnd);

    m_statusImage.SubclassDlgItem(IDC_STATUS_IMAGE, this);
    m_tooltip.Create(this);
    m_tooltip.Activate(true);
    m_tooltip.SetMaxTipWidth(400);
    m_tooltip.SetDelayTime(TTDT_AUTOPOP, 4000);
    m_tooltip.SetDelayTime(TTDT_INITIAL, 350);
    m_tooltip.SetDelayTime(TTDT_RESHOW, 350);
    m_tooltip.SetTipBkColor(kWhite);

    SetUpTray();

    SetBitmap(IDB_MAIN_WINDOW);
    m_bDragEnabled = true;
    LayOut();
    SetWindowText(kTitle);

    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - 770) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - 571) / 2 - 20;
    SetWindowPos(HWND_NOTOPMOST, x, y, 770, 571, SWP_NOACTIVATE);

    m_productVersion.SubclassDlgItem(IDC_PRODUCT_VERSION, this);
    m_productVersion.SetTextColor(kWhite);
    m_productVersion.SetFont(8, FW_NORMAL);
    m_productVersion.SetText(m_engine->GetProductVersion());
    m_releaseDate.SubclassDlgItem(IDC_RELEASE_DATE, this);
    m_releaseDate.SetTextColor(kWhite);
    m_releaseDate.SetFont(8, FW_NORMAL);
    m_releaseDate.SetText(m_engine->GetReleaseDate());
    m_updateStatus.SubclassDlgItem(IDC_UPDATE_STATUS, this);
    m_updateStatus.SetTextColor(kWhite);
    m_updateStatus.SetFont(8, FW_NORMAL);
    m_updateStatus.SetText(Str(IDS_CHECKING));

    UpdateProblemsDisplay();

    m_bStartupScanChecked = false;
    PostMessage(WM_STARTUP_COMPLETE);
    return TRUE;
}

void CScanDialog::LayOut() {
    for (int i = 0; i < 12; ++i) {
        const int x = i < 6 ? 280 : 510;
        const int y = 225 + (i % 6) * 20;
        CCheckBox& box = m_checks[i];
        box.SubclassDlgItem(kwui::kSectionCheckIds[i], this);
        box.LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
        box.MoveWindow(x, y, 13, 13);
        box.SetWindowText(L"");
        box.SetCheck(BST_CHECKED);

        CXColorStatic& label = m_labels[i];
        SetUpStatic(label, kwui::kSectionLabelIds[i], this, {x + 20, y - 2, 160, 21}, kwui::kHeadingBlue, 10, FW_NORMAL,
                    Str(IDS_SECTION_NAME_FIRST + i));
        const std::wstring description = Str(IDS_SECTION_DESCRIPTION_FIRST + i);
        label.SetTooltipText(description);
        m_tooltip.AddTool(label.m_hWnd, description);
    }

    struct ButtonSetup {
        CBitmapButtonEx* button;
        UINT id;
        int x, y, w, h;
        UINT normal, pressed, hover, disabled;
    };
    const ButtonSetup buttons[] = {
        {&m_scanNow, IDC_SCAN_NOW, 589, 476, 113, 31, IDB_SCAN_NOW, IDB_SCAN_NOW_HOVER, IDB_SCAN_NOW_HOVER,
         IDB_SCAN_NOW_HOVER},
        {&m_lastResults, IDC_VIEW_LAST_RESULTS, 469, 476, 113, 31, IDB_LAST_RESULTS, IDB_LAST_RESULTS_HOVER,
         IDB_LAST_RESULTS_HOVER, IDB_LAST_RESULTS_HOVER},
        {&m_update, IDC_CHECK_UPDATES, 488, 51, 80, 31, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER,
         IDB_BUTTON_HEADER},
        {&m_help, IDC_HELP_BUTTON, 652, 51, 80, 31, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER,
         IDB_BUTTON_HEADER},
        {&m_minimise, IDC_MINIMIZE, 708, 9, 24, 24, IDB_MINIMISE, IDB_MINIMISE_HOVER, IDB_MINIMISE_HOVER,
         IDB_MINIMISE_HOVER},
        {&m_close, IDC_CLOSE, 735, 9, 24, 24, IDB_CLOSE, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER},
        {&m_navScan, IDC_NAV_SCAN, 32, 92, 181, 50, IDB_NAV_SCAN, IDB_NAV_SCAN_HOVER, IDB_NAV_SCAN_HOVER,
         IDB_NAV_SCAN},
        {&m_navSettings, IDC_NAV_SETTINGS, 32, 152, 181, 50, IDB_NAV_SETTINGS, IDB_NAV_SETTINGS_HOVER,
         IDB_NAV_SETTINGS_HOVER, IDB_NAV_SETTINGS},
        {&m_navRestore, IDC_NAV_RESTORE, 32, 212, 181, 50, IDB_NAV_RESTORE, IDB_NAV_RESTORE_HOVER,
         IDB_NAV_RESTORE_HOVER, IDB_NAV_RESTORE},
        {&m_navStartup, IDC_NAV_STARTUP, 32, 272, 181, 50, IDB_NAV_STARTUP, IDB_NAV_STARTUP, IDB_NAV_STARTUP_HOVER,
         IDB_NAV_STARTUP_HOVER},
        {&m_navSolution, IDC_NAV_SOLUTION, 30, 334, 181, 50, IDB_NAV_SOLUTION, IDB_NAV_SOLUTION,
         IDB_NAV_SOLUTION_HOVER, IDB_NAV_SOLUTION_HOVER},
    };
    for (const ButtonSetup& b : buttons) {
        b.button->SubclassDlgItem(b.id, this);
        b.button->LoadBitmaps(b.id == IDC_CLOSE ? RGB(255, 10, 0) : RGB(255, 0, 0), b.normal, b.pressed, b.hover,
                              b.disabled);
        b.button->MoveWindow(b.x, b.y, b.w, b.h);
    }
    m_update.SetCaptionFont(9, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    m_update.SetCaption(L"Update");
    m_update.SetCaptionRect({0, 0, 80, 31});
    m_help.SetCaptionFont(9, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    m_help.SetCaption(L"Help");
    m_help.SetCaptionRect({0, 0, 80, 31});
    m_tooltip.AddTool(m_navScan.m_hWnd, Str(IDS_SCAN_BUTTON_TIP));
    m_navSolution.EnableWindow(false);

    SetUpStatic(m_titleVersion, IDC_TITLE_VERSION, this, {18, 12, 90, 15}, kWhite, 10, FW_BOLD,
                FormatString(IDS_VERSION_FORMAT, m_engine->GetProductVersion()));
    SetUpStatic(m_lastScanDate, IDC_LAST_SCAN_DATE, this, {257, 390, 200, 15}, kRed, 10, FW_BOLD,
                m_engine->GetLastScanDate());
    SetUpStatic(m_problems, IDC_PROBLEMS, this, {257, 409, 200, 21}, kGreen, 7, FW_BOLD, Str(IDS_PROBLEMS_FIRST));
    m_problems.SetTooltipText(Str(IDS_PROBLEMS_TIP));
    m_tooltip.AddTool(m_problems.m_hWnd, Str(IDS_PROBLEMS_TIP));

    m_statusImage.MoveWindow(480, 380, 210, 75);
    SetStatusBitmap(IDB_HEALTH_0);

    m_promotionImage.SubclassDlgItem(IDC_PROMOTION_IMAGE, this);
    m_promotionLink.SubclassDlgItem(IDC_PROMOTION_LINK, this);
}

void CScanDialog::SetStatusBitmap(UINT id) {
    CBitmap& bitmap = m_bitmaps[id];
    if (!bitmap) bitmap.LoadBitmap(id);
    m_statusImage.SetBitmap(bitmap);
    m_statusImage.MoveWindow(480, 380, 210, 75);
    m_nStatusBitmap = id;
}

void CScanDialog::UpdateProblemsDisplay() {
    const std::wstring stored = m_engine->ReadSetting(L"IgnoredErrorsCount");
    m_problems.SetFont(11, FW_BOLD);
    if (stored.empty() || stored == L"0") {
        m_problems.SetTextColor(kGreen);
        m_problems.SetText(Str(IDS_ZERO_ERRORS));
        SetStatusBitmap(IDB_HEALTH_0);
        return;
    }
    m_problems.SetTextColor(kRed);
    m_problems.SetText(FormatString(IDS_ERRORS_FORMAT, stored));
    const int n = _wtoi(stored.c_str());
    if (n > 120)
        SetStatusBitmap(IDB_HEALTH_5);
    else if (n > 90)
        SetStatusBitmap(IDB_HEALTH_4);
    else if (n > 60)
        SetStatusBitmap(IDB_HEALTH_3);
    else if (n > 30)
        SetStatusBitmap(IDB_HEALTH_2);
    else if (n > 0)
        SetStatusBitmap(IDB_HEALTH_1);
}

BOOL CScanDialog::PreTranslateMessage(MSG* msg) {
    if (m_tooltip.m_hWnd) m_tooltip.RelayEvent(msg);
    return CBitmapDialog::PreTranslateMessage(msg);
}

void CScanDialog::OnOK() {
    // Enter has no meaning in the main window; the program ends only through
    // its close button, the tray menu or Escape.
}

LRESULT CScanDialog::OnPaint(WPARAM, LPARAM) {
    if (IsIconic(m_hWnd)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
        const RECT rc = GetClientRect();
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, fw::LoadResourceIcon(IDI_KLARWIN));
        EndPaint(m_hWnd, &ps);
    } else {
        Default();
    }
    if (!m_bStartupScanChecked) {
        m_bStartupScanChecked = true;
        // The scan runs its own modal loop: start it once this paint is over.
        if (m_bScanOnStart || SettingOn(L"StartScanAtProgramStartup")) PostMessage(WM_STARTUP_SCAN);
    }
    return 0;
}

LRESULT CScanDialog::OnStartupScan(WPARAM, LPARAM) {
    OnScan();
    return 1;
}

bool CScanDialog::ResultsInUse() const {
    return m_bResultsFlow || CScanResultsDialog::GetInstance() != nullptr ||
           OpenWindowOf(CRepairErrorsDialog::GetInstance()) || m_engine->IsRepairRunning();
}

bool CScanDialog::RefuseWhileBusy() {
    // The progress window stays open after its scan thread has ended, while
    // it tells the user how the scan ended.
    if (m_engine->IsScanRunning() || OpenWindowOf(CScanProgressDialog::GetInstance())) {
        AfxMessageBox(Str(IDS_SCAN_IN_PROGRESS).c_str(), MB_OK);
        return true;
    }
    if (!ResultsInUse()) return false;
    // A new scan would empty the list the open results or the repair work on.
    AfxMessageBox(Str(IDS_RESULTS_STILL_OPEN).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return true;
}

namespace {

// Marks a results flow as under way for the life of the object.
class FlowGuard {
public:
    explicit FlowGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlowGuard() { m_flag = false; }
    FlowGuard(const FlowGuard&) = delete;
    FlowGuard& operator=(const FlowGuard&) = delete;

private:
    bool& m_flag;
};

}  // namespace

void CScanDialog::OnScan() {
    if (RefuseWhileBusy()) return;
    const FlowGuard flow(m_bResultsFlow);
    bool selected[12] = {};
    bool any = false;
    for (int i = 0; i < 12; ++i) {
        selected[i] = ::SendMessageW(GetDlgItem(kwui::kSectionCheckIds[i]), BM_GETCHECK, 0, 0) > 0;
        any = any || selected[i];
    }
    if (!any) {
        AfxMessageBox(Str(IDS_MAKE_SELECTION).c_str(), MB_OK);
    } else {
        CScanProgressDialog* progress = CScanProgressDialog::GetInstance();
        std::unique_ptr<CScanProgressDialog> local;
        if (!progress) {
            local = std::make_unique<CScanProgressDialog>();
            progress = local.get();
        }
        for (int i = 0; i < 12; ++i) progress->m_bSections[i] = selected[i];
        progress->m_pParentWnd = this;
        progress->DoModal();

        if (!progress->m_bScanStarted) {
            // Nothing was scanned: the last results and their count stay.
            MessageBox(Str(IDS_SCAN_NOT_STARTED).c_str(), Str(IDS_APP_NAME).c_str(), MB_OK | MB_ICONEXCLAMATION);
        } else if (m_engine->GetTotalErrorCount() > 0) {
            CScanResultsDialog results(this);
            results.DoModal();
        } else if (progress->m_bScanCompleted) {
            const std::wstring file = m_engine->GetUnresolvedFilePath();
            if (FileExists(file)) DeleteFileW(file.c_str());
            m_engine->WriteSetting(L"IgnoredErrorsCount", L"0");
            UpdateProblemsDisplay();
            AskGoodNews();
        }
        // A scan stopped before it found anything says nothing of the PC: the
        // user was told it was interrupted, and the last results stay.
    }
    m_lastScanDate.SetText(m_engine->GetLastScanDate());
    Invalidate(true);
}

void CScanDialog::AskGoodNews() {
    if (MessageBox(Str(IDS_GOOD_NEWS).c_str(), Str(IDS_APP_NAME).c_str(), MB_YESNO) == IDYES)
        OpenCustomSolutionTarget();
}

void CScanDialog::OpenCustomSolutionTarget() {
    if (m_engine->HasSubmittedLog())
        RunSingleton<CCustomSolnDialog>(this);
    else
        RunSingleton<CSendLogDialog>(this);
}

void CScanDialog::OnViewLastResults() {
    // Reloading replaces the list a scan or an open results window works on.
    if (RefuseWhileBusy()) return;
    const FlowGuard flow(m_bResultsFlow);
    m_engine->LoadUnresolvedErrors();
    if (m_engine->GetTotalErrorCount() > 0) {
        CScanResultsDialog results(this);
        results.DoModal();
    } else {
        AskGoodNews();
    }
}

void CScanDialog::OnSettings() {
    RunSingleton<CSettingsDialog>(this);
    if (SettingOn(L"AllowAutoUpdates")) m_engine->StartUpdateCheck();
}

void CScanDialog::OnRestore() { RunSingleton<CRestoreBackupsDialog>(this); }
void CScanDialog::OnManageStartup() { RunSingleton<CManageStartupDialog>(this); }
void CScanDialog::OnCustomSolution() { OpenCustomSolutionTarget(); }

void CScanDialog::OnHelp() { ShellExecuteW(m_hWnd, L"open", kContactPage, nullptr, nullptr, SW_SHOW); }

void CScanDialog::OnMinimise() { ShowWindow(SW_MINIMIZE); }

void CScanDialog::OnCloseButton() {
    if (SettingOn(L"ShowInTaskbarOnClose"))
        ShowWindow(SW_HIDE);
    else
        ExitProgram();
}

void CScanDialog::ExitProgram() {
    if (m_engine->IsScanRunning()) {
        AfxMessageBox(Str(IDS_WAIT_FOR_SCAN).c_str(), MB_OK);
        return;
    }
    if (m_engine->IsRepairRunning()) {
        // The repair ends after the error it works on, with its backup line
        // written and the ignore list saved; what it did not reach is kept.
        if (AfxMessageBox(Str(IDS_EXIT_DURING_REPAIR).c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        m_engine->StopRepair();
        UpdateProblemsDisplay();
    }
    // A download is stopped and waited for: the program file is never left
    // half-replaced.
    m_engine->StopUpdateDownload();
    RemoveTrayIcon();
    EndDialog(1);
    if (m_endProcess) m_endProcess(1);
}

LRESULT CScanDialog::OnStartupComplete(WPARAM, LPARAM) {
    if (!CompanionInstalled()) {
        CBitmap& picture = m_bitmaps[IDB_PROMOTION];
        if (!picture) picture.LoadBitmap(IDB_PROMOTION);
        m_promotionImage.SetBitmap(picture);
        m_promotionImage.MoveWindow(244, 452, 213, 61);
        m_promotionImage.ShowWindow(SW_SHOW);
        m_promotionLink.SetWindowText(Str(IDS_DOWNLOAD_NOW));
        m_promotionLink.SetURL(kCompanionPage);
        m_promotionLink.MoveWindow(374, 485, 80, 14);
        m_promotionLink.ShowWindow(SW_SHOW);
        ::SetWindowPos(m_promotionLink.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    m_navSolution.EnableWindow(true);
    if (SettingOn(L"AllowAutoUpdates")) m_bReportUpdateResult = true;
    if (InternetGetConnectedState(nullptr, 0) == TRUE) m_engine->StartUpdateCheck();
    return 1;
}

LRESULT CScanDialog::OnDestroy(WPARAM, LPARAM) {
    // However the window ends, its icon leaves the notification area.
    RemoveTrayIcon();
    // The threads report to this window: they end first, and the strings of
    // what they posted and nobody read are freed.
    m_engine->StopScan();
    m_engine->StopRepair();
    kwui::FreeQueuedStrings(m_hWnd);
    return Default();
}
