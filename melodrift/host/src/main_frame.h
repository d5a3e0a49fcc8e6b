// CMainFrame: Melodrift's top-level window, a frame without a Windows caption
// whose surface is drawn by skinned controls. Around the MDI client that
// holds the module windows lie five skinned panels; the current skin says
// which controls (transport buttons, sliders, equalizer, status line, menu
// buttons, module buttons) stand on which panel. The frame loads skins and
// modules, keeps the module order, routes messages, commands and idle time to
// the active module, builds the merged menu and the accelerators, owns the
// playback and capture engines with the equalizer and surround settings,
// shows the tray icon and closes in order.
//
// Source files: main_frame.cpp (creation, frame state, close), frame_commands.cpp
// (command map, sliders, status line, skin switch), frame_controls.* (panels
// and the control table's controls), frame_layout.* (rectangles, table,
// tooltips), frame_menu.* (merged menu, effect menus, accelerators),
// module_buttons.* (module toolbar, drop target, MDI client).
#pragma once

#include "desktop/tray_icon.h"
#include "dsp/equalizer_presets.h"
#include "eqsettings/equalizer_settings.h"
#include "frame_controls.h"
#include "frame_menu.h"
#include "frame_services.h"
#include "hand_over.h"
#include "fw/win/frame.h"
#include "host_services.h"
#include "languages.h"
#include "message_bus.h"
#include "micro/ext_micro.h"
#include "module_buttons.h"
#include "module_registry.h"
#include "player/ext_player_dx.h"
#include "settings.h"
#include "surround/surround_dialogs.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CStartingDlg;

class CMainFrame : public CMDIFrameWnd, public IFrameServices, public ISurroundFrame {
public:
    static constexpr UINT kTrayMessage = 0x8D28;
    static constexpr UINT kHandOverMessage = 0x8D29;   // posted to itself: act on the files handed over
    static constexpr UINT_PTR kPositionTimer = 1;
    static constexpr UINT_PTR kStatusTimer = 555;

    struct Setup {
        std::wstring programFolder;   // with a trailing backslash
        std::wstring configPath;      // config.ini of the data folder
        std::wstring languageShortName;
        const CArray<LanguageEntry>* languages = nullptr;
        CStartingDlg* splash = nullptr;  // shown while the frame is built, or null
        // The effect table (the effect manager's); empty gives "none" menus.
        std::function<std::vector<mdframe::EffectDescription>()> effects;
        // Message boxes of the frame (null: the skinned box of Utilon).
        std::function<int(const std::wstring& text, UINT type)> messageBox;
        // Ends the process when no skin can be laid out (null: ExitProcess(1)).
        std::function<void(int code)> exitProcess;
        // Whether creation opens the sound devices' settings (surround support test);
        // without the test the speaker modes of `surroundSupport` count as supported.
        bool testSurroundSupport = true;
        std::uint32_t surroundSupport = kAllSurroundModes;
        // No skin for the language: the user chose to start again in `language`,
        // which has one (null: the choice is not offered).
        std::function<void(const LanguageEntry& language)> restartInLanguage;
    };
    explicit CMainFrame(Setup setup);
    ~CMainFrame() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // The frame's size and position from the settings, the module with order 0.
    void RestoreFrameState();
    // Everything the close does except destroying the window: false when a
    // module refuses (and `force` is not set).
    bool PrepareClose(bool force);

    CModuleRegistry& Registry() { return m_registry; }
    CMessageBus& Bus() { return m_bus; }
    CHostServices& Services() { return m_services; }
    const CHostSettings& Settings() const { return m_settings; }
    CFrameControls& Controls() { return m_controls; }
    void SetSplash(CStartingDlg* splash) { m_setup.splash = splash; }
    int ShowState() const { return m_showState; }
    bool m_bForceClose = false;

    // Skin switch to skin `index` (command 500 + index).
    void SwitchSkin(int index);
    // The frame layout over the client area.
    void LayOutFrame();
    const mdframe::FrameLayout& LastLayout() const { return m_layout; }
    bool PlayerPanelOn() const { return m_playerPanel; }
    HMENU MergedMenu() const { return m_mergedMenu; }
    HMENU VoiceMorphingMenu() const { return m_voiceMenu; }
    HMENU SpecialEffectMenu() const { return m_specialMenu; }
    HACCEL CombinedAccelerators() const { return m_hAccelTable; }
    const std::vector<_CONTROL_INFO_STRUCT_*>& ModuleInfos() const { return m_moduleInfos; }
    const std::wstring& PersistentStatus() const { return m_statusText; }
    CExtPlayerDX* Player() { return m_player.get(); }
    CExtMicro* Micro() { return m_micro.get(); }
    bool Shuffle() const { return m_shuffle; }
    bool Repeat() const { return m_repeat; }
    bool EqualizerOn() const { return m_eq.on; }
    bool SurroundOn() const { return m_surroundOn; }
    // Rebuilds the merged menu and the accelerators for the active module.
    void RebuildMenus();
    // Enables the transport controls for the current state.
    void RefreshCommandStates() override;
    // A choice of the equalizer presets menu (command = index + 1): the band
    // sliders take the preset's values and the gains are applied.
    bool ChooseEqualizerPreset(UINT command);
    const EqualizerPresetList& EqualizerPresets() const { return m_eqPresets; }
    // The pop-up a menu button opens: (command - 15000) / 10 of the merged menu.
    HMENU MenuOfButton(UINT command) const;

