#include "klarwin/ui/scan_results_dialog.h"

#include "fw/win/app.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_dialog.h"
#include "resource.h"

#include <shellapi.h>

#include <cwchar>

namespace {

constexpr COLORREF kCountRed = RGB(152, 2, 9);

using kwui::Engine;
using kwui::kBlack;
using kwui::kHeadingBlue;
using kwui::SetUpButton;
using kwui::SetUpStatic;
using kwui::Str;

std::wstring Format(UINT id, int n) {
    wchar_t text[256];
    swprintf(text, 256, Str(id).c_str(), n);
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Section window

CSectionResultDialog::CSectionResultDialog(CWnd* parent) : CBitmapDialog(IDD_SECTION_RESULT, parent) {}
CSectionResultDialog::~CSectionResultDialog() = default;

const CMessageMap& CSectionResultDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSectionResultDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnCommand(IDC_SAVE_SECTION, &CSectionResultDialog::OnSave)
                                       .OnCommand(IDC_CANCEL_SECTION, &CSectionResultDialog::OnCancelChanges);
    return map;
}

void CSectionResultDialog::SetSection(const std::wstring& name, CScanResultInfo** first, int count) {
    m_strName = name;
    m_first = first;
    m_nCount = count;
}

BOOL CSectionResultDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_LARGE, IDS_SECTION_CAPTION, 526, 481, 461);

    kwui::SetUpHeading(m_title, this, {50, 30, 181, 45}, m_strName);
    SetUpStatic(m_headline, IDC_HEADLINE, this, {50, 100, 351, 21}, kBlack, 9, FW_BOLD, L"");
    SetUpStatic(m_note, IDC_SECTION_NOTE, this, {50, 120, 351, 21}, kBlack, 9, FW_NORMAL,
                Str(IDS_SECTION_NOTE));

    m_list.Create(IDD_SECTION_RESULTS_CONTAINER, this);
    m_list.MoveWindow(50, 140, 430, 252);
    m_list.ShowWindow(SW_SHOW);

    kwui::SetUpButtonRow(this, IDB_BUTTON_SMALL, 410,
                         {{&m_save, IDC_SAVE_SECTION, IDS_SAVE, 300}, {&m_cancel, IDC_CANCEL_SECTION, IDS_CANCEL, 400}});

    m_snapshot.RemoveAll();
    for (int i = 0; i < m_nCount; ++i) m_snapshot.Add(m_first[i]->selected ? 1u : 0u);
    m_list.Fill(m_first, m_nCount);
    m_headline.SetText(Format(IDS_SECTION_HEADLINE_FORMAT, m_nCount));
    return TRUE;
}

void CSectionResultDialog::OnSave() {
    m_snapshot.RemoveAll();
    OnOK();
}

void CSectionResultDialog::OnCancelChanges() {
    for (int i = 0; i < m_nCount && i < static_cast<int>(m_snapshot.GetSize()); ++i)
        m_first[i]->selected = m_snapshot[i] != 0;
    m_snapshot.RemoveAll();
    OnCancel();
}

// ---------------------------------------------------------------------------
// Results window

CScanResultsDialog::CScanResultsDialog(CWnd* parent) : CBitmapDialog(IDD_SCAN_RESULTS, parent) {}
CScanResultsDialog::~CScanResultsDialog() = default;

const CMessageMap& CScanResultsDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CScanResultsDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnCommand(IDC_REPAIR_PROBLEMS, &CScanResultsDialog::OnRepairProblems)
                                       .OnCommand(IDC_CREATE_REPORT, &CScanResultsDialog::OnCreateReport)
                                       .OnMessage(WM_CLOSE, &CScanResultsDialog::OnClose);
    return map;
}

BOOL CScanResultsDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_RESULTS, IDS_RESULTS_CAPTION, 526, 481, 461);

    SetUpButton(m_repair, IDC_REPAIR_PROBLEMS, this, IDB_BUTTON_WIDE, {370, 410, 121, 21}, Str(IDS_REPAIR_PROBLEMS));
    SetUpButton(m_report, IDC_CREATE_REPORT, this, IDB_BUTTON_WIDE, {275, 410, 90, 21}, Str(IDS_CREATE_REPORT));
    m_report.SetCaptionRect({0, 0, 88, 21});

    kwui::SetUpHeading(m_title, this, {50, 30, 181, 21}, Str(IDS_RESULTS_HEADING));
    SetUpStatic(m_headline, IDC_HEADLINE, this, {100, 100, 351, 21}, RGB(255, 255, 255), 12, FW_BOLD, L"");
    SetUpStatic(m_count, IDC_ERROR_COUNT, this, {320, 373, 181, 21}, kCountRed, 12, FW_BOLD, L"");

    m_container.Create(IDD_SCAN_RESULT_CONTAINER, this);
    m_container.MoveWindow(40, 182, 454, 176);
    m_container.ShowWindow(SW_SHOW);

    CBriskoEngine* engine = Engine();
    m_nErrorCount = engine ? m_container.Fill(engine->GetErrorList(), engine->GetCounters()) : 0;
    m_headline.SetText(Format(IDS_RESULTS_HEADLINE_FORMAT, m_nErrorCount));
    m_count.SetText(std::to_wstring(m_nErrorCount));
    m_bRepairDone = false;
    return TRUE;
}

