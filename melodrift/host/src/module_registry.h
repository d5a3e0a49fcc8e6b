// The module registry: the plug-in modules (DLLs in <program>\Modules), the
// skin files (<program>\Skins\*<ShortName>.xml), the "Go to...", "Skins..."
// and "Language..." menus, the module order given by the current skin, the
// single active module, and the routing of messages, commands and idle time
// to it.
//
// Everything here runs on the user-interface thread, except the read-only
// lookups the message bus makes from the threads modules call it on.
#pragma once

#include "fw/array.h"
#include "host/host_interfaces.h"
#include "languages.h"

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

class enXml;
class IFrameServices;

// One skin file that qualified.
struct _sSkin {
    std::wstring Caption;
    std::wstring Path;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// One loaded and accepted module.
class CModuleEntry {
public:
    std::wstring Path;         // full path of the DLL
    std::wstring DisplayName;  // for titles, menus and the splash
    ModuleInfo Info = {};      // filled by OrvoGetModuleInfo
    std::wstring OrderFile;    // the DLL's file title + ".mvm"
    HMODULE Library = nullptr;

    PFN_OrvoInitialize OrvoInitialize = nullptr;
    PFN_OrvoGetMenu OrvoGetMenu = nullptr;
    PFN_OrvoGetAccelTable OrvoGetAccelTable = nullptr;
    PFN_OrvoChangeState OrvoChangeState = nullptr;
    PFN_OrvoLoadSkin OrvoLoadSkin = nullptr;
    PFN_OrvoPassMessage OrvoPassMessage = nullptr;
    PFN_OrvoProcessDllIdle OrvoProcessDllIdle = nullptr;
    PFN_OrvoOnCmdMsg OrvoOnCmdMsg = nullptr;
    PFN_OrvoPreTranslateMessage OrvoPreTranslateMessage = nullptr;
    PFN_OrvoTryClose OrvoTryClose = nullptr;

    HWND Window = nullptr;
    HMENU Menu = nullptr;
    HACCEL Accel = nullptr;
    std::int32_t Active = 0;
    std::int32_t CanPlay = 0;
    std::int32_t PlayerOwner = 0;
    std::int32_t CanRecord = 0;
    std::int32_t RecorderOwner = 0;
    std::int32_t Order = 0xFFFF;  // -1 when the skin gives it no place
    void* Button = nullptr;       // its toolbar button, or null

    // The module's name (never null for an accepted module).
    const wchar_t* Name() const { return Info.Name ? Info.Name : L""; }
};

class CModuleRegistry {
public:
    static constexpr int kMaxListedSkins = 51;
    // "Go to..." commands are 236 + order for the orders 0 to 30.
    static constexpr int kMaxOrder = 30;

    explicit CModuleRegistry(IFrameServices& frame);
    ~CModuleRegistry();
    CModuleRegistry(const CModuleRegistry&) = delete;
    CModuleRegistry& operator=(const CModuleRegistry&) = delete;

    struct LoadParams {
        std::wstring programFolder;      // with a trailing backslash
        std::wstring languageShortName;  // chooses the skin files
        std::wstring currentSkinName;    // "name" of section "CURRENTSKIN"
        const CArray<LanguageEntry>* languages = nullptr;
        HMENU viewMenu = nullptr;        // gets "Go to...", "Skins..." and "Language..." at its top
    };
    // The whole loading pass: the three menus, the skins (the current one is
    // handed to the skin manager), the modules, the menu items. Logged
    // through the debug log with the source "MainFrame".
    void Load(const LoadParams& params);

    // The qualifying skins of <programFolder>Skins, in file-name order.
    static CArray<_sSkin> DiscoverSkins(const std::wstring& programFolder, const std::wstring& shortName);
    // Loads every DLL of <programFolder>Modules (file-name order) that passes.
    void LoadModules(const std::wstring& programFolder);

    // The module order from the skin document's "MAINFRAME"/"Modules"
    // children; sorts the registry, creates the module buttons (through the
    // frame) and refills "Go to..." (fetching each ordered module's menu).
    void ApplyModuleOrder(const enXml* skinRoot);

    // Activates the first module with that order value (-1: none) and
    // deactivates every other one. True when a module was activated.
    bool ActivateModule(int order);
    // Activates the first module of exactly that name, whatever its order.
    bool ActivateModuleByName(const wchar_t* name);
    // Activates that entry (null: none) and deactivates every other one.
    bool ActivateEntry(CModuleEntry* entry);

    // Asks every module with OrvoTryClose; false at the first refusal.
    bool TryCloseModules();
    // Deactivates all modules, destroys their windows, frees their libraries
    // and deletes the entries.
    void Unload();

    // Routing to the active module. True when the module handled it.
    bool PreTranslateMessage(MSG* msg);
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly);
    // The same for every module but the active one, in registry order, until
    // one answers: the commands of the program's effects, which the player's
    // and the recorder's modules carry out whichever module is in front.
    bool OnCmdMsgInactive(UINT id, int code, void* extra, bool queryOnly);
    void OnIdle();

    CModuleEntry* FindActive() const;
    CModuleEntry* FindPlayerOwner() const;
    // The last module in registry order that owns the player: the one the
    // frame's position slider steers.
    CModuleEntry* FindLastPlayerOwner() const;
    CModuleEntry* FindRecorderOwner() const;
    int GetActiveOrder() const;
    // The first module of that name (letter case ignored), or null.
    CModuleEntry* FindByName(const wchar_t* name) const;
    // Whether a module of that name is loaded; safe from any thread (a
    // module's worker writing its settings asks it while the window's
    // thread loads or unloads modules).
    bool HasModuleNamed(const wchar_t* name) const;
    ModuleInfo* GetModuleInfo(const wchar_t* name) const;

    const CArray<CModuleEntry*>& Entries() const { return m_entries; }
    const CArray<_sSkin>& Skins() const { return m_skins; }
    int CurrentSkin() const { return m_currentSkin; }
    void SetCurrentSkin(int index) { m_currentSkin = index; }
    HMENU GoToMenu() const { return m_goTo; }
    HMENU SkinsMenu() const { return m_skinsMenu; }
    HMENU LanguageMenu() const { return m_languageMenu; }

    // DisplayName and fixed order (-1 when the skin decides) of a module name.
    static std::wstring DisplayNameFor(const wchar_t* name, int* fixedOrder = nullptr);

private:
    void RefillGoTo();

    IFrameServices& m_frame;
    CArray<CModuleEntry*> m_entries;
    // Taken by the window's thread around every change of m_entries, and by
    // other threads around every look at it (the window's thread reads it freely).
    mutable std::shared_mutex m_entriesLock;
    CArray<_sSkin> m_skins;
    int m_currentSkin = -1;
    HMENU m_goTo = nullptr;
    HMENU m_skinsMenu = nullptr;
    HMENU m_languageMenu = nullptr;
};
