#include "fw/win/app.h"

#include "fw/win/module.h"
#include "fw/win/resources.h"

namespace {
CWinApp* g_app = nullptr;
HINSTANCE g_resourceHandle = nullptr;

BOOL CALLBACK SendIdleUpdate(HWND hwnd, LPARAM lParam) {
    if (CWnd::FromHandlePermanent(hwnd)) ::SendMessageW(hwnd, WM_IDLEUPDATECMDUI, static_cast<WPARAM>(lParam), 0);
    return TRUE;
}
}  // namespace

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() {
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return g_resourceHandle ? g_resourceHandle : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE module) { g_resourceHandle = module; }

CWinApp::CWinApp(const wchar_t* appName) {
    if (appName) m_strAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

const CMessageMap& CWinApp::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CWinApp>(&CCmdTarget::GetThisMessageMap());
    return map;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return static_cast<int>(m_msgCur.wParam); }

BOOL CWinApp::OnIdle(LONG count) {
    if (count <= 0) {
        // Command states of the main window and every window bound below it.
        if (m_pMainWnd && m_pMainWnd->m_hWnd && ::IsWindowVisible(m_pMainWnd->m_hWnd)) {
            HWND main = m_pMainWnd->m_hWnd;
            ::SendMessageW(main, WM_IDLEUPDATECMDUI, TRUE, 0);
            if (IsWindow(main)) EnumChildWindows(main, &SendIdleUpdate, TRUE);
        }
        return TRUE;
    }
    return FALSE;
}

bool CWinApp::IsIdleMessage(const MSG* msg) {
    if (msg->message == WM_MOUSEMOVE || msg->message == WM_NCMOUSEMOVE) {
        // Only a move to a new spot counts.
        bool same = m_lastMouseMsg == msg->message && m_lastMousePos.x == msg->pt.x && m_lastMousePos.y == msg->pt.y;
        m_lastMouseMsg = msg->message;
        m_lastMousePos = msg->pt;
        return !same;
    }
    return msg->message != WM_PAINT && msg->message != 0x0118 /* the caret's timer */;
}

bool CWinApp::PumpMessage() {
    if (!GetMessageW(&m_msgCur, nullptr, 0, 0)) return false;
    if (!PreTranslateMessage(&m_msgCur)) {
        TranslateMessage(&m_msgCur);
        DispatchMessageW(&m_msgCur);
    }
    return true;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
    if (!msg->hwnd) return FALSE;  // a thread message
    HWND main = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (fw::WalkPreTranslateTree(main, msg)) return TRUE;
    // A window outside the main window's family still gets its accelerators.
    if (main && main != msg->hwnd && !IsChild(main, msg->hwnd) && GetAncestor(msg->hwnd, GA_ROOTOWNER) != main &&
        m_pMainWnd->PreTranslateMessage(msg))
        return TRUE;
    return FALSE;
}

int CWinApp::Run() {
    bool idle = true;
    LONG idleCount = 0;
    MSG peek = {};
    for (;;) {
        while (idle && !PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }
        do {
            if (!PumpMessage()) return ExitInstance();
            if (IsIdleMessage(&m_msgCur)) {
                idle = true;
                idleCount = 0;
            }
        } while (PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE));
    }
}

void CWinApp::SetRegistryKey(const wchar_t* key) { m_strRegistryKey = key ? key : L""; }

namespace fw {
const wchar_t* CommandLineAfterProgramName(const wchar_t* p) {
    if (!p) return L"";
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p && *p <= L' ') ++p;
    return p;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return ::MessageBoxW(owner, text ? text : L"", caption ? caption : L"", type);
}
}  // namespace fw

int AfxMessageBox(const wchar_t* text, UINT type) {
    HWND owner = GetActiveWindow();
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main->m_hWnd && ::IsWindowVisible(main->m_hWnd)) owner = GetLastActivePopup(main->m_hWnd);
    }
    CWinApp* app = AfxGetApp();
    return fw::ShowMessageBox(owner, text, app ? app->m_strAppName.c_str() : L"", type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    std::wstring text = fw::LoadResourceString(stringId);
    return AfxMessageBox(text.c_str(), type);
}

int RunApplication(HINSTANCE instance, const wchar_t* cmdLine, int cmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance ? instance : GetModuleHandleW(nullptr);
    app->m_lpCmdLine = cmdLine ? cmdLine : L"";
    app->m_nCmdShow = cmdShow;
    if (app->m_strAppName.empty()) app->m_strAppName = fw::GetFileTitle(fw::GetModulePath(nullptr));
    if (!app->InitInstance()) {
        if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}
