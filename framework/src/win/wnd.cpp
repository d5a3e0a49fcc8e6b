#include "fw/win/wnd.h"

#include "fw/strutil.h"
#include "fw/win/app.h"

#include <mutex>
#include <set>

// ===========================================================================
// Message maps and command targets
// ===========================================================================

const CMessageMap::Entry* CMessageMap::FindMessage(UINT message) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Message && e.message == message; });
}

const CMessageMap::Entry* CMessageMap::FindCommand(UINT id) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Command && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindControl(UINT id, UINT code) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Control && e.code == code && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindNotify(UINT id, UINT code) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Notify && e.code == code && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindUpdate(UINT id) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Update && e.HasId(id); });
}

const CMessageMap& CCmdTarget::GetThisMessageMap() {
    static const CMessageMap map(nullptr);
    return map;
}

bool CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    const CMessageMap& map = GetMessageMap();
    if (code == CN_UPDATE_COMMAND_UI) {
        const CMessageMap::Entry* e = map.FindUpdate(id);
        if (!e) return false;
        if (!queryOnly) e->onUpdate(this, static_cast<CCmdUI*>(extra));
        return true;
    }
    const CMessageMap::Entry* e = nullptr;
    if (code == CN_COMMAND) e = map.FindCommand(id);  // code 0 is also BN_CLICKED
    if (!e) e = map.FindControl(id, static_cast<UINT>(code));
    if (!e) return false;
    if (!queryOnly) e->onCommand(this, id);
    return true;
}

// ===========================================================================
// CCmdUI
// ===========================================================================

void CCmdUI::Enable(bool on) {
    m_bEnabled = on;
    m_bEnableChanged = true;
    if (m_hMenu) {
        EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_hWndOther) {
        // Disabling the control with the focus would leave the focus nowhere.
        if (!on && GetFocus() == m_hWndOther) {
            HWND parent = ::GetParent(m_hWndOther);
            if (parent) ::SendMessageW(parent, WM_NEXTDLGCTL, 0, FALSE);
        }
        ::EnableWindow(m_hWndOther, on);
    }
}

void CCmdUI::SetCheck(int check) {
    if (m_hMenu) {
        CheckMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
    } else if (m_hWndOther) {
        if (::SendMessageW(m_hWndOther, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)
            ::SendMessageW(m_hWndOther, BM_SETCHECK, static_cast<WPARAM>(check), 0);
    }
}

void CCmdUI::SetRadio(bool on) {
    if (m_hMenu) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE;
        if (!GetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii)) return;
        mii.fType = on ? (mii.fType | MFT_RADIOCHECK) : (mii.fType & ~static_cast<UINT>(MFT_RADIOCHECK));
        mii.fState = on ? (mii.fState | MFS_CHECKED) : (mii.fState & ~static_cast<UINT>(MFS_CHECKED));
        SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii);
    } else {
        SetCheck(on ? 1 : 0);
    }
}

void CCmdUI::SetText(const wchar_t* text) {
    if (!text) text = L"";
    if (m_hMenu) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_STRING;
        mii.dwTypeData = const_cast<wchar_t*>(text);
        SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii);
    } else if (m_hWndOther) {
        int len = GetWindowTextLengthW(m_hWndOther);
        std::wstring current(static_cast<std::size_t>(len) + 1, L'\0');
        GetWindowTextW(m_hWndOther, current.data(), len + 1);
        current.resize(static_cast<std::size_t>(len));
        if (current != text) SetWindowTextW(m_hWndOther, text);  // no flicker when unchanged
    }
}

bool CCmdUI::DoUpdate(CCmdTarget* target, bool disableIfNoHandler) {
    m_bEnableChanged = false;
    if (!target) return false;
    if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, false)) return true;
    if (disableIfNoHandler && !m_bEnableChanged) Enable(target->OnCmdMsg(m_nID, CN_COMMAND, nullptr, true));
    return false;
}

// ===========================================================================
// Binding windows to objects
// ===========================================================================
namespace {

const wchar_t kObjectProp[] = L"fw.CWnd";
const wchar_t kSuperProp[] = L"fw.Super";  // the original procedure, kept for messages after unbinding

// The message being handled on this thread, for CWnd::Default.
thread_local MSG t_current = {};

// Window creation in progress on this thread (see HookWindowCreate).
thread_local CWnd* t_creating = nullptr;
thread_local HHOOK t_hook = nullptr;
thread_local int t_hookDepth = 0;

bool IsImeWindow(HWND hwnd) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    return CompareStringOrdinal(name, -1, L"IME", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

// The computer-based-training hook sees a window before its first message;
// that is where the window being created is bound to its object.
struct CWndCreateHook {
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND && t_creating) {
            HWND hwnd = reinterpret_cast<HWND>(wParam);
            // Wine and Windows may create the thread's input-method window first.
            if (!IsImeWindow(hwnd)) {
                CWnd* wnd = t_creating;
                t_creating = nullptr;
                wnd->BindCreatedWindow(hwnd);
            }
        }
        return CallNextHookEx(t_hook, code, wParam, lParam);
    }
};

