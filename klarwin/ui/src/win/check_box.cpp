#include "klarwin/ui/check_box.h"

CCheckBox::CCheckBox() = default;
CCheckBox::~CCheckBox() = default;

const CMessageMap& CCheckBox::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CCheckBox>(&CButton::GetThisMessageMap())
        .OnMessage(WM_PAINT, &CCheckBox::OnPaint)
        .OnMessage(WM_PRINTCLIENT, &CCheckBox::OnPrintClient)
        .OnMessage(WM_ERASEBKGND, &CCheckBox::OnEraseBkgnd)
        .OnMessage(ReflectedMessage(WM_DRAWITEM), &CCheckBox::OnDrawItemReflect)
        .OnMessage(BM_GETCHECK, &CCheckBox::OnGetCheck)
        .OnMessage(BM_SETCHECK, &CCheckBox::OnSetCheck)
        .OnMessage(BM_GETSTATE, &CCheckBox::OnGetState)
        .OnMessage(BM_CLICK, &CCheckBox::OnClick)
        .OnMessage(WM_MOUSEMOVE, &CCheckBox::OnMouseMove)
        .OnMessage(WM_MOUSELEAVE, &CCheckBox::OnMouseLeave)
        .OnMessage(WM_LBUTTONDOWN, &CCheckBox::OnLButtonDown)
        .OnMessage(WM_LBUTTONDBLCLK, &CCheckBox::OnLButtonDown)
        .OnMessage(WM_LBUTTONUP, &CCheckBox::OnLButtonUp)
        .OnMessage(WM_CAPTURECHANGED, &CCheckBox::OnCaptureChanged)
        .OnMessage(WM_KEYDOWN, &CCheckBox::OnKeyDown)
        .OnMessage(WM_KEYUP, &CCheckBox::OnKeyUp)
        .OnMessage(WM_SETFOCUS, &CCheckBox::OnFocus)
        .OnMessage(WM_KILLFOCUS, &CCheckBox::OnFocus)
        .OnMessage(WM_GETDLGCODE, &CCheckBox::OnGetDlgCode)
        .OnMessage(WM_SETTEXT, &CCheckBox::OnSetText)
        .OnMessage(WM_ENABLE, &CCheckBox::OnEnable);
    return map;
}

void CCheckBox::PreSubclassWindow() { ModifyStyle(0, WS_TABSTOP); }

bool CCheckBox::LoadImages(UINT uncheckedStrip, UINT checkedStrip) {
    m_unchecked.DeleteObject();
    m_checked.DeleteObject();
    bool ok = m_unchecked.LoadBitmap(uncheckedStrip);
    ok = m_checked.LoadBitmap(checkedStrip) && ok;
    if (!ok) {
        m_unchecked.DeleteObject();
        m_checked.DeleteObject();
    }
    Redraw();
    return ok;
}

void CCheckBox::SetCaptionColor(COLORREF colour) {
    m_crCaption = colour;
    Redraw();
}

int CCheckBox::CurrentCell() const {
    if (m_bPressed && (!m_bMouseDown || m_bHot)) return 2;
    if (m_bHot) return 1;
    return 0;
}

void CCheckBox::Redraw() {
    if (m_hWnd) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::UpdateWindow(m_hWnd);
    }
}

void CCheckBox::Draw(HDC target, const RECT& rc) {
    kwui::COffscreenDC dc(target, rc);
    kwui::PaintBackgroundUnder(m_hWnd, dc);

    bool enabled = IsWindowEnabled();
    int height = rc.bottom - rc.top;
    int cell = 13;
    const CBitmap& strip = m_bChecked ? m_checked : m_unchecked;
    if (strip) {
        SIZE size = strip.GetSize();
        cell = size.cy;
        int index = CurrentCell();
        if ((index + 1) * cell > size.cx) index = 0;  // a strip with fewer cells
        CCompatibleDC mem(dc);
        mem.SelectObject(strip);
        dc.BitBlt(rc.left, rc.top + (height - cell) / 2, cell, cell, mem, index * cell, 0, SRCCOPY);
    } else {
        RECT box = {rc.left, rc.top + (height - cell) / 2, rc.left + cell, rc.top + (height - cell) / 2 + cell};
        UINT state = DFCS_BUTTONCHECK | (m_bChecked ? DFCS_CHECKED : 0) | (CurrentCell() == 2 ? DFCS_PUSHED : 0) |
                     (CurrentCell() == 1 ? DFCS_HOT : 0) | (enabled ? 0 : DFCS_INACTIVE);
        DrawFrameControl(dc, &box, DFC_BUTTON, state);
    }

    std::wstring caption = GetWindowText();
    bool showFocus = GetFocus() == m_hWnd &&
                     !(SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS);
    if (!caption.empty()) {
        RECT text = rc;
        text.left += cell + 4;
        CSelectObject font(dc, GetFont());
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(enabled ? m_crCaption : GetSysColor(COLOR_GRAYTEXT));
        UINT flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
        dc.DrawText(caption, text, flags);
        if (showFocus) {
            RECT measured = text;
            dc.DrawText(caption, measured, flags | DT_CALCRECT);
            measured.top = text.top + (height - (measured.bottom - measured.top)) / 2;
            measured.bottom = measured.top + (measured.bottom - measured.top);
            InflateRect(&measured, 1, 0);
            DrawFocusRect(dc, &measured);
        }
    } else if (showFocus) {
        RECT box = {rc.left, rc.top + (height - cell) / 2, rc.left + cell, rc.top + (height - cell) / 2 + cell};
        DrawFocusRect(dc, &box);
    }
}

