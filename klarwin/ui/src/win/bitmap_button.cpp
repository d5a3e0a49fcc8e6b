#include "klarwin/ui/bitmap_button.h"

// ===========================================================================
// CCtrlButton
// ===========================================================================

const CMessageMap& CCtrlButton::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CCtrlButton>(&CButton::GetThisMessageMap())
        .OnMessage(WM_GETDLGCODE, &CCtrlButton::OnGetDlgCode)
        .OnMessage(WM_KEYDOWN, &CCtrlButton::OnKeyDown);
    return map;
}

void CCtrlButton::PreSubclassWindow() { ModifyStyle(0, WS_TABSTOP); }

BOOL CCtrlButton::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_CHAR || msg->message == WM_SYSCHAR) return TRUE;
    return CButton::PreTranslateMessage(msg);
}

LRESULT CCtrlButton::OnGetDlgCode(WPARAM, LPARAM) { return Default() | DLGC_WANTTAB; }

LRESULT CCtrlButton::OnKeyDown(WPARAM wParam, LPARAM) {
    if (wParam == VK_TAB) {
        HWND parent = GetParent();
        bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        if (parent) ::SendMessageW(parent, WM_NEXTDLGCTL, back ? 1 : 0, FALSE);
        return 0;
    }
    return Default();
}

// ===========================================================================
// CBitmapButtonEx
// ===========================================================================

CBitmapButtonEx::CBitmapButtonEx() = default;
CBitmapButtonEx::~CBitmapButtonEx() = default;

const CMessageMap& CBitmapButtonEx::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CBitmapButtonEx>(&CCtrlButton::GetThisMessageMap())
        .OnMessage(ReflectedMessage(WM_DRAWITEM), &CBitmapButtonEx::OnDrawItemReflect)
        .OnMessage(WM_MOUSEMOVE, &CBitmapButtonEx::OnMouseMove)
        .OnMessage(WM_SETCURSOR, &CBitmapButtonEx::OnSetCursor)
        .OnMessage(WM_TIMER, &CBitmapButtonEx::OnTimer)
        .OnMessage(WM_ENABLE, &CBitmapButtonEx::OnEnable)
        .OnMessage(WM_SETTEXT, &CBitmapButtonEx::OnSetText)
        .OnMessage(WM_DESTROY, &CBitmapButtonEx::OnDestroy);
    return map;
}

bool CBitmapButtonEx::LoadBitmaps(COLORREF transparent, UINT normal, UINT pressed, UINT hover, UINT disabled) {
    m_crTransparent = transparent;
    m_normal.DeleteObject();
    m_pressed.DeleteObject();
    m_hover.DeleteObject();
    m_disabled.DeleteObject();
    bool ok = m_normal.LoadBitmap(normal);
    if (pressed) m_pressed.LoadBitmap(pressed);
    if (hover) m_hover.LoadBitmap(hover);
    if (disabled) m_disabled.LoadBitmap(disabled);
    if (m_hWnd) Invalidate(false);
    return ok;
}

