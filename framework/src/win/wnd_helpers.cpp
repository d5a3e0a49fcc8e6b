// CWnd's thin wrappers of the window functions: messages, text, place, style, font, icon.
#include "fw/win/wnd.h"

#include "fw/win/app.h"

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam) != FALSE;
}

HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
HWND CWnd::GetParent() const { return ::GetParent(m_hWnd); }

namespace {
std::wstring TextOf(HWND hwnd) {
    if (!hwnd) return std::wstring();
    int len = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<std::size_t>(len) + 1, L'\0');
    int got = GetWindowTextW(hwnd, s.data(), len + 1);
    s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return s;
}
}  // namespace

std::wstring CWnd::GetWindowText() const { return TextOf(m_hWnd); }

void CWnd::SetWindowText(std::wstring_view text) { ::SetWindowTextW(m_hWnd, std::wstring(text).c_str()); }

std::wstring CWnd::GetDlgItemText(int id) const { return TextOf(GetDlgItem(id)); }

void CWnd::SetDlgItemText(int id, std::wstring_view text) {
    ::SetDlgItemTextW(m_hWnd, id, std::wstring(text).c_str());
}

UINT CWnd::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
void CWnd::CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
void CWnd::CheckRadioButton(int firstId, int lastId, int checkId) {
    ::CheckRadioButton(m_hWnd, firstId, lastId, checkId);
}

LRESULT CWnd::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
}

bool CWnd::ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow) != FALSE; }
bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
bool CWnd::EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable) != FALSE; }
bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }

void CWnd::MoveWindow(int x, int y, int width, int height, bool repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, bool repaint) {
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

bool CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags) != FALSE;
}

RECT CWnd::GetClientRect() const {
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

RECT CWnd::GetWindowRect() const {
    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

void CWnd::Invalidate(bool erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(const RECT* rect, bool erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
HWND CWnd::SetFocus() { return ::SetFocus(m_hWnd); }
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }

namespace {
bool ModifyLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, index));
    DWORD changed = (style & ~remove) | add;
    if (style == changed) return false;
    SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | swpFlags);
    return true;
}
}  // namespace

bool CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyLong(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

bool CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs) { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
bool CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id) != FALSE; }

void CWnd::SetFont(HFONT font, bool redraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw ? TRUE : FALSE, 0));
}

HFONT CWnd::GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

HICON CWnd::SetIcon(HICON icon, bool big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

void CWnd::CenterWindow(HWND alternateOwner) {
    RECT self = GetWindowRect();
    RECT area = {};
    HWND reference = alternateOwner;
    if (!reference) reference = (GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : GetWindow(m_hWnd, GW_OWNER);
    if (reference && (GetStyle() & WS_CHILD)) {
        ::GetClientRect(reference, &area);
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(reference ? reference : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
        if (reference && ::IsWindowVisible(reference) && !IsIconic(reference)) ::GetWindowRect(reference, &area);
    }
    int w = self.right - self.left, h = self.bottom - self.top;
    int x = (area.left + area.right - w) / 2;
    int y = (area.top + area.bottom - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    CWinApp* app = AfxGetApp();
    if (!caption) caption = app ? app->m_strAppName.c_str() : L"";
    return ::MessageBoxW(m_hWnd, text, caption, type);
}
