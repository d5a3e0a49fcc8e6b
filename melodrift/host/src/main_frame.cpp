#include "main_frame.h"

#include "../res/resource.h"
#include "frame_effects.h"
#include "fw/strutil.h"
#include "fw/win/module.h"
#include "fw/win/resources.h"
#include "host_resources.h"
#include "journix/journix.h"
#include "patinex/patinex.h"
#include "starting_dlg.h"
#include "surround/surround_dialogs.h"
#include "utilon/utilon.h"
#include "xml/enxml.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr wchar_t kLogSource[] = L"MainFrame";
const std::wstring kFrameSection = CHostSettings::OwnerSection(ORVO_MAIN_FRAME_NAME);

const wchar_t* OnOff(bool on) { return on ? L"On" : L"Off"; }

std::wstring DataFolderOf(const std::wstring& configPath) {
    std::size_t slash = configPath.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : configPath.substr(0, slash + 1);
}

// Height a dialog frame adds to a window.
RECT DialogFrameBorder() {
    RECT r = {0, 0, 0, 0};
    AdjustWindowRect(&r, WS_DLGFRAME, FALSE);
    return r;
}

BOOL CALLBACK SendSkinChanged(HWND child, LPARAM) {
    ::SendMessageW(child, 0x046F, 0, 0);
    return TRUE;
}
}  // namespace

CMainFrame::CMainFrame(Setup setup)
    : m_setup(std::move(setup)),
      m_settings(m_setup.configPath),
      m_registry(*this),
      m_bus(m_registry),
      m_services(m_registry, m_bus, m_settings, *this, m_setup.programFolder),
      m_tray(IDR_TRAYICON) {
    InitializeCriticalSection(&m_lock);
    InitializeCriticalSection(&m_statusLock);
}

CMainFrame::~CMainFrame() {
    DestroyModuleButtons();
    if (m_mergedMenu) DestroyMenu(m_mergedMenu);
    if (m_voiceMenu) DestroyMenu(m_voiceMenu);
    if (m_specialMenu) DestroyMenu(m_specialMenu);
    DeleteCriticalSection(&m_statusLock);
    DeleteCriticalSection(&m_lock);
}

int CMainFrame::Message(const std::wstring& text, UINT type) {
    if (m_setup.messageBox) return m_setup.messageBox(text, type);
    return AfxPtMessageBox(text.c_str(), type, 0);
}

