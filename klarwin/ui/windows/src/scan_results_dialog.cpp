#include "klarwin/ui/scan_results_dialog.h"

#include "fw/win/app.h"
#include "fw/win/resources.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_dialog.h"
#include "resource.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr COLORREF kBlue = RGB(13, 90, 153);
constexpr COLORREF kCountRed = RGB(152, 2, 9);
constexpr COLORREF kListGrey = RGB(238, 238, 238);
constexpr COLORREF kRowText = RGB(45, 54, 63);
constexpr COLORREF kSectionYellow = RGB(244, 246, 209);
constexpr COLORREF kCurrentRow = RGB(219, 225, 102);

using kwui::Engine;
using kwui::PlaceWindow;
using kwui::SetUpButton;
using kwui::SetUpStatic;
using kwui::Str;

std::wstring Format(UINT id, int n) {
    wchar_t text[256];
    swprintf(text, 256, Str(id).c_str(), n);
    return text;
}

void FillRect(HDC dc, const RECT& rect, COLORREF colour) {
    CBrush brush(colour);
    ::FillRect(dc, &rect, brush);
}

void Line(HDC dc, int x0, int y, int x1, COLORREF colour) {
    CPen pen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y, nullptr);
    LineTo(dc, x1, y);
    SelectObject(dc, old);
}

// Copies a part of a bitmap resource to the device context.
void DrawBitmapPart(HDC dc, UINT id, int x, int y, int width, int height, int srcX = 0) {
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(id)) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, width, height, memory, srcX, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

HFONT MakeFont(const wchar_t* face, int height) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

}  // namespace

// ---------------------------------------------------------------------------
// Scroller

CScrollingContainer::CScrollingContainer(UINT templateId) : CDialog(templateId) {}

const CMessageMap& CScrollingContainer::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CScrollingContainer>(&CDialog::GetThisMessageMap())
                                       .OnMessage(WM_PAINT, &CScrollingContainer::OnPaint)
                                       .OnMessage(WM_ERASEBKGND, &CScrollingContainer::OnEraseBkgnd)
                                       .OnMessage(WM_VSCROLL, &CScrollingContainer::OnVScroll)
                                       .OnMessage(WM_MOUSEWHEEL, &CScrollingContainer::OnMouseWheel);
    return map;
}

int CScrollingContainer::PageHeight() const {
    const RECT rc = GetClientRect();
    return rc.bottom - rc.top;
}

void CScrollingContainer::UpdateScrollBar() {
    if (!m_hWnd) return;
    SCROLLINFO si = {sizeof si};
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max(0, m_nContent - 1);
    si.nPage = static_cast<UINT>(PageHeight());
    si.nPos = m_nPos;
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
}

void CScrollingContainer::ResetScroller(int content) {
    m_nContent = content;
    m_nPos = 0;
    UpdateScrollBar();
    if (m_hWnd) Invalidate(true);
}

void CScrollingContainer::ScrollTo(int pos) {
    pos = std::min(pos, m_nContent - PageHeight());
    pos = std::max(pos, 0);
    const int change = pos - m_nPos;
    if (change == 0) return;
    m_nPos = pos;
    if (m_hWnd) {
        ::ScrollWindow(m_hWnd, 0, -change, nullptr, nullptr);
        UpdateScrollBar();
        UpdateWindow();
    }
}

int CScrollingContainer::WheelDistance(int delta) const {
    if (m_nContent - 1 <= 0) return 0;  // both ends of the range are equal
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    int distance;
    if (lines == WHEEL_PAGESCROLL)
        distance = PageHeight();
    else
        distance = std::max(1, static_cast<int>((std::abs(delta) / WHEEL_DELTA) * lines / 3)) * kLine;
    return delta <= 0 ? distance : -distance;
}

LRESULT CScrollingContainer::OnMouseWheel(WPARAM wParam, LPARAM) {
    const int distance = WheelDistance(GET_WHEEL_DELTA_WPARAM(wParam));
    if (distance) ScrollTo(m_nPos + distance);
    return 0;
}

