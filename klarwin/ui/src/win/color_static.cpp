#include "klarwin/ui/color_static.h"

CXColorStatic::CXColorStatic() : m_crBackground(GetSysColor(COLOR_BTNFACE)) {
    m_brBackground.CreateSolidBrush(m_crBackground);
}

CXColorStatic::~CXColorStatic() = default;

const CMessageMap& CXColorStatic::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CXColorStatic>(&CStatic::GetThisMessageMap())
        .OnMessage(WM_PAINT, &CXColorStatic::OnPaint)
        .OnMessage(WM_ERASEBKGND, &CXColorStatic::OnEraseBkgnd)
        .OnMessage(WM_SETTEXT, &CXColorStatic::OnSetText)
        .OnMessage(WM_PRINTCLIENT, &CXColorStatic::OnPrintClient);
    return map;
}

void CXColorStatic::Redraw() {
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CXColorStatic::SetTextColor(COLORREF colour) {
    m_crText = colour;
    Redraw();
}

void CXColorStatic::SetBackgroundColor(COLORREF colour) {
    m_crBackground = colour;
    m_brBackground.CreateSolidBrush(colour);
    Redraw();
}

void CXColorStatic::SetFont(int points, int weight) {
    kwui::CreateArialFont(m_font, points, weight);
    if (m_hWnd && m_font) CWnd::SetFont(m_font, false);
    Redraw();
}

void CXColorStatic::SetText(std::wstring_view text) {
    m_strText.assign(text);
    m_bOwnText = true;
    if (m_hWnd) {
        m_bSettingOwnText = true;
        ::SetWindowTextW(m_hWnd, m_strText.c_str());
        m_bSettingOwnText = false;
    }
    Redraw();
}

std::wstring CXColorStatic::GetDisplayText() const { return m_bOwnText ? m_strText : GetWindowText(); }

void CXColorStatic::SetAlignment(DWORD staticStyle) {
    m_dwAlignment = staticStyle;
    m_bUseStyle = false;
    Redraw();
}

void CXColorStatic::SetUseStyle(bool useStyle) {
    m_bUseStyle = useStyle;
    Redraw();
}

void CXColorStatic::SetTextOffset(int dx, int dy) {
    m_nOffsetX = dx;
    m_nOffsetY = dy;
    Redraw();
}

void CXColorStatic::SetIcon(HICON icon) {
    m_hIcon = icon;
    Redraw();
}

bool CXColorStatic::IsTransparent() const { return (GetExStyle() & WS_EX_TRANSPARENT) != 0; }

UINT CXColorStatic::GetDrawFlags() const {
    return kwui::StaticTextFlags(m_bUseStyle && m_hWnd ? GetStyle() : m_dwAlignment);
}

LRESULT CXColorStatic::OnSetText(WPARAM, LPARAM) {
    if (m_bOwnText && !m_bSettingOwnText) {
        // The own text stays what is painted and what is read.
        return TRUE;
    }
    LRESULT result = Default();
    Redraw();
    return result;
}

void CXColorStatic::Paint(HDC target) {
    RECT rc = GetClientRect();
    kwui::COffscreenDC dc(target, rc);
    if (IsTransparent()) kwui::PaintBackgroundUnder(m_hWnd, dc);
    else FillRect(dc, &rc, m_brBackground);

    if (m_hIcon) {
        int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        ICONINFO info = {};
        if (GetIconInfo(m_hIcon, &info)) {
            BITMAP bm = {};
            if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
                cx = bm.bmWidth;
                cy = bm.bmHeight;
            } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
                cx = bm.bmWidth;
                cy = bm.bmHeight / 2;
            }
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
        DrawIconEx(dc, (rc.right - cx) / 2, (rc.bottom - cy) / 2, m_hIcon, cx, cy, 0, nullptr, DI_NORMAL);
        return;
    }

    std::wstring text = GetDisplayText();
    if (text.empty()) return;
    HFONT font = m_font ? m_font.Get() : GetFont();
    CSelectObject selectFont(dc, font);
    dc.SetTextColor(IsWindowEnabled() ? m_crText : GetSysColor(COLOR_GRAYTEXT));
    dc.SetBkMode(TRANSPARENT);
    RECT textRect = rc;
    OffsetRect(&textRect, m_nOffsetX, m_nOffsetY);
    dc.DrawText(text, textRect, GetDrawFlags());
}

LRESULT CXColorStatic::OnPaint(WPARAM, LPARAM) {
    CPaintDC dc(m_hWnd);
    Paint(dc);
    return 0;
}

LRESULT CXColorStatic::OnPrintClient(WPARAM wParam, LPARAM) {
    Paint(reinterpret_cast<HDC>(wParam));
    return 0;
}

LRESULT CXColorStatic::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    // A transparent control leaves the background to its painting, which
    // shows the parent under it.
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (!IsTransparent() && dc) {
        RECT rc = GetClientRect();
        FillRect(dc, &rc, m_brBackground);
    }
    return TRUE;
}