void CBitmapButtonEx::SizeToBitmap() {
    if (!m_hWnd || !m_normal) return;
    SIZE size = m_normal.GetSize();
    SetWindowPos(nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButtonEx::SetCaptionFont(int points, UINT drawTextFlags) {
    m_nDrawFlags = drawTextFlags;
    // The caption face at normal weight, and the same underlined for hovering.
    kwui::CreateArialFont(m_font, points, FW_NORMAL);
    kwui::CreateArialFont(m_fontUnderline, points, FW_NORMAL, true);
    if (m_hWnd) Invalidate(false);
}

void CBitmapButtonEx::SetCaption(std::wstring_view text) {
    m_strCaption.assign(text);
    m_bHasCaption = true;
    if (m_hWnd) {
        m_bSettingCaption = true;
        SetWindowText(m_strCaption);
        m_bSettingCaption = false;
        Invalidate(false);
    }
}

void CBitmapButtonEx::SetCaptionRect(const RECT& rect) {
    m_rcCaption = rect;
    m_bCaptionRectSet = true;
    if (m_hWnd) Invalidate(false);
}

void CBitmapButtonEx::SetCaptionColor(COLORREF colour) {
    m_crCaption = colour;
    if (m_hWnd) Invalidate(false);
}

LRESULT CBitmapButtonEx::OnSetText(WPARAM, LPARAM lParam) {
    LRESULT result = Default();
    // The window text and the caption are one text.
    if (!m_bSettingCaption && m_bHasCaption) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        m_strCaption = text ? text : L"";
        Invalidate(false);
    }
    return result;
}

HBITMAP CBitmapButtonEx::ChooseBitmap(bool selected, bool disabled, bool& grayCaption) const {
    grayCaption = false;
    if (selected && m_pressed) return m_pressed;
    if (m_bHover && m_hover) return m_hover;
    if (disabled && m_disabled) {
        grayCaption = true;
        return m_disabled;
    }
    return m_normal;
}

LRESULT CBitmapButtonEx::OnDrawItemReflect(WPARAM, LPARAM lParam) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!dis) return FALSE;
    DrawItem(*dis);
    return TRUE;
}

void CBitmapButtonEx::DrawItem(const DRAWITEMSTRUCT& dis) {
    RECT rc = dis.rcItem;
    kwui::COffscreenDC dc(dis.hDC, rc);
    // What lies under the button shows through the keyed parts of its bitmap.
    kwui::PaintBackgroundUnder(m_hWnd, dc);

    bool selected = (dis.itemState & ODS_SELECTED) != 0;
    bool disabled = (dis.itemState & ODS_DISABLED) != 0;
    bool grayCaption = false;
    HBITMAP bitmap = ChooseBitmap(selected, disabled, grayCaption);
    if (bitmap) {
        BITMAP bm = {};
        GetObjectW(bitmap, sizeof bm, &bm);
        CCompatibleDC mem(dc);
        mem.SelectObject(bitmap);
        TransparentBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem, 0, 0, bm.bmWidth,
                       bm.bmHeight, m_crTransparent);
    }

    if (m_bHasCaption && !m_strCaption.empty()) {
        RECT text = m_bCaptionRectSet ? m_rcCaption : rc;
        HFONT font = m_bHover ? m_fontUnderline.Get() : m_font.Get();
        if (!font) font = GetFont();
        CFont fallbackUnderline;
        if (m_bHover && !m_fontUnderline && kwui::CreateFontVariant(fallbackUnderline, font, true))
            font = fallbackUnderline;
        CSelectObject selectFont(dc, font);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(grayCaption ? GetSysColor(COLOR_GRAYTEXT) : m_crCaption);
        dc.DrawText(m_strCaption, text, m_nDrawFlags);
    }
}

LRESULT CBitmapButtonEx::OnMouseMove(WPARAM, LPARAM) {
    if (!m_bHover) {
        m_bHover = true;
        Invalidate(false);
        SetTimer(kHoverTimer, kHoverIntervalMs);
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    }
    return Default();
}

LRESULT CBitmapButtonEx::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    // The hand stays while the pointer is over the button (the class cursor
    // would bring the arrow back at the next move).
    if (m_bHover && LOWORD(lParam) == HTCLIENT && IsWindowEnabled()) {
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    (void)wParam;
    return Default();
}

LRESULT CBitmapButtonEx::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam != kHoverTimer) return Default();
    if (kwui::PointerOutside(m_hWnd)) {
        m_bHover = false;
        KillTimer(kHoverTimer);
        Invalidate(false);
    }
    return 0;
}

LRESULT CBitmapButtonEx::OnEnable(WPARAM, LPARAM) {
    LRESULT result = Default();
    kwui::InvalidateParentUnder(m_hWnd);
    return result;
}

LRESULT CBitmapButtonEx::OnDestroy(WPARAM, LPARAM) {
    KillTimer(kHoverTimer);
    m_bHover = false;
    return Default();
}
