// The interfaces the host offers to modules (host/host_interfaces.h),
// implemented over the module registry, the message bus and the settings
// file. The main frame owns one CHostServices for its whole life and hands
// Query() to every module's OrvoInitialize.
//
// The player and microphone interfaces work over the frame's engines
// (IFrameServices::GetPlayerEngine / GetMicroEngine); while the frame has no
// engine their operations fail (null, 0 or FALSE) and the states read
// "failed". The shuffle and repeat flags are kept here; the frame sets them
// from its settings and buttons.
#pragma once

#include "host/host_interfaces.h"

#include <string>
#include <vector>

class CHostSettings;
class CMessageBus;
class CModuleEntry;
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
    IPlayer* Player() { return &m_xPlayer; }
    IMicro* Micro() { return &m_xMicro; }
    ISkin* Skin() { return &m_xSkin; }

    // The frame's shuffle and repeat switches, offered to modules through IPlayer.
    void SetShuffle(bool on) { m_shuffle = on ? 1 : 0; }
    void SetRepeat(bool on) { m_repeat = on ? 1 : 0; }
    bool GetShuffle() const { return m_shuffle != 0; }
    bool GetRepeat() const { return m_repeat != 0; }

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
        std::vector<std::wstring> m_chosenTexts;
        std::vector<const wchar_t*> m_chosenTable;
    };

    class XModuleCom : public IModuleCom {
    public:
        explicit XModuleCom(CHostServices& host) : m_host(host) {}
        int SendMessage(const wchar_t* recipient, const wchar_t* sender, const wchar_t* message) override;
        ModuleInfo* GetModuleInfo(const wchar_t* moduleName) override;

    private:
        CHostServices& m_host;
    };

    class XPlayer : public IPlayer {
    public:
        explicit XPlayer(CHostServices& host) : m_host(host) {}
        BOOL Play() override;
        BOOL Stop() override;
        BOOL Pause() override;
        const WAVEFORMATEXTENSIBLE* GetFormat() override;
        BOOL SetFormat(const WAVEFORMATEXTENSIBLE* format) override;
        int GetSegmentCount() override;
        BOOL SetSegmentCount(int count) override;
        int GetSegmentBytes() override;
        BOOL SetSegmentBytes(int bytes) override;
        BOOL SetDataCallback(ORVO_PLAYER_CALLBACK callback, UINT_PTR userData) override;
        DWORD GetUserValue() override;
        int GetPositionRange() override;
        BOOL SetUserValue(DWORD value) override;
        int GetVolume() override;
        void SetVolume(int volume) override;
        int GetBalance() override;
        void SetBalance(int balance) override;
        const wchar_t* GetPlayerOwner() override;
        BOOL AcquirePlayer(const wchar_t* moduleName) override;
        BOOL ReleasePlayer(const wchar_t* moduleName) override;
        BOOL SetCanPlay(const wchar_t* moduleName, BOOL canPlay) override;
        BOOL GetShuffle() override;
        BOOL GetRepeat() override;
        int GetState() override;
        int64_t GetPlayedFrames() override;
        BOOL RequestRewrite() override;

    private:
        CHostServices& m_host;
        volatile LONG m_userValue = 0;
    };

    class XMicro : public IMicro {
    public:
        explicit XMicro(CHostServices& host) : m_host(host) {}
        BOOL Start() override;
        BOOL Stop() override;
        BOOL Pause() override;
        const WAVEFORMATEX* GetFormat() override;
        BOOL SetFormat(const WAVEFORMATEX* format) override;
        int GetBufferCount() override;
        BOOL SetBufferCount(int count) override;
        int GetBufferBytes() override;
        BOOL SetBufferBytes(int bytes) override;
        BOOL SetDataCallback(ORVO_MICRO_CALLBACK callback, UINT_PTR userData) override;
        const wchar_t* GetRecorderOwner() override;
        BOOL AcquireRecorder(const wchar_t* moduleName) override;
        BOOL ReleaseRecorder(const wchar_t* moduleName) override;
        BOOL SetCanRecord(const wchar_t* moduleName, BOOL canRecord) override;
        int GetState() override;

    private:
        CHostServices& m_host;
    };

    class XSkin : public ISkin {
    public:
        explicit XSkin(CHostServices& host) : m_host(host) {}
        COLORREF GetSkinColor(const wchar_t* name, COLORREF fallback) override;
        BOOL SkinWindow(HWND window, BOOL flag) override;
        enXml* GetModuleToolbar(const wchar_t* moduleName, const wchar_t* toolbarId) override;

    private:
        CHostServices& m_host;
    };

    // The last module of that name in registry order (letter case ignored), or null.
    CModuleEntry* FindLastByName(const wchar_t* name) const;

    CModuleRegistry& m_registry;
    CMessageBus& m_bus;
    const CHostSettings& m_settings;
    IFrameServices& m_frame;
    std::wstring m_programFolder;
    XQueryInterface m_xQuery{*this};
    XApplication m_xApplication{*this};
    XModuleCom m_xModuleCom{*this};
    XPlayer m_xPlayer{*this};
    XMicro m_xMicro{*this};
    XSkin m_xSkin{*this};
    volatile LONG m_shuffle = 0;
    volatile LONG m_repeat = 0;
};