int CMainFrame::OnCreate(CREATESTRUCTW* cs) {
    // 1-3: tooltips, no caption, tray icon.
    m_controls.LoadTooltips([](UINT id) { return mdhost::HostString(id); });
    SetModuleButtonDropText(mdhost::HostString(IDS_CANNOT_DROP));
    ModifyStyle(WS_CAPTION, 0);
    m_tray.SetNotificationWnd(m_hWnd, kTrayMessage);
    HICON icon = fw::LoadResourceIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON));
    if (!icon) icon = fw::LoadResourceIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXSMICON), GetModuleHandleW(nullptr));
    m_tray.SetIcon(icon, mdhost::HostString(IDS_TRAY_TOOLTIP).c_str());

    // 4: the panels.
    SetSplashStatus(mdhost::HostString(IDS_CREATING_SKIN_ELEMENTS));
    m_controls.CreatePanels(this);

    // 5: the engines and the surround settings; the log's filter level.
    m_player = std::make_unique<CExtPlayerDX>();
    m_micro = std::make_unique<CExtMicro>();
    m_eqPresets = LoadEqualizerPresets(EqualizerPresetsPath(m_setup.programFolder, m_setup.languageShortName));
    m_surroundSettingsPath = DataFolderOf(m_setup.configPath) + L"Rezodovave.xml";
    m_surroundPresetsPath = SurroundPresetsPath(m_setup.programFolder, m_setup.languageShortName);
    m_surround = std::make_unique<CSurroundDlg>(*m_player, m_surroundSettingsPath, m_surroundPresetsPath, this, this);
    enJournix()->SetFilterLevel(m_settings.ReadInt(L"Debug", L"FilterLevel", 0));

    // 6-7: the framework's frame (the MDI client with it), disabled while it is built.
    if (CMDIFrameWnd::OnCreate(cs) == -1) return -1;
    EnableWindow(false);
    m_frameMenu = m_hMenuDefault;
    m_frameAccel = m_hAccelTable;
    m_hAccelTable = nullptr;
    ::SetMenu(m_hWnd, nullptr);  // the menu opens from the skinned menu buttons
    if (m_hWndMDIClient) {
        m_modulesFrame.SubclassWindow(m_hWndMDIClient);
        ::SetWindowPos(m_hWndMDIClient, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    m_menuTexts.voiceMorphing = mdhost::HostString(316);
    m_menuTexts.morph = mdhost::HostString(317);
    m_menuTexts.singleEffects = mdhost::HostString(318);
    m_menuTexts.specialEffects = mdhost::HostString(319);
    m_menuTexts.window = mdhost::HostString(322);
    m_menuTexts.help = mdhost::HostString(323);
    m_menuTexts.none326 = mdhost::HostString(326);
    m_menuTexts.none327 = mdhost::HostString(327);
    m_menuTexts.aboutFormat = mdhost::HostString(IDS_ABOUT_FORMAT);

    // 8: the effect menus.
    SetSplashStatus(mdhost::HostString(IDS_LOADING_EFFECTS));
    std::vector<mdframe::EffectDescription> effects;
    effects = m_setup.effects ? m_setup.effects() : mdframe::ReadEffectTable(m_setup.programFolder);
    enJournix()->WriteLogMessage(kLogSource, L"Creating Voice Morphing SubMenu...");
    m_voiceMenu = mdframe::BuildEffectMenu(effects, mdframe::kVoiceMorphingType, m_menuTexts.none327);
    enJournix()->WriteLogMessage(kLogSource, L"Voice Morphing SubMenu created.");
    enJournix()->WriteLogMessage(kLogSource, L"Creating Special Effect SubMenu...");
    m_specialMenu = mdframe::BuildEffectMenu(effects, mdframe::kSpecialEffectType, m_menuTexts.none327);
    enJournix()->WriteLogMessage(kLogSource, L"Special Effect SubMenu created.");

    // 9: skins and modules. Without a skin for the language nothing is loaded:
    // the frame could show no control, not even a way to another language.
    if (CModuleRegistry::DiscoverSkins(m_setup.programFolder, m_setup.languageShortName).IsEmpty()) {
        enJournix()->WriteLogMessage(kLogSource, L"Load skin failed.");
        ReportNoSkin();
        return -1;
    }
    SetSplashStatus(mdhost::HostString(IDS_LOADING_MODULES));
    m_viewMenu = m_frameMenu ? GetSubMenu(m_frameMenu, 2) : nullptr;
    CModuleRegistry::LoadParams params;
    params.programFolder = m_setup.programFolder;
    params.languageShortName = m_setup.languageShortName;
    params.currentSkinName = m_settings.Read(L"CURRENTSKIN", L"name");
    params.languages = m_setup.languages;
    params.viewMenu = m_viewMenu;
    m_registry.Load(params);
    RecalcLayout();

    // 10: the current skin.
    SetSplashStatus(mdhost::HostString(IDS_LOADING_SKIN));
    enJournix()->WriteLogMessage(kLogSource, L"Starting load skin...");
    if (m_registry.CurrentSkin() < 0 || !LayOutCurrentSkin()) {
        enJournix()->WriteLogMessage(kLogSource, L"Load skin failed.");
        std::wstring path = m_registry.CurrentSkin() >= 0 ? m_registry.Skins()[m_registry.CurrentSkin()].Path : SkinsFolder();
        Message(L"Can't load skin " + path, MB_OK | MB_ICONSTOP);
        if (m_setup.exitProcess) {
            m_setup.exitProcess(1);
            return -1;
        }
        ExitProcess(1);
    } else {
        enJournix()->WriteLogMessage(kLogSource, L"Finished load skin.");
    }

    // 11: options, player, equalizer and surround.
    SetSplashStatus(mdhost::HostString(IDS_INITIALIZING_FRAME));
    ReadFrameOptions();
    ApplyPlayerOptions();
    m_eq = LoadEqualizerSettings(m_setup.configPath);
    m_eq.on = fw::EqualsNoCase(m_settings.Read(L"PLAYER", L"EqualizerTurn"), L"On");
    ApplyEqualizerSettings(*m_player, m_eq);
    ApplyEqualizerToControls();
    m_surround->SetSurroundOn(m_surroundOn);
    m_surround->LoadSettings(true, m_setup.testSurroundSupport ? TestSurroundSupport() : m_setup.surroundSupport);
    EnableWindow(true);

    // 12: the status line.
    SetStatusText(mdhost::HostString(IDS_READY).c_str());
    std::wstring version = fw::Format(L"%i.%i.%i", 4, 0, 96);
    ShowStatusText(fw::Format(mdhost::HostString(IDS_LOADED_SUCCESSFULLY).c_str(), L"Melodrift", version.c_str()).c_str(),
                   5000);
    RebuildMenus();

    // 13: the media keys, where no other program holds them.
    HoldMediaKeys();
    return 0;
}

bool CMainFrame::LayOutCurrentSkin() {
    EnterCriticalSection(&m_lock);
    bool ok = false;
    enXml* root = nullptr;
    const enXml* mainframe = nullptr;
    if (m_registry.CurrentSkin() >= 0 && SUCCEEDED(GetSkinXMLRoot(this, &root)) && root)
        mainframe = root->FindChild(L"MAINFRAME");
    if (mainframe) {
        // Module buttons go with the other controls; the registry clears their entries.
        DestroyModuleButtons();
        ok = m_controls.LayOut(this, mainframe, SkinsFolder());

        const _sSkin& skin = m_registry.Skins()[m_registry.CurrentSkin()];
        m_minSize = mdframe::MinimumFrameSize(m_controls.PanelSizes(), skin.Width, skin.Height);

        ApplyEqualizerToControls();
        // The surround settings as their file holds them (the engine keeps what was applied).
        if (m_surround) m_surround->LoadSettings(false, m_surround->Controller().SupportFlags());
        SetChecks(mdframe::kCmdSurroundShow, m_surroundOn);
        SetChecks(mdframe::kCmdShuffle, m_shuffle);
        SetChecks(mdframe::kCmdRepeat, m_repeat);
        SetChecks(mdframe::kCmdEqualizerTurn, m_eq.on);
        SetChecks(mdframe::kCmdPlayerPanel, !m_playerPanel);
        m_controls.ForEach(mdframe::kCmdStatusBar, [&](HWND h) { ::SetWindowTextW(h, m_statusText.c_str()); });

        m_registry.ApplyModuleOrder(root);

        // At least the minimum size, the left-top corner kept.
        RECT w = GetWindowRect();
        RECT border = DialogFrameBorder();
        LONG minW = m_minSize.cx + (border.right - border.left), minH = m_minSize.cy + (border.bottom - border.top);
        if (w.right - w.left < minW || w.bottom - w.top < minH)
            SetWindowPos(nullptr, 0, 0, std::max(w.right - w.left, minW), std::max(w.bottom - w.top, minH),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_laidOut = true;
        LayOutFrame();
        RefreshCommandStates();
        EnumChildWindows(m_hWnd, &SendSkinChanged, 0);
    }
    LeaveCriticalSection(&m_lock);
    return ok;
}

void CMainFrame::ReportNoSkin() {
    if (m_setup.splash && m_setup.splash->m_hWnd) m_setup.splash->ShowWindow(SW_HIDE);
    // A language whose skins are there: the first one (English comes first).
    const LanguageEntry* other = nullptr;
    if (m_setup.languages && m_setup.restartInLanguage)
        for (int i = 0; i < m_setup.languages->GetSize() && !other; ++i) {
            const LanguageEntry& e = (*m_setup.languages)[i];
            if (!fw::EqualsNoCase(e.ShortName, m_setup.languageShortName) &&
                !CModuleRegistry::DiscoverSkins(m_setup.programFolder, e.ShortName).IsEmpty())
                other = &e;
        }
    std::wstring text = fw::Format(mdhost::HostString(IDS_NO_SKIN).c_str(), m_setup.languageShortName.c_str(),
                                   SkinsFolder().c_str());
    if (other) {
        text += L"\n\n" + fw::Format(mdhost::HostString(IDS_NO_SKIN_SWITCH).c_str(), other->Name.c_str());
        if (Message(text, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) m_setup.restartInLanguage(*other);
        return;
    }
    Message(text + L"\n\n" + mdhost::HostString(IDS_NO_SKIN_REINSTALL), MB_OK | MB_ICONSTOP);
}

void CMainFrame::DestroyModuleButtons() {
    for (CModuleEntry* e : m_registry.Entries()) e->Button = nullptr;
    for (CModuleButton* button : m_moduleButtons) delete button;
    m_moduleButtons.clear();
    for (_CONTROL_INFO_STRUCT_* info : m_moduleInfos) {
        while (info->controls) {
            _MAINFRAME_CONTROL_* c = info->controls;
            info->controls = c->next;
            delete c;
        }
        delete info;
    }
    m_moduleInfos.clear();
}

void* CMainFrame::CreateModuleButton(const enXml& child, CModuleEntry* module) {
    std::wstring name;
    child.GetAttribute(L"Name", name);
    if (fw::EqualsNoCase(name, L"Playvox")) return nullptr;
    auto* info = new _CONTROL_INFO_STRUCT_;
    info->name = info->tooltip = name;
    UINT id = 0;
    if (module) {
        id = kModuleButtonFirst + static_cast<UINT>(module->Order);
        info->commandId = static_cast<std::int32_t>(id);
        info->name = info->tooltip = module->DisplayName;
    }
    auto* button = new CModuleButton;
    if (!button->CreateButton(this, name, id)) {
        delete button;
        m_moduleInfos.push_back(info);
        return nullptr;
    }
    if (!module) button->EnableWindow(false);
    m_moduleButtons.push_back(button);
    info->controls = new _MAINFRAME_CONTROL_{id, button, info->controls};
    m_moduleInfos.push_back(info);

    const enXml* look = child.FindChild(L"ModuleButton");
    std::wstring source, owner;
    if (look && look->GetAttribute(L"Source", source)) {
        HANDLE picture = m_controls.OpenPicture(SkinsFolder(), source);
        if (picture != INVALID_HANDLE_VALUE) {
            std::wstring path = SkinsFolder() + source;
            PT_SKIN_RESOURCE resource = {sizeof(PT_SKIN_RESOURCE), picture, nullptr, path.c_str(), look};
            button->UseCustomSkin(&resource);
            look->GetAttribute(L"Owner", owner);
            int panel = mdframe::FindPanel(owner);
            if (panel >= 0 && m_controls.Panel(panel) && m_controls.Panel(panel)->AutoDisposeControl(button->m_hWnd, look))
                m_controls.MarkPlaced(button->m_hWnd);
        }
    }
    if (!info->name.empty()) button->SetTooltip(L"", info->name.c_str());
    return button;
}

void CMainFrame::CheckModuleButton(void* button, bool checked) {
    for (CModuleButton* b : m_moduleButtons)
        if (b == button && b->m_hWnd) b->SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
}

void CMainFrame::SetChecks(UINT command, bool checked) {
    m_controls.ForEach(command, [&](HWND h) { ::SendMessageW(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); });
}

void CMainFrame::ReadFrameOptions() {
    std::wstring panel = m_settings.Read(L"FRAME OPTIONS", L"PanelPlayer", L"On");
    m_playerPanel = fw::EqualsNoCase(panel, L"On");
    SetChecks(mdframe::kCmdPlayerPanel, !m_playerPanel);
    if (!fw::EqualsNoCase(m_settings.Read(kFrameSection, L"PMEqualizerShow"), L"false"))
        SetChecks(mdframe::kCmdEqualizerShow, true);
}

void CMainFrame::ApplyPlayerOptions() {
    auto on = [&](const wchar_t* key) { return fw::EqualsNoCase(m_settings.Read(L"PLAYER", key), L"On"); };
    m_shuffle = on(L"Shuffle");
    m_repeat = on(L"Repeat");
    m_eq.on = on(L"EqualizerTurn");
    m_surroundOn = on(L"RezodovaveTurn");
    m_services.SetShuffle(m_shuffle);
    m_services.SetRepeat(m_repeat);
    SetChecks(mdframe::kCmdShuffle, m_shuffle);
    SetChecks(mdframe::kCmdRepeat, m_repeat);
    SetChecks(mdframe::kCmdEqualizerTurn, m_eq.on);
    if (m_player) m_player->SetSurroundOn(m_surroundOn);
    SetChecks(mdframe::kCmdSurroundShow, m_surroundOn);
    if (m_player) {
        int volume = m_player->GetVolume(), balance = m_player->GetBalance();
        m_controls.ForEach(mdframe::kCmdVolume, [&](HWND h) { ::SendMessageW(h, TBM_SETPOS, TRUE, volume); });
        m_controls.ForEach(mdframe::kCmdBalance, [&](HWND h) { ::SendMessageW(h, TBM_SETPOS, TRUE, balance); });
    }
}

void CMainFrame::ApplyEqualizerToControls() {
    for (int band = 0; band < 10; ++band)
        m_controls.ForEach(mdframe::kCmdEqualizerFirst + 10u * static_cast<UINT>(band),
                           [&](HWND h) { ::SendMessageW(h, TBM_SETPOS, TRUE, m_eq.positions[band]); });
}

void CMainFrame::SaveEqualizerFromControls() {
    for (int band = 0; band < 10; ++band)
        if (_MAINFRAME_CONTROL_* c = m_controls.Controls(mdframe::kCmdEqualizerFirst + 10u * static_cast<UINT>(band)))
            if (c->control && c->control->m_hWnd)
                m_eq.positions[band] = static_cast<std::int32_t>(::SendMessageW(c->control->m_hWnd, TBM_GETPOS, 0, 0));
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
    if (fw::EqualsNoCase(size, L"Maximize")) m_showState = SW_SHOWMAXIMIZED;
    else if (fw::EqualsNoCase(size, L"Minimize")) m_showState = SW_SHOWMINIMIZED;
    else m_showState = SW_SHOWNORMAL;

    for (int i = 0; i < mdframe::kPanelCount; ++i)
        if (m_controls.Panel(i) && m_controls.Panel(i)->m_hWnd) m_controls.Panel(i)->ShowWindow(SW_SHOW);
    m_registry.ActivateModule(0);
    LayOutFrame();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(m_hWnd, &placement);
    placement.rcNormalPosition = r;
    placement.showCmd = IsWindowVisible() ? static_cast<UINT>(m_showState) : SW_HIDE;
    SetWindowPlacement(m_hWnd, &placement);
    if (m_showState == SW_SHOWMAXIMIZED) {
        ModifyStyle(WS_OVERLAPPEDWINDOW, 0);
    } else {
        ModifyStyle(0, WS_OVERLAPPEDWINDOW);
        ModifyStyle(WS_CAPTION, 0);
    }
    if (m_showState == SW_SHOWMINIMIZED) {
        SendMessage(WM_COMMAND, MAKEWPARAM(mdframe::kCmdMinimize, 0), 0);
        m_showState = SW_HIDE;  // it waits in the tray
    }
    ApplyPlayerOptions();
}

void CMainFrame::StorePlacement(bool fromWindowRect) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(m_hWnd, &placement)) return;
    bool maximized = placement.showCmd == SW_SHOWMAXIMIZED || (fromWindowRect && IsZoomed(m_hWnd));
    bool minimized = placement.showCmd == SW_SHOWMINIMIZED || (fromWindowRect && IsIconic(m_hWnd));
    const wchar_t* size = maximized ? L"Maximize" : minimized ? L"Minimize" : L"Exact";
    m_settings.Write(kFrameSection, L"Size", size);
    if (fromWindowRect && (maximized || minimized)) return;
    RECT r = fromWindowRect ? GetWindowRect() : placement.rcNormalPosition;
    m_settings.Write(kFrameSection, L"Left", std::to_wstring(r.left).c_str());
    m_settings.Write(kFrameSection, L"Top", std::to_wstring(r.top).c_str());
    m_settings.Write(kFrameSection, L"Width", std::to_wstring(r.right - r.left).c_str());
    m_settings.Write(kFrameSection, L"Height", std::to_wstring(r.bottom - r.top).c_str());
}

void CMainFrame::SetSplashStatus(const std::wstring& text) {
    if (m_setup.splash) m_setup.splash->SetStatus(text);
}

void CMainFrame::SetFrameTitle(const std::wstring& title) { SetWindowText(title); }

void CMainFrame::OnActivationChanged() {
    RebuildMenus();
    LayOutFrame();
    RefreshCommandStates();
}

void CMainFrame::OnModuleMenuChanged(CModuleEntry* module) {
    if (module && module->Active) RebuildMenus();
}

void CMainFrame::RebuildMenus() {
    if (!m_frameMenu) return;
    CModuleEntry* active = m_registry.FindActive();
    std::vector<HMENU> menus;
    for (CModuleEntry* e : m_registry.Entries()) menus.push_back(e->Menu);
    HMENU merged = mdframe::BuildMergedMenu(m_frameMenu, active ? active->Menu : nullptr, menus, m_voiceMenu, m_menuTexts);
    if (m_mergedMenu) DestroyMenu(m_mergedMenu);
    m_mergedMenu = merged;
    m_morphCommands = mdframe::MorphCommands(merged, m_menuTexts);
    HACCEL accel = mdframe::BuildAccelerators(active ? active->Accel : nullptr, m_frameAccel);
    if (m_hAccelTable) DestroyAcceleratorTable(m_hAccelTable);
    m_hAccelTable = accel;
}

HMENU CMainFrame::MenuOfButton(UINT command) const {
    if (!m_mergedMenu || command < mdframe::kCmdMenuFirst || command > mdframe::kCmdMenuLast) return nullptr;
    return GetSubMenu(m_mergedMenu, static_cast<int>((command - mdframe::kCmdMenuFirst) / 10));
}

void CMainFrame::RecalcLayout() { LayOutFrame(); }

void CMainFrame::LayOutFrame() {
    if (!m_hWnd) return;
    if (IsZoomed(m_hWnd)) {
        RECT work = {};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        RECT w = GetWindowRect();
        if (!EqualRect(&w, &work))
            ::SetWindowPos(m_hWnd, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
        ModifyStyle(WS_THICKFRAME, 0);
    } else if (!(GetStyle() & WS_THICKFRAME)) {
        // Back from maximised by any way (the task bar, the system): the sizing border again.
        ModifyStyle(0, WS_THICKFRAME);
    }
    RECT border = DialogFrameBorder();
    m_layout = mdframe::ComputeFrameLayout(GetClientRect(), m_controls.PanelSizes(), border.bottom - border.top,
                                           m_playerPanel);
    for (int i = 0; i < mdframe::kPanelCount; ++i) {
        CAutoPanel* panel = m_controls.Panel(i);
        if (!panel || !panel->m_hWnd) continue;
        const RECT& r = m_layout.panel[i];
        if (i == mdframe::kPanelPlayer && !m_layout.playerShown) {
            panel->ShowWindow(SW_HIDE);
            continue;
        }
        ::SetWindowPos(panel->m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | (i == mdframe::kPanelPlayer ? SWP_SHOWWINDOW : 0));
    }
    if (m_hWndMDIClient) {
        const RECT& c = m_layout.client;
        ::SetWindowPos(m_hWndMDIClient, nullptr, c.left, c.top, c.right - c.left, c.bottom - c.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(m_hWndMDIClient, nullptr, TRUE);
    }
    for (int i = 0; i < mdframe::kPanelCount; ++i)
        if (m_controls.Panel(i) && m_controls.Panel(i)->m_hWnd) m_controls.Panel(i)->Invalidate(false);
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
    // The active module first: its own handler for an id the frame maps too
    // (its Window pop-up, for example) wins over the frame's.
    if (m_registry.OnCmdMsg(id, code, extra, queryOnly)) return true;
    if (CMDIFrameWnd::OnCmdMsg(id, code, extra, queryOnly)) return true;
    // The effects (the Morph pop-up and the Effects Library) are the program's:
    // the player's and the recorder's modules carry them out from behind too.
    const bool effects = id == ID_VIEW_EFFECTS_LIBRARY ||
                         std::binary_search(m_morphCommands.begin(), m_morphCommands.end(), id);
    return effects && m_registry.OnCmdMsgInactive(id, code, extra, queryOnly);
}

bool CMainFrame::PrepareClose(bool force) {
    if (m_closed) return true;
    if (!m_registry.TryCloseModules() && !force) return false;
    m_bus.WriteLog(CMessageBus::LogPathFor(fw::GetModulePath(nullptr)));
    m_bus.WriteModulesOrder(m_settings.Path());
    StorePlacement(false);

    m_registry.Unload();
    if (m_hAccelTable) DestroyAcceleratorTable(m_hAccelTable);
    m_hAccelTable = nullptr;

    m_settings.Write(L"FRAME OPTIONS", L"PanelPlayer", OnOff(m_playerPanel));
    if (m_registry.CurrentSkin() >= 0)
        m_settings.Write(L"CURRENTSKIN", L"Name", m_registry.Skins()[m_registry.CurrentSkin()].Caption.c_str());
    m_settings.Write(L"PLAYER", L"Shuffle", OnOff(m_shuffle));
    m_settings.Write(L"PLAYER", L"Repeat", OnOff(m_repeat));
    m_settings.Write(L"PLAYER", L"EqualizerTurn", OnOff(m_eq.on));
    m_settings.Write(L"PLAYER", L"RezodovaveTurn", OnOff(m_surroundOn));
    SaveEqualizerFromControls();
    SaveEqualizerBands(m_setup.configPath, m_eq);
    if (m_surround) m_surround->SaveSettings();

    // The three pop-ups belong to the registry, not to the frame's menu.
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
