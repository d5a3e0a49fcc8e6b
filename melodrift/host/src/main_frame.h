// CMainFrame: Melodrift's top-level window. This frame hosts the modules in
// an MDI client, loads the skins and modules, keeps the module order of the
// current skin, routes messages, commands and idle time to the active module,
// offers the host interfaces and the message bus, shows the tray icon, and
// closes in order (modules asked, bus log and module order written, modules
// freed). The skinned panels, controls, merged menus and audio engines join
// it later; until then the frame shows its menu resource as a Windows menu bar.
#pragma once

#include "desktop/tray_icon.h"
#include "frame_services.h"
#include "fw/win/frame.h"
#include "host_services.h"
#include "languages.h"
#include "message_bus.h"
#include "module_registry.h"
#include "settings.h"

#include <string>

class CStartingDlg;

class CMainFrame : public CMDIFrameWnd, public IFrameServices {
public:
    static constexpr UINT kTrayMessage = 0x8D28;

    struct Setup {
        std::wstring programFolder;   // with a trailing backslash
        std::wstring configPath;      // config.ini of the data folder
        std::wstring languageShortName;
        const CArray<LanguageEntry>* languages = nullptr;
        CStartingDlg* splash = nullptr;  // shown while the frame is built, or null
    };
    explicit CMainFrame(Setup setup);
    ~CMainFrame() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // The frame's size and position from the settings, and the module with order 0.
    void RestoreFrameState();
    // Everything the close does except destroying the window: false when a
    // module refuses (and `force` is not set).
    bool PrepareClose(bool force);

    CModuleRegistry& Registry() { return m_registry; }
    CMessageBus& Bus() { return m_bus; }
    CHostServices& Services() { return m_services; }
    const CHostSettings& Settings() const { return m_settings; }
    void SetSplash(CStartingDlg* splash) { m_setup.splash = splash; }
    // How RestoreFrameState wants the frame shown (SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED).
    int ShowState() const { return m_showState; }
    // Set by the application when a language change asked for a restart:
    // modules may then not refuse to close.
    bool m_bForceClose = false;

    int OnCreate(CREATESTRUCTW* cs) override;
    void OnClose() override;
    void RecalcLayout() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override;

    // IFrameServices
    HWND GetModuleParent() override { return m_hWndMDIClient; }
    HWND GetMainWindow() override { return m_hWnd; }
    IQueryInterface* GetHostQueryInterface() override { return m_services.Query(); }
    void SetSplashStatus(const std::wstring& text) override;
    void SetFrameTitle(const std::wstring& title) override;
    void OnActivationChanged() override;
    void SetStatusText(const wchar_t* text) override;
    void ShowStatusText(const wchar_t* text, UINT milliseconds) override;

private:
    void OnGoTo(UINT id);
    void OnUpdateGoTo(CCmdUI* ui);
    void OnSkin(UINT id);
    void OnUpdateSkin(CCmdUI* ui);
    void OnExit();
    void OnRestore();
    void OnMinimize();
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);
    void FitActiveModule();
    bool LayOutCurrentSkin();

    Setup m_setup;
    CHostSettings m_settings;
    CModuleRegistry m_registry;
    CMessageBus m_bus;
    CHostServices m_services;
    CTrayIcon m_tray;
    HMENU m_viewMenu = nullptr;
    std::wstring m_statusText;
    bool m_closed = false;
    int m_showState = SW_SHOWNORMAL;
};