LRESULT CScrollingContainer::OnVScroll(WPARAM wParam, LPARAM) {
    int pos = m_nPos;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= kLine; break;
    case SB_LINEDOWN: pos += kLine; break;
    case SB_PAGEUP: pos -= PageHeight(); break;
    case SB_PAGEDOWN: pos += PageHeight(); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = m_nContent; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS};
        ::GetScrollInfo(m_hWnd, SB_VERT, &si);
        pos = si.nTrackPos;
        break;
    }
    default: return 0;
    }
    ScrollTo(pos);
    return 0;
}

LRESULT CScrollingContainer::OnEraseBkgnd(WPARAM, LPARAM) { return 1; }

LRESULT CScrollingContainer::OnPaint(WPARAM, LPARAM) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    const RECT client = GetClientRect();
    // Drawn off screen first so rows never flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DrawContent(memory, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(m_hWnd, &ps);
    return 0;
}

// ---------------------------------------------------------------------------
// Results list

CScanResultContainer::CScanResultContainer() : CScrollingContainer(IDD_SCAN_RESULT_CONTAINER) {
    m_hand = LoadCursorW(nullptr, IDC_HAND);
    m_arrow = LoadCursorW(nullptr, IDC_ARROW);
}

CScanResultContainer::~CScanResultContainer() { Clear(); }

const CMessageMap& CScanResultContainer::GetThisMessageMap() {
    static const CMessageMap map =
        CMessageMap::Build<CScanResultContainer>(&CScrollingContainer::GetThisMessageMap())
            .OnMessage(WM_LBUTTONDOWN, &CScanResultContainer::OnLButtonDown)
            .OnMessage(WM_MOUSEMOVE, &CScanResultContainer::OnMouseMove)
            .OnMessage(WM_SETCURSOR, &CScanResultContainer::OnSetCursor);
    return map;
}

void CScanResultContainer::Clear() {
    for (CScanResultInfo* info : m_infos) delete info;
    for (CSectionResultInfo* row : m_rows) delete row;
    m_infos.clear();
    m_rows.clear();
    m_nLastToggled = -1;
}

int CScanResultContainer::Fill(const CErrorListEx& errors, const SectionCounters& counters) {
    m_bFilling = true;
    ResetScroller(0);
    Clear();
    const int n = static_cast<int>(errors.GetSize());
    int inSection = 0;
    for (int i = 0; i < n; ++i) {
        auto* info = new CScanResultInfo;
        info->error = errors[i];
        info->listIndex = i;
        info->section = errors[i].Section;
        if (i > 0 && errors[i].Section != errors[i - 1].Section) inSection = 0;
        info->indexInSection = inSection++;
        m_infos.push_back(info);
    }
    for (int i = 0; i < n; ++i) {
        if (i > 0 && errors[i].Section == errors[i - 1].Section) continue;
        auto* row = new CSectionResultInfo;
        const int section = errors[i].Section;
        const int found = section >= 0 && section < kSectionCount ? counters[section].Found : 0;
        // The row never reaches past the errors that follow it in the list.
        int run = 0;
        while (i + run < n && errors[i + run].Section == section) ++run;
        row->count = row->errorCount = std::min(found, run);
        if (row->count <= 0) row->count = row->errorCount = run;
        row->section = section;
        row->row = static_cast<int>(m_rows.size());
        row->firstError = i;
        m_rows.push_back(row);
    }
    m_nContent = static_cast<int>(m_rows.size()) * kRowHeight;
    UpdateScrollBar();
    m_bFilling = false;
    if (m_hWnd) Invalidate(true);
    return n;
}

UINT CScanResultContainer::SeverityBitmap(int count) {
    if (count > 120) return IDB_SEVERITY_5;
    if (count > 90) return IDB_SEVERITY_4;
    if (count > 60) return IDB_SEVERITY_3;
    if (count > 30) return IDB_SEVERITY_2;
    if (count > 0) return IDB_SEVERITY_1;
    return 0;
}