bool CScanResultsDialog::StoreUnresolved(bool keepAll) {
    CBriskoEngine* engine = Engine();
    if (!engine) return false;
    CErrorListEx& errors = engine->GetErrorList();
    std::vector<CScanResultInfo*>& infos = m_container.Infos();

    CErrorListEx kept, left;
    int ignored[kSectionCount] = {};
    for (int i = 0; i < static_cast<int>(errors.GetSize()); ++i) {
        const bool selected = !keepAll && i < static_cast<int>(infos.size()) && infos[i]->selected;
        if (selected) {
            left.Add(errors[i]);
        } else {
            kept.Add(errors[i]);
            if (errors[i].Section >= 0 && errors[i].Section < kSectionCount) ++ignored[errors[i].Section];
        }
    }
    // Nothing the user chose to keep may be lost: when the file cannot be
    // written, the list and the counters stay as they are.
    if (!engine->SaveUnresolvedErrors(kept)) {
        const std::wstring text = L"The errors you chose to keep could not be saved to \"" +
                                  engine->GetUnresolvedFilePath() + L"\". Nothing has been changed.";
        MessageBox(text.c_str(), Str(IDS_APP_NAME).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    for (int s = 0; s < kSectionCount; ++s) engine->GetCounters()[s].Ignored += ignored[s];
    errors = left;
    engine->WriteSetting(L"IgnoredErrorsCount", std::to_wstring(kept.GetSize()));
    if (CScanDialog* main = CScanDialog::GetInstance()) main->UpdateProblemsDisplay();
    return true;
}

void CScanResultsDialog::OnRepairProblems() {
    if (!StoreUnresolved(false)) return;
    kwui::RunSingleton<CRepairErrorsDialog>(this);
    m_bRepairDone = true;
    // The errors the repair left have joined the unresolved ones.
    if (CScanDialog* main = CScanDialog::GetInstance()) main->UpdateProblemsDisplay();
    kwui::RunSingleton<CResultStatus>(this);
    OnOK();
}

LRESULT CScanResultsDialog::OnClose(WPARAM, LPARAM) {
    if (!m_bRepairDone && !StoreUnresolved(true)) return 0;
    CBitmapDialog::OnCancel();
    return 0;
}

void CScanResultsDialog::OnCreateReport() {
    CBriskoEngine* engine = Engine();
    std::wstring folder, file;
    if (engine && engine->CreateHtmlReport(folder, file)) {
        const std::wstring text = kwui::FormatString(IDS_REPORT_SAVED_FORMAT, folder);
        if (AfxMessageBox(text.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES)
            ShellExecuteW(m_hWnd, L"open", file.c_str(), nullptr, nullptr, SW_SHOW);
    } else {
        AfxMessageBox(Str(IDS_REPORT_FAILED).c_str(), MB_ICONINFORMATION);
    }
}

// ---------------------------------------------------------------------------
// Repair summary

namespace {
constexpr int kSummaryIds[12][4] = {
    {1096, 1108, 1120, 1144}, {1086, 1098, 1110, 1134}, {1088, 1100, 1112, 1136}, {1089, 1101, 1113, 1137},
    {1090, 1102, 1114, 1138}, {1087, 1099, 1111, 1135}, {1091, 1103, 1115, 1139}, {1094, 1106, 1118, 1142},
    {1092, 1104, 1116, 1140}, {1093, 1105, 1117, 1141}, {1085, 1097, 1109, 1133}, {1095, 1107, 1119, 1143}};
}

CResultStatus::CResultStatus(CWnd* parent) : CBitmapDialog(IDD_RESULT_STATUS, parent) {}

const CMessageMap& CResultStatus::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CResultStatus>(&CBitmapDialog::GetThisMessageMap())
                                       .OnCommand(IDC_CLOSE_WINDOW, &CResultStatus::OnCancel);
    return map;
}

BOOL CResultStatus::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_SUMMARY, IDS_SUMMARY_CAPTION, 570, 518, 498);
    kwui::SetUpHeading(m_title, this, {40, 30, 250, 21}, Str(IDS_SUMMARY_HEADING));

    CBriskoEngine* engine = Engine();
    const std::wstring totals[3] = {engine ? engine->GetTotalFoundText() : L"",
                                    engine ? engine->GetTotalRepairedText() : L"",
                                    engine ? engine->GetTotalIgnoredText() : L""};
    const UINT totalIds[3] = {IDC_TOTAL_FOUND, IDC_TOTAL_REPAIRED, IDC_TOTAL_IGNORED};
    for (int k = 0; k < 3; ++k) {
        SetUpStatic(m_totals[k], totalIds[k], this, {320 + 80 * k, 410, 30, 21}, kHeadingBlue, 12, FW_BOLD, totals[k]);
        m_totals[k].SetAlignment(SS_CENTER);
    }
    for (int s = 0; s < 12; ++s) {
        const int y = 122 + 24 * s;
        SetUpStatic(m_cells[s][0], kSummaryIds[s][0], this, {50, y, 160, 21}, RGB(19, 156, 175), 10, FW_NORMAL,
                    engine ? engine->GetSectionName(s) : L"");
        const std::wstring values[3] = {engine ? engine->GetSectionFoundText(s) : L"",
                                        engine ? engine->GetSectionRepairedText(s) : L"",
                                        engine ? engine->GetSectionIgnoredText(s) : L""};
        for (int k = 0; k < 3; ++k) {
            SetUpStatic(m_cells[s][k + 1], kSummaryIds[s][k + 1], this, {320 + 80 * k, y, 30, 21}, kBlack, 10,
                        FW_NORMAL, values[k]);
            m_cells[s][k + 1].SetAlignment(SS_CENTER);
        }
    }
    SetUpButton(m_close, IDC_CLOSE_WINDOW, this, IDB_BUTTON_SMALL, {440, 450, 81, 21}, Str(IDS_CLOSE));
    return TRUE;
}
