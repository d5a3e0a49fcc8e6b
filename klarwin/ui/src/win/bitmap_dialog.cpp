#include "klarwin/ui/bitmap_dialog.h"

CBitmapDialog::CBitmapDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CBitmapDialog::~CBitmapDialog() = default;

const CMessageMap& CBitmapDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CBitmapDialog>(&CDialog::GetThisMessageMap())
        .OnMessage(WM_ERASEBKGND, &CBitmapDialog::OnEraseBkgnd)
        .OnMessage(WM_LBUTTONDOWN, &CBitmapDialog::OnLButtonDown)
        .OnMessage(WM_CTLCOLORSTATIC, &CBitmapDialog::OnCtlColorStatic);
    return map;
}

int CBitmapDialog::SetBitmap(UINT bitmapId) {
    m_background.DeleteObject();
    bool loaded = m_background.LoadBitmap(bitmapId);
    if (m_hWnd) Invalidate(true);
    return loaded ? 1 : 0;
}

SIZE CBitmapDialog::GetBitmapSize() const {
    if (!m_background) return SIZE{0, 0};
    return m_background.GetSize();
}

LRESULT CBitmapDialog::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (!m_background || !dc) return Default();
    SIZE size = m_background.GetSize();
    CCompatibleDC mem(dc);
    mem.SelectObject(m_background);
    ::BitBlt(dc, 0, 0, size.cx, size.cy, mem, 0, 0, SRCCOPY);
    return TRUE;
}

LRESULT CBitmapDialog::OnLButtonDown(WPARAM, LPARAM lParam) {
    LRESULT result = Default();
    if (m_bDragEnabled && m_hWnd) {
        // The system's move loop wants the position in screen coordinates.
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(m_hWnd, &pt);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    }
    return result;
}

LRESULT CBitmapDialog::OnCtlColorStatic(WPARAM wParam, LPARAM lParam) {
    LRESULT result = Default();
    HWND control = reinterpret_cast<HWND>(lParam);
    if (!m_bTransparentStatics || !control) return result;
    // Read-only and disabled edits ask with the same message; only real
    // static controls become transparent.
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    if (CompareStringOrdinal(className, -1, L"Static", -1, TRUE) != CSTR_EQUAL) return result;
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
}