void CWnd::HookWindowCreate(CWnd* wnd) {
    t_creating = wnd;
    if (t_hookDepth++ == 0)
        t_hook = SetWindowsHookExW(WH_CBT, &CWndCreateHook::CbtProc, nullptr, GetCurrentThreadId());
}

bool CWnd::UnhookWindowCreate() {
    bool bound = t_creating == nullptr;
    t_creating = nullptr;
    if (--t_hookDepth == 0 && t_hook) {
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    return bound;
}

void CWnd::BindCreatedWindow(HWND hwnd) {
    m_hWnd = hwnd;
    SetPropW(hwnd, kObjectProp, this);
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (old != &CWnd::StdWndProc) {
        m_pfnSuper = old;
        SetPropW(hwnd, kSuperProp, reinterpret_cast<HANDLE>(old));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc));
    }
    m_bSubclassed = true;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(GetPropW(hwnd, kObjectProp)) : nullptr;
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd) {
        // Unbound while another procedure still chains to us: pass it on.
        WNDPROC super = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kSuperProp));
        return super ? CallWindowProcW(super, hwnd, message, wParam, lParam)
                     : ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    MSG saved = t_current;
    t_current.hwnd = hwnd;
    t_current.message = message;
    t_current.wParam = wParam;
    t_current.lParam = lParam;
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) wnd->AfterNcDestroy();  // may delete the object
    t_current = saved;
    return result;
}

void CWnd::AfterNcDestroy() {
    HWND hwnd = m_hWnd;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == &CWnd::StdWndProc && m_pfnSuper)
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    RemovePropW(hwnd, kObjectProp);
    RemovePropW(hwnd, kSuperProp);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bSubclassed = false;
    // The main window is gone: the application's loop ends.
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    PostNcDestroy();
}

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd) {
        HWND hwnd = m_hWnd;
        bool owned = m_bSubclassed;
        Detach();  // no more messages to this half-destroyed object
        if (owned && IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }
}

bool CWnd::Attach(HWND hwnd) {
    if (m_hWnd || !hwnd || FromHandlePermanent(hwnd)) return false;
    m_hWnd = hwnd;
    SetPropW(hwnd, kObjectProp, this);
    m_bSubclassed = false;
    return true;
}

HWND CWnd::Detach() {
    if (m_bSubclassed) return UnsubclassWindow();
    HWND hwnd = m_hWnd;
    if (hwnd && FromHandlePermanent(hwnd) == this) RemovePropW(hwnd, kObjectProp);
    m_hWnd = nullptr;
    return hwnd;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd || !hwnd || FromHandlePermanent(hwnd)) return false;
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (!old) return false;  // not a window of this process
    m_hWnd = hwnd;
    SetPropW(hwnd, kObjectProp, this);
    if (old != &CWnd::StdWndProc) {
        m_pfnSuper = old;
        SetPropW(hwnd, kSuperProp, reinterpret_cast<HANDLE>(old));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc));
    }
    m_bSubclassed = true;
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent || !parent->m_hWnd) return false;
    HWND item = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return item && SubclassWindow(item);
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (!hwnd) return nullptr;
    bool restored = false;
    if (m_pfnSuper && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == &CWnd::StdWndProc) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        restored = true;
    }
    RemovePropW(hwnd, kObjectProp);
    // When another procedure was put in front of ours, ours stays in the chain
    // and needs the original procedure to pass messages on.
    if (restored || !m_pfnSuper) RemovePropW(hwnd, kSuperProp);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bSubclassed = false;
    return hwnd;
}

// ===========================================================================
// Creation
// ===========================================================================

namespace fw {

const wchar_t* RegisterWindowClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::mutex lock;
    static std::set<std::wstring> names;  // nodes never move: the pointers stay valid
    std::wstring name = fw::Format(L"Fw:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                                   static_cast<void*>(background), static_cast<void*>(icon));
    std::lock_guard<std::mutex> guard(lock);
    auto it = names.find(name);
    if (it != names.end()) return it->c_str();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, name.c_str(), &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = name.c_str();
        if (!RegisterClassExW(&wc)) return nullptr;
    }
    return names.insert(name).first->c_str();
}

bool WalkPreTranslateTree(HWND stop, MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg)) return true;
        if (hwnd == stop) break;
    }
    return false;
}

}  // namespace fw

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) { return TRUE; }

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId, void* param) {
    if (m_hWnd) return false;
    CREATESTRUCTW cs = {};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className ? className
                             : fw::RegisterWindowClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW),
                                                       reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.hwndParent = parent;
    cs.hMenu = menuOrId;
    cs.hInstance = GetModuleHandleW(nullptr);
    cs.lpCreateParams = param;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return false;
    }
    HookWindowCreate(this);
    HWND hwnd = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    // A window that never came to exist gets the same clean-up as a destroyed one.
    if (!UnhookWindowCreate()) PostNcDestroy();
    // On failure the object may be gone now (a frame deletes itself): touch nothing.
    return hwnd != nullptr;
}

bool CWnd::Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id, void* param) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

