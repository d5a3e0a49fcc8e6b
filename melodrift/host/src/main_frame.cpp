#include "main_frame.h"

#include "../res/resource.h"
#include "fw/strutil.h"
#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "host_resources.h"
#include "journix/journix.h"
#include "patinex/patinex.h"
#include "starting_dlg.h"
#include "utilon/utilon.h"
#include "xml/enxml.h"

namespace {
constexpr wchar_t kLogSource[] = L"MainFrame";
const std::wstring kFrameSection = CHostSettings::OwnerSection(ORVO_MAIN_FRAME_NAME);
}  // namespace

CMainFrame::CMainFrame(Setup setup)
    : m_setup(std::move(setup)),
      m_settings(m_setup.configPath),
      m_registry(*this),
      m_bus(m_registry),
      m_services(m_registry, m_bus, m_settings, *this, m_setup.programFolder),
      m_tray(IDR_TRAYICON) {}

CMainFrame::~CMainFrame() = default;

const CMessageMap& CMainFrame::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CMainFrame>(&CMDIFrameWnd::GetThisMessageMap())
        .OnCommandRange(ID_GOTO_FIRST, ID_GOTO_LAST, &CMainFrame::OnGoTo)
        .OnUpdateRange(ID_GOTO_FIRST, ID_GOTO_LAST, &CMainFrame::OnUpdateGoTo)
        .OnCommandRange(ID_SKIN_FIRST, ID_SKIN_LAST_LISTED, &CMainFrame::OnSkin)
        .OnUpdateRange(ID_SKIN_FIRST, ID_SKIN_LAST_LISTED, &CMainFrame::OnUpdateSkin)
        .OnCommand(ID_APP_EXIT_CMD, &CMainFrame::OnExit)
        .OnCommand(ID_FRAME_ZOOM, &CMainFrame::OnRestore)
        .OnCommand(ID_FRAME_MINI, &CMainFrame::OnMinimize)
        .OnMessage(kTrayMessage, &CMainFrame::OnTrayNotification);
    return map;
}

int CMainFrame::OnCreate(CREATESTRUCTW* cs) {
    if (CMDIFrameWnd::OnCreate(cs) == -1) return -1;
    m_tray.SetNotificationWnd(m_hWnd, kTrayMessage);
    HICON icon = fw::LoadResourceIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
    if (!icon) icon = fw::LoadResourceIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON), GetModuleHandleW(nullptr));
    m_tray.SetIcon(icon, mdhost::HostString(IDS_TRAY_TOOLTIP).c_str());

    enJournix()->SetFilterLevel(m_settings.ReadInt(L"Debug", L"FilterLevel", 0));

    SetSplashStatus(mdhost::HostString(IDS_LOADING_MODULES));
    m_viewMenu = m_hMenuDefault ? GetSubMenu(m_hMenuDefault, 2) : nullptr;
    CModuleRegistry::LoadParams params;
    params.programFolder = m_setup.programFolder;
    params.languageShortName = m_setup.languageShortName;
    params.currentSkinName = m_settings.Read(L"CURRENTSKIN", L"name");
    params.languages = m_setup.languages;
    params.viewMenu = m_viewMenu;
    m_registry.Load(params);
    if (m_hMenuDefault) DrawMenuBar(m_hWnd);

    SetSplashStatus(mdhost::HostString(IDS_LOADING_SKIN));
    enJournix()->WriteLogMessage(kLogSource, L"Starting load skin...");
    if (LayOutCurrentSkin()) {
        enJournix()->WriteLogMessage(kLogSource, L"Finished load skin.");
    } else {
        enJournix()->WriteLogMessage(kLogSource, L"Load skin failed.");
        // Without a skin the frame runs without module order; the language menu stays usable.
        AfxPtMessageBox(fw::Format(mdhost::HostString(IDS_NO_SKIN).c_str(), m_setup.languageShortName.c_str()).c_str(),
                        MB_OK | MB_ICONEXCLAMATION, 0);
    }
    SetSplashStatus(mdhost::HostString(IDS_INITIALIZING_FRAME));
    SetStatusText(mdhost::HostString(IDS_READY).c_str());
    return 0;
}

bool CMainFrame::LayOutCurrentSkin() {
    if (m_registry.CurrentSkin() < 0) return false;
    enXml* root = nullptr;
    if (FAILED(GetSkinXMLRoot(this, &root)) || !root || !root->FindChild(L"MAINFRAME")) return false;
    m_registry.ApplyModuleOrder(root);
    return true;
}

void CMainFrame::RestoreFrameState() {
    std::wstring size = m_settings.Read(kFrameSection, L"Size");
    std::wstring left = m_settings.Read(kFrameSection, L"Left"), top = m_settings.Read(kFrameSection, L"Top");
    std::wstring width = m_settings.Read(kFrameSection, L"Width"), height = m_settings.Read(kFrameSection, L"Height");
    RECT r = {100, 100, 1000, 800};
    int l = 0, t = 0, w = 0, h = 0;
    if (fw::ParseInt(left, l) && fw::ParseInt(top, t) && fw::ParseInt(width, w) && fw::ParseInt(height, h) && w > 0 &&
        h > 0)
        r = {l, t, l + w, t + h};
    MoveWindow(r);
    m_registry.ActivateModule(0);
    if (fw::EqualsNoCase(size, L"Maximize")) m_showState = SW_SHOWMAXIMIZED;
    else if (fw::EqualsNoCase(size, L"Minimize")) m_showState = SW_SHOWMINIMIZED;
    else m_showState = SW_SHOWNORMAL;
}

