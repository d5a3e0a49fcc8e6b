// The notification-area icon.
#include "desktop/tray_icon.h"

#include "fw/win/app.h"
#include "fw/win/resources.h"

#include <cstring>
#include <cwchar>

static_assert(sizeof(NOTIFYICONDATAW) >= CTrayIcon::kRecordSize, "the record holds the fields the shell is told about");

namespace {

// A resource of the resource module, else of the program itself (a language
// library need not carry the program's icons).
HICON LoadIconOf(UINT id) {
    HICON icon = fw::LoadResourceIcon(id, GetSystemMetrics(SM_CXSMICON));
    if (!icon) icon = fw::LoadResourceIcon(id, GetSystemMetrics(SM_CXSMICON), GetModuleHandleW(nullptr));
    return icon;
}

HMENU LoadMenuOf(UINT id) {
    HMENU menu = fw::LoadResourceMenu(id);
    if (!menu) menu = fw::LoadResourceMenu(id, GetModuleHandleW(nullptr));
    return menu;
}

}  // namespace

CTrayIcon::CTrayIcon(UINT id) {
    std::memset(&m_nid, 0, sizeof m_nid);
    m_nid.cbSize = kRecordSize;
    m_nid.uID = id;
    std::wstring tip = fw::LoadResourceString(id);
    if (tip.size() >= kTipCapacity) tip.resize(kTipCapacity - 1);
    tip.copy(m_nid.szTip, tip.size());
}

CTrayIcon::~CTrayIcon() { SetIcon(nullptr, nullptr); }

bool CTrayIcon::SetNotificationWnd(HWND wnd, UINT message) {
    if (!wnd || !IsWindow(wnd)) return false;
    if (message != 0 && message < WM_USER) message = 0;
    m_nid.hWnd = wnd;
    m_nid.uCallbackMessage = message;
    return true;
}

bool CTrayIcon::SetIcon(HICON icon, const wchar_t* tip) {
    DWORD action = NIM_ADD;
    if (icon) {
        if (m_shown) action = NIM_MODIFY;
        m_nid.uFlags = NIF_ICON;
    } else {
        if (!m_shown) return true;
        action = NIM_DELETE;
        m_nid.uFlags = 0;
    }
    if (tip) {
        std::size_t n = std::wcslen(tip);
        if (n >= kTipCapacity) n = kTipCapacity - 1;
        std::wmemcpy(m_nid.szTip, tip, n);
        m_nid.szTip[n] = L'\0';
    }
    if (m_nid.szTip[0]) m_nid.uFlags |= NIF_TIP;
    m_nid.hIcon = icon;
    if (m_nid.uCallbackMessage && m_nid.hWnd) m_nid.uFlags |= NIF_MESSAGE;
    BOOL ok = Shell_NotifyIconW(action, &m_nid);
    if (action == NIM_DELETE || !ok) m_shown = false;
    else m_shown = true;
    return ok != FALSE;
}

bool CTrayIcon::SetIcon(UINT resourceId) {
    if (resourceId == 0) return SetIcon(nullptr, nullptr);
    std::wstring tip = fw::LoadResourceString(resourceId);
    if (tip.empty()) tip = fw::LoadResourceString(resourceId, GetModuleHandleW(nullptr));
    return SetIcon(LoadIconOf(resourceId), tip.c_str());
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM id, LPARAM event) {
    if (id != m_nid.uID) return 0;
    UINT mouse = static_cast<UINT>(LOWORD(event));
    if (mouse != WM_LBUTTONDOWN && mouse != WM_LBUTTONDBLCLK && mouse != WM_RBUTTONUP) return 0;
    HMENU menu = LoadMenuOf(m_nid.uID);
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (popup) SetMenuDefaultItem(popup, 3, TRUE);
    HWND wnd = m_nid.hWnd;
    if (mouse == WM_LBUTTONDBLCLK) {
        if (wnd) SendMessageW(wnd, WM_COMMAND, kRestoreCommand, 0);
    } else if (mouse == WM_LBUTTONDOWN) {
        if (wnd) SetForegroundWindow(wnd);
    } else if (wnd && popup) {
        POINT at = {};
        GetCursorPos(&at);
        SetForegroundWindow(wnd);
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, wnd, nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessageW(wnd, WM_NULL, 0, 0);
    }
    if (menu) DestroyMenu(menu);
    return 1;
}
