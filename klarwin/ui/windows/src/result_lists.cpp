#include "klarwin/ui/result_lists.h"

#include "fw/win/gdi.h"
#include "klarwin/ui/dialog_setup.h"
#include "klarwin/ui/scan_results_dialog.h"
#include "resource.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr COLORREF kCountRed = RGB(152, 2, 9);
constexpr COLORREF kListGrey = RGB(238, 238, 238);
constexpr COLORREF kRowText = RGB(45, 54, 63);
constexpr COLORREF kSectionYellow = RGB(244, 246, 209);
constexpr COLORREF kCurrentRow = RGB(219, 225, 102);

using kwui::Engine;

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
