#include "fw/win/wnd.h"

#include "fw/strutil.h"
#include "fw/win/app.h"

#include <mutex>
#include <set>

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