void CMainFrame::SetSplashStatus(const std::wstring& text) {
    if (m_setup.splash) m_setup.splash->SetStatus(text);
}

void CMainFrame::SetFrameTitle(const std::wstring& title) { SetWindowText(title); }

void CMainFrame::SetStatusText(const wchar_t* text) { m_statusText = text ? text : L""; }

void CMainFrame::ShowStatusText(const wchar_t* /*text*/, UINT /*milliseconds*/) {}

void CMainFrame::OnActivationChanged() {
    FitActiveModule();
    if (m_hMenuDefault) DrawMenuBar(m_hWnd);
}

void CMainFrame::RecalcLayout() {
    CMDIFrameWnd::RecalcLayout();
    FitActiveModule();
}

void CMainFrame::FitActiveModule() {
    CModuleEntry* active = m_registry.FindActive();
    if (!active || !m_hWndMDIClient) return;
    RECT client = {};
    ::GetClientRect(m_hWndMDIClient, &client);
    ::SetWindowPos(active->Window, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if (m_registry.PreTranslateMessage(msg)) return TRUE;
    return CMDIFrameWnd::PreTranslateMessage(msg);
}

bool CMainFrame::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    if (m_registry.OnCmdMsg(id, code, extra, queryOnly)) return true;
    return CMDIFrameWnd::OnCmdMsg(id, code, extra, queryOnly);
}

void CMainFrame::OnGoTo(UINT id) { m_registry.ActivateModule(static_cast<int>(id - ID_GOTO_FIRST)); }

void CMainFrame::OnUpdateGoTo(CCmdUI* ui) {
    ui->SetCheck(m_registry.GetActiveOrder() == static_cast<int>(ui->m_nID - ID_GOTO_FIRST) ? 1 : 0);
}

void CMainFrame::OnSkin(UINT id) {
    int index = static_cast<int>(id - ID_SKIN_FIRST);
    if (id > ID_SKIN_LAST_HANDLED || index >= m_registry.Skins().GetSize()) return;
    int previous = m_registry.CurrentSkin();
    const std::wstring path = m_registry.Skins()[index].Path;
    if (SUCCEEDED(LoadStandardSkin(path.c_str()))) {
        m_registry.SetCurrentSkin(index);
        if (LayOutCurrentSkin()) {
            if (CModuleEntry* active = m_registry.FindActive()) m_registry.ActivateEntry(active);
            return;
        }
    }
    // Back to the skin that worked.
    if (previous >= 0) {
        LoadStandardSkin(m_registry.Skins()[previous].Path.c_str());
        m_registry.SetCurrentSkin(previous);
        LayOutCurrentSkin();
    }
    AfxPtMessageBox((L"Can't load skin: " + path).c_str(), MB_OK | MB_ICONEXCLAMATION, 0);
}

void CMainFrame::OnUpdateSkin(CCmdUI* ui) {
    ui->Enable(ui->m_nID <= ID_SKIN_LAST_HANDLED);
    ui->SetCheck(static_cast<int>(ui->m_nID - ID_SKIN_FIRST) == m_registry.CurrentSkin() ? 1 : 0);
}

void CMainFrame::OnExit() { PostMessage(WM_CLOSE); }

void CMainFrame::OnRestore() {
    ShowWindow(IsIconic(m_hWnd) || !IsWindowVisible() ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(m_hWnd);
}

void CMainFrame::OnMinimize() { ShowWindow(SW_MINIMIZE); }

LRESULT CMainFrame::OnTrayNotification(WPARAM wParam, LPARAM lParam) { return m_tray.OnTrayNotification(wParam, lParam); }

bool CMainFrame::PrepareClose(bool force) {
    if (m_closed) return true;
    if (!m_registry.TryCloseModules() && !force) return false;
    m_bus.WriteLog(CMessageBus::LogPathFor(fw::GetModulePath(nullptr)));
    m_bus.WriteModulesOrder(m_settings.Path());

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (GetWindowPlacement(m_hWnd, &placement)) {
        const wchar_t* size = placement.showCmd == SW_SHOWMAXIMIZED   ? L"Maximize"
                              : placement.showCmd == SW_SHOWMINIMIZED ? L"Minimize"
                                                                       : L"Exact";
        const RECT& r = placement.rcNormalPosition;
        m_settings.Write(kFrameSection, L"Size", size);
        m_settings.Write(kFrameSection, L"Left", std::to_wstring(r.left).c_str());
        m_settings.Write(kFrameSection, L"Top", std::to_wstring(r.top).c_str());
        m_settings.Write(kFrameSection, L"Width", std::to_wstring(r.right - r.left).c_str());
        m_settings.Write(kFrameSection, L"Height", std::to_wstring(r.bottom - r.top).c_str());
    }
    m_registry.Unload();
    if (m_registry.CurrentSkin() >= 0)
        m_settings.Write(L"CURRENTSKIN", L"Name", m_registry.Skins()[m_registry.CurrentSkin()].Caption.c_str());
    // The three pop-ups belong to the registry, not to the menu bar.
    if (m_viewMenu)
        for (HMENU popup : {m_registry.GoToMenu(), m_registry.SkinsMenu(), m_registry.LanguageMenu()})
            for (int i = GetMenuItemCount(m_viewMenu) - 1; i >= 0; --i)
                if (GetSubMenu(m_viewMenu, i) == popup) RemoveMenu(m_viewMenu, static_cast<UINT>(i), MF_BYPOSITION);
    m_tray.SetIcon(nullptr, nullptr);
    m_closed = true;
    return true;
}

void CMainFrame::OnClose() {
    if (!PrepareClose(m_bForceClose)) return;
    CMDIFrameWnd::OnClose();
}