bool CWnd::DestroyWindow() {
    HWND hwnd = m_hWnd;
    if (!hwnd) return false;
    bool bound = m_bSubclassed;
    BOOL ok = ::DestroyWindow(hwnd);
    // A window that was only attached sends us no WM_NCDESTROY: forget it here.
    if (!bound && m_hWnd == hwnd && !IsWindow(hwnd)) m_hWnd = nullptr;
    return ok != FALSE;
}

// ===========================================================================
// Message processing
// ===========================================================================

const CMessageMap& CWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CWnd>(&CCmdTarget::GetThisMessageMap());
    return map;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) {
            *result = 0;
            return true;
        }
        break;
    case WM_NOTIFY: {
        LRESULT r = 0;
        if (OnNotify(wParam, lParam, &r)) {
            *result = r;
            return true;
        }
        break;
    }
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (dis && dis->CtlType != ODT_MENU && ReflectToChild(dis->hwndItem, message, wParam, lParam, result))
            return true;
        break;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (mis && mis->CtlType != ODT_MENU &&
            ReflectToChild(GetDlgItem(static_cast<int>(mis->CtlID)), message, wParam, lParam, result))
            return true;
        break;
    }
    case WM_COMPAREITEM: {
        auto* cis = reinterpret_cast<COMPAREITEMSTRUCT*>(lParam);
        if (cis && ReflectToChild(cis->hwndItem, message, wParam, lParam, result)) return true;
        break;
    }
    case WM_DELETEITEM: {
        auto* dis = reinterpret_cast<DELETEITEMSTRUCT*>(lParam);
        if (dis && ReflectToChild(dis->hwndItem, message, wParam, lParam, result)) return true;
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        if (lParam && ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result)) return true;
        break;
    case WM_IDLEUPDATECMDUI:
        OnIdleUpdateCmdUI(wParam != 0);
        *result = 0;
        return true;
    default:
        break;
    }
    if (const CMessageMap::Entry* e = GetMessageMap().FindMessage(message)) {
        *result = e->onMessage(this, wParam, lParam);
        return true;
    }
    return false;
}

bool CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    CWnd* wnd = FromHandlePermanent(child);
    if (!wnd || wnd == this) return false;
    return wnd->OnChildNotify(message, wParam, lParam, result) != FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const CMessageMap::Entry* e = GetMessageMap().FindMessage(ReflectedMessage(message));
    if (!e) return FALSE;
    LRESULT r = e->onMessage(this, wParam, lParam);
    // A colour handler that answers no brush leaves the colours to the parent.
    bool isColour = message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    if (isColour && r == 0) return FALSE;
    *result = r;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (t_current.hwnd != m_hWnd) return 0;  // not inside a message of this window
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    int code = HIWORD(wParam);
    if (control) {
        LRESULT ignored = 0;
        if (ReflectToChild(control, WM_COMMAND, wParam, lParam, &ignored)) return TRUE;
    } else {
        // Menu items (code 0) and accelerators (code 1) are both commands; a
        // command whose update handler disabled it is not run.
        code = CN_COMMAND;
        CCmdUI state;
        state.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state, false);
        if (!state.m_bEnabled) return TRUE;
    }
    return OnCmdMsg(id, code, nullptr, false) ? TRUE : FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (!nm) return FALSE;
    if (nm->hwndFrom && ReflectToChild(nm->hwndFrom, WM_NOTIFY, static_cast<WPARAM>(nm->idFrom), lParam, result))
        return TRUE;
    const CMessageMap::Entry* e = GetMessageMap().FindNotify(static_cast<UINT>(nm->idFrom), nm->code);
    if (!e) return FALSE;
    *result = 0;
    e->onNotify(this, nm, result);
    return TRUE;
}

void CWnd::OnIdleUpdateCmdUI(bool) {}

void CWnd::PostNcDestroy() {}

void CWnd::UpdateDialogControls(CCmdTarget* target, bool disableIfNoHandler) {
    if (!m_hWnd) return;
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = ::GetDlgCtrlID(child);
        if (id == 0 || id == -1 || id == 0xFFFF) continue;  // no id, or IDC_STATIC
        // Only push buttons are disabled for want of a handler.
        bool pushButton = false;
        if (disableIfNoHandler) {
            wchar_t cls[16] = {};
            GetClassNameW(child, cls, 16);
            DWORD type = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE)) & BS_TYPEMASK;
            pushButton = CompareStringOrdinal(cls, -1, L"Button", -1, TRUE) == CSTR_EQUAL &&
                         (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
        }
        CCmdUI ui;
        ui.m_nID = static_cast<UINT>(id);
        ui.m_hWndOther = child;
        ui.DoUpdate(target, pushButton);
    }
}

void CWnd::UpdateMenuPopup(HMENU popup, bool disableIfNoHandler) {
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separator, or a sub-menu
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = static_cast<UINT>(i);
        ui.m_hMenu = popup;
        ui.DoUpdate(this, disableIfNoHandler && id < 0xF000);  // system commands are left alone
    }
}

// ===========================================================================
// Helpers
// ===========================================================================

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