void CScanResultContainer::DrawContent(HDC dc, const RECT& client) {
    FillRect(dc, client, kListGrey);
    if (m_bFilling) return;
    HFONT font = MakeFont(L"Arial Bold", 15);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    for (const CSectionResultInfo* row : m_rows) {
        const int y = row->row * kRowHeight - m_nPos;
        if (y + kRowHeight <= client.top || y >= client.bottom) continue;
        FillRect(dc, {0, y, 430, y + kRowHeight}, kListGrey);
        ::SetTextColor(dc, kRowText);
        const std::wstring name = Engine() ? Engine()->GetSectionName(row->section) : std::wstring();
        TextOutW(dc, 25, y + 10, name.c_str(), static_cast<int>(name.size()));
        ::SetTextColor(dc, kCountRed);
        const std::wstring count = std::to_wstring(row->count);
        RECT countRect = {240, y + 10, 270, y + 30};
        DrawTextW(dc, count.c_str(), -1, &countRect, DT_RIGHT | DT_SINGLELINE);
        Line(dc, 0, y + 34, 600, RGB(225, 225, 225));
        DrawBitmapPart(dc, IDB_CHECK_CELLS, 5, y + 10, 13, 13, row->selected ? 0 : 13);
        DrawBitmapPart(dc, IDB_DETAILS, 200, y + 10, 16, 16);
        if (UINT bar = SeverityBitmap(row->count)) DrawBitmapPart(dc, bar, 290, y, 145, 33);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

void CScanResultContainer::RedrawRow(int row) {
    if (!m_hWnd || row < 0) return;
    const int y = row * kRowHeight - m_nPos;
    RECT rc = {0, y, 600, y + kRowHeight};
    InvalidateRect(&rc, false);
}

int CScanResultContainer::RowAt(int y) const {
    if (y + m_nPos < 0) return -1;
    const int row = (y + m_nPos) / kRowHeight;
    return row < static_cast<int>(m_rows.size()) ? row : -1;
}

bool CScanResultContainer::OverDetails(POINT pt, int& row) const {
    row = RowAt(pt.y);
    if (row < 0) return false;
    const int top = row * kRowHeight + 10 - m_nPos;
    return pt.x >= 200 && pt.x < 216 && pt.y >= top && pt.y < top + 16;
}

void CScanResultContainer::ToggleRow(int r) {
    if (r < 0 || r >= static_cast<int>(m_rows.size())) return;
    CSectionResultInfo* row = m_rows[r];
    row->selected = !row->selected;
    for (int i = row->firstError; i < row->firstError + row->count && i < static_cast<int>(m_infos.size()); ++i)
        m_infos[i]->selected = row->selected;
    RedrawRow(r);
    if (m_nLastToggled >= 0 && m_nLastToggled != r) RedrawRow(m_nLastToggled);
    m_nLastToggled = r;
}

void CScanResultContainer::OpenSection(int r) {
    CSectionResultInfo* row = m_rows[r];
    CSectionResultDialog dlg(this);
    dlg.SetSection(Engine() ? Engine()->GetSectionName(row->section) : std::wstring(), &m_infos[row->firstError],
                   row->count);
    dlg.DoModal();
}

LRESULT CScanResultContainer::OnLButtonDown(WPARAM, LPARAM lParam) {
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int row = RowAt(pt.y);
    if (row >= 0) {
        const int top = row * kRowHeight - m_nPos;
        if (OverDetails(pt, row))
            OpenSection(row);
        else if (pt.x >= 5 && pt.x < 18 && pt.y >= top + 10 && pt.y < top + 23)
            ToggleRow(row);
    }
    Default();
    SetFocus();
    return 0;
}

LRESULT CScanResultContainer::OnMouseMove(WPARAM, LPARAM lParam) {
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int over = -1;
    if (!OverDetails(pt, over)) over = -1;
    for (CSectionResultInfo* row : m_rows) {
        const bool hot = row->row == over;
        if (row->hot != hot) {
            row->hot = hot;
            RedrawRow(row->row);
        }
    }
    return Default();
}

LRESULT CScanResultContainer::OnSetCursor(WPARAM, LPARAM lParam) {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(m_hWnd, &pt);
    int row = -1;
    if (LOWORD(lParam) == HTCLIENT && OverDetails(pt, row)) {
        ::SetCursor(m_hand);
        return TRUE;
    }
    return Default();
}

// ---------------------------------------------------------------------------
// Section list

CSectionResultsContainer::CSectionResultsContainer() : CScrollingContainer(IDD_SECTION_RESULTS_CONTAINER) {}

const CMessageMap& CSectionResultsContainer::GetThisMessageMap() {
    static const CMessageMap map =
        CMessageMap::Build<CSectionResultsContainer>(&CScrollingContainer::GetThisMessageMap())
            .OnMessage(WM_LBUTTONDOWN, &CSectionResultsContainer::OnLButtonDown);
    return map;
}

void CSectionResultsContainer::Fill(CScanResultInfo** first, int count) {
    m_bFilling = true;
    m_first = first;
    m_nCount = count;
    m_nCurrent = -1;
    ResetScroller(count * kRowHeight);
    m_bFilling = false;
    if (m_hWnd) Invalidate(true);
}

std::wstring CSectionResultsContainer::DetailText(const CError& error) {
    const std::wstring& source = error.ErrorType == 0 ? error.FilePath : error.Reason;
    std::wstring text;
    text.reserve(source.size() + 16);
    for (wchar_t c : source) {
        text += c;
        if (c == L'\\') text += L' ';
    }
    return text;
}

void CSectionResultsContainer::DrawContent(HDC dc, const RECT& client) {
    FillRect(dc, client, kSectionYellow);
    if (m_bFilling || !m_first) return;
    HFONT bold = MakeFont(L"Arial Bold", 14);
    HFONT plain = MakeFont(L"Arial", 12);
    HGDIOBJ oldFont = SelectObject(dc, bold);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kRowText);
    for (int i = 0; i < m_nCount; ++i) {
        const CScanResultInfo* info = m_first[i];
        const int y = info->indexInSection * kRowHeight - m_nPos;
        if (y + kRowHeight <= client.top || y >= client.bottom) continue;
        const COLORREF back = i == m_nCurrent ? kCurrentRow
                              : (info->indexInSection % 2) ? RGB(255, 255, 255)
                                                           : kSectionYellow;
        FillRect(dc, {0, y, 430, y + kRowHeight}, back);
        SelectObject(dc, bold);
        TextOutW(dc, 25, y + 5, info->error.Title.c_str(), static_cast<int>(info->error.Title.size()));
        SelectObject(dc, plain);
        const std::wstring detail = DetailText(info->error);
        RECT rc = {25, y + 20, 410, y + 55};
        DrawTextW(dc, detail.c_str(), -1, &rc,
                  info->error.ErrorType == 0 ? DT_WORDBREAK : (DT_WORDBREAK | DT_NOPREFIX));
        Line(dc, 0, y + 59, 600, RGB(128, 128, 128));
        DrawBitmapPart(dc, IDB_CHECK_CELLS, 5, y + 18, 13, 13, info->selected ? 0 : 13);
    }
    SelectObject(dc, oldFont);
    DeleteObject(bold);
    DeleteObject(plain);
}

void CSectionResultsContainer::RedrawRow(int row) {
    if (!m_hWnd || row < 0) return;
    const int y = row * kRowHeight - m_nPos;
    RECT rc = {0, y, 600, y + kRowHeight};
    InvalidateRect(&rc, false);
}

LRESULT CSectionResultsContainer::OnLButtonDown(WPARAM, LPARAM lParam) {
    const int y = GET_Y_LPARAM(lParam);
    if (y + m_nPos >= 0) {
        const int row = (y + m_nPos) / kRowHeight;
        if (row < m_nCount && m_first) {
            m_first[row]->selected = !m_first[row]->selected;
            const int previous = m_nCurrent;
            m_nCurrent = row;
            RedrawRow(row);
            if (previous != row) RedrawRow(previous);
        }
    }
    Default();
    SetFocus();
    return 0;
}

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
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_DIALOG_LARGE);
    m_bDragEnabled = true;
    SetWindowText(Str(IDS_SECTION_CAPTION));
    PlaceWindow(*this, 526, 481, 461);

    SetUpStatic(m_title, IDC_TITLE, this, {50, 30, 181, 45}, kBlue, 14, FW_NORMAL, m_strName);
    SetUpStatic(m_headline, IDC_HEADLINE, this, {50, 100, 351, 21}, RGB(0, 0, 0), 9, FW_BOLD, L"");
    SetUpStatic(m_note, IDC_SECTION_NOTE, this, {50, 120, 351, 21}, RGB(0, 0, 0), 9, FW_NORMAL,
                Str(IDS_SECTION_NOTE));

    m_list.Create(IDD_SECTION_RESULTS_CONTAINER, this);
    m_list.MoveWindow(50, 140, 430, 252);
    m_list.ShowWindow(SW_SHOW);

    SetUpButton(m_save, IDC_SAVE_SECTION, this, IDB_BUTTON_SMALL, {300, 410, 81, 21}, Str(IDS_SAVE));
    SetUpButton(m_cancel, IDC_CANCEL_SECTION, this, IDB_BUTTON_SMALL, {400, 410, 81, 21}, Str(IDS_CANCEL));

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
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_RESULTS);
    m_bDragEnabled = true;
    SetWindowText(Str(IDS_RESULTS_CAPTION));
    PlaceWindow(*this, 526, 481, 461);

    SetUpButton(m_repair, IDC_REPAIR_PROBLEMS, this, IDB_BUTTON_WIDE, {370, 410, 121, 21}, Str(IDS_REPAIR_PROBLEMS));
    SetUpButton(m_report, IDC_CREATE_REPORT, this, IDB_BUTTON_WIDE, {275, 410, 90, 21}, Str(IDS_CREATE_REPORT));
    m_report.SetCaptionRect({0, 0, 88, 21});

    SetUpStatic(m_title, IDC_TITLE, this, {50, 30, 181, 21}, kBlue, 14, FW_NORMAL, Str(IDS_RESULTS_HEADING));
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
    if (CRepairErrorsDialog* repair = CRepairErrorsDialog::GetInstance()) {
        repair->m_pParentWnd = this;
        repair->DoModal();
    } else {
        CRepairErrorsDialog local(this);
        local.DoModal();
    }
    m_bRepairDone = true;
    // The errors the repair left have joined the unresolved ones.
    if (CScanDialog* main = CScanDialog::GetInstance()) main->UpdateProblemsDisplay();
    if (CResultStatus* summary = CResultStatus::GetInstance()) {
        summary->m_pParentWnd = this;
        summary->DoModal();
    } else {
        CResultStatus local(this);
        local.DoModal();
    }
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
        // The folder goes in place of "%s" as it is: the wide printf family
        // does not read %s the same way on every runtime.
        std::wstring text = Str(IDS_REPORT_SAVED_FORMAT);
        const size_t at = text.find(L"%s");
        if (at != std::wstring::npos) text.replace(at, 2, folder);
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
    CBitmapDialog::OnInitDialog();
    SetBitmap(IDB_SUMMARY);
    m_bDragEnabled = true;
    SetWindowText(Str(IDS_SUMMARY_CAPTION));
    PlaceWindow(*this, 570, 518, 498);
    SetUpStatic(m_title, IDC_TITLE, this, {40, 30, 250, 21}, kBlue, 14, FW_NORMAL, Str(IDS_SUMMARY_HEADING));

    CBriskoEngine* engine = Engine();
    const std::wstring totals[3] = {engine ? engine->GetTotalFoundText() : L"",
                                    engine ? engine->GetTotalRepairedText() : L"",
                                    engine ? engine->GetTotalIgnoredText() : L""};
    const UINT totalIds[3] = {IDC_TOTAL_FOUND, IDC_TOTAL_REPAIRED, IDC_TOTAL_IGNORED};
    for (int k = 0; k < 3; ++k) {
        SetUpStatic(m_totals[k], totalIds[k], this, {320 + 80 * k, 410, 30, 21}, kBlue, 12, FW_BOLD, totals[k]);
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
            SetUpStatic(m_cells[s][k + 1], kSummaryIds[s][k + 1], this, {320 + 80 * k, y, 30, 21}, RGB(0, 0, 0), 10,
                        FW_NORMAL, values[k]);
            m_cells[s][k + 1].SetAlignment(SS_CENTER);
        }
    }
    SetUpButton(m_close, IDC_CLOSE_WINDOW, this, IDB_BUTTON_SMALL, {440, 450, 81, 21}, Str(IDS_CLOSE));
    return TRUE;
}
