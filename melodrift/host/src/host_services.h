// The interfaces the host offers to modules (host/host_interfaces.h),
// implemented over the module registry, the message bus and the settings
// file. The main frame owns one CHostServices for its whole life and hands
// Query() to every module's OrvoInitialize.
//
// The player, microphone and skin interfaces come with the main frame's
// engines and skin layout; until then GetPlayer, GetMicro and GetSkin answer
// null, and the library chooser an empty list.
#pragma once

#include "host/host_interfaces.h"

#include <string>

class CHostSettings;
class CMessageBus;
class CModuleRegistry;
class IFrameServices;

class CHostServices {
public:
    static constexpr DWORD kVersion = 0x04000060;  // 4.0.96

    CHostServices(CModuleRegistry& registry, CMessageBus& bus, const CHostSettings& settings, IFrameServices& frame,
                  std::wstring programFolder);

    IQueryInterface* Query() { return &m_xQuery; }
    IApplication* Application() { return &m_xApplication; }
    IModuleCom* ModuleCom() { return &m_xModuleCom; }

    // True for a loaded module's name (letter case ignored) and for "Main frame".
    bool IsAllowedOwner(const wchar_t* owner) const;

private:
    class XQueryInterface : public IQueryInterface {
    public:
        explicit XQueryInterface(CHostServices& host) : m_host(host) {}
        DWORD GetVersion() override;
        IApplication* GetApplication() override;
        IPlayer* GetPlayer() override;
        IMicro* GetMicro() override;
        IModuleCom* GetModuleCom() override;
        ISkin* GetSkin() override;
        HRESULT GetCurrentSkinPath(BSTR* path) override;

    private:
        CHostServices& m_host;
    };

    class XApplication : public IApplication {
    public:
        explicit XApplication(CHostServices& host) : m_host(host) {}
        BOOL WriteSetting(const wchar_t* owner, const wchar_t* key, const wchar_t* value) override;
        BOOL ReadSetting(const wchar_t* owner, const wchar_t* key, wchar_t* buffer, int size) override;
        BOOL RefreshModuleMenu(const wchar_t* moduleName) override;
        const wchar_t* GetProgramFolder() override;
        int ShowMessageBox(UINT_PTR text, UINT_PTR caption, UINT_PTR type, UINT_PTR module, HWND parent) override;
        int ShowHelp() override;
        BOOL DeleteSetting(const wchar_t* owner, const wchar_t* key) override;
        const wchar_t* GetActiveModuleName() override;
        BOOL ActivateModule(const wchar_t* moduleName) override;
        void SetStatusText(const wchar_t* text) override;
        void ShowStatusText(const wchar_t* text, UINT milliseconds) override;
        const ORVO_TEXT_LIST* ChooseFromLibrary() override;

    private:
        CHostServices& m_host;
        ORVO_TEXT_LIST m_chosen = {0, nullptr};
    };

    class XModuleCom : public IModuleCom {
    public:
        explicit XModuleCom(CHostServices& host) : m_host(host) {}
        int SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) override;
        ModuleInfo* GetModuleInfo(const wchar_t* moduleName) override;

    private:
        CHostServices& m_host;
    };

    CModuleRegistry& m_registry;
    CMessageBus& m_bus;
    const CHostSettings& m_settings;
    IFrameServices& m_frame;
    std::wstring m_programFolder;
    XQueryInterface m_xQuery{*this};
    XApplication m_xApplication{*this};
    XModuleCom m_xModuleCom{*this};
};