    int OnCreate(CREATESTRUCTW* cs) override;
    void OnClose() override;
    void RecalcLayout() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // IFrameServices
    HWND GetModuleParent() override { return m_hWndMDIClient; }
    HWND GetMainWindow() override { return m_hWnd; }
    IQueryInterface* GetHostQueryInterface() override { return m_services.Query(); }
    void SetSplashStatus(const std::wstring& text) override;
    void SetFrameTitle(const std::wstring& title) override;
    void* CreateModuleButton(const enXml& child, CModuleEntry* module) override;
    void CheckModuleButton(void* button, bool checked) override;
    void OnActivationChanged() override;
    void OnModuleMenuChanged(CModuleEntry* module) override;
    void SetStatusText(const wchar_t* text) override;
    void ShowStatusText(const wchar_t* text, UINT milliseconds) override;
    CExtPlayerDX* GetPlayerEngine() override { return m_player.get(); }
    CExtMicro* GetMicroEngine() override { return m_micro.get(); }
    void OnPlaybackStarted() override;
    void OnPlaybackStopped() override;
    bool GetVolumeSlider(int& position) override;
    bool GetBalanceSlider(int& position) override;
    void SetVolumeSliders(int position) override;
    void SetBalanceSliders(int position) override;
    const enXml* GetSkinDocument() override;
    HFONT GetReferenceFont() override;

    // ISurroundFrame (the surround dialog's restart and support check)
    int GetPositionSlider() override;
    void SetPositionSlider(int position) override;
    void SetSurroundSwitch(bool on) override;

    // Files handed over by a later start (frame_instance.cpp): Vocalith plays
    // the first and lists the rest (or only lists them); none brings the frame
    // to the front, restored from the tray.
    void TakeHandOver(mdhost::HandOver handOver);
    void BringToFront();
    // The media keys, for as long as the frame holds them: Play/Pause, Stop,
    // Next and Previous track act on Vocalith wherever the focus is. Keys
    // another program holds are left to it.
    void HoldMediaKeys();
    void ReleaseMediaKeys();
    // An APPCOMMAND_MEDIA_* (the focus in Melodrift, or a held key); false for other commands.
    bool OnMediaCommand(int appCommand);

    // The playback position the position timer shows (0 to 1000).
    void SetPlaybackPosition(int position) { m_position = position; }

private:
    // frame_commands.cpp
    void OnTransport(UINT id);
    void OnShuffleRepeat(UINT id);
    void OnRecord();
    void OnEqualizerTurn();
    void OnEqualizerPresets();
    void OnPlayerPanel();
    void OnMinimize();
    void OnUpdateMinimize(CCmdUI* ui);
    void OnZoom();
    void OnCloseCommand();
    void OnMenuButton(UINT id);
    void OnSurroundSettings();
    void OnGoTo(UINT id);
    void OnUpdateGoTo(CCmdUI* ui);
    void OnSkin(UINT id);
    void OnUpdateSkin(CCmdUI* ui);
    void OnHelpTopics();
    void OnAbout();
    void OnWebPage(UINT id);
    void OnUpdateWebPage(CCmdUI* ui);
    std::wstring WebPageOf(UINT id) const;
    void OnZoomAlias(UINT id);
    void OnIgnored();
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);
    void OnScroll(HWND slider, int code);
    void OnTimerTick(UINT_PTR id);
    void UpdateSliderTooltip(UINT command, HWND slider);

    // main_frame.cpp
    bool LayOutCurrentSkin();
    // No skin for the language: tells the user and offers a language that has
    // one; the frame is not built then.
    void ReportNoSkin();
    void DestroyModuleButtons();
    void ReadFrameOptions();
    void ApplyPlayerOptions();
    void ApplyEqualizerToControls();
    void SaveEqualizerFromControls();
    void SetChecks(UINT command, bool checked);
    void FitActiveModule();
    void StorePlacement(bool fromWindowRect);
    int Message(const std::wstring& text, UINT type);
    void ShowStatusNow(const std::wstring& text);
    std::wstring SkinsFolder() const { return m_setup.programFolder + L"Skins\\"; }

    Setup m_setup;
    CHostSettings m_settings;
    CModuleRegistry m_registry;
    CMessageBus m_bus;
    CHostServices m_services;
    CTrayIcon m_tray;
    CFrameControls m_controls;
    CModulesFrame m_modulesFrame;
    std::vector<_CONTROL_INFO_STRUCT_*> m_moduleInfos;
    std::vector<CModuleButton*> m_moduleButtons;

    HMENU m_frameMenu = nullptr;     // the menu resource (its View pop-up gets the registry's menus)
    HMENU m_viewMenu = nullptr;
    HMENU m_mergedMenu = nullptr;
    std::vector<UINT> m_morphCommands;   // of the merged menu's "Morph" pop-up, sorted
    HMENU m_voiceMenu = nullptr;
    HMENU m_specialMenu = nullptr;
    HACCEL m_frameAccel = nullptr;
    mdframe::MenuTexts m_menuTexts;

    std::unique_ptr<CExtPlayerDX> m_player;
    std::unique_ptr<CExtMicro> m_micro;
    std::unique_ptr<CSurroundDlg> m_surround;
    std::wstring m_surroundSettingsPath;
    std::wstring m_surroundPresetsPath;
    EqualizerSettings m_eq;
    EqualizerPresetList m_eqPresets;
    bool m_surroundOn = false;
    bool m_shuffle = false;
    bool m_repeat = false;
    bool m_playerPanel = true;

    mdframe::FrameLayout m_layout;
    SIZE m_minSize = {0, 0};
    CRITICAL_SECTION m_lock;         // skin layout, skin switch, position timer
    CRITICAL_SECTION m_statusLock;   // the two status operations
    std::wstring m_statusText;
    int m_position = 0;
    bool m_closed = false;
    bool m_laidOut = false;
    std::vector<mdhost::HandOver> m_handOvers;   // taken, not yet acted on
    UINT m_mediaKeys = 0;                        // bit k: hot key k of the table is held
    int m_showState = SW_SHOWNORMAL;
};
