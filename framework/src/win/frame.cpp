#include "fw/win/frame.h"

#include "fw/win/app.h"
#include "fw/win/resources.h"

namespace {

const wchar_t* FrameClass(HICON icon) {
    return fw::RegisterWindowClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW),
                                   reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon);
}

bool IsKeyboardMessage(const MSG* msg) { return msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST; }

}  // namespace

// ===========================================================================
// CFrameWnd
// ===========================================================================

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() {
    // Only left when the window never took the menu (creation failed early).
    if (m_hMenuDefault && IsMenu(m_hMenuDefault)) DestroyMenu(m_hMenuDefault);
}

const CMessageMap& CFrameWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CFrameWnd>(&CWnd::GetThisMessageMap())
        .OnMessage(WM_CREATE, &CFrameWnd::HandleCreate)
        .OnMessage(WM_CLOSE, &CFrameWnd::HandleClose)
        .OnMessage(WM_SIZE, &CFrameWnd::HandleSize)
        .OnMessage(WM_INITMENUPOPUP, &CFrameWnd::HandleInitMenuPopup);
    return map;
}

bool CFrameWnd::Create(const wchar_t* className, const wchar_t* title, DWORD style, const RECT* rect, CWnd* parent,
                       UINT menuId, DWORD exStyle) {
    HMENU menu = menuId ? fw::LoadResourceMenu(menuId) : nullptr;
    m_hMenuDefault = menu;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (rect) {
        x = rect->left;
        y = rect->top;
        w = rect->right - rect->left;
        h = rect->bottom - rect->top;
    }
    bool ok = CreateEx(exStyle, className ? className : FrameClass(nullptr), title, style, x, y, w, h,
                       parent ? parent->m_hWnd : nullptr, (style & WS_CHILD) ? nullptr : menu);
    // On failure the frame may have deleted itself; the menu only goes with a
    // window that existed.
    if (!ok && menu && IsMenu(menu)) DestroyMenu(menu);
    return ok;
}

bool CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent) {
    std::wstring title = fw::LoadResourceString(resourceId);
    std::size_t lineBreak = title.find(L'\n');
    if (lineBreak != std::wstring::npos) title.resize(lineBreak);
    HMENU menu = fw::LoadResourceMenu(resourceId);
    m_hMenuDefault = menu;
    m_hAccelTable = fw::LoadResourceAccelerators(resourceId);
    HICON icon = fw::LoadResourceIcon(resourceId);
    bool ok = CreateEx(0, FrameClass(icon), title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                       CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, menu);
    if (!ok && menu && IsMenu(menu)) DestroyMenu(menu);
    return ok;
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The frame's own menu goes with its window, also when a program took it
    // off the window meanwhile.
    if (message == WM_DESTROY && m_hMenuDefault) {
        if ((GetStyle() & WS_CHILD) || ::GetMenu(m_hWnd) != m_hMenuDefault) ::DestroyMenu(m_hMenuDefault);
        m_hMenuDefault = nullptr;  // otherwise the system destroys it with the window
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CFrameWnd::PostNcDestroy() {
    if (m_bAutoDelete) delete this;
}

LRESULT CFrameWnd::HandleCreate(WPARAM, LPARAM lParam) {
    if (Default() == -1) return -1;
    return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
}

int CFrameWnd::OnCreate(CREATESTRUCTW* cs) { return OnCreateClient(cs) ? 0 : -1; }

BOOL CFrameWnd::OnCreateClient(CREATESTRUCTW*) { return TRUE; }

LRESULT CFrameWnd::HandleClose(WPARAM, LPARAM) {
    OnClose();
    return 0;
}

void CFrameWnd::OnClose() { DestroyWindow(); }

LRESULT CFrameWnd::HandleSize(WPARAM wParam, LPARAM) {
    // Not passed on: an MDI frame's default would size the client itself.
    if (wParam != SIZE_MINIMIZED) RecalcLayout();
    return 0;
}

void CFrameWnd::RecalcLayout() {}

LRESULT CFrameWnd::HandleInitMenuPopup(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(lParam)) return Default();  // the window menu
    UpdateMenuPopup(reinterpret_cast<HMENU>(wParam), m_bAutoMenuEnable);
    return 0;
}

bool CFrameWnd::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    if (CWnd::OnCmdMsg(id, code, extra, queryOnly)) return true;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code, extra, queryOnly);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg) {
    return IsKeyboardMessage(msg) && m_hAccelTable && TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg);
}