void CCheckBox::Toggle() {
    m_bChecked = !m_bChecked;
    Redraw();
    HWND parent = GetParent();
    if (parent)
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

bool CCheckBox::PointInside(LPARAM lParam) const {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT rc = GetClientRect();
    return PtInRect(&rc, pt) != FALSE;
}

LRESULT CCheckBox::OnPaint(WPARAM, LPARAM) {
    CPaintDC dc(m_hWnd);
    Draw(dc, GetClientRect());
    return 0;
}

LRESULT CCheckBox::OnPrintClient(WPARAM wParam, LPARAM) {
    Draw(reinterpret_cast<HDC>(wParam), GetClientRect());
    return 0;
}

LRESULT CCheckBox::OnEraseBkgnd(WPARAM, LPARAM) { return TRUE; }  // Draw paints everything

LRESULT CCheckBox::OnDrawItemReflect(WPARAM, LPARAM lParam) {
    // The button class asks for drawing on its own (focus, enabling): draw
    // with our state, not the class's.
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (dis) Draw(dis->hDC, dis->rcItem);
    return TRUE;
}

LRESULT CCheckBox::OnGetCheck(WPARAM, LPARAM) { return m_bChecked ? BST_CHECKED : BST_UNCHECKED; }

LRESULT CCheckBox::OnSetCheck(WPARAM wParam, LPARAM) {
    bool checked = wParam != BST_UNCHECKED;
    if (checked != m_bChecked) {
        m_bChecked = checked;
        Redraw();
    }
    return 0;
}

LRESULT CCheckBox::OnGetState(WPARAM, LPARAM) {
    LRESULT state = m_bChecked ? BST_CHECKED : BST_UNCHECKED;
    if (CurrentCell() == 2) state |= BST_PUSHED;
    if (m_bHot) state |= BST_HOT;
    if (GetFocus() == m_hWnd) state |= BST_FOCUS;
    return state;
}

LRESULT CCheckBox::OnMouseMove(WPARAM, LPARAM lParam) {
    if (!m_bTracking) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof tme;
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        m_bTracking = TrackMouseEvent(&tme) != FALSE;
    }
    bool inside = PointInside(lParam);
    if (inside != m_bHot) {
        m_bHot = inside;
        Redraw();
    }
    return 0;
}

LRESULT CCheckBox::OnMouseLeave(WPARAM, LPARAM) {
    m_bTracking = false;
    if (m_bHot && !m_bMouseDown) {
        m_bHot = false;
        Redraw();
    }
    return 0;
}

LRESULT CCheckBox::OnLButtonDown(WPARAM, LPARAM lParam) {
    if (!IsWindowEnabled()) return 0;
    if (GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    SetCapture(m_hWnd);
    m_bMouseDown = true;
    m_bPressed = true;
    m_bHot = PointInside(lParam);
    Redraw();
    return 0;
}

LRESULT CCheckBox::OnLButtonUp(WPARAM, LPARAM lParam) {
    bool wasDown = m_bMouseDown;
    m_bMouseDown = false;
    m_bPressed = false;
    if (wasDown && GetCapture() == m_hWnd) ReleaseCapture();
    if (wasDown && IsWindowEnabled() && PointInside(lParam)) Toggle();
    else Redraw();
    return 0;
}

// BM_CLICK: a press and release inside, at once.
LRESULT CCheckBox::OnClick(WPARAM, LPARAM) {
    if (IsWindowEnabled() && !m_bMouseDown) {
        m_bPressed = false;
        Toggle();
    }
    return 0;
}

LRESULT CCheckBox::OnCaptureChanged(WPARAM, LPARAM lParam) {
    // Someone else took the mouse in the middle of a press: no toggle.
    if (m_bMouseDown && reinterpret_cast<HWND>(lParam) != m_hWnd) {
        m_bMouseDown = false;
        m_bPressed = false;
        Redraw();
    }
    return 0;
}

LRESULT CCheckBox::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (wParam != VK_SPACE) return Default();
    bool repeat = (lParam & (1 << 30)) != 0;
    if (!repeat && !m_bMouseDown && IsWindowEnabled()) {
        m_bPressed = true;
        Redraw();
    }
    return 0;
}

LRESULT CCheckBox::OnKeyUp(WPARAM wParam, LPARAM) {
    if (wParam != VK_SPACE) return Default();
    if (m_bPressed && !m_bMouseDown) {
        m_bPressed = false;
        Toggle();
    }
    return 0;
}

LRESULT CCheckBox::OnFocus(WPARAM, LPARAM) {
    LRESULT result = Default();
    if (!GetFocus() || GetFocus() != m_hWnd) {
        // Losing the focus ends a press of the space key.
        if (m_bPressed && !m_bMouseDown) m_bPressed = false;
    }
    Redraw();
    return result;
}

LRESULT CCheckBox::OnGetDlgCode(WPARAM, LPARAM) { return DLGC_BUTTON; }

LRESULT CCheckBox::OnSetText(WPARAM, LPARAM) {
    LRESULT result = Default();
    Redraw();
    return result;
}

LRESULT CCheckBox::OnEnable(WPARAM, LPARAM) {
    LRESULT result = Default();
    if (!IsWindowEnabled()) {
        m_bPressed = m_bMouseDown = m_bHot = false;
    }
    Redraw();
    return result;
}