void CFrameWnd::OnIdleUpdateCmdUI(bool) { UpdateDialogControls(this, false); }

void CFrameWnd::ActivateFrame(int cmdShow) {
    if (cmdShow == -1) cmdShow = IsIconic(m_hWnd) ? SW_RESTORE : SW_SHOW;
    ShowWindow(cmdShow);
    SetForegroundWindow(m_hWnd);
}

// ===========================================================================
// CMDIFrameWnd
// ===========================================================================

CMDIFrameWnd::CMDIFrameWnd() = default;

const CMessageMap& CMDIFrameWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CMDIFrameWnd>(&CFrameWnd::GetThisMessageMap())
        .OnCommandRange(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_VERT, &CMDIFrameWnd::OnWindowCommand);
    return map;
}

bool CMDIFrameWnd::CreateClient(HMENU windowMenu, DWORD style, UINT id, DWORD exStyle) {
    if (m_hWndMDIClient) return false;
    CLIENTCREATESTRUCT ccs = {};
    ccs.hWindowMenu = windowMenu;
    ccs.idFirstChild = AFX_IDM_FIRST_MDICHILD;
    RECT rc = GetClientRect();
    m_hWndMDIClient = CreateWindowExW(exStyle, L"MDICLIENT", nullptr, style | WS_CHILD, rc.left, rc.top,
                                      rc.right - rc.left, rc.bottom - rc.top, m_hWnd,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
                                      &ccs);
    return m_hWndMDIClient != nullptr;
}

BOOL CMDIFrameWnd::OnCreateClient(CREATESTRUCTW*) {
    // The window list goes into the pop-up that holds the Window commands.
    HMENU windowMenu = nullptr;
    if (m_hMenuDefault) {
        int count = GetMenuItemCount(m_hMenuDefault);
        for (int i = 0; i < count && !windowMenu; ++i) {
            HMENU popup = GetSubMenu(m_hMenuDefault, i);
            int items = popup ? GetMenuItemCount(popup) : 0;
            for (int k = 0; k < items; ++k) {
                UINT id = GetMenuItemID(popup, k);
                if (id >= ID_WINDOW_NEW && id <= ID_WINDOW_TILE_VERT) {
                    windowMenu = popup;
                    break;
                }
            }
        }
    }
    return CreateClient(windowMenu) ? TRUE : FALSE;
}

LRESULT CMDIFrameWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcW(m_hWnd, m_hWndMDIClient, message, wParam, lParam);
}

HWND CMDIFrameWnd::MDIGetActive(bool* maximized) const {
    BOOL max = FALSE;
    HWND active = m_hWndMDIClient
                      ? reinterpret_cast<HWND>(::SendMessageW(m_hWndMDIClient, WM_MDIGETACTIVE, 0,
                                                              reinterpret_cast<LPARAM>(&max)))
                      : nullptr;
    if (maximized) *maximized = active && max;
    return active;
}

CMDIChildWnd* CMDIFrameWnd::GetActiveChild() const {
    return dynamic_cast<CMDIChildWnd*>(FromHandlePermanent(MDIGetActive()));
}

bool CMDIFrameWnd::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    // The active child first, then the frame and the application.
    if (CWnd* child = FromHandlePermanent(MDIGetActive()); child && child->OnCmdMsg(id, code, extra, queryOnly))
        return true;
    return CFrameWnd::OnCmdMsg(id, code, extra, queryOnly);
}

BOOL CMDIFrameWnd::PreTranslateMessage(MSG* msg) {
    if (!IsKeyboardMessage(msg)) return FALSE;
    if (m_hWndMDIClient && TranslateMDISysAccel(m_hWndMDIClient, msg)) return TRUE;
    // The active child's accelerators, then the frame's; the commands come to the frame.
    CMDIChildWnd* child = GetActiveChild();
    if (child && child->m_hAccelTable && TranslateAcceleratorW(m_hWnd, child->m_hAccelTable, msg)) return TRUE;
    return CFrameWnd::PreTranslateMessage(msg);
}

void CMDIFrameWnd::RecalcLayout() {
    if (!m_hWndMDIClient) return;
    RECT rc = GetClientRect();
    ::MoveWindow(m_hWndMDIClient, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CMDIFrameWnd::MDIActivate(HWND child) {
    ::SendMessageW(m_hWndMDIClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
}

void CMDIFrameWnd::MDICascade() { ::SendMessageW(m_hWndMDIClient, WM_MDICASCADE, 0, 0); }
void CMDIFrameWnd::MDITile(UINT how) { ::SendMessageW(m_hWndMDIClient, WM_MDITILE, how, 0); }
void CMDIFrameWnd::MDIIconArrange() { ::SendMessageW(m_hWndMDIClient, WM_MDIICONARRANGE, 0, 0); }
void CMDIFrameWnd::MDINext(bool previous) { ::SendMessageW(m_hWndMDIClient, WM_MDINEXT, 0, previous ? 1 : 0); }

void CMDIFrameWnd::MDIMaximize(HWND child) {
    ::SendMessageW(m_hWndMDIClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
}

void CMDIFrameWnd::MDIRestore(HWND child) {
    ::SendMessageW(m_hWndMDIClient, WM_MDIRESTORE, reinterpret_cast<WPARAM>(child), 0);
}

void CMDIFrameWnd::OnWindowCommand(UINT id) {
    switch (id) {
    case ID_WINDOW_ARRANGE: MDIIconArrange(); break;
    case ID_WINDOW_CASCADE: MDICascade(); break;
    case ID_WINDOW_TILE_HORZ: MDITile(MDITILE_HORIZONTAL); break;
    case ID_WINDOW_TILE_VERT: MDITile(MDITILE_VERTICAL); break;
    default: break;
    }
}

// ===========================================================================
// CMDIChildWnd
// ===========================================================================

CMDIChildWnd::CMDIChildWnd() = default;

const CMessageMap& CMDIChildWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CMDIChildWnd>(&CFrameWnd::GetThisMessageMap())
        .OnMessage(WM_SIZE, &CMDIChildWnd::HandleChildSize);
    return map;
}

LRESULT CMDIChildWnd::HandleChildSize(WPARAM wParam, LPARAM) {
    LRESULT result = Default();  // the MDI child procedure needs to see every size change
    if (wParam != SIZE_MINIMIZED) RecalcLayout();
    return result;
}

bool CMDIChildWnd::Create(const wchar_t* className, const wchar_t* title, CMDIFrameWnd* frame, DWORD style,
                          const RECT* rect) {
    if (m_hWnd || !frame || !frame->m_hWndMDIClient) return false;
    m_pMDIFrame = frame;
    MDICREATESTRUCTW mcs = {};
    mcs.szClass = className ? className
                            : fw::RegisterWindowClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                                      LoadCursorW(nullptr, IDC_ARROW),
                                                      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    mcs.szTitle = title;
    mcs.hOwner = GetModuleHandleW(nullptr);
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    if (rect) {
        mcs.x = rect->left;
        mcs.y = rect->top;
        mcs.cx = rect->right - rect->left;
        mcs.cy = rect->bottom - rect->top;
    }
    mcs.style = style & ~static_cast<DWORD>(WS_CHILD);
    HookWindowCreate(this);
    HWND hwnd = reinterpret_cast<HWND>(
        ::SendMessageW(frame->m_hWndMDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    if (!UnhookWindowCreate()) PostNcDestroy();
    return hwnd != nullptr;
}

bool CMDIChildWnd::DestroyWindow() {
    if (!m_hWnd) return false;
    HWND client = ::GetParent(m_hWnd);
    if (!client) return CWnd::DestroyWindow();
    ::SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(m_hWnd), 0);
    return true;
}

bool CMDIChildWnd::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    return CWnd::OnCmdMsg(id, code, extra, queryOnly);
}

BOOL CMDIChildWnd::PreTranslateMessage(MSG*) {
    // A child's accelerators are translated by its frame (it has no menu of its own).
    return FALSE;
}

LRESULT CMDIChildWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcW(m_hWnd, message, wParam, lParam);
}

void CMDIChildWnd::MDIActivate() {
    HWND client = ::GetParent(m_hWnd);
    if (client) ::SendMessageW(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(m_hWnd), 0);
}
